// A disk with no room left, for a child process: a small tmpfs mounted over
// a folder in a mount namespace of the child's own where the machine allows
// it (as root, or through a user namespace), else the ordinary disk with the
// writes of replaced files failing with ENOSPC after their first 4096 bytes
// (FileWriteHook), as a nearly full disk does.
#pragma once

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <string>

#include "child_process.h"
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

// A FileWriteHook under which the writes of replaced files fail with ENOSPC
// once bytes have been written, as on a nearly full disk.
inline std::function<long(int, const char*, std::size_t)> WritesFailAfter(std::size_t bytes) {
    return [left = bytes](int fd, const char* data, std::size_t size) mutable -> long {
        if (left == 0) {
            errno = ENOSPC;
            return -1;
        }
        const long n = ::write(fd, data, std::min(size, left));
        if (n > 0) left -= static_cast<std::size_t>(n);
        return n;
    };
}

}  // namespace full_disk

// Runs setup(), then fills the disk, then runs fn(), all in a child
// process, and returns what fn returned. folder must exist and be empty.
// No test assertions inside: they would be lost with the child. *real tells
// whether the disk was a real one (a tmpfs).
inline std::string OnFullDisk(const std::string& folder, const std::function<void()>& setup,
                              const std::function<std::string()>& fn, bool* real = nullptr) {
    const std::optional<std::string> out = RunInChild([&] {
        const bool mounted = full_disk::MountSmallDisk(folder);
        setup();
        if (mounted)
            full_disk::FillUp(folder);
        else
            FileWriteHook = full_disk::WritesFailAfter(4096);
        return std::string(mounted ? "1" : "0") + fn();
    });
    if (!out || out->empty()) return "[the child process failed]";
    if (real) *real = out->front() == '1';
    return out->substr(1);
}
