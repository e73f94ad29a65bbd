// Integers as program code writes them, so that a pasted "0xFF" or "101b"
// is entered as that number in its base instead of key by key.
#pragma once

#include <optional>
#include <string_view>

#include "values.h"

struct CodeNumber {
    ValueMode mode = vmHex;  // vmHex, vmBin or vmOct
    Word128 value;           // two's complement, low 128 bits
};

// A text that is, after trimming blanks, tabs and line ends, exactly one
// integer in one of these forms:
//   0x 0X  then hexadecimal digits (either case)        -> vmHex
//   0b 0B  then binary digits                           -> vmBin
//   0o 0O  then octal digits                            -> vmOct
//   digits then the suffix the tape writes: h or H (hexadecimal, digits in
//   either case), b (binary; lower case only, as B is a hexadecimal digit),
//   o or O (octal)
// optionally preceded by "-" (the two's complement of the number), with
// "_", "'" or blanks allowed between two digits. Digits beyond 128 bits fall
// off the top, as typed digits do.
//
// Anything else gives nothing and is pasted key by key as before; in
// particular a plain decimal integer ("123", "-5") is not a code number:
// it means the same typed key by key in the decimal mode, and in the other
// modes its digits are those of the mode.
std::optional<CodeNumber> ParseCodeNumber(std::string_view text);
