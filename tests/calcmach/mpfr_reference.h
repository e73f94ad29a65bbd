// The tests' own plain use of MPFR, apart from the calculator's: a decimal
// text read at once to the nearest extended, and MPFR numbers of any
// precision to and from the 80-bit encoding. Also the reference the x87
// test decides with.
#pragma once

#include <gmp.h>
#include <mpfr.h>

#include <bit>
#include <cstdlib>
#include <string>

#include "wide/extended.h"

// x (any precision, any exponent) rounded to nearest, ties to even, to
// the extended format, denormals included.
inline Extended RefFromMpfr(mpfr_srcptr x) {
    const bool negative = mpfr_signbit(x) != 0;
    if (mpfr_nan_p(x)) return Extended::QuietNaN(negative);
    if (mpfr_inf_p(x)) return Extended::Infinity(negative);
    if (mpfr_zero_p(x)) return Extended::Zero(negative);
    mpfr_t t;
    mpfr_init2(t, 64);
    int inexact = mpfr_set(t, x, MPFR_RNDN);
    const mpfr_exp_t emin = mpfr_get_emin(), emax = mpfr_get_emax();
    mpfr_set_emin(-16444);
    mpfr_set_emax(16384);
    inexact = mpfr_check_range(t, inexact, MPFR_RNDN);
    mpfr_subnormalize(t, inexact, MPFR_RNDN);
    mpfr_set_emin(emin);
    mpfr_set_emax(emax);
    Extended r;
    if (mpfr_inf_p(t)) {
        r = Extended::Infinity(negative);
    } else if (mpfr_zero_p(t)) {
        r = Extended::Zero(negative);
    } else {
        mpz_t z;
        mpz_init(z);
        const long e2 = mpfr_get_z_2exp(z, t);
        mpz_abs(z, z);
        const uint64_t m = mpz_get_ui(z);
        mpz_clear(z);
        const int lead = std::countl_zero(m);
        const long biased = e2 - lead + Extended::kIntegerExp;
        const unsigned sign = negative ? Extended::kSignBit : 0u;
        r = biased >= 1 ? Extended(m << lead, static_cast<unsigned>(biased) | sign)
                        : Extended((m << lead) >> (1 - biased), sign);
    }
    mpfr_clear(t);
    return r;
}

// x exactly (p >= 64); x must be zero, finite or an infinity.
inline void RefToMpfr(Extended x, mpfr_ptr out) {
    if (x.IsInfinity()) {
        mpfr_set_inf(out, x.Negative() ? -1 : 1);
        return;
    }
    const long biased = x.Exponent() == 0 ? 1 : static_cast<long>(x.Exponent());
    mpfr_set_uj_2exp(out, x.significand, biased - Extended::kIntegerExp, MPFR_RNDN);
    if (x.Negative()) mpfr_neg(out, out, MPFR_RNDN);
}

// A decimal number ("12.5", "1e-4000"; no sign) to the nearest extended,
// read at once however long.
inline Extended RefParse(const std::string& decimal) {
    // Finely enough that no extended's halfway point lies between the text
    // and its rounding: 4 bits a digit and a unit of the exponent.
    const std::size_t e = decimal.find_first_of("eE");
    const long exp10 = e == std::string::npos ? 0 : std::labs(std::atol(decimal.c_str() + e + 1));
    mpfr_t x;
    mpfr_init2(x, static_cast<mpfr_prec_t>(4 * (decimal.size() + static_cast<std::size_t>(exp10)) + 128));
    mpfr_strtofr(x, decimal.empty() ? "0" : decimal.c_str(), nullptr, 10, MPFR_RNDN);
    const Extended r = RefFromMpfr(x);
    mpfr_clear(x);
    return r;
}
