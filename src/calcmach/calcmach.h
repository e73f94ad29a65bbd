// CcalcMach: the calculator proper, with no user interface. Keys, opcodes and
// function calls go in; the display text and the tape lines come out.
//
// Expressions run strictly left to right as typed; parentheses (254 deep) are
// the only grouping. Merely undefined operations show the error value;
// arithmetic faults and out-of-range arguments throw a CalcError.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "values.h"

// Receives each tape line as it is written, synchronously, with the value
// the display shows at that moment: the value that belongs to the line.
using TapeReceiver = std::function<void(std::string_view line, const CalcValue& shown)>;

// Opcodes of the binary operations.
enum : int32_t {
    opNone = 0,
    opAdd = 1,
    opSub = 2,
    opMul = 3,
    opDiv = 4,
    opPow = 5,
    opAnd = 6,
    opOr = 7,
    opXor = 8,
    opShl = 9,
    opShr = 10,
    opRol = 11,
    opRor = 12,
    opLt = 13,
    opLe = 14,
    opGt = 15,
    opGe = 16,
    opEq = 17,
    opLBits = 18,
    opRound = 19,
    opLogN = 20,
    opEquals = 21,  // labels the "= " tape line only; never executed
    opSar = 22,     // arithmetic shift right: the sign bit comes in
    // Labels the tape line of the byte swap (FnByteSwap), a function of the
    // entry alone; never pending, as opEquals is never executed.
    opByteSwap = 23,
};

constexpr int kOpcodeCount = 24;
// Whether OpSet takes the opcode: 0..20 and opSar; not the two that only
// label tape lines.
constexpr bool IsSettableOp(int32_t op) { return (op >= opNone && op <= opLogN) || op == opSar; }
extern const char* const kTapeSymbols[kOpcodeCount];  // "" , "+ ", ... "= ", "SAR ", "BSWAP "
extern const char* const kKeyTexts[kOpcodeCount];     // "", "+", ... (empty where no key)

constexpr int kRegisterCount = 16;
constexpr int kMaxParenDepth = 254;
// Frames 0..kMaxParenDepth-1 are used; the record keeps one spare at the top.
constexpr std::size_t kParenFrames = kMaxParenDepth + 1;
constexpr std::size_t kMaxText = 255;

struct ParenFrame {
    CalcValue x;
    int32_t op = 0;
};

// The machine's fields as one record. CcalcMach keeps it private: its own
// source files work on it directly (their helpers take a MachineState&),
// everyone else goes through the machine's calls. Beside the fields it has
// only the bookkeeping every operation shares: which value is shown, the end
// of an entry and the tape lines.
struct MachineState {
    MachineState() = default;
    // Shown points into the record itself.
    MachineState(const MachineState&) = delete;
    MachineState& operator=(const MachineState&) = delete;

    CalcValue X;                  // accumulator
    CalcValue Y;                  // entry value
    const CalcValue* Shown = &Y;  // &X, &Y or &kErrorValue
    std::array<CalcValue, kRegisterCount> Regs{};
    std::array<ParenFrame, kParenFrames> ParenStack{};
    uint8_t ParenDepth = 0;
    int32_t PendingOp = opNone;
    // The width of the integers: every integer value above (X, Y, the
    // frames' saved X) is reduced to it; registers keep what was stored and
    // are reduced when recalled.
    WordBits Word = WordBits::k128;

    // Number entry.
    bool NewEntry = true;
    int32_t FracDigits = 0;
    bool EntryNeg = false;
    char LastKey = 0;
    Word128 HeadMask{};
    // The float entry as typed, its value being these digits correctly
    // rounded (with EntryNeg's sign): the integer digits without leading
    // zeros, then "." and the decimals once the point is typed. Empty while
    // no digit has been typed, and for a value that was entered as if typed
    // (the bits panel) until a key extends it.
    std::string EntryDigits;

    // Tape.
    std::string TapePrefix;
    TapeReceiver OnTapeLine;

    // An operation the machine could not carry out since the last reset
    // (ExecOp showed the error value for it).
    bool UndefinedSeen = false;

    bool ShowsX() const { return Shown == &X; }
    bool ShowsY() const { return Shown == &Y; }
    void ShowX() { Shown = &X; }
    void ShowY() { Shown = &Y; }
    void ShowError() { Shown = &kErrorValue; }

    void EndEntry();
    void TapeLine();
    void TapeNote(std::string_view label);
};

class CcalcMach : private MachineState {
    // The machine's white-box tests (tests/calcmach) look at the fields.
    friend struct OpenMachine;

public:
    CcalcMach() = default;

    // The interface, in its declared order.
    void Clear();
    void ClearAll();
    bool Backspace();
    using MachineState::EndEntry;
    void sto(int32_t n);
    void rcl(int32_t n);
    void OpenParen();
    void CloseParen();
    void Equals();
    void ExecOp();
    void FnNot();
    void FnRBits();
    void FnSgn();
    void FnAbs();
    void FnSqrt();
    void FnSin();
    void FnCos();
    void FnNeg();
    // Reverses the order of the word's bytes (N/8 of them), for a change of
    // endianness; the tape line ("BSWAP ") shows the value before.
    void FnByteSwap();
    void SetValue(const CalcValue& v);
    void SetMode(ValueMode m);
    void OpSet(int32_t op);
    bool KeyString(std::string_view key);
    bool DigitKey(char c);
    bool KeyChar(char c);
    void EvalText(std::string_view text, CalcValue& out);
    std::string EntryText() const;
    std::string DisplayText() const;
    using MachineState::TapeLine;
    using MachineState::TapeNote;

    // The word size. Changing it reduces the shown value, the entry, the
    // accumulator (the pending operand) and the values saved by open
    // parentheses to the new width and ends an entry being typed; the
    // registers and the tape keep what they hold. No tape line.
    void SetWordSize(WordBits n);
    WordBits WordSize() const { return Word; }

    // Back to the state of a new machine (128 bits wide): every value and
    // register vmDec 0, nothing pending, no parenthesis open, a new entry
    // shown. The tape
    // receiver stays and no tape line is written. Frames above the depth are
    // not cleared: they are always written before they are read.
    void Reset();

    // What the window, the state file and qzcalc read.
    ValueMode Mode() const { return Y.mode; }
    const CalcValue& ShownValue() const { return *Shown; }
    using MachineState::ShowsY;
    int ParenCount() const { return ParenDepth; }
    const CalcValue& Register(int n) const { return Regs.at(static_cast<std::size_t>(n)); }
    const std::array<CalcValue, kRegisterCount>& Registers() const { return Regs; }
    // A number is being typed: the next digit extends it.
    bool EntryStarted() const { return !NewEntry; }
    // The entry takes its digits negated (the sign change).
    bool EntryNegative() const { return EntryNeg; }
    bool SawUndefined() const { return UndefinedSeen; }

    // What the window and the state file set besides the operations. The
    // receiver is installed once, by the owner. LoadMode writes the entry's
    // mode as a saved state has it, without converting its payload (as
    // SetMode would; an integer payload is reduced to the word);
    // LoadRegister a saved register (n 0..15, else nothing).
    void SetTapeReceiver(TapeReceiver receiver) { OnTapeLine = std::move(receiver); }
    void LoadMode(ValueMode m) {
        Y.mode = m;
        Y = Reduced(Y, Word);
    }
    void LoadRegister(int n, const CalcValue& v);
    // Shows the error value; the values themselves stay as they are.
    using MachineState::ShowError;

    // The bits panel (bits.cpp). BitsValue: the value whose bits are shown,
    // the shown value read in the entry's mode (the error value and the
    // modes with no text form as they are). ToggleBit: flips bit n of it
    // (0 to the word size - 1, or 0-79 of a float) and makes the result the entry as if
    // typed, with no tape line; false, and no change, where the value's
    // bits cannot be toggled or n is outside the grid. EnterNumber: selects
    // the integer mode m as the mode buttons do (SetMode), then enters v as
    // if typed; a range error for a mode outside vmDec..vmIPv6.
    CalcValue BitsValue() const;
    bool ToggleBit(int n);
    void EnterNumber(ValueMode m, Word128 v);

private:
    // The step every operator, ")" and "=" begin with: X becomes X op Y
    // when an operation is pending (ExecOp), else the entry itself.
    void RunPendingOrTakeEntry();
};
