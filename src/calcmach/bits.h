// The bits of a value: every text form of its payload at once, and the
// fields and class of an 80-bit extended float. The bits panel and
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

// The lines for v, in the order they are shown.
//  integer modes (vmDec..vmIPv6): hex (32 digits in groups of 4), signed,
//    unsigned (decimal in groups of 3), octal (groups of 3), ipv4, ipv6,
//    set bits, highest bit ("none" for 0);
//  vmFloat: hex (the 80 bits, 20 digits), sign, exponent (biased, with the
//    unbiased one in parentheses), integer bit, fraction (63 bits in hex),
//    class, binary64, binary64 hex, binary32, binary32 hex;
//  the modes with no text form (vmTime, vmDate, vmDtTm, vmERR): hex, set
//    bits, highest bit of the payload.
std::vector<BitForm> BitForms(const CalcValue& v);

// The grid: 80 bits in vmFloat (0-63 significand, 64-78 exponent, 79 sign),
// 128 in every other mode.
int BitCount(const CalcValue& v);
// Bit n of the payload (false outside 0..BitCount-1).
bool BitAt(const CalcValue& v, int n);
// Whether the bits of a value of mode m may be toggled: the integer modes
// and vmFloat; the error value and the modes with no text form may not.
bool BitsToggleable(ValueMode m);

// Classes of the 80-bit extended format. The last four are encodings the
// x87 does not produce and does not take as operands.
enum class FloatClass {
    Zero,
    Normal,
    Denormal,
    Infinity,
    NaN,
    PseudoDenormal,  // exponent 0, integer bit 1
    Unnormal,        // exponent 1..7FFEh, integer bit 0 (pseudo-zero included)
    PseudoInfinity,  // exponent 7FFFh, integer bit 0, fraction 0
    PseudoNaN,       // exponent 7FFFh, integer bit 0, fraction not 0
};

// "zero", "normal", "denormal", "infinity", "NaN", "pseudo-denormal",
// "unnormal", "pseudo-infinity", "pseudo-NaN".
std::string_view FloatClassName(FloatClass c);

// The class of the extended float in the first 10 bytes of a payload.
FloatClass ClassifyExtended(const unsigned char* payload);
FloatClass ClassifyExtended(long double x);

// Whether the class is one the FPU rejects.
constexpr bool IsRejectedEncoding(FloatClass c) { return c >= FloatClass::PseudoDenormal; }

// x itself; throws FloatInvalidError ("Invalid floating point operation")
// for an encoding the FPU rejects. Every float calculation takes its
// operands through this, so such an encoding faults the same way whatever
// the operation and whatever the processor makes of it.
long double ValidFloat(long double x);
