// qzcalc's engine: each expression as a freshly started machine would take
// it, its output collected as text so that blocks of lines can be worked on
// side by side and still be printed in order.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "calcmach/calcmach.h"

// What a run of expressions printed: the standard output text, and the
// faults, each with the place in that text where its message belongs.
struct EvalOutput {
    std::string text;
    std::vector<std::pair<std::size_t, std::string>> faults;

    void Clear() {
        text.clear();
        faults.clear();
    }
};

class Evaluator {
public:
    // forms: after each result, its bits in every form (BitForms), one
    // "name: text" line each.
    Evaluator(ValueMode mode, bool tape, bool forms = false);
    Evaluator(const Evaluator&) = delete;
    Evaluator& operator=(const Evaluator&) = delete;

    // Appends the expression's tape lines (if asked for) and its display
    // text, one per line. Letters count as in the window: folded to upper
    // case, "x" clears. A fault of the calculation is recorded with its place
    // and the display text is "*** ERROR ***". Returns false on a fault.
    bool Evaluate(std::string_view expr, EvalOutput& out);

    // Every line of text (LF or CR LF ended; the last one may be unended).
    // Returns false if any line faulted.
    bool EvaluateLines(std::string_view text, EvalOutput& out);

private:
    // Puts the machine back into the state of a new one set to the mode.
    void Reset();
    // The machine's keys for the typed text (see kKeyOf).
    std::string_view Keys(std::string_view expr);

    std::string* tape_ = nullptr;  // where tape lines go, while evaluating
    ValueMode mode_ = vmDec;       // every expression starts in it
    bool forms_ = false;
    CcalcMach mach_;
    std::string keys_;  // the folded keys of the current expression
};

// Mode by its command-line name ("dec", "hex", ... "float"), any letter case.
std::optional<ValueMode> ModeByName(std::string_view name);
