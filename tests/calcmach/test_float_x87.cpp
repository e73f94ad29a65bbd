// The calculator's float against the x87, the processor it was first built
// on: random operands of every class (zero, denormal, normal, the largest and
// smallest, infinities, NaNs, the encodings the calculator refuses) and the
// edges of the conversions, through each operation.
//
// Equal bits and equal fault for + - * /, SQRT, the conversions (the bits
// panel's binary64 and binary32 too), the comparisons and bit operations
// and every text; a NaN result need only match
// in sign and quiet bit. SIN, COS, LOGn and power are correctly rounded now,
// the x87's library functions not always: there the result must be the true
// value correctly rounded (MPFR at 256 bits decides), and the test counts
// how far from the x87 it lies and how often the 17-digit text changes.
//
// QZ_X87_OPERANDS sets the operands per operation (default 10000: the
// ordinary suite's sample, about 200000 in all); `make float-x87` runs ten
// million per operation. Only where long double is the x87's type.
#include <gtest/gtest.h>

#if defined(__x86_64__) || defined(__i386__)

#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "calcmach/calcmach.h"
#include "calcmach/float_text.h"
#include "float_testing.h"
#include "mpfr_reference.h"
#include "open_machine.h"

namespace {

// ---- The x87 side: today's float code of the calculator, kept here ----

long double LD(Extended x) {
    unsigned char b[sizeof(long double)] = {};
    x.Store(b);
    long double v;
    std::memcpy(&v, b, sizeof v);
    return v;
}

Extended FromLD(long double v) {
    unsigned char b[sizeof v];
    std::memcpy(b, &v, sizeof v);
    return Extended::Load(b);
}

namespace x87 {

inline long double Fence(long double v) {
    asm volatile("" : "+m"(v));
    return v;
}

void CheckFaults() {
    asm volatile("" ::: "memory");
    const int raised = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    std::feclearexcept(FE_ALL_EXCEPT);
    if (raised & FE_INVALID) throw FloatInvalidError();
    if (raised & FE_DIVBYZERO) throw FloatZeroDivideError();
    if (raised & FE_OVERFLOW) throw FloatOverflowError();
}

template <class Fn, class... Args>
long double Guarded(Fn&& fn, Args... args) {
    std::feclearexcept(FE_ALL_EXCEPT);
    asm volatile("" ::: "memory");
    long double r = fn(Fence(static_cast<long double>(args))...);
    r = Fence(r);
    CheckFaults();
    return r;
}

long double Mul(long double a, long double b) {
    return Guarded([](long double x, long double y) { return x * y; }, a, b);
}
long double Div(long double a, long double b) {
    return Guarded([](long double x, long double y) { return x / y; }, a, b);
}

constexpr long double kTwo63 = 9223372036854775808.0L;

int64_t TruncInt64(long double v) {
    if (!(std::fabs(v) < kTwo63)) throw FloatInvalidError();
    return static_cast<int64_t>(v);
}

long double PowBySquaring(long double x, uint32_t m) {
    long double p = 1.0L;
    std::feclearexcept(FE_ALL_EXCEPT);
    while (m > 0) {
        while ((m & 1u) == 0) {
            m >>= 1;
            x = Fence(x * Fence(x));
        }
        --m;
        p = Fence(p * Fence(x));
    }
    CheckFaults();
    return p;
}

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
        return n < 0 ? Div(1.0L, p) : p;
    }
    const long double lx = Guarded([](long double v) { return std::log(v); }, x);
    const long double t = Mul(y, lx);
    return Guarded([](long double v) { return std::exp(v); }, t);
}

long double RoundFloat(long double x, long double y) {
    int32_t n = 0;
    const bool divide = SmallInteger(y, n) && n < 0;
    const long double scale = divide ? RealPow(10.0L, -y) : RealPow(10.0L, y);
    if (std::isnan(x)) throw FloatInvalidError();
    if (!divide && scale >= 1.0L && !(std::fabs(x) < kTwo63)) return x;
    const long double scaled = divide ? Div(x, scale) : Mul(x, scale);
    if (std::isnan(scaled)) throw FloatInvalidError();
    if (!(std::fabs(scaled) < kTwo63)) return x;
    const long double whole = std::round(scaled);
    return divide ? Mul(whole, scale) : Div(whole, scale);
}

long double LogN(long double x, long double y) {
    const auto log2 = [](long double v) { return std::log2(v); };
    const long double lx = Guarded(log2, x);
    const long double ly = Guarded(log2, y);
    return Div(lx, ly);
}

void RequireOrdered(long double x, long double y) {
    if (std::isnan(x) || std::isnan(y)) throw FloatInvalidError();
}

// The calculator's float table as it was, refused encodings first.
long double FloatOp(int32_t op, Extended ex, Extended ey) {
    const long double x = LD(ValidFloat(ex)), y = LD(ValidFloat(ey));
    switch (op) {
        case opPow: return RealPow(x, y);
        case opAnd: return static_cast<long double>(TruncInt64(x) & TruncInt64(y));
        case opOr: return static_cast<long double>(TruncInt64(x) | TruncInt64(y));
        case opXor: return static_cast<long double>(TruncInt64(x) ^ TruncInt64(y));
        case opLt: RequireOrdered(x, y); return x < y ? 1.0L : 0.0L;
        case opLe: RequireOrdered(x, y); return x <= y ? 1.0L : 0.0L;
        case opEq: return x == y ? 1.0L : 0.0L;
        case opRound: return RoundFloat(x, y);
        case opLogN: return LogN(x, y);
        default: throw std::logic_error("not a float opcode of this test");
    }
}

// The texts as they were: printf's exact digits and the shortest digits of
// to_chars, laid out in the calculator's shapes.
std::string Layout(bool negative, std::string digits, int e) {
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    std::string body;
    if (e >= -5 && e <= 16) {
        if (e >= 0) {
            digits.resize(std::max(digits.size(), static_cast<std::size_t>(e) + 1), '0');
            body = digits.substr(0, static_cast<std::size_t>(e) + 1);
            if (digits.size() > static_cast<std::size_t>(e) + 1)
                body += "." + digits.substr(static_cast<std::size_t>(e) + 1);
        } else {
            body = "0." + std::string(static_cast<std::size_t>(-e - 1), '0') + digits;
        }
    } else {
        body =
            digits.substr(0, 1) + (digits.size() > 1 ? "." + digits.substr(1) : "") + "E" + std::to_string(e);
    }
    return (negative ? "-" : "") + body;
}

// to_chars' scientific text "d.ddde+x" as digits and exponent.
void Scientific(const char* text, const char* end, std::string& digits, int& e) {
    const char* p = std::find(text, end, 'e');
    digits.assign(1, text[0]);
    if (p - text > 2) digits.append(text + 2, p);
    std::from_chars(p + (p[1] == '+' ? 2 : 1), end, e);
}

std::string FloatText(Extended ex) {
    std::feclearexcept(FE_ALL_EXCEPT);
    long double x = Fence(LD(ex)) + 0.0L;  // a refused encoding becomes a NaN
    x = Fence(x);
    std::feclearexcept(FE_ALL_EXCEPT);
    if (std::isnan(x)) return "NAN";
    if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
    if (x == 0) return "0";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::scientific, 16);
    std::string digits;
    int e = 0;
    Scientific(buf, r.ptr, digits, e);
    return Layout(x < 0, digits, e);
}

std::string RegText(Extended ex) {
    const std::string sign = ex.Negative() ? "-" : "";
    switch (ex.Class()) {
        case FloatClass::Infinity: return sign + "INF";
        case FloatClass::Zero: return sign + "0";
        case FloatClass::NaN: return sign + ((ex.significand & Extended::kQuietBit) ? "NAN" : "SNAN");
        case FloatClass::Unnormal:
        case FloatClass::PseudoInfinity:
        case FloatClass::PseudoNaN: return sign + "NAN";
        default: break;
    }
    char buf[64];
    const auto r =
        std::to_chars(buf, buf + sizeof buf, std::fabs(LD(ex.Canonical())), std::chars_format::scientific);
    std::string digits;
    int e = 0;
    Scientific(buf, r.ptr, digits, e);
    return Layout(ex.Negative(), digits, e);
}

}  // namespace x87

// ---- Outcomes ----

struct Outcome {
    Extended value;
    std::string fault;  // "" or the fault's message
};

template <class F>
Outcome Catch(F f) {
    try {
        return {f(), ""};
    } catch (const FloatError& e) {
        return {Extended::Zero(), e.what()};
    }
}

template <class F>
Outcome OnX87(F f) {
    Outcome o = Catch([&] { return FromLD(f()); });
    std::feclearexcept(FE_ALL_EXCEPT);
    return o;
}

bool SameResult(const Outcome& a, const Outcome& b) {
    if (a.fault != b.fault) return false;
    if (!a.fault.empty()) return true;
    if (a.value.IsNaN() && b.value.IsNaN()) {
        return a.value.Negative() == b.value.Negative() &&
               ((a.value.significand ^ b.value.significand) & Extended::kQuietBit) == 0;
    }
    return a.value == b.value;
}

std::string Show(const Outcome& o) { return o.fault.empty() ? HexText(o.value) : o.fault; }

// Position of a finite value among all of them, for distances in ulps.
__extension__ typedef __int128 i128;
i128 Ordinal(Extended x) {
    x = x.Canonical();
    const i128 magnitude =
        x.Exponent() == 0 ? i128(x.significand) : (i128(x.Exponent() - 1) << 63) + i128(x.significand);
    return x.Negative() ? -magnitude : magnitude;
}

// ---- Operands ----

class Operands {
public:
    explicit Operands(uint64_t seed) : gen_(seed) {}
    uint64_t Bits() { return gen_(); }

    // Every class, the ones where arithmetic goes wrong more often.
    Extended Any() {
        const unsigned sign = gen_() % 2 ? Extended::kSignBit : 0u;
        const uint64_t top = Extended::kIntegerBit;
        switch (gen_() % 20) {
            case 0: return Extended::Zero(sign != 0);
            case 1: return {gen_() >> (1 + gen_() % 63), sign};  // denormal
            case 2: {
                const Extended ends[] = {Extended::Max(), Extended::MinNormal(), Extended::MinDenormal(),
                                         Extended(~uint64_t{0} >> 1, 0), Extended(top | 1, 1)};
                const Extended e = ends[gen_() % 5];
                return sign ? e.Negated() : e;
            }
            case 3: return Extended::Infinity(sign != 0);
            case 4: return {top | Extended::kQuietBit | (gen_() >> 2), 0x7FFF | sign};  // quiet NaN
            case 5: return {top | (gen_() >> 2) | 1, 0x7FFF | sign};                    // signalling NaN
            case 6: {
                switch (gen_() % 4) {
                    case 0: return {top | gen_(), sign};  // pseudo-denormal
                    case 1:
                        return {gen_() >> 1, sign | static_cast<unsigned>(1 + gen_() % 0x7FFE)};  // unnormal
                    case 2: return {0, 0x7FFF | sign};                   // pseudo-infinity
                    default: return {(gen_() >> 2) | 1, 0x7FFF | sign};  // pseudo-NaN
                }
            }
            case 7: return Extended::FromInt64(static_cast<int64_t>(gen_() % 2001) - 1000);
            case 8: {  // edges of the 64-bit and 128-bit integers and of 2^31
                const int exps[] = {31, 62, 63, 64, 126, 127};
                const int e = exps[gen_() % 6];
                const uint64_t near = gen_() % 2 ? top + gen_() % 4 : ~uint64_t{0} - gen_() % 4;
                return {near,
                        sign | static_cast<unsigned>(Extended::kBias + e - (near == top ? 0 : gen_() % 2))};
            }
            case 9:
                return ext::Add(Extended::FromInt64(static_cast<int64_t>(gen_() % 200) - 100),
                                Extended::FromDouble(0.5));
            case 10:
            case 11:
            case 12:
            case 13: return Moderate(70);
            default: return {gen_() | top, sign | static_cast<unsigned>(1 + gen_() % 0x7FFE)};
        }
    }

    // A normal number within 2^-range..2^range.
    Extended Moderate(int range) {
        const unsigned sign = gen_() % 2 ? Extended::kSignBit : 0u;
        const int e = static_cast<int>(gen_() % static_cast<uint64_t>(2 * range + 1)) - range;
        return {gen_() | Extended::kIntegerBit, sign | static_cast<unsigned>(Extended::kBias + e)};
    }

private:
    std::mt19937_64 gen_;
};

int OperandsPerOperation() {
    const char* env = std::getenv("QZ_X87_OPERANDS");
    const long n = env ? std::atol(env) : 0;
    return n > 0 ? static_cast<int>(n) : 10000;
}

// ---- Exactly as the x87 ----

using ExtOp = Extended (*)(Extended, Extended);

void ExpectSameAsX87(const char* name, ExtOp op, long double (*ref)(long double, long double),
                     uint64_t seed) {
    Operands ops(seed);
    const int n = OperandsPerOperation();
    for (int i = 0; i < n; ++i) {
        const Extended a = ops.Any(), b = i % 4 == 0 ? ops.Moderate(70) : ops.Any();
        const Outcome want = OnX87([&] { return x87::Guarded(ref, LD(a), LD(b)); });
        const Outcome got = Catch([&] { return op(a, b); });
        ASSERT_TRUE(SameResult(got, want)) << name << " " << HexText(a) << " " << HexText(b) << ": "
                                           << Show(got) << " instead of " << Show(want);
    }
}

TEST(FloatX87, FourOperations) {
    ExpectSameAsX87(
        "+", ext::Add, [](long double x, long double y) { return x + y; }, 1);
    ExpectSameAsX87(
        "-", ext::Sub, [](long double x, long double y) { return x - y; }, 2);
    ExpectSameAsX87(
        "*", ext::Mul, [](long double x, long double y) { return x * y; }, 3);
    ExpectSameAsX87(
        "/", ext::Div, [](long double x, long double y) { return x / y; }, 4);
}

TEST(FloatX87, SquareRoot) {
    Operands ops(5);
    for (int i = 0; i < OperandsPerOperation(); ++i) {
        const Extended a = ops.Any();
        const Outcome want = OnX87(
            [&] { return x87::Guarded([](long double v) { return std::sqrt(v); }, LD(ValidFloat(a))); });
        const Outcome got = Catch([&] { return ext::Sqrt(ValidFloat(a)); });
        ASSERT_TRUE(SameResult(got, want)) << HexText(a) << ": " << Show(got) << " instead of " << Show(want);
    }
}

// The operations of the float table that convert or compare: AND, OR, XOR
// through 64-bit integers, the comparisons, and ROUN where its scale is an
// exact power of ten.
TEST(FloatX87, ConversionsAndComparisons) {
    Operands ops(6);
    OpenMachine m;
    const int32_t codes[] = {opAnd, opOr, opXor, opLt, opLe, opEq, opRound};
    for (int i = 0; i < OperandsPerOperation(); ++i) {
        for (const int32_t op : codes) {
            const Extended a = ops.Any();
            Extended b = ops.Any();
            if (op == opRound) b = Extended::FromInt64(static_cast<int64_t>(ops.Bits() % 55) - 27);
            const Outcome want = OnX87([&] { return x87::FloatOp(op, a, b); });
            const Outcome got = Catch([&] {
                m.X = CalcValue::Float(a);
                m.Y = CalcValue::Float(b);
                m.PendingOp = op;
                m.ExecOp();
                return m.X.f();
            });
            ASSERT_TRUE(SameResult(got, want)) << "op " << op << " " << HexText(a) << " " << HexText(b)
                                               << ": " << Show(got) << " instead of " << Show(want);
        }
        // The mode changes: a float to a Word128 truncates toward zero.
        const Extended a = ops.Any();
        const long double x = LD(a);
        if (a.IsFinite() && std::fabs(x) < 0x1p127L) {
            __extension__ const __int128 t = static_cast<__int128>(x);
            ASSERT_EQ(wide::FloatToW128(a), Word128::FromNative(static_cast<u128>(t))) << HexText(a);
        }
    }
}

// ---- Texts ----

TEST(FloatX87, Texts) {
    Operands ops(7);
    for (int i = 0; i < OperandsPerOperation(); ++i) {
        const Extended a = ops.Any();
        ASSERT_EQ(FloatText(a), x87::FloatText(a)) << HexText(a);
        const std::string reg = FloatRegText(a);
        ASSERT_EQ(reg, x87::RegText(a)) << HexText(a);
        if (a.IsFinite() || a.IsInfinity()) {
            // The bits panel's binary64 and binary32: the x87's conversions.
            const double d = static_cast<double>(LD(a));
            const float f = static_cast<float>(LD(a));
            std::feclearexcept(FE_ALL_EXCEPT);
            uint64_t d64;
            uint32_t f32;
            std::memcpy(&d64, &d, sizeof d);
            std::memcpy(&f32, &f, sizeof f);
            ASSERT_EQ(ext::ToBinary64Bits(a), d64) << HexText(a);
            ASSERT_EQ(ext::ToBinary32Bits(a), f32) << HexText(a);
        }
        if (a.IsFinite()) {
            ASSERT_EQ(ParseFloatRegText(reg), a.Canonical()) << reg;
            const std::string text = FloatText(a);
            // The largest values' texts round up past the range and are read
            // as the largest value.
            const long double back = std::strtold(text.c_str(), nullptr);
            ASSERT_EQ(ParseFloat(text), std::isinf(back) ? Extended::Max(back < 0) : FromLD(back)) << text;
        }
        // Typed digits: 1 to 40 with the point anywhere, and an exponent's
        // worth of zeros now and then.
        std::string typed;
        const int digits = 1 + static_cast<int>(ops.Bits() % 40);
        for (int k = 0; k < digits; ++k) typed += static_cast<char>('0' + ops.Bits() % 10);
        if (ops.Bits() % 8 == 0) typed = "0." + std::string(ops.Bits() % 5000, '0') + typed;
        const std::size_t point = ops.Bits() % (typed.size() + 1);
        if (typed.find('.') == std::string::npos && point < typed.size()) typed.insert(point, ".");
        const Extended want = FromLD(std::strtold(typed.c_str(), nullptr));
        ASSERT_EQ(DecimalToExtended(typed), want.IsInfinity() ? Extended::Infinity() : want) << typed;
    }
}

// ---- Correctly rounded, where the x87's library was not always ----

struct Stats {
    long operands = 0, differ = 0, farther = 0, textChanged = 0, spuriousFault = 0;
    void Print(const char* name) const {
        std::printf(
            "%s: %ld operands, %ld differ from the x87 (%ld by more than 1 ulp), the 17-digit text of %ld; "
            "%ld x87 faults the true value does not have\n",
            name, operands, differ, farther, textChanged, spuriousFault);
    }
};

// The outcome of the true value: correctly rounded from 256 bits, or the
// fault it has (overflow only; the others are decided by the operands).
Outcome Truth(const std::function<int(mpfr_ptr)>& f) {
    mpfr_t t;
    mpfr_init2(t, 256);
    f(t);
    Outcome o{RefFromMpfr(t), ""};
    if (!mpfr_inf_p(t) && o.value.IsInfinity()) o.fault = "Floating point overflow";
    mpfr_clear(t);
    return o;
}

void Compare(const char* name, const Outcome& got, const Outcome& x87, const Outcome& truth, Stats& s,
             const std::string& what) {
    ++s.operands;
    if (SameResult(got, x87)) return;
    ++s.differ;
    // Different: the new result is the true one, correctly rounded.
    ASSERT_TRUE(SameResult(got, truth))
        << name << " " << what << ": " << Show(got) << ", true " << Show(truth) << ", x87 " << Show(x87);
    if (!x87.fault.empty() || !got.fault.empty()) {
        ++s.spuriousFault;
        return;
    }
    const i128 d = Ordinal(got.value) - Ordinal(x87.value);
    if (d > 1 || d < -1) ++s.farther;
    if (FloatText(got.value) != FloatText(x87.value)) ++s.textChanged;
}

TEST(FloatX87, SineAndCosine) {
    Operands ops(8);
    Stats sin, cos;
    for (int i = 0; i < OperandsPerOperation(); ++i) {
        const Extended a = i % 2 ? ops.Any() : ops.Moderate(12);
        for (const bool isSin : {true, false}) {
            const Outcome x87 = OnX87([&] {
                return x87::Guarded([&](long double v) { return isSin ? std::sin(v) : std::cos(v); },
                                    LD(ValidFloat(a)));
            });
            const Outcome got = Catch([&] { return (isSin ? ext::Sin : ext::Cos)(ValidFloat(a)); });
            if (SameResult(got, x87)) {
                ++(isSin ? sin : cos).operands;
                continue;
            }
            ASSERT_TRUE(a.IsFinite() && !a.IsZero())
                << HexText(a) << ": " << Show(got) << " instead of " << Show(x87);
            const Outcome truth = Truth([&](mpfr_ptr t) {
                mpfr_t x;
                mpfr_init2(x, 64);
                RefToMpfr(a.Canonical(), x);
                const int r = isSin ? mpfr_sin(t, x, MPFR_RNDN) : mpfr_cos(t, x, MPFR_RNDN);
                mpfr_clear(x);
                return r;
            });
            Compare(isSin ? "SIN" : "COS", got, x87, truth, isSin ? sin : cos, HexText(a));
        }
    }
    sin.Print("SIN");
    cos.Print("COS");
}

// Power and LOGn as the machine computes them, operands of every class and
// many of the moderate sizes calculations have.
TEST(FloatX87, PowerAndLogarithm) {
    Operands ops(9);
    OpenMachine m;
    Stats pow[4], logn;
    const auto run = [&m](int32_t op, Extended a, Extended b) {
        return Catch([&] {
            m.X = CalcValue::Float(a);
            m.Y = CalcValue::Float(b);
            m.PendingOp = op;
            m.ExecOp();
            return m.X.f();
        });
    };
    for (int i = 0; i < OperandsPerOperation(); ++i) {
        // Power: bases near 1 to large, exponents whole (the power by
        // squaring) and fractional.
        const Extended x = i % 4 == 0 ? ops.Any() : ops.Moderate(16).Abs();
        Extended y;
        const auto kind = static_cast<std::size_t>(ops.Bits() % 4);
        switch (kind) {
            case 0: y = ops.Any(); break;
            case 1: y = Extended::FromInt64(static_cast<int64_t>(ops.Bits() % 401) - 200); break;
            case 2: y = Extended::FromInt64(static_cast<int64_t>(ops.Bits() % 100001) - 50000); break;
            default: y = ops.Moderate(6); break;
        }
        const Outcome powX87 = OnX87([&] { return x87::FloatOp(opPow, x, y); });
        const Outcome powGot = run(opPow, x, y);
        if (!SameResult(powGot, powX87)) {
            ASSERT_TRUE(x.IsFinite() && y.IsFinite()) << HexText(x) << " ^ " << HexText(y) << ": "
                                                      << Show(powGot) << " instead of " << Show(powX87);
            const Outcome truth = Truth([&](mpfr_ptr t) {
                mpfr_t mx, my;
                mpfr_inits2(64, mx, my, static_cast<mpfr_ptr>(nullptr));
                RefToMpfr(x.Canonical(), mx);
                RefToMpfr(y.Canonical(), my);
                const int r = mpfr_pow(t, mx, my, MPFR_RNDN);
                mpfr_clears(mx, my, static_cast<mpfr_ptr>(nullptr));
                return r;
            });
            Compare("power", powGot, powX87, truth, pow[kind], HexText(x) + " ^ " + HexText(y));
        } else {
            ++pow[kind].operands;
        }

        // LOGn: positive operands mostly, exact powers now and then.
        Extended lx = i % 4 == 0 ? ops.Any() : ops.Moderate(200).Abs();
        const Extended ly = i % 4 == 1 ? ops.Any() : ops.Moderate(200).Abs();
        if (i % 8 == 2) lx = ext::PowInt(ly, static_cast<int32_t>(ops.Bits() % 7) - 3);
        const Outcome logX87 = OnX87([&] { return x87::FloatOp(opLogN, lx, ly); });
        const Outcome logGot = run(opLogN, lx, ly);
        if (!SameResult(logGot, logX87)) {
            const Outcome truth = Truth([&](mpfr_ptr t) {
                mpfr_t mx, my, l;
                mpfr_inits2(64, mx, my, static_cast<mpfr_ptr>(nullptr));
                mpfr_init2(l, 256);
                RefToMpfr(lx.Canonical(), mx);
                RefToMpfr(ly.Canonical(), my);
                mpfr_log2(t, mx, MPFR_RNDN);
                mpfr_log2(l, my, MPFR_RNDN);
                const int r = mpfr_div(t, t, l, MPFR_RNDN);
                mpfr_clears(mx, my, l, static_cast<mpfr_ptr>(nullptr));
                return r;
            });
            Compare("LOGn", logGot, logX87, truth, logn, HexText(lx) + " LOGn " + HexText(ly));
        } else {
            ++logn.operands;
        }
    }
    pow[0].Print("power, exponents of every class");
    pow[1].Print("power, whole exponents -200..200");
    pow[2].Print("power, whole exponents -50000..50000");
    pow[3].Print("power, fractional exponents below 64");
    logn.Print("LOGn");
}

}  // namespace

#else

TEST(FloatX87, NeedsTheX87) { GTEST_SKIP() << "long double is not the x87's 80-bit type here"; }

#endif
