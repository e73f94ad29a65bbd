// Writing to a file descriptor without losing part of the data, and
// replacing a file so that a failure part way never costs the old one.
// A library of its own: qzcalc must not depend on the state layer, and the
// calculator machine has nothing to do with files.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// Writes all of data to fd, going on after short writes and interrupted
// calls. Returns 0, or the errno of the write that failed (part of the data
// may have been written then). A write that takes nothing counts as EIO,
// so that the loop always ends.
[[nodiscard]] int WriteAll(int fd, std::string_view data);

// The folder part of a path: "." for a bare name, "/" for a file in the root.
std::string FolderOf(const std::string& path);

// Makes a rename or a new entry in the folder durable.
void SyncFolder(const std::string& folder);

// Where writing to path lands: path itself, or, when path is a symbolic link
// (a dotfiles folder), the file the link finally names, so that replacing
// that file leaves the link in place. Relative links count from their own
// folder; the last target need not exist. Returns 0, or the errno (ELOOP
// after 40 links).
[[nodiscard]] int FollowLinks(const std::string& path, std::string& target);

// A file being replaced: the new content goes to a temporary file beside the
// target, and only a whole, flushed file takes the target's name. Until
// Commit succeeds the target is untouched, and a replacement that does not
// get that far removes its temporary file.
class FileReplacement {
public:
    FileReplacement() = default;
    ~FileReplacement() { Abandon(); }
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Creates the temporary file beside target ("<target>.XXXXXX"). It gets
    // the permissions of the regular file it replaces, or newMode (less the
    // umask) when there is none; addBits are added to either. Returns 0 or
    // the errno.
    [[nodiscard]] int Begin(const std::string& target, mode_t newMode, mode_t addBits = 0);
    [[nodiscard]] int Write(std::string_view data);
    // Flushes the temporary file to the disk and closes it.
    [[nodiscard]] int Finish();
    // Renames the finished file over the target and makes the rename
    // durable.
    [[nodiscard]] int Commit();
    // Removes the temporary file (nothing once committed).
    void Abandon();

    const std::string& TemporaryPath() const { return tmpPath_; }

private:
    std::string target_, tmpPath_;
    int fd_ = -1;
    bool finished_ = false;
};

// Writes content as the file at path (through a symbolic link, to the file
// it names) by way of a FileReplacement. Where no temporary file may be made
// beside it (a folder the user cannot write to, holding a file the user
// can), the file itself is truncated and written as a last resort.
// Returns 0 or the errno; on failure, failedToCreate tells whether the file
// could not be made at all (as against failing while written).
[[nodiscard]] int ReplaceFileContent(const std::string& path, std::string_view content, bool& failedToCreate);

// The write that the two functions above make, used like ::write. Empty:
// ::write itself. Replaceable so that tests can fill the disk.
extern std::function<long(int fd, const char* data, std::size_t size)> FileWriteHook;
