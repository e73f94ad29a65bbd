// WriteAll: every byte arrives in order, however little the kernel takes per
// call, and a failure comes back as its errno. ReplaceFileContent: a file is
// replaced whole or not at all.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../state/as_nobody.h"
#include "fdio/fdio.h"
#include "file_text.h"
#include "full_disk.h"

namespace fs = std::filesystem;

namespace {

std::atomic<int> signalsSeen{0};
void CountSignal(int) { signalsSeen.fetch_add(1); }

// Installs a handler for one signal without SA_RESTART, so that a blocked
// write returns early; the old action comes back at the end.
class InterruptingSignal {
public:
    InterruptingSignal(int sig, void (*handler)(int)) : sig_(sig) {
        struct sigaction sa {};
        sa.sa_handler = handler;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0;
        ::sigaction(sig_, &sa, &old_);
    }
    ~InterruptingSignal() { ::sigaction(sig_, &old_, nullptr); }

private:
    int sig_;
    struct sigaction old_ {};
};

std::string Pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return s;
}

TEST(WriteAll, EveryByteGoesThroughASmallPipeDespiteSignals) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    // As small as Linux allows; where it cannot be set, the default pipe is
    // still far smaller than the data.
    ::fcntl(fds[1], F_SETPIPE_SZ, 4096);
    InterruptingSignal usr1(SIGUSR1, CountSignal);
    signalsSeen = 0;

    const std::string data = Pattern(1 << 20);
    std::atomic<bool> done{false};
    int result = -1;
    std::thread writer([&] {
        result = WriteAll(fds[1], data);
        done = true;
        ::close(fds[1]);  // the reader sees the end here
    });

    std::string got;
    char buf[1000];
    for (;;) {
        // Interrupt the writer while it waits for room in the pipe: its write
        // returns short or fails with EINTR.
        if (!done) ::pthread_kill(writer.native_handle(), SIGUSR1);
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        ASSERT_GE(n, 0) << std::strerror(errno);
        if (n == 0) break;
        got.append(buf, static_cast<std::size_t>(n));
    }
    writer.join();
    ::close(fds[0]);

    EXPECT_EQ(result, 0);
    EXPECT_GT(signalsSeen.load(), 0);
    ASSERT_EQ(got.size(), data.size());
    EXPECT_TRUE(got == data) << "bytes lost or out of order";
}

TEST(WriteAll, ReportsTheErrnoOfTheFailedWrite) {
    // No SIGPIPE: the error is to come back as EPIPE.
    InterruptingSignal noPipeSignal(SIGPIPE, SIG_IGN);
    struct Case {
        const char* what;
        int (*open)();  // the descriptor to write to
        int err;
        bool stillOpen;  // to be closed by the test
    };
    const Case cases[] = {
        {"pipe without a reader",
         [] {
             int fds[2];
             if (::pipe(fds) != 0) return -1;
             ::close(fds[0]);
             return fds[1];
         },
         EPIPE, true},
        {"closed descriptor",
         [] {
             const int fd = ::open("/dev/null", O_WRONLY);
             ::close(fd);
             return fd;
         },
         EBADF, false},
        {"read-only descriptor", [] { return ::open("/dev/null", O_RDONLY); }, EBADF, true},
        {"full device", [] { return ::open("/dev/full", O_WRONLY); }, ENOSPC, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int fd = c.open();
        ASSERT_GE(fd, 0) << std::strerror(errno);
        EXPECT_EQ(WriteAll(fd, "some text\n"), c.err);
        if (c.stillOpen) ::close(fd);
    }
}

TEST(WriteAll, NothingToWriteMakesNoCall) {
    // A call on an invalid descriptor would fail with EBADF.
    EXPECT_EQ(WriteAll(-1, ""), 0);
    EXPECT_EQ(WriteAll(-1, std::string_view()), 0);
}

class ReplaceFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "qzfdio-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }
    // The names in a folder, sorted, without the full disk's filler.
    static std::string Entries(const std::string& dir) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().filename() != ".filler") names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        std::string out;
        for (const std::string& n : names) out += n + " ";
        return out;
    }
    static int Mode(const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
    }

    std::string dir_;
};

TEST_F(ReplaceFileTest, ReplacesWholeKeepsTheModeAndFollowsLinks) {
    const std::string file = dir_ + "/tape.txt", link = dir_ + "/link.txt";
    const mode_t oldMask = ::umask(022);
    bool failedToCreate = true;
    EXPECT_EQ(ReplaceFileContent(file, "new\n", failedToCreate), 0);
    EXPECT_FALSE(failedToCreate);
    EXPECT_EQ(ReadFile(file), "new\n");
    EXPECT_EQ(Mode(file), 0644);  // a new file as any program makes one

    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    GiveToNobody(file);  // as root: a user's file stays the user's
    struct stat before {};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);
    EXPECT_EQ(ReplaceFileContent(file, std::string(100000, 'x'), failedToCreate), 0);
    EXPECT_EQ(ReadFile(file), std::string(100000, 'x'));
    EXPECT_EQ(Mode(file), 0640);
    struct stat after {};
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);

    fs::create_symlink("tape.txt", link);
    EXPECT_EQ(ReplaceFileContent(link, "through the link\n", failedToCreate), 0);
    ::umask(oldMask);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(file), "through the link\n");
    EXPECT_EQ(Entries(dir_), "link.txt tape.txt ");
}

TEST_F(ReplaceFileTest, WhatCannotBeMadeIsReportedAsSuch) {
    fs::create_directory(dir_ + "/folder");
    struct Case {
        std::string path;
        int err;
    };
    const std::vector<Case> cases = {{dir_ + "/no such folder/tape.txt", ENOENT}, {dir_ + "/folder", EISDIR}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        bool failedToCreate = false;
        EXPECT_EQ(ReplaceFileContent(c.path, "x", failedToCreate), c.err);
        EXPECT_TRUE(failedToCreate);
    }
    EXPECT_EQ(Entries(dir_), "folder ");
}

// The disk fills up while the file is written: an old file comes through
// byte for byte, a new one is not left behind in part, and the reason is the
// real one.
TEST_F(ReplaceFileTest, FullDiskKeepsTheOldFileAndLeavesNoPart) {
    const std::string disk = dir_ + "/disk", old(3000, 'o');
    fs::create_directory(disk);
    bool real = false;
    const std::string got = OnFullDisk(
        disk, [&] { WriteFile(disk + "/tape.txt", old); },
        [&] {
            const std::string content(20000, 'n');
            bool failedToCreate = true;
            std::string out = std::strerror(ReplaceFileContent(disk + "/tape.txt", content, failedToCreate));
            out += failedToCreate ? " (create)|" : " (write)|";
            out += std::strerror(ReplaceFileContent(disk + "/new.txt", content, failedToCreate));
            out += '|';
            out += std::to_string(ReadFile(disk + "/tape.txt") == old);
            out += '|';
            out += Entries(disk);
            return out;
        },
        &real);
    EXPECT_EQ(got, "No space left on device (write)|No space left on device|1|tape.txt ");
    if (!real) std::cout << "(no tmpfs could be mounted: the full disk was simulated)\n";
}

// A folder the user may not write to, holding a file the user may: no
// temporary file can be made, so the file itself is written.
TEST_F(ReplaceFileTest, UnwritableFolderWritesTheFileInPlace) {
    const std::string file = dir_ + "/tape.txt", locked = dir_ + "/locked.txt";
    WriteFile(file, std::string(5000, 'o'));
    WriteFile(locked, "keep");
    ASSERT_EQ(::chmod(file.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(dir_.c_str(), 0555), 0);
    const std::string got = AsUser([&] {
        bool a = false, b = false;
        const int inPlace = ReplaceFileContent(file, "new\n", a);
        const int refused = ReplaceFileContent(locked, "new\n", b);
        return std::string(std::strerror(inPlace)) + (a ? " (create)|" : "|") + std::strerror(refused) +
               (b ? " (create)" : "");
    });
    EXPECT_EQ(got, std::string("Success|") + std::strerror(EACCES) + " (create)");
    EXPECT_EQ(ReadFile(file), "new\n");
    EXPECT_EQ(ReadFile(locked), "keep");
    EXPECT_EQ(Entries(dir_), "locked.txt tape.txt ");
}

}  // namespace
