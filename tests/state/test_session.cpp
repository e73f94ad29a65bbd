// The tape and the state session without a window: what the calculator
// keeps of a calculation, and how a run reads and writes its state file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "state/session.h"
#include "state_test_util.h"

namespace {

Tape Numbered(int from, int to) {
    Tape tape;
    for (int i = from; i <= to; ++i)
        tape.Append(IntValue(vmDec, static_cast<uint64_t>(i)), "= " + std::to_string(i));
    return tape;
}

TEST(Tape, KeepsTheNewestHundredRows) {
    const Tape tape = Numbered(1, 101);
    ASSERT_EQ(tape.size(), 100u);
    EXPECT_EQ(tape.front().text, "= 2");
    EXPECT_EQ(tape.front().value, IntValue(vmDec, 2));
    EXPECT_EQ(tape.back().text, "= 101");
    EXPECT_EQ(tape.Appended(), 101u);
    // Row by row in order however many went before.
    const Tape longer = Numbered(1, 250);
    std::size_t k = 0;
    for (const TapeRow& row : longer) EXPECT_EQ(row.text, "= " + std::to_string(151 + k++));
    EXPECT_EQ(k, 100u);
    // Made from rows, it keeps the newest as well.
    EXPECT_EQ(Tape(Numbered(1, 150).Rows()).front().text, "= 51");
}

TEST(Tape, CutsATextAt255Bytes) {
    Tape tape;
    tape.Append(kZeroValue, std::string(300, 'x'));
    EXPECT_EQ(tape[0].text, std::string(255, 'x'));
}

TEST(Tape, ClearCountsOnlyWhenRowsGo) {
    Tape tape = Numbered(1, 3);
    tape.Clear();
    EXPECT_TRUE(tape.empty());
    EXPECT_EQ(tape.Clears(), 1u);
    tape.Clear();
    EXPECT_EQ(tape.Clears(), 1u);
    EXPECT_EQ(tape.Appended(), 3u);
}

// Rows end in column 45, a longer one starts the line; of the registers only
// those whose text is not "0" are listed.
TEST(Tape, ExportText) {
    Tape tape;
    tape.Append(IntValue(vmDec, 5), "5");
    tape.Append(kZeroValue, std::string(46, '7'));
    std::array<CalcValue, kRegisterCount> regs{};
    regs[1] = IntValue(vmDec, 42);
    regs[10] = IntValue(vmHex, 0xFF);
    EXPECT_EQ(TapeExportText(tape, regs), std::string(44, ' ') + "5\n" + std::string(46, '7') + "\n\n\n" +
                                              std::string(45, '-') + "\nR1" + std::string(41, ' ') +
                                              "42\nRA" + std::string(41, ' ') + "FF\n");
    EXPECT_EQ(TapeExportText(Tape(), {}), "\n\n" + std::string(45, '-') + "\n");
}

const char* const kFile =
    "[globals]\r\nmode=vmHex\r\n\r\n[registers]\r\n"
    "vmHex:000000000000000000000000000000FF\r\n"
    "vmFloat:1.5\r\n"
    "vmDec:00000000000000000000000000000000\r\nvmDec:00000000000000000000000000000000\r\n"
    "vmDec:00000000000000000000000000000000\r\nvmDec:00000000000000000000000000000000\r\n"
    "vmDec:00000000000000000000000000000000\r\nvmDec:00000000000000000000000000000000\r\n"
    "vmDec:00000000000000000000000000000000\r\nvmDec:00000000000000000000000000000000\r\n"
    "vmDec:00000000000000000000000000000000\r\nvmDec:00000000000000000000000000000000\r\n"
    "vmDec:00000000000000000000000000000000\r\nvmDec:00000000000000000000000000000000\r\n"
    "vmDec:00000000000000000000000000000000\r\nvmDec:00000000000000000000000000000000\r\n"
    "\r\n[tape]\r\n"
    "vmHex:000000000000000000000000000000FF=FFh\r\n"
    "vmERR:80000000000000000000000000000000=*** ERROR ***\r\n";

// A run that changes nothing writes back the very bytes it read.
TEST(StateSession, LoadsIntoTheMachineAndTapeAndSavesTheSameBytes) {
    TempFolder folder;
    ASSERT_TRUE(folder.Made());
    WriteFile(folder.File(), kFile);
    CcalcMach mach;
    mach.SetMode(vmFloat);
    Tape tape;
    StateSession session(folder.File());
    std::string warning;
    session.Load(mach, tape, warning);
    EXPECT_EQ(warning, "");
    EXPECT_EQ(mach.Mode(), vmHex);
    EXPECT_EQ(ValueText(mach.Register(0)), "FF");
    EXPECT_EQ(ValueText(mach.Register(1)), "1.5");
    ASSERT_EQ(tape.size(), 2u);
    EXPECT_EQ(tape[1].text, "*** ERROR ***");
    EXPECT_EQ(tape[1].value, kErrorValue);

    EXPECT_FALSE(session.Saved());
    EXPECT_EQ(session.Save(mach, tape, WindowState()), "");
    EXPECT_EQ(ReadFile(folder.File()), kFile);
    // Only once: the next call writes nothing.
    std::remove(folder.File().c_str());
    EXPECT_TRUE(session.Saved());
    EXPECT_EQ(session.Save(mach, tape, WindowState()), "");
    EXPECT_EQ(ReadFile(folder.File()), "");
}

// One third stored in R5, the calculator closed and started again: R5 times
// 3 is 1 again, as it was before.
TEST(StateSession, AStoredThirdTimesThreeIsOneAfterARestart) {
    TempFolder folder;
    ASSERT_TRUE(folder.Made());
    CcalcMach before;
    Tape tape;
    StateSession first(folder.File());
    std::string warning;
    first.Load(before, tape, warning);
    before.SetMode(vmFloat);
    CalcValue out;
    before.EvalText("1/3", out);
    before.sto(5);
    ASSERT_EQ(first.Save(before, tape, WindowState()), "");

    CcalcMach after;
    StateSession second(folder.File());
    second.Load(after, tape, warning);
    after.rcl(5);
    after.EvalText("*3", out);
    EXPECT_EQ(after.DisplayText(), "1");
    EXPECT_EQ(RegRepr(after.Register(5)), "vmFloat:0.33333333333333333334");
}

// Two runs on one file: the second saves first. The first cleared its tape
// and wrote a line: the lines it had loaded go, the other run's stay.
TEST(StateSession, AClearedTapeMergesWithAnotherRunsSave) {
    TempFolder folder;
    ASSERT_TRUE(folder.Made());
    StateSnapshot start;
    start.tape = Numbered(1, 2);
    std::string error;
    ASSERT_TRUE(SaveStateFile(folder.File(), start, error)) << error;

    CcalcMach a, b;
    Tape tapeA, tapeB;
    StateSession runA(folder.File()), runB(folder.File());
    std::string warning;
    runA.Load(a, tapeA, warning);
    runB.Load(b, tapeB, warning);
    tapeB.Append(IntValue(vmDec, 7), "= 7");
    ASSERT_EQ(runB.Save(b, tapeB, WindowState()), "");
    tapeA.Clear();
    tapeA.Append(IntValue(vmDec, 8), "= 8");
    ASSERT_EQ(runA.Save(a, tapeA, WindowState()), "");

    const StateSnapshot got = LoadSnapshot(ReadFile(folder.File()));
    ASSERT_EQ(got.tape.size(), 2u);
    EXPECT_EQ(got.tape[0].text, "= 7");
    EXPECT_EQ(got.tape[1].text, "= 8");
}

// A run at 32 bits: the word size comes back after a restart, the registers
// hold what was stored (a 128-bit value stays whole, and is read at 32 bits
// when recalled), and the lines of SAR and the byte swap read back as
// written.
TEST(StateSession, AWordSizeRunComesBackWithItsRegistersAndTape) {
    TempFolder folder;
    ASSERT_TRUE(folder.Made());
    CcalcMach before;
    Tape tape;
    before.SetTapeReceiver([&tape](std::string_view line, const CalcValue& v) { tape.Append(v, line); });
    StateSession first(folder.File());
    std::string warning;
    first.Load(before, tape, warning);
    before.SetMode(vmHex);
    CalcValue out;
    before.EvalText("123456789ABCDEF0", out);  // 128 bits: R1 keeps all of it
    before.sto(1);
    before.SetWordSize(WordBits::k32);
    before.EvalText("0-1", out);  // FFFFFFFF at 32 bits
    before.sto(2);
    before.EvalText("80000000", out);
    before.OpSet(opSar);
    before.EvalText("4", out);
    before.FnByteSwap();
    EXPECT_EQ(before.DisplayText(), "F8");
    ASSERT_EQ(first.Save(before, tape, WindowState()), "");
    const std::string file = ReadFile(folder.File());
    EXPECT_NE(file.find("[globals]\r\nmode=vmHex\r\nwordsize=32\r\n\r\n"), std::string::npos);

    CcalcMach after;
    Tape again;
    StateSession second(folder.File());
    second.Load(after, again, warning);
    EXPECT_EQ(after.WordSize(), WordBits::k32);
    EXPECT_EQ(after.Register(1), IntValue(vmHex, 0x123456789ABCDEF0));
    EXPECT_EQ(ValueText(after.Register(1), after.WordSize()), "9ABCDEF0");  // the register list
    EXPECT_EQ(TapeExportText(again, after.Registers(), after.WordSize()).substr(again.size() * 46 + 48),
              "R1" + std::string(35, ' ') + "9ABCDEF0\nR2" + std::string(35, ' ') + "FFFFFFFF\n");
    after.rcl(1);
    EXPECT_EQ(after.DisplayText(), "9ABCDEF0");
    ASSERT_EQ(again.Rows(), tape.Rows());
    const std::vector<std::string> lines = {"SAR 4h", "= F8000000h", "BSWAP F8000000h"};
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(again[again.size() - lines.size() + i].text, lines[i]);

    // FFFFFFFF stored at 32 bits is -1 there, and so, all 128 bits set, at 128.
    after.SetWordSize(WordBits::k128);
    after.rcl(2);
    EXPECT_EQ(after.DisplayText(), std::string(32, 'F'));
    after.SetMode(vmDec);
    EXPECT_EQ(after.DisplayText(), "-1");
}

}  // namespace
