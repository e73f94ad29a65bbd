// ExecOp: the binary operations. X op Y, the result in X, always in the mode of
// the right operand. Integer modes compute on the 128-bit pattern (wrapping)
// or on its two's-complement reading; vmFloat computes in extended precision
// with every float step guarded, so a fault leaves X, PendingOp, Shown and the
// entry state as they were after the modes were reconciled.
#include <cmath>
#include <cstdint>
#include <optional>

#include "bits.h"
#include "calcmach.h"
#include "fpu.h"

namespace {

constexpr long double kTwo63 = 9223372036854775808.0L;

// The largest power of ten a Word128 can hold is 10^38.
constexpr int kMaxPow10 = 38;

u128 Pow10(int k) {
    u128 p = 1;
    for (int i = 0; i < k; ++i) p *= 10;
    return p;
}

// Low byte of a payload: the count of shifts, rotations and masks.
uint8_t LowByte(Word128 v) { return static_cast<uint8_t>(v.lo & 0xFF); }

Word128 LeftBits(Word128 x, Word128 y) {
    const unsigned w = LowByte(x);
    const unsigned n = LowByte(y);
    const Word128 mask = n < 128 ? (Word128(1, 0) << n) - Word128(1, 0) : W128AllOnes;
    const unsigned shift = (w - n) & 0xFFu;
    return mask << shift;  // a shift of 128 or more gives 0
}

// X rounded to a multiple of 10^k with k = -Y, halves away from zero on both
// sides of zero. Works on the magnitude as unsigned so that -2^127 and a sum
// past 2^127 need no special case; the result wraps like every integer result.
Word128 RoundInt(Word128 x, Word128 y) {
    if (!y.IsNegative()) return x;
    const Word128 k = -y;
    if (k.hi != 0 || k.lo > kMaxPow10) return W128Zero;  // |X| < 2^128 < 10^39 / 2
    const u128 unit = Pow10(static_cast<int>(k.lo));
    const bool negative = x.IsNegative();
    const u128 mag = negative ? (-x).native() : x.native();
    const u128 rounded = (mag + unit / 2) / unit * unit;  // mag + unit/2 < 2^128
    const Word128 r = Word128::FromNative(rounded);
    return negative ? -r : r;
}

// Integer table. std::nullopt means the opcode is unsupported here; a
// negative power exponent is signalled through powError.
std::optional<Word128> IntOp(int32_t op, Word128 x, Word128 y, bool& powError) {
    switch (op) {
        case opAdd: return x + y;
        case opSub: return x - y;
        case opMul: return x * y;
        case opDiv: return W128Div(x, y);
        case opPow:
            if (y.IsNegative()) {
                powError = true;
                return x;
            }
            return W128Pow(x, y);
        case opAnd: return x & y;
        case opOr: return x | y;
        case opXor: return x ^ y;
        case opShl: return x << LowByte(y);
        case opShr: return x >> LowByte(y);
        case opRol: return rol(x, LowByte(y));
        case opRor: return ror(x, LowByte(y));
        case opLt: return Word128(SignedLess(x, y) ? 1 : 0, 0);
        case opLe: return Word128(SignedLess(y, x) ? 0 : 1, 0);
        case opGt: return Word128(SignedLess(y, x) ? 1 : 0, 0);
        case opGe: return Word128(SignedLess(x, y) ? 0 : 1, 0);
        case opEq: return Word128(x == y ? 1 : 0, 0);
        case opLBits: return LeftBits(x, y);
        case opRound: return RoundInt(x, y);
        default: return std::nullopt;
    }
}

// Truncation to 64 bits for the float bit operations. The range test comes
// first: converting a NaN or a value of 2^63 or more is undefined in C++.
int64_t TruncInt64(long double v) {
    if (!(std::fabs(v) < kTwo63)) throw FloatInvalidError();
    return static_cast<int64_t>(v);
}

// Ordered comparisons are signalling: a NaN operand is an invalid operation.
// Equality is quiet and simply false.
void RequireOrdered(long double x, long double y) {
    if (std::isnan(x) || std::isnan(y)) throw FloatInvalidError();
}

// x^|n| by binary exponentiation: square x while the count is even, then
// multiply the running product once. Keeping this exact shape keeps results
// such as 10^n exact and overflow only where the product itself overflows.
long double PowBySquaring(long double x, uint32_t m) {
    long double p = 1.0L;
    fpu::ClearFaults();
    while (m > 0) {
        while ((m & 1u) == 0) {
            m >>= 1;
            x = fpu::Fence(x * fpu::Fence(x));
        }
        --m;
        p = fpu::Fence(p * fpu::Fence(x));
    }
    fpu::CheckFaults();
    return p;
}

// Whether y is a whole number n with |n| <= 2^31 - 1, and that n.
bool SmallInteger(long double y, int32_t& n) {
    if (!(std::fabs(y) <= 2147483647.0L) || std::trunc(y) != y) return false;
    n = static_cast<int32_t>(y);
    return true;
}

long double RealPow(long double x, long double y) {
    if (y == 0.0L) return 1.0L;
    if (x == 0.0L && y > 0.0L) return 0.0L;
    int32_t n = 0;
    if (SmallInteger(y, n)) {
        const uint32_t m = n < 0 ? static_cast<uint32_t>(-static_cast<int64_t>(n)) : static_cast<uint32_t>(n);
        const long double p = PowBySquaring(x, m);
        return n < 0 ? fpu::Div(1.0L, p) : p;
    }
    const long double lx = fpu::Guarded([](long double v) { return std::log(v); }, x);
    const long double t = fpu::Mul(y, lx);
    return fpu::Guarded([](long double v) { return std::exp(v); }, t);
}

// X rounded to 10^-Y, halves away from zero symmetrically. For a whole Y the
// scale 10^|Y| is exact, and for Y < 0 dividing by it (rather than multiplying
// by its inexact reciprocal) keeps 1250 ROUN -2 on the halfway point.
long double RoundFloat(long double x, long double y) {
    int32_t n = 0;
    const bool divide = SmallInteger(y, n) && n < 0;
    const long double scale = divide ? RealPow(10.0L, -y) : RealPow(10.0L, y);
    if (std::isnan(x)) throw FloatInvalidError();
    // From 2^63 on every extended value is whole: a value that large has no
    // digit at the rounding position and stays as it is. Testing X first keeps
    // X * 10^Y from overflowing when X is whole already.
    if (!divide && scale >= 1.0L && !(std::fabs(x) < kTwo63)) return x;
    const long double scaled = divide ? fpu::Div(x, scale) : fpu::Mul(x, scale);
    if (std::isnan(scaled)) throw FloatInvalidError();
    if (!(std::fabs(scaled) < kTwo63)) return x;
    const long double whole = std::round(scaled);
    return divide ? fpu::Mul(whole, scale) : fpu::Div(whole, scale);
}

// ln X / ln Y, each logarithm its own step so that X's fault wins. Base-2
// logarithms give the same quotient and keep powers of two exact (8 LOGn 2).
long double LogN(long double x, long double y) {
    const auto log2 = [](long double v) { return std::log2(v); };
    const long double lx = fpu::Guarded(log2, x);
    const long double ly = fpu::Guarded(log2, y);
    return fpu::Div(lx, ly);
}

long double Flag(bool b) { return b ? 1.0L : 0.0L; }

// Float table; std::nullopt means the opcode is unsupported here.
std::optional<long double> FloatOp(int32_t op, long double x, long double y) {
    switch (op) {
        case opAdd: return fpu::Add(x, y);
        case opSub: return fpu::Sub(x, y);
        case opMul: return fpu::Mul(x, y);
        case opDiv: return fpu::Div(x, y);
        case opPow: return RealPow(x, y);
        case opAnd: return static_cast<long double>(TruncInt64(x) & TruncInt64(y));
        case opOr: return static_cast<long double>(TruncInt64(x) | TruncInt64(y));
        case opXor: return static_cast<long double>(TruncInt64(x) ^ TruncInt64(y));
        case opLt: RequireOrdered(x, y); return Flag(x < y);
        case opLe: RequireOrdered(x, y); return Flag(x <= y);
        case opGt: RequireOrdered(x, y); return Flag(x > y);
        case opGe: RequireOrdered(x, y); return Flag(x >= y);
        case opEq: return Flag(x == y);
        case opRound: return RoundFloat(x, y);
        case opLogN: return LogN(x, y);
        default: return std::nullopt;
    }
}

}  // namespace

void CcalcMach::ExecOp() {
    if (PendingOp == opNone) return;

    if (X.mode != Y.mode) X = ConvertTo(X, Y.mode);

    // Compute into locals first: a fault must leave X as reconciled above.
    bool supported = true;
    if (Y.mode == vmFloat) {
        const std::optional<long double> r = FloatOp(PendingOp, ValidFloat(X.f()), ValidFloat(Y.f()));
        if (r) {
            X.setF(*r);
        } else {
            supported = false;
        }
    } else {
        bool powError = false;
        const std::optional<Word128> r = IntOp(PendingOp, X.w(), Y.w(), powError);
        if (powError) {
            X = kErrorValue;
        } else if (r) {
            X.setW(*r);
        } else {
            supported = false;
        }
    }

    if (supported) {
        ShowX();
    } else {
        ShowError();
    }
    // The error shown here may be gone after ")" or "=" (qzcalc asks).
    if (Shown->mode == vmERR) UndefinedSeen = true;
    PendingOp = opNone;
    EndEntry();
}
