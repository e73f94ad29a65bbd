// Drives one calculator machine with a stream of calls decoded from the
// input: keys, key strings, opcodes, registers, modes, unary functions,
// backspace, whole texts, values with arbitrary payloads and changes of the
// word size. Errors the machine raises on purpose (CalcError) are expected;
// anything else, a sanitizer report or a broken invariant is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>

#include "../tests/calcmach/open_machine.h"
#include "calcmach/calcmach.h"
#include "fuzz_input.h"

namespace {

using fuzzing::Check;
using fuzzing::Input;

// An integer the machine holds that has bits beyond its word would show, or
// reach a later result, as a number the word cannot hold.
bool FitsWord(const CalcValue& v, WordBits n) { return !IsIntegerMode(v.mode) || wide::IsReduced(v.w(), n); }

// Every integer value the machine holds for the calculation, not the
// registers (they keep what was stored and are reduced when recalled).
void CheckWord(const OpenMachine& m) {
    const WordBits n = m.WordSize();
    Check(FitsWord(m.ShownValue(), n), "shown value beyond the word size");
    Check(FitsWord(m.Y, n), "entry beyond the word size");
    Check(FitsWord(m.X, n), "pending operand beyond the word size");
    for (int i = 0; i < m.ParenDepth; ++i)
        Check(FitsWord(m.ParenStack[static_cast<std::size_t>(i)].x, n),
              "value saved by a parenthesis beyond the word size");
    Check(FitsWord(m.BitsValue(), n), "bits panel's value beyond the word size");
    // The patterns are shown in N bits: N/4 hexadecimal digits at most.
    if (m.ShownValue().mode == vmHex)
        Check(m.DisplayText().size() <= wide::BitsOf(n) / 4, "hexadecimal display wider than the word");
}

void CheckInvariants(const OpenMachine& m) {
    Check(m.DisplayText().size() <= kMaxText, "display text longer than 255 bytes");
    Check(m.EntryText().size() <= kMaxText, "entry text longer than 255 bytes");
    Check(m.ParenDepth <= kMaxParenDepth, "parenthesis depth above 254");
    Check(m.TapePrefix.size() <= kMaxText, "tape prefix longer than 255 bytes");
    Check(IsSettableOp(m.PendingOp), "pending opcode out of range");
    Check(m.Shown == &m.X || m.Shown == &m.Y || m.Shown == &kErrorValue,
          "shown value is none of X, Y, error");
    CheckWord(m);
}

void Step(OpenMachine& m, Input& in) {
    switch (in.Byte() % 26) {
        case 0:
        case 1:
        case 2:
        case 3: m.KeyChar(static_cast<char>(in.Byte())); break;
        case 4: m.KeyString(in.Text(4)); break;
        case 5: m.OpSet(in.SmallOrAny()); break;
        case 6: m.sto(in.SmallOrAny()); break;
        case 7: m.rcl(in.SmallOrAny()); break;
        case 8: m.SetMode(static_cast<ValueMode>(in.Byte() % kModeCount)); break;
        case 9: {
            switch (in.Byte() % 8) {
                case 0: m.FnNot(); break;
                case 1: m.FnRBits(); break;
                case 2: m.FnSgn(); break;
                case 3: m.FnAbs(); break;
                case 4: m.FnSqrt(); break;
                case 5: m.FnSin(); break;
                case 6: m.FnCos(); break;
                default: m.FnNeg(); break;
            }
            break;
        }
        case 10: m.Backspace(); break;
        case 11: {
            CalcValue out;
            m.EvalText(in.Text(64), out);
            break;
        }
        case 12: {
            CalcValue v;
            v.mode = static_cast<ValueMode>(in.Byte() % kModeCount);
            for (unsigned char& b : v.payload) b = in.Byte();
            m.SetValue(v);
            break;
        }
        case 13: m.OpenParen(); break;
        case 14: m.CloseParen(); break;
        case 15: m.Equals(); break;
        case 16: m.Clear(); break;
        case 17: m.ClearAll(); break;
        case 18: m.DigitKey(static_cast<char>(in.Byte())); break;
        case 19: m.EndEntry(); break;
        case 20: m.TapeNote(in.Text(16)); break;
        case 21: {
            // Runs of parentheses, to reach the depth limit.
            const bool open = (in.Byte() & 1) != 0;
            const int n = in.Byte();
            for (int i = 0; i < n; ++i) open ? m.OpenParen() : m.CloseParen();
            break;
        }
        case 22: {
            // Runs of one entry key, for long numbers in every mode.
            const char c = static_cast<char>(in.Byte());
            const int n = in.Byte() * 4;
            for (int i = 0; i < n; ++i) m.KeyChar(c);
            break;
        }
        case 23:
        case 24: {
            // A change of word size among the keys, with a number being
            // typed, an operation pending or parentheses open.
            m.SetWordSize(wide::kWordSizes[in.Byte() % std::size(wide::kWordSizes)]);
            break;
        }
        default: {
            // A value with an arbitrary mode number, as a loaded entry could
            // carry: everything must cope without indexing out of range.
            // Loaded as the state file loads it, so its payload is reduced
            // to the word as a loaded entry's is.
            m.LoadMode(static_cast<ValueMode>(in.SmallOrAny()));
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    OpenMachine m;
    std::size_t lines = 0;
    m.SetTapeReceiver([&lines](std::string_view line, const CalcValue& shown) {
        Check(line.size() <= kMaxText, "tape line longer than 255 bytes");
        CalcValue copy = shown;  // what the window keeps beside the line
        (void)copy;
        ++lines;
    });
    while (!in.empty()) {
        try {
            Step(m, in);
        } catch (const CalcError&) {
            // Faults and range errors are part of the machine's contract.
        }
        CheckInvariants(m);
    }
    return 0;
}
