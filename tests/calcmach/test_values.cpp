// Values and value modes: mode tables, constants, display texts, the general
// float text, mode names and the register text form.
#include <gtest/gtest.h>

#include <algorithm>
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
#include "float_testing.h"

namespace {

// 1/3 and 2/3, rounded to nearest.
const Extended kThird = Hex80("3FFDAAAAAAAAAAAAAAAB");
const Extended kTwoThirds = Hex80("3FFEAAAAAAAAAAAAAAAB");

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
    EXPECT_EQ(FloatText(kPiValue.f()), "3.1415926535897932");
    EXPECT_EQ(ValueText(kPiValue), "3.1415926535897932");
}

TEST(CalcValueRecord, FloatPayloadAndEquality) {
    const CalcValue x = CalcValue::Float(F("1.5"));
    for (int i = 10; i < 16; ++i) EXPECT_EQ(x.payload[i], 0) << i;
    EXPECT_EQ(x.f(), F("1.5"));
    EXPECT_TRUE(x == CalcValue::Float(F("1.5")));
    EXPECT_FALSE(x == CalcValue::Float(F("2.5")));
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
        {Value(vmDec, Word128::FromI32(-3)), vmFloat, CalcValue::Float(F("-3.0"))},
        {Value(vmHex, Word128(0, 1)), vmFloat, CalcValue::Float(P2(64))},
        {Value(vmERR, W128MinSigned), vmFloat, CalcValue::Float(P2(127).Negated())},
        {CalcValue::Float(F("-2.75")), vmDec, Value(vmDec, Word128::FromI32(-2))},
        {CalcValue::Float(F("1e40")), vmHex, Value(vmHex, maxSigned)},
        {CalcValue::Float(F("0.5")), vmBin, Value(vmBin, W128Zero)},
        {Value(vmDec, W128AllOnes), vmHex, Value(vmHex, W128AllOnes)},
        {Value(vmIPv6, Word128(0x0A000001, 0x20010DB8)), vmIPv4,
         Value(vmIPv4, Word128(0x0A000001, 0x20010DB8))},
        {Value(vmOct, Small(8)), vmOct, Value(vmOct, Small(8))},
        {CalcValue::Float(F("1.5")), vmFloat, CalcValue::Float(F("1.5"))},
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
        {CalcValue::Float(F("1.5")), "1.5"},
        {CalcValue::Float(F("-0.0")), "0"},
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
        Extended x;
        const char* text;
    } rows[] = {
        {kThird, "0.33333333333333333"},
        {F("0.1"), "0.1"},
        {F("1e20"), "1E20"},
        {F("1.5e20"), "1.5E20"},
        {F("-0.000001"), "-1E-6"},
        {F("0.00001"), "0.00001"},
        {F("0.000012345"), "0.000012345"},
        {F("2.5e16"), "25000000000000000"},
        {F("1e16"), "10000000000000000"},
        {F("2.5e17"), "2.5E17"},
        {F("1.25e17"), "1.25E17"},
        {F("1e17"), "1E17"},
        {F("99999999999999999.5"), "1E17"},  // rounding carries into the exponent
        {F("123456789012345678.0"), "1.2345678901234568E17"},
        {F("1e-7"), "1E-7"},
        {F("150.0"), "150"},
        {F("0.0015"), "0.0015"},
        {F("1.5"), "1.5"},
        {F("-1.5"), "-1.5"},
        {F("-150.0"), "-150"},
        {F("0.0"), "0"},
        {F("-0.0"), "0"},
        {kTwoThirds, "0.66666666666666667"},
        {F("1e100"), "1E100"},
        {F("-1.25e-300"), "-1.25E-300"},
        {Extended::Max(), "1.1897314953572318E4932"},
        {Extended::MinNormal(), "3.3621031431120935E-4932"},
        {Extended::MinDenormal(), "3.6451995318824746E-4951"},
        {Extended::Infinity(), "INF"},
        {Extended::Infinity(true), "-INF"},
        {Extended::QuietNaN(), "NAN"},
    };
    for (const Row& r : rows) EXPECT_EQ(FloatText(r.x), r.text);
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

    EXPECT_EQ(FloatText(F("1.5")), "1.5");
    EXPECT_EQ(FloatText(F("-1.25e-7")), "-1.25E-7");
    EXPECT_EQ(ValueText(kPiValue), "3.1415926535897932");
    EXPECT_EQ(RegRepr(CalcValue::Float(F("1.5"))), "vmFloat:1.5");
    CalcValue v;
    ReprReg("vmFloat:2.25", v);
    EXPECT_EQ(v.f(), F("2.25"));
    EXPECT_THROW(ReprReg("vmFloat:2,25", v), ConvertError);
}

TEST(RegRepr, Examples) {
    EXPECT_EQ(RegRepr(Value(vmDec, Small(42))), "vmDec:0000000000000000000000000000002A");
    EXPECT_EQ(RegRepr(Value(vmHex, Small(255))), "vmHex:000000000000000000000000000000FF");
    EXPECT_EQ(RegRepr(Value(vmDec, W128AllOnes)), "vmDec:FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF");
    EXPECT_EQ(RegRepr(Value(vmIPv6, Word128(2, 1))), "vmIPv6:00000000000000010000000000000002");
    EXPECT_EQ(RegRepr(CalcValue::Float(F("1.5"))), "vmFloat:1.5");
    EXPECT_EQ(RegRepr(CalcValue::Float(F("-1e-7"))), "vmFloat:-1E-7");
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
        CalcValue v = CalcValue::Float(F("9.0"));
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
        Extended x;
    } rows[] = {
        {"0", F("0.0")},
        {"150", F("150.0")},
        {"0.0015", F("0.0015")},
        {"1.5E20", F("1.5e20")},
        {"1E-7", F("1e-7")},
        {"-1E-6", F("-1e-6")},
        {"-2.5", F("-2.5")},
        {"007", F("7.0")},
        {"1.50", F("1.5")},
        {"0.33333333333333333", F("0.33333333333333333")},
        {"1.1897314953572318E4932", Extended::Max()},  // the text of the largest value
        {"-1.1897314953572318E4932", Extended::Max(true)},
        {"3.6451995318824746E-4951", Extended::MinDenormal()},
        {"3.3621031431120935E-4932", F("3.3621031431120935E-4932")},
        {"1E-5000", F("0.0")},  // underflow reads as the nearest value
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
    EXPECT_EQ(v.f(), F("1.5"));
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
    return CalcValue::Float(Extended(significand, signAndExponent));
}

TEST(RegisterForm, FloatTexts) {
    struct Row {
        CalcValue v;
        const char* text;
        CalcValue back;  // what reading the text gives
    };
    const CalcValue qnan = FloatOf(0xC000000000000000u, 0x7FFF);
    const CalcValue snan = FloatOf(0xA000000000000000u, 0x7FFF);
    const CalcValue third = CalcValue::Float(kThird);
    const Row rows[] = {
        {third, "0.33333333333333333334", third},
        {CalcValue::Float(F("0.1")), "0.1", CalcValue::Float(F("0.1"))},
        {CalcValue::Float(F("-2.5e-7")), "-2.5E-7", CalcValue::Float(F("-2.5e-7"))},
        {CalcValue::Float(P2(64)), "1.8446744073709551616E19", CalcValue::Float(P2(64))},
        {CalcValue::Float(F("1e16")), "10000000000000000", CalcValue::Float(F("1e16"))},
        {CalcValue::Float(Extended::Max()), "1.189731495357231765E4932", CalcValue::Float(Extended::Max())},
        {CalcValue::Float(Extended::MinNormal().Negated()), "-3.3621031431120935063E-4932",
         CalcValue::Float(Extended::MinNormal().Negated())},
        {CalcValue::Float(Extended::MinDenormal()), "4E-4951", CalcValue::Float(Extended::MinDenormal())},
        {CalcValue::Float(F("0.0")), "0", CalcValue::Float(F("0.0"))},
        {CalcValue::Float(F("-0.0")), "-0", CalcValue::Float(F("-0.0"))},
        {CalcValue::Float(Extended::Infinity()), "INF", CalcValue::Float(Extended::Infinity())},
        {CalcValue::Float(Extended::Infinity(true)), "-INF", CalcValue::Float(Extended::Infinity(true))},
        {qnan, "NAN", qnan},
        {FloatOf(0xDEADBEEFCAFEF00Du, 0xFFFF), "-NAN", FloatOf(0xC000000000000000u, 0xFFFF)},
        {snan, "SNAN", snan},
        {FloatOf(0x8000000000000001u, 0xFFFF), "-SNAN", FloatOf(0xA000000000000000u, 0xFFFF)},
        // Encodings no operation takes: the NaN every operation makes of
        // them; a pseudo-denormal: its number, in the normal encoding.
        {FloatOf(0x4000000000000000u, 0x3FFF), "NAN", qnan},                 // unnormal
        {FloatOf(0, 0xFFFF), "-NAN", FloatOf(0xC000000000000000u, 0xFFFF)},  // pseudo-infinity
        {FloatOf(0x4000000000000000u, 0x7FFF), "NAN", qnan},                 // pseudo-NaN
        {FloatOf(0x8000000000000000u, 0), "3.3621031431120935063E-4932",
         CalcValue::Float(Extended::MinNormal())},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(RegRepr(r.v), std::string("vmFloat:") + r.text) << Hex80(r.v);
        CalcValue back;
        ReprReg(std::string("vmFloat:") + r.text, back);
        EXPECT_EQ(Hex80(back), Hex80(r.back)) << r.text;
    }
}

// Random finite values of every exponent, normal and denormal: the text
// reads back bit for bit (also with the reader of older versions). That no
// shorter text would is held against the x87's shortest texts in
// test_float_x87.
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

        // At most 21 significant digits, the zeros in front of the first
        // and after the last not counted.
        const std::string body = text.substr(8, text.find('E') - 8);
        std::string sig;
        for (char c : body)
            if (c >= '0' && c <= '9' && (c != '0' || !sig.empty())) sig += c;
        ASSERT_LE(sig.find_last_not_of('0') + 1, 21u) << text;
    }
}

// Bytes that no float operation produces, as a damaged payload might hold.
TEST(FloatText, EncodingsTheFpuRefuses) {
    EXPECT_EQ(FloatText(Extended(0x4000000000000000ull, 0x3FFF)), "NAN");  // unnormal
    EXPECT_EQ(FloatText(Extended(0, 0x3FFF)), "NAN");                      // unnormal zero
    EXPECT_EQ(FloatText(Extended(0, 0x7FFF)), "NAN");                      // pseudo-infinity
    EXPECT_EQ(FloatText(Extended(0x4000000000000000ull, 0x7FFF)), "NAN");  // pseudo-NaN
    EXPECT_EQ(FloatText(Extended(0xA000000000000000ull, 0x7FFF)), "NAN");  // signalling NaN
    // A pseudo-denormal means the same number as its normal encoding.
    EXPECT_EQ(FloatText(Extended(0x8000000000000001ull, 0)), FloatText(Extended(0x8000000000000001ull, 1)));
}

// Whatever the bytes of a float payload or the text of a register line, the
// result is a text or one of the calculator's errors.
TEST(ValuesRobustness, AnyPayloadAnyText) {
    std::mt19937_64 gen(0x5EED0103);
    const std::string alphabet = "0123456789.E-+:vmFloatDecHxIPv46ERR naif\xFF";
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
}

TEST(FloatText, HalfwayCasesGoToEven) {
    // Exactly halfway between two 17-digit numbers.
    EXPECT_EQ(FloatText(F("12345678901234567.5")), "12345678901234568");
    EXPECT_EQ(FloatText(F("12345678901234568.5")), "12345678901234568");
    EXPECT_EQ(FloatText(F("100000000000000005.0")), "1E17");
    EXPECT_EQ(FloatText(F("100000000000000015.0")), "1.0000000000000002E17");
    EXPECT_EQ(FloatText(F("-100000000000000025.0")), "-1.0000000000000002E17");
    // A hair either side of halfway.
    const Extended half = F("12345678901234568.5");
    EXPECT_EQ(FloatText(Extended(half.significand - 1, half.signExp)), "12345678901234568");
    EXPECT_EQ(FloatText(Extended(half.significand + 1, half.signExp)), "12345678901234569");
    // 10^-4000 is no float; the nearest lies within a hair of it.
    EXPECT_EQ(FloatText(F("1e-4000")), "1E-4000");
    EXPECT_EQ(FloatText(F("-1e4000")), "-1E4000");
}

}  // namespace
