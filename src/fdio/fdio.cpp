#include "fdio/fdio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

std::function<long(int fd, const char* data, std::size_t size)> FileWriteHook;

namespace {

int WriteAllWith(int fd, std::string_view data, bool hooked) {
    while (!data.empty()) {
        const long n = hooked && FileWriteHook ? FileWriteHook(fd, data.data(), data.size())
                                               : ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

// Some file systems cannot flush a file (EINVAL); what they hold is as safe
// as they make it.
int Flush(int fd) { return ::fsync(fd) != 0 && errno != EINVAL ? errno : 0; }

// A new file beside the target, named after it, that nobody else has.
int CreateTemporary(const std::string& path, mode_t mode, std::string& tmpPath) {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device rd;
    std::mt19937 gen(rd() ^ static_cast<unsigned>(::getpid()));
    std::uniform_int_distribution<int> pick(0, sizeof(kChars) - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmpPath = path + ".";
        for (int i = 0; i < 6; ++i) tmpPath += kChars[pick(gen)];
        const int fd = ::open(tmpPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

int WriteAll(int fd, std::string_view data) { return WriteAllWith(fd, data, false); }

// Some file systems cannot sync a folder; the content is already on disk
// then, so a failure here is not one.
void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

int FollowLinks(const std::string& path, std::string& target) {
    target = path;
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(st.st_mode)) return 0;
        if (hops == 40) return ELOOP;
        std::string link(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 4096, '\0');
        const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
        if (n < 0) return errno;
        // The link changed under us between the two calls.
        if (static_cast<std::size_t>(n) >= link.size()) return ELOOP;
        link.resize(static_cast<std::size_t>(n));
        if (link.empty()) return ENOENT;
        target = link.front() == '/' ? link : FolderOf(target).append("/").append(link);
    }
}

int FileReplacement::Begin(const std::string& target, mode_t newMode, mode_t addBits) {
    Abandon();
    target_ = target;
    finished_ = false;
    fd_ = CreateTemporary(target, newMode, tmpPath_);
    if (fd_ < 0) {
        const int err = errno;
        tmpPath_.clear();
        return err;
    }
    // Replacing the file must not change who may read it. Its owner and
    // group stay where this process may give them (as root, or a group of
    // its own); elsewhere the new file is simply this process's.
    struct stat previous {};
    struct stat made {};
    mode_t want = 0;
    if (::stat(target.c_str(), &previous) == 0 && S_ISREG(previous.st_mode)) {
        if (::fstat(fd_, &made) == 0 && (made.st_uid != previous.st_uid || made.st_gid != previous.st_gid))
            (void)!::fchown(fd_, previous.st_uid, previous.st_gid);
        want = (previous.st_mode & 07777) | addBits;
    } else if (::fstat(fd_, &made) == 0) {
        want = (made.st_mode & 07777) | addBits;
    }
    if (want != 0 && ::fchmod(fd_, want) != 0) {
        const int err = errno;
        Abandon();
        return err;
    }
    return 0;
}

int FileReplacement::Write(std::string_view data) { return fd_ < 0 ? EBADF : WriteAllWith(fd_, data, true); }

int FileReplacement::Finish() {
    if (fd_ < 0) return EBADF;
    int err = Flush(fd_);
    if (::close(fd_) != 0 && err == 0) err = errno;
    fd_ = -1;
    finished_ = err == 0;
    return err;
}

int FileReplacement::Commit() {
    if (!finished_) return EBADF;
    if (::rename(tmpPath_.c_str(), target_.c_str()) != 0) return errno;
    tmpPath_.clear();
    finished_ = false;
    SyncFolder(FolderOf(target_));
    return 0;
}

void FileReplacement::Abandon() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    finished_ = false;
    if (!tmpPath_.empty()) ::unlink(tmpPath_.c_str());
    tmpPath_.clear();
}

int ReplaceFileContent(const std::string& path, std::string_view content, bool& failedToCreate) {
    failedToCreate = true;
    std::string target;
    if (const int err = FollowLinks(path, target); err != 0) return err;
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return EISDIR;
    FileReplacement file;
    // A device or a pipe is written to, never replaced.
    int err = exists && !S_ISREG(st.st_mode) ? EPERM : file.Begin(target, 0666);
    if (err == EACCES || err == EPERM) {
        // No room for a second file beside it: the old contents cannot be
        // kept safe, but a file the user may write is still written.
        const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) return errno;
        failedToCreate = false;
        err = WriteAllWith(fd, content, true);
        if (err == 0 && (!exists || S_ISREG(st.st_mode))) err = Flush(fd);
        if (::close(fd) != 0 && err == 0) err = errno;
        return err;
    }
    if (err != 0) return err;
    failedToCreate = false;
    if (err = file.Write(content); err != 0) return err;
    if (err = file.Finish(); err != 0) return err;
    return file.Commit();
}
