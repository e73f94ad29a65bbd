// The signed view of Word128 against extended floats: W128ToFloat,
// FloatToW128, W128Div and W128Pow.
#include <cmath>
#include <limits>

#include "w128_testing.h"

inline void PrintTo(const Extended& x, std::ostream* os) { *os << HexText(x); }

namespace {

__extension__ typedef __int128 i128;

const Word128 kMaxSigned = Word128(~0ull, ~0ull >> 1);  // 2^127 - 1

// 2^k, and a sum or difference of two of them, exactly.
Extended P2(int k) { return {Extended::kIntegerBit, static_cast<unsigned>(Extended::kBias + k)}; }
Extended Exact(double d) { return Extended::FromDouble(d); }

TEST(Extended, ExactConversionsAndFields) {
    const uint64_t kOne = Extended::kIntegerBit;
    EXPECT_EQ(Extended::FromInt64(1), Extended(kOne, Extended::kBias));
    EXPECT_EQ(Extended::FromInt64(-1), Extended(kOne, 0x8000u | Extended::kBias));
    EXPECT_EQ(Extended::FromInt64(3), Extended(kOne | kOne >> 1, Extended::kBias + 1));
    EXPECT_EQ(Extended::FromInt64(INT64_MIN), Extended(kOne, 0x8000u | Extended::kIntegerExp));
    EXPECT_EQ(Extended::FromInt64(0), Extended::Zero());
    EXPECT_EQ(Exact(-2.75), Extended(0xB000000000000000u, 0xC000));
    EXPECT_EQ(Exact(std::numeric_limits<double>::denorm_min()), Extended(kOne, Extended::kBias - 1074));
    EXPECT_EQ(Exact(-0.0), Extended::Zero(true));
    EXPECT_EQ(Exact(std::numeric_limits<double>::infinity()), Extended::Infinity());
    EXPECT_TRUE(Exact(std::numeric_limits<double>::quiet_NaN()).IsNaN());
    EXPECT_EQ(HexText(Extended(0xC90FDAA22168C23Cu, 0x4000)), "4000C90FDAA22168C23C");
    unsigned char bytes[10];
    Extended(0x0123456789ABCDEFu, 0xC001).Store(bytes);
    EXPECT_EQ(bytes[0], 0xEF);
    EXPECT_EQ(bytes[9], 0xC0);
    EXPECT_EQ(Extended::Load(bytes), Extended(0x0123456789ABCDEFu, 0xC001));
}

TEST(W128ToFloat, Table) {
    struct Row {
        Word128 v;
        Extended x;
    } rows[] = {
        {W128AllOnes, Exact(-1)},
        {W128MinSigned, P2(127).Negated()},
        {Pow2(64) + Small(1), P2(64)},                                        // the low bit is lost
        {Pow2(65) - Small(1), Extended(~uint64_t{0}, Extended::kBias + 64)},  // 2^65 - 2
        {Pow2(64) - Small(1), Extended(~uint64_t{0}, Extended::kBias + 63)},  // exact
        {-(Pow2(64) + Small(1)), P2(64).Negated()},  // truncated toward zero, not rounded
        {kMaxSigned, Extended(~uint64_t{0}, Extended::kBias + 126)},
        {Small(1), Exact(1)},
        {Small(12345), Exact(12345)},
        {Word128::FromI32(-12345), Exact(-12345)},
    };
    for (const Row& r : rows) EXPECT_EQ(W128ToFloat(r.v), r.x) << hexstr(r.v);
    EXPECT_EQ(W128ToFloat(W128Zero), Extended::Zero());
}

TEST(FloatToW128, Table) {
    const Extended largestBelow127(~uint64_t{0}, Extended::kBias + 126);  // 2^127 - 2^63
    struct Row {
        Extended x;
        Word128 v;
    } rows[] = {
        {Exact(0.999), W128Zero},
        {Exact(-0.999), W128Zero},
        {Exact(-0.5), W128Zero},
        {Exact(-0.0), W128Zero},
        {Extended::MinDenormal(), W128Zero},
        {Exact(-1), W128AllOnes},
        {Exact(2.9), Small(2)},
        {Exact(-2.9), -Small(2)},
        {P2(126), Pow2(126)},
        {largestBelow127, Pow2(127) - Pow2(63)},
        {largestBelow127.Negated(), -(Pow2(127) - Pow2(63))},
        {Extended(Extended::kIntegerBit | 1, Extended::kBias + 62), Pow2(62)},  // 2^62 + 0.5
        {Exact(12345.75), Small(12345)},
    };
    for (const Row& r : rows) EXPECT_EQ(wide::FloatToW128(r.x), r.v) << HexText(r.x);
}

// Out of the signed range each side saturates to its own end; a NaN gives
// bit 127 alone.
TEST(FloatToW128, SaturatesToTheNearestEnd) {
    EXPECT_EQ(wide::FloatToW128(Exact(1e40)), kMaxSigned);
    EXPECT_EQ(wide::FloatToW128(P2(127)), kMaxSigned);
    EXPECT_EQ(wide::FloatToW128(Extended::Infinity()), kMaxSigned);
    EXPECT_EQ(wide::FloatToW128(Extended::Max()), kMaxSigned);
    EXPECT_EQ(wide::FloatToW128(Exact(-1e40)), W128MinSigned);
    EXPECT_EQ(wide::FloatToW128(P2(127).Negated()), W128MinSigned);  // representable exactly
    EXPECT_EQ(wide::FloatToW128(Extended::Infinity(true)), W128MinSigned);
    EXPECT_EQ(wide::FloatToW128(Extended::QuietNaN()), W128MinSigned);
    EXPECT_EQ(wide::FloatToW128(Extended::QuietNaN(true)), W128MinSigned);
}

// Random values against the conversions worked out on 128-bit integers.
TEST(FloatConversions, RandomRoundTrips) {
    Random128 rnd(0x5EED0004);
    for (int i = 0; i < 20000; ++i) {
        const Word128 v = rnd.next();
        const bool negative = v.IsNegative();
        const u128 m = negative ? -v.native() : v.native();
        // Keep 64 leading bits: such a value converts exactly.
        const int top = v.IsZero() ? 0 : hibit(Word128::FromNative(m));
        const u128 kept = top > 63 ? m & ~((u128{1} << (top - 63)) - 1) : m;
        const Extended x = W128ToFloat(v);
        if (!v.IsZero()) {
            // The leading 64 bits, with the top one's weight as exponent.
            ASSERT_EQ(x, Extended(static_cast<uint64_t>(top > 63 ? kept >> (top - 63) : kept << (63 - top)),
                                  (negative ? 0x8000u : 0u) | static_cast<unsigned>(Extended::kBias + top)))
                << hexstr(v);
        }
        // Back again: the truncated value with its sign.
        ASSERT_EQ(wide::FloatToW128(x), Word128::FromNative(negative ? -kept : kept)) << hexstr(v);
        if (m >> 64 == 0) {
            ASSERT_EQ(wide::FloatToW128(x), v);
        }

        // A random extended below 2^127 in magnitude, with a fraction: its
        // whole part is the significand shifted right.
        const uint64_t significand = rnd.u64() | Extended::kIntegerBit;
        const int exp = static_cast<int>(rnd.u64() % 127);  // 1 <= |y| < 2^127
        const bool neg = rnd.u64() % 2 != 0;
        const Extended y(significand, (neg ? 0x8000u : 0u) | static_cast<unsigned>(Extended::kBias + exp));
        const u128 whole = exp >= 63 ? u128{significand} << (exp - 63) : u128{significand >> (63 - exp)};
        ASSERT_EQ(wide::FloatToW128(y), Word128::FromNative(neg ? -whole : whole)) << HexText(y);
    }
}

TEST(W128Div, Table) {
    struct Row {
        Word128 a, b, q;
    } rows[] = {
        {W128Zero, W128Zero, W128Zero},
        {Small(7), Small(2), Small(3)},
        {-Small(7), Small(2), -Small(3)},
        {Small(7), -Small(2), -Small(3)},
        {-Small(7), -Small(2), Small(3)},
        {W128AllOnes, Small(2), W128Zero},
        {W128MinSigned, W128MinSigned, Small(1)},
        {Small(5), W128MinSigned, W128Zero},
        {Pow2(100), Small(3), Word128(0x5555555555555555ull, 0x0000000555555555ull)},
        {-Pow2(100), Small(3), -Word128(0x5555555555555555ull, 0x0000000555555555ull)},
        {kMaxSigned, W128AllOnes, -kMaxSigned},
        // The true quotient for the most negative dividend too.
        {W128MinSigned, Small(1), W128MinSigned},
        {W128MinSigned, Small(2), -Pow2(126)},
        {W128MinSigned, W128AllOnes, W128MinSigned},  // wraps
        {W128MinSigned, Small(3), -Word128(0xAAAAAAAAAAAAAAAAull, 0x2AAAAAAAAAAAAAAAull)},
        {W128MinSigned, -Pow2(126), Small(2)},
    };
    for (const Row& r : rows) EXPECT_EQ(W128Div(r.a, r.b), r.q) << sstr(r.a, 10) << " / " << sstr(r.b, 10);
}

TEST(W128Div, ZeroDivisor) {
    for (const Word128 a : {Small(5), W128AllOnes, W128MinSigned}) {
        try {
            (void)W128Div(a, W128Zero);
            ADD_FAILURE() << "no error for " << sstr(a, 10) << " / 0";
        } catch (const DivByZeroError& e) {
            EXPECT_STREQ(e.what(), "Word128: divide by zero");
        }
    }
}

TEST(W128Div, RandomAgainstSignedInt128) {
    Random128 rnd(0x5EED0005);
    for (int i = 0; i < 20000; ++i) {
        const Word128 a = rnd.next(), b = rnd.next();
        if (b.IsZero()) continue;
        const i128 sa = static_cast<i128>(a.native()), sb = static_cast<i128>(b.native());
        const Word128 q = W128Div(a, b);
        if (a == W128MinSigned && b == W128AllOnes) {
            ASSERT_EQ(q, W128MinSigned);
            continue;
        }
        ASSERT_EQ(q, Word128::FromNative(static_cast<u128>(sa / sb))) << sstr(a, 10) << " / " << sstr(b, 10);
        // a = b*q + r with |r| < |b| and r of the dividend's sign.
        const Word128 r = a - b * q;
        const i128 sr = static_cast<i128>(r.native());
        ASSERT_TRUE(sr == 0 || (sr < 0) == (sa < 0));
        const u128 mr = sr < 0 ? -r.native() : r.native(), mb = sb < 0 ? -b.native() : b.native();
        ASSERT_LT(mr, mb);
    }
}

TEST(W128Pow, Table) {
    u128 tenTo39 = 1;
    for (int i = 0; i < 39; ++i) tenTo39 *= 10;
    struct Row {
        Word128 a, e, r;
    } rows[] = {
        {Small(3), Small(4), Small(81)},
        {Small(2), Small(127), W128MinSigned},
        {Small(2), Small(128), W128Zero},
        {Small(2), Small(200), W128Zero},
        {Small(10), Small(39), Word128::FromNative(tenTo39)},
        {-Small(3), Small(3), -Small(27)},
        {-Small(3), Small(2), Small(9)},
        {-Small(5), W128Zero, Small(1)},
        {W128Zero, W128Zero, Small(1)},
        {W128Zero, Small(5), W128Zero},
        {W128Zero, W128AllOnes, W128Zero},
        {Small(5), W128AllOnes, W128Zero},
        {Small(5), W128MinSigned, W128Zero},
        {Small(1), kMaxSigned, Small(1)},
        {W128AllOnes, Small(3), W128AllOnes},
        {W128AllOnes, kMaxSigned, W128AllOnes},
        {W128AllOnes, kMaxSigned - Small(1), Small(1)},
        {Small(3), Small(1), Small(3)},
        {W128MinSigned, Small(1), W128MinSigned},
        {W128MinSigned, Small(2), W128Zero},
    };
    for (const Row& r : rows) EXPECT_EQ(W128Pow(r.a, r.e), r.r) << sstr(r.a, 10) << " ^ " << sstr(r.e, 10);
}

TEST(W128Pow, RandomAgainstRepeatedProducts) {
    Random128 rnd(0x5EED0006);
    for (int i = 0; i < 3000; ++i) {
        const Word128 a = rnd.next();
        const unsigned e = static_cast<unsigned>(rnd.u64() % 300);
        u128 r = 1;
        for (unsigned k = 0; k < e; ++k) r *= a.native();
        ASSERT_EQ(W128Pow(a, Small(e)), Word128::FromNative(r)) << sstr(a, 10) << " ^ " << e;

        // Large exponents: a^(e1+e2) = a^e1 * a^e2.
        const Word128 e1 = rnd.next() >> 2, e2 = rnd.next() >> 2;
        ASSERT_EQ(W128Pow(a, e1 + e2), W128Pow(a, e1) * W128Pow(a, e2)) << sstr(a, 10);
    }
}

}  // namespace
