// The binary operations, driven directly (X, Y, PendingOp, ExecOp) and through
// key sequences. What is checked is what the user sees: the display text, the
// tape and the error messages, plus the state a fault leaves behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calcmach/calcmach.h"
#include "float_testing.h"
#include "open_machine.h"

namespace {

CalcValue Dec(int64_t v) {
    return CalcValue::Int(vmDec, Word128(static_cast<uint64_t>(v), v < 0 ? ~uint64_t{0} : 0));
}
CalcValue Hex(const char* digits) { return CalcValue::Int(vmHex, wide::stou128(digits, 16)); }
CalcValue Flt(Extended v) { return CalcValue::Float(v); }
CalcValue Flt(int v) { return CalcValue::Float(Extended::FromInt64(v)); }

// A float operand of a table row: a whole number or any extended.
struct Num {
    Extended v;
    Num(int i) : v(Extended::FromInt64(i)) {}  // NOLINT: rows read as numbers
    Num(Extended e) : v(e) {}                  // NOLINT
};
CalcValue InHex(CalcValue v) {
    v.mode = vmHex;
    return v;
}

const std::string k32F(32, 'F');
const std::string kError = "*** ERROR ***";

class OpsTest : public ::testing::Test {
protected:
    OpenMachine m;
    std::vector<std::string> tape;

    void SetUp() override {
        m.SetTapeReceiver([this](std::string_view line, const CalcValue&) { tape.emplace_back(line); });
    }

    // X op Y executed on its own; returns the display text.
    std::string Exec(const CalcValue& x, int32_t op, const CalcValue& y) {
        m.X = x;
        m.Y = y;
        m.PendingOp = op;
        m.ExecOp();
        return m.DisplayText();
    }

    // The message of the error X op Y raises, or "" when it raises none.
    std::string Fault(const CalcValue& x, int32_t op, const CalcValue& y) {
        try {
            Exec(x, op, y);
        } catch (const CalcError& e) {
            return e.what();
        }
        return "";
    }

    void Keys(const std::string& keys) {
        for (char c : keys) m.KeyChar(c);
    }
};

struct IntCase {
    CalcValue x;
    int32_t op;
    CalcValue y;
    std::string shown;
};

TEST_F(OpsTest, IntegerTable) {
    const IntCase cases[] = {
        {Dec(5), opAdd, Dec(3), "8"},
        {Dec(5), opSub, Dec(8), "-3"},
        {Dec(-6), opMul, Dec(7), "-42"},
        {Dec(7), opDiv, Dec(2), "3"},
        {Dec(-7), opDiv, Dec(2), "-3"},
        {Dec(7), opDiv, Dec(-2), "-3"},
        {Dec(-7), opDiv, Dec(-2), "3"},
        {Dec(0), opDiv, Dec(0), "0"},
        {Hex(k32F.c_str()), opDiv, Hex("2"), "0"},  // -1 / 2
        {Hex("80000000000000000000000000000000"), opDiv, Hex("80000000000000000000000000000000"), "1"},
        {Dec(2), opPow, Dec(0), "1"},
        {Dec(0), opPow, Dec(0), "1"},
        {Dec(0), opPow, Dec(5), "0"},
        {Dec(-2), opPow, Dec(3), "-8"},
        {Dec(-2), opPow, Dec(2), "4"},
        {Dec(2), opPow, Hex("7F"), "80000000000000000000000000000000"},
        {Dec(2), opPow, Dec(128), "0"},
        {Dec(10), opAnd, Dec(3), "2"},
        {Dec(10), opOr, Dec(3), "11"},
        {Dec(10), opXor, Dec(3), "9"},
        {Hex("1"), opShl, InHex(Dec(4)), "10"},
        {Hex("1"), opShl, Dec(128), "0"},
        {Hex("1"), opShl, Dec(256), "1"},  // only the low byte counts
        {Hex("1"), opShl, Dec(257), "2"},
        {Hex("80"), opShr, InHex(Dec(3)), "10"},
        {Hex(k32F.c_str()), opShr, InHex(Dec(124)), "F"},  // logical, zeros enter
        {Hex("80"), opShr, Dec(128), "0"},
        {Hex("1"), opRol, Dec(130), "4"},
        {Hex("80000000000000000000000000000001"), opRol, Dec(1), "3"},
        {Hex("1"), opRor, InHex(Dec(130)), "40000000000000000000000000000000"},
        {Hex("1"), opRor, Dec(256), "1"},
        // Comparisons read the bits as signed, in every integer mode.
        {Hex("80000000000000000000000000000000"), opLt, Hex("1"), "1"},
        {Hex(k32F.c_str()), opLt, Hex("0"), "1"},
        {Hex("1"), opLt, Hex("1"), "0"},
        {Hex("1"), opLe, Hex("1"), "1"},
        {Hex("1"), opLe, Hex(k32F.c_str()), "0"},
        {Hex("1"), opGt, Hex(k32F.c_str()), "1"},
        {Hex("1"), opGt, Hex("1"), "0"},
        {Hex("1"), opGe, Hex("1"), "1"},
        {Hex("80000000000000000000000000000000"), opGe, Hex("0"), "0"},
        {Hex("5"), opEq, Hex("5"), "1"},
        {Hex("5"), opEq, Hex("6"), "0"},
        // LBits: the n leftmost bits of a w-bit word.
        {Dec(32), opLBits, Hex("8"), "FF000000"},
        {Dec(128), opLBits, Hex("4"), "F" + std::string(31, '0')},
        {Dec(8), opLBits, Hex("8"), "FF"},
        {Dec(0), opLBits, InHex(Dec(200)), std::string(18, 'F') + std::string(14, '0')},
        {Dec(4), opLBits, Hex("8"), "0"},
        {Dec(64), opLBits, Hex("80"), "0"},
        {Dec(0x120), opLBits, Hex("4"), "F0000000"},  // w is the low byte: 0x20
    };
    for (const IntCase& c : cases) {
        SCOPED_TRACE(ValueText(c.x) + " op " + std::to_string(c.op) + " " + ValueText(c.y));
        EXPECT_EQ(Exec(c.x, c.op, c.y), c.shown);
        EXPECT_EQ(m.X.mode, c.y.mode);
        EXPECT_TRUE(m.ShowsX());
        EXPECT_EQ(m.PendingOp, opNone);
        EXPECT_TRUE(m.NewEntry);
        EXPECT_EQ(m.Y, c.y);
    }
}

// Integer ROUN rounds halves away from zero on both sides; from 10^39 on no
// power of ten fits, and every value rounds to 0.
TEST_F(OpsTest, IntegerRound) {
    const std::string max = "7" + std::string(31, 'F');
    const std::string min = "8" + std::string(31, '0');
    const IntCase cases[] = {
        {Dec(1234), opRound, Dec(-2), "1200"},
        {Dec(12), opRound, Dec(3), "12"},
        {Dec(-3), opRound, Dec(0), "-3"},
        {Dec(1249), opRound, Dec(-2), "1200"},
        {Dec(1250), opRound, Dec(-2), "1300"},
        {Dec(-1249), opRound, Dec(-2), "-1200"},
        {Dec(-1250), opRound, Dec(-2), "-1300"},
        {Dec(-1251), opRound, Dec(-2), "-1300"},
        {Dec(-5), opRound, Dec(-1), "-10"},
        {Dec(4), opRound, Dec(-1), "0"},
        {Dec(123), opRound, Dec(-38), "0"},
        {Dec(123), opRound, Dec(-39), "0"},
        {Dec(-123), opRound, Dec(-128), "0"},
        {Dec(0), opRound, Dec(-128), "0"},
        {Hex(min.c_str()), opRound, Hex(min.c_str()), "0"},
        {Hex(min.c_str()), opRound, Dec(-39), "0"},
        // -2^127 = -170141183460469231731687303715884105728: rounded to tens
        // it leaves the signed range and wraps, like every integer result.
        {Hex(min.c_str()), opRound, InHex(Dec(-1)), "7" + std::string(30, 'F') + "E"},
        {Hex(max.c_str()), opRound, InHex(Dec(-1)), "8" + std::string(30, '0') + "2"},
        // 1.5 * 10^38 rounds up to 2 * 10^38 without X + H overflowing.
        {Hex("70D8F2FC87CA26B70E4F336000000000"), opRound, InHex(Dec(-38)),
         "96769950B50D88F41314448000000000"},
        {Hex("70D8F2FC87CA26B70E4F335FFFFFFFFF"), opRound, InHex(Dec(-38)),
         "4B3B4CA85A86C47A098A224000000000"},
    };
    for (const IntCase& c : cases) {
        SCOPED_TRACE(ValueText(c.x) + " ROUN " + ValueText(c.y));
        EXPECT_EQ(Exec(c.x, c.op, c.y), c.shown);
    }
}

TEST_F(OpsTest, NegativeIntegerExponentLeavesTheErrorValueInX) {
    EXPECT_EQ(Exec(Dec(3), opPow, Dec(-1)), kError);
    EXPECT_EQ(m.X, kErrorValue);
    EXPECT_TRUE(m.ShowsX());
    EXPECT_EQ(m.PendingOp, opNone);
}

// The error value as left operand computes with its payload (bit 127 alone).
TEST_F(OpsTest, ErrorValueAsLeftOperand) {
    EXPECT_EQ(Exec(kErrorValue, opAdd, Hex("1")), "80000000000000000000000000000001");
    EXPECT_EQ(Exec(kErrorValue, opSub, Dec(0)), "-170141183460469231731687303715884105728");
}

TEST_F(OpsTest, ResultTakesTheModeOfTheRightOperand) {
    EXPECT_EQ(Exec(Dec(5), opAdd, Flt(F("2.5"))), "7.5");
    EXPECT_EQ(m.X.mode, vmFloat);
    EXPECT_EQ(Exec(Flt(F("7.5")), opAdd, Dec(2)), "9");
    EXPECT_EQ(m.X.mode, vmDec);
    EXPECT_EQ(Exec(Flt(F("-7.9")), opMul, Hex("1")), k32F.substr(0, 31) + "9");  // -7
    EXPECT_EQ(Exec(Dec(-1), opAnd, Hex("FF")), "FF");                            // bits kept
    EXPECT_EQ(m.X.mode, vmHex);
}

TEST_F(OpsTest, UnsupportedOperationsShowTheErrorValue) {
    struct Case {
        CalcValue x;
        int32_t op;
        CalcValue y;
        CalcValue xAfter;
    };
    const Case cases[] = {
        {Flt(8), opShl, Flt(1), Flt(8)},    {Flt(8), opShr, Flt(1), Flt(8)},
        {Flt(8), opRol, Flt(1), Flt(8)},    {Flt(8), opRor, Flt(1), Flt(8)},
        {Flt(8), opLBits, Flt(1), Flt(8)},  {Dec(8), opShl, Flt(1), Flt(8)},
        {Dec(8), opLogN, Dec(2), Dec(8)},   {Flt(F("8.5")), opLogN, Hex("2"), Hex("8")},
        {Dec(8), opEquals, Dec(2), Dec(8)}, {Dec(8), 99, Dec(2), Dec(8)},
        {Dec(8), -1, Dec(2), Dec(8)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.op));
        m.NewEntry = false;
        EXPECT_EQ(Exec(c.x, c.op, c.y), kError);
        EXPECT_EQ(m.X, c.xAfter);
        EXPECT_EQ(m.PendingOp, opNone);
        EXPECT_TRUE(m.NewEntry);
    }
}

TEST_F(OpsTest, NothingPendingChangesNothing) {
    m.ShowY();
    m.NewEntry = false;
    EXPECT_EQ(Exec(Dec(5), opNone, Flt(2)), "2");
    EXPECT_EQ(m.X, Dec(5));
    EXPECT_FALSE(m.NewEntry);
}

struct FloatCase {
    Num x;
    int32_t op;
    Num y;
    std::string shown;
};

TEST_F(OpsTest, FloatTable) {
    const FloatCase cases[] = {
        {F("1.5"), opAdd, F("2.25"), "3.75"},
        {1, opSub, 3, "-2"},
        {F("2.5"), opMul, 4, "10"},
        {1, opDiv, 4, "0.25"},
        {1, opDiv, 3, "0.33333333333333333"},      // inexact is silent
        {F("1e-4000"), opMul, F("1e-4000"), "0"},  // so is underflow
        {2, opPow, -1, "0.5"},
        {10, opPow, 3, "1000"},
        {-2, opPow, 3, "-8"},
        {0, opPow, 0, "1"},
        {0, opPow, F("2.5"), "0"},
        {4, opPow, F("0.5"), "2"},
        {10, opAnd, 3, "2"},
        {F("2.7"), opOr, 0, "2"},
        {-1, opAnd, 255, "255"},
        {F("-2.9"), opXor, 1, "-1"},
        {F("9223372036854775807.0"), opAnd, 1, "1"},
        {1, opLt, 2, "1"},
        {2, opLt, 2, "0"},
        {2, opLe, 2, "1"},
        {-1, opGt, -2, "1"},
        {-2, opGe, -1, "0"},
        {F("0.5"), opEq, F("0.5"), "1"},
        {F("0.5"), opEq, F("0.25"), "0"},
        {Extended::QuietNaN(), opEq, Extended::QuietNaN(), "0"},
        {8, opLogN, 2, "3"},
        {1000, opLogN, 10, "3"},
        {2, opLogN, 4, "0.5"},
    };
    for (const FloatCase& c : cases) {
        SCOPED_TRACE(FloatText(c.x.v) + " op " + std::to_string(c.op) + " " + FloatText(c.y.v));
        EXPECT_EQ(Exec(Flt(c.x.v), c.op, Flt(c.y.v)), c.shown);
        EXPECT_EQ(m.X.mode, vmFloat);
        EXPECT_TRUE(m.ShowsX());
        EXPECT_EQ(m.PendingOp, opNone);
    }
}

// The power by squaring is exact where exp(Y ln X) is not.
TEST_F(OpsTest, FloatPowerIsExactForWholeExponents) {
    Exec(Flt(3), opPow, Flt(40));
    EXPECT_EQ(m.X.f(), F("12157665459056928801.0"));
    Exec(Flt(10), opPow, Flt(-1));
    EXPECT_EQ(m.X.f(), F("0.1"));
    Exec(Flt(8), opLogN, Flt(2));
    EXPECT_EQ(m.X.f(), F("3.0"));
}

// Float ROUN rounds halves away from zero, the same on both sides of zero,
// and keeps results on the exact decimal where one exists.
TEST_F(OpsTest, FloatRound) {
    const FloatCase cases[] = {
        {F("1.25"), opRound, 1, "1.3"},
        {F("-1.25"), opRound, 1, "-1.3"},
        {-3, opRound, 0, "-3"},
        {F("2.5"), opRound, 0, "3"},
        {F("-2.5"), opRound, 0, "-3"},
        {F("-0.4"), opRound, 0, "0"},
        {F("3.14159"), opRound, 2, "3.14"},
        {1249, opRound, -2, "1200"},
        {1250, opRound, -2, "1300"},
        {-1249, opRound, -2, "-1200"},
        {-1250, opRound, -2, "-1300"},
        {-1251, opRound, -2, "-1300"},
        {Hex80("3FFDFFFFFFFFFFFFFFFF"), opRound, 0, "0"},  // X + 0.5 would round up to 1
        {F("1e20"), opRound, 0, "1E20"},
        {F("1e4000"), opRound, 2, "1E4000"},
        {F("1e4930"), opRound, 5, "1E4930"},  // X * 10^5 would overflow
    };
    for (const FloatCase& c : cases) {
        SCOPED_TRACE(FloatText(c.x.v) + " ROUN " + FloatText(c.y.v));
        EXPECT_EQ(Exec(Flt(c.x.v), c.op, Flt(c.y.v)), c.shown);
    }
    Exec(Flt(F("1.25")), opRound, Flt(1));
    EXPECT_EQ(m.X.f(), F("1.3"));
    // 2^63 + 1: whole already, and hundreds still round.
    Exec(Flt(F("9223372036854775809.0")), opRound, Flt(0));
    EXPECT_EQ(m.X.f(), F("9223372036854775809.0"));
    Exec(Flt(F("9223372036854775809.0")), opRound, Flt(-2));
    EXPECT_EQ(m.X.f(), F("9223372036854775800.0"));
    // A denormal result is no fault either.
    EXPECT_EQ(Fault(Flt(Extended(32, 0)), opDiv, Flt(8)), "");
    EXPECT_EQ(m.X.f(), Extended(4, 0));
}

struct FaultCase {
    CalcValue x;
    int32_t op;
    CalcValue y;
    std::string message;
};

TEST_F(OpsTest, FaultsRaiseTheirMessage) {
    const std::string inv = "Invalid floating point operation";
    const std::string div = "Division by zero";
    const std::string ovf = "Floating point overflow";
    const FaultCase cases[] = {
        {Dec(5), opDiv, Dec(0), "Word128: divide by zero"},
        {Flt(5), opDiv, Flt(0), div},
        {Flt(0), opDiv, Flt(0), inv},
        {Flt(F("1e4000")), opMul, Flt(F("1e4000")), ovf},
        {Flt(F("1e4932")), opAdd, Flt(F("1e4932")), ovf},
        {Flt(-8), opPow, Flt(Hex80("3FFDAAAAAAAAAAAAAAAB")), inv},
        {Flt(0), opPow, Flt(-1), div},
        {Flt(0), opPow, Flt(F("-0.5")), div},
        {Flt(10), opPow, Flt(5000), ovf},
        {Flt(10), opPow, Flt(-5000), ""},  // 10^-5000 underflows to 0, silently
        {Flt(2), opPow, Flt(F("100000.5")), ovf},
        {Flt(P2(63)), opAnd, Flt(1), inv},
        {Flt(1), opOr, Flt(P2(63).Negated()), inv},
        {Flt(F("1e30")), opXor, Flt(1), inv},
        {Flt(Extended::QuietNaN()), opAnd, Flt(1), inv},
        {Flt(Extended::QuietNaN()), opLt, Flt(1), inv},
        {Flt(1), opGe, Flt(Extended::QuietNaN()), inv},
        {Flt(Extended::QuietNaN()), opRound, Flt(0), inv},
        {Flt(1), opRound, Flt(5000), ovf},
        {Flt(1), opRound, Flt(-5000), ovf},
        {Flt(-8), opLogN, Flt(2), inv},
        {Flt(0), opLogN, Flt(2), div},
        {Flt(8), opLogN, Flt(-2), inv},
        {Flt(8), opLogN, Flt(0), div},
        {Flt(8), opLogN, Flt(1), div},
        {Flt(1), opLogN, Flt(1), inv},
        {Flt(0), opLogN, Flt(-1), div},  // ln X is taken first and decides
        {Flt(-1), opLogN, Flt(0), inv},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(ValueText(c.x) + " op " + std::to_string(c.op) + " " + ValueText(c.y));
        EXPECT_EQ(Fault(c.x, c.op, c.y), c.message);
    }
}

// After a fault the modes are reconciled and nothing else has moved: the
// operation is still pending, the display and the entry are as they were.
TEST_F(OpsTest, FaultLeavesTheMachineAsItWas) {
    const CalcValue* const shownBefore[] = {&m.Y, &m.X, &kErrorValue};
    for (const CalcValue* shown : shownBefore) {
        m.Shown = shown;
        m.NewEntry = false;
        EXPECT_EQ(Fault(Dec(5), opDiv, Flt(0)), "Division by zero");
        EXPECT_EQ(m.X, Flt(5));
        EXPECT_EQ(m.Y, Flt(0));
        EXPECT_EQ(m.PendingOp, opDiv);
        EXPECT_EQ(m.Shown, shown);
        EXPECT_FALSE(m.NewEntry);

        EXPECT_EQ(Fault(Flt(F("7.5")), opDiv, Hex("0")), "Word128: divide by zero");
        EXPECT_EQ(m.X, Hex("7"));
        EXPECT_EQ(m.PendingOp, opDiv);
        EXPECT_EQ(m.Shown, shown);
        EXPECT_FALSE(m.NewEntry);
    }
}

TEST_F(OpsTest, DivisionByZeroFailsAgainOnEquals) {
    Keys("5/0");
    tape.clear();
    try {
        m.KeyChar('=');
        FAIL() << "5 / 0 = did not raise";
    } catch (const DivByZeroError& e) {
        EXPECT_STREQ(e.what(), "Word128: divide by zero");
    }
    EXPECT_EQ(m.DisplayText(), "0");
    EXPECT_EQ(tape, std::vector<std::string>{"/ 0"});
    EXPECT_THROW(m.KeyChar('='), DivByZeroError);
    EXPECT_EQ(m.PendingOp, opDiv);
    m.KeyChar('c');
    EXPECT_EQ(m.DisplayText(), "0");
    Keys("6+1=");
    EXPECT_EQ(m.DisplayText(), "7");
}

TEST_F(OpsTest, KeySequences) {
    struct Case {
        ValueMode mode;
        std::string keys;
        std::string shown;
        std::vector<std::string> tape;
    };
    const Case cases[] = {
        {vmDec, "2+3*4=", "20", {"2", "+ 3", "* 4", "= 20"}},
        {vmDec, "2^10=", "1024", {"2", "^ 10", "= 1024"}},
        {vmDec, "9&5|2%8=", "11", {"9", "& 5", "| 2", "% 8", "= 11"}},
        {vmDec, "3<4=", "1", {"3", "< 4", "= 1"}},
        {vmDec, "4?4=", "1", {"4", "?= 4", "= 1"}},
        {vmHex, "F+1=", "10", {"Fh", "+ 1h", "= 10h"}},
        {vmFloat, "1.5*4=", "6", {"1.5", "* 4", "= 6"}},
        {vmFloat, "2^.5=", "1.414213562373095", {"2", "^ 0.5", "= 1.414213562373095"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        m.SetMode(c.mode);
        m.KeyChar('c');
        tape.clear();
        Keys(c.keys);
        EXPECT_EQ(m.DisplayText(), c.shown);
        EXPECT_EQ(tape, c.tape);
    }
}

TEST_F(OpsTest, ButtonOperatorsThroughOpSet) {
    m.SetMode(vmHex);
    Keys("1");
    m.KeyString("|<");
    Keys("4");
    m.OpSet(opLBits);  // 16 LBT 4
    Keys("4");
    m.KeyString("=");
    EXPECT_EQ(m.DisplayText(), "F000");

    m.SetMode(vmDec);
    Keys("1251");
    m.OpSet(opRound);
    Keys("2");
    m.FnNeg();
    m.KeyString("=");
    EXPECT_EQ(m.DisplayText(), "1300");

    m.SetMode(vmFloat);
    Keys("8");
    m.OpSet(opLogN);
    Keys("2");
    m.KeyString("=");
    EXPECT_EQ(m.DisplayText(), "3");
}

}  // namespace
