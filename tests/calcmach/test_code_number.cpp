// What a pasted text does: which texts are one number (and which number, in
// which mode), which are typed key by key, and which are refused. Each row
// reads as the rule: the text, the mode it is pasted in, and the outcome.
#include "calcmach/code_number.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// "vmHex 1F" for a number (its mode and display text), "keys", or
// "refused".
std::string Outcome(const PastePlan& p) {
    if (p.kind == PastePlan::kKeys) return "keys";
    if (p.kind == PastePlan::kRefused) return "refused";
    return std::string(ModeName(p.value.mode)) + " " + ValueText(p.value);
}

struct Row {
    std::string text;
    ValueMode mode;
    std::string outcome;
};

void PrintTo(const Row& r, std::ostream* os) { *os << '"' << r.text << "\" in " << ModeName(r.mode); }

class Paste : public ::testing::TestWithParam<Row> {};

TEST_P(Paste, FollowsTheRule) {
    const Row& r = GetParam();
    const PastePlan p = PlanPaste(r.text, r.mode);
    EXPECT_EQ(Outcome(p), r.outcome) << p.why;
    EXPECT_EQ(p.kind == PastePlan::kRefused, !p.why.empty());
}

const std::string k32F(32, 'F');
const std::string k33F(33, 'F');
const std::string kTwoTo128 = "340282366920938463463374607431768211456";
const std::string kTwoTo128Less1 = "340282366920938463463374607431768211455";

// The texts that used to become a plausible wrong number.
INSTANTIATE_TEST_SUITE_P(
    NearLiterals, Paste,
    ::testing::Values(Row{"0x10;", vmDec, "vmHex 10"}, Row{"0xFFFFFFFFUL", vmDec, "vmHex FFFFFFFF"},
                      Row{"0x1Fu", vmDec, "vmHex 1F"}, Row{"0xff,", vmDec, "vmHex FF"},
                      Row{"(0x10)", vmDec, "vmHex 10"}, Row{"192.168.1.1", vmDec, "vmIPv4 192.168.1.1"},
                      Row{"fe80::1", vmDec, "vmIPv6 fe80::1"}, Row{kTwoTo128, vmDec, "refused"},
                      Row{k33F, vmHex, "refused"},
                      // 33 F were 2^128 - 1 once, the first F falling off: now refused.
                      Row{"0x" + k33F, vmDec, "refused"}, Row{k33F + "h", vmDec, "refused"}));

INSTANTIATE_TEST_SUITE_P(
    CodeLiterals, Paste,
    ::testing::Values(
        Row{"0xFF", vmDec, "vmHex FF"}, Row{"0XfF", vmFloat, "vmHex FF"}, Row{"0x00fF", vmOct, "vmHex FF"},
        Row{"0x1b", vmDec, "vmHex 1B"}, Row{"0b101", vmDec, "vmBin 101"}, Row{"0B101", vmHex, "vmBin 101"},
        Row{"0o17", vmIPv6, "vmOct 17"}, Row{"0O17", vmDec, "vmOct 17"}, Row{"FFh", vmDec, "vmHex FF"},
        Row{"0ffh", vmDec, "vmHex FF"}, Row{"0BAh", vmDec, "vmHex BA"}, Row{"0b1h", vmDec, "vmHex B1"},
        Row{"101b", vmDec, "vmBin 101"}, Row{"0b", vmDec, "vmBin 0"}, Row{"0h", vmDec, "vmHex 0"},
        Row{"17o", vmDec, "vmOct 17"}, Row{"17O", vmDec, "vmOct 17"},
        // Where b is a digit, "101b" and "0b" are hexadecimal, typed.
        Row{"101b", vmHex, "keys"}, Row{"0b", vmHex, "keys"}, Row{"101B", vmHex, "keys"},
        // Signs and separators.
        Row{"-0x1", vmDec, "vmHex " + k32F}, Row{"-0x0", vmDec, "vmHex 0"},
        Row{"0xDEAD_BEEF", vmDec, "vmHex DEADBEEF"}, Row{"0b1010'1010", vmDec, "vmBin 10101010"},
        Row{"0x12 34", vmDec, "vmHex 1234"}, Row{"  0x1F \r\n", vmDec, "vmHex 1F"},
        Row{"0x_FF", vmDec, "refused"}, Row{"0xFF_", vmDec, "refused"}, Row{"- 0x1", vmDec, "refused"},
        Row{"+0x1", vmDec, "refused"}, Row{"0xG1", vmDec, "refused"}, Row{"0b102", vmDec, "refused"},
        // Integer type suffixes of C, C++ and Rust.
        Row{"0xFFu", vmDec, "vmHex FF"}, Row{"0xFFULL", vmDec, "vmHex FF"}, Row{"0xffllu", vmDec, "vmHex FF"},
        Row{"0x10z", vmDec, "vmHex 10"}, Row{"0b11uz", vmDec, "vmBin 11"}, Row{"0o7L", vmDec, "vmOct 7"},
        Row{"0xFFu8", vmDec, "vmHex FF"}, Row{"0xFF_i64", vmDec, "vmHex FF"}, Row{"10u", vmHex, "vmDec 10"},
        Row{"42usize", vmDec, "vmDec 42"}, Row{"-5i128", vmDec, "vmDec -5"}, Row{"0xFFuu", vmDec, "refused"},
        Row{"0xu8", vmDec, "refused"}, Row{"u8", vmDec, "refused"}, Row{"1FFu", vmDec, "refused"}));

INSTANTIATE_TEST_SUITE_P(
    DecimalsAddressesFloats, Paste,
    ::testing::Values(Row{"-5", vmDec, "vmDec -5"}, Row{"123", vmDec, "vmDec 123"},
                      Row{"1'000", vmDec, "vmDec 1000"}, Row{kTwoTo128Less1, vmDec, "vmDec -1"},
                      Row{"-170141183460469231731687303715884105728", vmDec,
                          "vmDec -170141183460469231731687303715884105728"},
                      Row{"-170141183460469231731687303715884105729", vmDec, "refused"},
                      // A decimal integer elsewhere is digits of the mode, its sign an operator.
                      Row{"123", vmHex, "keys"}, Row{"-5", vmHex, "keys"}, Row{"-5", vmFloat, "vmFloat -5"},
                      Row{"123", vmBin, "refused"},
                      // Addresses: four parts at least, or the IPv4 mode's own shorter forms.
                      Row{"10.0.0.1", vmHex, "vmIPv4 10.0.0.1"}, Row{"10.1", vmIPv4, "vmIPv4 10.1"},
                      Row{"1.2.3.4.5", vmDec, "vmIPv4 1.2.3.4.5"}, Row{"1.5.3", vmDec, "refused"},
                      Row{"1.2.3.256", vmDec, "refused"},
                      Row{"1.2.3.4.5.6.7.8.9.10.11.12.13.14.15.16.17", vmIPv4, "refused"},
                      Row{"[2001:db8::1]", vmDec, "vmIPv6 2001:db8::1"}, Row{"::", vmHex, "vmIPv6 ::"},
                      Row{"::ffff:192.168.0.1", vmDec, "vmIPv6 ::ffff:c0a8:1"},
                      Row{"1:2:3:4:5:6:7:8", vmDec, "vmIPv6 1:2:3:4:5:6:7:8"},
                      Row{"1:2:3:4:5:6:7::", vmDec, "vmIPv6 1:2:3:4:5:6:7::"},
                      Row{"0:1::2", vmIPv6, "vmIPv6 0:1::2"}, Row{"1:2:3:4:5:6:7:8:9", vmDec, "refused"},
                      Row{"1::2::3", vmDec, "refused"}, Row{"12345::1", vmDec, "refused"},
                      Row{"12:30", vmDec, "refused"},
                      // Floats: a point or an exponent, entered in Float.
                      Row{"1.5", vmDec, "vmFloat 1.5"}, Row{"-1.5e3", vmHex, "vmFloat -1500"},
                      Row{".5", vmDec, "vmFloat 0.5"}, Row{"5.", vmDec, "vmFloat 5"},
                      Row{"1e-3", vmDec, "vmFloat 0.001"}, Row{"2.5E+2", vmOct, "vmFloat 250"},
                      Row{"1.5", vmIPv4, "vmIPv4 1.5"}, Row{"1e5", vmHex, "keys"},
                      Row{"1e5", vmDec, "vmFloat 100000"}, Row{"1e5000", vmDec, "refused"},
                      Row{"1e-5000", vmDec, "refused"}, Row{"0e-5000", vmDec, "vmFloat 0"},
                      Row{"1.2.3", vmFloat, "refused"}, Row{"1,5", vmFloat, "refused"}));

INSTANTIATE_TEST_SUITE_P(
    KeysAndTheRest, Paste,
    ::testing::Values(
        Row{"12+3\r", vmDec, "keys"}, Row{"1\n2\r\n", vmDec, "keys"}, Row{"(1+2)*3", vmDec, "keys"},
        Row{"12+3;", vmDec, "keys"}, Row{"ff", vmHex, "keys"}, Row{"1.5*2", vmFloat, "keys"},
        Row{"10.0.0.1+1", vmIPv4, "keys"}, Row{"fe80::1+1", vmIPv6, "keys"}, Row{"", vmDec, "keys"},
        Row{" \t", vmHex, "keys"},
        // Numbers inside keys are typed only as what they read as.
        Row{kTwoTo128 + "+1", vmDec, "refused"}, Row{"1+" + k33F, vmHex, "refused"},
        Row{"1.2.3*2", vmFloat, "refused"}, Row{"256+1", vmIPv4, "refused"}, Row{"1..2+1", vmIPv4, "refused"},
        Row{"0:1::2+1", vmIPv6, "refused"}, Row{"12345+1", vmIPv6, "refused"},
        // Anything else: other letters, register and clear keys,
        // comparisons, punctuation, text.
        Row{"5q3", vmDec, "refused"}, Row{"8s2x", vmDec, "refused"}, Row{"1<2", vmDec, "refused"},
        Row{"x=0x10", vmDec, "refused"}, Row{"0x1 0x2", vmDec, "refused"}, Row{"0x", vmDec, "refused"},
        Row{"1,000", vmDec, "refused"}, Row{"12B", vmDec, "refused"}, Row{"each", vmHex, "refused"},
        Row{"4\xC3\xA9"
            "5",
            vmDec, "refused"},
        Row{"1;2", vmDec, "refused"}, Row{std::string("1\0", 2), vmDec, "refused"}));

// A narrower word refuses what does not fit it, at both ends.
TEST(PasteWidth, NumbersMustFitTheWord) {
    struct Case {
        std::string text;
        ValueMode mode;
        WordBits bits;
        bool fits;
    };
    const Case cases[] = {
        {"255", vmDec, WordBits::k8, true},
        {"256", vmDec, WordBits::k8, false},
        {"-128", vmDec, WordBits::k8, true},
        {"-129", vmDec, WordBits::k8, false},
        {"0xFFu8", vmDec, WordBits::k8, true},
        {"0x100", vmDec, WordBits::k8, false},
        {"-0x80", vmDec, WordBits::k8, true},
        {"1.2.3.4", vmDec, WordBits::k32, true},
        {"1.2.3.4.5", vmDec, WordBits::k32, false},
        {"::ffff", vmDec, WordBits::k16, true},
        {"::1:0", vmDec, WordBits::k16, false},
        {"FFFF", vmHex, WordBits::k16, true},
        {"1+10000", vmHex, WordBits::k16, false},
        {"1.5e300", vmDec, WordBits::k8, true},
        {"0b" + std::string(64, '1'), vmDec, WordBits::k64, true},
        {"0b1" + std::string(64, '0'), vmDec, WordBits::k64, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + " at " + std::to_string(BitsOf(c.bits)));
        EXPECT_EQ(PlanPaste(c.text, c.mode, c.bits).kind != PastePlan::kRefused, c.fits);
    }
}

// Pastes text into m as the window does.
void PasteInto(CcalcMach& m, std::string_view text) {
    const PastePlan p = PlanPaste(text, m.Mode());
    if (p.kind == PastePlan::kNumber) {
        EnterReadNumber(m, p.value);
    } else if (p.kind == PastePlan::kRefused) {
        m.ShowError();
    } else {
        for (char c : text) {
            if (c == '\r') c = '=';
            if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
            m.KeyChar(c);
        }
    }
}

// Every text the calculator writes of an integer, its display in each mode
// and the copies of the display's menu, pastes back as the same bits.
TEST(PasteRoundTrip, WhatTheCalculatorWritesReadsBack) {
    std::mt19937_64 rng(17);
    std::vector<Word128> values = {W128Zero,
                                   Word128(1, 0),
                                   W128AllOnes,
                                   W128MinSigned,
                                   -W128MinSigned - Word128(1, 0),
                                   Word128(0, 1),
                                   Word128(0xFFFF, 0),
                                   Word128(0x0001000000000002, 0)};
    for (int i = 0; i < 300; ++i) {
        Word128 v(rng(), rng());
        // Some with zero groups and bytes, as addresses have them.
        if (i % 3 == 1) v = v & Word128(0xFFFF0000FFFF0000u, 0x0000FFFF00000000u);
        if (i % 3 == 2) v = v >> static_cast<unsigned>(rng() % 128);
        values.push_back(v);
    }
    for (const Word128& v : values) {
        for (ValueMode mode : {vmDec, vmBin, vmOct, vmHex, vmIPv4, vmIPv6}) {
            std::vector<std::pair<ValueMode, std::string>> texts = {
                {mode, ValueText(CalcValue::Int(mode, v))}};
            texts.push_back({mode, "0x" + str(v, 16)});
            texts.push_back({mode, "0o" + str(v, 8)});
            texts.push_back({mode, "0b" + str(v, 2)});
            if (mode == vmDec) texts.push_back({mode, str(v, 10)});
            for (const auto& [pasteMode, text] : texts) {
                SCOPED_TRACE(text + " in " + std::string(ModeName(pasteMode)));
                CcalcMach m;
                m.SetMode(pasteMode);
                PasteInto(m, text);
                ASSERT_NE(m.ShownValue().mode, vmERR);
                EXPECT_EQ(m.ShownValue().w(), v) << hexstr(m.ShownValue().w());
            }
        }
    }
}

const std::string kTenTo4933 = [] {
    std::string s(4934, '0');
    s[0] = '1';
    return s;
}();

TEST(PasteTyped, NumbersTypeAsTheyRead) {
    struct Case {
        std::string run;
        ValueMode mode;
        bool negative;
        bool typesAsRead;
    };
    const Case cases[] = {
        {"170141183460469231731687303715884105728", vmDec, true, true},
        {"170141183460469231731687303715884105729", vmDec, true, false},
        {kTwoTo128Less1, vmDec, false, true},
        {std::string(128, '1'), vmBin, false, true},
        {std::string(129, '1'), vmBin, false, false},
        {"1.5", vmFloat, false, true},
        {"1.5.", vmFloat, false, false},
        {kTenTo4933, vmFloat, false, false},
        {"0255", vmIPv4, false, true},
        {"1921681", vmIPv4, false, false},
        {"10.0.1", vmIPv4, false, true},
        {".5", vmIPv4, false, false},
        {"::1", vmIPv6, false, true},
        {"fe80::1", vmIPv6, false, true},
        {"0::1", vmIPv6, false, true},
        {"0:0:1::", vmIPv6, false, false},
        {"1:2", vmIPv6, false, true},
        {"1:", vmIPv6, false, false},
        {"1:2:3:4:5:6:7::8", vmIPv6, false, false},
        {":::1", vmIPv6, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.run.substr(0, 50));
        const std::string why = CheckTypedNumber(c.run, c.mode, c.negative);
        EXPECT_EQ(why.empty(), c.typesAsRead) << why;
        // Where it types as it reads, the machine agrees.
        if (!why.empty() || c.mode != vmIPv6 || PlanPaste(c.run, vmDec).kind != PastePlan::kNumber) continue;
        CcalcMach m;
        m.SetMode(c.mode);
        for (char ch : c.run) ASSERT_TRUE(m.DigitKey(ch >= 'a' ? static_cast<char>(ch - 'a' + 'A') : ch));
        EXPECT_EQ(ValueText(m.ShownValue()), ValueText(PlanPaste(c.run, vmDec).value))
            << "as an address alone";
    }
}

// Digits pasted into a number being typed go on with it, and must fit with
// it.
TEST(PasteTyped, DigitsGoOnWithTheNumberBeingTyped) {
    struct Case {
        std::string typing, text;
        ValueMode mode;
        bool typed;
    };
    const Case cases[] = {
        {"34028236692093846346337460743176821145", "5+1", vmDec, true},
        {"34028236692093846346337460743176821145", "6+1", vmDec, false},
        {"-17014118346046923173168730371588410572", "8+1", vmDec, true},
        {"-17014118346046923173168730371588410572", "9+1", vmDec, false},
        {"34028236692093846346337460743176821145", "+6", vmDec, true},  // a new number after the operator
        {"1.", "5+1", vmFloat, true},
        {"1.", "5.5+1", vmFloat, false},
        {k32F, "F", vmHex, false},
        {k32F, "+F", vmHex, true},
        {"10.0", "1", vmIPv4, true},  // the address modes' display is no typed text
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typing + " then " + c.text);
        EXPECT_EQ(PlanPaste(c.text, c.mode, WordBits::k128, c.typing).kind == PastePlan::kKeys, c.typed);
    }
}

TEST(PasteMessages, NameTheTextShortAndPrintable) {
    EXPECT_EQ(PlanPaste("0x" + k33F, vmDec).why, "\"0x" + k33F + "\" does not fit 128 bits");
    EXPECT_EQ(PlanPaste("0x" + k33F + "FFFFFFFFFF", vmDec).why,
              "\"0x" + std::string(35, 'F') + "...\" does not fit 128 bits");
    EXPECT_EQ(PlanPaste("5q3", vmDec).why, "\"q\" is not a key in this mode");
    EXPECT_EQ(PlanPaste(std::string("1\x01", 2), vmDec).why, "\"\\x01\" is not a key in this mode");
    EXPECT_EQ(PlanPaste("1e5000", vmDec).why, "\"1e5000\" is beyond the float range");
}

// The display's menu copies the shown integer as code writes it, and what
// it copies pastes back as the same number, in the mode of its form.
TEST(CodeLiteral, WritesCodeThatReadsBack) {
    EXPECT_EQ(CodeLiteral(Word128(31, 0), CodeForm::Hex), "0x1F");
    EXPECT_EQ(CodeLiteral(-Word128(5, 0), CodeForm::Signed), "-5");
    EXPECT_EQ(CodeLiteral(W128AllOnes, CodeForm::Unsigned), "340282366920938463463374607431768211455");
    EXPECT_EQ(CodeLiteral(Word128(31, 0), CodeForm::Octal), "0o37");
    EXPECT_EQ(CodeLiteral(W128Zero, CodeForm::Binary), "0b0");

    const struct {
        CodeForm form;
        ValueMode mode;
    } forms[] = {{CodeForm::Hex, vmHex},
                 {CodeForm::Signed, vmDec},
                 {CodeForm::Unsigned, vmDec},
                 {CodeForm::Octal, vmOct},
                 {CodeForm::Binary, vmBin}};
    std::vector<Word128> values = {W128Zero, Word128(1, 0), W128AllOnes, W128MinSigned, ~W128MinSigned};
    std::mt19937_64 gen(0xC0DE);
    for (int i = 0; i < 200; ++i) values.push_back(Word128(gen(), i % 2 ? gen() : 0));
    for (const Word128& v : values) {
        for (const auto& f : forms) {
            const std::string text = CodeLiteral(v, f.form);
            const PastePlan r = PlanPaste(text, vmDec);
            ASSERT_EQ(r.kind, PastePlan::kNumber) << text;
            EXPECT_EQ(r.value.mode, f.mode) << text;
            EXPECT_EQ(r.value.w(), v) << text;
        }
    }
}

// At a narrower word the copies are the word's: its pattern in the
// unsigned forms, its signed value, and each pastes back, at that word, as
// the same value; one bit more than the word is refused, never cut.
TEST(CodeLiteral, AtAWordSizeWritesTheWordAndReadsBack) {
    const struct {
        WordBits n;
        Word128 v;  // reduced
        const char* hex;
        const char* sign;
        const char* unsign;
    } rows[] = {
        {WordBits::k32, W128AllOnes, "0xFFFFFFFF", "-1", "4294967295"},
        {WordBits::k8, -Word128(128, 0), "0x80", "-128", "128"},
        {WordBits::k16, Word128(0x7FFF, 0), "0x7FFF", "32767", "32767"},
        {WordBits::k64, W128AllOnes << 63, "0x8000000000000000", "-9223372036854775808",
         "9223372036854775808"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.hex);
        EXPECT_EQ(CodeLiteral(r.v, CodeForm::Hex, r.n), r.hex);
        EXPECT_EQ(CodeLiteral(r.v, CodeForm::Signed, r.n), r.sign);
        EXPECT_EQ(CodeLiteral(r.v, CodeForm::Unsigned, r.n), r.unsign);
        for (const CodeForm f :
             {CodeForm::Hex, CodeForm::Signed, CodeForm::Unsigned, CodeForm::Octal, CodeForm::Binary}) {
            CcalcMach m;
            m.SetWordSize(r.n);
            const PastePlan p = PlanPaste(CodeLiteral(r.v, f, r.n), vmDec, r.n);
            ASSERT_EQ(p.kind, PastePlan::kNumber) << CodeLiteral(r.v, f, r.n);
            EnterReadNumber(m, p.value);
            EXPECT_EQ(m.ShownValue().w(), r.v) << CodeLiteral(r.v, f, r.n);
        }
    }
    EXPECT_EQ(PlanPaste("0x100000000", vmDec, WordBits::k32).why, "\"0x100000000\" does not fit 32 bits");
    EXPECT_EQ(PlanPaste("-2147483649", vmDec, WordBits::k32).why, "\"-2147483649\" does not fit 32 bits");
    EXPECT_EQ(PlanPaste("1+4294967296", vmDec, WordBits::k32).why, "\"4294967296\" does not fit 32 bits");
}

}  // namespace
