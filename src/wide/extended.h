// Extended: the calculator's float, the 80-bit extended format held as its
// encoding (sign, 15-bit biased exponent, 64-bit significand with an
// explicit integer bit), the same bits on every processor.
//
// The type itself is plain data: its fields, its class and exact
// conversions, all worked out on the bits. The arithmetic in namespace ext
// computes through GNU MPFR at 64 bits with the format's exponent range and
// denormals, rounding to nearest; every result is the correctly rounded
// one. The three enabled faults (invalid operation, division by zero,
// overflow) raise FloatError; underflow and inexact results are silent.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "errors.h"

// Classes of the 80-bit extended format. The last four are encodings no
// operation produces; the x87 refuses the last three as operands, and the
// calculator refuses all four.
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

// Whether the calculator refuses the class as an operand.
constexpr bool IsRejectedEncoding(FloatClass c) { return c >= FloatClass::PseudoDenormal; }

struct Extended {
    static constexpr int kBias = 16383;
    // The biased exponent at which the significand reads as a whole number.
    static constexpr int kIntegerExp = kBias + 63;
    static constexpr unsigned kExpAllOnes = 0x7FFF;
    static constexpr unsigned kSignBit = 0x8000;
    static constexpr uint64_t kIntegerBit = uint64_t{1} << 63;
    static constexpr uint64_t kQuietBit = uint64_t{1} << 62;

    uint64_t significand = 0;  // bit 63 is the explicit integer bit
    uint16_t signExp = 0;      // bit 15 the sign, bits 0-14 the biased exponent

    constexpr Extended() = default;
    // Any pattern, also those no operation produces.
    constexpr Extended(uint64_t sig, unsigned signAndExponent)
        : significand(sig), signExp(static_cast<uint16_t>(signAndExponent)) {}

    static constexpr Extended Zero(bool negative = false) { return {0, negative ? kSignBit : 0u}; }
    static constexpr Extended One() { return {kIntegerBit, kBias}; }
    static constexpr Extended Infinity(bool negative = false) {
        return {kIntegerBit, kExpAllOnes | (negative ? kSignBit : 0u)};
    }
    static constexpr Extended QuietNaN(bool negative = false) {
        return {kIntegerBit | kQuietBit, kExpAllOnes | (negative ? kSignBit : 0u)};
    }
    // The NaN an invalid operation makes of operands that are no NaN
    // themselves (the x87's "real indefinite").
    static constexpr Extended Indefinite() { return QuietNaN(true); }
    static constexpr Extended Max(bool negative = false) {
        return {~uint64_t{0}, (kExpAllOnes - 1) | (negative ? kSignBit : 0u)};
    }
    static constexpr Extended MinNormal() { return {kIntegerBit, 1}; }
    static constexpr Extended MinDenormal() { return {1, 0}; }

    // Exact: every int64 and every double is an extended.
    static Extended FromInt64(int64_t n);
    static Extended FromDouble(double d);
    // The 10 bytes of the format as stored (significand first, little endian).
    static Extended Load(const unsigned char* bytes);
    void Store(unsigned char* bytes) const;

    constexpr unsigned Exponent() const { return signExp & kExpAllOnes; }
    constexpr bool Negative() const { return (signExp & kSignBit) != 0; }
    FloatClass Class() const;
    bool IsZero() const { return Class() == FloatClass::Zero; }
    bool IsNaN() const { return Class() == FloatClass::NaN; }
    bool IsInfinity() const { return Class() == FloatClass::Infinity; }
    // Zero, normal, denormal or pseudo-denormal.
    bool IsFinite() const;
    bool IsSignalling() const { return IsNaN() && (significand & kQuietBit) == 0; }

    constexpr Extended Negated() const { return {significand, signExp ^ kSignBit}; }
    constexpr Extended Abs() const { return {significand, signExp & ~kSignBit}; }
    // A NaN with its quiet bit set; anything else as it is.
    Extended Quieted() const;
    // The same value in the encoding operations produce: a pseudo-denormal
    // becomes the normal number it equals. Other classes as they are.
    Extended Canonical() const;

    // Identical encodings (so -0 != 0, and a NaN equals its own bits).
    friend constexpr bool operator==(const Extended&, const Extended&) = default;
};

// The 20 hexadecimal digits of the encoding, sign and exponent first.
std::string HexText(Extended x);

// x itself; throws FloatInvalidError ("Invalid floating point operation")
// for an encoding the calculator refuses. Every float calculation takes its
// operands through this, so such an encoding faults the same way whatever
// the operation.
Extended ValidFloat(Extended x);

namespace ext {

// Order of two floats: -1, 0 or 1, or 2 when unordered (a NaN or an
// encoding the x87 refuses). -0 equals 0.
int Compare(Extended a, Extended b);
constexpr int kUnordered = 2;

// Whether |x| < 2^63, so that its whole part fits an int64. False for a NaN.
bool BelowTwo63(Extended x);
// x truncated toward zero, for BelowTwo63(x).
int64_t TruncToInt64(Extended x);

// The arithmetic, correctly rounded. A NaN operand is passed on quieted (of
// two, the one with the larger significand); a signalling NaN, or an
// encoding the x87 refuses (unnormal, pseudo-infinity, pseudo-NaN), is an
// invalid operation.
Extended Add(Extended a, Extended b);
Extended Sub(Extended a, Extended b);
Extended Mul(Extended a, Extended b);
Extended Div(Extended a, Extended b);
Extended Sqrt(Extended x);
// In radians, with the argument reduced exactly whatever its size.
Extended Sin(Extended x);
Extended Cos(Extended x);
// x^y and x^n with the rules of IEEE 754 pow and pown.
Extended Pow(Extended x, Extended y);
Extended PowInt(Extended x, int32_t n);
// log_y(x) = ln x / ln y for finite positive x and y other than 1; no fault
// can arise there.
Extended LogBase(Extended x, Extended y);
// To the nearest whole number, halfway cases away from zero.
Extended RoundHalfAway(Extended x);

// The nearest binary64 and binary32, as their bits (not for a NaN).
uint64_t ToBinary64Bits(Extended x);
uint32_t ToBinary32Bits(Extended x);

// The n significant decimal digits (1 <= n <= 40) of a finite x other than
// zero, correctly rounded, halfway cases to even: x ~ 0.digits x 10^exp10.
// The sign is left out.
void DecimalDigits(Extended x, int n, std::string& digits, long& exp10);

// The number written by the decimal digits (no sign, no point, at least
// one) times 10^exp10, correctly rounded; +infinity beyond the range.
Extended FromDecimal(std::string_view digits, long exp10);

}  // namespace ext
