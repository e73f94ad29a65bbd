#include "evaluator.h"

#include <array>
#include <exception>

#include "calcmach/bits.h"
#include "calcmach/code_number.h"
#include "calcmach/keys.h"

namespace {

struct NamedMode {
    const char* name;
    ValueMode mode;
};

constexpr NamedMode kModes[] = {
    {"dec", vmDec},   {"hex", vmHex},   {"oct", vmOct},     {"bin", vmBin},
    {"ipv4", vmIPv4}, {"ipv6", vmIPv6}, {"float", vmFloat},
};

std::string_view NameOf(ValueMode mode) {
    for (const NamedMode& m : kModes)
        if (m.mode == mode) return m.name;
    return ModeName(mode);
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }

// The keys that end a number: operators, parentheses, "=", a blank, and
// the brace of a written form.
constexpr std::array<bool, 256> kEndsNumber = [] {
    std::array<bool, 256> t{};
    for (char c : std::string_view("+-*/^&|%<>?()= \t{")) t[static_cast<unsigned char>(c)] = true;
    return t;
}();

bool EndsNumber(char c) { return kEndsNumber[static_cast<unsigned char>(c)]; }

// The operator keys of two characters, as the machine's key texts have them.
bool IsTwoCharKey(char first, char second) {
    static const std::array<bool, 65536> kPairs = [] {
        std::array<bool, 65536> t{};
        for (int op = opNone; op < kOpcodeCount; ++op) {
            const char* text = kKeyTexts[op];
            if (text[0] != '\0' && text[1] != '\0' && text[2] == '\0')
                t[static_cast<unsigned char>(text[0]) * 256u + static_cast<unsigned char>(text[1])] = true;
        }
        return t;
    }();
    return kPairs[static_cast<unsigned char>(first) * 256u + static_cast<unsigned char>(second)];
}

// What a written form does: what its button does in the window, and for
// {logn}, which has no button, the logarithm to a base.
MachineAction FormAction(const WrittenForm& form) {
    if (const MachineAction* button = ButtonAction(form.button)) return *button;
    return MachineAction{.op = opLogN};
}

std::string At(std::size_t column, std::string_view what) {
    return "column " + std::to_string(column + 1) + ": " + std::string(what);
}

}  // namespace

const WrittenForm kWrittenForms[] = {
    {"not", "NOT", "invert every bit"},
    {"rbt", "RBT", "n one-bits at the bottom, n the number shown"},
    {"sgn", "SGN", "sign: -1, 0 or 1"},
    {"abs", "ABS", "absolute value"},
    {"neg", "\u00B1", "change the sign, also of a number being typed"},
    {"sqrt", "\u221A", "square root (float)"},
    {"sin", "SIN", "sine, in radians (float)"},
    {"cos", "COS", "cosine, in radians (float)"},
    {"lbt", "LBT", "operator: w{lbt}n is a mask of the n top bits of w bits"},
    {"sar", "SAR", "operator: x{sar}n shifts x right by n, copies of the sign coming in"},
    {"bswap", "BSWAP", "reverse the order of the bytes of the word"},
    {"roun", "ROUN", "operator: x{roun}n rounds x to n decimals"},
    {"pi", "\u03C0", "pi, as a float"},
    {"clra", "CLRA", "clear, and every register becomes 0"},
    {"logn", "LOGn", "operator: x{logn}b is the logarithm of x to the base b"},
};
const std::size_t kWrittenFormCount = sizeof kWrittenForms / sizeof kWrittenForms[0];

std::optional<ValueMode> ModeByName(std::string_view name) {
    for (const NamedMode& m : kModes)
        if (SameIgnoringCase(name, m.name)) return m.mode;
    return std::nullopt;
}

Evaluator::Evaluator(ValueMode mode, bool tape, bool forms, WordBits word)
    : mode_(mode), word_(word), forms_(forms) {
    if (tape) {
        mach_.SetTapeReceiver([this](std::string_view line, const CalcValue&) {
            if (tape_ == nullptr) return;
            tape_->append(line);
            *tape_ += '\n';
        });
    }
    mach_.SetMode(mode);
    mach_.SetWordSize(word);
}

void Evaluator::Reset() {
    mach_.Reset();
    mach_.SetMode(mode_);
    mach_.SetWordSize(word_);
}

namespace {

// One expression typed into a machine, token by token. Each step takes the
// token at i, moves i past it and returns "" or the message of an error.
class LineReader {
public:
    LineReader(CcalcMach& mach, std::string_view expr) : m_(mach), expr_(expr) {}

    // The whole expression, then "=".
    std::string Read() {
        for (std::size_t i = 0; i < expr_.size();) {
            const std::size_t at = i;
            std::string why = Step(i);
            if (!why.empty()) return At(at, why);
            if (Shown()) return At(at, QuotedForMessage(expr_.substr(at, i - at)) + " shows *** ERROR ***");
        }
        if (std::string why = EndRun(); !why.empty()) return At(expr_.size(), why);
        m_.Equals();
        if (Shown()) return "*** ERROR *** at the end of the line";
        return {};
    }

private:
    std::string Step(std::size_t& i) {
        const char c = expr_[i];
        if (IsBlank(c)) {
            ++i;
            tokenStart_ = true;
            return EndRun();
        }
        if (c == '{') return Form(i);
        if (EndsNumber(c)) {
            // Operators of two characters as the machine's keys have them.
            const std::size_t len = i + 1 < expr_.size() && IsTwoCharKey(c, expr_[i + 1]) ? 2 : 1;
            if (std::string why = EndRun(); !why.empty()) return why;
            m_.KeyString(expr_.substr(i, len));
            i += len;
            numberLast_ = false;
            tokenStart_ = true;
            return {};
        }
        if (tokenStart_ && numberLast_ && TypedKeyOf(c).key != 'c')
            return "a number follows a number without an operator between them";
        std::string why;
        if (tokenStart_ && Number(i, why)) return why;
        return Key(i);
    }

    // An operation the machine could not carry out counts even when ")" or
    // "=" showed the error value for it only for a moment.
    bool Shown() const { return m_.SawUndefined() || m_.ShownValue().mode == vmERR; }

    // A number typed key by key must read as what was typed.
    std::string EndRun() {
        if (run_.empty()) return {};
        std::string why = CheckTypedNumber(run_, m_.Mode(), m_.EntryNegative(), m_.WordSize());
        run_.clear();
        return why;
    }

    // "{name}": the button it names.
    std::string Form(std::size_t& i) {
        const std::size_t close = expr_.find('}', i);
        const std::string_view key = expr_.substr(i, close == std::string_view::npos ? close : close + 1 - i);
        const std::string_view name = key.substr(1, key.size() - (close == std::string_view::npos ? 1 : 2));
        const WrittenForm* form = nullptr;
        if (close != std::string_view::npos)
            for (std::size_t k = 0; k < kWrittenFormCount; ++k)
                if (SameIgnoringCase(name, kWrittenForms[k].name)) form = &kWrittenForms[k];
        if (!form) return QuotedForMessage(key) + " is no written form (see qzcalc --help)";
        if (std::string why = EndRun(); !why.empty()) return why;
        FormAction(*form).Run(m_);
        i += key.size();
        numberLast_ = false;
        tokenStart_ = true;
        return {};
    }

    // One number in any form the paste takes, up to the next operator,
    // parenthesis or blank; an exponent keeps its sign. True when the token
    // was one (entered, or refused with why); false for keys to be typed.
    bool Number(std::size_t& i, std::string& why) {
        const std::size_t n = expr_.size();
        std::size_t end = i;
        while (end < n && !EndsNumber(expr_[end])) ++end;
        NumberRead r;
        if (end + 1 < n && end > i && (expr_[end] == '-' || expr_[end] == '+') &&
            (expr_[end - 1] == 'e' || expr_[end - 1] == 'E') && IsDigitChar(expr_[end + 1])) {
            std::size_t longEnd = end + 1;
            while (longEnd < n && !EndsNumber(expr_[longEnd])) ++longEnd;
            r = ReadToken(expr_.substr(i, longEnd - i));
            if (r.kind != NumberRead::kNone) end = longEnd;
        }
        if (r.kind == NumberRead::kNone) r = ReadToken(expr_.substr(i, end - i));
        if (r.kind == NumberRead::kNone) return false;
        if (r.kind == NumberRead::kRefused) {
            why = r.why;
            return true;
        }
        EnterReadNumber(m_, r.value);
        numberLast_ = true;
        tokenStart_ = false;
        i = end;
        return true;
    }

    // After the sign change on a new entry ({neg}) the number is entered
    // negative, as its typed digits would be.
    NumberRead ReadToken(std::string_view token) const {
        if (!m_.EntryStarted() && m_.EntryNegative()) {
            std::string negated(1, '-');
            negated += token;
            NumberRead r = ReadNumber(negated, m_.Mode(), true, m_.WordSize());
            if (r.kind != NumberRead::kNone) return r;
        }
        return ReadNumber(token, m_.Mode(), false, m_.WordSize());
    }

    // One key, as typed in the window: letters in either case, "x" the
    // clear key.
    std::string Key(std::size_t& i) {
        const std::string_view key = expr_.substr(i, 1);
        const char k = TypedKeyOf(key[0]).key;
        tokenStart_ = false;
        if (k == 'c') {
            if (std::string why = EndRun(); !why.empty()) return why;
            m_.KeyString("c");
            numberLast_ = false;
            ++i;
            return {};
        }
        const ValueMode mode = m_.Mode();
        if (!IsEntryKey(k, mode)) {
            if (DigitValue(k) >= 0)
                return QuotedForMessage(key) + " is not a digit in " + std::string(NameOf(mode)) + " mode";
            return QuotedForMessage(key) + " is not a key";
        }
        if (!m_.EntryStarted()) run_.clear();
        run_ += k;
        if (!m_.DigitKey(k)) {
            std::string why = CheckTypedNumber(run_, mode, m_.EntryNegative(), m_.WordSize());
            return why.empty() ? QuotedForMessage(key) + " cannot be typed here" : why;
        }
        numberLast_ = true;
        ++i;
        return {};
    }

    CcalcMach& m_;
    std::string_view expr_;
    std::string run_;          // the entry keys of the number being typed
    bool numberLast_ = false;  // the last thing was a number (blanks aside)
    bool tokenStart_ = true;   // at the start, after an operator, a parenthesis, a blank
};

}  // namespace

std::string Evaluator::Run(std::string_view expr) { return LineReader(mach_, expr).Read(); }

void Evaluator::ErrorLine(EvalOutput& out, std::string message) {
    out.faults.emplace_back(out.text.size(), std::move(message));
    // The result's line is there all the same, so that the output keeps one
    // line per expression and lines up with its input.
    out.text += ValueText(kErrorValue);
    out.text += '\n';
}

void Evaluator::LineTooLong(EvalOutput& out) {
    ErrorLine(out, "the line is longer than " + std::to_string(kMaxLineBytes) + " bytes");
}

bool Evaluator::Evaluate(std::string_view expr, EvalOutput& out) {
    if (expr.size() > kMaxLineBytes) {
        LineTooLong(out);
        return false;
    }
    Reset();
    tape_ = &out.text;
    std::string problem;
    try {
        problem = Run(expr);
    } catch (const std::exception& e) {
        problem = e.what();
    }
    tape_ = nullptr;
    if (!problem.empty()) {
        ErrorLine(out, std::move(problem));
        return false;
    }
    out.text += mach_.DisplayText();
    out.text += '\n';
    if (forms_) {
        // As copied from the panel: without the group blanks, easier to cut.
        for (const BitForm& f : BitForms(mach_.BitsValue(), mach_.WordSize())) {
            out.text += f.name;
            out.text += ": ";
            out.text += f.plain;
            out.text += '\n';
        }
    }
    return true;
}

bool Evaluator::EvaluateLines(std::string_view text, EvalOutput& out) {
    bool allGood = true;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!Evaluate(line, out)) allGood = false;
    }
    return allGood;
}
