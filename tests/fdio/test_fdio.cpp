// WriteAll: every byte arrives in order, however little the kernel takes per
// call, and a failure comes back as its errno.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include "fdio/fdio.h"

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

}  // namespace
