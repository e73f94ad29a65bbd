// A disk that fails with EIO after a given number of bytes of the state
// file have been read, for as long as the object lives.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>

#include "state/statefile.h"

struct FailingDisk {
    explicit FailingDisk(std::size_t bytes) {
        StateFileReadHook = [left = bytes](int fd, char* buf, std::size_t size) mutable -> long {
            if (left == 0) {
                errno = EIO;
                return -1;
            }
            const long n = ::read(fd, buf, std::min(size, left));
            if (n > 0) left -= static_cast<std::size_t>(n);
            return n;
        };
    }
    ~FailingDisk() { StateFileReadHook = nullptr; }
    FailingDisk(const FailingDisk&) = delete;
    FailingDisk& operator=(const FailingDisk&) = delete;
};
