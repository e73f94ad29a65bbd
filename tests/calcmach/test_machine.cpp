// The machine end to end: key sequences in, display text and tape lines out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "machine_rig.h"

namespace {

struct Sequence {
    ValueMode mode;
    const char* keys;
    const char* display;
    std::vector<std::string> tape;
};

void PrintTo(const Sequence& s, std::ostream* os) { *os << ModeName(s.mode) << " \"" << s.keys << '"'; }

class KeySequences : public ::testing::TestWithParam<Sequence> {};

TEST_P(KeySequences, GiveDisplayAndTape) {
    const Sequence& s = GetParam();
    MachineRig rig(s.mode);
    rig.Keys(s.keys);
    EXPECT_EQ(rig.Display(), s.display);
    EXPECT_EQ(rig.tape, s.tape);
}

INSTANTIATE_TEST_SUITE_P(
    Evaluation, KeySequences,
    ::testing::Values(
        // Strictly left to right, no precedence.
        Sequence{vmDec, "2 + 3 * 4 =", "20", {"2", "+ 3", "* 4", "= 20"}},
        Sequence{vmDec, "10 - 4 - 3 =", "3", {"10", "- 4", "- 3", "= 3"}},
        Sequence{vmDec, "2 + ( 3 * 4 ) =", "14", {"2", "+ ( 3", "* 4", ") + 12", "+ 12", "= 14"}},
        Sequence{vmDec, "( 5 ) =", "5", {"( ) 5", "= 5"}},
        Sequence{vmDec,
                 "( 2 + 3 ) * ( 4 - 1 ) =",
                 "15",
                 {"( 2", "+ 3", ") 5", "5", "* ( 4", "- 1", ") * 3", "* 3", "= 15"}},
        Sequence{vmDec,
                 "2 * ( 3 + ( 4 - 1 ) ) =",
                 "12",
                 {"2", "* ( 3", "+ ( 4", "- 1", ") + 3", "+ 3", ") * 6", "* 6", "= 12"}},
        // An operator shows the entry while nothing was pending, the running
        // result afterwards.
        Sequence{vmDec, "7 +", "7", {"7"}}, Sequence{vmDec, "7 + 2 *", "9", {"7", "+ 2"}},
        Sequence{vmDec, "7 + (", "0", {"7"}},
        // The second operator executes with the entry still holding 5.
        Sequence{vmDec, "5 + + 3 =", "13", {"5", "+ 5", "+ 3", "= 13"}}, Sequence{vmDec, "5 =", "5", {"= 5"}},
        Sequence{vmDec, "5 = =", "5", {"= 5", "= 5"}},
        Sequence{vmDec, "2 + 3 = =", "5", {"2", "+ 3", "= 5", "= 5"}},
        // After "=" a digit starts a new number, an operator continues.
        Sequence{vmDec, "2 + 3 = 4", "4", {"2", "+ 3", "= 5"}},
        Sequence{vmDec, "2 + 3 = + 1 =", "6", {"2", "+ 3", "= 5", "5", "+ 1", "= 6"}},
        Sequence{vmDec, "2 + 3 = 7 * 2 =", "14", {"2", "+ 3", "= 5", "7", "* 2", "= 14"}},
        Sequence{vmDec, "3 - 5 =", "-2", {"3", "- 5", "= -2"}},
        Sequence{vmDec, "12 neg + 2 =", "-10", {"-12", "+ 2", "= -10"}},
        // Opcode 0 finishes the pending operation and leaves nothing pending,
        // so "=" then takes the entry as it is.
        Sequence{vmDec, "4 + 1 op0", "5", {"4", "+ 1"}},
        Sequence{vmDec, "4 + 1 op0 =", "1", {"4", "+ 1", "= 1"}},
        // "=" replaces the error display of an unsupported operation.
        Sequence{vmDec, "9 op20 2 op0", "*** ERROR ***", {"9", "LOGn 2"}},
        Sequence{vmDec, "9 op20 2 =", "9", {"9", "LOGn 2", "= 9"}},
        // Comparisons: key ">=" writes "=> ", "?" writes "?= ".
        Sequence{vmDec, "5 >= 3 =", "1", {"5", "=> 3", "= 1"}},
        Sequence{vmDec, "5 ? 3 =", "0", {"5", "?= 3", "= 0"}},
        Sequence{vmDec, "1 |< 4 >| 1 =", "8", {"1", "|< 4", ">| 1", "= 8"}},
        // Radix suffixes on every line, none for the address modes.
        Sequence{vmHex, "F + 1 =", "10", {"Fh", "+ 1h", "= 10h"}},
        Sequence{vmOct, "7 + 1 =", "10", {"7o", "+ 1o", "= 10o"}},
        Sequence{vmBin, "101 * 11 =", "1111", {"101b", "* 11b", "= 1111b"}},
        Sequence{vmIPv4, "10.0.0.1 + 255 =", "10.0.1.0", {"10.0.0.1", "+ 255", "= 10.0.1.0"}},
        Sequence{vmIPv6, "FE80::1 + 1 =", "fe80::2", {"fe80::1", "+ ::1", "= fe80::2"}},
        // The tape shows the value, not the entry text: 1.50 is written 1.5.
        Sequence{vmFloat, "1.50 + 2.25 =", "3.75", {"1.5", "+ 2.25", "= 3.75"}},
        Sequence{vmFloat, "1 / 4 =", "0.25", {"1", "/ 4", "= 0.25"}}, Sequence{vmFloat, "c", "0", {"0"}},
        Sequence{vmDec, "5 + 3 c", "0", {"5", "0"}}, Sequence{vmDec, "5 + ( 3 c 2 =", "2", {"5", "0", "= 2"}},
        Sequence{vmDec, "5 ca", "0", {"0"}}));

INSTANTIATE_TEST_SUITE_P(
    Errors, KeySequences,
    ::testing::Values(
        // "=" with open parentheses shows the error and keeps them open.
        Sequence{vmDec, "5 + ( ( 1 ) =", "*** ERROR ***", {"5", "+ ( ( ) 1"}},
        Sequence{vmDec, "5 + ( ( 1 ) = ) =", "6", {"5", "+ ( ( ) 1", ") + 1", "+ 1", "= 6"}},
        // The error display is not sticky.
        Sequence{vmDec, ")", "*** ERROR ***", {}}, Sequence{vmDec, ") 7", "7", {}},
        Sequence{vmDec, "4 ) + 1 =", "5", {"4", "+ 1", "= 5"}},
        // An unsupported operation leaves the error on the display, "="
        // then shows the accumulator again.
        Sequence{vmFloat, "2 |< 1 +", "*** ERROR ***", {"2", "|< 1"}},
        Sequence{vmFloat, "2 |< 1 =", "2", {"2", "|< 1", "= 2"}},
        Sequence{vmFloat, "2 |< 1 + 1 =", "3", {"2", "|< 1", "+ 1", "= 3"}},
        // A negative integer exponent leaves the error value in X; "=" copies
        // it into the entry, which then takes radix-10 digits and displays
        // every non-zero number as the error.
        Sequence{vmDec, "3 ^ 1 neg =", "*** ERROR ***", {"3", "^ -1", "= *** ERROR ***"}},
        Sequence{vmDec, "3 ^ 1 neg = 5", "*** ERROR ***", {"3", "^ -1", "= *** ERROR ***"}},
        // So does ")": the error value stays the error value instead of
        // turning into the number -2^127 of its payload.
        Sequence{vmDec, "( 2 ^ 1 neg )", "*** ERROR ***", {"( 2", "^ -1", ") *** ERROR ***"}},
        Sequence{vmDec,
                 "5 + ( 2 ^ 1 neg ) =",
                 "*** ERROR ***",
                 {"5", "+ ( 2", "^ -1", ") + *** ERROR ***", "+ *** ERROR ***", "= *** ERROR ***"}},
        Sequence{vmHex,
                 "( 2 ^ 1 neg ) =",
                 "*** ERROR ***",
                 {"( 2h", "^ FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFh", ") *** ERROR ***", "= *** ERROR ***"}},
        // Clear keeps the error mode: the entry shows 0, the tape the error.
        Sequence{vmDec, "3 ^ 1 neg = c", "0", {"3", "^ -1", "= *** ERROR ***", "*** ERROR ***"}},
        Sequence{vmDec,
                 "3 ^ 1 neg = c mode:vmDec 5 + 1 =",
                 "6",
                 {"3", "^ -1", "= *** ERROR ***", "*** ERROR ***", "5", "+ 1", "= 6"}}));

INSTANTIATE_TEST_SUITE_P(
    Registers, KeySequences,
    ::testing::Values(
        Sequence{vmDec, "5 + 3 = sto1 c rcl1 * 2 =", "16", {"5", "+ 3", "= 8", "0", "8", "* 2", "= 16"}},
        // sto stores the entry while typing, and ends it.
        Sequence{vmDec, "42 sto0 7 rcl0 =", "42", {"= 42"}},
        // Right after "(" the display is X with payload 0.
        Sequence{vmDec, "9 + ( sto2 1 ) rcl2 =", "9", {"9", "+ ( ) + 1", "+ 0", "= 9"}},
        // A recalled value is an operand; a digit replaces it.
        Sequence{vmDec, "6 sto3 c 1 + rcl3 =", "7", {"0", "1", "+ 6", "= 7"}},
        Sequence{vmDec, "6 sto3 c rcl3 2 =", "2", {"0", "= 2"}},
        // The register keeps its mode: recalling hex into a decimal entry
        // makes the entry hex.
        Sequence{vmHex, "FF sto4 mode:vmDec 1 + rcl4 =", "100", {"1", "+ FFh", "= 100h"}}));

INSTANTIATE_TEST_SUITE_P(
    ModeInsideParentheses, KeySequences,
    ::testing::Values(
        Sequence{vmDec, "5 + ( mode:vmFloat 2.5 ) =", "7.5", {"5", "+ ( ) + 2.5", "+ 2.5", "= 7.5"}},
        Sequence{vmFloat, "7.5 * ( mode:vmDec 2 ) =", "14", {"7.5", "* ( ) * 2", "* 2", "= 14"}},
        // Between integer modes the bits are kept.
        Sequence{vmDec, "1 neg + ( mode:vmHex 1 ) =", "0", {"-1", "+ ( ) + 1h", "+ 1h", "= 0h"}}));

TEST(Machine, NewMachineIsZeroAndShowsTheEntry) {
    OpenMachine m;
    EXPECT_EQ(m.PendingOp, 0);
    EXPECT_EQ(m.ParenDepth, 0);
    EXPECT_TRUE(m.ShowsY());
    EXPECT_TRUE(m.NewEntry);
    EXPECT_EQ(m.X, kZeroValue);
    EXPECT_EQ(m.Y, kZeroValue);
    for (const CalcValue& r : m.Regs) EXPECT_EQ(r, kZeroValue);
    EXPECT_TRUE(m.TapePrefix.empty());
    EXPECT_FALSE(m.OnTapeLine);
    EXPECT_EQ(m.DisplayText(), "0");
}

// A reset machine is a new one with its tape receiver kept: the same fields,
// and the same display and tape for whatever is typed next.
TEST(Machine, ResetGivesTheStateOfANewMachine) {
    struct Case {
        ValueMode mode;
        const char* before;
    };
    const Case cases[] = {
        {vmFloat, "2 + ( 3 * ( 1.25"},  // open parentheses, pending, a fraction typed
        {vmDec, "7 sto3 5 neg"},        // a register, a negated entry
        {vmIPv6, "FE80 : :"},           // a "::" head
        {vmHex, "5 )"},                 // the error value shown
        {vmIPv4, "10 . 1 + 2 ="},       // a result shown
    };
    const char* const after = "1 ) 2 + rcl3 * ( 3 : . 4 ) = 5 neg 6 bs";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        MachineRig used(c.mode);
        used.Keys(c.before);
        used.tape.clear();
        used.m.Reset();
        EXPECT_TRUE(used.tape.empty());
        ASSERT_TRUE(used.m.OnTapeLine);

        const OpenMachine fresh;
        EXPECT_EQ(used.m.X, fresh.X);
        EXPECT_EQ(used.m.Y, fresh.Y);
        EXPECT_TRUE(used.m.ShowsY());
        EXPECT_EQ(used.m.Regs, fresh.Regs);
        EXPECT_EQ(used.m.ParenDepth, fresh.ParenDepth);
        EXPECT_EQ(used.m.PendingOp, fresh.PendingOp);
        EXPECT_EQ(used.m.NewEntry, fresh.NewEntry);
        EXPECT_EQ(used.m.FracDigits, fresh.FracDigits);
        EXPECT_EQ(used.m.EntryNeg, fresh.EntryNeg);
        EXPECT_EQ(used.m.LastKey, fresh.LastKey);
        EXPECT_EQ(used.m.HeadMask, fresh.HeadMask);
        EXPECT_EQ(used.m.EntryDigits, fresh.EntryDigits);
        EXPECT_EQ(used.m.TapePrefix, fresh.TapePrefix);
        EXPECT_EQ(used.Display(), fresh.DisplayText());

        MachineRig other(c.mode);
        used.m.SetMode(c.mode);
        used.Keys(after);
        other.Keys(after);
        EXPECT_EQ(used.Display(), other.Display());
        EXPECT_EQ(used.tape, other.tape);
    }
}

// The key and the tape symbol of each operator; ">=" and "?" write symbols
// of their own.
TEST(Machine, EveryOperatorKeyWritesItsSymbol) {
    const struct {
        const char* key;
        const char* line;
    } rows[] = {
        {"+", "+ 2"}, {"-", "- 2"},   {"*", "* 2"},   {"/", "/ 2"},   {"^", "^ 2"},   {"&", "& 2"},
        {"|", "| 2"}, {"%", "% 2"},   {"|<", "|< 2"}, {">|", ">| 2"}, {"<<", "<< 2"}, {">>", ">> 2"},
        {"<", "< 2"}, {"<=", "<= 2"}, {">", "> 2"},   {">=", "=> 2"}, {"?", "?= 2"},
    };
    for (const auto& r : rows) {
        MachineRig rig(vmDec);
        rig.Keys("6");
        ASSERT_TRUE(rig.m.KeyString(r.key)) << r.key;
        rig.Keys("2 =");
        ASSERT_EQ(rig.tape.size(), 3u) << r.key;
        EXPECT_EQ(rig.tape[1], r.line);
    }
}

TEST(Machine, OpSetOutOfRangeThrowsAndChangesNothing) {
    for (int32_t op : {21, -1, 1000, INT32_MIN}) {
        MachineRig rig(vmDec);
        rig.Keys("4 + 3");
        try {
            rig.m.OpSet(op);
            ADD_FAILURE() << "no error for opcode " << op;
        } catch (const RangeError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "CcalcMach.OpSet: opcode " + std::to_string(op) + " is out of range.");
        }
        EXPECT_EQ(rig.tape, std::vector<std::string>{"4"});
        EXPECT_EQ(rig.m.PendingOp, opAdd);
        rig.Keys("=");
        EXPECT_EQ(rig.Display(), "7");
    }
}

TEST(Machine, ParenthesesNest254Deep) {
    MachineRig rig(vmDec);
    rig.Keys(Repeat("( ", 254));
    EXPECT_EQ(rig.m.ParenDepth, 254);
    EXPECT_EQ(rig.Display(), "0");
    const std::string prefix = rig.m.TapePrefix;
    EXPECT_EQ(prefix.size(), 255u);

    rig.Keys("(");  // the 255th
    EXPECT_EQ(rig.Display(), "*** ERROR ***");
    EXPECT_EQ(rig.m.ParenDepth, 254);
    EXPECT_EQ(rig.m.TapePrefix, prefix);

    rig.Keys("1 + 2 " + Repeat(") ", 254) + "=");
    EXPECT_EQ(rig.m.ParenDepth, 0);
    EXPECT_EQ(rig.Display(), "3");
    ASSERT_FALSE(rig.tape.empty());
    for (const std::string& line : rig.tape) EXPECT_LE(line.size(), 255u);
    // The first line carries the prefix cut at 255 bytes, the value is lost.
    EXPECT_EQ(rig.tape.front(), prefix);
    EXPECT_EQ(rig.tape.back(), "= 3");
}

TEST(Machine, ParenthesesKeepPendingOperationsAtEveryLevel) {
    // 1 + (1 + (1 + ... (1) ...)) with 100 levels adds up to 101.
    MachineRig rig(vmDec);
    rig.Keys(Repeat("1 + ( ", 100) + "1 " + Repeat(") ", 100) + "=");
    EXPECT_EQ(rig.Display(), "101");
}

TEST(Machine, ClearAllResetsRegistersClearDoesNot) {
    MachineRig rig(vmHex);
    rig.Keys("AB sto5 c");
    EXPECT_EQ(rig.m.Regs[5], CalcValue::Int(vmHex, Word128(0xAB, 0)));
    ASSERT_TRUE(rig.m.KeyChar('c'));
    EXPECT_EQ(rig.m.Regs[5].mode, vmHex);

    rig.tape.clear();
    ASSERT_TRUE(rig.m.KeyString("ca"));
    EXPECT_EQ(rig.tape, std::vector<std::string>{"0h"});
    for (const CalcValue& r : rig.m.Regs) EXPECT_EQ(r, kZeroValue);
    EXPECT_EQ(rig.m.Y.mode, vmHex);  // the entry keeps its mode
}

TEST(Machine, ClearDropsParenthesesPendingAndPrefix) {
    MachineRig rig(vmDec);
    rig.Keys("5 + ( 2 * ( 3 c");
    EXPECT_EQ(rig.m.ParenDepth, 0);
    EXPECT_EQ(rig.m.PendingOp, 0);
    EXPECT_TRUE(rig.m.TapePrefix.empty());
    EXPECT_EQ(rig.tape.back(), "0");
    rig.Keys(")");
    EXPECT_EQ(rig.Display(), "*** ERROR ***");
}

TEST(Registers, RangeErrors) {
    MachineRig rig(vmDec);
    rig.Keys("7 sto15");
    EXPECT_EQ(rig.m.Regs[15], CalcValue::Int(vmDec, Word128(7, 0)));
    struct Bad {
        bool store;
        int32_t n;
        const char* message;
    };
    for (const Bad& b : {Bad{true, 16, "CcalcMach.sto: invalid register 16"},
                         Bad{true, -1, "CcalcMach.sto: invalid register -1"},
                         Bad{false, -1, "CcalcMach.rcl: invalid register -1"},
                         Bad{false, 16, "CcalcMach.rcl: invalid register 16"},
                         Bad{false, INT32_MAX, "CcalcMach.rcl: invalid register 2147483647"}}) {
        rig.Keys("c 12");
        try {
            if (b.store) {
                rig.m.sto(b.n);
            } else {
                rig.m.rcl(b.n);
            }
            ADD_FAILURE() << "no error for " << b.message;
        } catch (const RangeError& e) {
            EXPECT_STREQ(e.what(), b.message);
        }
        // Nothing changed: the entry is still being typed.
        rig.Keys("3");
        EXPECT_EQ(rig.Display(), "123");
    }
}

TEST(Registers, StoreWhatIsShown) {
    MachineRig rig(vmDec);
    rig.Keys(")");  // shows the error value
    rig.m.sto(0);
    EXPECT_EQ(rig.m.Regs[0], kErrorValue);
    EXPECT_EQ(ValueText(rig.m.Regs[0]), "*** ERROR ***");

    rig.Keys("2 + 3 =");
    rig.m.sto(1);
    EXPECT_EQ(rig.m.Regs[1], CalcValue::Int(vmDec, Word128(5, 0)));
    // The display does not change, and no line is written.
    const std::size_t lines = rig.tape.size();
    rig.m.sto(2);
    rig.m.rcl(2);
    EXPECT_EQ(rig.tape.size(), lines);
    EXPECT_EQ(rig.Display(), "5");
}

TEST(Tape, ReceiverReadsTheShownValueOfItsMoment) {
    MachineRig rig(vmDec);
    rig.Keys("2 + 3 * 4 =");
    ASSERT_EQ(rig.tapeValues.size(), 4u);
    // Operator lines are written while the operand just typed is shown, the
    // "=" line once the result is.
    EXPECT_EQ(ValueText(rig.tapeValues[0]), "2");
    EXPECT_EQ(ValueText(rig.tapeValues[1]), "3");
    EXPECT_EQ(ValueText(rig.tapeValues[2]), "4");
    EXPECT_EQ(ValueText(rig.tapeValues[3]), "20");
}

TEST(Tape, NoteKeepsPrefixAndPendingOperation) {
    MachineRig rig(vmDec);
    rig.Keys("2 + ( 7");
    rig.m.TapeNote("ABS ");
    EXPECT_EQ(rig.tape.back(), "ABS 7");
    EXPECT_EQ(rig.m.TapePrefix, "+ ( ");
    rig.Keys("* 2 ) =");
    EXPECT_EQ(rig.tape, (std::vector<std::string>{"2", "ABS 7", "+ ( 7", "* 2", ") + 14", "+ 14", "= 16"}));
}

TEST(Tape, LongLinesAreCutAt255Bytes) {
    MachineRig rig(vmBin);
    rig.Keys(Repeat("1", 128) + " +");
    ASSERT_EQ(rig.tape.size(), 1u);
    EXPECT_EQ(rig.tape[0], Repeat("1", 128) + "b");
    rig.m.TapeNote(Repeat("x", 300));
    EXPECT_EQ(rig.tape.back(), Repeat("x", 255));
}

TEST(Tape, WithoutReceiverTheMachineWorksTheSame) {
    OpenMachine m;
    for (char c : std::string("2+(3*4)")) m.KeyChar(c);
    EXPECT_TRUE(m.TapePrefix.empty());
    m.Equals();
    EXPECT_EQ(m.DisplayText(), "14");
}

TEST(KeyDispatch, KeyStringAndKeyChar) {
    struct Case {
        ValueMode mode;
        std::string key;
        bool viaChar;
        bool accepted;
        const char* display;  // after typing 5 first
    };
    const Case cases[] = {
        {vmDec, "", false, true, "5"},    {vmDec, "xyz", false, false, "5"},
        {vmDec, "a", true, false, "5"},  // lower case is neither a digit nor a key
        {vmDec, "q", true, false, "5"},  // not a key of the machine
        {vmDec, "A", true, false, "5"},  // a digit the decimal mode rejects
        {vmHex, "A", true, true, "5A"},   {vmHex, "G", true, false, "5"},
        {vmDec, "7", true, true, "57"},   {vmDec, "c", true, true, "0"},
        {vmDec, "\b", true, true, "0"},  // backspace: 5 becomes 0
        {vmDec, "+", true, true, "5"},    {vmDec, ")", true, true, "*** ERROR ***"},
        {vmDec, "C", true, false, "5"},  // C is a hex digit, rejected in decimal
        {vmDec, "CA", false, false, "5"}, {vmDec, "c ", false, false, "5"},
        {vmDec, "=", true, true, "5"},
    };
    for (const Case& c : cases) {
        MachineRig rig(c.mode);
        rig.Keys("5");
        const bool got = c.viaChar ? rig.m.KeyChar(c.key[0]) : rig.m.KeyString(c.key);
        EXPECT_EQ(got, c.accepted) << '"' << c.key << '"';
        EXPECT_EQ(rig.Display(), c.display) << '"' << c.key << '"';
    }
}

TEST(KeyDispatch, TwoCharacterKeysNeedKeyString) {
    MachineRig rig(vmDec);
    rig.Keys("1");
    // "<" then "<" are two comparisons, not a rotation.
    EXPECT_TRUE(rig.m.KeyChar('<'));
    EXPECT_TRUE(rig.m.KeyChar('<'));
    EXPECT_EQ(rig.m.PendingOp, opLt);
    EXPECT_TRUE(rig.m.KeyString("<<"));
    EXPECT_EQ(rig.m.PendingOp, opRol);
    EXPECT_FALSE(rig.m.KeyChar('\0'));
}

TEST(KeyDispatch, EveryByteIsSafe) {
    for (int b = -128; b < 128; ++b) {
        for (ValueMode mode : {vmDec, vmHex, vmIPv4, vmIPv6, vmFloat}) {
            MachineRig rig(mode);
            const char c = static_cast<char>(b);
            const bool digitLike = c == '.' || c == ':' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
            const bool isKey = std::string_view("+-*/^&|%<>?=()c\b").find(c) != std::string_view::npos;
            const bool accepted = rig.m.KeyChar(c);
            if (!digitLike && !isKey) {
                EXPECT_FALSE(accepted) << b;
            }
            if (isKey) {
                EXPECT_TRUE(accepted) << b;
            }
            EXPECT_LE(rig.Display().size(), 255u);
        }
    }
}

TEST(EvalText, TypesEveryCharacterThenEquals) {
    MachineRig rig(vmDec);
    CalcValue out;
    rig.m.EvalText("2+3*4", out);
    EXPECT_EQ(out, CalcValue::Int(vmDec, Word128(20, 0)));
    EXPECT_EQ(rig.tape, (std::vector<std::string>{"2", "+ 3", "* 4", "= 20"}));

    rig.tape.clear();
    rig.m.EvalText("(1+2)*(3+4)", out);
    EXPECT_EQ(out, CalcValue::Int(vmDec, Word128(21, 0)));
    EXPECT_EQ(rig.tape.back(), "= 21");

    // Unknown characters are skipped; open parentheses leave the error shown.
    rig.m.EvalText("c 5 x 6", out);
    EXPECT_EQ(out, CalcValue::Int(vmDec, Word128(56, 0)));
    rig.m.EvalText("(5", out);
    EXPECT_EQ(out, kErrorValue);
    EXPECT_EQ(rig.m.ParenDepth, 1);
}

TEST(EvalText, FloatAndHex) {
    MachineRig rig(vmFloat);
    CalcValue out;
    rig.m.EvalText("1.5*4", out);
    EXPECT_EQ(out, CalcValue::Float(Extended::FromInt64(6)));
    rig.m.SetMode(vmHex);
    rig.m.EvalText("FF+1", out);
    EXPECT_EQ(out, CalcValue::Int(vmHex, Word128(0x100, 0)));
}

TEST(Faults, DivisionByZeroLeavesTheDivisionPending) {
    MachineRig rig(vmDec);
    rig.Keys("5 / 0");
    try {
        rig.m.KeyString("=");
        ADD_FAILURE() << "no error";
    } catch (const DivByZeroError& e) {
        EXPECT_STREQ(e.what(), "Word128: divide by zero");
    }
    EXPECT_EQ(rig.m.PendingOp, opDiv);
    EXPECT_EQ(rig.tape, (std::vector<std::string>{"5", "/ 0"}));
    EXPECT_THROW(rig.m.KeyString("="), DivByZeroError);
    rig.Keys("c 1 + 1 =");
    EXPECT_EQ(rig.Display(), "2");
}

}  // namespace
