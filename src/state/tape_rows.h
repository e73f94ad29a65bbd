// How many tape rows are kept, apart from the rest of the state file so
// that the window's header can use it without the file's functions.
#pragma once

#include <cstddef>

// The tape list keeps the newest rows only; the file holds at most these.
constexpr std::size_t kMaxTapeRows = 100;
