// Word128 against a baseline written directly on unsigned __int128.
//
// Each pair of benchmarks runs the same operation over the same 1024 random
// operands; every result goes through DoNotOptimize, so neither side can be
// folded, vectorised away or hoisted out of the loop. Compare the pairs:
//   arithmetic, shifts, rotations  Word128 within 1.2x of Native
//   divide, remainder (128-bit)    within 1.5x
//   str base 10 of 2^128-1         within 2x of a chunked native conversion
//   W128Pow                        under 2 us for any exponent
//   a rule of word_size.h at N bits no slower than the plain 128-bit
//   operation (the /0 run of the same benchmark)
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "wide/word128.h"
#include "wide/word_size.h"

namespace {

constexpr std::size_t kCount = 1024;

struct Operands {
    std::vector<Word128> a, b;
    std::vector<u128> na, nb;
    std::vector<uint8_t> counts;  // shift and rotation counts, 0..255
};

// Full-width operands: both halves random, the divisor's high half non-zero
// and below the dividend's, so division never takes the 64-bit shortcut.
const Operands& Inputs() {
    static const Operands ops = [] {
        Operands o;
        std::mt19937_64 gen(12345);
        for (std::size_t i = 0; i < kCount; ++i) {
            const uint64_t ahi = gen() | (uint64_t{1} << 63), bhi = (gen() >> (1 + gen() % 62)) | 1;
            const Word128 a(gen(), ahi), b(gen(), bhi);
            o.a.push_back(a);
            o.b.push_back(b);
            o.na.push_back(a.native());
            o.nb.push_back(b.native());
            o.counts.push_back(static_cast<uint8_t>(gen()));
        }
        return o;
    }();
    return ops;
}

template <class Op>
void RunWord128(benchmark::State& state, Op op) {
    const Operands& in = Inputs();
    for (auto _ : state) {
        for (std::size_t i = 0; i < kCount; ++i) {
            Word128 r = op(in.a[i], in.b[i], in.counts[i]);
            benchmark::DoNotOptimize(r);
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCount));
}

template <class Op>
void RunNative(benchmark::State& state, Op op) {
    const Operands& in = Inputs();
    for (auto _ : state) {
        for (std::size_t i = 0; i < kCount; ++i) {
            u128 r = op(in.na[i], in.nb[i], in.counts[i]);
            benchmark::DoNotOptimize(r);
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCount));
}

#define QZ_PAIR(name, wordExpr, nativeExpr)                 \
    void BM_##name##_Word128(benchmark::State& s) {         \
        RunWord128(s, [](Word128 a, Word128 b, uint8_t c) { \
            (void)b, (void)c;                               \
            return wordExpr;                                \
        });                                                 \
    }                                                       \
    void BM_##name##_Native(benchmark::State& s) {          \
        RunNative(s, [](u128 a, u128 b, uint8_t c) {        \
            (void)b, (void)c;                               \
            return nativeExpr;                              \
        });                                                 \
    }                                                       \
    BENCHMARK(BM_##name##_Word128);                         \
    BENCHMARK(BM_##name##_Native)

u128 NativeShl(u128 a, unsigned c) { return c >= 128 ? 0 : a << c; }
u128 NativeShr(u128 a, unsigned c) { return c >= 128 ? 0 : a >> c; }
u128 NativeRol(u128 a, unsigned c) {
    const unsigned r = c & 127u;
    return (a << r) | (a >> ((128 - r) & 127u));
}
u128 NativeRor(u128 a, unsigned c) {
    const unsigned r = c & 127u;
    return (a >> r) | (a << ((128 - r) & 127u));
}

QZ_PAIR(Add, a + b, a + b);
QZ_PAIR(Sub, a - b, a - b);
QZ_PAIR(Mul, a* b, a* b);
QZ_PAIR(Shl, a << c, NativeShl(a, c));
QZ_PAIR(Shr, a >> c, NativeShr(a, c));
QZ_PAIR(Rol, rol(a, c), NativeRol(a, c));
QZ_PAIR(Ror, ror(a, c), NativeRor(a, c));
QZ_PAIR(Div, a / b, a / b);
QZ_PAIR(Mod, a % b, a % b);

// Decimal text of values near 2^128 - 1 (39 digits).
std::string NativeDecimal(u128 x) {
    constexpr uint64_t kTen19 = 10000000000000000000ull;
    char buf[40];
    char* p = buf + sizeof buf;
    while (x >> 64) {
        const u128 q = x / kTen19;
        uint64_t chunk = static_cast<uint64_t>(x - q * kTen19);
        for (int i = 0; i < 19; ++i, chunk /= 10) *--p = static_cast<char>('0' + chunk % 10);
        x = q;
    }
    for (uint64_t lo = static_cast<uint64_t>(x); lo != 0; lo /= 10) *--p = static_cast<char>('0' + lo % 10);
    return std::string(p, buf + sizeof buf);
}

void BM_Str10_Word128(benchmark::State& state) {
    uint64_t k = 0;
    for (auto _ : state) {
        Word128 v = W128AllOnes - Word128(k++ & 7, 0);
        benchmark::DoNotOptimize(v);
        std::string s = str(v, 10);
        benchmark::DoNotOptimize(s.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Str10_Word128);

void BM_Str10_Native(benchmark::State& state) {
    uint64_t k = 0;
    for (auto _ : state) {
        u128 v = ~u128{0} - (k++ & 7);
        benchmark::DoNotOptimize(v);
        std::string s = NativeDecimal(v);
        benchmark::DoNotOptimize(s.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Str10_Native);

// The exponent's bit length sets the number of squarings: 2^127 - 1 is the
// most expensive non-negative exponent there is.
void BM_W128Pow(benchmark::State& state) {
    const Word128 e = state.range(0) == 127 ? Word128(~0ull, ~0ull >> 1)
                                            : Word128(1, 0) << static_cast<unsigned>(state.range(0));
    const Operands& in = Inputs();
    std::size_t i = 0;
    for (auto _ : state) {
        Word128 r = W128Pow(in.a[i++ % kCount], e);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_W128Pow)->Arg(1)->Arg(20)->Arg(64)->Arg(126)->Arg(127);

void BM_W128Pow_RandomExponent(benchmark::State& state) {
    const Operands& in = Inputs();
    std::size_t i = 0;
    for (auto _ : state) {
        Word128 r = W128Pow(in.a[i % kCount], in.a[(i + 1) % kCount] >> 1);  // full-width, non-negative
        ++i;
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_W128Pow_RandomExponent);

// The word size. Each benchmark runs one operation over the operands of
// Inputs() cut to the word (reduced, the divisors made odd so none is 0),
// with the word size read at run time as the machine reads it. Arg 0 is
// the plain 128-bit operation on the full operands; 8 ... 128 the N-bit rule.
struct WordOperands {
    std::vector<Word128> a, b;
};

const WordOperands& WordInputs(int bits) {
    static WordOperands cache[129];
    WordOperands& w = cache[bits];
    if (w.a.empty()) {
        const WordBits n = bits == 0 ? WordBits::k128 : *wide::WordBitsOf(bits);
        for (std::size_t i = 0; i < kCount; ++i) {
            w.a.push_back(ReduceTo(Inputs().a[i], n));
            w.b.push_back(ReduceTo(Inputs().b[i] | Word128(1, 0), n));
        }
    }
    return w;
}

template <class Plain, class Rule>
void RunWord(benchmark::State& state, Plain plain, Rule rule) {
    const int bits = static_cast<int>(state.range(0));
    const WordOperands& in = WordInputs(bits);
    const std::vector<uint8_t>& counts = Inputs().counts;
    WordBits n = bits == 0 ? WordBits::k128 : *wide::WordBitsOf(bits);
    benchmark::DoNotOptimize(n);  // a run-time word size, as in the machine
    for (auto _ : state) {
        for (std::size_t i = 0; i < kCount; ++i) {
            Word128 r = bits == 0 ? plain(in.a[i], in.b[i], counts[i]) : rule(in.a[i], in.b[i], counts[i], n);
            benchmark::DoNotOptimize(r);
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCount));
}

#define QZ_WORD(name, plainExpr, ruleExpr)                    \
    void BM_Word_##name(benchmark::State& s) {                \
        RunWord(                                              \
            s,                                                \
            [](Word128 a, Word128 b, uint8_t c) {             \
                (void)b, (void)c;                             \
                return plainExpr;                             \
            },                                                \
            [](Word128 a, Word128 b, uint8_t c, WordBits n) { \
                (void)b, (void)c;                             \
                return ruleExpr;                              \
            });                                               \
    }                                                         \
    BENCHMARK(BM_Word_##name)->Arg(0)->Arg(8)->Arg(32)->Arg(64)->Arg(128)

Word128 PlainSar(Word128 a, unsigned c) {
    return Word128::FromNative(static_cast<u128>(static_cast<s128>(a.native()) >> (c < 127 ? c : 127)));
}
Word128 PlainByteSwap(Word128 a) { return Word128(__builtin_bswap64(a.hi), __builtin_bswap64(a.lo)); }

QZ_WORD(Add, a + b, AddAt(a, b, n));
QZ_WORD(Mul, a* b, MulAt(a, b, n));
QZ_WORD(Not, ~a, NotAt(a, n));
QZ_WORD(Shr, a >> c, ShrAt(a, c, n));
QZ_WORD(Sar, PlainSar(a, c), SarAt(a, c, n));
QZ_WORD(Rol, rol(a, c), RolAt(a, c, n));
QZ_WORD(ByteSwap, PlainByteSwap(a), ByteSwapAt(a, n));
QZ_WORD(Less, Word128(SignedLess(a, b), 0), Word128(LessAt(a, b, n), 0));
QZ_WORD(Div, W128Div(a, b), DivAt(a, b, n));
QZ_WORD(Pow, W128Pow(a, Word128(c, 0)), PowAt(a, Word128(c, 0), n));

// The decimal text the display shows, the largest part of a key's work in
// the core.
void BM_Word_DecimalText(benchmark::State& state) {
    const int bits = static_cast<int>(state.range(0));
    const WordOperands& in = WordInputs(bits);
    WordBits n = bits == 0 ? WordBits::k128 : *wide::WordBitsOf(bits);
    benchmark::DoNotOptimize(n);
    std::size_t i = 0;
    for (auto _ : state) {
        const Word128 v = in.a[i++ % kCount];
        std::string t = bits == 0 ? sstr(v, 10) : DecimalTextAt(v, n);
        benchmark::DoNotOptimize(t.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Word_DecimalText)->Arg(0)->Arg(8)->Arg(32)->Arg(64)->Arg(128);

}  // namespace
