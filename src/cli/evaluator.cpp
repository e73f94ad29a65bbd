#include "evaluator.h"

#include <array>
#include <exception>

#include "calcmach/bits.h"

namespace {

struct NamedMode {
    const char* name;
    ValueMode mode;
};

constexpr NamedMode kModes[] = {
    {"dec", vmDec},   {"hex", vmHex},   {"oct", vmOct},     {"bin", vmBin},
    {"ipv4", vmIPv4}, {"ipv6", vmIPv6}, {"float", vmFloat},
};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != b[i]) return false;
    }
    return true;
}

// The keys as the calculator's window takes them when typed: letters fold
// to upper case, so "ff" is the hexadecimal FF and qzcalc reads back its own
// IPv6 output ("fe80::1"); "x" is the clear key (upper-case "X" stays no
// key). The machine's own clear key is "c", which folding turns into the
// digit C.
constexpr std::array<char, 256> kKeyOf = [] {
    std::array<char, 256> t{};
    for (int c = 0; c < 256; ++c) t[static_cast<std::size_t>(c)] = static_cast<char>(c);
    for (int c = 'a'; c <= 'z'; ++c) t[static_cast<std::size_t>(c)] = static_cast<char>(c - 'a' + 'A');
    t['x'] = 'c';
    return t;
}();

bool NeedsFolding(std::string_view expr) {
    for (char c : expr)
        if (c >= 'a' && c <= 'z') return true;
    return false;
}

}  // namespace

std::optional<ValueMode> ModeByName(std::string_view name) {
    for (const NamedMode& m : kModes)
        if (SameIgnoringCase(name, m.name)) return m.mode;
    return std::nullopt;
}

Evaluator::Evaluator(ValueMode mode, bool tape, bool forms) : mode_(mode), forms_(forms) {
    if (tape) {
        mach_.OnTapeLine = [this](CcalcMach&, std::string_view line) {
            if (tape_ == nullptr) return;
            tape_->append(line);
            *tape_ += '\n';
        };
    }
    mach_.SetMode(mode);
}

void Evaluator::Reset() {
    mach_.Reset();
    mach_.SetMode(mode_);
}

std::string_view Evaluator::Keys(std::string_view expr) {
    if (!NeedsFolding(expr)) return expr;
    keys_.resize(expr.size());
    for (std::size_t i = 0; i < expr.size(); ++i) keys_[i] = kKeyOf[static_cast<unsigned char>(expr[i])];
    return keys_;
}

bool Evaluator::Evaluate(std::string_view expr, EvalOutput& out) {
    Reset();
    const std::string_view keys = Keys(expr);
    tape_ = &out.text;
    try {
        CalcValue result;
        mach_.EvalText(keys, result);
    } catch (const std::exception& e) {
        tape_ = nullptr;
        out.faults.emplace_back(out.text.size(), e.what());
        // The result's line is there all the same, so that the output keeps
        // one line per expression and lines up with its input.
        out.text += ValueText(kErrorValue);
        out.text += '\n';
        return false;
    }
    tape_ = nullptr;
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
