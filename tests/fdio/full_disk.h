// A disk with no room left, for a child process: a small tmpfs mounted over
// a folder in a mount namespace of the child's own where the machine allows
// it (as root, or through a user namespace), else the ordinary disk with the
// writes of replaced files failing with ENOSPC after their first 4096 bytes
// (FileWriteHook), as a nearly full disk does.
#pragma once

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>

#include "fdio/fdio.h"

namespace full_disk {

inline bool WriteText(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

// In the child: its own mount namespace, with a 64 KiB tmpfs on folder.
inline bool MountSmallDisk(const std::string& folder) {
    if (::geteuid() == 0) {
        if (::unshare(CLONE_NEWNS) != 0) return false;
    } else {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
        if (!WriteText("/proc/self/setgroups", "deny") ||
            !WriteText("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !WriteText("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            return false;
    }
    // Mounts made here must not reach the test's own namespace.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
    return ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k,mode=0755") == 0;
}

// Takes whatever room is left on the disk of folder.
inline void FillUp(const std::string& folder) {
    const int fd = ::open((folder + "/.filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    const std::string block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {}
    // What is left is smaller than a block.
    while (::write(fd, "f", 1) > 0) {}
    ::close(fd);
}

}  // namespace full_disk

// Runs setup(), then fills the disk, then runs fn(), all in a child
// process, and returns what fn returned. folder must exist and be empty.
// No test assertions inside: they would be lost with the child. *real tells
// whether the disk was a real one (a tmpfs).
inline std::string OnFullDisk(const std::string& folder, const std::function<void()>& setup,
                              const std::function<std::string()>& fn, bool* real = nullptr) {
    int fds[2];
    if (::pipe(fds) != 0) return "no pipe";
    const pid_t pid = ::fork();
    if (pid < 0) return "no fork";
    if (pid == 0) {
        ::close(fds[0]);
        const bool mounted = full_disk::MountSmallDisk(folder);
        setup();
        if (mounted) {
            full_disk::FillUp(folder);
        } else {
            FileWriteHook = [left = std::size_t{4096}](int fd, const char* data,
                                                       std::size_t size) mutable -> long {
                if (left == 0) {
                    errno = ENOSPC;
                    return -1;
                }
                const long n = ::write(fd, data, std::min(size, left));
                if (n > 0) left -= static_cast<std::size_t>(n);
                return n;
            };
        }
        const std::string out = std::string(mounted ? "1" : "0") + fn();
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
    if (out.empty() || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "[the child process failed]" + out;
    if (real) *real = out.front() == '1';
    return out.substr(1);
}
