// The file on disk: where it lives, reading damaged files, and saving
// without ever losing the previous state.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>

#include "as_nobody.h"
#include "failing_disk.h"
#include "state_test_util.h"

namespace fs = std::filesystem;

namespace {

// Sets or unsets environment variables for one test and puts them back.
class EnvGuard {
public:
    ~EnvGuard() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second)
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                ::unsetenv(it->first.c_str());
        }
    }
    void Set(const char* name, const std::optional<std::string>& value) {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Lines of 100,000 characters, longer than any chunk the file is read in.
std::string LongLines() {
    return "[registers]\nvmHex:" + std::string(100000, 'F') + "\n" + HexLine(vmHex, 2) + "\n[tape]\n" +
           HexLine(vmHex, 3) + "=" + std::string(100000, 'y') + "\n" + std::string(100000, 'q') + "\n" +
           HexLine(vmHex, 4) + "=after\n";
}

class StateFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "qzstate-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        path_ = dir_ + "/qz.state";
    }
    void TearDown() override {
        ::chmod(dir_.c_str(), 0755);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    std::vector<std::string> DirEntries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static StateSnapshot Sample() {
        StateSnapshot s;
        s.mode = vmHex;
        for (int k = 0; k < kRegisterCount; ++k) s.regs[k] = IntValue(vmHex, 0x100 + k);
        for (int i = 0; i < 100; ++i) s.tape.Append(IntValue(vmHex, i), "+ " + std::to_string(i) + "h");
        return s;
    }

    std::string dir_, path_;
};

TEST_F(StateFileTest, FolderComesFromAppDataThenXdgThenHome) {
    struct Case {
        std::optional<std::string> appdata, xdg, home;
        std::string want;
    };
    const std::vector<Case> cases = {
        {"/a/roaming", "/x", "/h", "/a/roaming/qz.state"},
        {"/a/roaming/", std::nullopt, std::nullopt, "/a/roaming/qz.state"},
        {"", "/x/config", "/h", "/x/config/qz.state"},
        {std::nullopt, "/x/config", "/h", "/x/config/qz.state"},
        {std::nullopt, "", "/home/u", "/home/u/.config/qz.state"},
        {std::nullopt, "relative/config", "/home/u", "/home/u/.config/qz.state"},
        {std::nullopt, std::nullopt, "/home/u/", "/home/u/.config/qz.state"},
        {"", "", "", ""},
        {std::nullopt, std::nullopt, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.want);
        EnvGuard env;
        env.Set("APPDATA", c.appdata);
        env.Set("XDG_CONFIG_HOME", c.xdg);
        env.Set("HOME", c.home);
        EXPECT_EQ(StatePath(), c.want);
        EXPECT_EQ(AppDataDir(), c.want.empty() ? "" : c.want.substr(0, c.want.size() - 9));
    }
}

TEST_F(StateFileTest, NoFolderKnownMeansNothingLoadedOrSaved) {
    RecordingSink sink;
    LoadStateFile("", sink);
    EXPECT_EQ(sink.log, "");
    std::string error = "stale";
    EXPECT_TRUE(SaveStateFile("", Sample(), error));
    EXPECT_EQ(error, "");
    EXPECT_TRUE(DirEntries().empty());
}

TEST_F(StateFileTest, SavesTheFormattedTextAndLoadsItBack) {
    EnvGuard env;
    env.Set("APPDATA", dir_);
    const std::string path = StatePath();
    ASSERT_EQ(path, path_);
    const StateSnapshot s = Sample();
    std::string error;
    ASSERT_TRUE(SaveStateFile(path, s, error)) << error;
    EXPECT_EQ(ReadFile(path), FormatState(s));
    EXPECT_EQ(DirEntries(), std::vector<std::string>{"qz.state"});

    StateSnapshot got;
    SnapshotSink sink(got);
    LoadStateFile(path, sink);
    EXPECT_EQ(FormatState(got), FormatState(s));
}

// The state is the user's own: a new file is readable by its owner alone,
// whatever the umask. A replaced file keeps what its owner chose, but never
// so little that the owner cannot read the next one (a file left at mode 000
// would lose every later session too).
TEST_F(StateFileTest, NewFilesArePrivateAndReplacedOnesKeepTheirModeWithOwnerReadWrite) {
    struct Case {
        mode_t umask;
        int before;  // -1: no file yet
        mode_t after;
    };
    const std::vector<Case> cases = {
        {022, -1, 0600},   {0277, -1, 0600},  {0, -1, 0600},     {022, 0644, 0644}, {022, 0444, 0644},
        {022, 0000, 0600}, {077, 0640, 0640}, {022, 0604, 0604}, {022, 0755, 0755},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "umask " << std::oct << c.umask << ", before " << c.before);
        ::unlink(path_.c_str());
        if (c.before >= 0) {
            WriteFile(path_, "old\r\n");
            ASSERT_EQ(::chmod(path_.c_str(), static_cast<mode_t>(c.before)), 0);
        }
        const mode_t old = ::umask(c.umask);
        std::string error;
        const bool saved = SaveStateFile(path_, Sample(), error);
        ::umask(old);
        ASSERT_TRUE(saved) << error;
        struct stat st {};
        ASSERT_EQ(::stat(path_.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.after);
        EXPECT_EQ(ReadFile(path_), FormatState(Sample()));
    }
}

TEST_F(StateFileTest, FailedSavesReportAndLeaveNothingBehind) {
    const std::string notAFolder = dir_ + "/plain";
    WriteFile(notAFolder, "x");
    fs::create_directory(dir_ + "/qz.state.d");
    struct Case {
        std::string path;
        int err;
    };
    const std::vector<Case> cases = {
        {notAFolder + "/qz.state", ENOTDIR},
        {notAFolder + "/sub/qz.state", ENOTDIR},
        {dir_ + "/qz.state.d", EISDIR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string error;
        EXPECT_FALSE(SaveStateFile(c.path, Sample(), error));
        EXPECT_EQ(error, "Could not save the calculator state to " + c.path + ": " + std::strerror(c.err));
    }
    EXPECT_EQ(DirEntries(), (std::vector<std::string>{"plain", "qz.state.d"}));
    EXPECT_TRUE(fs::is_empty(dir_ + "/qz.state.d"));
}

// A new account has no ~/.config yet: the first save makes it, private to
// the user, and the state is there on the next start. Folders that exist
// keep their permissions.
TEST_F(StateFileTest, MissingConfigFolderIsMadePrivate) {
    const std::string home = dir_ + "/home";
    fs::create_directory(home);
    ASSERT_EQ(::chmod(home.c_str(), 0755), 0);
    struct Case {
        std::optional<std::string> xdg;
        std::string folder;     // where the file must land
        std::string madeFirst;  // the outermost folder the save had to make
    };
    const std::vector<Case> cases = {
        {std::nullopt, home + "/.config", home + "/.config"},
        {dir_ + "/xdg/deeper/config", dir_ + "/xdg/deeper/config", dir_ + "/xdg"},
    };
    const mode_t oldMask = ::umask(022);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        EnvGuard env;
        env.Set("APPDATA", std::nullopt);
        env.Set("XDG_CONFIG_HOME", c.xdg);
        env.Set("HOME", home);
        const std::string path = StatePath();
        ASSERT_EQ(path, c.folder + "/qz.state");
        ASSERT_FALSE(fs::exists(c.madeFirst));

        std::string error;
        EXPECT_TRUE(SaveStateFile(path, Sample(), error));
        EXPECT_EQ(error, "");
        EXPECT_EQ(ReadFile(path), FormatState(Sample()));
        for (fs::path p = c.folder; p.string().size() >= c.madeFirst.size(); p = p.parent_path()) {
            struct stat st {};
            ASSERT_EQ(::stat(p.c_str(), &st), 0) << p;
            EXPECT_EQ(st.st_mode & 0777, 0700u) << p;
        }
        StateSnapshot got;
        SnapshotSink sink(got);
        EXPECT_EQ(LoadStateFile(path, sink), "");
        EXPECT_EQ(FormatState(got), FormatState(Sample()));
    }
    ::umask(oldMask);
    struct stat st {};
    ASSERT_EQ(::stat(home.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
}

TEST_F(StateFileTest, ReadOnlyFolderKeepsTheOldFile) {
    WriteFile(path_, "old state\r\n");
    ASSERT_EQ(::chmod(path_.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(dir_.c_str(), 0555), 0);
    const std::string error = AsUser([&] {
        std::string e;
        return SaveStateFile(path_, Sample(), e) ? std::string("saved") : e;
    });
    EXPECT_EQ(error, "Could not save the calculator state to " + path_ + ": " + std::strerror(EACCES));
    EXPECT_EQ(ReadFile(path_), "old state\r\n");
    EXPECT_EQ(DirEntries(), std::vector<std::string>{"qz.state"});
}

// A state file the user cannot open (mode 000, or another user's private
// file) is not wiped by the next exit: the start says so, and the save keeps
// it whole as qz.state.bad before writing a file the user can read again.
TEST_F(StateFileTest, UnreadableFileIsReportedAndKeptAsBad) {
    struct Case {
        const char* what;
        mode_t mode;
        bool ownedByTheTest;  // as root: a file of root's that nobody may not read
    };
    std::vector<Case> cases = {{"mode 000", 0, false}};
    if (RunsAsRoot()) cases.push_back({"another user's, mode 0600", 0600, true});
    ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
    GiveToNobody(dir_);
    const std::string original = FormatState(Sample());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(BadStatePath(path_));
        fs::remove(path_);
        WriteFile(path_, original);
        if (!c.ownedByTheTest) GiveToNobody(path_);
        ASSERT_EQ(::chmod(path_.c_str(), c.mode), 0);
        const std::string got = AsUser([&] {
            RecordingSink sink;
            std::string out = LoadStateFile(path_, sink) + "\n" + sink.log + "\n";
            std::string error;
            StateSnapshot fresh;
            fresh.regs[1] = IntValue(vmDec, 77);
            out += SaveStateFile(path_, fresh, error, OldStateFile::kKeepAsBad) ? "saved" : error;
            return out;
        });
        EXPECT_EQ(got, "Could not read the calculator state from " + path_ +
                           ": Permission denied. The calculator starts without it. When it closes, that file "
                           "is kept as " +
                           path_ + ".bad and a new one is written.\n\nsaved");
        // The very file, moved aside as it was.
        struct stat bad {};
        ASSERT_EQ(::stat(BadStatePath(path_).c_str(), &bad), 0);
        EXPECT_EQ(bad.st_mode & 0777, c.mode);
        ASSERT_EQ(::chmod(BadStatePath(path_).c_str(), 0600), 0);
        EXPECT_EQ(ReadFile(BadStatePath(path_)), original);
        EXPECT_NE(ReadFile(path_).find("vmDec:0000000000000000000000000000004D"), std::string::npos);
        struct stat st {};
        ASSERT_EQ(::stat(path_.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        EXPECT_EQ(DirEntries(), (std::vector<std::string>{"qz.state", "qz.state.bad"}));
    }
}

// The disk fills up half way through the new file: the old file must come
// through byte for byte and the half-written one must be gone.
TEST_F(StateFileTest, InterruptedSaveKeepsTheOldFile) {
    const std::string old = FormatState(Sample());
    WriteFile(path_, old);
    StateSnapshot bigger = Sample();
    for (int i = 0; i < 100; ++i) bigger.tape.Append(IntValue(vmHex, i), std::string(200, 'z'));

    int pipeFd[2];
    ASSERT_EQ(::pipe(pipeFd), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(pipeFd[0]);
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        const bool ok = SaveStateFile(path_, bigger, error);
        (void)!::write(pipeFd[1], error.data(), error.size());
        ::_exit(ok ? 1 : 0);
    }
    ::close(pipeFd[1]);
    std::string error;
    char buf[512];
    for (ssize_t n; (n = ::read(pipeFd[0], buf, sizeof buf)) > 0;)
        error.append(buf, static_cast<std::size_t>(n));
    ::close(pipeFd[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save should have failed";
    EXPECT_EQ(error, "Could not save the calculator state to " + path_ + ": " + std::strerror(EFBIG));
    EXPECT_EQ(ReadFile(path_), old);
    EXPECT_EQ(DirEntries(), std::vector<std::string>{"qz.state"});
}

// The disk gives the first bytes of the file and then fails. The lines read
// so far are loaded, the user is told, and the next save keeps the whole old
// file as qz.state.bad instead of overwriting it with the part that was read.
TEST_F(StateFileTest, ReadErrorPartWayKeepsTheFileAsBad) {
    const std::string original = FormatState(Sample());
    // Cut inside the line of R1: R0 stays loaded, R1 does not.
    const std::size_t r0 = original.find("[registers]\r\n") + 13;
    const std::size_t cut = original.find("\r\n", r0) + 2 + 10;
    WriteFile(path_, original);
    WriteFile(BadStatePath(path_), "an older bad file\r\n");

    StateSnapshot got;
    {
        FailingDisk disk(cut);
        SnapshotSink sink(got);
        EXPECT_EQ(LoadStateFile(path_, sink),
                  "Could not read all of the calculator state from " + path_ +
                      ": Input/output error. The calculator starts with the part that was read. When it "
                      "closes, that file is kept as " +
                      path_ + ".bad and a new one is written.");
    }
    EXPECT_EQ(got.mode, vmHex);
    EXPECT_EQ(got.regs[0], IntValue(vmHex, 0x100));
    EXPECT_EQ(got.regs[1], kZeroValue);
    EXPECT_TRUE(got.tape.empty());

    // A failed attempt to move it aside saves nothing and replaces nothing.
    fs::rename(BadStatePath(path_), dir_ + "/older");
    fs::create_directory(BadStatePath(path_));
    WriteFile(BadStatePath(path_) + "/x", "x");
    std::string error;
    EXPECT_FALSE(SaveStateFile(path_, got, error, OldStateFile::kKeepAsBad));
    EXPECT_EQ(error, "Could not keep the partly read calculator state " + path_ + " as " + path_ +
                         ".bad: " + std::strerror(EISDIR) +
                         ". The state of this session was not saved, so that file is left as it was.");
    EXPECT_EQ(ReadFile(path_), original);
    fs::remove_all(BadStatePath(path_));
    fs::rename(dir_ + "/older", BadStatePath(path_));
    EXPECT_EQ(DirEntries(), (std::vector<std::string>{"qz.state", "qz.state.bad"}));

    // The save that works keeps the unread file whole, over the older one.
    EXPECT_TRUE(SaveStateFile(path_, got, error, OldStateFile::kKeepAsBad)) << error;
    EXPECT_EQ(ReadFile(BadStatePath(path_)), original);
    EXPECT_EQ(ReadFile(path_), FormatState(got));
    EXPECT_EQ(DirEntries(), (std::vector<std::string>{"qz.state", "qz.state.bad"}));

    // Nothing there to keep any more (the file was removed meanwhile): the
    // state is saved all the same.
    fs::remove(path_);
    EXPECT_TRUE(SaveStateFile(path_, got, error, OldStateFile::kKeepAsBad)) << error;
    EXPECT_EQ(ReadFile(path_), FormatState(got));
    EXPECT_EQ(ReadFile(BadStatePath(path_)), original);
}

TEST_F(StateFileTest, WhatCannotBeReadLoadsNothing) {
    fs::create_directory(path_);
    RecordingSink folder;
    EXPECT_EQ(LoadStateFile(path_, folder), "");
    EXPECT_EQ(folder.log, "");

    RecordingSink missing;
    EXPECT_EQ(LoadStateFile(dir_ + "/none", missing), "");
    EXPECT_EQ(missing.log, "");

    ASSERT_EQ(::mkfifo((dir_ + "/fifo").c_str(), 0600), 0);
    RecordingSink fifo;
    EXPECT_EQ(LoadStateFile(dir_ + "/fifo", fifo), "");
    EXPECT_EQ(fifo.log, "");
}

// Reading in chunks must hand over exactly what reading the text whole does,
// however the lines fall across chunk boundaries.
TEST_F(StateFileTest, FileLoadsLikeTheSameText) {
    std::mt19937 gen(7);
    std::string noisy;
    for (int i = 0; i < 300000; ++i) {
        const char c = static_cast<char>(gen() % 256);
        noisy += c;
    }
    const std::string longLine = LongLines();
    const std::vector<std::string> contents = {longLine, noisy, FormatState(Sample()) + noisy + longLine,
                                               std::string(70000, '\n') + "[globals]\nmode=vmOct"};
    for (const std::string& content : contents) {
        WriteFile(path_, content);
        RecordingSink fromFile;
        LoadStateFile(path_, fromFile);
        const RecordingSink fromText = Load(content);
        EXPECT_EQ(fromFile.log, fromText.log);
        ASSERT_EQ(fromFile.tape.size(), fromText.tape.size());
        for (std::size_t i = 0; i < fromFile.tape.size(); ++i)
            EXPECT_EQ(fromFile.tape[i].text, fromText.tape[i].text);
        ASSERT_EQ(fromFile.regs.size(), fromText.regs.size());
        for (std::size_t i = 0; i < fromFile.regs.size(); ++i)
            EXPECT_EQ(fromFile.regs[i].value, fromText.regs[i].value);
    }
}

TEST_F(StateFileTest, LinesOf100000CharactersAreCutNotFatal) {
    WriteFile(path_, LongLines());
    RecordingSink got;
    LoadStateFile(path_, got);
    EXPECT_EQ(got.log, "R0R1|[TT]");
    EXPECT_EQ(got.regs.at(0).value, IntValue(vmHex, ~0ull, ~0ull));
    EXPECT_EQ(got.regs.at(1).value, IntValue(vmHex, 2));
    EXPECT_EQ(got.tape.at(0).text, std::string(255, 'y'));
    EXPECT_EQ(got.tape.at(1).text, "after");
}

TEST_F(StateFileTest, RandomBytesNeverBreakTheLoader) {
    std::mt19937 gen(12345);
    for (int round = 0; round < 20; ++round) {
        std::string bytes(50000, '\0');
        // Mostly plain noise; some rounds lean towards the characters the
        // format cares about, so sections and "=" really occur.
        for (char& c : bytes) {
            const unsigned r = gen();
            c = (round % 2 && r % 4 == 0) ? "[]=:\n\r vmHexDc0123"[r % 18] : static_cast<char>(r);
        }
        if (round % 4 == 1) bytes = "[tape]\n" + bytes;
        WriteFile(path_, bytes);
        RecordingSink got;
        LoadStateFile(path_, got);
        for (const auto& r : got.regs) EXPECT_TRUE(r.k >= 0 && r.k < kRegisterCount);
        for (const auto& row : got.tape) EXPECT_LE(row.text.size(), kMaxText);
        for (ValueMode m : got.modes) EXPECT_TRUE(m >= vmDec && m <= vmERR);
    }
}

TEST_F(StateFileTest, DamagedLinesDoNotLoseTheGoodOnes) {
    const std::string junk = "\x01\xff\xfe garbage = \x7f:vmDec:\x80";
    std::string text = junk + "\r\n[globals]\r\n" + junk + "\r\nmode=vmOct\r\n[registers]\r\n";
    for (int k = 0; k < 8; ++k) text += HexLine(vmOct, k) + "\r\n" + junk + "\r\n";
    text += "[tape]\r\n" + junk + "\r\n" + HexLine(vmOct, 1) + "=1o\r\n" + junk + "\r\n";
    const StateSnapshot got = LoadSnapshot(text);
    EXPECT_EQ(got.mode, vmOct);
    for (int k = 0; k < 16; k += 2) EXPECT_EQ(got.regs[k], IntValue(vmOct, k / 2));
    ASSERT_EQ(got.tape.size(), 1u);
    EXPECT_EQ(got.tape[0].text, "1o");
}

// A file padded far beyond what a state file holds is read up to the bound
// (whole lines only), the rest is skipped with a warning, and the file is to
// be kept as .bad. A file just within the bound reads as usual.
TEST_F(StateFileTest, OversizedFileLoadsItsFirstMebibyteAndIsKept) {
    std::string text = "[globals]\r\nmode=vmDec\r\n[tape]\r\n";
    for (int rows = 0; text.size() < 10u * 1024 * 1024; ++rows)
        text += HexLine(vmDec, rows) + "=" + std::to_string(rows) + "\r\n";
    const std::string tooLong = "Could not read all of the calculator state from " + path_ +
                                ": it is longer than a state file can be (1 MiB, or 4096 bytes in one line). "
                                "The calculator starts with the part that was read. When it closes, that "
                                "file is kept as " +
                                path_ + ".bad and a new one is written.";
    // What is read: the lines ended within the bound (CR ends a line too).
    const std::string head = text.substr(0, text.find_last_of("\r\n", kMaxStateBytes - 1) + 1);
    std::string exact = head;
    exact.resize(kMaxStateBytes, ' ');
    const std::string longLine = "[globals]\nmode=vmOct\nx" + std::string(kMaxStateLine, 'y') +
                                 "\n[registers]\n" + HexLine(vmOct, 5) + "\n";
    struct Case {
        const char* what;
        std::string content, warning, loadsLike;
    };
    const std::vector<Case> cases = {
        {"10 MB", text, tooLong, head},
        {"exactly the bound", exact, "", head},
        {"one byte more", exact + "x", tooLong, head},
        {"a line too long", longLine, tooLong, "[globals]\nmode=vmOct\n[registers]\n" + HexLine(vmOct, 5)},
        {"a line just short enough",
         std::string(1, 'x').append(kMaxStateLine - 1, 'y') + "\r\n" +
             Crlf({"[tape]", HexLine(vmDec, 3) + "=3"}),
         "", "[tape]\n" + HexLine(vmDec, 3) + "=3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(path_, c.content);
        StateSnapshot got;
        SnapshotSink sink(got);
        EXPECT_EQ(LoadStateFile(path_, sink), c.warning);
        EXPECT_EQ(FormatState(got), FormatState(LoadSnapshot(c.loadsLike)));
    }
}

// Text that holds no section header at all (another encoding such as
// UTF-16, or not a state file) loads nothing and is kept; blank lines alone
// hold nothing to keep.
TEST_F(StateFileTest, FileWithoutAnySectionIsReportedAndKept) {
    const std::string valid = FormatState(Sample());
    std::string utf16 = "\xFF\xFE";
    for (char c : valid) utf16 += std::string{c, '\0'};
    std::mt19937 gen(99);
    std::string noise(5000, '\0');
    for (char& c : noise) c = static_cast<char>(gen());
    const std::string none = "Could not read the calculator state from " + path_ +
                             ": it holds no section [globals], [registers] or [tape]. The calculator starts "
                             "without it. When it closes, that file is kept as " +
                             path_ + ".bad and a new one is written.";
    struct Case {
        const char* what;
        std::string content, warning;
    };
    const std::vector<Case> cases = {
        {"UTF-16", utf16, none},
        {"random bytes", noise, none},
        {"words", "mode=vmHex\nvmHex:1=1h\n", none},
        {"an unknown section only", "[colours]\nred=1\n", none},
        {"empty", "", ""},
        {"blank lines and a mark", "\xEF\xBB\xBF\r\n \t\r\n\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(path_, c.content);
        RecordingSink sink;
        EXPECT_EQ(LoadStateFile(path_, sink), c.warning);
        if (c.warning.empty()) continue;
        std::string error;
        ASSERT_TRUE(SaveStateFile(path_, StateSnapshot{}, error, OldStateFile::kKeepAsBad)) << error;
        EXPECT_EQ(ReadFile(BadStatePath(path_)), c.content);
        EXPECT_EQ(ReadFile(path_), FormatState(StateSnapshot{}));
    }
}

// A dotfiles folder: qz.state is a link. The save replaces the file the
// link names, beside it, and the link stays as it was.
TEST_F(StateFileTest, SavesThroughSymbolicLinks) {
    const std::string dots = dir_ + "/dots";
    fs::create_directories(dots + "/sub");
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> links;  // link, what it holds
        std::string target;
    };
    const std::vector<Case> cases = {
        {"absolute", {{path_, dots + "/qz.state"}}, dots + "/qz.state"},
        {"relative", {{path_, "dots/qz.state"}}, dots + "/qz.state"},
        {"a chain", {{path_, "dots/link"}, {dots + "/link", "sub/qz.state"}}, dots + "/sub/qz.state"},
        {"to a file not made yet", {{path_, "dots/new.state"}}, dots + "/new.state"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& [link, to] : c.links) {
            fs::remove(link);
            fs::create_symlink(to, link);
        }
        std::string error;
        ASSERT_TRUE(SaveStateFile(path_, Sample(), error)) << error;
        for (const auto& [link, to] : c.links) {
            ASSERT_TRUE(fs::is_symlink(link));
            EXPECT_EQ(fs::read_symlink(link).string(), to);
        }
        EXPECT_EQ(ReadFile(c.target), FormatState(Sample()));
        fs::remove(c.target);
    }

    // A file that cannot be read is kept beside the file, not the link.
    fs::remove(dots + "/link");
    fs::remove(path_);
    fs::create_symlink(dots + "/qz.state", path_);
    WriteFile(dots + "/qz.state", "no sections\r\n");
    RecordingSink sink;
    EXPECT_NE(LoadStateFile(path_, sink).find("kept as " + dots + "/qz.state.bad and"), std::string::npos);
    std::string error;
    ASSERT_TRUE(SaveStateFile(path_, Sample(), error, OldStateFile::kKeepAsBad)) << error;
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_EQ(ReadFile(dots + "/qz.state.bad"), "no sections\r\n");
    EXPECT_EQ(ReadFile(path_), FormatState(Sample()));
    EXPECT_EQ(DirEntries(), (std::vector<std::string>{"dots", "qz.state"}));

    // Links that only lead to each other end in a message.
    fs::remove(path_);
    fs::create_symlink("loop", path_);
    fs::create_symlink("qz.state", dir_ + "/loop");
    EXPECT_FALSE(SaveStateFile(path_, Sample(), error));
    EXPECT_EQ(error, "Could not save the calculator state to " + path_ + ": " + std::strerror(ELOOP));
}

}  // namespace
