// MPFR helpers of the floating-point table generators.
#pragma once

#include <mpfr.h>

namespace vexa::tools {

constexpr mpfr_prec_t kTablePrec = 256;

struct Big {
    mpfr_t v;
    Big() { mpfr_init2(v, kTablePrec); }
    ~Big() { mpfr_clear(v); }
    Big(const Big&) = delete;
    Big& operator=(const Big&) = delete;
};

// Rounded value of v and the rounded error of that rounding.
inline void split(const Big& v, double& hi, double& lo) {
    hi = mpfr_get_d(v.v, MPFR_RNDN);
    Big rest;
    mpfr_sub_d(rest.v, v.v, hi, MPFR_RNDN);
    lo = mpfr_get_d(rest.v, MPFR_RNDN);
}

// 2^(num/den).
inline void two_pow(Big& out, long num, long den) {
    Big e;
    mpfr_set_si(e.v, num, MPFR_RNDN);
    mpfr_div_si(e.v, e.v, den, MPFR_RNDN);
    mpfr_ui_pow(out.v, 2, e.v, MPFR_RNDN);
}

// -ln(c).
inline void minus_ln(Big& out, double c) {
    mpfr_set_d(out.v, c, MPFR_RNDN);
    mpfr_log(out.v, out.v, MPFR_RNDN);
    mpfr_neg(out.v, out.v, MPFR_RNDN);
}

}  // namespace vexa::tools
