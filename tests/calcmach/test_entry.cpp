// Number entry: what each typed key does to the display in every mode, and
// how backspace takes it back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "float_testing.h"
#include "machine_rig.h"
#include "mpfr_reference.h"

namespace {

struct Entry {
    ValueMode mode;
    const char* keys;
    const char* display;
};

void PrintTo(const Entry& e, std::ostream* os) { *os << ModeName(e.mode) << " \"" << e.keys << '"'; }

class Typing : public ::testing::TestWithParam<Entry> {};

TEST_P(Typing, ShowsTheEntry) {
    const Entry& e = GetParam();
    MachineRig rig(e.mode);
    rig.Keys(e.keys);
    EXPECT_EQ(rig.Display(), e.display);
    EXPECT_TRUE(rig.tape.empty());  // entry and backspace write no lines
}

INSTANTIATE_TEST_SUITE_P(IntegerModes, Typing,
                         ::testing::Values(Entry{vmDec, "0", "0"}, Entry{vmDec, "007", "7"},
                                           Entry{vmDec, "1234567890", "1234567890"},
                                           Entry{vmDec, "neg", "-0"}, Entry{vmDec, "neg 12", "-12"},
                                           Entry{vmDec, "neg 0", "-0"}, Entry{vmDec, "12 neg 3", "-123"},
                                           // No overflow check: 2^128 wraps to 0, 2^128 - 1 reads as -1.
                                           Entry{vmDec, "340282366920938463463374607431768211456", "0"},
                                           Entry{vmDec, "340282366920938463463374607431768211455", "-1"},
                                           Entry{vmDec, "170141183460469231731687303715884105728",
                                                 "-170141183460469231731687303715884105728"},
                                           Entry{vmHex, "FF", "FF"}, Entry{vmHex, "DEADBEEF", "DEADBEEF"},
                                           Entry{vmHex, "neg 1", "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"},
                                           Entry{vmOct, "178", "17"}, Entry{vmOct, "777", "777"},
                                           Entry{vmBin, "1012", "101"}, Entry{vmBin, "1.:A", "1"},
                                           Entry{vmDec, "1.:A2", "12"}, Entry{vmHex, "123", "123"}));

INSTANTIATE_TEST_SUITE_P(IPv4, Typing,
                         ::testing::Values(Entry{vmIPv4, "192.168.0.1", "192.168.0.1"},
                                           // A digit that would overflow the octet starts the next one.
                                           Entry{vmIPv4, "256", "25.6"},
                                           Entry{vmIPv4, "1921681", "192.168.1"},
                                           Entry{vmIPv4, "10..1", "10.0.1"}, Entry{vmIPv4, "255", "255"},
                                           Entry{vmIPv4, ".", "0"}, Entry{vmIPv4, ".1", "1"},
                                           Entry{vmIPv4, "1.", "1.0"}, Entry{vmIPv4, "1:A", "1"},
                                           Entry{vmIPv4, "neg 5", "5"},
                                           // No octet limit; the oldest fall off the top.
                                           Entry{vmIPv4, "1.2.3.4.5.6.7.8.9.10.11.12.13.14.15.16.17",
                                                 "2.3.4.5.6.7.8.9.10.11.12.13.14.15.16.17"}));

INSTANTIATE_TEST_SUITE_P(
    IPv6, Typing,
    ::testing::Values(Entry{vmIPv6, "1::2", "1::2"}, Entry{vmIPv6, "12345", "::1234:5"},
                      Entry{vmIPv6, "FE80::1", "fe80::1"}, Entry{vmIPv6, "FE80::", "fe80::"},
                      Entry{vmIPv6, "::1", "::1"}, Entry{vmIPv6, "::", "0"},
                      Entry{vmIPv6, "1:2:3:4:5:6:7:8", "1:2:3:4:5:6:7:8"},
                      Entry{vmIPv6, "1:2::3:4", "1:2::3:4"},
                      Entry{vmIPv6, "FE80::1:2:3:4:5:6", "fe80:0:1:2:3:4:5:6"},
                      // A seventh tail group would make nine groups: the address is void.
                      Entry{vmIPv6, "FE80::1:2:3:4:5:6:", "0"},
                      // A further "::" after the head is just a colon.
                      Entry{vmIPv6, "1::2::3", "1::2:0:3"}, Entry{vmIPv6, "1.G", "::1"}));

INSTANTIATE_TEST_SUITE_P(
    Float, Typing,
    ::testing::Values(Entry{vmFloat, "1.50", "1.50"}, Entry{vmFloat, ".", "0."},
                      Entry{vmFloat, "0.00", "0.00"}, Entry{vmFloat, "3.", "3."},
                      Entry{vmFloat, "1..5", "1.5"}, Entry{vmFloat, "1.A5", "1.5"},
                      Entry{vmFloat, "neg", "-0"}, Entry{vmFloat, "neg .", "-0."},
                      Entry{vmFloat, "neg 0.00", "-0.00"}, Entry{vmFloat, "neg 2.5", "-2.5"},
                      Entry{vmFloat, "2.5 neg", "-2.5"}, Entry{vmFloat, "0.1", "0.1"},
                      Entry{vmFloat, "0.000001", "0.000001"}, Entry{vmFloat, "123.4500", "123.4500"},
                      Entry{vmFloat, "12345678901234567890", "1.2345678901234568E19"},
                      Entry{vmFloat, "12345678901234567890.0", "12345678901234567890.0"}));

INSTANTIATE_TEST_SUITE_P(
    Backspace, Typing,
    ::testing::Values(Entry{vmDec, "123 bs", "12"}, Entry{vmDec, "neg 12 bs", "-1"},
                      Entry{vmDec, "5 bs", "0"}, Entry{vmHex, "FFA bs", "FF"}, Entry{vmOct, "777 bs", "77"},
                      Entry{vmBin, "101 bs bs", "1"}, Entry{vmIPv4, "192.168 bs", "192.16"},
                      Entry{vmIPv4, "10. bs", "10"}, Entry{vmIPv4, "10.5 bs", "10"},
                      Entry{vmIPv4, "10..1 bs bs .2", "10.2"}, Entry{vmIPv6, "1234:5 bs", "::1234"},
                      Entry{vmIPv6, "1234: bs", "::1234"}, Entry{vmIPv6, "ABCD bs", "::abc"},
                      Entry{vmIPv6, "FE80::12 bs", "fe80::1"}, Entry{vmIPv6, "FE80::1 bs", "fe80::"},
                      // With the tail gone, backspace undoes the "::" itself.
                      Entry{vmIPv6, "FE80::1 bs bs 2", "::fe80:2"},
                      // An emptied group goes with its colon.
                      Entry{vmIPv6, "FE80::1:2 bs", "fe80::1"}, Entry{vmIPv6, "FE80::1:2 bs bs", "fe80::"},
                      Entry{vmFloat, "1.50 bs", "1.5"}, Entry{vmFloat, "1.50 bs bs", "1."},
                      Entry{vmFloat, "1.50 bs bs bs", "1"}, Entry{vmFloat, "1.23 bs", "1.2"},
                      Entry{vmFloat, "123 bs", "12"}, Entry{vmFloat, "neg 123 bs", "-12"},
                      Entry{vmFloat, "0.001 bs", "0.00"}, Entry{vmFloat, "9.99 bs 5", "9.95"}));

TEST(Entry, BackspaceAfterDoubleColonRestoresTheSingleColon) {
    MachineRig typed(vmIPv6);
    typed.Keys("1:");
    MachineRig undone(vmIPv6);
    undone.Keys("1:: bs");
    EXPECT_EQ(undone.Display(), typed.Display());
    EXPECT_EQ(undone.m.Y, typed.m.Y);
    EXPECT_TRUE(undone.m.HeadMask.IsZero());
    // Typing on continues as if the "::" had never been there.
    undone.Keys("3");
    typed.Keys("3");
    EXPECT_EQ(undone.Display(), "::1:3");
    EXPECT_EQ(typed.Display(), "::1:3");
}

TEST(Entry, HeadOfDoubleColonSitsInTheTopGroups) {
    MachineRig rig(vmIPv6);
    rig.Keys("FE80::");
    EXPECT_EQ(rig.m.Y.w(), Word128(0, 0xFE80000000000000));
    EXPECT_EQ(rig.m.HeadMask, Word128(0, 0xFFFFFFFF00000000));
    rig.Keys("1");
    EXPECT_EQ(rig.m.Y.w(), Word128(1, 0xFE80000000000000));
}

TEST(Entry, FloatEntryHoldsTheTypedValue) {
    struct Case {
        const char* keys;
        Extended value;
    };
    for (const Case& c : {Case{"1.50", F("1.5")}, Case{"1.5", F("1.5")}, Case{"250", F("250.0")},
                          Case{"0.25", F("0.25")}, Case{"neg 0.5", F("-0.5")}, Case{"2.5 bs", F("2.0")}}) {
        MachineRig rig(vmFloat);
        rig.Keys(c.keys);
        EXPECT_EQ(rig.m.Y.f(), c.value) << c.keys;
    }
}

// The value of a typed float is the typed number rounded once, to the
// nearest extended: not a rounding per digit, which piles up.
TEST(Entry, FloatEntryIsTheTypedNumberRoundedOnce) {
    // 1 + 2^-64 is halfway between 1 and the next extended: ties go to the
    // even one, anything above it goes up, however far down it lies.
    const std::string halfway = "1.0000000000000000000542101086242752217003726400434970855712890625";
    struct Case {
        std::string keys;
        Extended value;
        const char* result;  // the display after "="
    };
    const Case cases[] = {
        {"999.99999999999999999999", F("1000.0"), "1000"},
        {"0.99999999999999999999999", F("1.0"), "1"},
        {"0.1", F("0.1"), "0.1"},
        {"neg 0.30000000000000000001", F("-0.3"), "-0.3"},
        {halfway, F("1.0"), "1"},
        {halfway + std::string(12000, '0') + "1", Hex80("3FFF8000000000000001"), "1"},
        {halfway + "1 bs", F("1.0"), "1"},
        {std::string("1").append(4932, '0').append(".999"), F("1e4932"), "1E4932"},
        {std::string("0.").append(4950, '0').append("4"), Extended::MinDenormal(),
         "3.6451995318824746E-4951"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys.substr(0, 60));
        MachineRig rig(vmFloat);
        rig.Keys(c.keys);
        EXPECT_EQ(rig.m.Y.f(), c.value);
        rig.Keys("=");
        EXPECT_EQ(rig.Display(), c.result);
    }
    MachineRig cmp(vmFloat);
    cmp.Keys("999.99999999999999999999 > 1000 =");
    EXPECT_EQ(cmp.Display(), "0");
    cmp.Keys("0.99999999999999999999999 - 1 =");
    EXPECT_EQ(cmp.Display(), "0");
}

// Random numbers of 1 to 40 digits with the point anywhere, typed with
// backspaces and sign changes among the keys: after every key the entry
// holds what a plain correctly rounding parser (MPFR's) makes of the
// digits typed so far, and the display shows them as typed.
TEST(Entry, FloatEntryMatchesACorrectlyRoundingParser) {
    std::mt19937_64 gen(0x5EED0201);
    for (int run = 0; run < 3000; ++run) {
        // Runs of one digit now and then, for carries and near-halfway numbers.
        const int n = 1 + static_cast<int>(gen() % 40);
        std::string digits;
        for (int i = 0; i < n; ++i) {
            const int kind = static_cast<int>(gen() % 8);
            digits += static_cast<char>(kind == 0   ? '0'
                                        : kind == 1 ? '9'
                                                    : '0' + static_cast<int>(gen() % 10));
        }
        const std::size_t point = gen() % (digits.size() + 2);
        if (point <= digits.size()) digits.insert(digits.begin() + static_cast<std::ptrdiff_t>(point), '.');

        MachineRig rig(vmFloat);
        std::string typed;  // the keys since the entry began, leading zeros too
        bool neg = false;
        std::string trace;
        const auto check = [&] {
            Extended want = RefParse(typed);
            if (neg && !want.IsZero()) want = want.Negated();
            ASSERT_EQ(rig.m.Y.f(), want) << trace << " -> " << rig.Display();
            std::string shown;
            const std::size_t dot = typed.find('.');
            if (dot != std::string::npos) {
                const std::size_t lead = std::min(typed.find_first_not_of('0'), dot);
                if (neg) shown += '-';
                if (lead == dot) shown += '0';
                shown.append(typed, lead);
            } else {
                shown = want.IsZero() ? (neg ? "-0" : "0") : FloatText(want);
            }
            ASSERT_EQ(rig.Display(), shown) << trace;
        };
        for (char c : digits) {
            const int extra = static_cast<int>(gen() % 16);
            if (extra == 0 && !typed.empty()) {
                const Extended now = RefParse(typed);
                rig.Keys("bs");
                trace += " bs";
                typed.pop_back();
                if (now.IsZero()) {  // nothing to delete: the machine was cleared
                    typed.clear();
                    neg = false;
                }
                check();
            } else if (extra == 1) {
                rig.Keys("neg");
                trace += " neg";
                neg = !neg;
                check();
            }
            rig.m.KeyChar(c);
            trace += c;
            typed += c;
            check();
        }
    }
}

TEST(Entry, BackspaceWithNothingToDeleteClearsTheMachine) {
    struct Case {
        ValueMode mode;
        const char* keys;
        std::vector<std::string> tape;
    };
    const Case cases[] = {
        {vmDec, "5 + bs", {"5", "0"}},  // right after an operator
        {vmDec, "2 + 3 = bs", {"2", "+ 3", "= 5", "0"}},
        {vmDec, "0 bs", {"0"}},
        {vmFloat, "0 bs", {"0"}},
        {vmFloat, "0.00 bs", {"0"}},
        {vmHex, "7 + ( bs", {"7h", "0h"}},
    };
    for (const Case& c : cases) {
        MachineRig rig(c.mode);
        rig.Keys(c.keys);
        EXPECT_EQ(rig.tape, c.tape) << c.keys;
        EXPECT_EQ(rig.Display(), "0") << c.keys;
        EXPECT_EQ(rig.m.PendingOp, 0) << c.keys;
        EXPECT_EQ(rig.m.ParenDepth, 0) << c.keys;
    }
}

TEST(Entry, BackspaceReportsWhetherSomethingWasDeleted) {
    MachineRig rig(vmDec);
    rig.Keys("12");
    EXPECT_TRUE(rig.m.Backspace());
    EXPECT_TRUE(rig.m.Backspace());
    EXPECT_EQ(rig.Display(), "0");
    EXPECT_FALSE(rig.m.Backspace());
    rig.Keys("+");
    EXPECT_FALSE(rig.m.Backspace());
}

// Float backspace on whole numbers of 2^63 and more: the digit is dropped in
// extended precision, not through a 64-bit integer that cannot hold them.
TEST(Entry, FloatBackspaceOnHugeWholeNumbers) {
    struct Case {
        const char* keys;
        Extended value;
        const char* display;
    };
    for (const Case& c :
         {Case{"30000000000000000000 bs", F("3e18"), "3E18"},
          Case{"neg 30000000000000000000 bs", F("-3e18"), "-3E18"},
          Case{"92233720368547758080 bs", P2(63), "9.2233720368547758E18"},
          Case{"184467440737095516160 bs bs", F("1844674407370955161.0"), "1.8446744073709552E18"}}) {
        MachineRig rig(vmFloat);
        rig.Keys(c.keys);
        EXPECT_EQ(rig.m.Y.f(), c.value) << c.keys;
        EXPECT_EQ(rig.Display(), c.display) << c.keys;
    }
    MachineRig rig(vmFloat);
    rig.Keys("1" + std::string(40, '0') + " bs");
    EXPECT_EQ(rig.Display(), "1E39");
}

// Dropping a decimal of a long fraction keeps all the digits an extended
// float holds; double precision would garble the last ones.
TEST(Entry, FloatBackspaceKeepsLongFractions) {
    MachineRig rig(vmFloat);
    rig.Keys("1.234567890123456789");
    EXPECT_EQ(rig.Display(), "1.234567890123456789");
    rig.Keys("bs");
    EXPECT_EQ(rig.Display(), "1.23456789012345678");
    rig.Keys("bs");
    EXPECT_EQ(rig.Display(), "1.2345678901234567");
    EXPECT_EQ(rig.m.Y.f(), F("1.2345678901234567"));
}

TEST(Entry, AbsurdlyLongFloatEntries) {
    MachineRig rig(vmFloat);
    // 10^4932 is the last power of ten an extended float holds.
    rig.Keys(std::string("1").append(4932, '0'));
    EXPECT_EQ(rig.Display(), "1E4932");
    try {
        rig.m.KeyChar('0');
        ADD_FAILURE() << "no overflow";
    } catch (const FloatOverflowError& e) {
        EXPECT_STREQ(e.what(), "Floating point overflow");
    }
    EXPECT_EQ(rig.Display(), "1E4932");
    rig.Keys(". 5");
    const std::string shown = rig.Display();
    EXPECT_EQ(shown.size(), 255u);
    EXPECT_EQ(shown.find_first_not_of("0123456789"), std::string::npos) << shown;

    // Thousands of decimals: the display is cut, backspace stays sane.
    MachineRig frac(vmFloat);
    frac.Keys("2." + std::string(6000, '0'));
    EXPECT_EQ(frac.Display(), "2." + std::string(253, '0'));
    frac.Keys("7 bs bs");
    EXPECT_EQ(frac.m.Y.f(), F("2.0"));
    EXPECT_EQ(frac.Display(), "2." + std::string(253, '0'));
}

TEST(Entry, NameOnlyModesTakeDecimalDigits) {
    for (ValueMode mode : {vmTime, vmDate, vmDtTm}) {
        MachineRig rig(vmDec);
        rig.m.Y.mode = mode;  // as the state loader sets it
        rig.Keys("1A2");
        EXPECT_EQ(rig.m.Y.w(), Word128(12, 0));
        EXPECT_EQ(rig.Display(), "*** NOT IMPLEMENTED ***");
        rig.Keys("bs");
        EXPECT_EQ(rig.m.Y.w(), Word128(1, 0));
        rig.Keys("+");
        EXPECT_EQ(rig.tape.back(), "*** NOT IMPLEMENTED ***");
    }
}

TEST(Entry, ModeNumbersOutsideTheTableAreHarmless) {
    for (int32_t n : {11, 200, -1, INT32_MAX}) {
        MachineRig rig(vmDec);
        rig.m.Y.mode = static_cast<ValueMode>(n);
        rig.Keys("9F.: bs 4 + 1 = bs");
        EXPECT_LE(rig.Display().size(), 255u);
        for (const std::string& line : rig.tape) EXPECT_LE(line.size(), 255u);
    }
}

// EvalText takes whole runs of digits at once in the integer modes; it must
// leave the machine exactly as typing the same characters one by one does,
// also for runs longer than 64 bits hold, for keys a mode ignores inside a
// run, and for an entry whose sign was changed before its digits.
TEST(Entry, EvalTextTypesLikeSingleKeys) {
    const std::vector<std::string> texts = {
        "123456789012345678901234567890*98765+17",
        "340282366920938463463374607431768211457",
        Repeat("7", 70) + "+" + Repeat("1", 130) + "-" + Repeat("9", 19) + "*" + Repeat("9", 20),
        "1234567.89012:345678901234567890123A4B5*2",
        "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF1-1",
        "12345678",
        "123456789",
        "00000000000000000000000000000000001",
        "(12+3)*4-",
        "1.2.3.4",
        "FE80::1:2",
        "9F.: 4 + 1 c 77",
        "",
    };
    for (ValueMode mode : {vmDec, vmHex, vmOct, vmBin, vmIPv4, vmIPv6, vmFloat, vmTime}) {
        for (bool negated : {false, true}) {
            for (const std::string& text : texts) {
                SCOPED_TRACE(std::string(ModeName(mode)) + (negated ? " neg " : " ") + text);
                MachineRig whole(vmDec), single(vmDec);
                for (MachineRig* rig : {&whole, &single}) {
                    rig->m.Y.mode = mode;  // vmTime as the state loader sets it
                    if (negated) rig->m.FnNeg();
                }
                CalcValue out;
                whole.m.EvalText(text, out);
                for (char c : text) single.m.KeyChar(c);
                single.m.Equals();
                EXPECT_EQ(out, *single.m.Shown);
                EXPECT_EQ(whole.tape, single.tape);
                EXPECT_EQ(whole.m.X, single.m.X);
                EXPECT_EQ(whole.m.Y, single.m.Y);
                EXPECT_EQ(whole.Display(), single.Display());
            }
        }
    }
}

TEST(Entry, EvalTextDigitsOfLongRunsAreExact) {
    MachineRig rig(vmDec);
    CalcValue out;
    rig.m.EvalText("123456789012345678901234567890*98765+17", out);
    EXPECT_EQ(rig.Display(), "12193209766804320976680432097655867");
    rig.m.FnNeg();
    rig.m.EvalText("98765432109876543210987654321", out);
    EXPECT_EQ(rig.Display(), "-98765432109876543210987654321");
    MachineRig bin(vmBin);
    bin.m.EvalText(Repeat("10", 40), out);  // 80 digits: more than one 64-bit chunk
    EXPECT_EQ(bin.Display(), Repeat("10", 40));
}

// Each mode takes the keys of a text by its own entry rules, "." included:
// where the mode has no point it is no key, and 12+3.4 adds 12 and 34.
TEST(Entry, EvalTextTakesTheKeysOfTheMode) {
    const struct {
        ValueMode mode;
        const char* result;
    } cases[] = {
        {vmDec, "46"},     {vmOct, "46"}, {vmHex, "46"}, {vmIPv4, "3.16"},  // 12 + 0.0.3.4 (772) = 784
        {vmFloat, "15.4"},
    };
    for (const auto& c : cases) {
        MachineRig rig(c.mode);
        CalcValue out;
        rig.m.EvalText("12+3.4", out);
        EXPECT_EQ(ValueText(out), c.result) << ModeName(c.mode);
        EXPECT_EQ(rig.Display(), c.result) << ModeName(c.mode);
    }
}

}  // namespace
