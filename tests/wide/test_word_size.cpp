// The word sizes: each N-bit rule against C++'s fixed-width integers (a
// small sample here, a million cases in word_size_check), every rule at 128
// bits against the 128-bit operation it must equal, and the texts.
#include <arpa/inet.h>

#include <cmath>
#include <limits>

#include "w128_testing.h"
#include "word_size_reference.h"

namespace {

constexpr WordBits k8 = WordBits::k8, k16 = WordBits::k16, k32 = WordBits::k32, k64 = WordBits::k64,
                   k128 = WordBits::k128;

Word128 I(long long v) { return Word128::FromNative(static_cast<u128>(static_cast<s128>(v))); }
Word128 Hex(const char* text) { return wide::stou128(text, 16); }

TEST(WordSize, RulesAgreeWithNativeIntegersOnEdgesAndASample) {
    for (const WordBits n : kWordSizes) {
        const wordref::Report r = wordref::CheckRules(n, 3000, 7 + BitsOf(n));
        EXPECT_EQ(r.failed, 0u) << BitsOf(n) << " bits";
        for (const wordref::Failure& f : r.failures)
            ADD_FAILURE() << BitsOf(n) << " bits, " << f.rule << " (" << f.operands << "): expected "
                          << f.expected << ", got " << f.actual;
    }
}

// At 128 bits the word size must change nothing at all.
TEST(WordSize, At128EveryRuleIsTodaysOperation) {
    Random128 rnd(2024);
    for (int i = 0; i < 20000; ++i) {
        const Word128 a = rnd.next(), b = rnd.next();
        const uint8_t c = static_cast<uint8_t>(rnd.u64());
        Word128 ra = a, rr = a;
        SCOPED_TRACE("a=" + hexstr(a) + " b=" + hexstr(b) + " c=" + std::to_string(c));
        EXPECT_EQ(AddAt(a, b, k128), a + b);
        EXPECT_EQ(SubAt(a, b, k128), a - b);
        EXPECT_EQ(MulAt(a, b, k128), a * b);
        EXPECT_EQ(NegAt(a, k128), -a);
        EXPECT_EQ(AndAt(a, b, k128), a & b);
        EXPECT_EQ(OrAt(a, b, k128), a | b);
        EXPECT_EQ(XorAt(a, b, k128), a ^ b);
        EXPECT_EQ(NotAt(a, k128), ~a);
        EXPECT_EQ(ShlAt(a, c, k128), a << c);
        EXPECT_EQ(ShrAt(a, c, k128), a >> c);
        EXPECT_EQ(RolAt(a, c, k128), rol(ra, c));
        EXPECT_EQ(RorAt(a, c, k128), ror(rr, c));
        EXPECT_EQ(LessAt(a, b, k128), SignedLess(a, b));
        EXPECT_EQ(EqualAt(a, b, k128), a == b);
        EXPECT_EQ(PowAt(a, b, k128), W128Pow(a, b));
        if (!b.IsZero()) {
            EXPECT_EQ(DivAt(a, b, k128), W128Div(a, b));
        }
        EXPECT_EQ(SaturateTo(a, k128), a);
        EXPECT_EQ(DecimalTextAt(a, k128), sstr(a, 10));
        EXPECT_EQ(RadixTextAt(a, 2, k128), str(a, 2));
        EXPECT_EQ(RadixTextAt(a, 16, k128), str(a, 16));
        EXPECT_EQ(HexDigitsAt(a, k128), hexstr(a));
        EXPECT_EQ(IPv4TextAt(a, k128), ipv4str(a));
        EXPECT_EQ(IPv6TextAt(a, k128), ipv6str(a, true));
    }
    EXPECT_EQ(DivAt(W128MinSigned, W128AllOnes, k128), W128Div(W128MinSigned, W128AllOnes));
    EXPECT_THROW(DivAt(I(5), W128Zero, k128), DivByZeroError);
}

// The masks keep their 128-bit meaning: rows from the calculator's own
// examples, then the same requests at narrower words.
TEST(WordSize, LeftAndRightBitMasks) {
    struct Row {
        WordBits n;
        long long w, k;
        const char* leftHex;  // w LBT k, the pattern
    } rows[] = {
        {k128, 32, 8, "FF000000"},
        {k128, 128, 4, "F0000000000000000000000000000000"},
        {k128, 0, 200, "FFFFFFFFFFFFFFFFFF00000000000000"},  // mask of all ones, shifted by 56
        {k32, 32, 8, "FF000000"},
        {k32, 16, 4, "F000"},
        {k32, 64, 8, "0"},         // the run lies above the word
        {k32, 36, 8, "F0000000"},  // the run's top four bits fall off
        {k8, 8, 3, "E0"},
        {k8, 0, 200, "0"},
        {k16, 40, 40, "FFFF"},  // more ones than the word: all of it
        {k16, 16, 40, "0"},     // k > w: (w - k) mod 256 is 232
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(BitsOf(r.n)) + " bits: " + std::to_string(r.w) + " LBT " +
                     std::to_string(r.k));
        const Word128 got = LeftBitsAt(ReduceTo(I(r.w), r.n), ReduceTo(I(r.k), r.n), r.n);
        EXPECT_EQ(RadixTextAt(got, 16, r.n), r.leftHex);
        EXPECT_TRUE(IsReduced(got, r.n));
    }
    struct RightRow {
        WordBits n;
        long long k;
        const char* hex;
    } right[] = {
        {k128, 0, "0"},  {k128, 1, "1"},        {k128, 64, "FFFFFFFFFFFFFFFF"}, {k128, 256, "0"},
        {k32, 8, "FF"},  {k32, 31, "7FFFFFFF"}, {k32, 32, "FFFFFFFF"},          {k32, 200, "FFFFFFFF"},
        {k8, -56, "FF"},  // 200 typed at 8 bits: its low byte still counts 200
        {k16, 256, "0"}};
    for (const RightRow& r : right)
        EXPECT_EQ(RadixTextAt(RightBitsAt(ReduceTo(I(r.k), r.n), r.n), 16, r.n), r.hex)
            << BitsOf(r.n) << " bits: RBT " << r.k;
    EXPECT_EQ(RadixTextAt(RightBitsAt(I(200), k128), 16, k128), std::string(32, 'F'));
}

// What a user sees: NOT, SHR and the IPv4 mask at 32 bits, and the edges of
// each width.
TEST(WordSize, ValuesAndTexts) {
    struct Row {
        WordBits n;
        Word128 v;
        const char *dec, *hex, *oct, *ipv4, *ipv6;
    } rows[] = {
        {k32, NotAt(I(0), k32), "-1", "FFFFFFFF", "37777777777", "255.255.255.255", "::ffff:ffff"},
        {k32, ShrAt(I(-8), 1, k32), "2147483644", "7FFFFFFC", "17777777774", "127.255.255.252",
         "::7fff:fffc"},
        {k32, NotAt(Hex("FFFFFF00"), k32), "255", "FF", "377", "0.0.0.255", "::ff"},
        {k32, I(0), "0", "0", "0", "0.0.0.0", "::"},
        {k32, Hex("64F2"), "25842", "64F2", "62362", "0.0.100.242", "::64f2"},
        {k32, WordMin(k32), "-2147483648", "80000000", "20000000000", "128.0.0.0", "::8000:0"},
        {k8, WordMin(k8), "-128", "80", "200", "128", "::80"},
        {k8, AddAt(WordMax(k8), I(1), k8), "-128", "80", "200", "128", "::80"},
        {k8, I(-1), "-1", "FF", "377", "255", "::ff"},
        {k16, MulAt(I(300), I(300), k16), "24464", "5F90", "57620", "95.144", "::5f90"},
        {k64, I(-1), "-1", "FFFFFFFFFFFFFFFF", "1777777777777777777777", "255.255.255.255.255.255.255.255",
         "::ffff:ffff:ffff:ffff"},
        {k64, WordMax(k64), "9223372036854775807", "7FFFFFFFFFFFFFFF", "777777777777777777777",
         "127.255.255.255.255.255.255.255", "::7fff:ffff:ffff:ffff"},
        {k128, I(-1), "-1", "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", "3777777777777777777777777777777777777777777",
         "255.255.255.255.255.255.255.255.255.255.255.255.255.255.255.255",
         "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(BitsOf(r.n)) + " bits, " + r.dec);
        EXPECT_TRUE(IsReduced(r.v, r.n));
        EXPECT_EQ(DecimalTextAt(r.v, r.n), r.dec);
        EXPECT_EQ(RadixTextAt(r.v, 16, r.n), r.hex);
        EXPECT_EQ(RadixTextAt(r.v, 8, r.n), r.oct);
        EXPECT_EQ(IPv4TextAt(r.v, r.n), r.ipv4);
        EXPECT_EQ(IPv6TextAt(r.v, r.n), r.ipv6);
        EXPECT_EQ(RadixTextAt(r.v, 2, r.n).size(), str(PatternOf(r.v, r.n), 2).size());
        EXPECT_EQ(HexDigitsAt(r.v, r.n).size(), BitsOf(r.n) / 4);
    }
    EXPECT_EQ(RadixTextAt(I(-1), 2, k16), std::string(16, '1'));
    EXPECT_EQ(HexDigitsAt(I(0x1F), k32), "0000001F");
    EXPECT_EQ(SarAt(I(-8), 1, k32), I(-4));
    EXPECT_EQ(RadixTextAt(ByteSwapAt(Hex("12345678"), k32), 16, k32), "78563412");
    EXPECT_EQ(RadixTextAt(ByteSwapAt(Hex("1234"), k16), 16, k16), "3412");
    EXPECT_EQ(ByteSwapAt(I(-100), k8), I(-100));
    for (const WordBits n : kWordSizes) EXPECT_EQ(DivAt(WordMin(n), I(-1), n), WordMin(n)) << BitsOf(n);
}

TEST(WordSize, FloatToIntegerSaturatesAtTheWord) {
    struct Row {
        WordBits n;
        double x;
        Word128 want;
    } rows[] = {
        {k32, 1e40, I(2147483647)},
        {k32, -1e40, I(-2147483648LL)},
        {k32, 4294967296.5, I(2147483647)},
        {k32, -2147483648.9, I(-2147483648LL)},
        {k32, -3.9, I(-3)},
        {k8, 127.99, I(127)},
        {k8, 128.0, I(127)},
        {k8, -200.0, I(-128)},
        {k64, 1e19, WordMax(k64)},
        {k128, 1e40, Word128(~0ull, ~0ull >> 1)},
    };
    for (const Row& r : rows)
        EXPECT_EQ(SaturateTo(wide::FloatToW128(Extended::FromDouble(r.x)), r.n), r.want)
            << BitsOf(r.n) << " bits, " << r.x;
}

TEST(WordSize, WhatFitsTheWordAndHowItIsWritten) {
    struct Row {
        WordBits n;
        bool negative;
        Word128 magnitude;
        bool fits;
    } rows[] = {
        {k8, false, I(255), true},
        {k8, false, I(256), false},
        {k8, true, I(128), true},
        {k8, true, I(129), false},
        {k32, false, Hex("FFFFFFFF"), true},
        {k32, false, Hex("100000000"), false},
        {k32, true, Hex("80000000"), true},
        {k32, true, Hex("80000001"), false},
        {k64, false, Hex("FFFFFFFFFFFFFFFF"), true},
        {k64, false, Hex("10000000000000000"), false},
        {k128, false, W128AllOnes, true},
        {k128, true, W128MinSigned, true},
        {k128, true, W128MinSigned + I(1), false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(FitsWord(r.negative, r.magnitude, r.n), r.fits)
            << BitsOf(r.n) << " bits, " << (r.negative ? "-" : "") << hexstr(r.magnitude);

    for (const WordBits n : kWordSizes) {
        EXPECT_EQ(wide::ParseWordBits(std::to_string(BitsOf(n))), n);
        EXPECT_EQ(wide::WordBitsOf(BitsOf(n)), n);
    }
    for (const char* bad : {"", "0", "12", "032", " 32", "32 ", "+32", "256", "1e1", "eight"})
        EXPECT_EQ(wide::ParseWordBits(bad), std::nullopt) << '"' << bad << '"';
    EXPECT_EQ(wide::WordBitsOf(-32), std::nullopt);
}

TEST(WordSize, StandardAddressTexts) {
    struct Row {
        const char* hex;
        const char* ipv6;
    } rows[] = {
        {"0", "::"},
        {"1", "::1"},
        {"10000000000000000000000000000", "1::"},
        {"C00000000000001BB000000000000", "c::1bb:0:0:0"},     // leftmost of two equal runs
        {"10000000200030004000500060007", "1:0:2:3:4:5:6:7"},  // a lone zero group stays
        {"10002000300040005000600070000", "1:2:3:4:5:6:7:0"},
        {"10000000000020003000000000004", "1::2:3:0:0:4"},
        {"20010DB8000000000001000000000001", "2001:db8::1:0:0:1"},
        {"FFFFC0000201", "::ffff:c000:201"},
    };
    for (const Row& r : rows) EXPECT_EQ(StandardIPv6Text(Hex(r.hex), k128), r.ipv6) << r.hex;
    EXPECT_EQ(StandardIPv6Text(I(-1), k32), "::ffff:ffff");

    EXPECT_EQ(StandardIPv4Text(Hex("64F2"), k128), "0.0.100.242");
    EXPECT_EQ(StandardIPv4Text(Hex("FFFFFFFF"), k128), "255.255.255.255");
    EXPECT_EQ(StandardIPv4Text(Hex("100000000"), k128), std::nullopt);
    EXPECT_EQ(StandardIPv4Text(I(-1), k128), std::nullopt);
    EXPECT_EQ(StandardIPv4Text(I(-1), k32), "255.255.255.255");
    EXPECT_EQ(StandardIPv4Text(I(-1), k16), "0.0.255.255");
    EXPECT_EQ(StandardIPv4Text(I(-1), k64), std::nullopt);
}

// The RFC 5952 text against glibc's inet_ntop on values rich in zero runs.
// glibc writes addresses whose top 80 bits are zero with a dotted IPv4 tail
// (::ffff:1.2.3.4, ::1.2.3.4); those are left out and must be the only ones.
TEST(WordSize, StandardIPv6TextMatchesInetNtop) {
    std::mt19937_64 gen(5952);
    int compared = 0;
    for (int i = 0; i < 3000; ++i) {
        u128 x = 0;
        for (int g = 0; g < 8; ++g) {
            const uint64_t draw = gen();
            const u128 group = draw % 3 == 0 ? draw >> 48 : draw % 3 == 1 ? (draw >> 60) : 0;
            x = (x << 16) | group;
        }
        const Word128 v = Word128::FromNative(x);
        unsigned char bytes[16];
        for (int k = 0; k < 16; ++k) bytes[k] = static_cast<unsigned char>(x >> (8 * (15 - k)));
        char text[INET6_ADDRSTRLEN];
        ASSERT_NE(inet_ntop(AF_INET6, bytes, text, sizeof text), nullptr);
        if (std::string(text).find('.') != std::string::npos) {
            EXPECT_EQ(x >> 48, 0u) << text;
            continue;
        }
        ++compared;
        EXPECT_EQ(StandardIPv6Text(v, k128), text) << hexstr(v);
    }
    EXPECT_GT(compared, 2900);
}

}  // namespace
