// Writing to a file descriptor without losing part of the data.
// A library of its own: qzcalc must not depend on the state layer, and the
// calculator machine has nothing to do with files.
#pragma once

#include <string_view>

// Writes all of data to fd, going on after short writes and interrupted
// calls. Returns 0, or the errno of the write that failed (part of the data
// may have been written then). A write that takes nothing counts as EIO,
// so that the loop always ends.
[[nodiscard]] int WriteAll(int fd, std::string_view data);
