// The signed view of Word128 against extended floats: W128ToFloat,
// FloatToW128, W128Div and W128Pow.
#include <cfenv>
#include <cmath>
#include <limits>

#include "w128_testing.h"

namespace {

__extension__ typedef __int128 i128;

const Word128 kMaxSigned = Word128(~0ull, ~0ull >> 1);  // 2^127 - 1

long double P2(int k) { return std::ldexp(1.0L, k); }

TEST(MakeExtended, BytesToValue) {
    const uint64_t kOne = uint64_t{1} << 63;  // the explicit integer bit
    EXPECT_EQ(MakeExtended(kOne, kExtendedBias), 1.0L);
    EXPECT_EQ(MakeExtended(kOne, 0x8000u | kExtendedBias), -1.0L);
    EXPECT_EQ(MakeExtended(kOne | kOne >> 1, kExtendedBias + 1), 3.0L);
    EXPECT_EQ(MakeExtended(kOne | 12345, kExtendedIntegerExp), static_cast<long double>(kOne | 12345));
    EXPECT_EQ(MakeExtended(1, 0), std::numeric_limits<long double>::denorm_min());
    EXPECT_EQ(MakeExtended(kOne, 0x7FFF), std::numeric_limits<long double>::infinity());
    EXPECT_TRUE(std::isnan(MakeExtended(kOne | 1, 0x7FFF)));
}

TEST(W128ToFloat, Table) {
    struct Row {
        Word128 v;
        long double x;
    } rows[] = {
        {W128AllOnes, -1.0L},
        {W128MinSigned, -P2(127)},
        {Pow2(64) + Small(1), P2(64)},  // the low bit is lost
        {Pow2(65) - Small(1), P2(65) - 2},
        {Pow2(64) - Small(1), P2(64) - 1},  // exact
        {-(Pow2(64) + Small(1)), -P2(64)},  // truncated toward zero, not rounded
        {kMaxSigned, P2(127) - P2(63)},
        {Small(1), 1.0L},
        {Small(12345), 12345.0L},
        {Word128::FromI32(-12345), -12345.0L},
    };
    for (const Row& r : rows) EXPECT_EQ(W128ToFloat(r.v), r.x) << hexstr(r.v);
    const long double zero = W128ToFloat(W128Zero);
    EXPECT_EQ(zero, 0.0L);
    EXPECT_FALSE(std::signbit(zero));
}

TEST(FloatToW128, Table) {
    struct Row {
        long double x;
        Word128 v;
    } rows[] = {
        {0.999L, W128Zero},
        {-0.999L, W128Zero},
        {-0.5L, W128Zero},
        {-0.0L, W128Zero},
        {std::numeric_limits<long double>::denorm_min(), W128Zero},
        {-1.0L, W128AllOnes},
        {2.9L, Small(2)},
        {-2.9L, -Small(2)},
        {P2(126), Pow2(126)},
        {P2(127) - P2(63), Pow2(127) - Pow2(63)},
        {-(P2(127) - P2(63)), -(Pow2(127) - Pow2(63))},
        {P2(64) + 0.5L, Pow2(64)},
        {12345.75L, Small(12345)},
    };
    for (const Row& r : rows) EXPECT_EQ(FloatToW128(r.x), r.v) << static_cast<double>(r.x);
}

// Out of the signed range each side saturates to its own end; a NaN gives
// bit 127 alone.
TEST(FloatToW128, SaturatesToTheNearestEnd) {
    const long double inf = std::numeric_limits<long double>::infinity();
    EXPECT_EQ(FloatToW128(1e40L), kMaxSigned);
    EXPECT_EQ(FloatToW128(P2(127)), kMaxSigned);
    EXPECT_EQ(FloatToW128(inf), kMaxSigned);
    EXPECT_EQ(FloatToW128(std::numeric_limits<long double>::max()), kMaxSigned);
    EXPECT_EQ(FloatToW128(-1e40L), W128MinSigned);
    EXPECT_EQ(FloatToW128(-P2(127)), W128MinSigned);  // representable exactly
    EXPECT_EQ(FloatToW128(-inf), W128MinSigned);
    EXPECT_EQ(FloatToW128(std::numeric_limits<long double>::quiet_NaN()), W128MinSigned);
    EXPECT_EQ(FloatToW128(-std::numeric_limits<long double>::quiet_NaN()), W128MinSigned);
}

TEST(FloatConversions, LeaveNoFloatStatusFlags) {
    std::feclearexcept(FE_ALL_EXCEPT);
    (void)FloatToW128(2.9L);
    (void)FloatToW128(1e40L);
    (void)FloatToW128(std::numeric_limits<long double>::quiet_NaN());
    (void)W128ToFloat(W128AllOnes);
    (void)W128ToFloat(Pow2(100) + Small(1));
    EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0);
}

TEST(FloatConversions, RandomAgainstTheCompilersConversions) {
    Random128 rnd(0x5EED0004);
    for (int i = 0; i < 20000; ++i) {
        const Word128 v = rnd.next();
        const bool negative = v.IsNegative();
        const u128 m = negative ? -v.native() : v.native();
        // Keep 64 leading bits: such a value converts exactly.
        const int top = v.IsZero() ? 0 : hibit(Word128::FromNative(m));
        const u128 kept = top > 63 ? m & ~((u128{1} << (top - 63)) - 1) : m;
        const long double expected =
            negative ? -static_cast<long double>(kept) : static_cast<long double>(kept);
        const long double x = W128ToFloat(v);
        ASSERT_EQ(x, expected) << hexstr(v);
        // Back again: the truncated value with its sign.
        ASSERT_EQ(FloatToW128(x), Word128::FromNative(negative ? -kept : kept)) << hexstr(v);
        if (m >> 64 == 0) {
            ASSERT_EQ(FloatToW128(x), v);
        }

        // A random extended below 2^127 in magnitude, with a fraction.
        const long double y =
            std::ldexp(static_cast<long double>(rnd.u64()), static_cast<int>(rnd.u64() % 128) - 64) *
            (rnd.u64() % 2 ? -1 : 1);
        ASSERT_EQ(FloatToW128(y), Word128::FromNative(static_cast<u128>(static_cast<i128>(std::trunc(y)))))
            << static_cast<double>(y);
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
