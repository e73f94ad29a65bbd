// Registers and the tape lines.
#include <string>
#include <utility>

#include "calcmach.h"
#include "machine_util.h"

using namespace calcmach_detail;

namespace {

const char* RadixSuffix(ValueMode m) {
    switch (m) {
        case vmBin: return "b";
        case vmOct: return "o";
        case vmHex: return "h";
        default: return "";
    }
}

// Composes the line apart from TapeLine, so that the call without a
// receiver, made several times for every expression, does no more than
// empty the prefix.
[[gnu::noinline]] void WriteTapeLine(MachineState& mach) {
    std::string line = mach.TapePrefix;
    AppendCut(line, TapeSymbol(mach.PendingOp));
    // The full value text, not the entry text: 1.50 being typed is 1.5 here.
    AppendCut(line, ValueText(mach.Y, mach.Word));
    AppendCut(line, RadixSuffix(mach.Y.mode));
    mach.TapePrefix.clear();
    mach.OnTapeLine(line, *mach.Shown);
}

}  // namespace

void CcalcMach::sto(int32_t n) {
    if (n < 0 || n >= kRegisterCount) {
        throw RangeError("CcalcMach.sto: invalid register " + std::to_string(n));
    }
    Regs[static_cast<std::size_t>(n)] = *Shown;
    EndEntry();
}

void CcalcMach::LoadRegister(int n, const CalcValue& v) {
    if (n >= 0 && n < kRegisterCount) Regs[static_cast<std::size_t>(n)] = v;
}

void CcalcMach::rcl(int32_t n) {
    if (n < 0 || n >= kRegisterCount) {
        throw RangeError("CcalcMach.rcl: invalid register " + std::to_string(n));
    }
    // A register keeps what was stored, whatever the word size since: it
    // is read at today's.
    Y = Reduced(Regs[static_cast<std::size_t>(n)], Word);
    ShowY();
    EndEntry();
}

void MachineState::TapeLine() {
    if (OnTapeLine) WriteTapeLine(*this);
    TapePrefix.clear();
}

void MachineState::TapeNote(std::string_view label) {
    // Put prefix and pending operation back even if the receiver throws.
    struct Restore {
        MachineState& m;
        std::string prefix;
        int32_t op;
        ~Restore() {
            m.TapePrefix = std::move(prefix);
            m.PendingOp = op;
        }
    } restore{*this, std::move(TapePrefix), PendingOp};
    TapePrefix.assign(label.substr(0, kMaxText));
    PendingOp = opNone;
    TapeLine();
}
