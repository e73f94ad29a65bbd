// The machine at a word size of 8, 16, 32 or 64 bits: its operations against
// C++'s fixed-width integers (a sample here; a million cases per width and
// rule in machine_word_check), what the display and the tape show, and what
// a change of the word size does to the values the machine holds.
#include <gtest/gtest.h>

#include <random>

#include "machine_rig.h"
#include "machine_word_reference.h"

namespace {

constexpr WordBits k8 = WordBits::k8, k16 = WordBits::k16, k32 = WordBits::k32, k64 = WordBits::k64,
                   k128 = WordBits::k128;

// Every integer value the machine holds is within its word: X, Y and the
// values saved by open parentheses.
void ExpectAllReduced(const OpenMachine& m) {
    const WordBits n = m.WordSize();
    const auto reduced = [n](const CalcValue& v) {
        return v.mode == vmFloat || v.mode == vmERR || wide::IsReduced(v.w(), n);
    };
    EXPECT_TRUE(reduced(m.X)) << "X " << hexstr(m.X.w());
    EXPECT_TRUE(reduced(m.Y)) << "Y " << hexstr(m.Y.w());
    for (int i = 0; i < m.ParenDepth; ++i) EXPECT_TRUE(reduced(m.ParenStack[static_cast<std::size_t>(i)].x));
}

TEST(WordMachine, OperationsAgreeWithNativeIntegersOnEdgesAndASample) {
    for (const WordBits n : kWordSizes) {
        const wordref::Report r = machword::CheckMachine(n, 300, 11 + BitsOf(n));
        EXPECT_EQ(r.failed, 0u) << BitsOf(n) << " bits";
        for (const wordref::Failure& f : r.failures)
            ADD_FAILURE() << BitsOf(n) << " bits, " << f.rule << " (" << f.operands << "): expected "
                          << f.expected << ", got " << f.actual;
    }
}

// Digits typed one by one fold in and wrap at the word, as they wrap at 128
// bits: the number typed, modulo 2^N, in 64-bit unsigned arithmetic.
TEST(WordMachine, TypedDigitsWrapAtTheWord) {
    std::mt19937_64 gen(99);
    const struct {
        ValueMode mode;
        unsigned radix;
    } modes[] = {{vmDec, 10}, {vmHex, 16}, {vmOct, 8}, {vmBin, 2}};
    for (const WordBits n : {k8, k16, k32, k64}) {
        const unsigned bits = BitsOf(n);
        const uint64_t mask = bits == 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1;
        for (const auto& md : modes) {
            for (int i = 0; i < 200; ++i) {
                const bool negative = md.mode == vmDec && gen() % 3 == 0;
                std::string digits;
                uint64_t native = 0;
                for (std::size_t k = 0, len = 1 + gen() % 40; k < len; ++k) {
                    const unsigned d = static_cast<unsigned>(gen() % md.radix);
                    digits += "0123456789ABCDEF"[d];
                    native = native * md.radix + (negative ? 0 - uint64_t{d} : d);
                }
                OpenMachine m;
                m.SetMode(md.mode);
                m.SetWordSize(n);
                if (negative) m.FnNeg();
                for (const char c : digits) m.KeyChar(c);
                SCOPED_TRACE(std::to_string(bits) + " bits: " + (negative ? "-" : "") + digits);
                EXPECT_EQ(m.Y.w().lo & mask, native & mask);
                ExpectAllReduced(m);
                CalcValue out;
                m.EvalText(digits.substr(0, 5), out);  // runs of digits at once, as qzcalc types
                EXPECT_TRUE(wide::IsReduced(out.w(), n));
            }
        }
    }
}

// What the user sees at each width.
TEST(WordMachine, DisplayAndTape) {
    const struct {
        WordBits n;
        ValueMode mode;
        const char* keys;
        const char* display;
        const char* lastTape;  // "" where the keys write no line
    } rows[] = {
        {k8, vmDec, "100 + 200 =", "44", "= 44"},
        {k8, vmDec, "200", "-56", ""},  // typed digits wrap
        {k8, vmHex, "0 - 1 =", "FF", "= FFh"},
        {k8, vmDec, "2 ^ 7 =", "-128", "= -128"},
        {k8, vmHex, "80 < 1 =", "1", "= 1h"},          // comparisons are signed: 80h is -128
        {k8, vmHex, "12 b:BSWAP", "12", "BSWAP 12h"},  // one byte: nothing moves
        {k8, vmDec, "0 - 128 / ( 0 - 1 ) =", "-128", "= -128"},
        {k8, vmFloat, "1000 + mode:vmDec 1 =", "-128", "= -128"},  // 1000.0 saturates to 127
        {k16, vmDec, "300 * 300 =", "24464", "= 24464"},
        {k16, vmHex, "1234 b:BSWAP", "3412", "BSWAP 1234h"},
        {k16, vmDec, "1249 b:ROUN ( 0 - 2 ) =", "1200", "= 1200"},
        {k16, vmBin, "1 >> 1 =", "1000000000000000", "= 1000000000000000b"},  // ROR turns 16 bits
        {k32, vmDec, "2147483647 + 1 =", "-2147483648", "= -2147483648"},
        {k32, vmDec, "0 - 2147483648 / ( 0 - 1 ) =", "-2147483648", "= -2147483648"},
        {k32, vmHex, "FFFFFFFF", "FFFFFFFF", ""},
        {k32, vmHex, "FFFFFFFF mode:vmDec", "-1", ""},
        {k32, vmHex, "123456789", "23456789", ""},
        {k32, vmOct, "0 - 1 =", "37777777777", "= 37777777777o"},
        {k32, vmIPv4, "255.255.255.0 b:NOT", "0.0.0.255", "NOT 255.255.255.0"},
        {k32, vmIPv4, "1.2.3.4.5", "2.3.4.5", ""},  // the first octet leaves the word
        {k32, vmHex, "80000001 << 1 =", "3", "= 3h"},
        {k32, vmHex, "80000000 b:SAR 4 =", "F8000000", "= F8000000h"},
        {k32, vmHex, "80000000 b:SAR 4 b:SAR", "F8000000", "SAR 4h"},
        {k32, vmHex, "80000000 >| 4 =", "8000000", "= 8000000h"},
        {k32, vmHex, "20 b:LBT 8 =", "FF000000", "= FF000000h"},
        {k32, vmHex, "40 b:RBT", "FFFFFFFF", "RBits 40h"},
        {k32, vmDec, "3 ^ ( 0 - 1 ) =", "*** ERROR ***", "= *** ERROR ***"},
        {k8, vmFloat, "1000 * 1000 =", "1000000", "= 1000000"},  // Float is not touched by the word size
        {k64, vmDec, "0 - 8 >| 1 =", "9223372036854775804", "= 9223372036854775804"},
        {k64, vmDec, "0 - 8 b:SAR 1 =", "-4", "= -4"},
        {k64, vmIPv6, "1::2", "::1:0:0:2", ""},    // "::" moves the head to the top of the word
        {k64, vmIPv6, "1::2 bs bs", "::1:0", ""},  // back to before the second colon
        {k64, vmHex, "0123456789ABCDEF b:BSWAP", "EFCDAB8967452301", "BSWAP 123456789ABCDEFh"},
        {k128, vmDec, "0 - 8 >| 1 =", "170141183460469231731687303715884105724",
         "= 170141183460469231731687303715884105724"},
        {k128, vmHex, "80 b:BSWAP", "80000000000000000000000000000000", "BSWAP 80h"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(BitsOf(r.n)) + " bits, " + std::string(ModeName(r.mode)) + ": " + r.keys);
        MachineRig rig(r.mode);
        rig.m.SetWordSize(r.n);
        rig.Keys(r.keys);
        EXPECT_EQ(rig.Display(), r.display);
        EXPECT_EQ(rig.tape.empty() ? "" : rig.tape.back(), std::string(r.lastTape));
        ExpectAllReduced(rig.m);
    }
}

// A change of the word size reduces what the machine shows and holds, the
// accumulator and the parentheses' values included, and ends an entry;
// registers keep what they hold until they are recalled.
TEST(WordMachine, ChangingTheWordSize) {
    const struct {
        const char* keys;
        const char* display;
    } rows[] = {
        {"mode:vmHex 123456789 w:32", "23456789"},
        {"mode:vmHex 123456789 w:32 5", "5"},  // the entry ended: a digit starts a new one
        {"mode:vmHex 123456789 + 1 = w:8", "8A"},
        {"mode:vmHex 100000001 + ( 100000002 * w:32 3 ) =", "7"},
        {"mode:vmHex 123456789 sto1 w:16 rcl1", "6789"},
        {"mode:vmDec w:32 0 - 1 = w:128", "-1"},
        {"mode:vmDec w:32 0 - 1 = w:128 mode:vmHex", "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"},
        {"mode:vmDec w:32 4294967295 w:64", "-1"},
        {"mode:vmDec 12 w:128 3", "123"},  // the same size changes nothing
        {"mode:vmDec neg w:32 5", "5"},
        {"mode:vmFloat 2.5 w:8 * 2 =", "5"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.keys);
        MachineRig rig;
        rig.Keys(r.keys);
        EXPECT_EQ(rig.Display(), r.display);
        EXPECT_TRUE(rig.tape.empty() || rig.tape.back().find("w:") == std::string::npos);
        ExpectAllReduced(rig.m);
    }

    // Nothing stored is destroyed: the register holds all 128 bits.
    MachineRig rig(vmHex);
    rig.Keys("123456789 sto1 w:8 ( 1234 + ( 5678 w:16");
    EXPECT_EQ(rig.m.Register(1), CalcValue::Int(vmHex, Word128(0x123456789, 0)));
    ExpectAllReduced(rig.m);
    // A value from a tape row or the bits panel comes in reduced too.
    rig.m.SetValue(CalcValue::Int(vmHex, Word128(0x123456789, 0)));
    EXPECT_EQ(rig.Display(), "6789");
    rig.m.EnterNumber(vmDec, Word128(0x18000, 0));
    EXPECT_EQ(rig.Display(), "-32768");
    EXPECT_TRUE(rig.m.ToggleBit(15));
    EXPECT_EQ(rig.Display(), "0");
    EXPECT_FALSE(rig.m.ToggleBit(16));  // no such bit in the word
    // The error value is no integer of the word: it stays the one value the
    // tape and the state file know.
    rig.m.SetValue(kErrorValue);
    EXPECT_EQ(rig.m.ShownValue(), kErrorValue);
}

TEST(WordMachine, OpcodesOfSarAndTheByteSwap) {
    EXPECT_STREQ(kTapeSymbols[opSar], "SAR ");
    EXPECT_STREQ(kTapeSymbols[opByteSwap], "BSWAP ");
    EXPECT_STREQ(kKeyTexts[opSar], "");
    CcalcMach m;
    m.OpSet(opSar);
    EXPECT_THROW(m.OpSet(opByteSwap), RangeError);
    EXPECT_THROW(m.OpSet(24), RangeError);
    // In Float neither applies: the error value, as for NOT.
    MachineRig rig(vmFloat);
    rig.Keys("16 b:SAR 2 +");
    EXPECT_EQ(rig.Display(), "*** ERROR ***");
    rig.Keys("x 16 b:BSWAP");
    EXPECT_EQ(rig.Display(), "*** ERROR ***");
}

}  // namespace
