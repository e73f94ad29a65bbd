// The general float text, written and read back: 17 significant digits,
// correctly rounded, in plain or scientific notation. The register text in
// the same shape with the fewest digits that read back exactly, and decimal
// digits as typed, rounded once to the nearest extended. The digits come
// from the extended float's own decimal conversions (ext::DecimalDigits,
// ext::FromDecimal), which round correctly.
//
// Float texts always use "." as the decimal separator, whatever the process
// locale: they are written and read digit by digit here, never with
// printf-style or locale-aware conversions.
#include "float_text.h"

#include <algorithm>
#include <charconv>

namespace {

[[noreturn]] void ThrowBadFloat(std::string_view text) {
    throw ConvertError("'" + std::string(text) + "' is not a valid floating point value");
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The shape of a number in FloatText's own forms:
//   -? digits ( "." digits )? ( "E" -? digits )?
// Fills the normalised significant digits and the decimal exponent of the
// leading one (value = 0.d1d2... x 10^(exp10 + 1)); digits stays empty for 0.
struct FloatShape {
    std::string digits;
    long exp10 = 0;
};

bool ParseFloatShape(std::string_view t, FloatShape& shape) {
    std::size_t i = 0;
    if (i < t.size() && t[i] == '-') ++i;
    const std::size_t intStart = i;
    while (i < t.size() && IsDigit(t[i])) ++i;
    const std::size_t intEnd = i;
    if (intEnd == intStart) return false;
    std::size_t fracStart = i, fracEnd = i;
    if (i < t.size() && t[i] == '.') {
        fracStart = ++i;
        while (i < t.size() && IsDigit(t[i])) ++i;
        fracEnd = i;
        if (fracEnd == fracStart) return false;
    }
    long exponent = 0;
    if (i < t.size() && t[i] == 'E') {
        ++i;
        bool negExp = false;
        if (i < t.size() && t[i] == '-') {
            negExp = true;
            ++i;
        }
        const std::size_t expStart = i;
        while (i < t.size() && IsDigit(t[i])) {
            // Clamped: any exponent this large is far outside the range anyway.
            if (exponent < 1000000) exponent = exponent * 10 + (t[i] - '0');
            ++i;
        }
        if (i == expStart) return false;
        if (negExp) exponent = -exponent;
    }
    if (i != t.size()) return false;

    std::string all(t.substr(intStart, intEnd - intStart));
    all.append(t.substr(fracStart, fracEnd - fracStart));
    const std::size_t first = all.find_first_not_of('0');
    if (first == std::string::npos) return true;  // zero
    const std::size_t last = all.find_last_not_of('0');
    shape.digits = all.substr(first, last - first + 1);
    shape.exp10 = static_cast<long>(intEnd - intStart) - static_cast<long>(first) - 1 + exponent;
    return true;
}

// The 17-digit text of the largest finite extended, 1.1897314953572318E4932,
// lies above that value; it and every text below it read as the largest.
bool AtMostLargestText(const FloatShape& s) {
    static constexpr std::string_view kMaxDigits = "11897314953572318";
    if (s.exp10 != 4932) return s.exp10 < 4932;
    return std::string_view(s.digits).compare(kMaxDigits) <= 0;
}

// The general float text of d.ddd x 10^e, written from count significant
// digits: plain notation for e from -5 to 16, scientific otherwise, no
// trailing zeros after the point and no point left last.
std::string LayOut(bool negative, const char* digits, int count, int e) {
    int last = count - 1;  // the last digit other than zero
    while (last > 0 && digits[last] == '0') --last;
    std::string out;
    out.reserve(static_cast<std::size_t>(count) + 12);
    if (negative) out += '-';
    if (e >= 17 || e <= -6) {
        // Far from 1: scientific, mantissa without trailing zeros.
        out += digits[0];
        if (last != 0) {
            out += '.';
            out.append(digits + 1, digits + last + 1);
        }
        char exp[8];
        out += 'E';
        out.append(exp, std::to_chars(exp, exp + sizeof exp, e).ptr);
    } else if (e >= 0) {
        // Exponents 0..16: plain, the integer digits all kept.
        for (int i = 0; i <= e; ++i) out += i <= last ? digits[i] : '0';
        if (last > e) {
            out += '.';
            out.append(digits + e + 1, digits + last + 1);
        }
    } else {
        // Exponents -5..-1: plain, zeros after the point first.
        out += "0.";
        out.append(static_cast<std::size_t>(-e - 1), '0');
        out.append(digits, digits + last + 1);
    }
    return out;
}

// The integer of the count digits at(0..count-1), the first not zero,
// times 10^scale, correctly rounded; +infinity beyond the range.
template <class At>
Extended RoundDigits(At at, std::size_t count, long scale) {
    std::string number;
    // A long number lies between its first kQuickDigits digits and the
    // same plus one in the last of them; where both round to the same
    // extended, so does the number, and the rest need not be read. This
    // keeps each key of an endless entry cheap.
    constexpr std::size_t kQuickDigits = 24;
    if (count > kQuickDigits) {
        const long quickScale = scale + static_cast<long>(count - kQuickDigits);
        for (std::size_t i = 0; i < kQuickDigits; ++i) number += at(i);
        std::string above = number;
        std::size_t i = above.size();
        while (i > 0 && above[i - 1] == '9') above[--i] = '0';
        if (i > 0) {
            ++above[i - 1];
        } else {
            above.insert(above.begin(), '1');
        }
        const Extended low = ext::FromDecimal(number, quickScale);
        if (low == ext::FromDecimal(above, quickScale)) return low;
        number.clear();
    }
    // A halfway point between two extendeds has at most about 11520
    // significant digits (those between the smallest denormals); past
    // kMaxDigits all that counts is that a dropped digit was not zero, which
    // one "1" at the end keeps.
    constexpr std::size_t kMaxDigits = 12000;
    if (count <= kMaxDigits) {
        for (std::size_t i = 0; i < count; ++i) number += at(i);
        return ext::FromDecimal(number, scale);
    }
    for (std::size_t i = 0; i < kMaxDigits; ++i) number += at(i);
    number += '1';  // the last digit is not zero, and it was dropped
    return ext::FromDecimal(number, scale + static_cast<long>(count - kMaxDigits - 1));
}

// n significant digits, the nearest to x that read back to it, if any has
// n digits or fewer: the nearest n-digit number, or else its neighbour on
// the other side of x (at a power of two the interval that reads back to
// x is narrower below x than above). digits as from ext::DecimalDigits.
bool DigitsThatReadBack(Extended x, int n, std::string& digits, long& exp10) {
    ext::DecimalDigits(x, n, digits, exp10);
    const long scale = exp10 - n;
    const Extended back = ext::FromDecimal(digits, scale);
    if (back == x) return true;
    std::string other = digits;
    long otherExp10 = exp10;
    if (ext::Compare(back, x) < 0) {
        std::size_t i = other.size();
        while (i > 0 && other[i - 1] == '9') other[--i] = '0';
        if (i > 0) {
            ++other[i - 1];
        } else {
            other[0] = '1';  // 99..9 + 1: the next power of ten
            ++otherExp10;
        }
    } else {
        std::size_t i = other.size();
        while (i > 0 && other[i - 1] == '0') other[--i] = '9';
        --other[i - 1];  // digits start with a digit other than zero
    }
    if (ext::FromDecimal(other, otherExp10 - n) != x) return false;
    digits = other;
    exp10 = otherExp10;
    return true;
}

Extended Special(bool negative, uint64_t significand) {
    return {significand, Extended::kExpAllOnes | (negative ? Extended::kSignBit : 0u)};
}

}  // namespace

std::string FloatText(Extended x) {
    switch (x.Class()) {
        case FloatClass::Infinity: return x.Negative() ? "-INF" : "INF";
        case FloatClass::Zero: return "0";
        case FloatClass::Normal:
        case FloatClass::Denormal:
        case FloatClass::PseudoDenormal: break;
        default: return "NAN";  // NaNs, and what any operation makes of a refused encoding
    }
    std::string digits;
    long e = 0;
    ext::DecimalDigits(x.Canonical(), 17, digits, e);
    return LayOut(x.Negative(), digits.data(), 17, static_cast<int>(e - 1));
}

void ShortestDigits(Extended x, std::string& digits, int& exp10) {
    x = x.Canonical();
    // Whether n digits suffice grows with n, and 21 always do: search.
    int low = 1, high = 21;
    long e = 0;
    while (low < high) {
        const int mid = (low + high) / 2;
        if (DigitsThatReadBack(x, mid, digits, e)) {
            high = mid;
        } else {
            low = mid + 1;
        }
    }
    DigitsThatReadBack(x, low, digits, e);
    // A neighbour below a power of ten has a leading zero; trailing zeros go.
    const std::size_t first = digits.find_first_not_of('0');
    digits.erase(0, first);
    e -= static_cast<long>(first);
    digits.erase(digits.find_last_not_of('0') + 1);
    exp10 = static_cast<int>(e - 1);
}

std::string FloatRegText(Extended x) {
    const std::string sign = x.Negative() ? "-" : "";
    switch (x.Class()) {
        case FloatClass::Infinity: return sign + "INF";
        case FloatClass::Zero: return sign + "0";
        case FloatClass::NaN: return sign + ((x.significand & Extended::kQuietBit) != 0 ? "NAN" : "SNAN");
        case FloatClass::Unnormal:
        case FloatClass::PseudoInfinity:
        case FloatClass::PseudoNaN: return sign + "NAN";
        default: break;
    }
    std::string digits;
    int e = 0;
    ShortestDigits(x.Abs(), digits, e);
    return LayOut(x.Negative(), digits.data(), static_cast<int>(digits.size()), e);
}

Extended ParseFloatRegText(std::string_view text) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::string_view word = text.substr(negative ? 1 : 0);
    if (word == "INF") return Extended::Infinity(negative);
    if (word == "NAN") return Extended::QuietNaN(negative);
    // The signalling NaN with the top payload bit.
    if (word == "SNAN") return Special(negative, Extended::kIntegerBit | Extended::kQuietBit >> 1);
    return ParseFloat(text);
}

Extended DecimalToExtended(std::string_view text) {
    const std::size_t point = std::min(text.find('.'), text.size());
    const std::string_view whole = text.substr(0, point);
    const std::string_view decimals = text.substr(std::min(point + 1, text.size()));
    // The digits of both parts as one run, the point left out.
    const std::size_t total = whole.size() + decimals.size();
    const auto at = [&](std::size_t i) { return i < whole.size() ? whole[i] : decimals[i - whole.size()]; };
    std::size_t first = 0;
    while (first < total && at(first) == '0') ++first;
    if (first == total) return Extended::Zero();
    std::size_t last = total - 1;
    while (at(last) == '0') --last;
    // The number is the integer of digits first..last times 10^scale.
    const long scale = static_cast<long>(whole.size()) - 1 - static_cast<long>(last);
    return RoundDigits([&](std::size_t i) { return at(first + i); }, last - first + 1, scale);
}

Extended ParseFloat(std::string_view text) {
    FloatShape shape;
    if (!ParseFloatShape(text, shape)) ThrowBadFloat(text);
    const bool negative = !text.empty() && text[0] == '-';
    if (shape.digits.empty()) return Extended::Zero(negative);
    const std::string_view digits = shape.digits;
    const long scale = shape.exp10 + 1 - static_cast<long>(digits.size());
    Extended x = RoundDigits([&](std::size_t i) { return digits[i]; }, digits.size(), scale);
    if (x.IsInfinity()) {
        // Overflow. The general float text of the largest values rounds up
        // past the range; read those back as the largest finite value.
        if (!AtMostLargestText(shape)) ThrowBadFloat(text);
        x = Extended::Max();
    }
    // Underflow keeps the nearest value, a denormal or zero.
    return negative ? x.Negated() : x;
}
