// The bits of a value: every text form of its payload at once, and the
// fields and class of an 80-bit extended float (whose classes are the
// float's own, FloatClass in wide/extended.h). The bits panel and
// `qzcalc --all` show these; neither needs the machine for it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "values.h"

// One line of the bits of a value.
struct BitForm {
    std::string name;   // "hex", "signed", ... "binary32 hex"
    std::string text;   // as shown: long digit strings in groups split by blanks
    std::string plain;  // as copied: text without the group blanks
    // The leading characters of text that are only leading zeros (and the
    // blanks between them), to be shown dimmed; never the last digit.
    std::size_t dim = 0;
};

// The lines for v, in the order they are shown, with integers n bits wide.
//  integer modes (vmDec..vmIPv6): hex (n/4 digits in groups of 4), signed,
//    unsigned (decimal in groups of 3), octal (groups of 3), all of the
//    n-bit word; ipv4 and ipv6, the calculator's texts of it; "ipv4
//    standard", four octets as other programs write an address ("none" when
//    the word's pattern does not fit 32 bits); "ipv6 standard", the RFC 5952
//    text; set bits and highest bit ("none" for 0) within the word;
//  vmFloat: hex (the 80 bits, 20 digits), sign, exponent (biased, with the
//    unbiased one in parentheses), integer bit, fraction (63 bits in hex),
//    class, binary64, binary64 hex, binary32, binary32 hex;
//  the modes with no text form (vmTime, vmDate, vmDtTm, vmERR): hex, set
//    bits, highest bit of the word.
std::vector<BitForm> BitForms(const CalcValue& v, WordBits n = WordBits::k128);

// The grid: 80 bits in vmFloat (0-63 significand, 64-78 exponent, 79 sign),
// the word's n bits in every other mode.
int BitCount(const CalcValue& v, WordBits n = WordBits::k128);
// Bit n of the payload (false outside its 128 bits, or a float's 80).
bool BitAt(const CalcValue& v, int n);
// Whether the bits of a value of mode m may be toggled: the integer modes
// and vmFloat; the error value and the modes with no text form may not.
bool BitsToggleable(ValueMode m);
