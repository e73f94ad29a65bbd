// The unary functions, loading a value and switching modes: the display, the
// tape line each writes (the value before for NOT, RBits, SQRT, SIN and COS,
// after for SGN and ABS) and whether the entry goes on.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "calcmach/calcmach.h"
#include "float_testing.h"
#include "open_machine.h"

namespace {

const std::string k32F(32, 'F');
const std::string kError = "*** ERROR ***";

CalcValue Int(ValueMode mode, int64_t v) {
    return CalcValue::Int(mode, Word128(static_cast<uint64_t>(v), v < 0 ? ~uint64_t{0} : 0));
}

class UnaryTest : public ::testing::Test {
protected:
    OpenMachine m;
    std::vector<std::string> tape;

    void SetUp() override {
        m.SetTapeReceiver([this](std::string_view line, const CalcValue&) { tape.emplace_back(line); });
    }

    // Loads Y as a number being typed (entry running, shown), with X and a
    // pending operation the function must leave alone.
    void Enter(const CalcValue& y) {
        m.Y = y;
        m.ShowY();
        m.NewEntry = false;
        m.EntryNeg = false;
        m.X = Int(vmDec, 42);
        m.PendingOp = opAdd;
        tape.clear();
    }

    void ExpectUntouchedAccumulator() {
        EXPECT_EQ(m.X, Int(vmDec, 42));
        EXPECT_EQ(m.PendingOp, opAdd);
    }
};

struct Case {
    CalcValue y;
    void (CcalcMach::*fn)();
    std::string shown;
    std::string line;  // "" when no tape line is written
};

// A function that applies ends the entry, writes its line and shows Y.
TEST_F(UnaryTest, Functions) {
    const Case cases[] = {
        {Int(vmHex, 0), &CcalcMach::FnNot, k32F, "NOT 0h"},
        {Int(vmDec, 5), &CcalcMach::FnNot, "-6", "NOT 5"},
        {Int(vmHex, 0), &CcalcMach::FnRBits, "0", "RBits 0h"},
        {Int(vmHex, 1), &CcalcMach::FnRBits, "1", "RBits 1h"},
        {Int(vmHex, 8), &CcalcMach::FnRBits, "FF", "RBits 8h"},
        {Int(vmHex, 64), &CcalcMach::FnRBits, std::string(16, 'F'), "RBits 40h"},
        {Int(vmHex, 127), &CcalcMach::FnRBits, "7" + std::string(31, 'F'), "RBits 7Fh"},
        {Int(vmHex, 128), &CcalcMach::FnRBits, k32F, "RBits 80h"},
        {Int(vmHex, 200), &CcalcMach::FnRBits, k32F, "RBits C8h"},
        {Int(vmHex, 256), &CcalcMach::FnRBits, "0", "RBits 100h"},
        {Int(vmBin, 0x104), &CcalcMach::FnRBits, "1111", "RBits 100000100b"},
        {Int(vmDec, -5), &CcalcMach::FnSgn, "-1", "SGN -1"},
        {Int(vmDec, 0), &CcalcMach::FnSgn, "0", "SGN 0"},
        {Int(vmOct, 9), &CcalcMach::FnSgn, "1", "SGN 1o"},
        {CalcValue::Float(F("-2.5")), &CcalcMach::FnSgn, "-1", "SGN -1"},
        {CalcValue::Float(F("0.0")), &CcalcMach::FnSgn, "0", "SGN 0"},
        {CalcValue::Float(F("1e-300")), &CcalcMach::FnSgn, "1", "SGN 1"},
        {Int(vmDec, -7), &CcalcMach::FnAbs, "7", "ABS 7"},
        {Int(vmDec, 7), &CcalcMach::FnAbs, "7", "ABS 7"},
        {Int(vmHex, INT64_MIN), &CcalcMach::FnAbs, "8000000000000000", "ABS 8000000000000000h"},
        {CalcValue::Int(vmHex, W128MinSigned), &CcalcMach::FnAbs, "8" + std::string(31, '0'),
         "ABS 8" + std::string(31, '0') + "h"},
        {CalcValue::Float(F("-2.5")), &CcalcMach::FnAbs, "2.5", "ABS 2.5"},
        {CalcValue::Float(F("2.25")), &CcalcMach::FnSqrt, "1.5", "SQRT 2.25"},
        {CalcValue::Float(F("0.0")), &CcalcMach::FnSqrt, "0", "SQRT 0"},
        {CalcValue::Float(F("0.0")), &CcalcMach::FnSin, "0", "SIN 0"},
        {CalcValue::Float(F("0.0")), &CcalcMach::FnCos, "1", "COS 0"},
        {CalcValue::Float(F("0.5")), &CcalcMach::FnSin, "0.479425538604203", "SIN 0.5"},
        {CalcValue::Float(F("0.5")), &CcalcMach::FnCos, "0.87758256189037272", "COS 0.5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Enter(c.y);
        (m.*c.fn)();
        EXPECT_EQ(m.DisplayText(), c.shown);
        EXPECT_EQ(tape, std::vector<std::string>{c.line});
        EXPECT_TRUE(m.ShowsY());
        EXPECT_TRUE(m.NewEntry);
        EXPECT_EQ(m.Y.mode, c.y.mode);
        ExpectUntouchedAccumulator();
    }
}

// Where the mode does not fit, only the display changes.
TEST_F(UnaryTest, FunctionsOutsideTheirModeShowTheErrorValue) {
    const Case cases[] = {
        {CalcValue::Float(Extended::FromInt64(5)), &CcalcMach::FnNot, kError, ""},
        {CalcValue::Float(Extended::FromInt64(5)), &CcalcMach::FnRBits, kError, ""},
        {Int(vmDec, 4), &CcalcMach::FnSqrt, kError, ""},
        {Int(vmHex, 4), &CcalcMach::FnSin, kError, ""},
        {Int(vmIPv4, 4), &CcalcMach::FnCos, kError, ""},
    };
    for (const Case& c : cases) {
        Enter(c.y);
        (m.*c.fn)();
        EXPECT_EQ(m.DisplayText(), c.shown);
        EXPECT_TRUE(tape.empty());
        EXPECT_EQ(m.Y, c.y);
        EXPECT_FALSE(m.NewEntry);
        ExpectUntouchedAccumulator();
    }
}

TEST_F(UnaryTest, SqrtOfTwoIsTheNearestExtended) {
    Enter(CalcValue::Float(Extended::FromInt64(2)));
    m.FnSqrt();
    EXPECT_EQ(m.Y.f(), F("1.41421356237309504880168872420969807857"));
    EXPECT_EQ(m.DisplayText(), "1.414213562373095");
    EXPECT_EQ(tape, std::vector<std::string>{"SQRT 2"});
}

// A fault writes the line and ends the entry, but leaves Y and the display.
TEST_F(UnaryTest, FaultsOfSqrtSinCos) {
    const Case cases[] = {
        {CalcValue::Float(Extended::FromInt64(-1)), &CcalcMach::FnSqrt, "", "SQRT -1"},
        {CalcValue::Float(F("-1e-4000")), &CcalcMach::FnSqrt, "", "SQRT -1E-4000"},
        {CalcValue::Float(Extended::Infinity()), &CcalcMach::FnSin, "", "SIN "},
        {CalcValue::Float(Extended::Infinity(true)), &CcalcMach::FnCos, "", "COS "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const CalcValue* const shownBefore[] = {&m.X, &m.Y};
        for (const CalcValue* shown : shownBefore) {
            Enter(c.y);
            m.Shown = shown;
            const std::string before = m.DisplayText();
            try {
                (m.*c.fn)();
                ADD_FAILURE() << "no fault";
            } catch (const FloatInvalidError& e) {
                EXPECT_STREQ(e.what(), "Invalid floating point operation");
            }
            ASSERT_EQ(tape.size(), 1u);
            EXPECT_EQ(tape[0].substr(0, c.line.size()), c.line);
            EXPECT_EQ(m.Y, c.y);
            EXPECT_EQ(m.Shown, shown);
            EXPECT_EQ(m.DisplayText(), before);
            EXPECT_TRUE(m.NewEntry);
            ExpectUntouchedAccumulator();
        }
    }
}

// Sine and cosine are the true ones for every finite argument, however large.
TEST_F(UnaryTest, SinAndCosOfLargeArguments) {
    Enter(CalcValue::Float(F("1e20")));
    m.FnSin();
    EXPECT_EQ(m.DisplayText(), "-0.64525128526578084");
    EXPECT_EQ(tape, std::vector<std::string>{"SIN 1E20"});
    Enter(CalcValue::Float(F("1e20")));
    m.FnCos();
    EXPECT_EQ(m.DisplayText(), "0.7639704044417283");
    Enter(CalcValue::Float(P2(63)));
    m.FnSin();
    EXPECT_NE(m.Y.f(), P2(63));
    EXPECT_LE(ext::Compare(m.Y.f(), Extended::One()), 0);
}

TEST_F(UnaryTest, SignChangeKeepsTheEntryRunning) {
    struct NegCase {
        CalcValue y;
        std::string shown;
        bool entryNeg;
    };
    const NegCase cases[] = {
        {Int(vmDec, 5), "-5", true},
        {Int(vmDec, -5), "5", false},
        {Int(vmDec, 0), "-0", true},
        {Int(vmHex, 1), k32F, true},
        {CalcValue::Float(F("2.5")), "-2.5", true},
        {CalcValue::Float(F("0.0")), "-0", true},
        {Int(vmIPv4, 0x0A000001), "10.0.0.1", false},
        {Int(vmIPv6, 1), "::1", false},
    };
    for (const NegCase& c : cases) {
        SCOPED_TRACE(c.shown);
        Enter(c.y);
        m.ShowX();
        m.FnNeg();
        EXPECT_EQ(m.DisplayText(), c.shown);
        EXPECT_EQ(m.EntryNeg, c.entryNeg);
        EXPECT_TRUE(m.ShowsY());
        EXPECT_FALSE(m.NewEntry);
        EXPECT_TRUE(tape.empty());
        ExpectUntouchedAccumulator();
    }
}

TEST_F(UnaryTest, SignChangeOnZeroThenDigits) {
    m.FnNeg();
    EXPECT_EQ(m.DisplayText(), "-0");
    m.KeyChar('5');
    EXPECT_EQ(m.DisplayText(), "-5");
    m.FnNeg();
    m.FnNeg();
    m.KeyChar('1');
    EXPECT_EQ(m.DisplayText(), "-51");
}

TEST_F(UnaryTest, PiButtonLoadsAFloat) {
    m.SetMode(vmHex);
    Enter(Int(vmHex, 0xFF));
    m.SetValue(kPiValue);
    EXPECT_EQ(m.Y, kPiValue);
    EXPECT_EQ(m.DisplayText(), "3.1415926535897932");
    EXPECT_TRUE(m.NewEntry);
    EXPECT_TRUE(tape.empty());
    ExpectUntouchedAccumulator();
    m.KeyChar('7');
    EXPECT_EQ(m.DisplayText(), "7");
}

TEST_F(UnaryTest, SetModeConvertsAcrossFloat) {
    struct ModeCase {
        CalcValue y;
        ValueMode to;
        std::string shown;
    };
    const ModeCase cases[] = {
        {CalcValue::Float(F("7.9")), vmDec, "7"},
        {CalcValue::Float(F("-7.9")), vmDec, "-7"},
        {Int(vmDec, -1), vmHex, k32F},
        {Int(vmDec, -1), vmFloat, "-1"},
        {Int(vmHex, 0xC0A80001), vmIPv4, "192.168.0.1"},
        {Int(vmDec, 255), vmBin, "11111111"},
        {CalcValue::Float(F("0.5")), vmOct, "0"},
    };
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(c.shown);
        Enter(c.y);
        m.SetMode(c.to);
        EXPECT_EQ(m.Y.mode, c.to);
        EXPECT_EQ(m.DisplayText(), c.shown);
        EXPECT_TRUE(m.NewEntry);
        EXPECT_TRUE(tape.empty());
        ExpectUntouchedAccumulator();
    }
}

TEST_F(UnaryTest, SetModeToTheSameModeKeepsTheEntry) {
    Enter(Int(vmDec, 12));
    m.ShowX();
    m.SetMode(vmDec);
    EXPECT_FALSE(m.NewEntry);
    EXPECT_TRUE(m.ShowsX());
    m.KeyChar('3');
    EXPECT_EQ(m.DisplayText(), "123");
}

TEST_F(UnaryTest, OutOfRangeModesAreRefused) {
    Enter(Int(vmDec, 12));
    try {
        m.SetMode(static_cast<ValueMode>(11));
        ADD_FAILURE() << "mode 11 accepted";
    } catch (const RangeError& e) {
        EXPECT_STREQ(e.what(), "CcalcMach.SetMode: invalid mode 11");
    }
    CalcValue bad = Int(vmDec, 1);
    bad.mode = static_cast<ValueMode>(-1);
    EXPECT_THROW(m.SetValue(bad), RangeError);
    EXPECT_EQ(m.Y, Int(vmDec, 12));
    EXPECT_FALSE(m.NewEntry);
}

// The pending operation later applies to the changed entry.
TEST_F(UnaryTest, PendingOperationUsesTheResult) {
    m.SetMode(vmFloat);
    tape.clear();
    for (char c : std::string("2+9")) m.KeyChar(c);
    m.FnSqrt();
    m.KeyChar('=');
    EXPECT_EQ(m.DisplayText(), "5");
    EXPECT_EQ(tape, (std::vector<std::string>{"2", "SQRT 9", "+ 3", "= 5"}));

    m.SetMode(vmDec);
    tape.clear();
    for (char c : std::string("10-7")) m.KeyChar(c);
    m.FnNeg();
    m.FnAbs();
    m.KeyChar('=');
    EXPECT_EQ(m.DisplayText(), "3");
    EXPECT_EQ(tape, (std::vector<std::string>{"10", "ABS 7", "- 7", "= 3"}));
}

}  // namespace
