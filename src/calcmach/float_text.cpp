// The general float text, written and read back: 17 significant digits,
// exactly rounded, in plain or scientific notation. The register text in the
// same shape with the fewest digits that read back exactly, and decimal
// digits as typed, rounded once to the nearest extended.
//
// Float texts always use "." as the decimal separator, whatever the process
// locale: they are written digit by digit here (or with std::to_chars) and
// read with strtold_l in the "C" locale, never with printf-style or
// locale-aware conversions.
#include "float_text.h"

#include <locale.h>
#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "fpu.h"
#include "wide/word128.h"

namespace {

locale_t CLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", locale_t{});
    return loc;
}

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
// std::to_chars with a precision hands long double to the C library's
// printf, which computes with integers as long as the whole exponent: too
// slow at the ends of the range for every refresh of the display.
// Here the value m * 2^q is scaled by 10^t with powers of five held to 128
// bits, which decides the rounding unless the value lies within about
// 2^-125 of a halfway point. An extended can only equal a halfway point, an
// 18-digit decimal, when |t| <= 27, where the powers are exact and so is
// the decision. Anything left undecided goes back to to_chars.

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
    // A first guess from the leading 64 bits of the power, within a unit or so.
    const long double top = static_cast<long double>(static_cast<uint64_t>(p.mant >> 64));
    const long double guess = t >= 0 ? std::ldexp(static_cast<long double>(m) * top, p.exp2 + 64 + q + t)
                                     : std::ldexp(static_cast<long double>(m) / top, q + t - p.exp2 - 64);
    if (!(guess >= 1.0L && guess < 0x1p61L)) return false;
    uint64_t k = static_cast<uint64_t>(guess + 0.5L);
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

// The same digits the slow and simple way: to_chars, as printf, reads the
// exact binary value.
void Round17Exactly(long double x, uint64_t& digits, int& exp10) {
    char buf[64];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 16);
    // "d.dddddddddddddddde[+-]x"
    digits = static_cast<uint64_t>(buf[0] - '0');
    for (int i = 2; i < 18; ++i) digits = digits * 10 + static_cast<uint64_t>(buf[i] - '0');
    const char* exp = buf + 19;
    if (*exp == '+') ++exp;
    std::from_chars(exp, r.ptr, exp10);
}

}  // namespace

bool FloatDigits17(long double x, uint64_t& digits, int& exp10) {
    unsigned char bytes[sizeof(long double)];
    std::memcpy(bytes, &x, sizeof bytes);
    uint64_t m;
    std::memcpy(&m, bytes, 8);
    const int biased = (bytes[8] | bytes[9] << 8) & 0x7FFF;
    const int q = (biased == 0 ? 1 : biased) - kExtendedIntegerExp;  // x = m * 2^q
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

namespace {

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

// The fields of an extended's 80 bits.
struct ExtendedBits {
    uint64_t significand;
    unsigned biased;  // 15 bits
    bool negative;
};

ExtendedBits BitsOf(long double x) {
    unsigned char b[10];
    std::memcpy(b, &x, sizeof b);
    ExtendedBits e;
    std::memcpy(&e.significand, b, 8);
    e.biased = (b[8] | b[9] << 8) & 0x7FFFu;
    e.negative = (b[9] & 0x80u) != 0;
    return e;
}

constexpr uint64_t kIntegerBit = uint64_t{1} << 63;
constexpr uint64_t kQuietBit = uint64_t{1} << 62;
constexpr unsigned kNegativeExp = 0x8000u;

long double Special(bool negative, uint64_t significand) {
    return MakeExtended(significand, 0x7FFFu | (negative ? kNegativeExp : 0u));
}

}  // namespace

std::string FloatText(long double x) {
    // Classifying a payload that holds no valid extended (an unnormal, a
    // pseudo-NaN) raises the invalid flag: keep it inside the guard.
    fpu::QuietEnv guard;
    // Adding zero hands a pseudo-denormal back in its normal encoding, the
    // one the digit rounding reads (and turns -0 into +0).
    x += 0.0L;
    if (std::isnan(x)) return "NAN";
    if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
    if (x == 0) return "0";

    const bool negative = x < 0;
    const long double magnitude = std::fabs(x);
    uint64_t n = 0;
    int e = 0;
    if (!FloatDigits17(magnitude, n, e)) Round17Exactly(magnitude, n, e);
    char digits[17];
    for (int i = 16; i >= 0; --i, n /= 10) digits[i] = static_cast<char>('0' + n % 10);
    return LayOut(negative, digits, 17, e);
}

void ShortestDigits(long double x, std::string& digits, int& exp10) {
    // to_chars without a precision writes the shortest digits that read
    // back to x, the nearest to x among several: "d.ddde[+-]x".
    char buf[64];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific);
    char* e = std::find(buf, r.ptr, 'e');
    digits.assign(1, buf[0]);
    if (e - buf > 2) digits.append(buf + 2, e);
    const char* exp = e + 1;
    if (*exp == '+') ++exp;
    std::from_chars(exp, r.ptr, exp10);
}

std::string FloatRegText(long double x) {
    ExtendedBits b = BitsOf(x);
    const std::string sign = b.negative ? "-" : "";
    const bool integerBit = (b.significand & kIntegerBit) != 0;
    if (b.biased == 0x7FFFu && integerBit && (b.significand << 1) == 0) return sign + "INF";
    if (b.biased == 0x7FFFu || (b.biased != 0 && !integerBit)) {
        // A NaN; pseudo-infinities, pseudo-NaNs and unnormals turn into
        // quiet NaNs in every operation.
        const bool quiet = !integerBit || (b.significand & kQuietBit) != 0;
        return sign + (quiet ? "NAN" : "SNAN");
    }
    if (b.significand == 0) return sign + "0";
    // The magnitude, a pseudo-denormal in its normal encoding (same value,
    // exponent 1), built from the bits: no float operation needed.
    if (b.biased == 0 && integerBit) b.biased = 1;
    std::string digits;
    int e = 0;
    ShortestDigits(MakeExtended(b.significand, b.biased), digits, e);
    return LayOut(b.negative, digits.data(), static_cast<int>(digits.size()), e);
}

long double ParseFloatRegText(std::string_view text) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::string_view word = text.substr(negative ? 1 : 0);
    if (word == "INF") return Special(negative, kIntegerBit);
    if (word == "NAN") return Special(negative, kIntegerBit | kQuietBit);
    // The signalling NaN with the top payload bit, as __builtin_nansl makes it.
    if (word == "SNAN") return Special(negative, kIntegerBit | kQuietBit >> 1);
    return ParseFloat(text);
}

// NOLINTNEXTLINE(readability-function-size): the float code's own, rewritten on its MPFR branch
long double DecimalToExtended(std::string_view text) {
    const std::size_t point = std::min(text.find('.'), text.size());
    const std::string_view whole = text.substr(0, point);
    const std::string_view decimals = text.substr(std::min(point + 1, text.size()));
    // The digits of both parts as one run, the point left out.
    const std::size_t total = whole.size() + decimals.size();
    const auto at = [&](std::size_t i) { return i < whole.size() ? whole[i] : decimals[i - whole.size()]; };
    std::size_t first = 0;
    while (first < total && at(first) == '0') ++first;
    if (first == total) return 0.0L;
    std::size_t last = total - 1;
    while (at(last) == '0') --last;
    // The number is the integer of digits first..last times 10^exp.
    const long exp = static_cast<long>(whole.size()) - 1 - static_cast<long>(last);
    const std::size_t count = last - first + 1;

    // Up to 19 digits make an integer an extended holds exactly, and so is
    // 10^27 (5^27 < 2^64): one multiplication or division by an exact power
    // then rounds once, correctly. Most numbers typed are like that. (It may
    // leave the inexact flag, which nothing reads.)
    constexpr long kExactPow10 = 27;
    if (count <= 19 && exp >= -kExactPow10 && exp <= kExactPow10) {
        static constexpr auto kPow10 = [] {
            std::array<long double, kExactPow10 + 1> t{};
            long double p = 1.0L;
            for (auto& v : t) {
                v = p;
                p *= 10.0L;
            }
            return t;
        }();
        uint64_t m = 0;
        for (std::size_t i = first; i <= last; ++i) m = m * 10 + static_cast<uint64_t>(at(i) - '0');
        const long double v = static_cast<long double>(m);
        return exp >= 0 ? v * kPow10[static_cast<std::size_t>(exp)]
                        : v / kPow10[static_cast<std::size_t>(-exp)];
    }

    // Otherwise the C library's strtold, which rounds correctly, on the
    // significant digits written as an integer with a decimal exponent.
    const auto parse = [](std::string& number, long scale) {
        number += 'e';
        number += std::to_string(scale);
        fpu::QuietEnv guard;
        return strtold_l(number.c_str(), nullptr, CLocale());
    };
    std::string number;
    // A long number lies between its first kQuickDigits digits and the
    // same plus one in the last of them; where both round to the same
    // extended, so does the number, and the rest need not be read. This
    // keeps each key of an endless entry cheap.
    constexpr std::size_t kQuickDigits = 24;
    if (count > kQuickDigits) {
        const long scale = exp + static_cast<long>(count - kQuickDigits);
        for (std::size_t i = first; i < first + kQuickDigits; ++i) number += at(i);
        std::string above = number;
        std::size_t i = above.size();
        while (i > 0 && above[i - 1] == '9') above[--i] = '0';
        if (i > 0) {
            ++above[i - 1];
        } else {
            above.insert(above.begin(), '1');
        }
        const long double low = parse(number, scale);
        if (low == parse(above, scale)) return low;
        number.clear();
    }
    // A halfway point between two extendeds has at most about 11520
    // significant digits (those between the smallest denormals); past
    // kMaxDigits all that counts is that a dropped digit was not zero, which
    // one "1" at the end keeps.
    constexpr std::size_t kMaxDigits = 12000;
    long scale = exp;
    if (count <= kMaxDigits) {
        for (std::size_t i = first; i <= last; ++i) number += at(i);
    } else {
        for (std::size_t i = first; i < first + kMaxDigits; ++i) number += at(i);
        number += '1';  // digit `last` is not zero, and it was dropped
        scale += static_cast<long>(count - kMaxDigits - 1);
    }
    return parse(number, scale);
}

long double ParseFloat(std::string_view text) {
    FloatShape shape;
    if (!ParseFloatShape(text, shape)) ThrowBadFloat(text);
    const bool negative = !text.empty() && text[0] == '-';

    const std::string z(text);  // strtold_l needs a terminated string
    char* end = nullptr;
    long double x;
    {
        fpu::QuietEnv guard;
        errno = 0;
        x = strtold_l(z.c_str(), &end, CLocale());
    }
    if (end != z.c_str() + z.size()) ThrowBadFloat(text);
    if (std::isinf(x)) {
        // Overflow. The general float text of the largest values rounds up
        // past the range; read those back as the largest finite value.
        if (!AtMostLargestText(shape)) ThrowBadFloat(text);
        x = negative ? -LDBL_MAX : LDBL_MAX;
    }
    // Underflow (ERANGE with a denormal or zero) keeps the nearest value.
    return x;
}
