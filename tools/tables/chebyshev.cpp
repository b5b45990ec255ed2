// Piecewise polynomials by Chebyshev interpolation in MPFR.
#include "chebyshev.h"

#include <cstdio>

namespace vexa::tools {

std::vector<double> chebyshev_fit(const Fn& f, double lo, double hi, int n, std::vector<Big*>* exact) {
    Big c, h, pi, u, fv, v;
    mpfr_set_d(c.v, lo, MPFR_RNDN);
    mpfr_add_d(c.v, c.v, hi, MPFR_RNDN);
    mpfr_div_2ui(c.v, c.v, 1, MPFR_RNDN);
    mpfr_set_d(h.v, hi, MPFR_RNDN);
    mpfr_sub_d(h.v, h.v, lo, MPFR_RNDN);
    mpfr_div_2ui(h.v, h.v, 1, MPFR_RNDN);
    mpfr_const_pi(pi.v, MPFR_RNDN);
    // Chebyshev coefficients a_k = 2/n sum f(u_i) T_k(u_i) (a_0 halved).
    std::vector<Big> a(static_cast<std::size_t>(n));
    for (auto& b : a) mpfr_set_zero(b.v, 1);
    for (int i = 0; i < n; ++i) {
        mpfr_mul_ui(u.v, pi.v, 2 * i + 1, MPFR_RNDN);
        mpfr_div_ui(u.v, u.v, 2 * n, MPFR_RNDN);
        mpfr_cos(u.v, u.v, MPFR_RNDN);
        mpfr_fma(v.v, u.v, h.v, c.v, MPFR_RNDN);
        f(fv, v);
        // T_0 = 1, T_1 = u, T_k+1 = 2u T_k - T_k-1.
        Big t0, t1, t2;
        mpfr_set_ui(t0.v, 1, MPFR_RNDN);
        mpfr_set(t1.v, u.v, MPFR_RNDN);
        for (int k = 0; k < n; ++k) {
            Big term;
            mpfr_mul(term.v, fv.v, k == 0 ? t0.v : t1.v, MPFR_RNDN);
            mpfr_add(a[k].v, a[k].v, term.v, MPFR_RNDN);
            if (k >= 1) {
                mpfr_mul(t2.v, t1.v, u.v, MPFR_RNDN);
                mpfr_mul_2ui(t2.v, t2.v, 1, MPFR_RNDN);
                mpfr_sub(t2.v, t2.v, t0.v, MPFR_RNDN);
                mpfr_set(t0.v, t1.v, MPFR_RNDN);
                mpfr_set(t1.v, t2.v, MPFR_RNDN);
            }
        }
    }
    for (int k = 0; k < n; ++k) {
        mpfr_mul_2ui(a[k].v, a[k].v, 1, MPFR_RNDN);
        mpfr_div_ui(a[k].v, a[k].v, n, MPFR_RNDN);
    }
    mpfr_div_2ui(a[0].v, a[0].v, 1, MPFR_RNDN);
    // Monomials in u: T_k's coefficients by the same recurrence.
    std::vector<std::vector<long>> tk(static_cast<std::size_t>(n), std::vector<long>(static_cast<std::size_t>(n), 0));
    tk[0][0] = 1;
    if (n > 1) tk[1][1] = 1;
    for (int k = 2; k < n; ++k)
        for (int j = 0; j < n; ++j) tk[k][j] = (j > 0 ? 2 * tk[k - 1][j - 1] : 0) - tk[k - 2][j];
    std::vector<double> out;
    Big m, scale, term;
    mpfr_set_ui(scale.v, 1, MPFR_RNDN);
    for (int j = 0; j < n; ++j) {
        mpfr_set_zero(m.v, 1);
        for (int k = j; k < n; ++k) {
            mpfr_mul_si(term.v, a[k].v, tk[k][j], MPFR_RNDN);
            mpfr_add(m.v, m.v, term.v, MPFR_RNDN);
        }
        mpfr_div(m.v, m.v, scale.v, MPFR_RNDN);  // coefficient of (v - c)^j
        if (exact != nullptr) mpfr_set((*exact)[std::size_t(j)]->v, m.v, MPFR_RNDN);
        out.push_back(mpfr_get_d(m.v, MPFR_RNDN));
        mpfr_mul(scale.v, scale.v, h.v, MPFR_RNDN);
    }
    return out;
}

double fit_error(const Fn& f, double lo, double hi, double center, const std::vector<double>& coef,
                 double head_lo, int points) {
    Big worst, v, p, fv, e, c;
    mpfr_set_zero(worst.v, 1);
    mpfr_set_d(c.v, center, MPFR_RNDN);
    for (int i = 0; i < points; ++i) {
        mpfr_set_d(v.v, hi - lo, MPFR_RNDN);
        mpfr_mul_d(v.v, v.v, double(i) / (points - 1), MPFR_RNDN);
        mpfr_add_d(v.v, v.v, lo, MPFR_RNDN);
        Big t;
        mpfr_sub(t.v, v.v, c.v, MPFR_RNDN);
        mpfr_set_d(p.v, coef.back(), MPFR_RNDN);
        for (int j = int(coef.size()) - 2; j >= 0; --j) {
            mpfr_mul(p.v, p.v, t.v, MPFR_RNDN);
            mpfr_add_d(p.v, p.v, coef[std::size_t(j)], MPFR_RNDN);
        }
        mpfr_add_d(p.v, p.v, head_lo, MPFR_RNDN);
        f(fv, v);
        mpfr_sub(e.v, p.v, fv.v, MPFR_RNDN);
        mpfr_div(e.v, e.v, fv.v, MPFR_RNDN);
        mpfr_abs(e.v, e.v, MPFR_RNDN);
        if (mpfr_greater_p(e.v, worst.v)) mpfr_set(worst.v, e.v, MPFR_RNDN);
    }
    mpfr_log2(worst.v, worst.v, MPFR_RNDN);
    return mpfr_get_d(worst.v, MPFR_RNDN);
}

void comment_error(TableWriter& w, const char* what, int row, double err) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "    // %s %d: 2^%.1f\n", what, row, err);
    if (w.column != 0) w.s += "\n";
    w.column = 0;
    w.s += buf;
}

}  // namespace vexa::tools
