// The general float text of an extended value, and reading it back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The general float text: 17 significant digits, plain notation for decimal
// exponents -5..16, scientific otherwise; "." as the separator always.
std::string FloatText(long double x);

// Reads a text of FloatText's forms, -? digits ("." digits)? ("E" -? digits)?,
// to the nearest extended. The texts FloatText writes for the largest values
// round up past the range and read back as the largest finite value; any
// other overflow, or a text of another form, throws ConvertError
// "'text' is not a valid floating point value".
long double ParseFloat(std::string_view text);

// The register text of a float, which the state file keeps: the general
// float text's shape with the fewest significant digits (at most 21) that
// read back to the same value, "-0" for negative zero, and words for the
// values without digits: INF, -INF, NAN, -NAN and, for a signalling NaN,
// SNAN, -SNAN (a NaN's payload is not kept). The encodings the processor
// refuses as operands are written as the quiet NaN of their sign, which
// is what any operation makes of them.
std::string FloatRegText(long double x);

// Reads a register text back: the words as written, every other text as
// ParseFloat does (and with its errors). A finite value and an infinity
// come back bit for bit, a NaN with its sign and quiet bit.
long double ParseFloatRegText(std::string_view text);

// The non-negative decimal number written by digits (at least one digit,
// at most one "." among them) correctly rounded to the nearest extended,
// halfway cases to even; +infinity when it lies beyond the range.
long double DecimalToExtended(std::string_view digits);

// The fewest significant digits that read back to a finite x above zero,
// with the decimal exponent of the first: x reads as d.ddd x 10^exp10.
void ShortestDigits(long double x, std::string& digits, int& exp10);

// The 17 significant digits (10^16 <= digits < 10^17) and the decimal
// exponent of a finite x above zero, exactly rounded; false for the few
// values it cannot decide, which FloatText hands to the C library. Open to
// the tests, so that they can see it decides the values they try.
bool FloatDigits17(long double x, uint64_t& digits, int& exp10);
