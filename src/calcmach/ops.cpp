// ExecOp: the binary operations. X op Y, the result in X, always in the mode of
// the right operand. Integer modes compute on the word's pattern (wrapping at
// the word size, 128 bits unless chosen otherwise) or on its two's-complement
// reading (wide/word_size.h); vmFloat computes on extended floats,
// whose faults throw before X changes, so a fault leaves X, PendingOp, Shown
// and the entry state as they were after the modes were reconciled.
#include <cstdint>
#include <optional>

#include "calcmach.h"

namespace {

// The largest power of ten a Word128 can hold is 10^38.
constexpr int kMaxPow10 = 38;

u128 Pow10(int k) {
    u128 p = 1;
    for (int i = 0; i < k; ++i) p *= 10;
    return p;
}

// Low byte of a payload: the count of shifts, rotations and masks.
uint8_t LowByte(Word128 v) { return static_cast<uint8_t>(v.lo & 0xFF); }

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

// Integer table at the word size n (x and y reduced to it; at 128 bits
// every rule is the plain 128-bit operation). std::nullopt means the opcode
// is unsupported here; a negative power exponent is signalled through
// powError.
std::optional<Word128> IntOp(int32_t op, Word128 x, Word128 y, WordBits n, bool& powError) {
    using namespace wide;
    switch (op) {
        case opAdd: return AddAt(x, y, n);
        case opSub: return SubAt(x, y, n);
        case opMul: return MulAt(x, y, n);
        case opDiv: return DivAt(x, y, n);
        case opPow:
            if (ReduceTo(y, n).IsNegative()) {
                powError = true;
                return x;
            }
            return PowAt(x, y, n);
        case opAnd: return AndAt(x, y, n);
        case opOr: return OrAt(x, y, n);
        case opXor: return XorAt(x, y, n);
        case opShl: return ShlAt(x, LowByte(y), n);
        case opShr: return ShrAt(x, LowByte(y), n);
        case opSar: return SarAt(x, LowByte(y), n);
        case opRol: return RolAt(x, LowByte(y), n);
        case opRor: return RorAt(x, LowByte(y), n);
        case opLt: return Word128(LessAt(x, y, n) ? 1 : 0, 0);
        case opLe: return Word128(LessAt(y, x, n) ? 0 : 1, 0);
        case opGt: return Word128(LessAt(y, x, n) ? 1 : 0, 0);
        case opGe: return Word128(LessAt(x, y, n) ? 0 : 1, 0);
        case opEq: return Word128(EqualAt(x, y, n) ? 1 : 0, 0);
        case opLBits: return LeftBitsAt(x, y, n);
        case opRound: return SignedOpAt(RoundInt, x, y, n);
        default: return std::nullopt;
    }
}

// Truncation to 64 bits for the float bit operations: 2^63 or more, or a
// NaN, is an invalid operation.
int64_t TruncInt64(Extended v) {
    if (!ext::BelowTwo63(v)) throw FloatInvalidError();
    return ext::TruncToInt64(v);
}

// Ordered comparisons are signalling: a NaN operand is an invalid operation.
// Equality is quiet and simply false.
int CompareOrdered(Extended x, Extended y) {
    const int c = ext::Compare(x, y);
    if (c == ext::kUnordered) throw FloatInvalidError();
    return c;
}

// Whether y is a whole number n with |n| <= 2^31 - 1, and that n.
bool SmallInteger(Extended y, int32_t& n) {
    if (!ext::BelowTwo63(y)) return false;
    const int64_t whole = ext::TruncToInt64(y);
    if (whole < -2147483647 || whole > 2147483647 || ext::Compare(Extended::FromInt64(whole), y) != 0)
        return false;
    n = static_cast<int32_t>(whole);
    return true;
}

// e^(y ln x) where that formula decides the outcome by itself: its
// logarithm faults for x below zero (invalid) and at zero (division by
// zero), a NaN passes through, and at x = 1 an infinite y makes 0 x inf
// (invalid). Otherwise x^y, correctly rounded.
Extended PowByLog(Extended x, Extended y) {
    if (x.IsSignalling()) throw FloatInvalidError();
    if (!x.IsNaN()) {
        if (x.IsZero()) throw FloatZeroDivideError();
        if (x.Negative()) throw FloatInvalidError();
    }
    if (y.IsSignalling()) throw FloatInvalidError();
    if (x == Extended::One() && y.IsInfinity()) throw FloatInvalidError();
    // y ln x: a NaN among them is the result (ext::Mul picks it).
    if (x.IsNaN() || y.IsNaN()) return ext::Mul(y, x);
    return ext::Pow(x, y);
}

// The real power: y = 0 gives 1 and x = 0 with y > 0 gives 0, whatever the
// other; a whole y up to 2^31 - 1 the power x^n; any other y e^(y ln x).
// Each correctly rounded.
Extended RealPow(Extended x, Extended y) {
    if (y.IsZero()) return Extended::One();
    if (x.IsZero() && ext::Compare(y, Extended::Zero()) == 1) return Extended::Zero();
    int32_t n = 0;
    if (SmallInteger(y, n)) return ext::PowInt(x, n);
    return PowByLog(x, y);
}

// X rounded to 10^-Y, halves away from zero symmetrically. For a whole Y the
// scale 10^|Y| is exact, and for Y < 0 dividing by it (rather than multiplying
// by its inexact reciprocal) keeps 1250 ROUN -2 on the halfway point.
Extended RoundFloat(Extended x, Extended y) {
    int32_t n = 0;
    const bool divide = SmallInteger(y, n) && n < 0;
    const Extended scale = RealPow(Extended::FromInt64(10), divide ? y.Negated() : y);
    if (x.IsNaN()) throw FloatInvalidError();
    // From 2^63 on every extended value is whole: a value that large has no
    // digit at the rounding position and stays as it is. Testing X first keeps
    // X * 10^Y from overflowing when X is whole already.
    const int atLeastOne = ext::Compare(scale, Extended::One());
    if (!divide && (atLeastOne == 0 || atLeastOne == 1) && !ext::BelowTwo63(x)) return x;
    const Extended scaled = divide ? ext::Div(x, scale) : ext::Mul(x, scale);
    if (scaled.IsNaN()) throw FloatInvalidError();
    if (!ext::BelowTwo63(scaled)) return x;
    const Extended whole = ext::RoundHalfAway(scaled);
    return divide ? ext::Mul(whole, scale) : ext::Div(whole, scale);
}

// log2 as a step of LOGn: a NaN passes through, a number below zero is an
// invalid operation and zero a division by zero (log2 0 = -inf); 1 gives 0
// and +inf +inf exactly. Any other x gives a finite log2 x other than 0,
// of x's side of 1: for those, only the sign is returned here.
Extended LogStep(Extended x) {
    if (x.IsSignalling()) throw FloatInvalidError();
    if (x.IsNaN() || x.IsInfinity()) {
        if (x.IsInfinity() && x.Negative()) throw FloatInvalidError();
        return x;
    }
    if (x.IsZero()) throw FloatZeroDivideError();
    if (x.Negative()) throw FloatInvalidError();
    const int c = ext::Compare(x, Extended::One());
    return c == 0 ? Extended::Zero() : Extended::FromInt64(c);
}

// ln X / ln Y, X's logarithm first so that its fault wins. Where both are
// finite and not 0 the quotient is correctly rounded; otherwise it follows
// from the two steps (8 LOGn 1 divides by zero, 1 LOGn 1 is 0 / 0).
Extended LogN(Extended x, Extended y) {
    const Extended lx = LogStep(x);
    const Extended ly = LogStep(y);
    const auto finiteNotZero = [](Extended l) { return l.IsFinite() && !l.IsZero(); };
    if (finiteNotZero(lx) && finiteNotZero(ly)) return ext::LogBase(x, y);
    return ext::Div(lx, ly);
}

Extended Flag(bool b) { return Extended::FromInt64(b ? 1 : 0); }

// Float table; std::nullopt means the opcode is unsupported here.
std::optional<Extended> FloatOp(int32_t op, Extended x, Extended y) {
    switch (op) {
        case opAdd: return ext::Add(x, y);
        case opSub: return ext::Sub(x, y);
        case opMul: return ext::Mul(x, y);
        case opDiv: return ext::Div(x, y);
        case opPow: return RealPow(x, y);
        case opAnd: return Extended::FromInt64(TruncInt64(x) & TruncInt64(y));
        case opOr: return Extended::FromInt64(TruncInt64(x) | TruncInt64(y));
        case opXor: return Extended::FromInt64(TruncInt64(x) ^ TruncInt64(y));
        case opLt: return Flag(CompareOrdered(x, y) < 0);
        case opLe: return Flag(CompareOrdered(x, y) <= 0);
        case opGt: return Flag(CompareOrdered(x, y) > 0);
        case opGe: return Flag(CompareOrdered(x, y) >= 0);
        case opEq: return Flag(ext::Compare(x, y) == 0);
        case opRound: return RoundFloat(x, y);
        case opLogN: return LogN(x, y);
        default: return std::nullopt;
    }
}

}  // namespace

void CcalcMach::ExecOp() {
    if (PendingOp == opNone) return;

    if (X.mode != Y.mode) X = ConvertTo(X, Y.mode, Word);

    // Compute into locals first: a fault must leave X as reconciled above.
    bool supported = true;
    if (Y.mode == vmFloat) {
        const std::optional<Extended> r = FloatOp(PendingOp, ValidFloat(X.f()), ValidFloat(Y.f()));
        if (r) {
            X.setF(*r);
        } else {
            supported = false;
        }
    } else {
        bool powError = false;
        const std::optional<Word128> r = IntOp(PendingOp, X.w(), Y.w(), Word, powError);
        if (powError) {
            X = Reduced(kErrorValue, Word);
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
