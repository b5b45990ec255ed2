// The gamma-function tables: ln Gamma on rows of width 1/8 from 15/16,
// 1/4 from 8 + 1/8, 1/2 from 16.25 and 1 from 32.5 to 64.5, the zeros of ln|Gamma| on the negative axis
// with their local polynomials, Stirling's coefficients, the sine and cosine of pi g as Taylor
// polynomials, and the constants.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "chebyshev.h"
#include "mpfr_util.h"
#include "tables.h"
#include "vector_math/tables/gamma_tables.h"

namespace vexa::tools {
namespace {

// (ln Gamma(c + t) - ln Gamma(c)) / t at v = c + t, its limit digamma(c) at t = 0.
void slope(Big& out, const Big& v, const Big& c, const Big& lgc) {
    Big t;
    mpfr_sub(t.v, v.v, c.v, MPFR_RNDN);
    if (mpfr_zero_p(t.v) || mpfr_get_exp(t.v) < -100) {
        mpfr_digamma(out.v, c.v, MPFR_RNDN);
        return;
    }
    mpfr_lngamma(out.v, v.v, MPFR_RNDN);
    mpfr_sub(out.v, out.v, lgc.v, MPFR_RNDN);
    mpfr_div(out.v, out.v, t.v, MPFR_RNDN);
}

void value_pair(TableWriter& w, const Big& v) {
    double hi, lo;
    split(v, hi, lo);
    w.value(hi);
    w.value(lo);
}

// Taylor coefficients of sin(pi g) / (pi g) (odd = true) or cos(pi g) / pi in
// u = g^2: (-1)^k pi^(2k+odd-1) / (2k+odd)!.
void sin_cos_row(TableWriter& w, bool odd) {
    Big pi, c;
    mpfr_const_pi(pi.v, MPFR_RNDN);
    for (int k = 0; k <= vm::tables::kSinPiDegree; ++k) {
        const int n = 2 * k + (odd ? 1 : 0);
        mpfr_pow_ui(c.v, pi.v, static_cast<unsigned long>(n), MPFR_RNDN);
        mpfr_div(c.v, c.v, pi.v, MPFR_RNDN);
        for (int j = 2; j <= n; ++j) mpfr_div_ui(c.v, c.v, static_cast<unsigned long>(j), MPFR_RNDN);
        if (k % 2 != 0) mpfr_neg(c.v, c.v, MPFR_RNDN);
        if (k <= 2) value_pair(w, c);
        else w.value(mpfr_get_d(c.v, MPFR_RNDN));
    }
}

constexpr mpfr_prec_t kZeroPrec = 400;

// A number of the zero search's precision.
struct Wide {
    mpfr_t v;
    Wide() { mpfr_init2(v, kZeroPrec); }
    ~Wide() { mpfr_clear(v); }
    Wide(const Wide&) = delete;
    Wide& operator=(const Wide&) = delete;
};

double lgamma_sign_of(const Wide& x) {
    Wide y;
    int sign;
    mpfr_lgamma(y.v, &sign, x.v, MPFR_RNDN);
    return mpfr_sgn(y.v);
}

// The zero of ln|Gamma| between a (where it is negative) and b (positive)
// by bisection to the working precision.
void zero_between(Wide& x0, const Wide& a, const Wide& b) {
    Wide lo, hi;
    mpfr_set(lo.v, a.v, MPFR_RNDN);
    mpfr_set(hi.v, b.v, MPFR_RNDN);
    for (int i = 0; i < kZeroPrec + 8; ++i) {
        mpfr_add(x0.v, lo.v, hi.v, MPFR_RNDN);
        mpfr_div_2ui(x0.v, x0.v, 1, MPFR_RNDN);
        if (lgamma_sign_of(x0) < 0) mpfr_set(lo.v, x0.v, MPFR_RNDN);
        else mpfr_set(hi.v, x0.v, MPFR_RNDN);
    }
}

// One zero row: the zero between the middle of (pole - 1, pole) or (pole,
// pole + 1) and the pole.
void zero_row(TableWriter& w, int index, long pole, bool left_of_pole) {
    using namespace vm::tables;
    Wide x0, f0, mid, end;
    mpfr_set_d(mid.v, double(pole) + (left_of_pole ? -0.5 : 0.5), MPFR_RNDN);
    mpfr_set_d(end.v, (left_of_pole ? -0x1p-60 : 0x1p-60) * double(-pole), MPFR_RNDN);
    mpfr_add_si(end.v, end.v, pole, MPFR_RNDN);
    zero_between(x0, mid, end);
    mpfr_sub_si(f0.v, x0.v, pole, MPFR_RNDN);
    double f[3];
    {
        Wide rest;
        mpfr_set(rest.v, f0.v, MPFR_RNDN);
        for (double& d : f) {
            d = mpfr_get_d(rest.v, MPFR_RNDN);
            mpfr_sub_d(rest.v, rest.v, d, MPFR_RNDN);
        }
    }
    const double delta = std::min(std::fabs(f[0]) / 4, 0x1p-6);
    // Q(t) = (ln|Gamma(x0 + t)| + ln(1 + t/f0)) / t, at t = 0 digamma(x0) + 1/f0.
    const Fn q = [&](Big& out, const Big& t) {
        Wide x, a, b;
        if (mpfr_zero_p(t.v) || mpfr_get_exp(t.v) < mpfr_get_exp(f0.v) - 150) {
            mpfr_digamma(a.v, x0.v, MPFR_RNDN);
            mpfr_ui_div(b.v, 1, f0.v, MPFR_RNDN);
            mpfr_add(a.v, a.v, b.v, MPFR_RNDN);
            mpfr_set(out.v, a.v, MPFR_RNDN);
            return;
        }
        int sign;
        mpfr_add(x.v, x0.v, t.v, MPFR_RNDN);
        mpfr_lgamma(a.v, &sign, x.v, MPFR_RNDN);
        mpfr_div(b.v, t.v, f0.v, MPFR_RNDN);
        mpfr_log1p(b.v, b.v, MPFR_RNDN);
        mpfr_add(a.v, a.v, b.v, MPFR_RNDN);
        mpfr_div(a.v, a.v, t.v, MPFR_RNDN);
        mpfr_set(out.v, a.v, MPFR_RNDN);
    };
    std::vector<Big> exact(static_cast<std::size_t>(kGammaZeroDegree + 1));
    std::vector<Big*> ptr;
    for (auto& b : exact) ptr.push_back(&b);
    const std::vector<double> coef = chebyshev_fit(q, -delta, delta, kGammaZeroDegree + 1, &ptr);
    Big rest;
    mpfr_sub_d(rest.v, exact[0].v, coef[0], MPFR_RNDN);
    const double q0_lo = mpfr_get_d(rest.v, MPFR_RNDN);
    comment_error(w, "zero", index, fit_error(q, -delta, delta, 0.0, coef, q0_lo));
    w.value(double(pole));
    for (double d : f) w.value(d);
    w.value(delta);
    w.value(coef[0]);
    w.value(q0_lo);
    for (int j = 1; j <= kGammaZeroDegree; ++j) w.value(coef[std::size_t(j)]);
    w.value(0.0);
}

}  // namespace

std::string generate_gamma_tables() {
    using namespace vm::tables;
    TableWriter w("gamma_tables.cpp", "vector_math/tables/gamma_tables.h", "vexa::vm::tables");

    w.begin("ln Gamma rows: c0 hi, c0 lo, g0 hi, g0 lo, g1 .. g12 (ln Gamma(c + t) = c0 + t g(t)); the relative error\n"
            "// of g's polynomial in the comment before each row.",
            "vdlgamma_rows[kLnGammaRows * kLnGammaStride]");
    int m = 0;
    for (const LnGammaSegment& sg : kLnGammaSegments) {
        const int last_k = int(std::ceil(sg.below * sg.scale + 0.5)) - 1;  // the row of the values just below `below`
        for (int k = sg.first_k; k <= last_k; ++k, ++m) {
            if (sg.first + k != m) std::fprintf(stderr, "gamma rows: a segment starts at the wrong row\n");
            const double center = k / sg.scale, half = 0.5 / sg.scale;
            Big c, lgc;
            mpfr_set_d(c.v, center, MPFR_RNDN);
            mpfr_lngamma(lgc.v, c.v, MPFR_RNDN);
            const Fn g = [&](Big& out, const Big& v) { slope(out, v, c, lgc); };
            std::vector<Big> exact(static_cast<std::size_t>(kLnGammaDegree + 1));
            std::vector<Big*> ptr;
            for (auto& b : exact) ptr.push_back(&b);
            const double lo = center - half, hi = center + half;
            const std::vector<double> coef = chebyshev_fit(g, lo, hi, kLnGammaDegree + 1, &ptr);
            Big rest;
            mpfr_sub_d(rest.v, exact[0].v, coef[0], MPFR_RNDN);
            const double g0_lo = mpfr_get_d(rest.v, MPFR_RNDN);
            comment_error(w, "row", m, fit_error(g, lo, hi, center, coef, g0_lo));
            value_pair(w, lgc);
            w.value(coef[0]);
            w.value(g0_lo);
            for (int j = 1; j <= kLnGammaDegree; ++j) w.value(coef[std::size_t(j)]);
        }
    }
    if (m != kLnGammaRows) std::fprintf(stderr, "gamma rows: %d rows, not %d\n", m, kLnGammaRows);
    w.end();

    // B_2k for k = 1..12 as fractions.
    static const long long kBernoulli[kStirlingTerms][2] = {{1, 6},       {-1, 30},     {1, 42}, {-1, 30},
                                                            {5, 66},      {-691, 2730}, {7, 6},  {-3617, 510}};
    w.begin("The zeros of ln|Gamma| on (-17, -2): pole, f0 (three parts), delta, Q0 hi, lo, Q1 .. Q12, 0; the relative\n"
            "// error of Q's polynomial in the comment before each row.",
            "vdlgamma_zeros[kGammaZeros * kGammaZeroStride]");
    for (int n = 2; n < 2 + kGammaZeros / 2; ++n) {
        zero_row(w, 2 * (n - 2), -n, true);
        zero_row(w, 2 * (n - 2) + 1, -n - 1, false);
    }
    w.end();

    w.begin("Stirling's coefficients a_k = B_2k / (2k (2k - 1)), k = 1..8.", "vdlgamma_stirling[kStirlingTerms]");
    for (int k = 1; k <= kStirlingTerms; ++k) {
        Big a;
        mpfr_set_si(a.v, static_cast<long>(kBernoulli[k - 1][0]), MPFR_RNDN);
        mpfr_div_si(a.v, a.v, static_cast<long>(kBernoulli[k - 1][1]), MPFR_RNDN);
        mpfr_div_si(a.v, a.v, static_cast<long>(2 * k * (2 * k - 1)), MPFR_RNDN);
        w.value(mpfr_get_d(a.v, MPFR_RNDN));
    }
    w.end();

    w.begin("sin(pi g) / (pi g), then cos(pi g) / pi, in powers of g^2: u^0 .. u^2 as (hi, lo), then u^3 .. u^10.",
            "vdgamma_sinpi[2 * kSinPiStride]");
    sin_cos_row(w, true);
    sin_cos_row(w, false);
    w.end();

    w.begin("ln(2 pi)/2 - 1/2 and Euler's gamma as (hi, lo).", "vdgamma_constants[4]");
    {
        Big v;
        mpfr_const_pi(v.v, MPFR_RNDN);
        mpfr_mul_2ui(v.v, v.v, 1, MPFR_RNDN);
        mpfr_log(v.v, v.v, MPFR_RNDN);
        mpfr_sub_ui(v.v, v.v, 1, MPFR_RNDN);
        mpfr_div_2ui(v.v, v.v, 1, MPFR_RNDN);
        value_pair(w, v);
        mpfr_const_euler(v.v, MPFR_RNDN);
        value_pair(w, v);
    }
    w.end();
    return w.finish();
}

}  // namespace vexa::tools
