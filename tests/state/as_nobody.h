// Part of a test run as an ordinary user. CI runs the tests as root, and
// root reads and writes whatever the permissions say; a child process that
// becomes the user nobody meets them as a user does.
#pragma once

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

inline bool RunsAsRoot() { return ::geteuid() == 0; }

inline uid_t NobodyUid() {
    const passwd* pw = ::getpwnam("nobody");
    return pw ? pw->pw_uid : 65534;
}

inline gid_t NobodyGid() {
    const passwd* pw = ::getpwnam("nobody");
    return pw ? pw->pw_gid : 65534;
}

// Makes a file or folder nobody's, so that the child may write it (nothing
// to do when the test does not run as root: the child is the test's user).
inline void GiveToNobody(const std::string& path) {
    if (RunsAsRoot()) (void)!::chown(path.c_str(), NobodyUid(), NobodyGid());
}

// Runs fn in a child process, as nobody when the test runs as root, and
// returns what fn returned. No test assertions inside fn: they would be lost
// with the child.
inline std::string AsUser(const std::function<std::string()>& fn) {
    int fds[2];
    if (::pipe(fds) != 0) return "no pipe";
    const pid_t pid = ::fork();
    if (pid < 0) return "no fork";
    if (pid == 0) {
        ::close(fds[0]);
        std::string out;
        if (RunsAsRoot() &&
            (::setgroups(0, nullptr) != 0 || ::setgid(NobodyGid()) != 0 || ::setuid(NobodyUid()) != 0))
            out = "could not become nobody";
        else
            out = fn();
        for (std::size_t done = 0; done < out.size();) {
            const ssize_t n = ::write(fds[1], out.data() + done, out.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buf[512];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) out += " [the child process failed]";
    return out;
}
