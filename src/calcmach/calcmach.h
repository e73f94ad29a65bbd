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

#include "values.h"

class CcalcMach;

// Receives each tape line as it is written, synchronously. During the call
// the receiver may read the machine's shown value (*mach.Shown).
using TapeReceiver = std::function<void(CcalcMach&, std::string_view)>;

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
};

constexpr int kOpcodeCount = 22;
extern const char* const kTapeSymbols[kOpcodeCount];  // "" , "+ ", ... "= "
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

class CcalcMach {
public:
    CcalcMach();
    virtual ~CcalcMach() = default;
    CcalcMach(const CcalcMach&) = delete;
    CcalcMach& operator=(const CcalcMach&) = delete;

    // The interface, in its declared order.
    virtual void Clear();
    virtual void ClearAll();
    virtual bool Backspace();
    virtual void EndEntry();
    virtual void sto(int32_t n);
    virtual void rcl(int32_t n);
    virtual void OpenParen();
    virtual void CloseParen();
    virtual void Equals();
    virtual void ExecOp();
    virtual void FnNot();
    virtual void FnRBits();
    virtual void FnSgn();
    virtual void FnAbs();
    virtual void FnSqrt();
    virtual void FnSin();
    virtual void FnCos();
    virtual void FnNeg();
    virtual void SetValue(const CalcValue& v);
    virtual void SetMode(ValueMode m);
    virtual void OpSet(int32_t op);
    virtual bool KeyString(std::string_view key);
    virtual bool DigitKey(char c);
    virtual bool KeyChar(char c);
    virtual void EvalText(std::string_view text, CalcValue& out);
    virtual std::string EntryText() const;
    virtual std::string DisplayText() const;
    virtual void TapeLine();
    virtual void TapeNote(std::string_view label);

    // Back to the state of a new machine: every value and register vmDec 0,
    // nothing pending, no parenthesis open, a new entry shown. The tape
    // receiver stays and no tape line is written. Frames above the depth are
    // not cleared: they are always written before they are read.
    void Reset();

    // State. Public so that the window and the state loader can read it (and
    // the loader can write Y's mode, the registers and Shown directly).
    CalcValue X;             // accumulator
    CalcValue Y;             // entry value
    const CalcValue* Shown;  // &X, &Y, &kErrorValue (or a loader's scratch value)
    std::array<CalcValue, kRegisterCount> Regs{};
    std::array<ParenFrame, kParenFrames> ParenStack{};
    uint8_t ParenDepth = 0;
    int32_t PendingOp = opNone;

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

    // The bits panel (bits.cpp). BitsValue: the value whose bits are shown,
    // the shown value read in the entry's mode (the error value and the
    // modes with no text form as they are). ToggleBit: flips bit n of it
    // (0-127, or 0-79 of a float) and makes the result the entry as if
    // typed, with no tape line; false, and no change, where the value's
    // bits cannot be toggled or n is outside the grid. EnterNumber: selects
    // the integer mode m as the mode buttons do (SetMode), then enters v as
    // if typed; a range error for a mode outside vmDec..vmIPv6.
    CalcValue BitsValue() const;
    bool ToggleBit(int n);
    void EnterNumber(ValueMode m, Word128 v);

    ValueMode Mode() const { return Y.mode; }
    bool ShowsX() const { return Shown == &X; }
    bool ShowsY() const { return Shown == &Y; }
    void ShowX() { Shown = &X; }
    void ShowY() { Shown = &Y; }
    void ShowError() { Shown = &kErrorValue; }

private:
    // The step every operator, ")" and "=" begin with: X becomes X op Y
    // when an operation is pending (ExecOp), else the entry itself.
    void RunPendingOrTakeEntry();
};
