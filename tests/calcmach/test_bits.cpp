// The bits of a value: each form against an independent computation, the
// classes of hand-built extended floats, and toggling bits and entering
// numbers on a machine as a user sees it (display, tape, faults).
#include "calcmach/bits.h"
#include "float_testing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "machine_rig.h"

namespace {

// ---- Independent computations ----

std::string Digits(u128 v, unsigned base) {
    if (v == 0) return "0";
    std::string s;
    for (; v != 0; v /= base) s.insert(s.begin(), "0123456789ABCDEF"[static_cast<unsigned>(v % base)]);
    return s;
}

std::string SignedDecimal(u128 v) {
    const bool negative = (v >> 127) != 0;
    return negative ? "-" + Digits(-v, 10) : Digits(v, 10);
}

std::string Hex32(Word128 w) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%016llX%016llX", static_cast<unsigned long long>(w.hi),
                  static_cast<unsigned long long>(w.lo));
    return buf;
}

int CountBits(u128 v) {
    int n = 0;
    for (int i = 0; i < 128; ++i) n += static_cast<int>((v >> i) & 1);
    return n;
}

std::string HighestBit(u128 v) {
    for (int i = 127; i >= 0; --i)
        if ((v >> i) & 1) return std::to_string(i);
    return "none";
}

// The text split into groups of `size` from the right, minus sign apart.
::testing::AssertionResult GroupedFrom(const std::string& text, const std::string& plain, std::size_t size) {
    std::string expect;
    std::string digits = plain;
    if (!digits.empty() && digits[0] == '-') {
        expect = "-";
        digits.erase(0, 1);
    }
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % size == 0) expect += ' ';
        expect += digits[i];
    }
    if (text == expect) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << '"' << text << "\" is not \"" << expect << '"';
}

std::map<std::string, BitForm> ByName(const std::vector<BitForm>& forms) {
    std::map<std::string, BitForm> m;
    for (const BitForm& f : forms) m[f.name] = f;
    return m;
}

std::vector<std::string> Names(const std::vector<BitForm>& forms) {
    std::vector<std::string> n;
    for (const BitForm& f : forms) n.push_back(f.name);
    return n;
}

CalcValue FloatValue(uint64_t significand, unsigned signExp) {
    CalcValue v;
    v.mode = vmFloat;
    std::memcpy(v.payload, &significand, 8);
    v.payload[8] = static_cast<unsigned char>(signExp);
    v.payload[9] = static_cast<unsigned char>(signExp >> 8);
    return v;
}

std::string Hex(uint64_t v, int digits) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%0*llX", digits, static_cast<unsigned long long>(v));
    return buf;
}

// ---- Integer forms ----

std::vector<Word128> SampleWords() {
    std::vector<Word128> w = {W128Zero,
                              Word128(1, 0),
                              Word128(42, 0),
                              W128AllOnes,
                              W128MinSigned,
                              Word128(~uint64_t{0}, ~uint64_t{0} >> 1),  // 2^127 - 1
                              Word128(0, 1),                             // 2^64
                              Word128(~uint64_t{0}, 0),
                              Word128(0xC0A80001, 0),
                              Word128(0x1, 0xFE80000000000000u)};
    std::mt19937_64 gen(12345);
    for (int i = 0; i < 200; ++i) {
        const uint64_t lo = gen(), hi = gen();
        const int shift = static_cast<int>(gen() % 128);
        w.push_back(Word128::FromNative(Word128(lo, hi).native() >> shift));
    }
    return w;
}

TEST(BitForms, IntegerFormsMatchIndependentTexts) {
    const std::vector<std::string> names = {"hex",      "signed",        "unsigned", "octal",
                                            "ipv4",     "ipv4 standard", "ipv6",     "ipv6 standard",
                                            "set bits", "highest bit"};
    for (ValueMode mode : {vmDec, vmBin, vmOct, vmHex, vmIPv4, vmIPv6}) {
        for (Word128 w : SampleWords()) {
            SCOPED_TRACE(std::string(ModeName(mode)) + " " + Hex32(w));
            const std::vector<BitForm> forms = BitForms(CalcValue::Int(mode, w));
            ASSERT_EQ(Names(forms), names);
            auto f = ByName(forms);
            const u128 v = w.native();
            EXPECT_EQ(f["hex"].plain, Hex32(w));
            EXPECT_TRUE(GroupedFrom(f["hex"].text, f["hex"].plain, 4));
            EXPECT_EQ(f["signed"].plain, SignedDecimal(v));
            EXPECT_TRUE(GroupedFrom(f["signed"].text, f["signed"].plain, 3));
            EXPECT_EQ(f["unsigned"].plain, Digits(v, 10));
            EXPECT_TRUE(GroupedFrom(f["unsigned"].text, f["unsigned"].plain, 3));
            EXPECT_EQ(f["octal"].plain, Digits(v, 8));
            EXPECT_TRUE(GroupedFrom(f["octal"].text, f["octal"].plain, 3));
            EXPECT_EQ(f["ipv4"].plain, ValueText(CalcValue::Int(vmIPv4, w)));
            EXPECT_EQ(f["ipv6"].plain, ValueText(CalcValue::Int(vmIPv6, w)));
            EXPECT_EQ(f["ipv4 standard"].plain, wide::StandardIPv4Text(w, WordBits::k128).value_or("none"));
            EXPECT_EQ(f["ipv6 standard"].plain, wide::StandardIPv6Text(w, WordBits::k128));
            EXPECT_EQ(f["set bits"].plain, std::to_string(CountBits(v)));
            EXPECT_EQ(f["highest bit"].plain, HighestBit(v));
            // Only the hex line dims, and only leading zeros, never the last digit.
            const BitForm& hex = f["hex"];
            ASSERT_LT(hex.dim, hex.text.size());
            EXPECT_EQ(hex.text.find_first_not_of("0 "), w.IsZero() ? std::string::npos : hex.dim);
            for (const BitForm& other : forms) {
                if (other.name != "hex") {
                    EXPECT_EQ(other.dim, 0u) << other.name;
                }
            }
        }
    }
}

TEST(BitForms, WhatTheUserReads) {
    struct Case {
        Word128 w;
        std::map<std::string, std::string> texts;
        std::size_t dim;
    };
    const Case cases[] = {
        {W128Zero,
         {{"hex", "0000 0000 0000 0000 0000 0000 0000 0000"},
          {"signed", "0"},
          {"set bits", "0"},
          {"highest bit", "none"},
          {"ipv6", "::"}},
         38},
        {Word128(1234567, 0),
         {{"hex", "0000 0000 0000 0000 0000 0000 0012 D687"},
          {"signed", "1 234 567"},
          {"unsigned", "1 234 567"},
          {"octal", "4 553 207"},
          {"ipv4", "18.214.135"},
          {"set bits", "11"},
          {"highest bit", "20"}},
         32},
        {W128AllOnes,
         {{"signed", "-1"},
          {"unsigned", "340 282 366 920 938 463 463 374 607 431 768 211 455"},
          {"octal", "3 777 777 777 777 777 777 777 777 777 777 777 777 777 777"},
          {"set bits", "128"},
          {"highest bit", "127"}},
         0},
        {W128MinSigned, {{"signed", "-170 141 183 460 469 231 731 687 303 715 884 105 728"}}, 0},
    };
    for (const Case& c : cases) {
        auto f = ByName(BitForms(CalcValue::Int(vmDec, c.w)));
        for (const auto& [name, text] : c.texts) EXPECT_EQ(f[name].text, text) << name;
        EXPECT_EQ(f["hex"].dim, c.dim);
    }
}

// At a word size the forms are the word's: N/4 hexadecimal digits, its
// signed and unsigned value, the bits counted within it; and the standard
// address texts beside the calculator's.
TEST(BitForms, WhatTheUserReadsAtAWordSize) {
    const struct {
        WordBits n;
        Word128 w;  // reduced
        std::map<std::string, std::string> texts;
        int grid;
    } cases[] = {
        {WordBits::k32,
         W128AllOnes,
         {{"hex", "FFFF FFFF"},
          {"signed", "-1"},
          {"unsigned", "4 294 967 295"},
          {"octal", "37 777 777 777"},
          {"ipv4", "255.255.255.255"},
          {"ipv4 standard", "255.255.255.255"},
          {"ipv6", "::ffff:ffff"},
          {"ipv6 standard", "::ffff:ffff"},
          {"set bits", "32"},
          {"highest bit", "31"}},
         32},
        {WordBits::k8,
         -Word128(128, 0),
         {{"hex", "80"}, {"signed", "-128"}, {"unsigned", "128"}, {"set bits", "1"}, {"highest bit", "7"}},
         8},
        {WordBits::k16, Word128(5, 0), {{"hex", "0005"}, {"ipv4", "5"}, {"ipv4 standard", "0.0.0.5"}}, 16},
        {WordBits::k64,
         Word128(0x000A000000000000, 0),
         {{"ipv4 standard", "none"}, {"ipv6", "::a:0:0:0"}, {"ipv6 standard", "::a:0:0:0"}},
         64},
        {WordBits::k128,
         Word128(0x01BB000000000000, 0x000C000000000000),
         {{"ipv6", "c:0:0:0:1bb::"}, {"ipv6 standard", "c::1bb:0:0:0"}},
         128},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(BitsOf(c.n));
        const CalcValue v = CalcValue::Int(vmHex, c.w);
        auto f = ByName(BitForms(v, c.n));
        for (const auto& [name, text] : c.texts) EXPECT_EQ(f[name].text, text) << name;
        EXPECT_EQ(BitCount(v, c.n), c.grid);
        EXPECT_EQ(BitCount(CalcValue::Float(Extended::One()), c.n), 80);
    }
}

TEST(BitForms, ModesWithNoTextFormShowTheirBitsOnly) {
    for (ValueMode mode : {vmTime, vmDate, vmDtTm, vmERR}) {
        const CalcValue v = mode == vmERR ? kErrorValue : CalcValue::Int(mode, Word128(5, 0));
        const std::vector<BitForm> forms = BitForms(v);
        EXPECT_EQ(Names(forms), (std::vector<std::string>{"hex", "set bits", "highest bit"}));
        EXPECT_EQ(forms[0].plain, Hex32(v.w()));
        EXPECT_FALSE(BitsToggleable(mode));
    }
    auto f = ByName(BitForms(kErrorValue));
    EXPECT_EQ(f["hex"].text, "8000 0000 0000 0000 0000 0000 0000 0000");
    EXPECT_EQ(f["set bits"].text, "1");
    EXPECT_EQ(f["highest bit"].text, "127");
}

TEST(BitForms, GridBits) {
    const CalcValue i = CalcValue::Int(vmHex, Word128(0x5, uint64_t{1} << 63));
    EXPECT_EQ(BitCount(i), 128);
    EXPECT_TRUE(BitAt(i, 0));
    EXPECT_FALSE(BitAt(i, 1));
    EXPECT_TRUE(BitAt(i, 2));
    EXPECT_TRUE(BitAt(i, 127));
    EXPECT_FALSE(BitAt(i, 128));
    EXPECT_FALSE(BitAt(i, -1));
    const CalcValue f = CalcValue::Float(F("-1.0"));
    EXPECT_EQ(BitCount(f), 80);
    EXPECT_TRUE(BitAt(f, 63));  // integer bit
    EXPECT_TRUE(BitAt(f, 79));  // sign
    EXPECT_FALSE(BitAt(f, 62));
    for (int n = 64; n < 78; ++n) EXPECT_TRUE(BitAt(f, n)) << n;  // 3FFF
    EXPECT_FALSE(BitAt(f, 78));
    EXPECT_FALSE(BitAt(f, 80));
}

// ---- Float forms ----

struct FloatCase {
    const char* what;
    uint64_t significand;
    unsigned signExp;
    FloatClass cls;
};

void PrintTo(const FloatCase& c, std::ostream* os) { *os << c.what; }

const FloatCase kFloatCases[] = {
    {"zero", 0, 0, FloatClass::Zero},
    {"negative zero", 0, 0x8000, FloatClass::Zero},
    {"one", uint64_t{1} << 63, 0x3FFF, FloatClass::Normal},
    {"minus pi", 0xC90FDAA22168C23Cu, 0xC000, FloatClass::Normal},
    {"largest", ~uint64_t{0}, 0x7FFE, FloatClass::Normal},
    {"smallest normal", uint64_t{1} << 63, 0x0001, FloatClass::Normal},
    {"denormal", 1, 0, FloatClass::Denormal},
    {"large denormal", (uint64_t{1} << 63) - 1, 0x8000, FloatClass::Denormal},
    {"infinity", uint64_t{1} << 63, 0x7FFF, FloatClass::Infinity},
    {"minus infinity", uint64_t{1} << 63, 0xFFFF, FloatClass::Infinity},
    {"quiet NaN", 0xC000000000000000u, 0x7FFF, FloatClass::NaN},
    {"signalling NaN", 0x8000000000000001u, 0x7FFF, FloatClass::NaN},
    {"NaN with payload", 0xDEADBEEFCAFEF00Du, 0xFFFF, FloatClass::NaN},
    {"pseudo-denormal", uint64_t{1} << 63, 0, FloatClass::PseudoDenormal},
    {"unnormal", uint64_t{1} << 62, 0x3FFF, FloatClass::Unnormal},
    {"pseudo-zero", 0, 0x3FFF, FloatClass::Unnormal},
    {"pseudo-infinity", 0, 0x7FFF, FloatClass::PseudoInfinity},
    {"pseudo-NaN", uint64_t{1} << 62, 0xFFFF, FloatClass::PseudoNaN},
};

class FloatForms : public ::testing::TestWithParam<FloatCase> {};

TEST_P(FloatForms, FieldsClassAndRounding) {
    const FloatCase& c = GetParam();
    const CalcValue v = FloatValue(c.significand, c.signExp);
    EXPECT_EQ(v.f().Class(), c.cls);

    const std::vector<BitForm> forms = BitForms(v);
    EXPECT_EQ(Names(forms),
              (std::vector<std::string>{"hex", "sign", "exponent", "integer bit", "fraction", "class",
                                        "binary64", "binary64 hex", "binary32", "binary32 hex"}));
    auto f = ByName(forms);
    EXPECT_EQ(f["hex"].plain, Hex(c.signExp, 4).substr(2) + Hex(c.significand, 16).substr(2));
    EXPECT_TRUE(GroupedFrom(f["hex"].text, f["hex"].plain, 4));
    EXPECT_EQ(f["sign"].text, (c.signExp & 0x8000) ? "1" : "0");
    EXPECT_EQ(f["integer bit"].text, (c.significand >> 63) ? "1" : "0");
    EXPECT_EQ(f["fraction"].plain, Hex(c.significand & ~(uint64_t{1} << 63), 16).substr(2));
    EXPECT_EQ(f["class"].text, FloatClassName(c.cls));

    const unsigned exp = c.signExp & 0x7FFF;
    const std::string expText = exp == 0x7FFF ? "32767 (all ones)"
                                : exp == 0    ? "0 (unbiased -16382)"
                                              : std::to_string(exp) + " (unbiased " +
                                                 std::to_string(static_cast<int>(exp) - 16383) + ")";
    EXPECT_EQ(f["exponent"].text, expText);
    EXPECT_EQ(f["exponent"].plain, expText);  // no groups: the blanks stay

    if (IsRejectedEncoding(c.cls)) {
        for (const char* name : {"binary64", "binary64 hex", "binary32", "binary32 hex"})
            EXPECT_EQ(f[name].text, "invalid") << name;
        return;
    }
    // The texts say what the hexadecimal forms hold (the rounding itself is
    // held against the x87's in test_float_x87, and in the table below).
    const uint64_t d64 = std::stoull(f["binary64 hex"].text.substr(2), nullptr, 16);
    const auto s32 = static_cast<uint32_t>(std::stoul(f["binary32 hex"].text.substr(2), nullptr, 16));
    double d;
    float s;
    std::memcpy(&d, &d64, 8);
    std::memcpy(&s, &s32, 4);
    if (std::isnan(d)) {
        EXPECT_EQ(f["binary64"].text, "NAN");
        EXPECT_EQ(f["binary32"].text, "NAN");
        // A NaN keeps its sign and the top of its payload, quieted.
        EXPECT_EQ(d64, (c.signExp & 0x8000 ? uint64_t{1} << 63 : 0) | 0x7FF8000000000000u |
                           ((c.significand >> 11) & ((uint64_t{1} << 52) - 1)));
    } else {
        EXPECT_EQ(std::strtod(f["binary64"].text.c_str(), nullptr), d) << f["binary64"].text;
        EXPECT_EQ(std::strtof(f["binary32"].text.c_str(), nullptr), s) << f["binary32"].text;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryClass, FloatForms, ::testing::ValuesIn(kFloatCases));

TEST(FloatFormsText, RoundedValues) {
    struct Case {
        Extended x;
        const char *b64, *h64, *b32, *h32;
    };
    const Case cases[] = {
        {F("1.0"), "1", "0x3FF0000000000000", "1", "0x3F800000"},
        {F("-1.5"), "-1.5", "0xBFF8000000000000", "-1.5", "0xBFC00000"},
        {F("0.1"), "0.1", "0x3FB999999999999A", "0.1", "0x3DCCCCCD"},
        {F("1e300"), "1E300", "0x7E37E43C8800759C", "INF", "0x7F800000"},
        {F("1e-300"), "1E-300", "0x01A56E1FC2F8F359", "0", "0x00000000"},
        {F("1e4000"), "INF", "0x7FF0000000000000", "INF", "0x7F800000"},
        {F("-1e-4000"), "-0", "0x8000000000000000", "-0", "0x80000000"},
    };
    for (const Case& c : cases) {
        auto f = ByName(BitForms(CalcValue::Float(c.x)));
        EXPECT_EQ(f["binary64"].text, c.b64);
        EXPECT_EQ(f["binary64 hex"].text, c.h64);
        EXPECT_EQ(f["binary32"].text, c.b32);
        EXPECT_EQ(f["binary32 hex"].text, c.h32);
    }
}

// ---- Toggling ----

TEST(ToggleBit, BecomesTheEntryWithoutATapeLine) {
    MachineRig rig(vmDec);
    rig.Keys("5");
    ASSERT_TRUE(rig.m.ToggleBit(1));
    EXPECT_EQ(rig.Display(), "7");
    EXPECT_TRUE(rig.tape.empty());
    rig.Keys("+ 1 =");
    EXPECT_EQ(rig.Display(), "8");
    EXPECT_EQ(rig.tape, (std::vector<std::string>{"7", "+ 1", "= 8"}));
}

TEST(ToggleBit, ActsOnTheShownValue) {
    struct Case {
        ValueMode mode;
        const char* before;  // keys
        std::vector<int> bits;
        const char* shown;   // display after the toggles
        const char* after;   // more keys
        const char* result;  // display after them
    };
    const Case cases[] = {
        // A result: the toggled value starts a new entry; "*" takes it.
        {vmDec, "2 + 3 =", {0}, "4", "* 2 =", "8"},
        // The entry of a pending operation is its right operand.
        {vmDec, "6 +", {0}, "7", "=", "13"},
        // Typed on: a further digit extends it, backspace takes the last one away.
        {vmDec, "1", {1}, "3", "7", "37"},
        {vmDec, "1", {3}, "9", "bs", "0"},
        {vmHex,
         "",
         {127, 0},
         "80000000000000000000000000000001",
         "+ 1 =",
         "80000000000000000000000000000002"},
        {vmDec,
         "",
         {127},
         "-170141183460469231731687303715884105728",
         "=",
         "-170141183460469231731687303715884105728"},
        // Negative as after the sign change: the next digit grows it on that side.
        {vmDec, "1 - 8 =", {0}, "-8", "1", "-81"},
        {vmIPv4, "192.168.0.1", {8}, "192.168.1.1", "=", "192.168.1.1"},
        {vmIPv6, "FE80::1", {1}, "fe80::3", "=", "fe80::3"},
        {vmBin, "101", {3}, "1101", "& 110 =", "100"},
        {vmOct, "7", {3}, "17", "=", "17"},
        // Floats: sign, exponent and fraction bits.
        {vmFloat, "1.5", {79}, "-1.5", "+ 4 =", "2.5"},
        {vmFloat, "1", {64}, "0.5", "=", "0.5"},
        {vmFloat, "1", {62}, "1.5", "* 2 =", "3"},
        {vmFloat, "0", {79}, "-0", "=", "0"},
        // Typed on, a float goes on from the digits that read back to it.
        {vmFloat, "2", {65}, "8", "5 =", "85"},
        {vmFloat, "1", {62}, "1.5", "2 bs bs 7 =", "1.7"},
        {vmFloat, "1", {79}, "-1", "5 neg . 2 =", "15.2"},
        {vmFloat, "3", {0}, "3", "bs", "3.000000000000000000"},  // 3.0000000000000000002
        // No digits make an infinity: they leave it as it is.
        {vmFloat, "1", {78}, "INF", "5 . bs =", "INF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(ModeName(c.mode)) + " " + c.before);
        MachineRig rig(c.mode);
        rig.Keys(c.before);
        const std::size_t lines = rig.tape.size();
        for (int n : c.bits) ASSERT_TRUE(rig.m.ToggleBit(n)) << n;
        EXPECT_EQ(rig.Display(), c.shown);
        EXPECT_EQ(rig.tape.size(), lines);
        EXPECT_EQ(rig.m.Mode(), c.mode);
        rig.Keys(c.after);
        EXPECT_EQ(rig.Display(), c.result);
    }
}

TEST(ToggleBit, TwiceGivesTheValueBack) {
    for (ValueMode mode : {vmDec, vmHex, vmIPv6, vmFloat}) {
        MachineRig rig(mode);
        rig.Keys(mode == vmFloat ? "3.25" : "123");
        const CalcValue before = rig.m.BitsValue();
        for (int n = 0; n < BitCount(before); ++n) {
            ASSERT_TRUE(rig.m.ToggleBit(n));
            EXPECT_NE(rig.m.BitsValue(), before) << n;
            EXPECT_EQ(BitAt(rig.m.BitsValue(), n), !BitAt(before, n));
            ASSERT_TRUE(rig.m.ToggleBit(n));
            EXPECT_EQ(rig.m.BitsValue(), before) << n;
        }
    }
}

TEST(ToggleBit, RefusedWhereThereIsNothingToToggle) {
    {
        MachineRig rig(vmDec);
        rig.Keys("5 )");  // shows the error value
        ASSERT_EQ(rig.Display(), "*** ERROR ***");
        EXPECT_EQ(rig.m.BitsValue(), kErrorValue);
        EXPECT_FALSE(rig.m.ToggleBit(0));
        EXPECT_EQ(rig.Display(), "*** ERROR ***");
        rig.Keys("=");
        EXPECT_EQ(rig.Display(), "5");  // the entry was not touched
    }
    {
        MachineRig rig(vmDec);
        rig.Keys("2 ^ 1 neg =");  // the error value itself becomes the result and the entry
        ASSERT_EQ(rig.m.Mode(), vmERR);
        EXPECT_FALSE(rig.m.ToggleBit(0));
        EXPECT_EQ(rig.m.Y, kErrorValue);
    }
    for (ValueMode mode : {vmTime, vmDate, vmDtTm}) {
        MachineRig rig(vmDec);
        rig.m.Y = CalcValue::Int(mode, Word128(3, 0));
        EXPECT_FALSE(rig.m.ToggleBit(0));
        EXPECT_EQ(rig.m.Y.w(), Word128(3, 0));
    }
    for (ValueMode mode : {vmDec, vmFloat}) {
        MachineRig rig(mode);
        rig.Keys("1");
        const CalcValue before = rig.m.Y;
        EXPECT_FALSE(rig.m.ToggleBit(-1));
        EXPECT_FALSE(rig.m.ToggleBit(mode == vmFloat ? 80 : 128));
        EXPECT_TRUE(rig.m.ToggleBit(mode == vmFloat ? 79 : 127));
        EXPECT_NE(rig.m.Y, before);
        // The six unused bytes of a float payload stay zero.
        if (mode == vmFloat) {
            for (int i = 10; i < 16; ++i) EXPECT_EQ(rig.m.Y.payload[i], 0) << i;
        }
    }
}

// Inside a parenthesis opened after switching from float to hex, the display
// shows the float accumulator (0); its bits are read in the entry's mode.
TEST(ToggleBit, ShownValueOfAnotherModeIsReadInTheEntryMode) {
    MachineRig rig(vmFloat);
    rig.Keys("5 + mode:vmHex (");
    ASSERT_EQ(rig.m.Shown->mode, vmFloat);
    EXPECT_EQ(rig.m.BitsValue(), CalcValue::Int(vmHex, W128Zero));
    ASSERT_TRUE(rig.m.ToggleBit(4));
    EXPECT_EQ(rig.Display(), "10");
    rig.Keys(") =");
    EXPECT_EQ(rig.Display(), "15");
}

TEST(ToggleBit, RejectedEncodingFaultsInACalculationAndTheMachineGoesOn) {
    struct Case {
        const char* entry;
        int bit;
        const char* shown;
        const char* cls;
    };
    const Case cases[] = {
        {"1", 63, "NAN", "unnormal"},                              // integer bit cleared
        {"0", 63, "3.3621031431120935E-4932", "pseudo-denormal"},  // integer bit set with exponent 0
        {"0", 64, "NAN", "pseudo-zero"},                           // exponent 1, no integer bit
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cls);
        MachineRig rig(vmFloat);
        rig.Keys(c.entry);
        ASSERT_TRUE(rig.m.ToggleBit(c.bit));
        EXPECT_TRUE(IsRejectedEncoding(rig.m.Y.f().Class()));
        EXPECT_EQ(rig.Display(), c.shown);
        for (const char* op : {"+", "-", "*", "/", "^", "&", "<", "?"}) {
            MachineRig r(vmFloat);
            r.m.Y = rig.m.Y;
            r.Keys(std::string("2 ") + op);
            r.m.Y = rig.m.Y;
            r.m.NewEntry = false;
            try {
                r.Keys("=");
                ADD_FAILURE() << op << " took the encoding";
            } catch (const FloatInvalidError& e) {
                EXPECT_STREQ(e.what(), "Invalid floating point operation");
            }
            r.Keys("c 2 + 2 =");
            EXPECT_EQ(r.Display(), "4");
        }
        for (void (CcalcMach::*fn)() : {&CcalcMach::FnSqrt, &CcalcMach::FnSin, &CcalcMach::FnCos,
                                        &CcalcMach::FnSgn, &CcalcMach::FnAbs}) {
            MachineRig r(vmFloat);
            r.m.Y = rig.m.Y;
            EXPECT_THROW((r.m.*fn)(), FloatInvalidError);
        }
    }
}

TEST(ToggleBit, PseudoInfinityAndPseudoNaNFault) {
    {
        MachineRig rig(vmFloat);
        rig.m.SetValue(FloatValue(uint64_t{1} << 63, 0x7FFF));  // infinity
        ASSERT_TRUE(rig.m.ToggleBit(63));
        EXPECT_EQ(rig.m.Y.f().Class(), FloatClass::PseudoInfinity);
        EXPECT_EQ(rig.Display(), "NAN");
        rig.Keys("+");
        rig.m.SetValue(CalcValue::Float(F("1.0")));
        EXPECT_THROW(rig.Keys("="), FloatInvalidError);
    }
    MachineRig rig(vmFloat);
    rig.m.SetValue(FloatValue(0xC000000000000000u, 0x7FFF));  // quiet NaN
    ASSERT_TRUE(rig.m.ToggleBit(63));
    EXPECT_EQ(rig.m.Y.f().Class(), FloatClass::PseudoNaN);
    EXPECT_THROW(rig.m.FnSqrt(), FloatInvalidError);
}

// ---- Entering a whole number ----

TEST(EnterNumber, SwitchesModeLikeTheButtonAndEntersAsTyped) {
    MachineRig rig(vmFloat);
    rig.Keys("1.5");
    rig.m.EnterNumber(vmHex, Word128(255, 0));
    EXPECT_EQ(rig.m.Mode(), vmHex);
    EXPECT_EQ(rig.Display(), "FF");
    EXPECT_TRUE(rig.tape.empty());
    rig.Keys("+ 1 =");
    EXPECT_EQ(rig.Display(), "100");
    EXPECT_EQ(rig.tape, (std::vector<std::string>{"FFh", "+ 1h", "= 100h"}));
}

TEST(EnterNumber, SameStateAsTheModeButtonAndTheKeys) {
    struct Case {
        ValueMode from;
        const char* keys;
        ValueMode to;
        const char* typed;  // the same number typed after the mode button
        Word128 value;
    };
    const Case cases[] = {
        {vmDec, "7 +", vmBin, "101", Word128(5, 0)},
        {vmFloat, "2 * (", vmOct, "17", Word128(15, 0)},
        {vmHex, "", vmHex, "ABC", Word128(0xABC, 0)},
        {vmIPv4, "1.2 -", vmHex, "FF", Word128(255, 0)},
    };
    for (const Case& c : cases) {
        MachineRig a(c.from), b(c.from);
        a.Keys(c.keys);
        b.Keys(c.keys);
        a.m.EnterNumber(c.to, c.value);
        b.m.SetMode(c.to);
        b.Keys(c.typed);
        EXPECT_EQ(a.m.Y, b.m.Y);
        EXPECT_EQ(a.m.X, b.m.X);
        EXPECT_EQ(a.m.NewEntry, b.m.NewEntry);
        EXPECT_EQ(a.m.PendingOp, b.m.PendingOp);
        EXPECT_EQ(a.m.ParenDepth, b.m.ParenDepth);
        EXPECT_EQ(a.Display(), b.Display());
        EXPECT_EQ(a.tape, b.tape);
        a.Keys("1 ) =");
        b.Keys("1 ) =");
        EXPECT_EQ(a.Display(), b.Display());
    }
}

TEST(EnterNumber, ReplacesAnEntryBeingTyped) {
    MachineRig rig(vmHex);
    rig.Keys("12");
    rig.m.EnterNumber(vmHex, Word128(0xAB, 0));
    EXPECT_EQ(rig.Display(), "AB");
    rig.m.EnterNumber(vmDec, -Word128(1, 0));
    EXPECT_EQ(rig.Display(), "-1");
    rig.Keys("2");  // grows on the negative side, as typed after the sign change
    EXPECT_EQ(rig.Display(), "-12");
}

TEST(EnterNumber, RefusesModesWithoutIntegers) {
    MachineRig rig(vmDec);
    rig.Keys("3");
    for (ValueMode m : {vmFloat, vmTime, vmERR, static_cast<ValueMode>(-1), static_cast<ValueMode>(99)}) {
        EXPECT_THROW(rig.m.EnterNumber(m, Word128(1, 0)), RangeError);
        EXPECT_EQ(rig.Display(), "3");
        EXPECT_EQ(rig.m.Mode(), vmDec);
    }
}

}  // namespace
