// Word128 in the signed view meets the 80-bit extended float: conversions
// both ways, signed division and integer power.
//
// The conversions work on the fields of the extended format: that makes
// them exact and gives a defined result for every bit pattern.
#include "word128.h"

namespace wide {

namespace {

constexpr int kExpTop = Extended::kBias + 127;  // 2^127: out of the signed range

// Magnitude of a two's-complement value; -2^127 gives 2^127.
inline u128 Magnitude(Word128 v) { return v.IsNegative() ? -v.native() : v.native(); }

}  // namespace

Extended W128ToFloat(Word128 v) {
    if (v.IsZero()) return Extended::Zero();
    const bool negative = v.IsNegative();
    const u128 m = Magnitude(v);
    // Keep the 64 leading bits; the ones below are dropped, which truncates
    // toward zero (magnitudes below 2^64 are exact).
    const int top = hibit(Word128::FromNative(m));
    const uint64_t significand = static_cast<uint64_t>(top >= 64 ? m >> (top - 63) : m << (63 - top));
    return {significand, (negative ? Extended::kSignBit : 0u) | static_cast<unsigned>(Extended::kBias + top)};
}

Word128 FloatToW128(Extended x) {
    const uint64_t significand = x.significand;
    const bool negative = x.Negative();
    const int e = static_cast<int>(x.Exponent());

    if (e == 0x7FFF && (significand << 1) != 0) return W128MinSigned;  // NaN
    // Out of the signed range (|x| >= 2^127, or an infinity): saturate to the
    // nearest end. -2^127 itself is representable and lands there too.
    if (e >= kExpTop) return negative ? W128MinSigned : Word128::FromNative(~u128{0} >> 1);
    if (e < Extended::kBias) return W128Zero;  // |x| < 1

    const int shift = e - Extended::kIntegerExp;  // -63 .. 63
    const u128 m = shift < 0 ? u128{significand >> -shift} : u128{significand} << shift;
    return Word128::FromNative(negative ? -m : m);
}

// Signed quotient truncated toward zero, for every dividend including -2^127
// (-2^127 / -1 wraps to -2^127).
Word128 W128Div(Word128 a, Word128 b) {
    if (a.IsZero()) return W128Zero;
    if (b.IsZero()) throw DivByZeroError();
    const bool negative = a.IsNegative() != b.IsNegative();
    const u128 ua = Magnitude(a), ub = Magnitude(b);
    const u128 q =
        ((ua | ub) >> 64) == 0 ? u128{static_cast<uint64_t>(ua) / static_cast<uint64_t>(ub)} : ua / ub;
    return Word128::FromNative(negative ? -q : q);
}

// a^e modulo 2^128 by square and multiply: at most 127 steps for any
// exponent. A negative exponent gives 0 (except 0^e, which is 0 too).
Word128 W128Pow(Word128 a, Word128 e) {
    if (a.IsZero()) return e.IsZero() ? Word128(1, 0) : W128Zero;
    if (e.IsNegative()) return W128Zero;
    const bool negative = a.IsNegative();
    u128 base = Magnitude(a);
    u128 n = e.native();
    u128 r = 1;
    const bool odd = (n & 1) != 0;
    // The factor (base or 1) is picked by a mask, not a branch: exponent bits
    // are as good as random, and a mispredicted branch per bit costs more
    // than the multiplication by 1 it would save.
    while (n != 0) {
        const u128 take = -(n & 1);
        r *= (base & take) | (~take & 1);
        n >>= 1;
        base *= base;
    }
    return Word128::FromNative(negative && odd ? -r : r);
}

}  // namespace wide
