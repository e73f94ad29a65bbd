// Word128 text forms: str, sstr, hexstr, ipv4str, ipv6str and the reader
// stou128, by table, against a digit-by-digit reference, and with hostile
// bases and alphabets.
#include <algorithm>
#include <functional>
#include <string>

#include "w128_testing.h"

namespace {

const std::string kDefault = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// One 128-bit division per digit: slow, plain, and independent of the
// chunked conversion under test.
std::string DigitByDigit(Word128 v, unsigned base, const std::string& alpha) {
    u128 x = v.native();
    if (x == 0) return "0";
    std::string s;
    for (; x != 0; x /= base) s.insert(s.begin(), alpha[static_cast<std::size_t>(x % base)]);
    return s;
}

// Symbols 0..n-1 that are all distinct bytes, many of them above 127.
std::string ByteAlphabet(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s.push_back(static_cast<char>(255 - i % 256));
    return s;
}

std::string RangeMessage(const std::function<void()>& f) {
    try {
        f();
    } catch (const RangeError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(Word128Str, Table) {
    struct Row {
        Word128 v;
        uint8_t base;
        std::string text;
    } rows[] = {
        {W128Zero, 2, "0"},
        {W128Zero, 10, "0"},
        {W128Zero, 36, "0"},
        {Small(255), 16, "FF"},
        {Small(35), 36, "Z"},
        {Small(36), 36, "10"},
        {W128AllOnes, 2, std::string(128, '1')},
        {W128AllOnes, 8, "3" + std::string(42, '7')},
        {W128AllOnes, 16, std::string(32, 'F')},
        {W128AllOnes, 10, "340282366920938463463374607431768211455"},
        {W128AllOnes, 4, std::string(64, '3')},
        {W128AllOnes, 32, "7" + std::string(25, 'V')},
        {Pow2(64), 10, "18446744073709551616"},
        {Word128(10000000000000000000ull, 0), 10, "10000000000000000000"},  // exactly one chunk
        {Small(10000000000000000000ull) * Small(10000000000000000000ull), 10, "1" + std::string(38, '0')},
        {Pow2(127), 10, "170141183460469231731687303715884105728"},
        {Small(1295), 36, "ZZ"},
    };
    for (const Row& r : rows) EXPECT_EQ(str(r.v, r.base), r.text) << "base " << int(r.base);
}

TEST(Word128Str, ZeroIsTheDigitZeroWhateverTheAlphabet) {
    EXPECT_EQ(str(W128Zero, 3, "abc"), "0");
    EXPECT_EQ(str(Small(5), 3, "abc"), "bc");
    EXPECT_EQ(sstr(W128Zero, 2, "xy"), "0");
}

TEST(Word128Str, InvalidBaseMessages) {
    EXPECT_EQ(RangeMessage([] { str(Small(5), 0); }), "Word128.str(): invalid base 0");
    EXPECT_EQ(RangeMessage([] { str(Small(5), 1); }), "Word128.str(): invalid base 1");
    EXPECT_EQ(RangeMessage([] { str(Small(5), 37); }), "Word128.str(): invalid base 37");
    EXPECT_EQ(RangeMessage([] { str(W128Zero, 37); }), "Word128.str(): invalid base 37");
    EXPECT_EQ(RangeMessage([] { str(Small(5), 4, "abc"); }), "Word128.str(): invalid base 4");
    EXPECT_EQ(RangeMessage([] { str(Small(5), 255, ByteAlphabet(254)); }), "Word128.str(): invalid base 255");
    EXPECT_EQ(RangeMessage([] { sstr(W128AllOnes, 1); }), "Word128.str(): invalid base 1");
}

TEST(Word128Str, LongCustomAlphabets) {
    const std::string a200 = ByteAlphabet(200);
    const Word128 v = Word128(0xFEDCBA9876543210ull, 0x0123456789ABCDEFull);
    EXPECT_EQ(str(v, 200, a200), DigitByDigit(v, 200, a200));
    EXPECT_EQ(str(Small(199), 200, a200), std::string(1, a200[199]));
    // Longer than 255 symbols: only the first 255 can ever be used.
    const std::string a300 = ByteAlphabet(300);
    EXPECT_EQ(str(W128AllOnes, 255, a300), DigitByDigit(W128AllOnes, 255, a300));
    EXPECT_EQ(str(W128AllOnes, 128, a300), DigitByDigit(W128AllOnes, 128, a300));
    EXPECT_EQ(wide::stou128(str(v, 128, a300), 128, a300), v);
}

TEST(Word128Sstr, SignedDecimal) {
    EXPECT_EQ(sstr(W128AllOnes, 10), "-1");
    EXPECT_EQ(sstr(Word128(~0ull, ~0ull >> 1), 10), "170141183460469231731687303715884105727");
    EXPECT_EQ(sstr(W128MinSigned, 10), "-170141183460469231731687303715884105728");
    EXPECT_EQ(sstr(-Small(255), 16), "-FF");
    EXPECT_EQ(sstr(Small(42), 10), "42");
}

TEST(Word128Hexstr, FixedWidth) {
    EXPECT_EQ(hexstr(W128Zero), std::string(32, '0'));
    EXPECT_EQ(hexstr(Small(1)), std::string(31, '0') + "1");
    EXPECT_EQ(hexstr(Pow2(64)), std::string(15, '0') + "1" + std::string(16, '0'));
    EXPECT_EQ(hexstr(Word128(0xFEDCBA9876543210ull, 0x0123456789ABCDEFull)),
              "0123456789ABCDEFFEDCBA9876543210");
}

TEST(Word128Ipv4str, DottedBytes) {
    struct Row {
        Word128 v;
        const char* text;
    } rows[] = {
        {Small(0xC0A80001), "192.168.0.1"},
        {W128Zero, "0"},
        {Small(1), "1"},
        {Small(65536), "1.0.0"},
        {Pow2(24), "1.0.0.0"},
        {Pow2(32), "1.0.0.0.0"},
        {Small(0xFFFFFFFF), "255.255.255.255"},
        {Small(0x0A00FF09), "10.0.255.9"},
        {W128AllOnes, "255.255.255.255.255.255.255.255.255.255.255.255.255.255.255.255"},
    };
    for (const Row& r : rows) EXPECT_EQ(ipv4str(r.v), r.text);
}

Word128 Groups(unsigned g7, unsigned g6, unsigned g5, unsigned g4, unsigned g3, unsigned g2, unsigned g1,
               unsigned g0) {
    const unsigned g[8] = {g0, g1, g2, g3, g4, g5, g6, g7};
    Word128 v;
    for (int i = 7; i >= 0; --i) v = (v << 16) | Small(g[i]);
    return v;
}

TEST(Word128Ipv6str, Plain) {
    struct Row {
        Word128 v;
        const char* text;
    } rows[] = {
        {W128Zero, "::"},
        {Small(1), "::1"},
        {Pow2(112), "1::"},
        {Small(65535), "::ffff"},
        {Small(0xFFFFFFFF) << 96, "ffff:ffff::"},
        {Groups(1, 2, 3, 4, 5, 6, 7, 0), "1:2:3:4:5:6:7::"},
        {Groups(0, 1, 2, 3, 4, 5, 6, 7), "0:1:2:3:4:5:6:7"},
        {Groups(1, 0, 0, 2, 3, 0, 0, 4), "1:0:0:2:3::4"},
        {Groups(1, 0, 0, 2, 0, 0, 0, 4), "1:0:0:2::4"},  // the longer run wins
        {Groups(1, 2, 0, 4, 5, 0, 7, 8), "1:2:0:4:5:0:7:8"},
        {Groups(0xABCD, 0x0EF0, 0, 0, 0, 0, 0, 0x00A0), "abcd:ef0::a0"},
        {W128AllOnes, "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"},
        {Small(0xFFFF00000001ull), "::ffff:0:1"},
    };
    for (const Row& r : rows) EXPECT_EQ(ipv6str(r.v, true), r.text) << hexstr(r.v);
}

TEST(Word128Ipv6str, MappedIPv4) {
    EXPECT_EQ(ipv6str(Small(0xFFFF00000001ull), false), "::ffff:0.0.0.1");
    EXPECT_EQ(ipv6str(Small(0xFFFFC0A80001ull), false), "::ffff:192.168.0.1");
    EXPECT_EQ(ipv6str(Small(65535), false), "::ffff");  // bits 32-63 are not ffff
    EXPECT_EQ(ipv6str(Small(0xFFFFC0A80001ull) | Pow2(64), false), "::1:0:ffff:c0a8:1");
}

TEST(Word128Stou128, Table) {
    struct Row {
        const char* text;
        uint8_t base;
        Word128 v;
    } rows[] = {
        {"FF", 16, Small(255)},
        {"ff", 16, W128Zero},  // lower case is not a digit
        {"12G4", 16, Small(18)},
        {"", 16, W128Zero},
        {" 1", 10, W128Zero},
        {"-5", 10, W128Zero},
        {"x1", 16, W128Zero},
        {"0000000000000000000000000000000000000000007", 10, Small(7)},
        {"340282366920938463463374607431768211455", 10, W128AllOnes},
        {"340282366920938463463374607431768211456", 10, W128Zero},  // wraps
        {"1011", 2, Small(11)},
        {"12", 2, Small(1)},
        {"777", 8, Small(511)},
        {"ZZ", 36, Small(1295)},
        {"123", 0, W128Zero},
        {"000", 1, W128Zero},
        {"1", 1, W128Zero},
    };
    for (const Row& r : rows)
        EXPECT_EQ(wide::stou128(r.text, r.base), r.v) << '"' << r.text << "\" base " << int(r.base);
    EXPECT_EQ(wide::stou128(std::string(33, 'F'), 16), W128AllOnes);
    EXPECT_EQ(wide::stou128(std::string(32, 'F'), 16), W128AllOnes);
    EXPECT_EQ(wide::stou128("1" + std::string(32, '0'), 16), W128Zero);  // the high digit falls off
    EXPECT_EQ(wide::stou128(std::string("12\0"
                                        "3",
                                        4),
                            10),
              Small(12));
}

TEST(Word128Stou128, AlphabetRules) {
    EXPECT_EQ(wide::stou128("ba", 2, "ab"), Small(2));
    EXPECT_EQ(wide::stou128("aab", 3, "aab"), Small(2));  // repeated symbol: first occurrence counts
    EXPECT_EQ(wide::stou128("bb", 2, "abb"), Small(3));
    EXPECT_EQ(wide::stou128("bbc", 2, "abc"), Small(3));  // c is beyond the base
    const std::string bytes = ByteAlphabet(16);           // symbols 0xFF down to 0xF0
    EXPECT_EQ(wide::stou128("\xFE\xFF", 16, bytes), Small(16));
    EXPECT_EQ(wide::stou128("\xFE\xEF", 16, bytes), Small(1));
    // More than 255 symbols: a symbol found only past the base is no digit.
    std::string a300 = ByteAlphabet(300);
    EXPECT_EQ(wide::stou128(std::string(1, a300[2]), 128, a300), Small(2));
    EXPECT_EQ(wide::stou128(std::string(1, a300[200]), 128, a300), W128Zero);
}

TEST(Word128Stou128, RangeErrors) {
    EXPECT_EQ(RangeMessage([] { wide::stou128("1", 37); }),
              "stou128: base is greater than the digits available");
    EXPECT_EQ(RangeMessage([] { wide::stou128("1", 255); }),
              "stou128: base is greater than the digits available");
    EXPECT_EQ(RangeMessage([] { wide::stou128("1", 129, ByteAlphabet(200)); }),
              "stou128: base must be <= 128");
    EXPECT_EQ(RangeMessage([] { wide::stou128("1", 3, "ab"); }),
              "stou128: base is greater than the digits available");
    EXPECT_EQ(RangeMessage([] { wide::stou128("1", 128, ByteAlphabet(128)); }), "(no error)");
}

TEST(Word128Random, TextMatchesDigitByDigit) {
    Random128 rnd(0x5EED0002);
    for (int i = 0; i < 5000; ++i) {
        const Word128 v = rnd.next();
        for (const uint8_t base : {2, 8, 10, 16}) {
            const std::string t = str(v, base);
            ASSERT_EQ(t, DigitByDigit(v, base, kDefault)) << "base " << int(base);
            ASSERT_EQ(wide::stou128(t, base), v);
        }
        const uint8_t base = static_cast<uint8_t>(2 + rnd.u64() % 35);
        ASSERT_EQ(str(v, base), DigitByDigit(v, base, kDefault)) << "base " << int(base);
        ASSERT_EQ(wide::stou128(str(v, base), base), v);
        const std::string s = sstr(v, 10);
        ASSERT_EQ(s, v.IsNegative() ? "-" + DigitByDigit(-v, 10, kDefault) : DigitByDigit(v, 10, kDefault));
        ASSERT_EQ(wide::stou128(hexstr(v), 16), v);
    }
}

// Any base, any alphabet, any text: either the documented range error or a
// value, and never a read outside the inputs (the sanitizer build checks).
TEST(Word128Random, HostileArgumentsNeverCrash) {
    Random128 rnd(0x5EED0003);
    for (int i = 0; i < 4000; ++i) {
        const uint8_t base = static_cast<uint8_t>(rnd.u64());
        std::string alpha(rnd.u64() % 300, '\0');
        for (char& c : alpha) c = static_cast<char>(rnd.u64() % (rnd.u64() % 2 ? 256 : 8));
        std::string text(rnd.u64() % 50, '\0');
        for (char& c : text)
            c = alpha.empty() || rnd.u64() % 4 == 0 ? static_cast<char>(rnd.u64())
                                                    : alpha[rnd.u64() % alpha.size()];

        const std::size_t symbols = alpha.empty() ? 36 : alpha.size();
        const bool strOk = base >= 2 && base <= symbols;
        const Word128 v = rnd.next();
        if (strOk) {
            const std::string t = str(v, base, alpha);
            ASSERT_LE(t.size(), 128u);
        } else {
            ASSERT_THROW(str(v, base, alpha), RangeError);
        }
        const bool readOk = base <= symbols && base <= 128;
        if (readOk) {
            (void)wide::stou128(text, base, alpha);
            // With distinct symbols, what str writes stou128 reads back.
            std::string sorted = alpha;
            std::sort(sorted.begin(), sorted.end());
            const bool distinct = std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end();
            if (strOk && distinct && !alpha.empty() && !v.IsZero()) {
                ASSERT_EQ(wide::stou128(str(v, base, alpha), base, alpha), v);
            }
        } else {
            ASSERT_THROW(wide::stou128(text, base, alpha), RangeError);
        }
    }
}

}  // namespace
