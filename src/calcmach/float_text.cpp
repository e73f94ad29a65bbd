// The general float text, written and read back: 17 significant digits,
// correctly rounded, in plain or scientific notation. The register text in
// the same shape with the fewest digits that read back exactly, and decimal
// digits as typed, rounded once to the nearest extended. The digits come
// from the extended float's own decimal conversions (ext::DecimalDigits,
// ext::FromDecimal), which round correctly; the display's 17 digits, which
// are wanted at every key, mostly from a quicker integer rounding.
//
// Float texts always use "." as the decimal separator, whatever the process
// locale: they are written and read digit by digit here, never with
// printf-style or locale-aware conversions.
#include "float_text.h"

#include "wide/word128.h"

#include <algorithm>
#include <array>
#include <bit>
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

// ---- Rounding an extended value to 17 significant decimal digits ----
//
// MPFR's general decimal conversion takes about twice as long as the
// display's refresh may, and the display wants 17 digits at every key.
// Here the value m * 2^q is scaled by 10^t with powers of five held to 128
// bits, which decides the rounding unless the value lies within about
// 2^-125 of a halfway point. An extended can only equal a halfway point, an
// 18-digit decimal, when |t| <= 27, where the powers are exact and so is
// the decision. Anything left undecided goes to ext::DecimalDigits.

// Powers of five are built from a step power 5^(54 j) and an exact 5^r,
// r < 54 (5^53 < 2^124).
constexpr int kPow5Step = 54;
// Scales reach 5^4968 (the smallest denormals); the table goes a bit further.
constexpr int kPow5Steps = 94;
// A rounded-down power of five lies at most this many units of its last
// bit below the true one (see Pow5).
constexpr uint64_t kPow5Slack = 3;

// 5^n lies in [mant, mant + slack] * 2^exp2; mant has bit 127 set, and slack
// is 0 when the power is exact.
struct Pow5Value {
    u128 mant = 0;
    int exp2 = 0;
    bool exact = true;
};

constexpr int BitLength(u128 v) {
    const auto hi = static_cast<uint64_t>(v >> 64);
    return hi != 0 ? 128 - std::countl_zero(hi) : 64 - std::countl_zero(static_cast<uint64_t>(v));
}

constexpr Pow5Value Normalized(u128 v) {
    const int shift = 128 - BitLength(v);
    return {v << shift, -shift, true};
}

constexpr std::array<Pow5Value, kPow5Step> MakeSmallPow5() {
    std::array<Pow5Value, kPow5Step> t{};
    u128 p = 1;
    for (int r = 0; r < kPow5Step; ++r, p *= 5) t[static_cast<std::size_t>(r)] = Normalized(p);
    return t;
}

// Rounded down to 128 bits from the exact powers, worked out while compiling.
constexpr std::array<Pow5Value, kPow5Steps> MakeStepPow5() {
    constexpr int kLimbs = 200;  // 5^(54 * 94) has about 11780 bits
    std::array<uint64_t, kLimbs> big{};
    big[0] = 1;
    const auto limb = [&big](int i) -> uint64_t {
        return i < 0 || i >= kLimbs ? 0 : big[static_cast<std::size_t>(i)];
    };
    // The 64 bits from bit `pos` on, zeros outside the number.
    const auto bits64 = [&limb](int pos) -> uint64_t {
        const int first = pos >= 0 ? pos / 64 : -((63 - pos) / 64);  // rounded down
        const int shift = pos - 64 * first;
        return shift == 0 ? limb(first) : limb(first) >> shift | limb(first + 1) << (64 - shift);
    };
    std::array<Pow5Value, kPow5Steps> t{};
    for (int j = 0; j < kPow5Steps; ++j) {
        int top = kLimbs - 1;
        while (big[static_cast<std::size_t>(top)] == 0) --top;
        const int length = 64 * top + 64 - std::countl_zero(big[static_cast<std::size_t>(top)]);
        Pow5Value& v = t[static_cast<std::size_t>(j)];
        v.exp2 = length - 128;
        v.mant = static_cast<u128>(bits64(v.exp2 + 64)) << 64 | bits64(v.exp2);
        for (int i = 0; i < v.exp2; i += 64) {
            const int below = std::min(64, v.exp2 - i);  // of these 64, the bits cut off
            if (bits64(i) << (64 - below) != 0) v.exact = false;
        }
        // Times 5^54, as 5^27 twice (5^27 < 2^63).
        for (int k = 0; k < 2; ++k) {
            u128 carry = 0;
            for (int i = 0; i <= top + 1; ++i) {
                const u128 p =
                    static_cast<u128>(big[static_cast<std::size_t>(i)]) * 7450580596923828125ull + carry;
                big[static_cast<std::size_t>(i)] = static_cast<uint64_t>(p);
                carry = p >> 64;
            }
            ++top;
        }
    }
    return t;
}

constexpr std::array<Pow5Value, kPow5Step> kSmallPow5 = MakeSmallPow5();
constexpr std::array<Pow5Value, kPow5Steps> kStepPow5 = MakeStepPow5();

bool Pow5(int n, Pow5Value& out) {
    if (n < 0 || n >= kPow5Step * kPow5Steps) return false;
    const Pow5Value& h = kStepPow5[static_cast<std::size_t>(n / kPow5Step)];
    const Pow5Value& r = kSmallPow5[static_cast<std::size_t>(n % kPow5Step)];
    if (n % kPow5Step == 0) {
        out = h;
        return true;
    }
    // 256-bit product of the two 128-bit mantissas, at least 2^254.
    const auto h0 = static_cast<uint64_t>(h.mant), h1 = static_cast<uint64_t>(h.mant >> 64);
    const auto r0 = static_cast<uint64_t>(r.mant), r1 = static_cast<uint64_t>(r.mant >> 64);
    const u128 p00 = static_cast<u128>(h0) * r0, p01 = static_cast<u128>(h0) * r1;
    const u128 p10 = static_cast<u128>(h1) * r0, p11 = static_cast<u128>(h1) * r1;
    const u128 mid = (p00 >> 64) + static_cast<uint64_t>(p01) + static_cast<uint64_t>(p10);
    const u128 upper = (mid >> 64) + (p01 >> 64) + (p10 >> 64) + p11;
    const u128 lower = (mid << 64) | static_cast<uint64_t>(p00);
    // Dropping the lower bits loses less than one unit, and the step power,
    // itself up to one unit short, falls short by less than r.mant / 2^127
    // < 2 units after the shift: 3 units in all.
    if (upper >> 127) {
        out.mant = upper;
        out.exp2 = h.exp2 + r.exp2 + 128;
        out.exact = h.exact && lower == 0;
    } else {
        out.mant = (upper << 1) | (lower >> 127);
        out.exp2 = h.exp2 + r.exp2 + 127;
        out.exact = h.exact && (lower << 1) == 0;
    }
    return true;
}

// A 192-bit unsigned integer, least significant limb first.
struct U192 {
    uint64_t w[3] = {};
};

U192 Mul64x128(uint64_t a, u128 b) {
    const u128 lo = static_cast<u128>(a) * static_cast<uint64_t>(b);
    const u128 hi = static_cast<u128>(a) * static_cast<uint64_t>(b >> 64) + (lo >> 64);
    return {{static_cast<uint64_t>(lo), static_cast<uint64_t>(hi), static_cast<uint64_t>(hi >> 64)}};
}

U192 AddSmall(U192 v, u128 s) {
    const u128 low = static_cast<u128>(v.w[0]) + static_cast<uint64_t>(s);
    const u128 mid = static_cast<u128>(v.w[1]) + static_cast<uint64_t>(s >> 64) + (low >> 64);
    return {
        {static_cast<uint64_t>(low), static_cast<uint64_t>(mid), v.w[2] + static_cast<uint64_t>(mid >> 64)}};
}

int BitLength(const U192& v) {
    for (int i = 2; i >= 0; --i)
        if (v.w[i] != 0) return 64 * i + 64 - std::countl_zero(v.w[i]);
    return 0;
}

// Sign of v * 2^ev - b * 2^eb, for v and b above zero.
int CompareScaled(const U192& v, int ev, uint64_t b, int eb) {
    const int lv = BitLength(v), lb = 64 - std::countl_zero(b);
    if (lv + ev != lb + eb) return lv + ev > lb + eb ? 1 : -1;
    // The leading bits line up: compare bit by bit.
    U192 s;
    const int d = lv - lb;
    if (d < 0) {
        const uint64_t a = v.w[0] << -d;
        return a == b ? 0 : a > b ? 1 : -1;
    }
    const int limb = d / 64, bits = d % 64;
    s.w[limb] = b << bits;
    if (bits != 0 && limb < 2) s.w[limb + 1] = b >> (64 - bits);
    for (int i = 2; i >= 0; --i)
        if (v.w[i] != s.w[i]) return v.w[i] > s.w[i] ? 1 : -1;
    return 0;
}

constexpr int kUndecided = 2;

// Sign of a * 5^n * 2^e - b * 2^f (a, b above zero) for p = 5^n, or
// kUndecided when the two lie too close for the rounded power to tell.
int ComparePow5(uint64_t a, const Pow5Value& p, int e, uint64_t b, int f) {
    const U192 low = Mul64x128(a, p.mant);
    const int c = CompareScaled(low, p.exp2 + e, b, f);
    if (p.exact || c > 0) return c;
    const U192 high = AddSmall(low, static_cast<u128>(a) * kPow5Slack);
    return CompareScaled(high, p.exp2 + e, b, f) < 0 ? -1 : kUndecided;
}

// m * 2^q * 10^t rounded to the nearest integer, halfway cases to even,
// for results below 2^61. False when undecided.
bool RoundScaled(uint64_t m, int q, int t, uint64_t& out) {
    Pow5Value p;
    if (!Pow5(t < 0 ? -t : t, p)) return false;
    // A first guess from the leading 64 bits of the power, within two units
    // below the value: m * 5^t * 2^(q+t), or m / 5^-t * 2^(q+t), truncated.
    const uint64_t top = static_cast<uint64_t>(p.mant >> 64);
    u128 guess = 0;
    if (t >= 0) {
        const int s = p.exp2 + 64 + q + t;
        if (s <= 0 && s > -128) guess = (u128{m} * top) >> -s;
    } else {
        const int s = q + t - p.exp2 - 64;
        if (s >= 0 && s <= 63) guess = (u128{m} << s) / top;
    }
    if (!(guess >= 1 && guess < (u128{1} << 61))) return false;  // no 17-digit result
    auto k = static_cast<uint64_t>(guess);
    // Sign of the scaled value minus c / 2, from twice the value against c.
    const auto side = [&](uint64_t c) {
        if (t >= 0) return ComparePow5(m, p, q + t + 1, c, 0);
        const int r = ComparePow5(c, p, 0, m, q + t + 1);
        return r == kUndecided ? r : -r;
    };
    for (int tries = 0; tries < 4 && k >= 1; ++tries) {
        const int above = side(2 * k + 1);
        if (above == kUndecided) return false;
        if (above > 0) {
            ++k;
            continue;
        }
        const int below = side(2 * k - 1);
        if (below == kUndecided) return false;
        if (below < 0) {
            --k;
            continue;
        }
        // k - 1/2 <= value <= k + 1/2; halfway, the even neighbour wins.
        if (k % 2 == 1) k = above == 0 ? k + 1 : below == 0 ? k - 1 : k;
        out = k;
        return true;
    }
    return false;
}

constexpr uint64_t kTen16 = 10000000000000000ull;
constexpr uint64_t kTen17 = 100000000000000000ull;

// The 17 significant digits (10^16 <= digits < 10^17) and the decimal
// exponent of a finite x above zero in its normal encoding (or a
// denormal), exactly rounded; false for the few values it cannot decide,
// which FloatText hands to ext::DecimalDigits.
bool FloatDigits17(Extended x, uint64_t& digits, int& exp10) {
    const uint64_t m = x.significand;
    const int biased = static_cast<int>(x.Exponent());
    const int q = (biased == 0 ? 1 : biased) - Extended::kIntegerExp;  // x = m * 2^q
    if (m == 0) return false;
    // 2^b <= x < 2^(b+1), so the decimal exponent is floor(b * log10(2)) or
    // one more. The constant is log10(2) * 2^40 rounded down: over this range
    // of b the product stays within 2e-8 of the true one, while b * log10(2)
    // never comes within 2e-5 of an integer, so the floor is exact.
    const int b = 63 - std::countl_zero(m) + q;
    int e = static_cast<int>((static_cast<int64_t>(b) * 330985980541) >> 40);
    uint64_t n;
    if (!RoundScaled(m, q, 16 - e, n)) return false;
    if (n > kTen17) {  // the exponent is the one above
        ++e;
        if (!RoundScaled(m, q, 16 - e, n)) return false;
    }
    if (n == kTen17) {  // rounded up to the next power of ten
        n = kTen16;
        ++e;
    }
    if (n < kTen16 || n >= kTen17) return false;  // never: x >= 10^e
    digits = n;
    exp10 = e;
    return true;
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
    const Extended magnitude = x.Canonical().Abs();
    uint64_t n = 0;
    int e = 0;
    if (FloatDigits17(magnitude, n, e)) {
        char digits[17];
        for (int i = 16; i >= 0; --i, n /= 10) digits[i] = static_cast<char>('0' + n % 10);
        return LayOut(x.Negative(), digits, 17, e);
    }
    std::string digits;
    long e10 = 0;
    ext::DecimalDigits(magnitude, 17, digits, e10);
    return LayOut(x.Negative(), digits.data(), 17, static_cast<int>(e10 - 1));
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
