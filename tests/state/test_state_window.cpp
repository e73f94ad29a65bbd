// The extras in [globals]: the window's (the bits panel, its place and
// Always on top) and the word size. Files with and without them load in
// readers with and without them.
#include <gtest/gtest.h>

#include <ostream>

#include "state_test_util.h"

// Found by GoogleTest through the argument's namespace.
inline void PrintTo(const WindowState& w, std::ostream* os) {
    *os << "{bits=" << w.bitsPanel << " place=" << w.hasBitsPlace << " (" << w.bitsX << "," << w.bitsY
        << ") ontop=" << w.onTop << "}";
}

namespace {

WindowState Window(bool bits, bool place, int x, int y, bool onTop) {
    WindowState w;
    w.bitsPanel = bits;
    w.hasBitsPlace = place;
    w.bitsX = x;
    w.bitsY = y;
    w.onTop = onTop;
    return w;
}

// A sink of a reader that knows only the mode, the registers and the tape:
// it keeps StateSink's default for the window's globals.
class OldReaderSink : public StateSink {
public:
    explicit OldReaderSink(StateSnapshot& s) : state_(s) {}
    void LoadMode(ValueMode mode) override { state_.mode = mode; }
    void LoadRegister(int k, const CalcValue& v) override { state_.regs[static_cast<std::size_t>(k)] = v; }
    void RegistersLoaded() override {}
    void BeginTape() override {}
    void EndTape() override {}
    void LoadTapeRow(const CalcValue& v, std::string_view text) override { state_.tape.Append(v, text); }

private:
    StateSnapshot& state_;
};

StateSnapshot SomeState() {
    StateSnapshot s;
    s.mode = vmHex;
    s.regs[1] = IntValue(vmHex, 0xFF);
    s.regs[2] = CalcValue::Float(Extended::FromDouble(2.5));
    s.tape = {{IntValue(vmHex, 0x10), "10"}, {IntValue(vmHex, 0x11), "= 11"}};
    return s;
}

}  // namespace

// The extras sit right after "mode=", one line each, only when not default.
TEST(WindowGlobals, WrittenAfterTheModeLineOnlyWhenSet) {
    struct Case {
        WindowState window;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {WindowState{}, {}},
        {Window(true, false, 0, 0, false), {"bits=1"}},
        {Window(false, true, 12, -340, false), {"bitsx=12", "bitsy=-340"}},
        {Window(false, false, 5, 5, true), {"ontop=1"}},
        {Window(true, true, 0, 1080, true), {"bits=1", "bitsx=0", "bitsy=1080", "ontop=1"}},
    };
    for (const Case& c : cases) {
        StateSnapshot s = SomeState();
        const std::string plain = FormatState(s);
        s.window = c.window;
        std::vector<std::string> head = {"[globals]", "mode=vmHex"};
        head.insert(head.end(), c.lines.begin(), c.lines.end());
        const std::string want = Crlf(head) + plain.substr(plain.find("\r\n\r\n[registers]") + 2);
        EXPECT_EQ(FormatState(s), want);
    }
}

TEST(WindowGlobals, ReadValuesAndIgnoreDamagedOnes) {
    struct Case {
        const char* name;
        std::string globals;  // lines of [globals]
        WindowState want;
    };
    const std::vector<Case> cases = {
        {"none (an old file)", "mode=vmDec\n", WindowState{}},
        {"all", "mode=vmDec\nbits=1\nbitsx=100\nbitsy=-20\nontop=1\n", Window(true, true, 100, -20, true)},
        {"blanks around", " bits = 1 \n\tontop\t=\t1\n", Window(true, false, 0, 0, true)},
        {"zero turns off", "bits=1\nbits=0\nontop=1\nontop=0\n", WindowState{}},
        {"damaged flags", "bits=yes\nbits=2\nbits=\nontop=true\nontop=01\n", WindowState{}},
        {"damaged after good keeps the good", "bits=1\nbits=x\nbitsx=7\nbitsx=7.5\nbitsy=8\nbitsy=\n",
         Window(true, true, 7, 8, false)},
        {"place needs both coordinates", "bitsx=10\n", Window(false, false, 10, 0, false)},
        {"damaged coordinates", "bitsx=1e3\nbitsx=0x10\nbitsx= 1 2\nbitsy=99999999999\nbitsy=2000000\n",
         WindowState{}},
        {"key case matters", "Bits=1\nONTOP=1\nbitsX=1\n", WindowState{}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const StateSnapshot got = LoadSnapshot("[globals]\n" + c.globals + "[registers]\nvmDec:5\n");
        EXPECT_EQ(got.window, c.want);
        EXPECT_EQ(got.regs[0], IntValue(vmDec, 5));
    }
}

TEST(WindowGlobals, LaterGlobalsSectionsAddToEarlierOnes) {
    const StateSnapshot got = LoadSnapshot("[globals]\nbitsx=3\n[tape]\n[globals]\nbitsy=4\nontop=1\n");
    EXPECT_EQ(got.window, Window(false, true, 3, 4, true));
}

// Both ways: a file with the extras gives a reader without them exactly what
// the same file without them gives, and a file without them (as every older
// version wrote) loads with the defaults.
TEST(WindowGlobals, FilesWithAndWithoutTheExtrasLoadInEitherReader) {
    StateSnapshot with = SomeState();
    with.window = Window(true, true, 640, 480, true);
    const StateSnapshot without = SomeState();

    StateSnapshot oldReadsNew, oldReadsOld;
    OldReaderSink a(oldReadsNew), b(oldReadsOld);
    LoadStateText(FormatState(with), a);
    LoadStateText(FormatState(without), b);
    EXPECT_EQ(FormatState(oldReadsNew), FormatState(without));
    EXPECT_EQ(FormatState(oldReadsOld), FormatState(without));

    const StateSnapshot newReadsNew = LoadSnapshot(FormatState(with));
    const StateSnapshot newReadsOld = LoadSnapshot(FormatState(without));
    EXPECT_EQ(newReadsNew.window, with.window);
    EXPECT_EQ(FormatState(newReadsNew), FormatState(with));
    EXPECT_EQ(newReadsOld.window, WindowState{});
    EXPECT_EQ(FormatState(newReadsOld), FormatState(without));
}

// The word size is one more key of [globals], right after the mode and only
// when it is not 128: a 128-bit session's file is the file it always was.
TEST(WordSizeGlobal, WrittenAfterTheModeOnlyBelow128) {
    const struct {
        WordBits word;
        std::vector<std::string> lines;
    } cases[] = {
        {WordBits::k128, {}},
        {WordBits::k64, {"wordsize=64"}},
        {WordBits::k32, {"wordsize=32", "bits=1"}},
        {WordBits::k8, {"wordsize=8"}},
    };
    for (const auto& c : cases) {
        StateSnapshot s = SomeState();
        const std::string plain = FormatState(s);
        s.word = c.word;
        if (c.word == WordBits::k32) s.window = Window(true, false, 0, 0, false);
        std::vector<std::string> head = {"[globals]", "mode=vmHex"};
        head.insert(head.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(FormatState(s), Crlf(head) + plain.substr(plain.find("\r\n\r\n[registers]") + 2));
    }
}

TEST(WordSizeGlobal, ReadValuesAndIgnoreDamagedOnes) {
    const struct {
        const char* globals;
        WordBits want;  // loaded on top of a 64-bit start
    } cases[] = {
        {"mode=vmDec\n", WordBits::k64},  // an old file: nothing changes
        {"wordsize=16\n", WordBits::k16},
        {" wordsize = 32 \n", WordBits::k32},
        {"wordsize=128\n", WordBits::k128},
        {"wordsize=8\nwordsize=x\n", WordBits::k8},  // the last readable one wins
        {"wordsize=12\nwordsize=032\nwordsize=\nwordsize=-8\nwordsize=256\n", WordBits::k64},
        {"WordSize=8\nword=8\n", WordBits::k64},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.globals);
        StateSnapshot start;
        start.word = WordBits::k64;
        const StateSnapshot got =
            LoadSnapshot(std::string("[globals]\n") + c.globals + "[registers]\nvmDec:5\n", start);
        EXPECT_EQ(got.word, c.want);
        EXPECT_EQ(got.regs[0], IntValue(vmDec, 5));
    }
}

// Both ways, as for the window's extras: a reader that knows nothing of the
// word size reads a new file as the same file at 128 bits (the loader skips
// a key it does not know, "wordsize" as any other), and an old file loads
// at 128 bits.
TEST(WordSizeGlobal, FilesWithAndWithoutItLoadInEitherReader) {
    StateSnapshot with = SomeState();
    with.word = WordBits::k32;
    with.window = Window(false, false, 0, 0, true);
    StateSnapshot without = SomeState();
    without.window = with.window;

    StateSnapshot oldReadsNew;
    OldReaderSink a(oldReadsNew);
    LoadStateText(FormatState(with), a);
    oldReadsNew.window = with.window;  // the old reader's own business
    EXPECT_EQ(FormatState(oldReadsNew), FormatState(without));
    std::string unknown = FormatState(without);
    unknown.insert(unknown.find("\r\n\r\n"), "\r\nsomeday=1");
    StateSnapshot unknownKey;
    OldReaderSink b(unknownKey);
    LoadStateText(unknown, b);
    unknownKey.window = with.window;
    EXPECT_EQ(FormatState(unknownKey), FormatState(without));

    EXPECT_EQ(LoadSnapshot(FormatState(with)).word, WordBits::k32);
    EXPECT_EQ(FormatState(LoadSnapshot(FormatState(with))), FormatState(with));
    EXPECT_EQ(LoadSnapshot(FormatState(without)).word, WordBits::k128);
}

// The word size is this calculator's, as the mode is: a merge with a file
// another calculator saved keeps ours, whichever it is.
TEST(WordSizeGlobal, AMergeKeepsThisCalculatorsWordSize) {
    for (const WordBits ours : {WordBits::k128, WordBits::k16}) {
        StateSnapshot mine = SomeState(), file = SomeState();
        mine.word = ours;
        file.word = ours == WordBits::k128 ? WordBits::k8 : WordBits::k128;
        StateBase base;
        base.regs = mine.regs;
        EXPECT_EQ(MergeState(mine, base, file).word, ours);
    }
}
