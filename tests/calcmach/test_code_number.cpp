// Integers as code writes them: which texts are taken as one number (and
// as which), and which are left to be pasted key by key.
#include "calcmach/code_number.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Taken {
    std::string text;
    ValueMode mode;
    Word128 value;
};

void PrintTo(const Taken& t, std::ostream* os) { *os << '"' << t.text << '"'; }

class CodeNumberTaken : public ::testing::TestWithParam<Taken> {};

TEST_P(CodeNumberTaken, AsTheNumberInItsBase) {
    const Taken& t = GetParam();
    const std::optional<CodeNumber> n = ParseCodeNumber(t.text);
    ASSERT_TRUE(n.has_value());
    EXPECT_EQ(n->mode, t.mode);
    EXPECT_EQ(n->value, t.value) << hexstr(n->value);
}

const Word128 k255(255, 0);
const Word128 kMinus1 = W128AllOnes;

INSTANTIATE_TEST_SUITE_P(
    Prefixes, CodeNumberTaken,
    ::testing::Values(Taken{"0xFF", vmHex, k255}, Taken{"0XFF", vmHex, k255}, Taken{"0xff", vmHex, k255},
                      Taken{"0x00fF", vmHex, k255}, Taken{"0x0", vmHex, W128Zero},
                      Taken{"0x1b", vmHex, Word128(0x1B, 0)}, Taken{"0b101", vmBin, Word128(5, 0)},
                      Taken{"0B101", vmBin, Word128(5, 0)}, Taken{"0o17", vmOct, Word128(15, 0)},
                      Taken{"0O17", vmOct, Word128(15, 0)}, Taken{"0o0", vmOct, W128Zero}));

INSTANTIATE_TEST_SUITE_P(TapeSuffixes, CodeNumberTaken,
                         ::testing::Values(Taken{"FFh", vmHex, k255}, Taken{"FFH", vmHex, k255},
                                           Taken{"0ffh", vmHex, k255}, Taken{"0FFh", vmHex, k255},
                                           Taken{"0BAh", vmHex, Word128(0xBA, 0)},
                                           Taken{"0b1h", vmHex, Word128(0xB1, 0)},
                                           Taken{"101b", vmBin, Word128(5, 0)},
                                           // The tape's zeros.
                                           Taken{"0b", vmBin, W128Zero}, Taken{"0o", vmOct, W128Zero},
                                           Taken{"0h", vmHex, W128Zero}, Taken{"17o", vmOct, Word128(15, 0)},
                                           Taken{"17O", vmOct, Word128(15, 0)},
                                           Taken{"DEADBEEFh", vmHex, Word128(0xDEADBEEF, 0)}));

INSTANTIATE_TEST_SUITE_P(
    SignsAndSeparators, CodeNumberTaken,
    ::testing::Values(Taken{"-0x1", vmHex, kMinus1}, Taken{"-1b", vmBin, kMinus1},
                      Taken{"-0o10", vmOct, -Word128(8, 0)}, Taken{"-FFh", vmHex, -k255},
                      Taken{"-0x0", vmHex, W128Zero}, Taken{"0xDEAD_BEEF", vmHex, Word128(0xDEADBEEF, 0)},
                      Taken{"0b1010'1010", vmBin, Word128(0xAA, 0)},
                      Taken{"0x12 34", vmHex, Word128(0x1234, 0)},
                      Taken{"1111 0000b", vmBin, Word128(0xF0, 0)}, Taken{"7_7_7o", vmOct, Word128(511, 0)},
                      Taken{"0x1__2", vmHex, Word128(0x12, 0)}, Taken{"  0x1F \r\n", vmHex, Word128(0x1F, 0)},
                      Taken{"\t-0b1\n", vmBin, kMinus1}));

// Digits past 128 bits fall off the top, as typed digits do.
INSTANTIATE_TEST_SUITE_P(TooWide, CodeNumberTaken,
                         ::testing::Values(Taken{"0x1" + std::string(32, '0'), vmHex, W128Zero},
                                           Taken{"0x" + std::string(33, 'F'), vmHex, W128AllOnes},
                                           Taken{"0x12" + std::string(30, '0') + "5", vmHex,
                                                 Word128(5, uint64_t{2} << 60)},
                                           Taken{"0b11" + std::string(127, '0'), vmBin, W128MinSigned},
                                           Taken{"0o7" + std::string(43, '0'), vmOct, W128Zero},
                                           Taken{std::string(40, 'F') + "h", vmHex, W128AllOnes}));

class CodeNumberLeft : public ::testing::TestWithParam<std::string> {};

TEST_P(CodeNumberLeft, PastedKeyByKey) { EXPECT_FALSE(ParseCodeNumber(GetParam()).has_value()); }

INSTANTIATE_TEST_SUITE_P(NotOneCodeNumber, CodeNumberLeft,
                         ::testing::Values(
                             // Plain decimal integers, floats and expressions keep their keys.
                             "", " ", "\n", "123", "-5", "0", "00", "1+2", "0x1+2", "1.5", "0x1.8", "1e5",
                             "3,14",
                             // A prefix or suffix with no digits, or with digits of another base.
                             "0x", "-0x", "0xG1", "0b102", "0o8", "102b", "18o", "h", "b", "-h", "x10",
                             // A hexadecimal number without its marker; upper-case B is a hex digit.
                             "FF", "-FF", "12B", "101B",
                             // Separators only between digits; a sign only in front, and only minus.
                             "0x_FF", "0xFF_", "0x FF", "_0xFF", "FF_h", "- 0x1", "--0x1", "+0x1", "0x-1",
                             "0x1-",
                             // Two numbers, or a number inside text.
                             "0x1 0x2", "0x1 2h", "x=0x10", "0x10;", "0xFFh", "(0x10)", "0x10 +",
                             // Words that end like a suffix.
                             "each", "bah", "Each", "oho", "Bach"));

}  // namespace
