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

// The 17 significant digits (10^16 <= digits < 10^17) and the decimal
// exponent of a finite x above zero, exactly rounded; false for the few
// values it cannot decide, which FloatText hands to the C library. Open to
// the tests, so that they can see it decides the values they try.
bool FloatDigits17(long double x, uint64_t& digits, int& exp10);
