// Speed of the calculator machine: typing and evaluating whole expressions
// with a tape receiver installed, and the display text of every kind of value.
//
//   build-*/bench/bench_machine --benchmark_min_time=0.5
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "calcmach/bits.h"
#include "calcmach/calcmach.h"
#include "calcmach/code_number.h"
#include "calcmach/float_text.h"

namespace {

// 1/3 rounded to nearest.
constexpr Extended kThird(0xAAAAAAAAAAAAAAABu, 0x3FFD);

// Keeps the latest 100 lines with their values, as the main window does.
struct TapeRing {
    std::array<std::string, 100> lines;
    std::array<CalcValue, 100> values;
    std::size_t next = 0;
    std::size_t total = 0;

    void Install(CcalcMach& m) {
        m.SetTapeReceiver([this](std::string_view line, const CalcValue& shown) {
            lines[next].assign(line);
            values[next] = shown;
            next = (next + 1) % lines.size();
            ++total;
        });
    }
};

// A deterministic integer expression of about `keys` characters: numbers of
// one to four digits, the operators + - * & | % and division by non-zero
// literals, and parentheses up to eight deep.
std::string MixedExpression(std::size_t keys) {
    uint64_t seed = 0x9E3779B97F4A7C15u;
    auto next = [&seed](uint64_t n) {
        seed = seed * 6364136223846793005u + 1442695040888963407u;
        return (seed >> 33) % n;
    };
    std::string text;
    int depth = 0;
    auto number = [&] {
        const uint64_t digits = 1 + next(4);
        text += static_cast<char>('1' + next(9));
        for (uint64_t i = 1; i < digits; ++i) text += static_cast<char>('0' + next(10));
    };
    static const char kOps[] = "+-*&|%";
    number();
    while (text.size() + static_cast<std::size_t>(depth) + 8 < keys) {
        if (depth > 0 && next(4) == 0) {
            text += ')';
            --depth;
            continue;
        }
        const bool divide = next(8) == 0;
        text += divide ? '/' : kOps[next(6)];
        if (!divide && depth < 8 && next(3) == 0) {
            text += '(';
            ++depth;
        }
        number();
    }
    text.append(static_cast<std::size_t>(depth), ')');
    return text;
}

void BM_EvalTextMixedIntegers(benchmark::State& state) {
    const std::string text = MixedExpression(10000);
    CcalcMach m;
    TapeRing tape;
    tape.Install(m);
    CalcValue out;
    for (auto _ : state) {
        m.Clear();
        m.EvalText(text, out);
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.counters["keys"] = static_cast<double>(text.size());
    state.counters["tape_lines"] =
        benchmark::Counter(static_cast<double>(tape.total), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_EvalTextMixedIntegers)->Unit(benchmark::kMicrosecond);

struct Shown {
    const char* name;
    std::unique_ptr<CcalcMach> m;
};

std::unique_ptr<CcalcMach> Showing(const CalcValue& v) {
    auto m = std::make_unique<CcalcMach>();
    m->SetValue(v);
    return m;
}

std::unique_ptr<CcalcMach> Typed(ValueMode mode, const char* keys) {
    auto m = std::make_unique<CcalcMach>();
    m->SetMode(mode);
    for (const char* k = keys; *k; ++k) m->KeyChar(*k);
    return m;
}

std::vector<Shown> DisplayCases() {
    const Word128 ones = W128AllOnes;
    std::vector<Shown> cases;
    cases.push_back({"dec small", Typed(vmDec, "42")});
    cases.push_back({"dec 39 digits", Showing(CalcValue::Int(vmDec, W128MinSigned))});
    cases.push_back({"bin 128 digits", Showing(CalcValue::Int(vmBin, ones))});
    cases.push_back({"oct 43 digits", Showing(CalcValue::Int(vmOct, ones))});
    cases.push_back({"hex 32 digits", Showing(CalcValue::Int(vmHex, ones))});
    cases.push_back({"ipv4", Typed(vmIPv4, "192.168.100.200")});
    cases.push_back({"ipv6 8 groups",
                     Showing(CalcValue::Int(vmIPv6, Word128(0x1234567890ABCDEFu, 0xFEDCBA0987654321u)))});
    cases.push_back({"ipv6 ::", Typed(vmIPv6, "FE80::1")});
    cases.push_back({"float pi", Showing(kPiValue)});
    cases.push_back({"float 1/3", Showing(CalcValue::Float(kThird))});
    cases.push_back({"float 1.5E20", Showing(CalcValue::Float(ParseFloat("1.5E20")))});
    cases.push_back({"float -1E-7", Showing(CalcValue::Float(ParseFloat("-1E-7")))});
    cases.push_back({"float max", Showing(CalcValue::Float(Extended::Max()))});
    cases.push_back({"float entry 3.50", Typed(vmFloat, "3.50")});
    cases.push_back({"float entry 123456.789000", Typed(vmFloat, "123456.789000")});
    auto error = std::make_unique<CcalcMach>();
    error->KeyChar(')');
    cases.push_back({"error", std::move(error)});
    auto notImplemented = std::make_unique<CcalcMach>();
    notImplemented->LoadMode(vmTime);
    notImplemented->KeyChar('7');
    cases.push_back({"vmTime", std::move(notImplemented)});
    return cases;
}

void BM_DisplayText(benchmark::State& state) {
    const std::vector<Shown> cases = DisplayCases();
    const Shown& c = cases[static_cast<std::size_t>(state.range(0))];
    state.SetLabel(c.name);
    for (auto _ : state) {
        std::string text = c.m->DisplayText();
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_DisplayText)->DenseRange(0, 16);

// The average over all the kinds of value above.
void BM_DisplayTextAllKinds(benchmark::State& state) {
    const std::vector<Shown> cases = DisplayCases();
    for (auto _ : state) {
        for (const Shown& c : cases) {
            std::string text = c.m->DisplayText();
            benchmark::DoNotOptimize(text);
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(cases.size()));
}
BENCHMARK(BM_DisplayTextAllKinds);

}  // namespace

// Floats across the whole exponent range: the display of each, and
// FloatText alone on random extendeds of every exponent.
//
//   build-*/bench/bench_machine --benchmark_filter='Display|FloatText'
namespace {

struct FloatCase {
    const char* name;
    Extended x;
};

const FloatCase kFloatCases[] = {
    {"max", Extended::Max()},
    {"-max", Extended::Max(true)},
    {"1E-4000", ParseFloat("1E-4000")},
    {"-1.5E4000", ParseFloat("-1.5E4000")},
    {"min normal", Extended::MinNormal()},
    {"min denormal", Extended::MinDenormal()},
    {"pi", ParseFloat("3.14159265358979323846")},
    {"1/3", kThird},
    {"2.5E-6", ParseFloat("2.5E-6")},
    {"123456789", Extended::FromInt64(123456789)},
    {"1E17 halfway", Extended::FromInt64(100000000000000005)},
    {"nearly halfway E-4000", ParseFloat("1.00000000000000005E-4000")},
    {"nearly halfway E4000", ParseFloat("1.00000000000000005E4000")},
};

void BM_DisplayTextFloat(benchmark::State& state) {
    const FloatCase& c = kFloatCases[static_cast<std::size_t>(state.range(0))];
    state.SetLabel(c.name);
    const std::unique_ptr<CcalcMach> m = Showing(CalcValue::Float(c.x));
    for (auto _ : state) {
        std::string text = m->DisplayText();
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_DisplayTextFloat)->DenseRange(0, static_cast<int>(std::size(kFloatCases)) - 1);

// Normal and denormal extendeds with random bits, every exponent alike.
void BM_FloatTextRandomBits(benchmark::State& state) {
    std::vector<Extended> values(4096);
    uint64_t seed = 0x2545F4914F6CDD1Du;
    auto next = [&seed] {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        return seed;
    };
    for (Extended& v : values) {
        const auto biased = static_cast<uint16_t>(next() % 0x7FFF);
        const uint64_t significand = biased == 0 ? next() >> 1 : next() | uint64_t{1} << 63;
        v = Extended(significand, biased);
    }
    std::size_t i = 0;
    for (auto _ : state) {
        std::string text = FloatText(values[i++ % values.size()]);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_FloatTextRandomBits);

// One typed key of a float entry and the display text after it, as the
// window does per key; the number is typed again from its start each time
// it is complete. Short: ten digits; long: 23 digits, past what a 64-bit
// integer holds.
//
//   build-*/bench/bench_machine --benchmark_filter=FloatEntryKey
void BM_FloatEntryKey(benchmark::State& state) {
    const std::string_view keys = state.range(0) == 0 ? "3.141592653" : "999.99999999999999999999";
    CcalcMach m;
    m.SetMode(vmFloat);
    std::size_t i = 0;
    for (auto _ : state) {
        if (i == keys.size()) {
            m.EndEntry();
            i = 0;
        }
        m.KeyChar(keys[i++]);
        std::string text = m.DisplayText();
        benchmark::DoNotOptimize(text);
    }
    state.SetLabel(state.range(0) == 0 ? "short" : "long");
}
BENCHMARK(BM_FloatEntryKey)->Arg(0)->Arg(1);

// The other float keys as the window sends them, each with the display text
// after it and a tape receiver installed: an operator (alternately * and /,
// so the accumulator stays in range; each runs the one before), an operator
// and "=", SQRT and SIN of a 16-digit entry.
//
//   build-*/bench/bench_machine --benchmark_filter=FloatKey
void BM_FloatKey(benchmark::State& state) {
    static const char* const kNames[] = {"operator", "operator and =", "SQRT", "SIN"};
    const int kind = static_cast<int>(state.range(0));
    CcalcMach m;
    TapeRing tape;
    tape.Install(m);
    m.SetMode(vmFloat);
    for (char c : std::string_view("2.718281828459045")) m.KeyChar(c);
    const CalcValue e = m.ShownValue();
    m.KeyChar('*');
    for (char c : std::string_view("1.047197551196598")) m.KeyChar(c);
    const CalcValue y = m.ShownValue();
    bool multiply = false;
    for (auto _ : state) {
        switch (kind) {
            case 0: m.KeyChar((multiply = !multiply) ? '*' : '/'); break;
            case 1:
                m.KeyChar('*');
                m.SetValue(y);
                m.KeyChar('=');
                m.SetValue(e);
                break;
            case 2:
                m.SetValue(e);
                m.FnSqrt();
                break;
            default:
                m.SetValue(e);
                m.FnSin();
                break;
        }
        std::string text = m.DisplayText();
        benchmark::DoNotOptimize(text);
    }
    state.SetLabel(kNames[kind]);
}
BENCHMARK(BM_FloatKey)->DenseRange(0, 3);

// One typed integer key and the display text after it, with a tape receiver
// installed, at each word size: a key at 32 bits should cost no more than
// at 128. Decimal: digits, a product that wraps below 128 bits and "=";
// hexadecimal: the bitwise operators and a difference.
//
//   build-*/bench/bench_machine --benchmark_filter=IntegerKeyAtWordSize
void BM_IntegerKeyAtWordSize(benchmark::State& state) {
    const auto word = wide::WordBitsOf(state.range(0));
    const bool hex = state.range(1) != 0;
    const std::string_view keys = hex ? "FEDCBA98&F0F0|1234-5678=" : "98765432*4321=";
    CcalcMach m;
    TapeRing tape;
    tape.Install(m);
    m.SetWordSize(word.value_or(WordBits::k128));
    m.SetMode(hex ? vmHex : vmDec);
    std::size_t i = 0;
    for (auto _ : state) {
        m.KeyChar(keys[i]);
        i = i + 1 == keys.size() ? 0 : i + 1;
        std::string text = m.DisplayText();
        benchmark::DoNotOptimize(text);
    }
    state.SetLabel(hex ? "hex" : "dec");
}
BENCHMARK(BM_IntegerKeyAtWordSize)->ArgsProduct({{8, 16, 32, 64, 128}, {0, 1}});

}  // namespace

// The bits panel's core: every form of a value, and a toggle followed by
// the display text and the forms, as the window redraws after a click.
//
//   build-*/bench/bench_machine --benchmark_filter='BitForms|ToggleBit'
namespace {

struct BitsCase {
    const char* name;
    CalcValue v;
};

std::vector<BitsCase> BitsCases() {
    return {
        {"dec 42", CalcValue::Int(vmDec, Word128(42, 0))},
        {"dec -2^127", CalcValue::Int(vmDec, W128MinSigned)},
        {"hex all ones", CalcValue::Int(vmHex, W128AllOnes)},
        {"ipv6 8 groups", CalcValue::Int(vmIPv6, Word128(0x1234567890ABCDEFu, 0xFEDCBA0987654321u))},
        {"float pi", kPiValue},
        {"float 1/3", CalcValue::Float(kThird)},
        {"float max", CalcValue::Float(Extended::Max())},
        {"error", kErrorValue},
    };
}

void BM_BitForms(benchmark::State& state) {
    const BitsCase c = BitsCases()[static_cast<std::size_t>(state.range(0))];
    state.SetLabel(c.name);
    for (auto _ : state) {
        std::vector<BitForm> forms = BitForms(c.v);
        benchmark::DoNotOptimize(forms);
    }
}
BENCHMARK(BM_BitForms)->DenseRange(0, 7);

// A typed number to toggle bits of: a float or a decimal integer.
void TypeToggleStart(CcalcMach& m, bool isFloat) {
    m.SetMode(isFloat ? vmFloat : vmDec);
    for (char c : std::string_view(isFloat ? "3.25" : "123456789")) m.KeyChar(c);
}

void BM_ToggleBit(benchmark::State& state) {
    const bool isFloat = state.range(0) != 0;
    CcalcMach m;
    TypeToggleStart(m, isFloat);
    const int bits = isFloat ? 80 : 128;
    int n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(m.ToggleBit(n));
        n = (n + 37) % bits;
    }
    state.SetLabel(isFloat ? "float" : "dec");
}
BENCHMARK(BM_ToggleBit)->Arg(0)->Arg(1);

// What the window does per click: toggle, then the new display text and
// every form of the new value.
void BM_ToggleBitAndForms(benchmark::State& state) {
    const bool isFloat = state.range(0) != 0;
    CcalcMach m;
    TypeToggleStart(m, isFloat);
    const int bits = isFloat ? 80 : 128;
    int n = 0;
    for (auto _ : state) {
        m.ToggleBit(n);
        std::string text = m.DisplayText();
        std::vector<BitForm> forms = BitForms(m.BitsValue());
        benchmark::DoNotOptimize(text);
        benchmark::DoNotOptimize(forms);
        n = (n + 37) % bits;
    }
    state.SetLabel(isFloat ? "float" : "dec");
}
BENCHMARK(BM_ToggleBitAndForms)->Arg(0)->Arg(1);

// What the paste rule costs for a pasted text.
void BM_PlanPaste(benchmark::State& state) {
    const std::string_view texts[] = {"0xDEAD_BEEF", "  -0b1010'1010\n", "FFh", "1234",
                                      "0x"
                                      "123456789ABCDEF0123456789ABCDEF0"};
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PlanPaste(texts[i++ % std::size(texts)], vmDec));
    }
}
BENCHMARK(BM_PlanPaste);

}  // namespace
