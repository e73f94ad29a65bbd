// Values and value modes: mode tables, constants, display texts, the general
// float text, mode names and the register text form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>

#include "calcmach/float_text.h"
#include "calcmach/values.h"

namespace {

using LD = std::numeric_limits<long double>;

Word128 Small(uint64_t v) { return Word128(v, 0); }

CalcValue Value(ValueMode m, Word128 v) { return CalcValue::Int(m, v); }

std::string ErrorText(const std::function<void()>& f) {
    try {
        f();
    } catch (const CalcError& e) {
        return e.what();
    }
    return "(no error)";
}

// The names are those the state file writes ("mode=vmHex"); each reads back
// as its mode. The radix of each mode shows in what typing takes
// (test_entry.cpp).
TEST(ValueModes, NamesReadBack) {
    EXPECT_EQ(ModeName(vmDec), "vmDec");
    EXPECT_EQ(ModeName(vmIPv6), "vmIPv6");
    EXPECT_EQ(ModeName(vmFloat), "vmFloat");
    EXPECT_EQ(ModeName(vmDtTm), "vmDtTm");
    EXPECT_EQ(ModeName(vmERR), "vmERR");
    for (int i = 0; i < kModeCount; ++i) EXPECT_EQ(str2mode(ModeName(static_cast<ValueMode>(i))), i);
    EXPECT_EQ(ModeName(static_cast<ValueMode>(11)), "");
    EXPECT_EQ(ModeName(static_cast<ValueMode>(-1)), "");
}

TEST(ValueModes, DigitValueOfEveryCharacter) {
    const std::string_view digits = "0123456789ABCDEF";
    for (int i = 0; i < 256; ++i) {
        const char c = static_cast<char>(i);
        const std::size_t at = digits.find(c);
        EXPECT_EQ(DigitValue(c), at == std::string_view::npos ? -1 : static_cast<int>(at)) << i;
    }
    EXPECT_EQ(DigitValue('a'), -1);  // upper case only
    EXPECT_EQ(DigitValue('G'), -1);
}

TEST(ValueModes, Str2modeIsExact) {
    EXPECT_EQ(str2mode("vmHex"), vmHex);
    EXPECT_EQ(ErrorText([] { str2mode(" vmHex"); }), "str2mode: invalid mode \" vmHex\"");
    EXPECT_EQ(ErrorText([] { str2mode("vmHex "); }), "str2mode: invalid mode \"vmHex \"");
    EXPECT_EQ(ErrorText([] { str2mode("VMHEX"); }), "str2mode: invalid mode \"VMHEX\"");
    EXPECT_EQ(ErrorText([] { str2mode(""); }), "str2mode: invalid mode \"\"");
    EXPECT_THROW(str2mode("vmHe"), RangeError);
}

TEST(ValueConstants, ZeroErrorAndPi) {
    EXPECT_EQ(kZeroValue.mode, vmDec);
    EXPECT_EQ(kZeroValue.w(), W128Zero);
    EXPECT_EQ(kErrorValue.mode, vmERR);
    EXPECT_EQ(kErrorValue.w(), W128MinSigned);

    EXPECT_EQ(kPiValue.mode, vmFloat);
    const unsigned char piBytes[16] = {0x3C, 0xC2, 0x68, 0x21, 0xA2, 0xDA, 0x0F, 0xC9, 0x00, 0x40};
    EXPECT_EQ(std::memcmp(kPiValue.payload, piBytes, 16), 0);
    EXPECT_NEAR(static_cast<double>(kPiValue.f()), 3.141592653589793, 1e-15);
    EXPECT_EQ(ValueText(kPiValue), "3.1415926535897932");
}

TEST(CalcValueRecord, FloatPayloadAndEquality) {
    const CalcValue x = CalcValue::Float(1.5L);
    for (int i = 10; i < 16; ++i) EXPECT_EQ(x.payload[i], 0) << i;
    EXPECT_EQ(x.f(), 1.5L);
    EXPECT_TRUE(x == CalcValue::Float(1.5L));
    EXPECT_FALSE(x == CalcValue::Float(2.5L));
    EXPECT_FALSE(Value(vmDec, Small(1)) == Value(vmHex, Small(1)));
    EXPECT_TRUE(Value(vmHex, Small(1)) == Value(vmHex, Small(1)));
    EXPECT_FALSE(Value(vmHex, Small(1)) == Value(vmHex, Word128(1, 1)));
    CalcValue junk = x;  // bytes 10..15 are no part of a float
    junk.payload[15] = 7;
    EXPECT_TRUE(junk == x);
}

// Between an integer mode and vmFloat the number carries over (truncated
// toward zero, saturated at the ends); between integer modes the bits do.
TEST(ConvertTo, NumbersAcrossFloatBitsOtherwise) {
    struct Row {
        CalcValue from;
        ValueMode to;
        CalcValue want;
    };
    const Word128 maxSigned(~0ull, ~0ull >> 1);
    const Row rows[] = {
        {Value(vmDec, Word128::FromI32(-3)), vmFloat, CalcValue::Float(-3.0L)},
        {Value(vmHex, Word128(0, 1)), vmFloat, CalcValue::Float(0x1p64L)},
        {Value(vmERR, W128MinSigned), vmFloat, CalcValue::Float(-0x1p127L)},
        {CalcValue::Float(-2.75L), vmDec, Value(vmDec, Word128::FromI32(-2))},
        {CalcValue::Float(1e40L), vmHex, Value(vmHex, maxSigned)},
        {CalcValue::Float(0.5L), vmBin, Value(vmBin, W128Zero)},
        {Value(vmDec, W128AllOnes), vmHex, Value(vmHex, W128AllOnes)},
        {Value(vmIPv6, Word128(0x0A000001, 0x20010DB8)), vmIPv4,
         Value(vmIPv4, Word128(0x0A000001, 0x20010DB8))},
        {Value(vmOct, Small(8)), vmOct, Value(vmOct, Small(8))},
        {CalcValue::Float(1.5L), vmFloat, CalcValue::Float(1.5L)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(ValueText(r.from) + " to " + kModeNames[r.to]);
        const CalcValue got = ConvertTo(r.from, r.to);
        EXPECT_EQ(got, r.want) << ValueText(got);
        if (r.to == vmFloat && r.from.mode != vmFloat) {
            for (int i = 10; i < 16; ++i) EXPECT_EQ(got.payload[i], 0) << i;
        }
    }
}

TEST(ValueText, EveryMode) {
    struct Row {
        CalcValue v;
        const char* text;
    } rows[] = {
        {Value(vmDec, W128AllOnes), "-1"},
        {Value(vmDec, W128MinSigned), "-170141183460469231731687303715884105728"},
        {Value(vmDec, Small(42)), "42"},
        {Value(vmDec, W128Zero), "0"},
        {Value(vmHex, W128AllOnes), "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"},
        {Value(vmHex, Small(0xABC)), "ABC"},
        {Value(vmBin, Small(5)), "101"},
        {Value(vmOct, Small(64)), "100"},
        {Value(vmIPv4, Small(0xC0A80001)), "192.168.0.1"},
        {Value(vmIPv6, Small(0xFFFFC0A80001ull)), "::ffff:c0a8:1"},  // never the mapped form
        {Value(vmIPv6, Small(1)), "::1"},
        {CalcValue::Float(1.5L), "1.5"},
        {CalcValue::Float(-0.0L), "0"},
        {kErrorValue, "*** ERROR ***"},
        {Value(vmERR, Small(123)), "*** ERROR ***"},
        {Value(vmTime, Small(5)), "*** NOT IMPLEMENTED ***"},
        {Value(vmDate, Small(5)), "*** NOT IMPLEMENTED ***"},
        {Value(vmDtTm, Small(5)), "*** NOT IMPLEMENTED ***"},
        {Value(static_cast<ValueMode>(42), Small(5)), "*** NOT IMPLEMENTED ***"},
    };
    for (const Row& r : rows) EXPECT_EQ(ValueText(r.v), r.text) << "mode " << r.v.mode;
}

TEST(FloatText, GeneralForm) {
    struct Row {
        long double x;
        const char* text;
    } rows[] = {
        {1.0L / 3, "0.33333333333333333"},
        {0.1L, "0.1"},
        {1e20L, "1E20"},
        {1.5e20L, "1.5E20"},
        {-0.000001L, "-1E-6"},
        {0.00001L, "0.00001"},
        {0.000012345L, "0.000012345"},
        {2.5e16L, "25000000000000000"},
        {1e16L, "10000000000000000"},
        {2.5e17L, "2.5E17"},
        {1.25e17L, "1.25E17"},
        {1e17L, "1E17"},
        {99999999999999999.5L, "1E17"},  // rounding carries into the exponent
        {123456789012345678.0L, "1.2345678901234568E17"},
        {1e-7L, "1E-7"},
        {150.0L, "150"},
        {0.0015L, "0.0015"},
        {1.5L, "1.5"},
        {-1.5L, "-1.5"},
        {-150.0L, "-150"},
        {0.0L, "0"},
        {-0.0L, "0"},
        {2.0L / 3, "0.66666666666666667"},
        {1e100L, "1E100"},
        {-1.25e-300L, "-1.25E-300"},
        {LD::max(), "1.1897314953572318E4932"},
        {LD::min(), "3.3621031431120935E-4932"},
        {LD::denorm_min(), "3.6451995318824746E-4951"},
        {LD::infinity(), "INF"},
        {-LD::infinity(), "-INF"},
        {LD::quiet_NaN(), "NAN"},
    };
    for (const Row& r : rows) EXPECT_EQ(FloatText(r.x), r.text);
}

// 17 significant digits, rounded to nearest: the text reads back as the same
// number as C's own "%.16Le" text, and is plain exactly for exponents -5..16.
TEST(FloatText, RandomAgainstPrintf) {
    std::mt19937_64 gen(0x5EED0101);
    for (int i = 0; i < 20000; ++i) {
        long double x = std::ldexp(static_cast<long double>(gen()), static_cast<int>(gen() % 400) - 260);
        if (gen() % 2) x = -x;
        char ref[64];
        std::snprintf(ref, sizeof ref, "%.16Le", x);  // the test runs in the "C" locale
        const std::string text = FloatText(x);
        ASSERT_EQ(std::strtold(text.c_str(), nullptr), std::strtold(ref, nullptr)) << text << " vs " << ref;
        const int e = std::atoi(std::strchr(ref, 'e') + 1);
        ASSERT_EQ(text.find('E') == std::string::npos, e >= -5 && e <= 16) << text;
        ASSERT_EQ(FloatText(std::strtold(text.c_str(), nullptr)), text);
    }
}

class CommaLocale : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
            GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (.ci/deps generates it)";
    }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_F(CommaLocale, FloatTextsUseAPointRegardless) {
    char printed[16];
    std::snprintf(printed, sizeof printed, "%.1f", 1.5);
    ASSERT_STREQ(printed, "1,5") << "the locale is not in effect";

    EXPECT_EQ(FloatText(1.5L), "1.5");
    EXPECT_EQ(FloatText(-1.25e-7L), "-1.25E-7");
    EXPECT_EQ(ValueText(kPiValue), "3.1415926535897932");
    EXPECT_EQ(RegRepr(CalcValue::Float(1.5L)), "vmFloat:1.5");
    CalcValue v;
    ReprReg("vmFloat:2.25", v);
    EXPECT_EQ(v.f(), 2.25L);
    EXPECT_THROW(ReprReg("vmFloat:2,25", v), ConvertError);
}

TEST(RegRepr, Examples) {
    EXPECT_EQ(RegRepr(Value(vmDec, Small(42))), "vmDec:0000000000000000000000000000002A");
    EXPECT_EQ(RegRepr(Value(vmHex, Small(255))), "vmHex:000000000000000000000000000000FF");
    EXPECT_EQ(RegRepr(Value(vmDec, W128AllOnes)), "vmDec:FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF");
    EXPECT_EQ(RegRepr(Value(vmIPv6, Word128(2, 1))), "vmIPv6:00000000000000010000000000000002");
    EXPECT_EQ(RegRepr(CalcValue::Float(1.5L)), "vmFloat:1.5");
    EXPECT_EQ(RegRepr(CalcValue::Float(-1e-7L)), "vmFloat:-1E-7");
}

TEST(RegRepr, RefusesModesWithoutAForm) {
    EXPECT_EQ(ErrorText([] { RegRepr(kErrorValue); }), "RegRepr:  unsupported type vmERR");
    EXPECT_EQ(ErrorText([] { RegRepr(Value(vmTime, Small(1))); }), "RegRepr:  unsupported type vmTime");
    EXPECT_EQ(ErrorText([] { RegRepr(Value(vmDate, Small(1))); }), "RegRepr:  unsupported type vmDate");
    EXPECT_EQ(ErrorText([] { RegRepr(Value(vmDtTm, Small(1))); }), "RegRepr:  unsupported type vmDtTm");
    EXPECT_THROW(RegRepr(Value(static_cast<ValueMode>(99), Small(1))), RangeError);
}

TEST(ReprReg, IntegerPayloads) {
    struct Row {
        const char* text;
        ValueMode mode;
        Word128 v;
    } rows[] = {
        {"vmDec:0000000000000000000000000000002A", vmDec, Small(42)},
        {"vmDec:", vmDec, W128Zero},
        {"vmHex:FF", vmHex, Small(255)},
        {"vmBin:ff", vmBin, W128Zero},  // lower case ends the number
        {"vmOct:12x34", vmOct, Small(0x12)},
        {"vmIPv4:1FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", vmIPv4, W128AllOnes},  // 33 digits: the first falls off
        {"vmIPv6:100000000000000000000000000000002", vmIPv6, Small(2)},
    };
    for (const Row& r : rows) {
        CalcValue v = CalcValue::Float(9.0L);
        ReprReg(r.text, v);
        EXPECT_EQ(v.mode, r.mode) << r.text;
        EXPECT_EQ(v.w(), r.v) << r.text;
    }
}

TEST(ReprReg, RangeErrors) {
    CalcValue v;
    EXPECT_EQ(ErrorText([&] { ReprReg("vm:1", v); }), "ReprReg: unsupported type");
    EXPECT_EQ(ErrorText([&] { ReprReg(":1", v); }), "ReprReg: unsupported type");
    EXPECT_EQ(ErrorText([&] { ReprReg("vmX:1", v); }), "ReprReg: unsupported type");  // name of 3 characters
    EXPECT_EQ(ErrorText([&] { ReprReg("vmDec", v); }), "ReprReg: unsupported type");
    EXPECT_EQ(ErrorText([&] { ReprReg("", v); }), "ReprReg: unsupported type");
    EXPECT_EQ(ErrorText([&] { ReprReg("vmXX:1", v); }), "str2mode: invalid mode \"vmXX\"");
    EXPECT_EQ(ErrorText([&] { ReprReg("vmdec:1", v); }), "str2mode: invalid mode \"vmdec\"");
    EXPECT_EQ(ErrorText([&] { ReprReg("vmERR:00000000000000000000000000000001", v); }),
              "ReprReg: unsupported type");

    // The mode is taken before the payload is refused; the payload stays.
    CalcValue t = Value(vmHex, Small(77));
    EXPECT_EQ(ErrorText([&] { ReprReg("vmTime:5", t); }), "ReprReg: unsupported type");
    EXPECT_EQ(t.mode, vmTime);
    EXPECT_EQ(t.w(), Small(77));
}

TEST(ReprReg, FloatTextsItReads) {
    struct Row {
        const char* text;
        long double x;
    } rows[] = {
        {"0", 0.0L},
        {"150", 150.0L},
        {"0.0015", 0.0015L},
        {"1.5E20", 1.5e20L},
        {"1E-7", 1e-7L},
        {"-1E-6", -1e-6L},
        {"-2.5", -2.5L},
        {"007", 7.0L},
        {"1.50", 1.5L},
        {"0.33333333333333333", 0.33333333333333333L},
        {"1.1897314953572318E4932", LD::max()},  // the text of the largest value
        {"-1.1897314953572318E4932", -LD::max()},
        {"3.6451995318824746E-4951", LD::denorm_min()},
        {"3.3621031431120935E-4932", 3.3621031431120935E-4932L},
        {"1E-5000", 0.0L},  // underflow reads as the nearest value
    };
    for (const Row& r : rows) {
        CalcValue v;
        ReprReg(std::string("vmFloat:") + r.text, v);
        EXPECT_EQ(v.mode, vmFloat);
        EXPECT_EQ(v.f(), r.x) << r.text;
    }
    CalcValue z;
    ReprReg("vmFloat:-0", z);
    EXPECT_EQ(ValueText(z), "0");
}

TEST(ReprReg, RejectsWhatTheFloatTextNeverWrites) {
    const std::string bad[] = {"",
                               "-",
                               "nan",
                               "inf",
                               "-Inf",
                               "+INF",
                               "NaN",
                               "-SNAN5",
                               "--NAN",
                               "0x1p3",
                               "+1",
                               " 1",
                               "1 ",
                               "1.",
                               ".5",
                               "1e5",
                               "1E",
                               "1E+5",
                               "1,5",
                               "1.5E2x",
                               "--1",
                               "1.2.3",
                               "1E5000",
                               "1E-",
                               "abc",
                               "-E5",
                               "1.1897314953572319E4932",
                               std::string("1\0"
                                           "5",
                                           3),
                               "\xFF"};
    for (const std::string& t : bad) {
        CalcValue v = Value(vmHex, Small(77));
        try {
            ReprReg("vmFloat:" + t, v);
            ADD_FAILURE() << "accepted '" << t << "'";
        } catch (const ConvertError& e) {
            const std::string expected = "'" + t + "' is not a valid floating point value";
            EXPECT_STREQ(e.what(), expected.c_str());  // a NUL in the text ends the C string
        }
        EXPECT_EQ(v.mode, vmFloat);  // already taken
        EXPECT_EQ(v.w(), Small(77));
    }
}

TEST(ReprReg, ReadsOnlyTheGivenText) {
    const std::string buffer = "vmFloat:1.5E2vmHex:FFFF";
    CalcValue v;
    EXPECT_THROW(ReprReg(std::string_view(buffer).substr(0, 12), v), ConvertError);  // "1.5E"
    ReprReg(std::string_view(buffer).substr(0, 11), v);                              // "1.5"
    EXPECT_EQ(v.f(), 1.5L);
    ReprReg(std::string_view(buffer).substr(13, 8), v);  // "vmHex:FF"
    EXPECT_EQ(v.mode, vmHex);
    EXPECT_EQ(v.w(), Small(255));
}

TEST(RegisterForm, IntegersRoundTrip) {
    std::mt19937_64 gen(0x5EED0102);
    for (int i = 0; i < 5000; ++i) {
        const ValueMode m = static_cast<ValueMode>(gen() % 6);
        const CalcValue v = Value(m, Word128(gen(), gen() >> (gen() % 64)));
        CalcValue back;
        ReprReg(RegRepr(v), back);
        ASSERT_TRUE(back == v) << RegRepr(v);
    }
}

std::string Hex80(const CalcValue& v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02X%02X", v.payload[9], v.payload[8]);
    std::string out = buf;
    for (int i = 7; i >= 0; --i) {
        std::snprintf(buf, sizeof buf, "%02X", v.payload[i]);
        out += buf;
    }
    return out;
}

CalcValue FloatOf(uint64_t significand, unsigned signAndExponent) {
    return CalcValue::Float(MakeExtended(significand, signAndExponent));
}

TEST(RegisterForm, FloatTexts) {
    struct Row {
        CalcValue v;
        const char* text;
        CalcValue back;  // what reading the text gives
    };
    const CalcValue qnan = FloatOf(0xC000000000000000u, 0x7FFF);
    const CalcValue snan = FloatOf(0xA000000000000000u, 0x7FFF);
    const CalcValue third = CalcValue::Float(1.0L / 3.0L);
    const Row rows[] = {
        {third, "0.33333333333333333334", third},
        {CalcValue::Float(0.1L), "0.1", CalcValue::Float(0.1L)},
        {CalcValue::Float(-2.5e-7L), "-2.5E-7", CalcValue::Float(-2.5e-7L)},
        {CalcValue::Float(0x1p64L), "1.8446744073709551616E19", CalcValue::Float(0x1p64L)},
        {CalcValue::Float(1e16L), "10000000000000000", CalcValue::Float(1e16L)},
        {CalcValue::Float(LD::max()), "1.189731495357231765E4932", CalcValue::Float(LD::max())},
        {CalcValue::Float(-LD::min()), "-3.3621031431120935063E-4932", CalcValue::Float(-LD::min())},
        {CalcValue::Float(LD::denorm_min()), "4E-4951", CalcValue::Float(LD::denorm_min())},
        {CalcValue::Float(0.0L), "0", CalcValue::Float(0.0L)},
        {CalcValue::Float(-0.0L), "-0", CalcValue::Float(-0.0L)},
        {CalcValue::Float(LD::infinity()), "INF", CalcValue::Float(LD::infinity())},
        {CalcValue::Float(-LD::infinity()), "-INF", CalcValue::Float(-LD::infinity())},
        {qnan, "NAN", qnan},
        {FloatOf(0xDEADBEEFCAFEF00Du, 0xFFFF), "-NAN", FloatOf(0xC000000000000000u, 0xFFFF)},
        {snan, "SNAN", snan},
        {FloatOf(0x8000000000000001u, 0xFFFF), "-SNAN", FloatOf(0xA000000000000000u, 0xFFFF)},
        // Encodings no operation takes: the NaN every operation makes of
        // them; a pseudo-denormal: its number, in the normal encoding.
        {FloatOf(0x4000000000000000u, 0x3FFF), "NAN", qnan},                 // unnormal
        {FloatOf(0, 0xFFFF), "-NAN", FloatOf(0xC000000000000000u, 0xFFFF)},  // pseudo-infinity
        {FloatOf(0x4000000000000000u, 0x7FFF), "NAN", qnan},                 // pseudo-NaN
        {FloatOf(0x8000000000000000u, 0), "3.3621031431120935063E-4932", CalcValue::Float(LD::min())},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(RegRepr(r.v), std::string("vmFloat:") + r.text) << Hex80(r.v);
        CalcValue back;
        ReprReg(std::string("vmFloat:") + r.text, back);
        EXPECT_EQ(Hex80(back), Hex80(r.back)) << r.text;
    }
}

// The mantissa digits and the exponent of "%.*Le" for n significant digits.
void PrintfDigits(long double x, int n, std::string& digits, int& exp10) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*Le", n - 1, x);
    digits.clear();
    const char* p = buf;
    for (; *p != 'e'; ++p)
        if (*p != '.') digits += *p;
    exp10 = std::atoi(p + 1);
}

// Whether the decimal integer digits (no sign) plus k, times 10^scale, reads
// back to x.
bool ReadsBack(long double x, const std::string& digits, int k, int scale) {
    u128 m = 0;
    for (char c : digits) m = m * 10 + static_cast<unsigned>(c - '0');
    if (k < 0) {
        m -= static_cast<unsigned>(-k);
    } else {
        m += static_cast<unsigned>(k);
    }
    std::string text;
    do {
        text.insert(text.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
        m /= 10;
    } while (m != 0);
    text += "e" + std::to_string(scale);
    return std::strtold(text.c_str(), nullptr) == x;
}

// Random finite values of every exponent, normal and denormal: the text
// reads back bit for bit (also with the reader of older versions), and no
// text with one significant digit less would.
TEST(RegisterForm, FloatsReadBackWithTheFewestDigits) {
    std::mt19937_64 gen(0x5EED0104);
    for (int i = 0; i < 5000; ++i) {
        const auto biased = static_cast<unsigned>(gen() % 0x7FFF);
        const uint64_t significand = biased == 0 ? gen() >> (gen() % 64) : gen() | uint64_t{1} << 63;
        if (significand == 0) continue;
        const CalcValue v = FloatOf(significand, biased | (gen() % 2 ? 0x8000u : 0u));
        const std::string text = RegRepr(v);
        CalcValue back;
        ReprReg(text, back);
        ASSERT_EQ(Hex80(back), Hex80(v)) << text;
        ASSERT_EQ(Hex80(CalcValue::Float(ParseFloat(text.substr(8)))), Hex80(v)) << text;

        // The significant digits written: those of the mantissa, without
        // the zeros in front of the first or after the last.
        const std::string body = text.substr(8, text.find('E') - 8);
        std::string sig;
        for (char c : body)
            if (c >= '0' && c <= '9' && (c != '0' || !sig.empty())) sig += c;
        const std::size_t n = sig.find_last_not_of('0') + 1;
        ASSERT_LE(n, 21u) << text;
        if (n == 1) continue;
        // Any shorter text that read back would lie next to x: the nearest
        // n - 1 digit number or one of its neighbours.
        const long double ax = std::fabs(v.f());
        std::string near;
        int e = 0;
        PrintfDigits(ax, static_cast<int>(n) - 1, near, e);
        const int scale = e - (static_cast<int>(n) - 2);
        for (int k : {-1, 0, 1}) ASSERT_FALSE(ReadsBack(ax, near, k, scale)) << text << " " << near << k;
        if (near.find_first_not_of('0', 1) == std::string::npos) {  // 10...0: below it, 99...9
            ASSERT_FALSE(ReadsBack(ax, near + "0", -1, scale - 1)) << text;
        }
    }
}

// Bytes that no float operation produces, as a damaged payload might hold.
TEST(FloatText, EncodingsTheFpuRefuses) {
    std::feclearexcept(FE_ALL_EXCEPT);
    EXPECT_EQ(FloatText(MakeExtended(0x4000000000000000ull, 0x3FFF)), "NAN");  // unnormal
    EXPECT_EQ(FloatText(MakeExtended(0, 0x3FFF)), "NAN");                      // unnormal zero
    EXPECT_EQ(FloatText(MakeExtended(0, 0x7FFF)), "NAN");                      // pseudo-infinity
    EXPECT_EQ(FloatText(MakeExtended(0x4000000000000000ull, 0x7FFF)), "NAN");  // pseudo-NaN
    EXPECT_EQ(FloatText(MakeExtended(0xA000000000000000ull, 0x7FFF)), "NAN");  // signalling NaN
    // A pseudo-denormal means the same number as its normal encoding.
    EXPECT_EQ(FloatText(MakeExtended(0x8000000000000001ull, 0)),
              FloatText(MakeExtended(0x8000000000000001ull, 1)));
    EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0);
}

// Whatever the bytes of a float payload or the text of a register line, the
// result is a text or one of the calculator's errors, and the float status
// flags are as they were.
TEST(ValuesRobustness, AnyPayloadAnyText) {
    std::mt19937_64 gen(0x5EED0103);
    const std::string alphabet = "0123456789.E-+:vmFloatDecHxIPv46ERR naif\xFF";
    std::feclearexcept(FE_ALL_EXCEPT);
    for (int i = 0; i < 20000; ++i) {
        CalcValue v;
        v.mode = vmFloat;
        for (int k = 0; k < 10; ++k) v.payload[k] = static_cast<unsigned char>(gen());
        const std::string t = ValueText(v);
        ASSERT_FALSE(t.empty());
        ASSERT_LE(t.size(), 255u);
        // Every payload has a register text, and what it reads back to
        // has the same one.
        CalcValue back;
        ReprReg(RegRepr(v), back);
        ASSERT_EQ(RegRepr(back), RegRepr(v));

        std::string text = gen() % 2 ? "vmFloat:" : "";
        for (std::size_t n = gen() % 30; n > 0; --n) text.push_back(alphabet[gen() % alphabet.size()]);
        CalcValue out;
        try {
            ReprReg(text, out);
        } catch (const RangeError&) {
        } catch (const ConvertError&) {}
    }
    EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0);
}

// The general float text the plain way: to_chars with 16 decimals after the
// first digit (which rounds the exact binary value to nearest, halfway cases
// to even), reshaped into the calculator's form.
std::string ReferenceFloatText(long double x) {
    if (x == 0) return "0";
    char buf[64];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 16);
    std::string sci(buf, r.ptr);  // "-d.dddddddddddddddde+xx"
    std::string sign;
    if (sci[0] == '-') {
        sign = "-";
        sci.erase(0, 1);
    }
    const std::string digits = sci.substr(0, 1) + sci.substr(2, 16);
    const int e = std::stoi(sci.substr(19));
    std::string body;
    if (e >= -5 && e <= 16) {
        body = e >= 0 ? digits.substr(0, e + 1) + "." + digits.substr(e + 1)
                      : "0." + std::string(-e - 1, '0') + digits;
    } else {
        body = digits.substr(0, 1) + "." + digits.substr(1);
    }
    while (body.back() == '0') body.pop_back();
    if (body.back() == '.') body.pop_back();
    if (e < -5 || e > 16) body += "E" + std::to_string(e);
    return sign + body;
}

// FloatText of x > 0 and of -x against the reference; false after the first
// difference, which is reported. The digit rounding must decide x itself:
// were it to leave x to the C library, the texts would match however wrong
// the rounding.
bool SameAsReference(long double x) {
    uint64_t digits;
    int exp10;
    if (!FloatDigits17(x, digits, exp10)) {
        char hex[64];
        std::snprintf(hex, sizeof hex, "%La", x);
        ADD_FAILURE() << hex << " left undecided";
        return false;
    }
    const std::string want = ReferenceFloatText(x);
    for (const std::string& expected : {want, "-" + want}) {
        const long double v = expected[0] == '-' ? -x : x;
        const std::string got = FloatText(v);
        if (got != expected) {
            char hex[64];
            std::snprintf(hex, sizeof hex, "%La", v);
            ADD_FAILURE() << hex << ": " << got << " instead of " << expected;
            return false;
        }
    }
    return true;
}

// The value and its neighbours up to `steps` apart.
bool NeighbourhoodSameAsReference(long double x, int steps) {
    long double up = x, down = x;
    if (!SameAsReference(x)) return false;
    for (int i = 0; i < steps; ++i) {
        up = std::nextafter(up, LD::infinity());
        down = std::nextafter(down, 0.0L);
        if (std::isfinite(up) && !SameAsReference(up)) return false;
        if (down != 0 && !SameAsReference(down)) return false;
    }
    return true;
}

TEST(FloatText, ReferenceShapes) {
    // The reference itself, on texts worked out by hand.
    EXPECT_EQ(ReferenceFloatText(1.5e20L), "1.5E20");
    EXPECT_EQ(ReferenceFloatText(-1e-6L), "-1E-6");
    EXPECT_EQ(ReferenceFloatText(0.00001L), "0.00001");
    EXPECT_EQ(ReferenceFloatText(2.5e16L), "25000000000000000");
    EXPECT_EQ(ReferenceFloatText(1.0L / 3), "0.33333333333333333");
    EXPECT_EQ(ReferenceFloatText(150.0L), "150");
}

TEST(FloatText, HalfwayCasesGoToEven) {
    // Exactly halfway between two 17-digit numbers.
    EXPECT_EQ(FloatText(12345678901234567.5L), "12345678901234568");
    EXPECT_EQ(FloatText(12345678901234568.5L), "12345678901234568");
    EXPECT_EQ(FloatText(100000000000000005.0L), "1E17");
    EXPECT_EQ(FloatText(100000000000000015.0L), "1.0000000000000002E17");
    EXPECT_EQ(FloatText(-100000000000000025.0L), "-1.0000000000000002E17");
    // A hair either side of halfway.
    EXPECT_EQ(FloatText(std::nextafter(12345678901234568.5L, 0.0L)), "12345678901234568");
    EXPECT_EQ(FloatText(std::nextafter(12345678901234568.5L, 1e20L)), "12345678901234569");
    // 10^-4000 is no float; the nearest lies within a hair of it.
    EXPECT_EQ(FloatText(1e-4000L), "1E-4000");
    EXPECT_EQ(FloatText(-1e4000L), "-1E4000");
}

// Every kind of extended the calculator holds, the far ends of the exponent
// range most of all, where the text cannot come from the C library quickly.
TEST(FloatText, RandomBitPatternsMatchTheReference) {
    std::mt19937_64 gen(0x5EED0104);
    for (int i = 0; i < 50000; ++i) {
        const unsigned biased = static_cast<unsigned>(gen() % 0x7FFF);  // not INF/NAN
        uint64_t significand = gen();
        if (biased == 0) {
            significand >>= 1 + gen() % 63;  // denormal: no integer bit, any length
            if (significand == 0) continue;
        } else {
            significand |= uint64_t{1} << 63;
        }
        ASSERT_TRUE(SameAsReference(MakeExtended(significand, biased))) << i;
    }
    // Moderate exponents, where most numbers live.
    for (int i = 0; i < 30000; ++i) {
        const long double x =
            MakeExtended(gen() | uint64_t{1} << 63, 0x3FFF - 100 + static_cast<unsigned>(gen() % 200));
        ASSERT_TRUE(SameAsReference(x)) << i;
    }
}

// Values as close as extendeds come to a number halfway between two 17-digit
// numbers, and their neighbours: the nearest extended to an 18-digit decimal
// ending in 5, over the whole exponent range.
TEST(FloatText, NearlyHalfwayValuesMatchTheReference) {
    std::mt19937_64 gen(0x5EED0105);
    for (int i = 0; i < 12000; ++i) {
        const uint64_t n = 10000000000000000ull + gen() % 90000000000000000ull;
        const int e = static_cast<int>(gen() % (4932 + 4951 + 1)) - 4951;
        const std::string digits = std::to_string(n) + "5";
        const std::string text = digits.substr(0, 1) + "." + digits.substr(1) + "E" + std::to_string(e);
        const long double x = std::strtold(text.c_str(), nullptr);  // the test runs in the "C" locale
        if (x == 0 || !std::isfinite(x)) continue;
        ASSERT_TRUE(NeighbourhoodSameAsReference(x, 2)) << text;
    }
}

// Exact halfway values: (2k + 1) / 2 * 10^s with a 17-digit k, which an
// extended holds only for s from -24 to 4.
TEST(FloatText, ExactlyHalfwayValuesMatchTheReference) {
    std::mt19937_64 gen(0x5EED0106);
    const uint64_t lowest = 20000000000000001ull, highest = 199999999999999999ull;  // 2k + 1
    for (int i = 0; i < 15000; ++i) {
        const int s = static_cast<int>(gen() % 29) - 24;
        uint64_t five = 1;
        for (int j = 0; j < std::abs(s); ++j) five *= 5;
        long double x;
        uint64_t odd;  // 2k + 1
        if (s < 0) {
            // 2k + 1 = u * 5^-s, so the value is u * 2^(s-1).
            const uint64_t u = (lowest / five + 1 + gen() % (highest / five - lowest / five - 1)) | 1;
            odd = u * five;
            x = std::ldexp(static_cast<long double>(u), s - 1);
        } else {
            const uint64_t top = std::min(highest, std::numeric_limits<uint64_t>::max() / five);
            odd = (lowest + gen() % (top - lowest)) | 1;
            x = std::ldexp(static_cast<long double>(odd * five), s - 1);  // (2k + 1) * 5^s < 2^64: exact
        }
        ASSERT_TRUE(odd >= lowest && odd <= highest && odd % 2 == 1) << odd;
        ASSERT_TRUE(NeighbourhoodSameAsReference(x, 1)) << s;
    }
}

// Around every power of ten and just below it, where the carry out of the
// rounding changes the exponent.
TEST(FloatText, PowersOfTenMatchTheReference) {
    for (int e = -4950; e <= 4932; e += 3) {
        for (const char* form : {"1E%d", "9.99999999999999995E%d"}) {
            char text[40];
            std::snprintf(text, sizeof text, form, e);
            const long double x = std::strtold(text, nullptr);
            if (x == 0 || !std::isfinite(x)) continue;
            ASSERT_TRUE(NeighbourhoodSameAsReference(x, 2)) << text;
        }
    }
}

TEST(FloatText, LeavesTheFloatStatusAlone) {
    std::feclearexcept(FE_ALL_EXCEPT);
    std::feraiseexcept(FE_DIVBYZERO);
    for (const long double x :
         {LD::max(), 1e-4000L, LD::denorm_min(), 1.0L / 3, 12345678901234567.5L, -1e300L})
        EXPECT_FALSE(FloatText(x).empty());
    EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), FE_DIVBYZERO);  // kept, and nothing added
    std::feclearexcept(FE_ALL_EXCEPT);
}

}  // namespace
