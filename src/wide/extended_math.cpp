// The extended float's arithmetic through GNU MPFR: 64-bit precision, the
// format's exponent range with its denormals (mpfr_subnormalize), rounding
// to nearest, so every result is the correctly rounded one on every
// processor. MPFR's flags give the three enabled faults.
//
// MPFR reports a NaN operand through its NaN flag like an invalid operation;
// the x87 passes a quiet NaN on silently. So NaN operands are dealt with
// here before MPFR sees them, and MPFR's NaN flag then means exactly an
// invalid operation.
#include <gmp.h>
#include <mpfr.h>

#include <array>
#include <bit>
#include <cstring>

#include "extended.h"

namespace {

constexpr mpfr_prec_t kPrec = 64;
// The smallest denormal, 2^-16445, is 0.1b x 2^-16444 to MPFR; the largest
// finite value is below 2^16384.
constexpr mpfr_exp_t kEmin = -16444;
constexpr mpfr_exp_t kEmax = 16384;
// The exponent of the smallest normal, 2^-16382, to MPFR.
constexpr mpfr_exp_t kNormalEmin = -16381;

static_assert(GMP_NAIL_BITS == 0 && 64 % GMP_NUMB_BITS == 0, "limbs of 32 or 64 bits");
constexpr int kLimbs = 64 / GMP_NUMB_BITS;

// A 64-bit MPFR number whose significand lives here, so making one costs
// no allocation. It points into itself: neither copied nor moved.
class Mp {
public:
    Mp() { mpfr_custom_init_set(x_, MPFR_ZERO_KIND, 0, kPrec, limbs_.data()); }
    // x must be zero, an infinity or finite (a pseudo-denormal included).
    explicit Mp(Extended x) {
        const int sign = x.Negative() ? -1 : 1;
        if (x.IsInfinity()) {
            mpfr_custom_init_set(x_, sign * MPFR_INF_KIND, 0, kPrec, limbs_.data());
        } else if (x.significand == 0) {
            mpfr_custom_init_set(x_, sign * MPFR_ZERO_KIND, 0, kPrec, limbs_.data());
        } else {
            const int shift = std::countl_zero(x.significand);
            const int biased = x.Exponent() == 0 ? 1 : static_cast<int>(x.Exponent());
            SetSignificand(x.significand << shift);
            mpfr_custom_init_set(x_, sign * MPFR_REGULAR_KIND, biased - (Extended::kBias - 1) - shift, kPrec,
                                 limbs_.data());
        }
    }
    Mp(const Mp&) = delete;
    Mp& operator=(const Mp&) = delete;

    operator mpfr_ptr() { return x_; }
    operator mpfr_srcptr() const { return x_; }

    // The value, which must lie in the extended range with the precision a
    // denormal there has (as after mpfr_subnormalize). A NaN gives the
    // indefinite NaN.
    Extended Value() const {
        const bool negative = mpfr_signbit(x_) != 0;
        if (mpfr_nan_p(x_)) return Extended::Indefinite();
        if (mpfr_inf_p(x_)) return Extended::Infinity(negative);
        if (mpfr_zero_p(x_)) return Extended::Zero(negative);
        uint64_t m = 0;
        for (int i = kLimbs - 1; i >= 0; --i)
            m = m << (GMP_NUMB_BITS % 64) | limbs_[static_cast<std::size_t>(i)];
        const mpfr_exp_t e = mpfr_get_exp(x_);
        const unsigned sign = negative ? Extended::kSignBit : 0u;
        if (e >= kNormalEmin) return {m, static_cast<unsigned>(e + (Extended::kBias - 1)) | sign};
        return {m >> (kNormalEmin - e), sign};
    }

private:
    void SetSignificand(uint64_t m) {
        for (int i = 0; i < kLimbs; ++i, m >>= (GMP_NUMB_BITS % 64))
            limbs_[static_cast<std::size_t>(i)] = static_cast<mp_limb_t>(m);
    }

    std::array<mp_limb_t, kLimbs> limbs_{};
    mpfr_t x_;
};

// MPFR's exponent range, flags and caches (constants such as pi for the
// sine) are its thread's own, so qzcalc's worker threads compute side by
// side. A thread that computed frees its caches as it ends, as MPFR asks.
struct ThreadCaches {
    ThreadCaches() = default;
    ThreadCaches(const ThreadCaches&) = delete;
    ThreadCaches& operator=(const ThreadCaches&) = delete;
    ~ThreadCaches() { mpfr_free_cache2(MPFR_FREE_LOCAL_CACHE); }
};

// The extended format's exponent range while it lives, the flags cleared;
// the range before is put back when it goes.
class ExtendedRange {
public:
    ExtendedRange() : emin_(mpfr_get_emin()), emax_(mpfr_get_emax()) {
        thread_local ThreadCaches caches;
        (void)caches;
        mpfr_set_emin(kEmin);
        mpfr_set_emax(kEmax);
        mpfr_clear_flags();
    }
    ~ExtendedRange() {
        mpfr_set_emin(emin_);
        mpfr_set_emax(emax_);
    }
    ExtendedRange(const ExtendedRange&) = delete;
    ExtendedRange& operator=(const ExtendedRange&) = delete;

private:
    mpfr_exp_t emin_, emax_;
};

// Rounds a result computed to 64 bits (t its ternary value) once more where
// it is a denormal, then raises the fault MPFR flagged, invalid first.
Extended Finish(Mp& r, int t) {
    mpfr_subnormalize(r, t, MPFR_RNDN);
    if (mpfr_nanflag_p()) throw FloatInvalidError();
    if (mpfr_divby0_p()) throw FloatZeroDivideError();
    if (mpfr_overflow_p()) throw FloatOverflowError();
    return r.Value();
}

bool Refused(Extended x) {
    const FloatClass c = x.Class();
    return c == FloatClass::Unnormal || c == FloatClass::PseudoInfinity || c == FloatClass::PseudoNaN;
}

// As the x87 takes operands: a refused encoding or a signalling NaN is an
// invalid operation; otherwise a NaN operand is the result, quieted; of two,
// the one with the larger significand, the positive one if they tie. True
// when out holds that NaN.
bool NaNOperand(Extended a, Extended b, bool binary, Extended& out) {
    if (Refused(a) || a.IsSignalling()) throw FloatInvalidError();
    if (binary && (Refused(b) || b.IsSignalling())) throw FloatInvalidError();
    const bool na = a.IsNaN(), nb = binary && b.IsNaN();
    if (!na && !nb) return false;
    if (na && nb) {
        const bool takeB = b.significand > a.significand || (b.significand == a.significand && !b.Negative());
        out = takeB ? b : a;
    } else {
        out = na ? a : b;
    }
    return true;
}

using BinaryFn = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t);
using UnaryFn = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);

Extended Binary(BinaryFn fn, Extended a, Extended b) {
    Extended nan;
    if (NaNOperand(a, b, true, nan)) return nan;
    ExtendedRange range;
    Mp x(a), y(b), r;
    return Finish(r, fn(r, x, y, MPFR_RNDN));
}

Extended Unary(UnaryFn fn, Extended a) {
    Extended nan;
    if (NaNOperand(a, a, false, nan)) return nan;
    ExtendedRange range;
    Mp x(a), r;
    return Finish(r, fn(r, x, MPFR_RNDN));
}

// 10^k for k = 0..27, each exact in 64 bits (5^27 < 2^63).
constexpr int kExactPow10 = 27;
const std::array<Extended, kExactPow10 + 1> kPow10 = [] {
    std::array<Extended, kExactPow10 + 1> t{};
    uint64_t five = 1;
    for (int k = 0; k <= kExactPow10; ++k, five *= 5) {
        const int top = 63 - std::countl_zero(five);
        t[static_cast<std::size_t>(k)] = {five << (63 - top),
                                          static_cast<unsigned>(Extended::kBias + top + k)};
    }
    return t;
}();

Extended FromUint64(uint64_t m) {
    if (m == 0) return Extended::Zero();
    const int top = 63 - std::countl_zero(m);
    return {m << (63 - top), static_cast<unsigned>(Extended::kBias + top)};
}

// An MPFR number of a given precision, freed when it goes.
class MpWide {
public:
    explicit MpWide(mpfr_prec_t p) { mpfr_init2(x_, p); }
    ~MpWide() { mpfr_clear(x_); }
    MpWide(const MpWide&) = delete;
    MpWide& operator=(const MpWide&) = delete;
    operator mpfr_ptr() { return x_; }

private:
    mpfr_t x_;
};

}  // namespace

namespace ext {

Extended Add(Extended a, Extended b) { return Binary(mpfr_add, a, b); }
Extended Sub(Extended a, Extended b) { return Binary(mpfr_sub, a, b); }
Extended Mul(Extended a, Extended b) { return Binary(mpfr_mul, a, b); }
Extended Div(Extended a, Extended b) { return Binary(mpfr_div, a, b); }
Extended Pow(Extended x, Extended y) { return Binary(mpfr_pow, x, y); }
Extended Sqrt(Extended x) { return Unary(mpfr_sqrt, x); }
Extended Sin(Extended x) { return Unary(mpfr_sin, x); }
Extended Cos(Extended x) { return Unary(mpfr_cos, x); }

Extended PowInt(Extended x, int32_t n) {
    Extended nan;
    if (NaNOperand(x, x, false, nan)) return nan;
    ExtendedRange range;
    Mp mx(x), r;
    return Finish(r, mpfr_pow_si(r, mx, n, MPFR_RNDN));
}

Extended RoundHalfAway(Extended x) {
    Extended nan;
    if (NaNOperand(x, x, false, nan)) return nan;
    ExtendedRange range;
    Mp mx(x), r;
    // A whole number of at most 64 bits: exact.
    mpfr_round(r, mx);
    return r.Value();
}

Extended LogBase(Extended x, Extended y) {
    ExtendedRange range;
    Mp mx(x), my(y), r;
    // Ziv's loop: log2 x / log2 y at p bits lies within 2^(2-p) of the true
    // quotient (three roundings); once no 64-bit number or halfway point
    // between two lies that close, rounding it rounds the true quotient.
    for (mpfr_prec_t p = 128; p <= 32768; p *= 2) {
        MpWide lx(p), ly(p), q(p);
        mpfr_log2(lx, mx, MPFR_RNDN);
        mpfr_log2(ly, my, MPFR_RNDN);
        mpfr_div(q, lx, ly, MPFR_RNDN);
        if (mpfr_can_round(q, p - 3, MPFR_RNDN, MPFR_RNDZ, kPrec + 1)) {
            mpfr_set(r, q, MPFR_RNDN);
            break;
        }
        // So close to a 64-bit number or a halfway point c that it may be
        // c exactly: x = y^c (8 LOGn 2, 2 LOGn 4). MPFR's power is exact
        // where the true power is.
        MpWide c(kPrec + 1), power(kPrec);
        mpfr_set(c, q, MPFR_RNDN);
        if (mpfr_pow(power, my, c, MPFR_RNDN) == 0 && mpfr_equal_p(power, mx)) {
            mpfr_set(r, c, MPFR_RNDN);
            break;
        }
        mpfr_set(r, q, MPFR_RNDN);  // the best known, should the loop end
    }
    return r.Value();
}

namespace {

// The bits of the nearest value of a narrower binary format, as get (MPFR's
// conversion to it) rounds x.
template <typename Bits, typename Get>
Bits NearestBits(Extended x, Get get) {
    ExtendedRange range;
    const Mp mx(x);
    const auto narrow = get(mx);
    static_assert(sizeof narrow == sizeof(Bits));
    Bits bits;
    std::memcpy(&bits, &narrow, sizeof bits);
    return bits;
}

}  // namespace

uint64_t ToBinary64Bits(Extended x) {
    return NearestBits<uint64_t>(x, [](const Mp& m) { return mpfr_get_d(m, MPFR_RNDN); });
}

uint32_t ToBinary32Bits(Extended x) {
    return NearestBits<uint32_t>(x, [](const Mp& m) { return mpfr_get_flt(m, MPFR_RNDN); });
}

void DecimalDigits(Extended x, int n, std::string& digits, long& exp10) {
    ExtendedRange range;
    const Mp mx(x.Abs());
    char buf[48];
    mpfr_exp_t e = 0;
    mpfr_get_str(buf, &e, 10, static_cast<std::size_t>(n), mx, MPFR_RNDN);
    digits.assign(buf);
    exp10 = static_cast<long>(e);
}

Extended FromDecimal(std::string_view digits, long exp10) {
    ExtendedRange range;
    Mp r;
    int t;
    if (digits.size() <= 19 && exp10 >= -kExactPow10 && exp10 <= kExactPow10) {
        // An integer the format holds exactly, and an exact power of ten:
        // one multiplication or division rounds once, correctly.
        uint64_t m = 0;
        for (char c : digits) m = m * 10 + static_cast<uint64_t>(c - '0');
        Mp mm(FromUint64(m)), p(kPow10[static_cast<std::size_t>(exp10 < 0 ? -exp10 : exp10)]);
        t = exp10 >= 0 ? mpfr_mul(r, mm, p, MPFR_RNDN) : mpfr_div(r, mm, p, MPFR_RNDN);
    } else {
        // No decimal point: mpfr_strtofr would take the locale's.
        std::string text(digits);
        text += 'e';
        text += std::to_string(exp10);
        t = mpfr_strtofr(r, text.c_str(), nullptr, 10, MPFR_RNDN);
    }
    mpfr_subnormalize(r, t, MPFR_RNDN);
    return r.Value();
}

}  // namespace ext
