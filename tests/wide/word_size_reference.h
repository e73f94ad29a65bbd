// The word-size rules computed independently, with C++'s own fixed-width
// integers, and a driver that compares them with word_size.h on chosen and
// random operands. Shared by the ordinary suite (a small sample) and by
// word_size_check (a million cases per width and rule).
//
// Each rule is checked against the type whose meaning matches it: the
// unsigned uintN_t for the wrapping, bitwise and logical operations,
// std::rotl/std::rotr for the rotations, the signed intN_t for division,
// comparisons, power and SAR. 128 bits use unsigned __int128 / __int128.
#pragma once

#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "wide/extended.h"
#include "wide/word_size.h"

namespace wordref {

// One rule: what word_size.h gives and what the native type gives, for the
// operands a and b; nothing expected means "Word128: divide by zero".
struct Rule {
    std::string name;
    bool countOperand;  // b is a count: only its low byte matters
    std::function<Word128(Word128, Word128)> actual;
    std::function<std::optional<Word128>(Word128, Word128)> expected;
};

template <class U, class S>
struct Native {
    // No std::numeric_limits or type traits: in strict C++ they know nothing
    // of __int128.
    static_assert(static_cast<U>(~U{0}) > U{0} && sizeof(U) == sizeof(S));
    static constexpr unsigned kBits = 8 * sizeof(U);
    // Arithmetic on U without the promotion to int, whose overflow is
    // undefined (uint16_t * uint16_t).
    using Wide = std::conditional_t<(sizeof(U) < sizeof(unsigned)), unsigned, U>;

    static U ToU(Word128 v) { return static_cast<U>(v.native()); }
    static S ToS(Word128 v) { return static_cast<S>(ToU(v)); }
    static Word128 FromS(S s) { return Word128::FromNative(static_cast<u128>(static_cast<s128>(s))); }
    static Word128 FromU(U u) { return FromS(static_cast<S>(u)); }
    static unsigned Count(Word128 v) { return static_cast<unsigned>(v.lo & 0xFF); }
    static constexpr S kMin = static_cast<S>(static_cast<U>(U{1} << (kBits - 1)));
    static constexpr S kMax = static_cast<S>(~kMin);

    static U Rotl(U a, unsigned c) {
        if constexpr (kBits == 128) {
            const unsigned r = c % 128;
            return r == 0 ? a : static_cast<U>((a << r) | (a >> (128 - r)));
        } else {
            return std::rotl(a, static_cast<int>(c));
        }
    }
    static U Rotr(U a, unsigned c) {
        if constexpr (kBits == 128) {
            const unsigned r = c % 128;
            return r == 0 ? a : static_cast<U>((a >> r) | (a << (128 - r)));
        } else {
            return std::rotr(a, static_cast<int>(c));
        }
    }
    static U ByteSwap(U a) {
        U r = 0;
        for (unsigned i = 0; i < sizeof(U); ++i) r = static_cast<U>((Wide(r) << 8) | ((a >> (8 * i)) & 0xFF));
        return r;
    }
    static U Ones(unsigned k) {
        return k >= kBits ? static_cast<U>(~U{0}) : static_cast<U>((Wide{1} << k) - 1);
    }
    static U ShiftLeft(U a, unsigned c) { return c >= kBits ? U{0} : static_cast<U>(Wide(a) << c); }
    static U Power(U a, S e) {
        if (a == 0) return e == 0 ? 1 : 0;
        if (e < 0) return 0;
        U r = 1;
        for (U m = static_cast<U>(e); m != 0; m >>= 1, a = static_cast<U>(Wide(a) * a))
            if (m & 1) r = static_cast<U>(Wide(r) * a);
        return r;
    }
    static std::optional<Word128> Divide(S a, S b) {
        if (a == 0) return FromS(0);
        if (b == 0) return std::nullopt;
        // The one quotient outside the range wraps to the minimum, the rule
        // the 128-bit division keeps at -2^127 (here it is undefined).
        if (b == -1 && a == kMin) return FromS(a);
        return FromS(static_cast<S>(a / b));
    }

    static std::vector<Rule> Rules() {
        constexpr WordBits n = static_cast<WordBits>(kBits);
        auto u = [](auto f) {
            return [f](Word128 a, Word128 b) -> std::optional<Word128> { return FromU(f(a, b)); };
        };
        auto s = [](auto f) {
            return [f](Word128 a, Word128 b) -> std::optional<Word128> { return FromS(f(a, b)); };
        };
        auto flag = [](bool v) { return Word128(v ? 1 : 0, 0); };
        std::vector<Rule> r;
        r.push_back({"add", false, [](Word128 a, Word128 b) { return AddAt(a, b, n); },
                     u([](Word128 a, Word128 b) { return static_cast<U>(Wide(ToU(a)) + ToU(b)); })});
        r.push_back({"subtract", false, [](Word128 a, Word128 b) { return SubAt(a, b, n); },
                     u([](Word128 a, Word128 b) { return static_cast<U>(Wide(ToU(a)) - ToU(b)); })});
        r.push_back({"multiply", false, [](Word128 a, Word128 b) { return MulAt(a, b, n); },
                     u([](Word128 a, Word128 b) { return static_cast<U>(Wide(ToU(a)) * ToU(b)); })});
        r.push_back({"negate", false, [](Word128 a, Word128) { return NegAt(a, n); },
                     u([](Word128 a, Word128) { return static_cast<U>(Wide{0} - ToU(a)); })});
        r.push_back({"AND", false, [](Word128 a, Word128 b) { return AndAt(a, b, n); },
                     u([](Word128 a, Word128 b) { return static_cast<U>(ToU(a) & ToU(b)); })});
        r.push_back({"OR", false, [](Word128 a, Word128 b) { return OrAt(a, b, n); },
                     u([](Word128 a, Word128 b) { return static_cast<U>(ToU(a) | ToU(b)); })});
        r.push_back({"XOR", false, [](Word128 a, Word128 b) { return XorAt(a, b, n); },
                     u([](Word128 a, Word128 b) { return static_cast<U>(ToU(a) ^ ToU(b)); })});
        r.push_back({"NOT", false, [](Word128 a, Word128) { return NotAt(a, n); },
                     u([](Word128 a, Word128) { return static_cast<U>(~ToU(a)); })});
        r.push_back({"SHL", true,
                     [](Word128 a, Word128 b) { return ShlAt(a, static_cast<uint8_t>(b.lo), n); },
                     u([](Word128 a, Word128 b) { return ShiftLeft(ToU(a), Count(b)); })});
        r.push_back({"SHR", true,
                     [](Word128 a, Word128 b) { return ShrAt(a, static_cast<uint8_t>(b.lo), n); },
                     u([](Word128 a, Word128 b) {
                         return Count(b) >= kBits ? U{0} : static_cast<U>(ToU(a) >> Count(b));
                     })});
        r.push_back({"SAR", true,
                     [](Word128 a, Word128 b) { return SarAt(a, static_cast<uint8_t>(b.lo), n); },
                     s([](Word128 a, Word128 b) {
                         const S x = ToS(a);
                         return Count(b) >= kBits ? S(x < 0 ? -1 : 0) : static_cast<S>(x >> Count(b));
                     })});
        r.push_back({"ROL", true,
                     [](Word128 a, Word128 b) { return RolAt(a, static_cast<uint8_t>(b.lo), n); },
                     u([](Word128 a, Word128 b) { return Rotl(ToU(a), Count(b)); })});
        r.push_back({"ROR", true,
                     [](Word128 a, Word128 b) { return RorAt(a, static_cast<uint8_t>(b.lo), n); },
                     u([](Word128 a, Word128 b) { return Rotr(ToU(a), Count(b)); })});
        r.push_back({"LBT", true, [](Word128 a, Word128 b) { return LeftBitsAt(a, b, n); },
                     u([](Word128 a, Word128 b) {
                         const unsigned w = Count(a), k = Count(b);
                         return ShiftLeft(Ones(k), (w - k) & 0xFF);
                     })});
        r.push_back({"RBT", false, [](Word128 a, Word128) { return RightBitsAt(a, n); },
                     u([](Word128 a, Word128) { return Ones(Count(a)); })});
        r.push_back({"byte swap", false, [](Word128 a, Word128) { return ByteSwapAt(a, n); },
                     u([](Word128 a, Word128) { return ByteSwap(ToU(a)); })});
        r.push_back({"divide", false, [](Word128 a, Word128 b) { return DivAt(a, b, n); },
                     [](Word128 a, Word128 b) { return Divide(ToS(a), ToS(b)); }});
        r.push_back({"power", false, [](Word128 a, Word128 b) { return PowAt(a, b, n); },
                     u([](Word128 a, Word128 b) { return Power(ToU(a), ToS(b)); })});
        // The comparisons as the machine builds them from LessAt and EqualAt.
        r.push_back({"<", false, [flag](Word128 a, Word128 b) { return flag(LessAt(a, b, n)); },
                     [flag](Word128 a, Word128 b) { return flag(ToS(a) < ToS(b)); }});
        r.push_back({"<=", false, [flag](Word128 a, Word128 b) { return flag(!LessAt(b, a, n)); },
                     [flag](Word128 a, Word128 b) { return flag(ToS(a) <= ToS(b)); }});
        r.push_back({">", false, [flag](Word128 a, Word128 b) { return flag(LessAt(b, a, n)); },
                     [flag](Word128 a, Word128 b) { return flag(ToS(a) > ToS(b)); }});
        r.push_back({">=", false, [flag](Word128 a, Word128 b) { return flag(!LessAt(a, b, n)); },
                     [flag](Word128 a, Word128 b) { return flag(ToS(a) >= ToS(b)); }});
        r.push_back({"=", false, [flag](Word128 a, Word128 b) { return flag(EqualAt(a, b, n)); },
                     [flag](Word128 a, Word128 b) { return flag(ToS(a) == ToS(b)); }});
        return r;
    }

    // A float made an integer: truncated toward zero, clamped to the signed
    // range, worked out from the encoding with integers alone. A NaN has no
    // value to clamp: it is whatever the 128-bit conversion makes of it,
    // clamped.
    static Word128 Saturated(const Extended& x) {
        if (x.IsNaN()) {
            const s128 v = static_cast<s128>(wide::FloatToW128(x).native());
            return FromS(v < kMin ? kMin : v > kMax ? kMax : static_cast<S>(v));
        }
        if (x.IsInfinity()) return FromS(x.Negative() ? kMin : kMax);
        const int k = static_cast<int>(x.Exponent()) - Extended::kBias;  // x = sig * 2^(k-63)
        if (k < 0 || x.significand == 0) return FromS(0);
        if (k >= static_cast<int>(kBits) - 1) return FromS(x.Negative() ? kMin : kMax);  // |x| >= 2^(N-1)
        const u128 whole = k <= 63 ? u128{x.significand} >> (63 - k) : u128{x.significand} << (k - 63);
        const s128 v = x.Negative() ? -static_cast<s128>(whole) : static_cast<s128>(whole);
        return FromS(static_cast<S>(v));
    }
};

inline std::vector<Rule> RulesAt(WordBits n) {
    switch (n) {
        case WordBits::k8: return Native<uint8_t, int8_t>::Rules();
        case WordBits::k16: return Native<uint16_t, int16_t>::Rules();
        case WordBits::k32: return Native<uint32_t, int32_t>::Rules();
        case WordBits::k64: return Native<uint64_t, int64_t>::Rules();
        case WordBits::k128: break;
    }
    __extension__ typedef unsigned __int128 U128;
    return Native<U128, s128>::Rules();
}

inline Word128 SaturatedAt(const Extended& x, WordBits n) {
    switch (n) {
        case WordBits::k8: return Native<uint8_t, int8_t>::Saturated(x);
        case WordBits::k16: return Native<uint16_t, int16_t>::Saturated(x);
        case WordBits::k32: return Native<uint32_t, int32_t>::Saturated(x);
        case WordBits::k64: return Native<uint64_t, int64_t>::Saturated(x);
        case WordBits::k128: break;
    }
    __extension__ typedef unsigned __int128 U128;
    return Native<U128, s128>::Saturated(x);
}

// The values where N-bit code goes wrong: 0, 1, -1, the minimum, the
// maximum and their neighbours.
inline std::vector<Word128> EdgeValues(WordBits n) {
    const Word128 one(1, 0);
    return {W128Zero,         one,           W128AllOnes,
            WordMin(n),       WordMax(n),    ReduceTo(WordMin(n) + one, n),
            WordMax(n) - one, Word128(2, 0), ReduceTo(Word128(0xFF, 0), n)};
}

class Operands {
public:
    Operands(WordBits n, uint64_t seed) : n_(n), edges_(EdgeValues(n)), gen_(seed) {}

    // A value of the word, now and then with stray bits above it that every
    // rule must ignore.
    Word128 Value() {
        const unsigned bits = BitsOf(n_);
        Word128 v;
        switch (gen_() % 6) {
            case 0: v = Word128(gen_() % 300, 0) - Word128(150, 0); break;  // small, both signs
            case 1: {
                const Word128 p = Word128(1, 0) << static_cast<unsigned>(gen_() % bits);
                v = p + Word128(gen_() % 3, 0) - Word128(1, 0);
                break;
            }
            case 2: v = edges_[gen_() % edges_.size()]; break;
            default: v = Word128{gen_(), gen_()} >> static_cast<unsigned>(gen_() % bits);  // random length
        }
        v = ReduceTo(v, n_);
        if (bits < 128 && gen_() % 4 == 0) v = v ^ (Word128{gen_(), gen_()} << bits);
        return v;
    }

    // A count: the low byte counts, mostly around the width.
    Word128 Count() {
        const uint64_t c = gen_() % 2 ? gen_() % (BitsOf(n_) + 3) : gen_() % 256;
        return ReduceTo(Word128(c, 0), n_) ^ (Word128{gen_(), gen_()} << 8);
    }

    // Infinities, a NaN, powers of two and random significands around the
    // word's range, made from the encoding so they are the same everywhere.
    Extended Float() {
        const bool negative = gen_() % 2 != 0;
        switch (gen_() % 16) {
            case 0: return Extended::Infinity(negative);
            case 1: return Extended::QuietNaN(negative);
            case 2: return Power(negative, static_cast<int>(gen_() % 130));
            default: {
                const uint64_t sig = gen_() | Extended::kIntegerBit;
                const unsigned exp =
                    static_cast<unsigned>(Extended::kBias + static_cast<int>(gen_() % 140) - 5);
                return Extended(sig, exp | (negative ? Extended::kSignBit : 0u));
            }
        }
    }
    static Extended Power(bool negative, int k) {
        return Extended(Extended::kIntegerBit,
                        static_cast<unsigned>(Extended::kBias + k) | (negative ? Extended::kSignBit : 0u));
    }

private:
    WordBits n_;
    std::vector<Word128> edges_;
    std::mt19937_64 gen_;
};

struct Failure {
    std::string rule, operands, expected, actual;
};

inline std::string FloatOperand(const Extended& x) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04X%016llX", static_cast<unsigned>(x.signExp),
                  static_cast<unsigned long long>(x.significand));
    return buf;
}

inline std::string Show(const std::optional<Word128>& v) { return v ? "0x" + hexstr(*v) : "divide by zero"; }

// Every rule on every pair of edge values, then on `randomCases` random
// pairs; failures are collected, at most `keep` of them, and counted.
struct Report {
    uint64_t cases = 0, failed = 0;
    std::vector<Failure> failures;
};

inline void CheckPair(const Rule& rule, Word128 a, Word128 b, Report& out, std::size_t keep) {
    std::optional<Word128> got;
    try {
        got = rule.actual(a, b);
    } catch (const DivByZeroError&) {}
    const std::optional<Word128> want = rule.expected(a, b);
    ++out.cases;
    if (got == want) return;
    ++out.failed;
    if (out.failures.size() < keep)
        out.failures.push_back({rule.name, "0x" + hexstr(a) + ", 0x" + hexstr(b), Show(want), Show(got)});
}

inline Report CheckRules(WordBits n, uint64_t randomCases, uint64_t seed, std::size_t keep = 10) {
    Report out;
    const std::vector<Word128> edges = EdgeValues(n);
    Operands gen(n, seed);
    for (const Rule& rule : RulesAt(n)) {
        for (const Word128 a : edges)
            for (const Word128 b : edges) CheckPair(rule, a, b, out, keep);
        for (uint64_t i = 0; i < randomCases; ++i) {
            const Word128 a = gen.Value();
            const Word128 b = rule.countOperand ? gen.Count() : gen.Value();
            CheckPair(rule, a, b, out, keep);
        }
    }
    for (uint64_t i = 0; i < randomCases; ++i) {
        const Extended x = gen.Float();
        const Word128 want = SaturatedAt(x, n), got = SaturateTo(wide::FloatToW128(x), n);
        ++out.cases;
        if (got == want) continue;
        ++out.failed;
        if (out.failures.size() < keep)
            out.failures.push_back({"float to integer", FloatOperand(x), Show(want), Show(got)});
    }
    return out;
}

// The main of a long check: for each word size, check(n, cases, seed + n)
// with cases and seed from the command line ([cases-per-rule] [seed]), a
// line per size and per failure; exit status 1 on any failure.
template <typename Check>
int RunLongCheck(int argc, char** argv, uint64_t defaultSeed, const char* what, Check check) {
    const uint64_t cases = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    const uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : defaultSeed;
    uint64_t failed = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const WordBits n : kWordSizes) {
        const auto t0 = std::chrono::steady_clock::now();
        const Report r = check(n, cases, seed + BitsOf(n));
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf("%3u bits%s: %llu cases, %llu failed, %.1f s\n", BitsOf(n), what,
                    static_cast<unsigned long long>(r.cases), static_cast<unsigned long long>(r.failed),
                    secs);
        for (const Failure& f : r.failures)
            std::printf("  %s (%s): expected %s, got %s\n", f.rule.c_str(), f.operands.c_str(),
                        f.expected.c_str(), f.actual.c_str());
        failed += r.failed;
    }
    const double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s in %.1f s (%llu cases per width and rule, seed %llu)\n", failed ? "FAILED" : "passed",
                total, static_cast<unsigned long long>(cases), static_cast<unsigned long long>(seed));
    return failed ? 1 : 0;
}

}  // namespace wordref
