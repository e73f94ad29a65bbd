// Part of a test run as an ordinary user. CI runs the tests as root, and
// root reads and writes whatever the permissions say; a child process that
// becomes the user nobody meets them as a user does.
#pragma once

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "../fdio/child_process.h"

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
    const std::optional<std::string> out = RunInChild([&]() -> std::string {
        if (RunsAsRoot() &&
            (::setgroups(0, nullptr) != 0 || ::setgid(NobodyGid()) != 0 || ::setuid(NobodyUid()) != 0))
            return "could not become nobody";
        return fn();
    });
    return out ? *out : "[the child process failed]";
}
