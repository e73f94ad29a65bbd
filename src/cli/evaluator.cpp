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

Evaluator::Evaluator(ValueMode mode, bool tape, bool forms) : mode_(mode), forms_(forms) {
    if (tape) {
        mach_.SetTapeReceiver([this](std::string_view line, const CalcValue&) {
            if (tape_ == nullptr) return;
            tape_->append(line);
            *tape_ += '\n';
        });
    }
    mach_.SetMode(mode);
}

void Evaluator::Reset() {
    mach_.Reset();
    mach_.SetMode(mode_);
}

std::string Evaluator::Run(std::string_view expr) {
    const std::size_t n = expr.size();
    std::string run;          // the entry keys of the number being typed
    bool numberLast = false;  // the last thing was a number (blanks aside)
    bool tokenStart = true;   // at the start, after an operator, a parenthesis, a blank
    // An operation the machine could not carry out counts even when ")" or
    // "=" showed the error value for it only for a moment.
    const auto shown = [this] { return mach_.SawUndefined() || mach_.ShownValue().mode == vmERR; };
    // A number typed key by key must read as what was typed.
    const auto endRun = [&]() -> std::string {
        if (run.empty()) return {};
        std::string why = CheckTypedNumber(run, mach_.Mode(), mach_.EntryNegative());
        run.clear();
        return why;
    };

    for (std::size_t i = 0; i < n;) {
        const char c = expr[i];
        if (IsBlank(c)) {
            if (std::string why = endRun(); !why.empty()) return At(i, why);
            ++i;
            tokenStart = true;
            continue;
        }

        std::string_view key;
        if (c == '{') {
            const std::size_t close = expr.find('}', i);
            const std::string_view name =
                expr.substr(i + 1, close == std::string_view::npos ? 0 : close - i - 1);
            std::size_t form = kWrittenFormCount;
            if (close != std::string_view::npos) {
                for (std::size_t k = 0; k < kWrittenFormCount; ++k)
                    if (SameIgnoringCase(name, kWrittenForms[k].name)) form = k;
            }
            key = expr.substr(i, close == std::string_view::npos ? n - i : close + 1 - i);
            if (form == kWrittenFormCount)
                return At(i, QuotedForMessage(key) + " is no written form (see qzcalc --help)");
            if (std::string why = endRun(); !why.empty()) return At(i, why);
            FormAction(kWrittenForms[form]).Run(mach_);
            numberLast = false;
            tokenStart = true;
        } else if (EndsNumber(c)) {
            // Operators of two characters as the machine's keys have them.
            const std::size_t len = i + 1 < n && IsTwoCharKey(c, expr[i + 1]) ? 2 : 1;
            key = expr.substr(i, len);
            if (std::string why = endRun(); !why.empty()) return At(i, why);
            mach_.KeyString(key);
            numberLast = false;
            tokenStart = true;
        } else if (tokenStart && numberLast && TypedKeyOf(c).key != 'c') {
            return At(i, "a number follows a number without an operator between them");
        } else {
            if (tokenStart) {
                // One number in any form the paste takes, up to the next
                // operator, parenthesis or blank; an exponent keeps its sign.
                std::size_t end = i;
                while (end < n && !EndsNumber(expr[end])) ++end;
                // After the sign change on a new entry ({neg}) the number is
                // entered negative, as its typed digits would be.
                const bool negative = !mach_.EntryStarted() && mach_.EntryNegative();
                const auto read = [&](std::size_t to) {
                    const std::string_view token = expr.substr(i, to - i);
                    if (negative) {
                        std::string signed_(1, '-');
                        signed_ += token;
                        const NumberRead r = ReadNumber(signed_, mach_.Mode(), true);
                        if (r.kind != NumberRead::kNone) return r;
                    }
                    return ReadNumber(token, mach_.Mode(), false);
                };
                NumberRead r;
                if (end + 1 < n && end > i && (expr[end] == '-' || expr[end] == '+') &&
                    (expr[end - 1] == 'e' || expr[end - 1] == 'E') && IsDigitChar(expr[end + 1])) {
                    std::size_t longEnd = end + 1;
                    while (longEnd < n && !EndsNumber(expr[longEnd])) ++longEnd;
                    r = read(longEnd);
                    if (r.kind != NumberRead::kNone) end = longEnd;
                }
                if (r.kind == NumberRead::kNone) r = read(end);
                if (r.kind == NumberRead::kRefused) return At(i, r.why);
                if (r.kind == NumberRead::kNumber) {
                    EnterReadNumber(mach_, r.value);
                    numberLast = true;
                    tokenStart = false;
                    key = expr.substr(i, end - i);
                    i = end;
                    if (shown()) return At(i - key.size(), QuotedForMessage(key) + " shows *** ERROR ***");
                    continue;
                }
            }
            // Keys one at a time, as typed in the window: letters in either
            // case, "x" the clear key.
            tokenStart = false;
            key = expr.substr(i, 1);
            const char k = TypedKeyOf(c).key;
            if (k == 'c') {
                if (std::string why = endRun(); !why.empty()) return At(i, why);
                mach_.KeyString("c");
                numberLast = false;
            } else {
                const ValueMode mode = mach_.Mode();
                if (!IsEntryKey(k, mode)) {
                    if (DigitValue(k) >= 0)
                        return At(i, QuotedForMessage(key) + " is not a digit in " +
                                         std::string(NameOf(mode)) + " mode");
                    return At(i, QuotedForMessage(key) + " is not a key");
                }
                if (!mach_.EntryStarted()) run.clear();
                run += k;
                if (!mach_.DigitKey(k)) {
                    std::string why = CheckTypedNumber(run, mode, mach_.EntryNegative());
                    return At(i, why.empty() ? QuotedForMessage(key) + " cannot be typed here" : why);
                }
                numberLast = true;
            }
        }
        if (shown()) return At(i, QuotedForMessage(key) + " shows *** ERROR ***");
        i += key.size();
    }
    if (std::string why = endRun(); !why.empty()) return At(n, why);
    mach_.Equals();
    if (shown()) return "*** ERROR *** at the end of the line";
    return {};
}

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
        for (const BitForm& f : BitForms(mach_.BitsValue())) {
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
