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

// The longest expression (input line or argument) qzcalc reads, in bytes,
// without its line end. A longer one is an error line, and its bytes are
// never all held.
constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;

// What a run of expressions printed: the standard output text, and the
// error messages, each with the place in that text where it belongs.
struct EvalOutput {
    std::string text;
    std::vector<std::pair<std::size_t, std::string>> faults;

    void Clear() {
        text.clear();
        faults.clear();
    }
};

// A written form: an operation that has a button but no key, written in
// braces, "{sqrt}". Shown by --help and the manual page.
struct WrittenForm {
    const char* name;     // between the braces, ASCII letters in any case
    const char* button;   // the caption of the button it acts as; "LOGn" has none
    const char* meaning;  // for --help
};
extern const WrittenForm kWrittenForms[];
extern const std::size_t kWrittenFormCount;

class Evaluator {
public:
    // forms: after each result, its bits in every form (BitForms), one
    // "name: text" line each. word: the word size every expression runs at.
    Evaluator(ValueMode mode, bool tape, bool forms = false, WordBits word = WordBits::k128);
    Evaluator(const Evaluator&) = delete;
    Evaluator& operator=(const Evaluator&) = delete;

    // Appends the expression's tape lines (if asked for) and its display
    // text, one per line. An error line (a fault, the error value shown at
    // any point, or a number or key refused) prints "*** ERROR ***" and no
    // forms, and its message is recorded with its place. Returns false for
    // an error line.
    bool Evaluate(std::string_view expr, EvalOutput& out);

    // Every line of text (LF or CR LF ended; the last one may be unended).
    // Returns false if any line was an error line.
    bool EvaluateLines(std::string_view text, EvalOutput& out);

    // The error line of an input line longer than kMaxLineBytes.
    void LineTooLong(EvalOutput& out);

private:
    // Puts the machine back into the state of a new one set to the mode and
    // the word size.
    void Reset();
    // Feeds the expression to the machine; the message of the first error,
    // or empty.
    std::string Run(std::string_view expr);
    void ErrorLine(EvalOutput& out, std::string message);

    std::string* tape_ = nullptr;  // where tape lines go, while evaluating
    ValueMode mode_ = vmDec;       // every expression starts in it
    WordBits word_ = WordBits::k128;
    bool forms_ = false;
    CcalcMach mach_;
};

// Mode by its command-line name ("dec", "hex", ... "float"), any letter case.
std::optional<ValueMode> ModeByName(std::string_view name);
