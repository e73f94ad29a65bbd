// The unary functions: they act on the entry value Y in place and leave X and
// the pending operation alone, so a pending operation later uses the changed
// Y. Functions the mode cannot carry out show the error value and change
// nothing else.
#include <string>

#include "calcmach.h"

namespace {

// Y's mode indexes the mode tables of entry and display, so a number outside
// the enumeration must never get into it.
void RequireMode(ValueMode m, const char* routine) {
    if (m < vmDec || m > vmERR) {
        throw RangeError(std::string(routine) + ": invalid mode " + std::to_string(static_cast<int32_t>(m)));
    }
}

}  // namespace

namespace {

// NOT, RBits and the byte swap share their shape: no float, the tape line
// shows the argument, the entry ends, and Y becomes fn(Y) at the word size.
void IntegerFunction(MachineState& m, std::string_view label, Word128 (*fn)(Word128, WordBits)) {
    if (m.Y.mode == vmFloat) {
        m.ShowError();
        return;
    }
    m.TapeNote(label);
    m.EndEntry();
    m.Y.setW(fn(m.Y.w(), m.Word));
    m.ShowY();
}

}  // namespace

void CcalcMach::FnNot() { IntegerFunction(*this, "NOT ", wide::NotAt); }

// A mask of n one-bits at the bottom, n the low byte.
void CcalcMach::FnRBits() { IntegerFunction(*this, "RBits ", wide::RightBitsAt); }

void CcalcMach::FnByteSwap() { IntegerFunction(*this, kTapeSymbols[opByteSwap], wide::ByteSwapAt); }

void CcalcMach::FnSgn() {
    if (Y.mode == vmFloat) {
        // A NaN, like zero, is neither below nor above zero.
        const int c = ext::Compare(ValidFloat(Y.f()), Extended::Zero());
        Y.setF(Extended::FromInt64(c == -1 || c == 1 ? c : 0));
    } else {
        const Word128 e = Y.w();
        Y.setW(e.IsNegative() ? W128AllOnes : e.IsZero() ? W128Zero : Word128(1, 0));
    }
    TapeNote("SGN ");
    ShowY();
    EndEntry();
}

void CcalcMach::FnAbs() {
    if (Y.mode == vmFloat) {
        // -0 is not below zero and stays; a NaN stays as it is.
        const Extended e = ValidFloat(Y.f());
        if (ext::Compare(e, Extended::Zero()) == -1) Y.setF(e.Negated());
    } else {
        // The word's minimum (-2^127 at 128 bits) is its own negation and
        // stays negative.
        const Word128 e = Y.w();
        if (e.IsNegative()) Y.setW(wide::NegAt(e, Word));
    }
    TapeNote("ABS ");
    ShowY();
    EndEntry();
}

namespace {

// SQRT, SIN and COS share their shape: the tape line shows the argument, the
// entry ends, and only then the function runs, so a fault leaves the line
// written, the entry ended and Y and the display as they were.
void FloatFunction(MachineState& m, std::string_view label, Extended (*fn)(Extended)) {
    if (m.Y.mode != vmFloat) {
        m.ShowError();
        return;
    }
    m.TapeNote(label);
    m.EndEntry();
    m.Y.setF(fn(ValidFloat(m.Y.f())));
    m.ShowY();
}

}  // namespace

void CcalcMach::FnSqrt() { FloatFunction(*this, "SQRT ", ext::Sqrt); }

// Every finite argument is reduced exactly, so even 1E20 gets its true sine;
// an infinite argument is an invalid operation.
void CcalcMach::FnSin() { FloatFunction(*this, "SIN ", ext::Sin); }

void CcalcMach::FnCos() { FloatFunction(*this, "COS ", ext::Cos); }

// The sign change keeps the entry running: EntryNeg makes the digits typed
// next build a negative number, also when the entry is still zero.
void CcalcMach::FnNeg() {
    if (Y.mode == vmFloat) {
        const Extended e = Y.f();
        if (e.IsZero()) {
            EntryNeg = !EntryNeg;
        } else {
            // Any encoding changes its sign; a NaN is not below zero.
            Y.setF(e.Negated());
            EntryNeg = ext::Compare(e.Negated(), Extended::Zero()) == -1;
        }
    } else if (Y.mode != vmIPv4 && Y.mode != vmIPv6) {
        const Word128 e = Y.w();
        if (e.IsZero()) {
            EntryNeg = !EntryNeg;
        } else {
            const Word128 negated = wide::NegAt(e, Word);
            Y.setW(negated);
            EntryNeg = negated.IsNegative();
        }
    }
    ShowY();
}

void CcalcMach::SetValue(const CalcValue& v) {
    RequireMode(v.mode, "CcalcMach.SetValue");
    Y = Reduced(v, Word);
    ShowY();
    EndEntry();
}

void CcalcMach::SetMode(ValueMode m) {
    RequireMode(m, "CcalcMach.SetMode");
    if (m == Y.mode) return;
    Y = ConvertTo(Y, m, Word);
    EndEntry();
    ShowY();
}
