// Word128 arithmetic: construction, order, wrapping arithmetic, shifts,
// rotations, hibit and unsigned division, by table and at random.
#include <string>

#include "w128_testing.h"

namespace {

// Independent references: 32-bit limbs for the product, bit-by-bit long
// division for quotient and remainder.
Word128 LimbProduct(Word128 a, Word128 b) {
    const uint32_t x[4] = {uint32_t(a.lo), uint32_t(a.lo >> 32), uint32_t(a.hi), uint32_t(a.hi >> 32)};
    const uint32_t y[4] = {uint32_t(b.lo), uint32_t(b.lo >> 32), uint32_t(b.hi), uint32_t(b.hi >> 32)};
    uint32_t r[4] = {};
    for (int i = 0; i < 4; ++i) {
        uint64_t carry = 0;
        for (int j = 0; i + j < 4; ++j) {
            const uint64_t t = uint64_t{x[i]} * y[j] + r[i + j] + carry;
            r[i + j] = uint32_t(t);
            carry = t >> 32;
        }
    }
    return Word128((uint64_t{r[1]} << 32) | r[0], (uint64_t{r[3]} << 32) | r[2]);
}

void LongDivision(Word128 a, Word128 b, Word128& q, Word128& r) {
    std::bitset<128> quotient;
    const std::bitset<128> num = Bits(a);
    Word128 rem = W128Zero;
    for (int i = 127; i >= 0; --i) {
        rem = (rem << 1) | Small(num[i]);
        if (rem >= b) {
            rem = rem - b;
            quotient[i] = true;
        }
    }
    q = FromBits(quotient);
    r = rem;
}

TEST(Word128Construct, FromThirtyTwoBits) {
    EXPECT_EQ(Word128::FromI32(-1), W128AllOnes);
    EXPECT_EQ(Word128::FromI32(-2), Word128(~0ull - 1, ~0ull));
    EXPECT_EQ(Word128::FromI32(INT32_MIN), Word128(0xFFFFFFFF80000000ull, ~0ull));
    EXPECT_EQ(Word128::FromI32(INT32_MAX), Small(0x7FFFFFFF));
    EXPECT_EQ(Word128::FromI32(0), W128Zero);
    EXPECT_EQ(Word128::FromU32(4294967295u), Small(0xFFFFFFFFull));
    EXPECT_EQ(Word128(), W128Zero);
}

TEST(Word128Order, UnsignedComparesHighHalfFirst) {
    EXPECT_LT(Word128(~0ull, 0), Word128(0, 1));
    EXPECT_GT(Word128(0, 1), Word128(~0ull, 0));
    EXPECT_LE(Word128(5, 1), Word128(5, 1));
    EXPECT_GE(Word128(5, 1), Word128(5, 1));
    EXPECT_FALSE(Word128(5, 1) < Word128(5, 1));
    EXPECT_LT(Word128(4, 1), Word128(5, 1));
    EXPECT_LT(W128Zero, W128AllOnes);
    EXPECT_NE(Word128(0, 1), Word128(1, 0));
}

TEST(Word128Order, SignedLessReadsBit127AsSign) {
    struct Row {
        Word128 a, b;
        bool less;
    } rows[] = {
        {W128AllOnes, W128Zero, true},                      // -1 < 0
        {W128MinSigned, Word128(~0ull, ~0ull >> 1), true},  // -2^127 < 2^127 - 1
        {W128Zero, W128Zero, false},
        {W128Zero, W128AllOnes, false},
        {W128MinSigned, W128AllOnes, true},            // most negative < -1
        {Word128(0, ~0ull), Word128(1, ~0ull), true},  // equal high halves: low decides
        {Word128(0, 5), Word128(~0ull, 4), false},
        {Word128(0, 0x8000000000000001ull), W128MinSigned, false},
    };
    for (const Row& r : rows) EXPECT_EQ(SignedLess(r.a, r.b), r.less) << hexstr(r.a) << " < " << hexstr(r.b);
}

TEST(Word128Arith, WrapsModulo2To128) {
    EXPECT_EQ(W128AllOnes + Small(1), W128Zero);
    EXPECT_EQ(Word128(~0ull, 0) + Small(1), Word128(0, 1));  // carry into the high half
    EXPECT_EQ(W128Zero - Small(1), W128AllOnes);
    EXPECT_EQ(Word128(0, 1) - Small(1), Word128(~0ull, 0));  // borrow from the high half
    EXPECT_EQ(-W128Zero, W128Zero);
    EXPECT_EQ(-W128MinSigned, W128MinSigned);
    EXPECT_EQ(-Small(1), W128AllOnes);
    EXPECT_EQ(W128AllOnes * W128AllOnes, Small(1));
    EXPECT_EQ(Pow2(64) * Pow2(64), W128Zero);
    EXPECT_EQ(Small(0) * W128AllOnes, W128Zero);
    EXPECT_EQ(~W128Zero, W128AllOnes);
    EXPECT_EQ(Word128(0xFF, 0xF0) & Word128(0x0F, 0x3C), Word128(0x0F, 0x30));
    EXPECT_EQ(Word128(0xFF, 0xF0) | Word128(0x100, 0x0F), Word128(0x1FF, 0xFF));
    EXPECT_EQ(Word128(0xFF, 0xF0) ^ Word128(0x0F, 0xFF), Word128(0xF0, 0x0F));

    Word128 v = Small(5);
    v += Small(3);
    v *= Small(4);
    v -= Small(2);
    v |= Pow2(100);
    v ^= Small(1);
    v &= ~Pow2(100);
    EXPECT_EQ(v, Small(31));
}

TEST(Word128Divide, ZeroDividendAndZeroDivisor) {
    EXPECT_EQ(W128Zero / W128Zero, W128Zero);
    EXPECT_EQ(W128Zero % W128Zero, W128Zero);
    for (const Word128 a : {Small(5), W128MinSigned, Word128(0, 1)}) {
        try {
            (void)(a / W128Zero);
            ADD_FAILURE() << "no error for " << hexstr(a) << " / 0";
        } catch (const DivByZeroError& e) {
            EXPECT_STREQ(e.what(), "Word128: divide by zero");
        }
        EXPECT_THROW((void)(a % W128Zero), DivByZeroError);
    }
    Word128 v = Small(9);
    EXPECT_THROW(v /= W128Zero, DivByZeroError);
    EXPECT_EQ(v, Small(9));  // the operand is unchanged
}

TEST(Word128Divide, Table) {
    struct Row {
        Word128 a, b, q, r;
    } rows[] = {
        {Small(7), Small(9), W128Zero, Small(7)},
        {Small(9), Small(7), Small(1), Small(2)},
        {Pow2(127), Small(3), Word128(0xAAAAAAAAAAAAAAAAull, 0x2AAAAAAAAAAAAAAAull), Small(2)},
        {W128AllOnes, W128AllOnes, Small(1), W128Zero},
        {W128AllOnes, Pow2(64), Word128(~0ull, 0), Word128(~0ull, 0)},
        {Word128(0, 1), Word128(~0ull, 0), Small(1), Small(1)},
        {W128AllOnes, Small(10), Word128(0x9999999999999999ull, 0x1999999999999999ull), Small(5)},
        {Small(100), Small(100), Small(1), W128Zero},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.a / r.b, r.q) << hexstr(r.a) << " / " << hexstr(r.b);
        EXPECT_EQ(r.a % r.b, r.r) << hexstr(r.a) << " % " << hexstr(r.b);
    }
}

TEST(Word128Shift, Table) {
    const Word128 v = Word128(0xFEDCBA9876543210ull, 0x0123456789ABCDEFull);
    EXPECT_EQ(v << 0, v);
    EXPECT_EQ(v >> 0, v);
    EXPECT_EQ(v << 128, W128Zero);
    EXPECT_EQ(v >> 128, W128Zero);
    EXPECT_EQ(v << 255, W128Zero);
    EXPECT_EQ(v >> 255, W128Zero);
    EXPECT_EQ(Small(1) << 127, W128MinSigned);
    EXPECT_EQ(W128MinSigned >> 127, Small(1));
    EXPECT_EQ(v << 64, Word128(0, v.lo));
    EXPECT_EQ(v >> 64, Word128(v.hi, 0));
    EXPECT_EQ(v << 4, Word128(0xEDCBA98765432100ull, 0x123456789ABCDEFFull));
    EXPECT_EQ(v >> 68, Word128(0x00123456789ABCDEull, 0));
    Word128 u = v;
    u >>= 8;
    EXPECT_EQ(u, Word128(0xEFFEDCBA98765432ull, 0x000123456789ABCDull));
    u <<= 8;
    EXPECT_EQ(u, Word128(0xFEDCBA9876543200ull, 0x0123456789ABCDEFull));
}

TEST(Word128Rotate, Table) {
    const Word128 v = Word128(0xFEDCBA9876543210ull, 0x0123456789ABCDEFull);
    Word128 a = v, b = v;
    EXPECT_EQ(rol(a, 128), v);
    EXPECT_EQ(ror(b, 0), v);
    a = v;
    b = v;
    EXPECT_EQ(rol(a, 200), rol(b, 72));
    a = Small(1);
    EXPECT_EQ(rol(a, 1), Small(2));
    a = Small(1);
    EXPECT_EQ(ror(a, 1), W128MinSigned);
    a = v;
    b = v;
    EXPECT_EQ(rol(a, 64), Word128(v.hi, v.lo));
    EXPECT_EQ(ror(b, 64), Word128(v.hi, v.lo));
    a = W128MinSigned;
    EXPECT_EQ(rol(a, 1), Small(1));
    EXPECT_EQ(a, Small(1));  // updated in place
}

TEST(Word128Hibit, Table) {
    EXPECT_EQ(hibit(W128Zero), 255);
    EXPECT_EQ(hibit(Small(1)), 0);
    EXPECT_EQ(hibit(Pow2(63)), 63);
    EXPECT_EQ(hibit(Pow2(64)), 64);
    EXPECT_EQ(hibit(W128AllOnes), 127);
    for (unsigned k = 0; k < 128; ++k) EXPECT_EQ(hibit(Pow2(k) | Small(1)), k);
}

// Every count 0..255 against std::bitset for a few patterns.
TEST(Word128Shift, EveryCountMatchesBitset) {
    const Word128 values[] = {Word128(0xFEDCBA9876543210ull, 0x0123456789ABCDEFull), W128AllOnes, Small(1),
                              W128MinSigned};
    for (const Word128 v : values) {
        for (unsigned c = 0; c < 256; ++c) {
            const uint8_t c8 = static_cast<uint8_t>(c);
            EXPECT_EQ(v << c8, FromBits(Bits(v) << c)) << c;
            EXPECT_EQ(v >> c8, FromBits(Bits(v) >> c)) << c;
            const unsigned r = c % 128;
            Word128 a = v, b = v;
            // A bitset shifted by 128 is empty, so r = 0 needs no special case.
            EXPECT_EQ(rol(a, c8), FromBits((Bits(v) << r) | (Bits(v) >> (128 - r)))) << c;
            EXPECT_EQ(ror(b, c8), FromBits((Bits(v) >> r) | (Bits(v) << (128 - r)))) << c;
        }
    }
}

TEST(Word128Random, ArithmeticMatchesReferences) {
    Random128 rnd(0x5EED0001);
    for (int i = 0; i < 20000; ++i) {
        const Word128 a = rnd.next(), b = rnd.next();
        const u128 na = a.native(), nb = b.native();
        ASSERT_EQ(a + b, Word128::FromNative(na + nb));
        ASSERT_EQ(a - b, Word128::FromNative(na - nb));
        ASSERT_EQ(a - b + b, a);
        ASSERT_EQ(-a + a, W128Zero);
        ASSERT_EQ(a * b, LimbProduct(a, b));
        ASSERT_EQ(a * b, Word128::FromNative(na * nb));
        ASSERT_EQ(a < b, na < nb);
        __extension__ typedef __int128 i128;
        ASSERT_EQ(SignedLess(a, b), static_cast<i128>(na) < static_cast<i128>(nb));
        ASSERT_EQ(hibit(a),
                  a.IsZero() ? 255 : 127 - (na >> 64 ? __builtin_clzll(a.hi) : 64 + __builtin_clzll(a.lo)));

        const uint8_t c = static_cast<uint8_t>(rnd.u64());
        ASSERT_EQ(a << c, FromBits(Bits(a) << c));
        ASSERT_EQ(a >> c, FromBits(Bits(a) >> c));
        Word128 r1 = a;
        rol(r1, c);
        Word128 r2 = r1;
        ASSERT_EQ(ror(r2, c), a);  // rotations are inverse
        ASSERT_EQ(r1, (a << (c % 128)) | (c % 128 == 0 ? W128Zero : a >> (128 - c % 128)));

        if (b.IsZero()) {
            if (a.IsZero()) {
                ASSERT_EQ(a / b, W128Zero);
            } else {
                ASSERT_THROW((void)(a / b), DivByZeroError);
            }
            continue;
        }
        const Word128 q = a / b, r = a % b;
        Word128 lq, lr;
        LongDivision(a, b, lq, lr);
        ASSERT_EQ(q, lq) << hexstr(a) << " / " << hexstr(b);
        ASSERT_EQ(r, lr) << hexstr(a) << " % " << hexstr(b);
        ASSERT_EQ(q, Word128::FromNative(na / nb));
        ASSERT_EQ(b * q + r, a);
        ASSERT_LT(r, b);
    }
}

}  // namespace
