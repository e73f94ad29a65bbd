// Two calculators on one state file: a save merges its changes into what
// another calculator saved after this one loaded the file, and savers take
// turns.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "state_test_util.h"

namespace fs = std::filesystem;

namespace {

// A tape of rows named by their texts; each row's value is its number in
// the name ("a3" holds 3), so rows differ in value and text alike.
std::vector<TapeRow> Rows(std::initializer_list<std::string> names) {
    std::vector<TapeRow> rows;
    for (const std::string& n : names) rows.push_back({IntValue(vmDec, std::stoul(n.substr(1))), n});
    return rows;
}

std::vector<TapeRow> Numbered(char letter, int from, int to) {
    std::vector<TapeRow> rows;
    for (int i = from; i <= to; ++i) rows.push_back({IntValue(vmDec, i), letter + std::to_string(i)});
    return rows;
}

std::vector<TapeRow> Join(std::vector<TapeRow> a, const std::vector<TapeRow>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Of a tape or a list of rows.
template <class Rows>
std::string Texts(const Rows& rows) {
    std::string out;
    for (const TapeRow& r : rows) out += (out.empty() ? "" : " ") + r.text;
    return out;
}

StateSnapshot Loaded() {
    StateSnapshot s;
    s.mode = vmDec;
    for (int k = 0; k < kRegisterCount; ++k) s.regs[k] = IntValue(vmDec, 100 + k);
    s.tape = Tape(Rows({"L1", "L2", "L3"}));
    return s;
}

StateBase BaseOf(const StateSnapshot& loaded) {
    StateBase base;
    base.regs = loaded.regs;
    base.tape = loaded.tape.Rows();
    return base;
}

TEST(MergeState, RegistersGlobalsAndTape) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, int>> ourRegs, fileRegs;  // register, new value
        std::vector<TapeRow> ourTape, fileTape;
        std::size_t added;
        bool cleared;
        std::vector<std::pair<int, int>> wantRegs;  // besides the loaded values
        std::vector<TapeRow> wantTape;
    };
    const std::vector<TapeRow> L = Rows({"L1", "L2", "L3"});
    const std::vector<Case> cases = {
        {"nothing changed", {}, {}, L, L, 0, false, {}, L},
        {"each changed its own register", {{5, 111}}, {{6, 222}}, L, L, 0, false, {{5, 111}, {6, 222}}, L},
        {"both changed one: this save wins", {{7, 1}}, {{7, 2}}, L, L, 0, false, {{7, 1}}, L},
        {"changed back to what was loaded: the file's", {}, {{8, 9}}, L, L, 0, false, {{8, 9}}, L},
        {"both added lines: the file's, then ours",
         {},
         {},
         Join(L, Rows({"a1", "a2"})),
         Join(L, Rows({"b1"})),
         2,
         false,
         {},
         Join(L, Rows({"b1", "a1", "a2"}))},
        {"the newest 100 kept",
         {},
         {},
         Join(L, Numbered('a', 1, 60)),
         Join(L, Numbered('b', 1, 60)),
         60,
         false,
         {},
         Join(Numbered('b', 21, 60), Numbered('a', 1, 60))},
        {"ours cleared: only the loaded lines go",
         {},
         {},
         Rows({"a1"}),
         Join(L, Rows({"b1", "b2"})),
         1,
         true,
         {},
         Rows({"b1", "b2", "a1"})},
        {"ours cleared, the file lost its oldest loaded line since",
         {},
         {},
         Rows({"a1"}),
         Rows({"L2", "L3", "b1"}),
         1,
         true,
         {},
         Rows({"b1", "a1"})},
        {"ours cleared, the other one cleared too",
         {},
         {},
         {},
         Rows({"b1", "L1"}),
         0,
         true,
         {},
         Rows({"b1", "L1"})},
        {"ours at the limit: the newest 100 of the file's lines and ours",
         {},
         {},
         Join(Rows({"L2", "L3"}), Numbered('a', 1, 98)),
         Join(L, Rows({"b1"})),
         98,
         false,
         {},
         Join(Rows({"L3", "b1"}), Numbered('a', 1, 98))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const StateSnapshot loaded = Loaded();
        StateBase base = BaseOf(loaded);
        base.tapeAdded = c.added;
        base.tapeCleared = c.cleared;
        StateSnapshot ours = loaded, file = loaded;
        ours.mode = vmHex;
        ours.window.onTop = true;
        file.mode = vmOct;
        for (auto [k, v] : c.ourRegs) ours.regs[k] = IntValue(vmDec, v);
        for (auto [k, v] : c.fileRegs) file.regs[k] = IntValue(vmDec, v);
        ours.tape = Tape(c.ourTape);
        file.tape = Tape(c.fileTape);

        StateSnapshot want = loaded;
        want.mode = vmHex;
        want.window.onTop = true;
        for (auto [k, v] : c.wantRegs) want.regs[k] = IntValue(vmDec, v);
        want.tape = Tape(c.wantTape);
        const StateSnapshot got = MergeState(ours, base, file);
        EXPECT_EQ(Texts(got.tape), Texts(c.wantTape));
        EXPECT_EQ(FormatState(got), FormatState(want));
    }
}

class StateMergeFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "qzmerge-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        path_ = dir_ + "/qz.state";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    // A calculator's start: what it loaded, as the base of its save.
    StateBase Start(StateSnapshot& state) const {
        SnapshotSink sink(state);
        StateFileStamp stamp;
        EXPECT_EQ(LoadStateFile(path_, sink, &stamp), "");
        StateBase base = BaseOf(state);
        base.stamp = stamp;
        return base;
    }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string dir_, path_;
};

// No other calculator saved: the file is exactly this state, however much
// it changed, as it was before saves merged.
TEST_F(StateMergeFileTest, UnchangedFileIsReplacedByExactlyThisState) {
    std::string error;
    ASSERT_TRUE(SaveStateFile(path_, Loaded(), error)) << error;
    StateSnapshot a;
    StateBase base = Start(a);
    a.mode = vmBin;
    a.regs[3] = kErrorValue;
    a.tape = Tape(Numbered('a', 1, 100));  // the loaded lines are gone at the limit
    base.tapeAdded = 100;
    ASSERT_TRUE(SaveStateFile(path_, a, error, OldStateFile::kReplace, &base)) << error;
    EXPECT_EQ(ReadFile(path_), FormatState(a));
    EXPECT_EQ(Entries(), std::vector<std::string>{"qz.state"});
}

// Start A, then B. A stores 111 in R5, B 222 in R6, each types a line.
// Whichever closes first, the file ends with both registers and both lines.
TEST_F(StateMergeFileTest, TwoCalculatorsKeepEachOthersChanges) {
    for (bool aFirst : {true, false}) {
        SCOPED_TRACE(aFirst ? "A closes first" : "B closes first");
        std::string error;
        ASSERT_TRUE(SaveStateFile(path_, Loaded(), error)) << error;
        StateSnapshot a, b;
        StateBase baseA = Start(a), baseB = Start(b);
        a.regs[5] = IntValue(vmDec, 111);
        a.tape.Append(IntValue(vmDec, 111), "a111");
        baseA.tapeAdded = 1;
        b.regs[6] = IntValue(vmDec, 222);
        b.mode = vmHex;
        b.tape.Append(IntValue(vmDec, 222), "b222");
        baseB.tapeAdded = 1;
        if (aFirst) {
            ASSERT_TRUE(SaveStateFile(path_, a, error, OldStateFile::kReplace, &baseA)) << error;
            ASSERT_TRUE(SaveStateFile(path_, b, error, OldStateFile::kReplace, &baseB)) << error;
        } else {
            ASSERT_TRUE(SaveStateFile(path_, b, error, OldStateFile::kReplace, &baseB)) << error;
            ASSERT_TRUE(SaveStateFile(path_, a, error, OldStateFile::kReplace, &baseA)) << error;
        }
        const StateSnapshot got = LoadSnapshot(ReadFile(path_));
        EXPECT_EQ(got.regs[5], IntValue(vmDec, 111));
        EXPECT_EQ(got.regs[6], IntValue(vmDec, 222));
        EXPECT_EQ(got.regs[7], IntValue(vmDec, 107));
        EXPECT_EQ(Texts(got.tape), aFirst ? "L1 L2 L3 a111 b222" : "L1 L2 L3 b222 a111");
        EXPECT_EQ(got.mode, aFirst ? vmHex : vmDec);  // the last save's
        EXPECT_EQ(Entries(), std::vector<std::string>{"qz.state"});
    }
}

// What another calculator left may also be no file at all, or one that
// cannot be read: the first is not merged into, the second is kept.
TEST_F(StateMergeFileTest, RemovedOrDamagedFileMeanwhile) {
    std::string error;
    ASSERT_TRUE(SaveStateFile(path_, Loaded(), error)) << error;
    StateSnapshot a;
    StateBase base = Start(a);
    a.regs[1] = IntValue(vmDec, 1);

    fs::remove(path_);
    ASSERT_TRUE(SaveStateFile(path_, a, error, OldStateFile::kReplace, &base)) << error;
    EXPECT_EQ(ReadFile(path_), FormatState(a));

    const std::string utf16("\xFF\xFE[\0g\0", 6);
    WriteFile(path_, utf16);
    ASSERT_TRUE(SaveStateFile(path_, a, error, OldStateFile::kReplace, &base)) << error;
    EXPECT_EQ(ReadFile(path_), FormatState(a));
    EXPECT_EQ(ReadFile(BadStatePath(path_)), utf16);
}

// While another saver holds the lock, a save waits, and then merges into
// what that saver wrote.
TEST_F(StateMergeFileTest, SaversTakeTurns) {
    std::string error;
    ASSERT_TRUE(SaveStateFile(path_, Loaded(), error)) << error;
    StateSnapshot a, b;
    StateBase baseA = Start(a), baseB = Start(b);
    a.regs[5] = IntValue(vmDec, 111);
    b.regs[6] = IntValue(vmDec, 222);

    const std::string lockPath = path_ + ".lock";
    const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::string e;
        ::_exit(SaveStateFile(path_, a, e, OldStateFile::kReplace, &baseA) ? 0 : 1);
    }
    // B's save, made by hand while B holds the lock.
    ::usleep(300 * 1000);
    WriteFile(path_ + ".b", FormatState(b));
    ASSERT_EQ(::rename((path_ + ".b").c_str(), path_.c_str()), 0);
    ::unlink(lockPath.c_str());
    ::close(lock);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    const StateSnapshot got = LoadSnapshot(ReadFile(path_));
    EXPECT_EQ(got.regs[5], IntValue(vmDec, 111));
    EXPECT_EQ(got.regs[6], IntValue(vmDec, 222));
    EXPECT_EQ(Entries(), std::vector<std::string>{"qz.state"});
    (void)baseB;
}

}  // namespace
