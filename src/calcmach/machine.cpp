// The machine's frame: construction, the opcode table, operators,
// parentheses, equals, clear, the keys other than digits and the display
// text.
#include <array>
#include <string>

#include "calcmach.h"
#include "machine_util.h"

const char* const kTapeSymbols[kOpcodeCount] = {
    "",    "+ ", "- ",  "* ", "/ ",  "^ ",  "& ",     "| ",    "% ",    "|< ", ">| ",  "<< ",
    ">> ", "< ", "<= ", "> ", "=> ", "?= ", "LBits ", "ROUN ", "LOGn ", "= ",  "SAR ", "BSWAP ",
};

const char* const kKeyTexts[kOpcodeCount] = {
    "",   "+", "-",  "*", "/",  "^", "&", "|", "%", "|<", ">|", "<<",
    ">>", "<", "<=", ">", ">=", "?", "",  "",  "",  "",   "",   "",
};

namespace {

// The opcode whose key text is key, opNone if there is none. Most keys are
// one character, and for those a table beats comparing the key with every
// key text; it is built on first use, so that a machine may take keys
// during another file's static initialisation.
int32_t KeyOp(std::string_view key) {
    if (key.size() == 1) {
        static const std::array<int8_t, 256> kSingleKeyOps = [] {
            std::array<int8_t, 256> t{};
            for (int32_t op = opEq; op >= opAdd; --op) {  // the lowest opcode wins, as in the loop below
                const char* text = kKeyTexts[op];
                if (text[0] != '\0' && text[1] == '\0')
                    t[static_cast<unsigned char>(text[0])] = static_cast<int8_t>(op);
            }
            return t;
        }();
        return kSingleKeyOps[static_cast<unsigned char>(key[0])];
    }
    for (int32_t op = opAdd; op <= opEq; ++op)
        if (key == kKeyTexts[op]) return op;
    return opNone;
}

}  // namespace

namespace calcmach_detail {

const char* TapeSymbol(int32_t op) { return op >= 0 && op < kOpcodeCount ? kTapeSymbols[op] : ""; }

void AppendCut(std::string& text, std::string_view more) {
    if (text.size() >= kMaxText) return;
    text.append(more.substr(0, kMaxText - text.size()));
}

}  // namespace calcmach_detail

using namespace calcmach_detail;

void CcalcMach::Reset() {
    X = kZeroValue;
    Y = kZeroValue;
    Regs.fill(kZeroValue);
    ParenDepth = 0;
    PendingOp = opNone;
    Word = WordBits::k128;
    TapePrefix.clear();
    UndefinedSeen = false;
    EndEntry();
    ShowY();
}

void CcalcMach::RunPendingOrTakeEntry() {
    if (PendingOp != opNone) {
        ExecOp();
    } else {
        X = Y;  // the whole record, mode included
    }
}

void CcalcMach::OpSet(int32_t op) {
    if (!IsSettableOp(op)) {
        throw RangeError("CcalcMach.OpSet: opcode " + std::to_string(op) + " is out of range.");
    }
    TapeLine();
    RunPendingOrTakeEntry();
    // Shown stays as it is: with nothing pending the display keeps the entry.
    PendingOp = op;
    EndEntry();
}

void CcalcMach::OpenParen() {
    if (ParenDepth >= kMaxParenDepth) {
        ShowError();
        return;
    }
    ParenStack[ParenDepth] = ParenFrame{X, PendingOp};
    AppendCut(TapePrefix, TapeSymbol(PendingOp));
    AppendCut(TapePrefix, "( ");
    ++ParenDepth;
    ShowX();
    ZeroPayload(X);
    ZeroPayload(Y);
    PendingOp = opNone;
    EndEntry();
}

void CcalcMach::CloseParen() {
    if (ParenDepth == 0) {
        ShowError();
        return;
    }
    if (PendingOp != opNone) TapeLine();
    RunPendingOrTakeEntry();
    // The entry's mode wins: switching mode inside the parentheses carries
    // the result and the saved accumulator over to it. The error value a
    // negative integer exponent leaves in X stays the error value, as "="
    // keeps it: converted, its payload would read as -2^127.
    const ValueMode m = Y.mode;
    Y = X.mode == vmERR ? X : ConvertTo(X, m, Word);
    ShowY();
    --ParenDepth;
    const ParenFrame& frame = ParenStack[ParenDepth];
    PendingOp = frame.op;
    X = ConvertTo(frame.x, m, Word);
    AppendCut(TapePrefix, ") ");
    TapeLine();
    EndEntry();
}

void CcalcMach::Equals() {
    if (ParenDepth != 0) {
        ShowError();
        return;
    }
    if (!TapePrefix.empty() || PendingOp != opNone) TapeLine();
    RunPendingOrTakeEntry();
    Y = X;
    ShowX();
    PendingOp = opEquals;
    TapeLine();
    PendingOp = opNone;
    EndEntry();
}

void CcalcMach::Clear() {
    ParenDepth = 0;
    ZeroPayload(Y);
    X = Y;
    ShowY();
    PendingOp = opNone;
    TapePrefix.clear();
    EndEntry();
    TapeLine();
}

void CcalcMach::ClearAll() {
    Clear();
    Regs.fill(kZeroValue);
}

bool CcalcMach::KeyString(std::string_view key) {
    if (key.empty()) return true;
    if (const int32_t op = KeyOp(key); op != opNone) {
        OpSet(op);
        return true;
    }
    if (key == "=") {
        Equals();
    } else if (key == "(") {
        OpenParen();
    } else if (key == ")") {
        CloseParen();
    } else if (key == "c") {
        Clear();
    } else if (key == "ca") {
        ClearAll();
    } else if (key == "\b") {
        // Backspace on an entry with nothing left to delete clears everything.
        if (!Backspace()) Clear();
    } else {
        return false;
    }
    return true;
}

void CcalcMach::SetWordSize(WordBits n) {
    if (n == Word) return;
    Word = n;
    X = Reduced(X, n);
    Y = Reduced(Y, n);
    for (int i = 0; i < ParenDepth; ++i) {
        ParenFrame& frame = ParenStack[static_cast<std::size_t>(i)];
        frame.x = Reduced(frame.x, n);
    }
    EndEntry();
}

std::string CcalcMach::DisplayText() const {
    if (ShowsY()) return EntryText();
    std::string text = ValueText(*Shown, Word);
    if (text.size() > kMaxText) text.resize(kMaxText);
    return text;
}
