// The general float text of an extended value, and reading it back.
#pragma once

#include <string>
#include <string_view>

#include "wide/extended.h"

// The general float text: 17 significant digits, correctly rounded, plain
// notation for decimal exponents -5..16, scientific otherwise; "." as the
// separator always.
std::string FloatText(Extended x);

// Reads a text of FloatText's forms, -? digits ("." digits)? ("E" -? digits)?,
// to the nearest extended. The texts FloatText writes for the largest values
// round up past the range and read back as the largest finite value; any
// other overflow, or a text of another form, throws ConvertError
// "'text' is not a valid floating point value".
Extended ParseFloat(std::string_view text);

// The register text of a float, which the state file keeps: the general
// float text's shape with the fewest significant digits (at most 21) that
// read back to the same value, "-0" for negative zero, and words for the
// values without digits: INF, -INF, NAN, -NAN and, for a signalling NaN,
// SNAN, -SNAN (a NaN's payload is not kept). The encodings the processor
// refuses as operands are written as the quiet NaN of their sign, which
// is what any operation makes of them.
std::string FloatRegText(Extended x);

// Reads a register text back: the words as written, every other text as
// ParseFloat does (and with its errors). A finite value and an infinity
// come back bit for bit, a NaN with its sign and quiet bit.
Extended ParseFloatRegText(std::string_view text);

// The non-negative decimal number written by digits (at least one digit,
// at most one "." among them) correctly rounded to the nearest extended,
// halfway cases to even; +infinity when it lies beyond the range.
Extended DecimalToExtended(std::string_view digits);

// The fewest significant digits that read back to a finite x above zero,
// the nearest to x of those, with the decimal exponent of the first: x
// reads as d.ddd x 10^exp10.
void ShortestDigits(Extended x, std::string& digits, int& exp10);
