// Small helpers shared by the machine's source files; not part of the
// machine's interface.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

#include "calcmach.h"

namespace calcmach_detail {

// Tape symbol of an opcode; "" for a number outside the table.
const char* TapeSymbol(int32_t op);

// Sets all 16 payload bytes to 0; the mode stays.
inline void ZeroPayload(CalcValue& v) { std::memset(v.payload, 0, sizeof v.payload); }

// Appends to a machine text without letting it grow past kMaxText bytes.
void AppendCut(std::string& text, std::string_view more);

}  // namespace calcmach_detail
