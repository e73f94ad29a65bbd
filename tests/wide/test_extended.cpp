// The extended float's arithmetic as exact encodings in and out, so the same
// expectations hold on every processor: rounding, denormals, the three
// faults, NaN operands and the encodings the x87 refuses. (Millions of
// random operands against the x87 itself: tests/calcmach/test_float_x87.)
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "wide/extended.h"

inline void PrintTo(const Extended& x, std::ostream* os) { *os << HexText(x); }

namespace {

Extended H(const char* hex20) {
    uint64_t se = 0, sig = 0;
    for (int i = 0; i < 20; ++i) {
        const char c = hex20[i];
        const uint64_t d = c <= '9' ? static_cast<uint64_t>(c - '0') : static_cast<uint64_t>(c - 'A' + 10);
        (i < 4 ? se : sig) = (i < 4 ? se : sig) << 4 | d;
    }
    return {sig, static_cast<unsigned>(se)};
}

// The result's encoding, or the fault's message.
std::string Outcome(const std::function<Extended()>& f) {
    try {
        return HexText(f());
    } catch (const FloatError& e) {
        return e.what();
    }
}

const char* const kInv = "Invalid floating point operation";
const char* const kDiv = "Division by zero";
const char* const kOvf = "Floating point overflow";

TEST(ExtendedMath, Table) {
    const Extended one = Extended::FromInt64(1), two = Extended::FromInt64(2), three = Extended::FromInt64(3);
    const Extended zero = Extended::Zero(), inf = Extended::Infinity();
    const Extended qnan = H("7FFFC000000000000001"), qnanNeg = H("FFFFC000000000000001");
    const Extended bigNaN = H("7FFFC000000000000002"), snan = H("7FFF8000000000000001");
    const Extended tiny = H("00000000000000000020");  // 2^-16440, a denormal
    struct Row {
        const char* what;
        std::function<Extended()> f;
        std::string want;
    };
    const Row rows[] = {
        {"1/3", [&] { return ext::Div(one, three); }, "3FFDAAAAAAAAAAAAAAAB"},
        {"1/10", [&] { return ext::Div(one, Extended::FromInt64(10)); }, "3FFBCCCCCCCCCCCCCCCD"},
        {"sqrt 2", [&] { return ext::Sqrt(two); }, "3FFFB504F333F9DE6484"},
        {"sqrt -0", [&] { return ext::Sqrt(Extended::Zero(true)); }, "80000000000000000000"},
        {"denormal / 3", [&] { return ext::Div(tiny, three); }, "0000000000000000000B"},
        {"smallest denormal / 2: to even, 0", [&] { return ext::Div(Extended::MinDenormal(), two); },
         "00000000000000000000"},
        {"3 x smallest / 2: to even", [&] { return ext::Div(ext::Mul(Extended::MinDenormal(), three), two); },
         "00000000000000000002"},
        {"x - x is +0", [&] { return ext::Sub(three, three); }, "00000000000000000000"},
        {"2^16383 x 1.5", [&] { return ext::Mul(H("7FFE8000000000000000"), Extended::FromDouble(1.5)); },
         "7FFEC000000000000000"},
        {"largest + largest", [&] { return ext::Add(Extended::Max(), Extended::Max()); }, kOvf},
        {"1 / 0", [&] { return ext::Div(one, zero); }, kDiv},
        {"inf / 0: no fault", [&] { return ext::Div(inf, zero); }, "7FFF8000000000000000"},
        {"0 / 0", [&] { return ext::Div(zero, zero); }, kInv},
        {"inf - inf", [&] { return ext::Sub(inf, inf); }, kInv},
        {"sqrt -1", [&] { return ext::Sqrt(Extended::FromInt64(-1)); }, kInv},
        {"sin inf", [&] { return ext::Sin(inf); }, kInv},
        {"NaN + 1: the NaN", [&] { return ext::Add(qnan, one); }, "7FFFC000000000000001"},
        {"two NaNs: the larger significand", [&] { return ext::Mul(qnan, bigNaN); }, "7FFFC000000000000002"},
        {"two NaNs alike: the positive one", [&] { return ext::Add(qnanNeg, qnan); }, "7FFFC000000000000001"},
        {"signalling NaN", [&] { return ext::Add(snan, qnan); }, kInv},
        {"unnormal", [&] { return ext::Add(H("3FFF4000000000000000"), one); }, kInv},
        {"pseudo-infinity", [&] { return ext::Sqrt(H("7FFF0000000000000000")); }, kInv},
        {"pseudo-denormal: its number", [&] { return ext::Add(H("00008000000000000000"), zero); },
         "00018000000000000000"},
        {"sin 1E22, reduced exactly", [&] { return ext::Sin(H("4048878678326EAC9000")); },
         "BFFEDA29D5BB5F9CB87D"},
        {"cos 1", [&] { return ext::Cos(one); }, "3FFE8A51407DA8345C92"},
        {"2 ^ 0.5", [&] { return ext::Pow(two, Extended::FromDouble(0.5)); }, "3FFFB504F333F9DE6484"},
        {"0 ^ -1", [&] { return ext::PowInt(zero, -1); }, kDiv},
        {"-inf ^ -3", [&] { return ext::PowInt(Extended::Infinity(true), -3); }, "80000000000000000000"},
        {"10 ^ -5000 underflows", [&] { return ext::PowInt(Extended::FromInt64(10), -5000); },
         "00000000000000000000"},
        {"8 LOGn 2, exact", [&] { return ext::LogBase(Extended::FromInt64(8), two); },
         "4000C000000000000000"},
        {"2 LOGn 4, exact", [&] { return ext::LogBase(two, Extended::FromInt64(4)); },
         "3FFE8000000000000000"},
        {"-2.5 to whole", [&] { return ext::RoundHalfAway(Extended::FromDouble(-2.5)); },
         "C000C000000000000000"},
    };
    for (const Row& r : rows) EXPECT_EQ(Outcome(r.f), r.want) << r.what;
}

TEST(ExtendedMath, DecimalConversions) {
    std::string digits;
    long exp10 = 0;
    ext::DecimalDigits(H("3FFDAAAAAAAAAAAAAAAB"), 17, digits, exp10);
    EXPECT_EQ(digits, "33333333333333333");
    EXPECT_EQ(exp10, 0);
    // Halfway between two 17-digit numbers: to the even one.
    ext::DecimalDigits(Extended::FromInt64(100000000000000005), 17, digits, exp10);
    EXPECT_EQ(digits, "10000000000000000");
    EXPECT_EQ(exp10, 18);
    EXPECT_EQ(ext::FromDecimal("1", 4000), H("73E6D1BA8323FE558C61"));
    EXPECT_EQ(ext::FromDecimal("1", 5000), Extended::Infinity());
    EXPECT_EQ(ext::FromDecimal("1", -5000), Extended::Zero());
    EXPECT_EQ(ext::FromDecimal("15", -1), Extended::FromDouble(1.5));
    EXPECT_EQ(ext::ToBinary64Bits(H("3FFDAAAAAAAAAAAAAAAB")), 0x3FD5555555555555u);
    EXPECT_EQ(ext::ToBinary32Bits(H("3FFBCCCCCCCCCCCCCCCD")), 0x3DCCCCCDu);
}

TEST(ExtendedMath, OrderAndWholeParts) {
    EXPECT_EQ(ext::Compare(Extended::Zero(true), Extended::Zero()), 0);
    EXPECT_EQ(ext::Compare(Extended::FromInt64(-3), Extended::FromInt64(2)), -1);
    EXPECT_EQ(ext::Compare(Extended::Infinity(), Extended::Max()), 1);
    EXPECT_EQ(ext::Compare(Extended::QuietNaN(), Extended::QuietNaN()), ext::kUnordered);
    EXPECT_EQ(ext::Compare(H("00008000000000000000"), Extended::MinNormal()), 0);  // pseudo-denormal
    EXPECT_TRUE(ext::BelowTwo63(Extended::FromDouble(-9223372036854774784.0)));
    EXPECT_FALSE(ext::BelowTwo63(Extended::FromDouble(9223372036854775808.0)));
    EXPECT_EQ(ext::TruncToInt64(Extended::FromDouble(-2.9)), -2);
}

}  // namespace
