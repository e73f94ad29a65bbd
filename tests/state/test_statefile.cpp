// The file's text: what is written, and what the loader makes of any text.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "calcmach/float_text.h"
#include "state_test_util.h"

namespace {

void ExpectSameState(const StateSnapshot& got, const StateSnapshot& want) {
    EXPECT_EQ(got.mode, want.mode);
    for (int k = 0; k < kRegisterCount; ++k)
        EXPECT_EQ(got.regs[k], want.regs[k]) << "R" << k << " is " << RegRepr(got.regs[k]);
    ASSERT_EQ(got.tape.size(), want.tape.size());
    for (std::size_t i = 0; i < got.tape.size(); ++i) {
        EXPECT_EQ(got.tape[i].text, want.tape[i].text) << "tape row " << i;
        EXPECT_EQ(got.tape[i].value, want.tape[i].value) << "tape row " << i;
    }
}

std::string Unended(std::string text) {
    text.pop_back();
    return text;
}

const std::string kZeroLine = "vmDec:00000000000000000000000000000000";

TEST(FormatState, WritesTheExactLayoutWithCrLf) {
    StateSnapshot s;
    s.mode = vmHex;
    s.regs[0] = IntValue(vmDec, 42);
    s.regs[1] = IntValue(vmHex, 0xFF);
    s.regs[2] = CalcValue::Float(Extended::FromDouble(1.5));
    s.regs[3] = kErrorValue;
    s.regs[15] = IntValue(vmDec, ~0ull, ~0ull);
    s.tape = {{IntValue(vmDec, 5), "5"}, {IntValue(vmDec, 3), "+ 3"}, {IntValue(vmDec, 8), "= 8"}};

    std::vector<std::string> want = {"[globals]",
                                     "mode=vmHex",
                                     "",
                                     "[registers]",
                                     "vmDec:0000000000000000000000000000002A",
                                     "vmHex:000000000000000000000000000000FF",
                                     "vmFloat:1.5",
                                     "vmERR:80000000000000000000000000000000"};
    for (int k = 4; k < 15; ++k) want.push_back(kZeroLine);
    want.push_back("vmDec:FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF");
    want.insert(want.end(),
                {"", "[tape]", "vmDec:00000000000000000000000000000005=5",
                 "vmDec:00000000000000000000000000000003=+ 3", "vmDec:00000000000000000000000000000008== 8"});
    EXPECT_EQ(FormatState(s), Crlf(want));
}

TEST(FormatState, EmptyTapeEndsWithTheHeader) {
    const std::string text = FormatState(StateSnapshot{});
    const std::string tail = "\r\n\r\n[tape]\r\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(text.substr(0, 28), "[globals]\r\nmode=vmFloat\r\n\r\n[");
}

TEST(FormatState, KeepsEveryLineForValuesWithoutRegisterText) {
    StateSnapshot s;
    s.regs[0] = IntValue(vmTime, 0x1234);
    s.regs[1] = IntValue(vmDate, 1);
    s.regs[2] = IntValue(vmDtTm, 2);
    s.regs[3] = IntValue(vmHex, 3);
    s.tape = {{kErrorValue, "*** ERROR ***"}, {IntValue(vmHex, 9), "9h"}};
    const std::string text = FormatState(s);
    EXPECT_NE(text.find("\r\nvmTime:00000000000000000000000000001234\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nvmDate:00000000000000000000000000000001\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nvmDtTm:00000000000000000000000000000002\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nvmERR:80000000000000000000000000000000=*** ERROR ***\r\n"), std::string::npos);

    // Reloaded, the unwritable registers keep their start values and the
    // others still land in their own places. A tape row keeps its error
    // value: its text is the user's record.
    StateSnapshot start;
    for (auto& r : start.regs) r = IntValue(vmOct, 7);
    const StateSnapshot got = LoadSnapshot(text, start);
    EXPECT_EQ(got.regs[0], IntValue(vmOct, 7));
    EXPECT_EQ(got.regs[2], IntValue(vmOct, 7));
    EXPECT_EQ(got.regs[3], IntValue(vmHex, 3));
    EXPECT_EQ(got.regs[4], kZeroValue);
    ASSERT_EQ(got.tape.size(), 2u);
    EXPECT_EQ(got.tape[0].text, "*** ERROR ***");
    EXPECT_EQ(got.tape[0].value, kErrorValue);
    EXPECT_EQ(got.tape[1].text, "9h");
    const std::string again = FormatState(got);
    EXPECT_EQ(again.substr(again.find("[tape]")), text.substr(text.find("[tape]")));
}

TEST(LoadState, ErrorValueComesBackOnTapeRowsOnly) {
    const std::string error = "vmERR:80000000000000000000000000000000";
    struct Case {
        std::string value;
        bool loaded;
    };
    const std::vector<Case> cases = {
        {error, true},        {"vmERR:1", true},  // whatever its digits, it is the error value
        {"vmERR:", false},    {"vmERR:80000000000000000000000000000000F", false},
        {"vmERR:xyz", false}, {"vmErr:1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const RecordingSink got =
            Load("[registers]\n" + c.value + "\n[tape]\n" + c.value + "=*** ERROR ***\n");
        EXPECT_TRUE(got.regs.empty());
        ASSERT_EQ(got.tape.size(), c.loaded ? 1u : 0u);
        if (c.loaded) {
            EXPECT_EQ(got.tape[0].value, kErrorValue);
            EXPECT_EQ(got.tape[0].text, "*** ERROR ***");
        }
    }
}

// Of 130 rows the tape keeps the newest 100, and a row is one line.
TEST(FormatState, KeepsOneLinePerRowOfTheTape) {
    StateSnapshot s;
    for (int i = 0; i < 129; ++i) s.tape.Append(IntValue(vmDec, i), "row " + std::to_string(i));
    s.tape.Append(IntValue(vmDec, 129), "two\nlines\r");
    const StateSnapshot got = LoadSnapshot(FormatState(s));
    ASSERT_EQ(got.tape.size(), 100u);
    EXPECT_EQ(got.tape[0].text, "row 30");
    EXPECT_EQ(got.tape[0].value, IntValue(vmDec, 30));
    EXPECT_EQ(got.tape[99].text, "two lines");
}

// Every mode with a register text form comes back with its registers and
// tape. Floats are chosen exact at 17 significant digits.
TEST(StateRoundTrip, EveryModeWithItsRegistersAndTape) {
    for (int m = vmDec; m <= vmFloat; ++m) {
        SCOPED_TRACE(kModeNames[m]);
        const ValueMode mode = static_cast<ValueMode>(m);
        StateSnapshot s;
        s.mode = mode;
        const char* const floats[] = {"1.5", "-0.25", "0.1", "1E20", "-1E-7", "3.1415926535897932",
                                      "0",   "255"};
        for (int k = 0; k < kRegisterCount; ++k) {
            s.regs[k] = mode == vmFloat ? CalcValue::Float(k < 8 ? ParseFloat(floats[k])
                                                                 : Extended::FromDouble((k - 7) * 1024.5))
                                        : IntValue(mode, 0x0123456789ABCDEFull * k, ~0ull - k);
        }
        for (int i = 0; i < 100; ++i) {
            const CalcValue v =
                mode == vmFloat ? CalcValue::Float(Extended::FromDouble(i * 0.25 - 3)) : IntValue(mode, i, i);
            s.tape.Append(v, (i % 3 ? "+ " : "=  ") + std::to_string(i) + " a=b");
        }
        // Written again from what was read, the file is the same.
        const std::string text = FormatState(s);
        const StateSnapshot got = LoadSnapshot(text);
        ExpectSameState(got, s);
        EXPECT_EQ(FormatState(got), text);
    }
}

// A float of the given class with random bits where the class leaves any.
CalcValue RandomFloat(std::mt19937_64& gen, int kind) {
    const unsigned sign = gen() % 2 ? 0x8000u : 0u;
    const uint64_t top = uint64_t{1} << 63;
    switch (kind) {
        case 0:
            return CalcValue::Float(Extended(gen() | top, sign | static_cast<unsigned>(1 + gen() % 0x7FFE)));
        case 1: return CalcValue::Float(Extended(gen() >> (1 + gen() % 63), sign));  // denormal
        case 2: return CalcValue::Float(Extended(~uint64_t{0}, sign | 0x7FFE));      // largest
        case 3: return CalcValue::Float(Extended(top, sign | 1));                    // smallest normal
        case 4: return CalcValue::Float(Extended(1, sign));                          // smallest denormal
        case 5: return CalcValue::Float(Extended(0, sign));                          // +0, -0
        case 6: return CalcValue::Float(Extended(top, sign | 0x7FFF));               // infinities
        default: {
            // A NaN, quiet or signalling, with a random payload.
            const uint64_t quiet = gen() % 2 ? uint64_t{1} << 62 : 0;
            uint64_t fraction = gen() & ((uint64_t{1} << 62) - 1);
            if (quiet == 0 && fraction == 0) fraction = 1;
            return CalcValue::Float(Extended(top | quiet | fraction, sign | 0x7FFF));
        }
    }
}

bool IsNaN(const CalcValue& v) {
    uint64_t m;
    std::memcpy(&m, v.payload, 8);
    return (v.payload[9] & 0x7F) == 0x7F && v.payload[8] == 0xFF && (m << 1) != 0;
}

// What a float must be after a save and a load: the same bits, or for a
// NaN a NaN of the same sign and the same quiet bit.
void ExpectSameFloat(const CalcValue& got, const CalcValue& want, const std::string& where) {
    ASSERT_EQ(got.mode, vmFloat) << where;
    if (!IsNaN(want)) {
        EXPECT_EQ(got, want) << where << ": " << RegRepr(want) << " came back as " << RegRepr(got);
        return;
    }
    EXPECT_TRUE(IsNaN(got)) << where;
    EXPECT_EQ(got.payload[9] & 0x80, want.payload[9] & 0x80) << where;  // sign
    EXPECT_EQ(got.payload[7] & 0x40, want.payload[7] & 0x40) << where;  // quiet bit
}

// Floats of every class in the registers and the tape survive a save to
// disk and a load from it: finite ones and infinities bit for bit.
TEST(StateRoundTrip, FloatsComeBackBitForBit) {
    TempFolder folder;
    ASSERT_TRUE(folder.Made());
    std::mt19937_64 gen(0x5EED0301);
    for (int round = 0; round < 20; ++round) {
        StateSnapshot s;
        for (int k = 0; k < kRegisterCount; ++k) s.regs[k] = RandomFloat(gen, k % 8);
        for (int i = 0; i < 100; ++i) s.tape.Append(RandomFloat(gen, static_cast<int>(gen() % 8)), "row");
        std::string error;
        ASSERT_TRUE(SaveStateFile(folder.File(), s, error)) << error;
        StateSnapshot got;
        SnapshotSink sink(got);
        ASSERT_EQ(LoadStateFile(folder.File(), sink), "");
        for (int k = 0; k < kRegisterCount; ++k)
            ExpectSameFloat(got.regs[k], s.regs[k], std::string("R").append(std::to_string(k)));
        ASSERT_EQ(got.tape.size(), s.tape.size());
        for (std::size_t i = 0; i < s.tape.size(); ++i)
            ExpectSameFloat(got.tape[i].value, s.tape[i].value,
                            std::string("tape row ").append(std::to_string(i)));
    }
}

TEST(LoadState, RegistersGoByPosition) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        std::string log;
        std::vector<int> filled;  // register k got value k+1
    };
    std::vector<std::string> twenty = {"[registers]"};
    for (int k = 0; k < 20; ++k) twenty.push_back(HexLine(vmHex, k + 1));
    const std::vector<Case> cases = {
        {"three lines",
         {"[registers]", HexLine(vmHex, 1), HexLine(vmHex, 2), HexLine(vmHex, 3)},
         "R0R1R2|",
         {0, 1, 2}},
        {"twenty lines",
         twenty,
         "R0R1R2R3R4R5R6R7R8R9R10R11R12R13R14R15|",
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
        {"unreadable lines advance",
         {"[registers]", HexLine(vmHex, 1), "vmTime:00000000000000000000000000000002", "nonsense", "vmhex:5",
          "vmHex :5", HexLine(vmHex, 6)},
         "R0R5|",
         {0, 5}},
        {"blank lines do not count",
         {"[registers]", "", HexLine(vmHex, 1), "   ", "\t", HexLine(vmHex, 2)},
         "R0R1|",
         {0, 1}},
        {"a repeated section starts at R0",
         {"[registers]", HexLine(vmHex, 1), HexLine(vmHex, 2), "[registers]", HexLine(vmHex, 1)},
         "R0R1|R0|",
         {0, 1, 0}},
        {"a header ends the section at once",
         {"[registers]", HexLine(vmHex, 1), "[tape]", HexLine(vmHex, 2) + "=x"},
         "R0|[T]",
         {0}},
        {"an unknown header ends it too",
         {"[registers]", HexLine(vmHex, 1), "[Registers]", HexLine(vmHex, 2)},
         "R0|",
         {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RecordingSink got = Load(Crlf(c.lines));
        EXPECT_EQ(got.log, c.log);
        ASSERT_EQ(got.regs.size(), c.filled.size());
        for (std::size_t i = 0; i < c.filled.size(); ++i) {
            EXPECT_EQ(got.regs[i].k, c.filled[i]);
            EXPECT_EQ(got.regs[i].value, IntValue(vmHex, c.filled[i] + 1));
        }
    }
}

TEST(LoadState, RegisterTextWithoutDigitsIsZero) {
    const RecordingSink got = Load("[registers]\nvmHex:\nvmIPv4:xyz\n");
    ASSERT_EQ(got.regs.size(), 2u);
    EXPECT_EQ(got.regs[0].value, IntValue(vmHex, 0));
    EXPECT_EQ(got.regs[1].value, IntValue(vmIPv4, 0));
}

TEST(LoadState, RegisterLinesAfterTheSixteenthFallToTheMainLoop) {
    std::vector<std::string> lines = {"[registers]"};
    for (int k = 0; k < 16; ++k) lines.push_back(HexLine(vmDec, k));
    lines.push_back("mode=vmHex");  // not in a globals section: ignored
    lines.push_back("[globals]");
    lines.push_back("mode=vmOct");
    const RecordingSink got = Load(Crlf(lines));
    EXPECT_EQ(got.modes, std::vector<ValueMode>{vmOct});
    EXPECT_EQ(got.regs.size(), 16u);
}

TEST(LoadState, ModeLines) {
    struct Case {
        std::string text;
        std::vector<ValueMode> modes;
    };
    const std::vector<Case> cases = {
        {"[globals]\r\nmode=vmHex\r\n", {vmHex}},
        {"[globals]\nmode = vmOct\n", {vmOct}},
        {"  [globals]  \n\t mode\t=\tvmBin  \r\n", {vmBin}},
        {"[globals]\nmode=vmHex\nmode=bogus\nmode=vmIPv6\nmode=VMDEC\n", {vmHex, vmIPv6}},
        {"[globals]\nmode=vmTime\nmode=vmERR\n", {vmTime, vmERR}},
        {"[globals]\nMode=vmHex\nmode\nvmHex\nmode==vmHex\nmodes=vmHex\n", {}},
        {"mode=vmHex\n[GLOBALS]\nmode=vmHex\n", {}},
        {"[globals]\ncolour=blue\nmode=vmDec=x\nmode=vmDec\n", {vmDec}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Load(c.text).modes, c.modes);
    }
}

TEST(LoadState, LastReadableModeWins) {
    StateSnapshot start;
    start.mode = vmFloat;
    EXPECT_EQ(LoadSnapshot("[globals]\nmode=vmHex\nmode=vmhex\n", start).mode, vmHex);
    EXPECT_EQ(LoadSnapshot("[globals]\nmode=nothing\n", start).mode, vmFloat);
}

TEST(LoadState, TapeLines) {
    const std::string v5 = HexLine(vmHex, 5);
    struct Case {
        const char* name;
        std::string line;
        bool loaded;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"plain", v5 + "=+ 5h", true, "+ 5h"},
        {"text with further =", v5 + "== 5=5", true, "= 5=5"},
        {"trailing blanks lost, leading kept", "  " + v5 + "=   5h   \t", true, "   5h"},
        {"empty text", v5 + "=", true, ""},
        {"no =", v5, false, ""},
        {"unreadable value", "vmTime:00000000000000000000000000000005=5", false, ""},
        {"hex digits end at the blank", v5 + " =5", true, "5"},
        {"bad float", "vmFloat:1.5x=1.5", false, ""},
        {"NUL inside the text", v5 + "=a" + std::string(1, '\0') + "b", true, std::string("a\0b", 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RecordingSink got = Load("[tape]\r\n" + c.line + "\r\n" + HexLine(vmHex, 9) + "=last\r\n");
        ASSERT_EQ(got.tape.size(), c.loaded ? 2u : 1u);
        if (c.loaded) {
            EXPECT_EQ(got.tape[0].text, c.text);
            EXPECT_EQ(got.tape[0].value, IntValue(vmHex, 5));
        }
        EXPECT_EQ(got.tape.back().text, "last");
    }
}

TEST(LoadState, HandsOverEveryTapeLineAndTheWindowKeepsTheLast100) {
    std::vector<std::string> lines = {"[tape]"};
    for (int i = 0; i < 150; ++i) lines.push_back(HexLine(vmDec, i) + "=" + std::to_string(i));
    const std::string text = Crlf(lines);

    const RecordingSink got = Load(text);
    ASSERT_EQ(got.tape.size(), 150u);
    EXPECT_EQ(got.log, "[" + std::string(150, 'T') + "]");
    EXPECT_EQ(got.tape[149].text, "149");

    const StateSnapshot window = LoadSnapshot(text);
    ASSERT_EQ(window.tape.size(), 100u);
    EXPECT_EQ(window.tape.front().text, "50");
    EXPECT_EQ(window.tape.front().value, IntValue(vmDec, 50));
    EXPECT_EQ(window.tape.back().text, "149");
}

TEST(LoadState, RepeatedTapeSectionsAddRows) {
    const RecordingSink got = Load("[tape]\nvmDec:1=a\n[globals]\n[tape]\nvmDec:2=b\n");
    EXPECT_EQ(got.log, "[T][T]");
    ASSERT_EQ(got.tape.size(), 2u);
    EXPECT_EQ(got.tape[1].value, IntValue(vmDec, 2));
}

TEST(LoadState, OtherLetterCaseHeaderIsIgnoredUpToTheNextHeader) {
    const RecordingSink got = Load(Crlf(
        {"[tape]", HexLine(vmDec, 1) + "=one", "[Tape]", HexLine(vmDec, 2) + "=two", "[registers]",
         HexLine(vmDec, 3), "[TAPE]", HexLine(vmDec, 4) + "=four", "[tape]", HexLine(vmDec, 5) + "=five"}));
    EXPECT_EQ(got.log, "[T]R0|[T]");
    ASSERT_EQ(got.tape.size(), 2u);
    EXPECT_EQ(got.tape[0].text, "one");
    EXPECT_EQ(got.tape[1].text, "five");
}

TEST(LoadState, SectionsInAnyOrderLoadTheSame) {
    StateSnapshot s;
    s.mode = vmOct;
    for (int k = 0; k < kRegisterCount; ++k) s.regs[k] = IntValue(vmOct, 8 * k + 1);
    s.tape = {{IntValue(vmOct, 8), "10o"}, {IntValue(vmOct, 16), "+ 10o"}, {IntValue(vmOct, 16), "= 20o"}};
    const std::string text = FormatState(s);
    const std::size_t reg = text.find("[registers]"), tape = text.find("[tape]");
    const std::string globals = text.substr(0, reg), regs = text.substr(reg, tape - reg),
                      tapes = text.substr(tape);
    ExpectSameState(LoadSnapshot(tapes + globals + regs), s);
    ExpectSameState(LoadSnapshot(regs + tapes + globals), s);
}

TEST(LoadState, LineFeedOnlyAndCrLfReadTheSame) {
    StateSnapshot s;
    s.mode = vmBin;
    s.regs[4] = IntValue(vmBin, 5);
    s.tape = {{IntValue(vmBin, 5), "101b"}};
    std::string text = FormatState(s), lf;
    for (char c : text)
        if (c != '\r') lf += c;
    EXPECT_EQ(Load(lf).log, Load(text).log);
    ExpectSameState(LoadSnapshot(lf), s);
    // No line end after the last line at all.
    lf.pop_back();
    ExpectSameState(LoadSnapshot(lf), s);
}

// The same file in any line end a text editor may save, with or without a
// UTF-8 byte-order mark, loads the same, mode included.
TEST(LoadState, ByteOrderMarkAndEveryLineEndReadAlike) {
    StateSnapshot s;
    s.mode = vmHex;
    s.regs[0] = IntValue(vmHex, 0xAB);
    s.regs[15] = IntValue(vmHex, 0xCD);
    s.tape = {{IntValue(vmHex, 1), "1h"}, {IntValue(vmHex, 2), "+ 1h"}, {IntValue(vmHex, 2), "= 2h"}};
    const std::string crlf = FormatState(s);
    const auto ends = [&](std::string_view eol) {
        std::string out;
        for (std::size_t i = 0; i < crlf.size(); ++i) {
            if (crlf.compare(i, 2, "\r\n") == 0) {
                out += eol;
                ++i;
            } else {
                out += crlf[i];
            }
        }
        return out;
    };
    const std::string bom = "\xEF\xBB\xBF";
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"LF", ends("\n")},           {"CR", ends("\r")},
        {"BOM CR LF", bom + crlf},    {"BOM LF", bom + ends("\n")},
        {"BOM CR", bom + ends("\r")}, {"CR, last line unended", Unended(ends("\r"))},
    };
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Load(text).log, Load(crlf).log);
        ExpectSameState(LoadSnapshot(text), s);
    }
    // A mark anywhere else is text like any other.
    EXPECT_TRUE(Load("[globals]\n" + bom + "mode=vmHex\n").modes.empty());
    EXPECT_TRUE(Load(bom + bom + "[globals]\nmode=vmHex\n").modes.empty());
}

TEST(LoadState, TextsAreCutAt255Bytes) {
    const std::string zeros(249, '0');  // "vmHex:" and these fill 255 bytes
    const RecordingSink got = Load("[registers]\nvmHex:" + zeros + "7\n[tape]\nvmHex:" + zeros +
                                   "7=" + std::string(300, 'x') + "\n");
    ASSERT_EQ(got.regs.size(), 1u);
    EXPECT_EQ(got.regs[0].value, IntValue(vmHex, 0));
    ASSERT_EQ(got.tape.size(), 1u);
    EXPECT_EQ(got.tape[0].value, IntValue(vmHex, 0));
    EXPECT_EQ(got.tape[0].text, std::string(255, 'x'));
    // Just inside the limit nothing is lost.
    EXPECT_EQ(Load("[registers]\nvmHex:" + zeros.substr(1) + "7\n").regs.at(0).value, IntValue(vmHex, 7));
}

TEST(LoadState, IgnoresEverythingOutsideSections) {
    const RecordingSink got = Load(Crlf({"vmDec:1=before any header", "[colours]", "mode=vmHex",
                                         HexLine(vmDec, 1), "", "[registers]", HexLine(vmDec, 2)}));
    EXPECT_EQ(got.log, "R0|");
    EXPECT_EQ(got.regs.at(0).value, IntValue(vmDec, 2));
}

TEST(LoadState, NulBytesDoNotCutTheFileShort) {
    const std::string nul(1, '\0');
    const std::string text = nul + nul + "[globals]\r\nmode=vmHex" + nul + "\r\n" + nul + nul + nul +
                             "\r\n[registers]\r\n" + HexLine(vmHex, 1) + nul + "junk\r\n" +
                             HexLine(vmHex, 2) + "\r\n[tape]\r\n" + HexLine(vmHex, 3) + "=3" + nul + "3\r\n";
    const RecordingSink got = Load(text);
    EXPECT_EQ(got.modes, std::vector<ValueMode>{vmHex});
    EXPECT_EQ(got.log, "MR0R1|[T]");
    EXPECT_EQ(got.regs.at(0).value, IntValue(vmHex, 1));
    EXPECT_EQ(got.regs.at(1).value, IntValue(vmHex, 2));
    EXPECT_EQ(got.tape.at(0).text, "3" + nul + "3");
}

TEST(LoadState, EndsTheTapeBatchWhenTheSinkFails) {
    class Failing : public RecordingSink {
    public:
        void LoadTapeRow(const CalcValue& v, std::string_view t) override {
            RecordingSink::LoadTapeRow(v, t);
            if (tape.size() == 2) throw std::runtime_error("list full");
        }
    } sink;
    EXPECT_THROW(LoadStateText("[tape]\nvmDec:1=a\nvmDec:2=b\nvmDec:3=c\n", sink), std::runtime_error);
    EXPECT_EQ(sink.log, "[TT]");
}

}  // namespace
