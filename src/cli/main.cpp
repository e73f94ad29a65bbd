// qzcalc: the calculator from the command line. Each expression (argument or
// line of standard input) runs on a fresh machine, key by key, exactly as if
// typed into the calculator, and prints what the display would show.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "fdio/fdio.h"
#include "stream.h"

#ifndef QZ_VERSION
#define QZ_VERSION "unknown"
#endif

namespace {

constexpr int kExitFault = 1;
constexpr int kExitUsage = 2;

constexpr std::string_view kUsage = "Usage: qzcalc [-m MODE] [--tape] [--all] [-w N] [-j N] [EXPR...]\n";

constexpr std::string_view kHelp =
    "Evaluates each EXPR as if its keys were typed into the calculator, followed\n"
    "by \"=\", and prints the display. With no EXPR, reads standard input and\n"
    "evaluates each line the same way. Every expression starts from a freshly\n"
    "started calculator: no value, register or mode carries over.\n"
    "\n"
    "Options:\n"
    "  -m, --mode MODE  value mode: dec (default), hex, oct, bin, ipv4, ipv6, float\n"
    "  -w, --word-size N\n"
    "                   the integers' width: 8, 16, 32, 64 or 128 bits (the\n"
    "                   default); results wrap at N bits, decimal shows the\n"
    "                   signed N-bit value, the other modes the N-bit pattern\n"
    "  -t, --tape       print the tape lines of each calculation before its result\n"
    "  -a, --all        print after each result its bits in every form, one\n"
    "                   \"name: text\" per line, as the calculator's bits panel\n"
    "                   shows them (digits without group blanks): hex, signed,\n"
    "                   unsigned, octal, ipv4, ipv4 standard, ipv6, ipv6\n"
    "                   standard, set bits, highest bit; for a\n"
    "                   float hex, sign, exponent, integer bit, fraction, class,\n"
    "                   binary64, binary64 hex, binary32, binary32 hex\n"
    "  -j, --jobs N     machines working on standard input at once (default: one,\n"
    "                   and past the first 16 MiB one per processor, at most 4);\n"
    "                   the output keeps the input order\n"
    "  -h, --help       show this help and exit\n"
    "  -V, --version    show the version and exit\n"
    "  --               end of options (for an expression such as -FF)\n"
    "\n"
    "Keys, as typed in the calculator:\n"
    "  0-9 A-F a-f      digits of the mode (letters in either case)\n"
    "  .                decimal point (float), octet separator (ipv4)\n"
    "  :                group separator (ipv6)\n"
    "  + - * /          add, subtract, multiply, divide\n"
    "  ^                power\n"
    "  & | %            bitwise and, or, exclusive or\n"
    "  |< >|            shift left, shift right (SHL, SHR)\n"
    "  << >>            rotate left, rotate right (ROL, ROR): they rotate, bits\n"
    "                   leaving one end come back at the other; shift with |< >|\n"
    "  < <= > >= ?      less, less or equal, greater, greater or equal, equal\n"
    "                   (1 or 0)\n"
    "  ( )              parentheses, up to 254 deep\n"
    "  =                equals\n"
    "  x                clear\n"
    "A key of two characters is one key: write \"| <\" for OR and then less than.\n"
    "Blanks and tabs separate keys and numbers and are otherwise ignored. \"-\" is\n"
    "always the subtract key, never a sign: 2^-1 is 2-1 (as 2 + + 3 is 2+2+3); write\n"
    "0-5 for minus five. Any other character is an error.\n"
    "\n"
    "Numbers: at the start, after an operator, a parenthesis or a blank, a number\n"
    "may be written in any form the calculator's paste takes; it switches the\n"
    "mode as a pasted one does:\n"
    "  0x1F 0b101 0o17  code literals, also with a C, C++ or Rust type suffix\n"
    "                   (0xFFu, 10ull, 255u8), and as the tape writes them: 1Fh,\n"
    "                   101b (not in hex and ipv6, where b is a digit), 17o\n"
    "  10.0.0.1         IPv4 address\n"
    "  fe80::1          IPv6 address\n"
    "  1.5 1e-3         float, with a decimal point or an exponent\n"
    "A number that does not fit the word (-2^(N-1) to 2^N - 1) is an error, never\n"
    "cut. Elsewhere keys count one by one: 10x5 is 10, clear, 5. Two numbers need\n"
    "an operator between them: \"12 34\" is an error.\n"
    "\n"
    "Written forms, for the buttons that have no key (letters in either case):\n";

constexpr std::string_view kHelpEnd =
    "\n"
    "Each expression prints exactly one result line (after its tape lines with\n"
    "--tape). A line during which the calculator showed *** ERROR *** (an\n"
    "operation it cannot carry out, a fault such as a division by zero, or a\n"
    "number or key qzcalc does not take) prints *** ERROR *** as its result and\n"
    "no forms, and \"error: \" and the reason on standard error; the other lines\n"
    "still run. A line is at most 1048576 bytes long (1 MiB, not counting its\n"
    "line end); a longer one is an error line, read to its end but not kept.\n"
    "\n"
    "Exit status: 0 if every expression gave a result, 1 if any was an error line\n"
    "or the output could not be written, 2 for a usage error.\n";

std::string HelpText() {
    std::string text(kUsage);
    text += kHelp;
    for (std::size_t k = 0; k < kWrittenFormCount; ++k) {
        const WrittenForm& f = kWrittenForms[k];
        std::string line = "  {" + std::string(f.name) + "}";
        line.resize(std::max<std::size_t>(line.size() + 1, 11), ' ');
        text += line + f.button + ": " + f.meaning + "\n";
    }
    text += kHelpEnd;
    return text;
}

// One machine per processor, up to four: beyond that the output is what
// limits a pipe.
unsigned DefaultJobs() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : (n > 4 ? 4 : n);
}

// Without -j, one machine alone works on this much input first: on a short
// input, more threads cost more than they save.
constexpr std::size_t kDefaultAloneBytes = 16 << 20;

struct Options {
    ValueMode mode = vmDec;
    WordBits word = WordBits::k128;
    bool tape = false;
    bool all = false;
    unsigned jobs = DefaultJobs();
    bool jobsGiven = false;
    std::vector<std::string_view> exprs;
};

void Print(FILE* f, std::string_view text) { std::fwrite(text.data(), 1, text.size(), f); }

void CannotWrite(int error) {
    Print(stderr, std::string("qzcalc: cannot write the output: ") + std::strerror(error) + "\n");
}

// The help and the version: exit status 0 only once they are written.
int PrintAndExit(std::string_view text) {
    if (const int error = WriteAll(STDOUT_FILENO, text); error != 0) {
        CannotWrite(error);
        return kExitFault;
    }
    return 0;
}

int UsageError(const std::string& message) {
    Print(stderr, "qzcalc: " + message + "\n");
    Print(stderr, kUsage);
    Print(stderr, "Try 'qzcalc --help' for more information.\n");
    return kExitUsage;
}

// An argument is an option only when a letter or a second "-" follows the
// "-", so expressions such as -5*3 and -(2) need no "--".
bool LooksLikeOption(std::string_view arg) {
    if (arg.size() < 2 || arg[0] != '-') return false;
    const char c = arg[1];
    return c == '-' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The value of an option that takes one: "-mhex", "-m hex", "--mode=hex" or
// "--mode hex". False when arg is not that option.
bool OptionValue(std::string_view arg, std::string_view shortName, std::string_view longName, int argc,
                 char** argv, int& i, std::optional<std::string_view>& value) {
    if (arg == shortName || arg == longName) {
        if (i + 1 < argc) value = argv[++i];
        return true;
    }
    if (arg.size() > longName.size() && arg.substr(0, longName.size()) == longName &&
        arg[longName.size()] == '=') {
        value = arg.substr(longName.size() + 1);
        return true;
    }
    if (arg.size() > shortName.size() && arg.substr(0, shortName.size()) == shortName) {
        value = arg.substr(shortName.size());
        return true;
    }
    return false;
}

// Returns -1 when the program goes on, otherwise the exit status.
int ParseArgs(int argc, char** argv, Options& opt) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (optionsEnded || !LooksLikeOption(arg)) {
            opt.exprs.push_back(arg);
            continue;
        }
        std::optional<std::string_view> value;
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            return PrintAndExit(HelpText());
        } else if (arg == "-V" || arg == "--version") {
            return PrintAndExit("qzcalc " QZ_VERSION "\n");
        } else if (arg == "-t" || arg == "--tape") {
            opt.tape = true;
        } else if (arg == "-a" || arg == "--all") {
            opt.all = true;
        } else if (OptionValue(arg, "-m", "--mode", argc, argv, i, value)) {
            if (!value) return UsageError("option '" + std::string(arg) + "' needs a mode");
            const std::optional<ValueMode> mode = ModeByName(*value);
            if (!mode) {
                return UsageError("unknown mode '" + std::string(*value) +
                                  "' (use dec, hex, oct, bin, ipv4, ipv6 or float)");
            }
            opt.mode = *mode;
        } else if (OptionValue(arg, "-w", "--word-size", argc, argv, i, value)) {
            if (!value) return UsageError("option '" + std::string(arg) + "' needs a number of bits");
            const std::optional<WordBits> word = wide::ParseWordBits(*value);
            if (!word)
                return UsageError("invalid word size '" + std::string(*value) +
                                  "' (use 8, 16, 32, 64 or 128)");
            opt.word = *word;
        } else if (OptionValue(arg, "-j", "--jobs", argc, argv, i, value)) {
            if (!value) return UsageError("option '" + std::string(arg) + "' needs a number");
            const std::string_view n = *value;
            const bool digits =
                !n.empty() && n.size() <= 2 && n.find_first_not_of("0123456789") == std::string_view::npos;
            const int jobs = digits ? std::stoi(std::string(n)) : 0;
            if (jobs < 1 || jobs > 64)
                return UsageError("invalid number of jobs '" + std::string(n) + "' (use 1 to 64)");
            opt.jobs = static_cast<unsigned>(jobs);
            opt.jobsGiven = true;
        } else {
            return UsageError("unknown option '" + std::string(arg) +
                              "' (put -- before an expression that starts with -)");
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    const int parsed = ParseArgs(argc, argv, opt);
    if (parsed >= 0) return parsed;

    OutputWriter out(STDOUT_FILENO, STDERR_FILENO);
    bool allGood = true;
    int readError = 0;
    if (opt.exprs.empty()) {
        const StreamResult r = EvaluateStream(STDIN_FILENO, out, opt.mode, opt.tape, opt.jobs,
                                              opt.jobsGiven ? 0 : kDefaultAloneBytes, opt.all, opt.word);
        allGood = r.allGood;
        readError = r.readError;
    } else {
        Evaluator eval(opt.mode, opt.tape, opt.all, opt.word);
        EvalOutput results;
        for (std::string_view expr : opt.exprs)
            if (!eval.Evaluate(expr, results)) allGood = false;
        out.Emit(results);
    }
    if (!out.Flush()) {
        CannotWrite(out.Error());
        return kExitFault;
    }
    if (readError != 0) {
        Print(stderr, std::string("qzcalc: cannot read standard input: ") + std::strerror(readError) + "\n");
        return kExitFault;
    }
    return allGood ? 0 : kExitFault;
}
