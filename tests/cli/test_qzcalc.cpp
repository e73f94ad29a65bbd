// qzcalc as a user runs it: the built program with arguments and standard
// input, judged by its output, its error messages and its exit status, and
// held against a machine driven here directly.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <signal.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "calcmach/bits.h"
#include "calcmach/calcmach.h"
#include "calcmach/code_number.h"

extern char** environ;

namespace {

struct Outcome {
    std::string out, err;
    int status = -1;
};

// Starts qzcalc with argv (argv[0] its path), through the emulator when the
// tests were cross-built for another processor.
int SpawnQzcalc(pid_t* pid, const posix_spawn_file_actions_t* fa, std::vector<char*> argv) {
#ifdef QZCALC_LAUNCHER
    argv.insert(argv.begin(), const_cast<char*>(QZCALC_LAUNCHER));
#endif
    return posix_spawn(pid, argv[0], fa, nullptr, argv.data(), environ);
}

std::string TempFile(const std::string& content) {
    char name[] = "/tmp/qzcalc-test-XXXXXX";
    const int fd = ::mkstemp(name);
    EXPECT_GE(fd, 0);
    for (std::string_view rest = content; !rest.empty();) {
        const ssize_t n = ::write(fd, rest.data(), rest.size());
        if (n <= 0) break;
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
    ::close(fd);
    return name;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs qzcalc with stdin from a file; mergeErr sends stderr where stdout
// goes, to see the order of the two.
Outcome Qzcalc(const std::vector<std::string>& args, const std::string& input = "", bool mergeErr = false,
               const char* outPath = nullptr) {
    const std::string in = TempFile(input), out = TempFile(""), err = TempFile("");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, outPath ? outPath : out.c_str(), O_WRONLY | O_TRUNC, 0);
    if (mergeErr)
        posix_spawn_file_actions_adddup2(&fa, 1, 2);
    else
        posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_TRUNC, 0);
    std::vector<char*> argv{const_cast<char*>(QZCALC_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    Outcome r;
    pid_t pid = -1;
    EXPECT_EQ(SpawnQzcalc(&pid, &fa, argv), 0);
    posix_spawn_file_actions_destroy(&fa);
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) r.status = WEXITSTATUS(status);
    r.out = Slurp(out);
    r.err = Slurp(err);
    for (const std::string& p : {in, out, err}) ::unlink(p.c_str());
    return r;
}

// The error value shown now, or shown for an operation the machine could
// not carry out where ")" or "=" went on past it.
bool ErrorSeen(const CcalcMach& m) { return m.SawUndefined() || m.ShownValue().mode == vmERR; }

// What qzcalc must print: each expression typed into a machine just built
// (blanks skipped, letters upper case, "x" the clear key). A line during
// which the error value showed, or that faulted, prints "*** ERROR ***"
// and its message.
Outcome Machine(ValueMode mode, bool tape, const std::vector<std::string>& exprs, bool mergeErr = false,
                bool all = false) {
    Outcome r;
    r.status = 0;
    for (const std::string& e : exprs) {
        CcalcMach m;
        if (tape)
            m.SetTapeReceiver(
                [&](std::string_view line, const CalcValue&) { r.out += std::string(line) + "\n"; });
        m.SetMode(mode);
        std::string error;
        try {
            for (std::size_t i = 0; i < e.size() && error.empty(); ++i) {
                const char c = e[i];
                if (c == ' ') continue;
                m.KeyChar(c == 'x' ? 'c' : static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
                if (ErrorSeen(m))
                    error = "column " + std::to_string(i + 1) + ": \"" + c + "\" shows *** ERROR ***";
            }
            if (error.empty()) {
                m.Equals();
                if (ErrorSeen(m)) error = "*** ERROR *** at the end of the line";
            }
        } catch (const CalcError& ex) {
            error = ex.what();
        }
        if (!error.empty()) {
            (mergeErr ? r.out : r.err) += "error: " + error + "\n";
            r.out += "*** ERROR ***\n";
            r.status = 1;
            continue;
        }
        r.out += m.DisplayText() + "\n";
        if (all) {
            for (const BitForm& f : BitForms(m.BitsValue())) r.out += f.name + ": " + f.plain + "\n";
        }
    }
    return r;
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "\n";
    return s;
}

void ExpectSameRun(const Outcome& got, const Outcome& want) {
    EXPECT_EQ(got.out, want.out);
    EXPECT_EQ(got.err, want.err);
    EXPECT_EQ(got.status, want.status);
}

struct ModeCase {
    const char* name;
    ValueMode mode;
    std::vector<std::string> exprs;
    std::vector<std::string> results;  // display text of the first few
};

const std::vector<ModeCase>& ModeCases() {
    static const std::vector<ModeCase> cases = {
        {"dec",
         vmDec,
         {"2+3*4", "2+(3*4)", "0-1", "170141183460469231731687303715884105727+1", "7/2", "2^10", "5<3", "1/0",
          "(5", ")", "12 + 3", "5++3="},
         {"20", "14", "-1", "-170141183460469231731687303715884105728", "3", "1024", "0"}},
        {"hex",
         vmHex,
         {"FF+1", "0-1", "F0&3C", "F0|F", "F0%FF", "10/0"},
         {"100", "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", "30", "FF", "F"}},
        {"oct", vmOct, {"7+1", "777*10", "0+7"}, {"10", "7770", "7"}},
        {"bin", vmBin, {"1+1", "1010*11", "0-1"}, {"10", "11110", std::string(128, '1')}},
        {"ipv4",
         vmIPv4,
         {"10.0.0.255+1", "192.168.1.1", "1.2.3.4*2"},
         {"10.0.1.0", "192.168.1.1", "2.4.6.8"}},
        {"ipv6", vmIPv6, {"::1+1", "2001:DB8::1", "FFFF::+1"}, {"::2", "2001:db8::1", "ffff::1"}},
        {"float",
         vmFloat,
         {"1/4", "1/3", "2^0.5", "1.5*2", "1/0", "0/0", "10^5000", "2^(0-1)"},
         {"0.25", "0.33333333333333333", "1.414213562373095", "3"}},
    };
    return cases;
}

TEST(Qzcalc, EveryModeGivesWhatTheMachineShows) {
    for (const ModeCase& c : ModeCases()) {
        SCOPED_TRACE(c.name);
        const Outcome want = Machine(c.mode, false, c.exprs);
        std::vector<std::string> args = {"-m", c.name};
        args.insert(args.end(), c.exprs.begin(), c.exprs.end());
        ExpectSameRun(Qzcalc(args), want);
        ExpectSameRun(Qzcalc({"-m", c.name}, Lines(c.exprs)), want);

        std::vector<std::string> tapeArgs = {"--tape", "--mode=" + std::string(c.name)};
        tapeArgs.insert(tapeArgs.end(), c.exprs.begin(), c.exprs.end());
        ExpectSameRun(Qzcalc(tapeArgs), Machine(c.mode, true, c.exprs));

        // The leading results, as a user would check them by hand.
        std::istringstream lines(want.out);
        std::string line;
        for (const std::string& r : c.results) {
            ASSERT_TRUE(std::getline(lines, line));
            EXPECT_EQ(line, r);
        }
    }
}

// One result line for every expression, a faulting one included, so that
// the output lines up with the input; the message goes to standard error.
TEST(Qzcalc, FaultsAndTheErrorValue) {
    struct Case {
        std::vector<std::string> args;
        std::string input, out, err;
        int status;
    };
    const std::vector<Case> cases = {
        {{"1/0", "7"}, "", "*** ERROR ***\n7\n", "error: Word128: divide by zero\n", 1},
        {{"-m", "float", "1/0", "0/0", "10^5000"},
         "",
         "*** ERROR ***\n*** ERROR ***\n*** ERROR ***\n",
         "error: Division by zero\nerror: Invalid floating point operation\nerror: Floating point overflow\n",
         1},
        {{}, "1\n1/0\n3\n", "1\n*** ERROR ***\n3\n", "error: Word128: divide by zero\n", 1},
        {{},
         "1/0\r\n2\r\n5/0",
         "*** ERROR ***\n2\n*** ERROR ***\n",
         "error: Word128: divide by zero\nerror: Word128: divide by zero\n",
         1},
        {{"-t"}, "5+1/0\n", "5\n+ 1\n/ 0\n*** ERROR ***\n", "error: Word128: divide by zero\n", 1},
        // The error value is a failure too: it used to exit 0 with nothing on
        // standard error.
        {{"(5", "2^(0-1)"},
         "",
         "*** ERROR ***\n*** ERROR ***\n",
         "error: *** ERROR *** at the end of the line\nerror: *** ERROR *** at the end of the line\n",
         1},
        {{}, "(1+2\n3\n", "*** ERROR ***\n3\n", "error: *** ERROR *** at the end of the line\n", 1},
        // Shown for a moment only, and then a plausible result.
        {{"1+2)*3"}, "", "*** ERROR ***\n", "error: column 4: \")\" shows *** ERROR ***\n", 1},
        {{"8{logn}2"}, "", "*** ERROR ***\n", "error: *** ERROR *** at the end of the line\n", 1},
        {{"-m", "float", "8{logn}2", "(2+1)*{not}"},
         "",
         "3\n*** ERROR ***\n",
         "error: column 7: \"{not}\" shows *** ERROR ***\n",
         1},
        {{"-t", "5+(1"}, "", "5\n*** ERROR ***\n", "error: *** ERROR *** at the end of the line\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input + (c.args.empty() ? "" : c.args.back()));
        const Outcome r = Qzcalc(c.args, c.input);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.status, c.status);
    }
}

TEST(Qzcalc, ErrorMessagesComeAtTheirPlaceInTheOutput) {
    const Outcome r = Qzcalc({}, "1\n1/0\n2\n5/0\n3\n", true);
    EXPECT_EQ(r.out,
              "1\nerror: Word128: divide by zero\n*** ERROR ***\n2\nerror: Word128: divide by zero\n*** "
              "ERROR ***\n3\n");
    EXPECT_EQ(r.status, 1);
}

TEST(Qzcalc, TapeLinesComeBeforeEachResult) {
    const Outcome r = Qzcalc({"--tape", "5+3", "2*(1+3)"});
    EXPECT_EQ(r.out, Lines({"5", "+ 3", "= 8", "8", "2", "* ( 1", "+ 3", ") * 4", "* 4", "= 8", "8"}));
    EXPECT_EQ(r.status, 0);
}

// Every line starts from a new machine: nothing of the line before shows.
TEST(Qzcalc, StandardInputClearsBetweenLines) {
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string input, out;
        int errors;
    };
    const std::vector<Case> cases = {
        {"open parenthesis", {}, "(1\n1\n", "*** ERROR ***\n1\n", 1},
        {"pending operation", {}, "5+\n3\n", "10\n3\n", 0},
        {"entry left in the error mode", {}, "2^(0-1)\n5\n", "*** ERROR ***\n5\n", 1},
        {"tape prefix of an open parenthesis", {"-t"}, "(1\n5+1\n", "*** ERROR ***\n5\n+ 1\n= 6\n6\n", 1},
        {"mode switched by a number", {}, "0x10\n10\n", "10\n10\n", 0},
        {"CR LF and an unended last line", {"-m", "hex"}, "A+1\r\nF\r\nFF", "B\nF\nFF\n", 0},
        {"blank line", {}, "\n\n", "0\n0\n", 0},
        {"nothing at all", {}, "", "", 0},
        {"the mode stays the chosen one", {"-m", "float"}, "1/2\n(1\n1/4\n", "0.5\n*** ERROR ***\n0.25\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome r = Qzcalc(c.args, c.input);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), c.errors) << r.err;
        EXPECT_EQ(r.status, c.errors == 0 ? 0 : 1);
    }
}

// Enough lines for many blocks read and worked on side by side; faults
// spread over them must keep their place.
TEST(Qzcalc, LargeInputKeepsItsOrderWithAnyNumberOfJobs) {
    std::vector<std::string> exprs;
    for (int i = 0; i < 120000; ++i) {
        if (i % 9973 == 17)
            exprs.push_back("1/0");
        else if (i % 5003 == 3)
            exprs.push_back(std::to_string(i).insert(0, 1, '('));
        else
            exprs.push_back(std::to_string(i) + "*" + std::to_string(i * 7 + 1) +
                            "+123456789012345678901234567");
    }
    const std::string input = Lines(exprs);
    const Outcome want = Machine(vmDec, false, exprs, true);
    for (const char* jobs : {"1", "2", "4"}) {
        SCOPED_TRACE(jobs);
        const Outcome r = Qzcalc({"-j", jobs}, input, true);
        EXPECT_TRUE(r.out == want.out) << "the output differs from the machine's";
        EXPECT_EQ(r.status, 1);
        const Outcome results = Qzcalc({"-j", jobs}, input);
        EXPECT_EQ(std::count(results.out.begin(), results.out.end(), '\n'), 120000);
    }
}

// Without -j the first 16 MiB of input are worked on by one machine and the
// rest by one per processor: across that change the results and the fault
// messages keep their order, as with one machine throughout.
TEST(Qzcalc, InputPastTheSoloPartKeepsItsOrderWithoutJobs) {
    std::string input;
    int lines = 0, faults = 0;
    for (; input.size() < (20u << 20); ++lines) {
        if (lines % 49999 == 7)
            input += "1/0\n", ++faults;
        else
            input += std::to_string(lines) + "*3+123456789012345678901234567\n";
    }
    const Outcome one = Qzcalc({"-j", "1"}, input, true);
    const Outcome dflt = Qzcalc({}, input, true);
    EXPECT_TRUE(dflt.out == one.out) << "the output differs from one machine's";
    EXPECT_EQ(dflt.status, 1);
    EXPECT_EQ(std::count(dflt.out.begin(), dflt.out.end(), '\n'), lines + faults);
    const std::string last = std::to_string(lines - 1);
    EXPECT_EQ(dflt.out.substr(dflt.out.rfind('\n', dflt.out.size() - 2) + 1),
              Machine(vmDec, false, {last + "*3+123456789012345678901234567"}).out);
}

TEST(Qzcalc, AllPrintsTheFormsAfterEachResult) {
    for (const ModeCase& c : ModeCases()) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"-a", "-m", c.name};
        args.insert(args.end(), c.exprs.begin(), c.exprs.end());
        const Outcome want = Machine(c.mode, false, c.exprs, false, true);
        ExpectSameRun(Qzcalc(args), want);
        ExpectSameRun(Qzcalc({"--all", "-m", c.name, "-j", "2"}, Lines(c.exprs)), want);
        ExpectSameRun(Qzcalc({"--all", "--tape", "-m", c.name}, Lines(c.exprs)),
                      Machine(c.mode, true, c.exprs, false, true));
    }
}

TEST(Qzcalc, AllAsAScriptReadsIt) {
    const Outcome r = Qzcalc({"-a", "40+2", "(5", "1/0", "5"});
    EXPECT_EQ(r.out,
              "42\n"
              "hex: 0000000000000000000000000000002A\n"
              "signed: 42\n"
              "unsigned: 42\n"
              "octal: 52\n"
              "ipv4: 42\n"
              "ipv4 standard: 0.0.0.42\n"
              "ipv6: ::2a\n"
              "ipv6 standard: ::2a\n"
              "set bits: 3\n"
              "highest bit: 5\n"
              // An error line, the error value or a fault: its result line,
              // no forms.
              "*** ERROR ***\n"
              "*** ERROR ***\n"
              "5\n"
              "hex: 00000000000000000000000000000005\n"
              "signed: 5\n"
              "unsigned: 5\n"
              "octal: 5\n"
              "ipv4: 5\n"
              "ipv4 standard: 0.0.0.5\n"
              "ipv6: ::5\n"
              "ipv6 standard: ::5\n"
              "set bits: 2\n"
              "highest bit: 2\n");
    EXPECT_EQ(r.err, "error: *** ERROR *** at the end of the line\nerror: Word128: divide by zero\n");
    EXPECT_EQ(r.status, 1);

    EXPECT_EQ(Qzcalc({"-m", "float", "--all", "0-1.5"}).out,
              "-1.5\n"
              "hex: BFFFC000000000000000\n"
              "sign: 1\n"
              "exponent: 16383 (unbiased 0)\n"
              "integer bit: 1\n"
              "fraction: 4000000000000000\n"
              "class: normal\n"
              "binary64: -1.5\n"
              "binary64 hex: 0xBFF8000000000000\n"
              "binary32: -1.5\n"
              "binary32 hex: 0xBFC00000\n");
    // In hex mode the same forms: a script greps the reading it needs.
    const std::string hex = Qzcalc({"-m", "hex", "-a", "0-1"}).out;
    EXPECT_EQ(hex.rfind("FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF\n", 0), 0u);
    EXPECT_NE(hex.find("\nsigned: -1\nunsigned: 340282366920938463463374607431768211455\n"),
              std::string::npos);
}

// Letters count as the window takes them: in either case, with "x" as the
// clear key, so qzcalc reads back what it prints.
TEST(Qzcalc, LettersInEitherCaseAsInTheWindow) {
    struct Case {
        const char* mode;
        std::vector<std::string> exprs;
        std::string out;
    };
    const std::vector<Case> cases = {
        {"ipv6", {"fe80::1", "FE80::1", "fe80::ab+1"}, "fe80::1\nfe80::1\nfe80::ac\n"},
        {"hex", {"ff+1", "FF+1", "aBcDeF", "c+1"}, "100\n100\nABCDEF\nD\n"},
        {"dec", {"5x3", "5+1x2=", "10x5"}, "3\n2\n5\n"},
        {"hex", {"1+2x", "(ax"}, "0\n0\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exprs.front());
        std::vector<std::string> args = {"-m", c.mode};
        args.insert(args.end(), c.exprs.begin(), c.exprs.end());
        const Outcome r = Qzcalc(args);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(Qzcalc({"-m", c.mode}, Lines(c.exprs)).out, c.out);
    }
    // Every integer mode's output, fed back in, gives itself.
    for (const ModeCase& c : ModeCases()) {
        if (c.mode == vmFloat) continue;
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"-m", c.name};
        args.insert(args.end(), c.exprs.begin(), c.exprs.end());
        const std::string printed = Qzcalc(args).out;
        std::string results;
        for (std::size_t at = 0, nl; (nl = printed.find('\n', at)) != std::string::npos; at = nl + 1)
            if (printed.compare(at, nl - at, "*** ERROR ***") != 0)
                results += printed.substr(at, nl + 1 - at);
        EXPECT_EQ(Qzcalc({"-m", c.name}, results).out, results);
    }
}

TEST(Qzcalc, OptionSpellings) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"-m", "hex", "FF+1"},
                                               {"-mhex", "FF+1"},
                                               {"--mode=hex", "FF+1"},
                                               {"--mode", "HEX", "FF+1"},
                                               {"FF+1", "-m", "hex"},
                                               {"-m", "dec", "-m", "hex", "-j3", "FF+1"}}) {
        const Outcome r = Qzcalc(args);
        EXPECT_EQ(r.out, "100\n") << args[0];
        EXPECT_EQ(r.status, 0);
    }
    // A minus before a digit or "(" starts an expression, not an option.
    EXPECT_EQ(Qzcalc({"-5*3", "-(2)"}).out, "-15\n-2\n");
    EXPECT_EQ(Qzcalc({"-m", "hex", "--", "-FF", "--1", "--tape"}).out,
              Lines({"FFFFFFFFFFFFFFFFFFFFFFFFFFFFFF01", std::string(32, 'F'), "*** ERROR ***"}));
}

TEST(Qzcalc, UsageErrorsExitWith2) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"-x", "1"}, "qzcalc: unknown option '-x' (put -- before an expression that starts with -)\n"},
        {{"--frobnicate"},
         "qzcalc: unknown option '--frobnicate' (put -- before an expression that starts with -)\n"},
        {{"-m", "decimal", "1"},
         "qzcalc: unknown mode 'decimal' (use dec, hex, oct, bin, ipv4, ipv6 or float)\n"},
        {{"1", "-m"}, "qzcalc: option '-m' needs a mode\n"},
        {{"-j", "0"}, "qzcalc: invalid number of jobs '0' (use 1 to 64)\n"},
        {{"--jobs=many"}, "qzcalc: invalid number of jobs 'many' (use 1 to 64)\n"},
        {{"-FF"}, "qzcalc: unknown option '-FF' (put -- before an expression that starts with -)\n"},
        {{"-w", "24", "1"}, "qzcalc: invalid word size '24' (use 8, 16, 32, 64 or 128)\n"},
        {{"--word-size=032"}, "qzcalc: invalid word size '032' (use 8, 16, 32, 64 or 128)\n"},
        {{"1", "-w"}, "qzcalc: option '-w' needs a number of bits\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const Outcome r = Qzcalc(c.args, "1+1\n");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), c.message);
        EXPECT_NE(r.err.find("Usage: qzcalc"), std::string::npos);
    }
}

TEST(Qzcalc, HelpAndVersion) {
    for (const char* opt : {"--help", "-h"}) {
        const Outcome r = Qzcalc({"1+1", opt});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out.rfind("Usage: qzcalc [-m MODE] [--tape]", 0), 0u);
        for (const char* word :
             {"--mode", "--tape",  "--jobs",  "--version", "dec",         "hex",   "oct",      "bin",
              "ipv4",   "ipv6",    "float",   "+ - * /",   "& | %",       "|< >|", "<< >>",    "rotate",
              "( )",    "x ",      "error: ", "1048576",   "Exit status", "--all", "set bits", "binary64",
              "0x1F",   "fe80::1", "{sqrt}",  "{logn}",    "never a sign"})
            EXPECT_NE(r.out.find(word), std::string::npos) << word;
    }
    const Outcome v = Qzcalc({"--version"});
    EXPECT_EQ(v.out, "qzcalc " QZ_VERSION "\n");
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(Qzcalc({"-V"}).out, v.out);
}

// The help and the version count as output: one that cannot be written is
// a failure, not a success.
TEST(Qzcalc, HelpAndVersionThatCannotBeWrittenFail) {
    for (const char* opt : {"--help", "-h", "--version", "-V"}) {
        SCOPED_TRACE(opt);
        const Outcome r = Qzcalc({opt}, "", false, "/dev/full");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "qzcalc: cannot write the output: No space left on device\n");
    }
}

TEST(Qzcalc, OutputThatCannotBeWrittenIsAnError) {
    const Outcome r = Qzcalc({}, "1+1\n", false, "/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "qzcalc: cannot write the output: No space left on device\n");
}

// A program that sends a line and waits for its answer must get it before
// qzcalc waits for the next line.
TEST(Qzcalc, AnswersEachLineAsItComesThroughAPipe) {
    int toChild[2], fromChild[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(fromChild), 0);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&fa, fromChild[1], 1);
    for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]})
        posix_spawn_file_actions_addclose(&fa, fd);
    pid_t pid = -1;
    ASSERT_EQ(SpawnQzcalc(&pid, &fa, {const_cast<char*>(QZCALC_PATH), const_cast<char*>("-j2"), nullptr}), 0);
    posix_spawn_file_actions_destroy(&fa);
    ::close(toChild[0]);
    ::close(fromChild[1]);

    for (const auto& [line, answer] :
         std::vector<std::pair<std::string, std::string>>{{"1+1\n", "2\n"}, {"6*7\n", "42\n"}}) {
        ASSERT_EQ(::write(toChild[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
        std::string got;
        while (got.size() < answer.size()) {
            pollfd p{fromChild[0], POLLIN, 0};
            ASSERT_EQ(::poll(&p, 1, 10000), 1) << "no answer to " << line;
            char buf[64];
            const ssize_t n = ::read(fromChild[0], buf, sizeof buf);
            ASSERT_GT(n, 0);
            got.append(buf, static_cast<std::size_t>(n));
        }
        EXPECT_EQ(got, answer);
    }
    ::close(toChild[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ::close(fromChild[0]);
}

// A number may be written at the start, after an operator, a parenthesis
// or a blank in any form the paste takes; elsewhere keys count one by one.
TEST(Qzcalc, NumbersInTheFormsThePasteTakes) {
    struct Case {
        const char* mode;
        std::string expr, out;
    };
    const std::vector<Case> cases = {
        {"dec", "0x1F", "1F"},  // the x used to clear: 1
        {"dec", "0x1F+1", "20"},
        {"dec", "(0x10)", "10"},
        {"dec", "255u8*2", "510"},
        {"dec", "0b101 + 0o7", "14"},
        {"dec", "192.168.1.1+1", "192.168.1.2"},
        {"dec", "fe80::1", "fe80::1"},
        {"dec", "1.5e3+1", "1501"},
        {"dec", "2*1e-3", "0.002"},
        {"dec", "10x5", "5"},
        {"dec", "2^-1", "3"},  // "-" is an operator: 2^2-1
        {"hex", "1b+1", "1C"},
        {"hex", "1e-3", "1B"},
        {"hex", "0b11", "11"},
        {"ipv4", "10.1+1", "10.2"},
        {"ipv6", "0:1::2", "0:1::2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expr);
        const Outcome r = Qzcalc({"-m", c.mode, c.expr});
        EXPECT_EQ(r.out, c.out + "\n");
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.status, 0);
    }
}

// What the paste refuses as a number, qzcalc refuses as one: an error line,
// its message, exit status 1, and the next lines go on.
TEST(Qzcalc, RefusesWhatThePasteRefuses) {
    const std::string k33F(33, 'F');
    const std::vector<std::pair<ValueMode, std::string>> texts = {
        {vmDec, "340282366920938463463374607431768211456"},
        {vmHex, k33F},
        {vmDec, "0x" + k33F},
        {vmDec, "1.5.3"},
        {vmDec, "1.2.3.256"},
        {vmDec, "12:30"},
        {vmDec, "1e5000"},
        {vmDec, "1e-5000"},
        {vmDec, "0xG1"},
        {vmDec, "5q3"},
        {vmDec, "5X3"},
        {vmDec, "8s2"},
        {vmDec, "1,000"},
        {vmBin, "123"},
        {vmOct, "8+1"},
        {vmIPv4, "256"},
        {vmIPv6, "12345"},
        {vmFloat, "1.2.3"},
    };
    const char* const names[] = {"dec", "bin", "oct", "hex", "ipv4", "ipv6", "float"};
    for (const auto& [mode, text] : texts) {
        SCOPED_TRACE(text);
        ASSERT_EQ(PlanPaste(text, mode).kind, PastePlan::kRefused);
        const Outcome r = Qzcalc({"-m", names[mode]}, text + "\n1\n");
        EXPECT_EQ(r.out, "*** ERROR ***\n" + Qzcalc({"-m", names[mode], "1"}).out);
        EXPECT_EQ(r.err.rfind("error: column ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
        EXPECT_EQ(r.status, 1);
    }
    // Two numbers with only a blank between them.
    EXPECT_EQ(Qzcalc({"12 34"}).err,
              "error: column 4: a number follows a number without an operator between them\n");
}

// -w N: every line at N bits, as the calculator at that word size; a number
// written that does not fit the word is an error line, as its paste refuses.
TEST(Qzcalc, WordSize) {
    const struct {
        std::vector<std::string> args;
        std::string out;
        std::string err;
    } cases[] = {
        {{"-w", "8", "100+200", "255", "-128", "0-128/(0-1)"}, "44\n-1\n-128\n-128\n", ""},
        {{"-w8", "256"}, "*** ERROR ***\n", "error: column 1: \"256\" does not fit 8 bits\n"},
        {{"--word-size", "16", "-m", "hex", "0-1", "1234{bswap}"}, "FFFF\n3412\n", ""},
        {{"--word-size=32", "-m", "hex", "FFFFFFFF", "100000000"},
         "FFFFFFFF\n*** ERROR ***\n",
         "error: column 10: \"100000000\" does not fit 32 bits\n"},
        {{"-w", "32", "-m", "ipv4", "255.255.255.0{not}", "10.0.0.1+1"}, "0.0.0.255\n10.0.0.2\n", ""},
        {{"-w", "64", "0-8>|1", "0-8{sar}1"}, "9223372036854775804\n-4\n", ""},
        {{"-w", "128", "0-8>|1"}, "170141183460469231731687303715884105724\n", ""},
        {{"-w", "8", "-m", "float", "1e30"}, "1E30\n", ""},  // Float is not touched
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1]);
        const Outcome r = Qzcalc(c.args);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.status, c.err.empty() ? 0 : 1);
    }

    // --all gives the word's forms, read from standard input line by line.
    const Outcome all = Qzcalc({"-w", "32", "-a"}, "0-1\n");
    EXPECT_EQ(all.out,
              "-1\n"
              "hex: FFFFFFFF\n"
              "signed: -1\n"
              "unsigned: 4294967295\n"
              "octal: 37777777777\n"
              "ipv4: 255.255.255.255\n"
              "ipv4 standard: 255.255.255.255\n"
              "ipv6: ::ffff:ffff\n"
              "ipv6 standard: ::ffff:ffff\n"
              "set bits: 32\n"
              "highest bit: 31\n");
}

// The operator keys of two characters are one operator each, as the
// machine's key texts have them; a blank keeps two apart.
TEST(Qzcalc, TwoCharacterOperators) {
    struct Case {
        std::string expr;
        int32_t op;
    };
    const std::vector<Case> cases = {{"7|<3", opShl}, {"7>|1", opShr}, {"7<<3", opRol}, {"7>>1", opRor},
                                     {"7<=3", opLe},  {"3<=7", opLe},  {"7>=3", opGe},  {"3>=7", opGe}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expr);
        CcalcMach m;
        m.SetMode(vmHex);
        m.DigitKey(c.expr.front());
        m.OpSet(c.op);
        m.DigitKey(c.expr.back());
        m.Equals();
        EXPECT_EQ(Qzcalc({"-m", "hex", c.expr}).out, m.DisplayText() + "\n");
    }
    // ROR of 1 wraps round: a rotation, not a shift.
    EXPECT_EQ(Qzcalc({"-m", "hex", "1>>1"}).out, "80000000000000000000000000000000\n");
    EXPECT_EQ(Qzcalc({"1< <4", "1<<4", "1|<4"}).out, "1\n16\n16\n");
}

// Each written form does at its place what its button does.
TEST(Qzcalc, WrittenFormsActAsTheirButtons) {
    using Act = void (*)(CcalcMach&);
    struct Case {
        const char* form;
        Act act;
        ValueMode mode;
        const char *before, *after;
    };
    const std::vector<Case> cases = {
        {"not", [](CcalcMach& m) { m.FnNot(); }, vmDec, "5", ""},
        {"rbt", [](CcalcMach& m) { m.FnRBits(); }, vmHex, "8", "+1"},
        {"sgn", [](CcalcMach& m) { m.FnSgn(); }, vmDec, "0-7", ""},
        {"abs", [](CcalcMach& m) { m.FnAbs(); }, vmDec, "(0-7)", ""},
        {"neg", [](CcalcMach& m) { m.FnNeg(); }, vmDec, "", "12"},
        {"neg", [](CcalcMach& m) { m.FnNeg(); }, vmFloat, "", "1.5"},
        {"neg", [](CcalcMach& m) { m.FnNeg(); }, vmDec, "5", "*2"},
        {"sqrt", [](CcalcMach& m) { m.FnSqrt(); }, vmFloat, "2", ""},
        {"sin", [](CcalcMach& m) { m.FnSin(); }, vmFloat, "1", ""},
        {"cos", [](CcalcMach& m) { m.FnCos(); }, vmFloat, "1", ""},
        {"lbt", [](CcalcMach& m) { m.OpSet(opLBits); }, vmHex, "20", "8"},
        {"sar", [](CcalcMach& m) { m.OpSet(opSar); }, vmDec, "0-256", "4"},
        {"bswap", [](CcalcMach& m) { m.FnByteSwap(); }, vmHex, "1234", "+1"},
        {"roun", [](CcalcMach& m) { m.OpSet(opRound); }, vmFloat, "1.25", "1"},
        {"pi", [](CcalcMach& m) { m.SetValue(kPiValue); }, vmDec, "", "*2"},
        {"clra", [](CcalcMach& m) { m.ClearAll(); }, vmDec, "5+", "3"},
        {"logn", [](CcalcMach& m) { m.OpSet(opLogN); }, vmFloat, "8", "2"},
    };
    const char* const names[] = {"dec", "bin", "oct", "hex", "ipv4", "ipv6", "float"};
    std::set<std::string> tested;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.form);
        tested.insert(c.form);
        CcalcMach m;
        std::string want;
        m.SetTapeReceiver([&](std::string_view line, const CalcValue&) { want += std::string(line) + "\n"; });
        m.SetMode(c.mode);
        for (const char* k = c.before; *k; ++k) m.KeyChar(*k);
        c.act(m);
        for (const char* k = c.after; *k; ++k) m.KeyChar(*k);
        m.Equals();
        want += m.DisplayText() + "\n";
        const std::string expr = std::string(c.before) + "{" + c.form + "}" + c.after;
        const Outcome r = Qzcalc({"-t", "-m", names[c.mode], expr});
        EXPECT_EQ(r.out, want);
        EXPECT_EQ(r.status, 0) << r.err;
        // Letters in either case.
        std::string upper = expr;
        for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        EXPECT_EQ(Qzcalc({"-t", "-m", names[c.mode], upper}).out, want);
    }
    // Every form the help lists is tested here.
    const std::string help = Qzcalc({"--help"}).out;
    std::set<std::string> listed;
    for (std::size_t at = help.find("\n  {"); at != std::string::npos; at = help.find("\n  {", at + 1))
        listed.insert(help.substr(at + 4, help.find('}', at) - at - 4));
    EXPECT_EQ(listed, tested);
    EXPECT_EQ(Qzcalc({"5{nope}"}).err,
              "error: column 2: \"{nope}\" is no written form (see qzcalc --help)\n");
    EXPECT_EQ(Qzcalc({"5{not"}).status, 1);
}

// A line has a bound: a longer one is an error line, never held whole, and
// the lines after it go on.
TEST(Qzcalc, LinesAreBounded) {
    const std::string longest(std::size_t{1} << 20, '0');  // a number: 0
    const Outcome r = Qzcalc({}, longest + "\n" + longest + "0\n2+2\n" + longest + "00");
    EXPECT_EQ(r.out, "0\n*** ERROR ***\n4\n*** ERROR ***\n");
    EXPECT_EQ(r.err,
              "error: the line is longer than 1048576 bytes\n"
              "error: the line is longer than 1048576 bytes\n");
    EXPECT_EQ(r.status, 1);
}

// An endless line (qzcalc </dev/zero) is read on and dropped as it comes:
// the memory stays small.
TEST(Qzcalc, AnEndlessLineKeepsTheMemorySmall) {
#ifdef QZCALC_LAUNCHER
    GTEST_SKIP() << "under an emulator the memory measured would be the emulator's";
#endif
    const std::string out = TempFile(""), err = TempFile("");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/zero", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_TRUNC, 0);
    char* argv[] = {const_cast<char*>(QZCALC_PATH), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, QZCALC_PATH, &fa, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&fa);
    const auto field = [pid](const char* file, const std::string& name) {
        std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
        for (std::string line; std::getline(in, line);)
            if (line.rfind(name, 0) == 0) return std::stoll(line.substr(name.size()));
        return -1LL;
    };
    // Until well past what an unbounded reader would hold (256 MiB read).
    long long read = 0;
    for (int i = 0; i < 600 && read < (256LL << 20); ++i) {
        ::usleep(50000);
        read = field("io", "rchar:");
    }
    const long long rssKiB = field("status", "VmRSS:");
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_GE(read, 256LL << 20) << "qzcalc did not go on reading";
    EXPECT_GT(rssKiB, 0);
    EXPECT_LT(rssKiB, 32 * 1024) << "resident KiB";
    EXPECT_EQ(Slurp(out), "*** ERROR ***\n");
    EXPECT_EQ(Slurp(err), "error: the line is longer than 1048576 bytes\n");
    ::unlink(out.c_str());
    ::unlink(err.c_str());
}

}  // namespace
