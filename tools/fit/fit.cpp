#include "fit.h"

#include <mpfr.h>

#include <cmath>
#include <cstdio>

#include "vector_math/tables/erf_data.h"
#include "vector_math/tables/exp_data.h"
#include "vector_math/tables/ln_data.h"
#include "vector_math/tables/hyperbolic_data.h"
#include "vector_math/tables/trig_data.h"

namespace vexa::tools {
namespace {

constexpr mpfr_prec_t kPrec = 256;
constexpr int kPoints = 600;     // Chebyshev points of the least-squares fits
constexpr int kIterations = 60;  // Lawson steps
constexpr int kCheck = 4001;     // points of the error measurement

// An MPFR number with value semantics, enough for the arithmetic below.
class M {
public:
    M() { mpfr_init2(v_, kPrec), mpfr_set_zero(v_, 1); }
    M(double d) { mpfr_init2(v_, kPrec), mpfr_set_d(v_, d, MPFR_RNDN); }  // NOLINT: numbers read as numbers
    M(const M& o) { mpfr_init2(v_, kPrec), mpfr_set(v_, o.v_, MPFR_RNDN); }
    M& operator=(const M& o) {
        mpfr_set(v_, o.v_, MPFR_RNDN);
        return *this;
    }
    ~M() { mpfr_clear(v_); }
    mpfr_ptr get() { return v_; }
    mpfr_srcptr get() const { return v_; }
    double to_double() const { return mpfr_get_d(v_, MPFR_RNDN); }
    friend M operator+(const M& a, const M& b) { return op(mpfr_add, a, b); }
    friend M operator-(const M& a, const M& b) { return op(mpfr_sub, a, b); }
    friend M operator*(const M& a, const M& b) { return op(mpfr_mul, a, b); }
    friend M operator/(const M& a, const M& b) { return op(mpfr_div, a, b); }
    friend bool operator<(const M& a, const M& b) { return mpfr_less_p(a.v_, b.v_); }
    friend M abs(const M& a) {
        M r;
        mpfr_abs(r.v_, a.v_, MPFR_RNDN);
        return r;
    }

private:
    template <class F> static M op(F f, const M& a, const M& b) {
        M r;
        f(r.v_, a.v_, b.v_, MPFR_RNDN);
        return r;
    }
    mpfr_t v_;
};

M apply(int (*f)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t), const M& x) {
    M r;
    f(r.get(), x.get(), MPFR_RNDN);
    return r;
}

// f, head, the power s of r before P, the scale of the error at r, and
// whether P's variable is r^2.
struct Form {
    M f, head, scale;
    int s;
    bool even = false;
};
Form form_at(FitForm form, const M& r) {
    switch (form) {
        case FitForm::Expm1: return {apply(mpfr_expm1, r), r, apply(mpfr_exp, r), 2};
        case FitForm::Exp: return {apply(mpfr_exp, r), M(1.0), apply(mpfr_exp, r), 1};
        case FitForm::Log1p: {
            const M l = apply(mpfr_log1p, r);
            return {l, r, l, 2};
        }
        case FitForm::Expm1Rel: {
            const M e = apply(mpfr_expm1, r);
            return {e, r, e, 2};
        }
        case FitForm::Log10p: {
            M ln10(10.0);
            ln10 = apply(mpfr_log, ln10);
            const M l = apply(mpfr_log1p, r) / ln10;
            return {l, r / ln10, l, 2};
        }
        case FitForm::Sin: {
            const M v = apply(mpfr_sin, r);
            return {v, r, v, 3, true};
        }
        case FitForm::Cos: {
            const M v = apply(mpfr_cos, r);
            return {v, M(1.0) - r * r / M(2.0), v, 4, true};
        }
        case FitForm::Atan: {
            const M v = apply(mpfr_atan, r);
            return {v, r, v, 3, true};
        }
        case FitForm::Asin: {
            const M v = apply(mpfr_asin, r);
            return {v, r, v, 3, true};
        }
        case FitForm::Sinh: {
            const M v = apply(mpfr_sinh, r);
            return {v, r, v, 3, true};
        }
        case FitForm::Erf: {
            const M v = apply(mpfr_erf, r);
            return {v, M(0.0), v, 1, true};
        }
        case FitForm::LnErfc: {
            const M x = r + M(vm::erf_data::kErfcCenter);
            const M c = apply(mpfr_erfc, x);
            // An error e in f is e erfc(x) in erf = 1 - e^f: scale erf/erfc
            // makes the fit's error erf's relative error.
            return {apply(mpfr_log, c), M(0.0), apply(mpfr_erf, x) / c, 0};
        }
        case FitForm::Cosh: {
            const M v = apply(mpfr_cosh, r);
            return {v, M(1.0) + r * r / M(2.0), v, 4, true};
        }
    }
    return {};
}

M power(const M& x, int k) {
    M p(1.0);
    for (int i = 0; i < k; ++i) p = p * x;
    return p;
}

// Solves the symmetric positive definite system A c = b in place (Gaussian
// elimination; the matrices are small and the precision ample).
std::vector<M> solve(std::vector<std::vector<M>> a, std::vector<M> b) {
    const int n = int(b.size());
    for (int k = 0; k < n; ++k) {
        for (int i = k + 1; i < n; ++i) {
            const M q = a[i][k] / a[k][k];
            for (int j = k; j < n; ++j) a[i][j] = a[i][j] - q * a[k][j];
            b[i] = b[i] - q * b[k];
        }
    }
    auto c = std::vector<M>(std::size_t(n));
    for (int k = n - 1; k >= 0; --k) {
        M s = b[k];
        for (int j = k + 1; j < n; ++j) s = s - a[k][j] * c[j];
        c[k] = s / a[k][k];
    }
    return c;
}

double round_to(const M& v, bool single) {
    if (!single) return v.to_double();
    return double(mpfr_get_flt(v.get(), MPFR_RNDN));
}

}  // namespace

std::vector<double> fit(const FitDefinition& d) {
    // In t = r / h (h the larger end) the monomials are well scaled.
    const M lo(d.lo), hi(d.hi);
    const M h0 = std::fabs(d.lo) > std::fabs(d.hi) ? M(std::fabs(d.lo)) : M(std::fabs(d.hi));
    const bool even = form_at(d.form, M(d.hi)).even;
    const M h = even ? h0 * h0 : h0;  // the scale of P's variable
    const int n = d.degree + 1;
    std::vector<M> t, g, w, u;
    M pi;
    mpfr_const_pi(pi.get(), MPFR_RNDN);
    for (int i = 0; i < kPoints; ++i) {
        // Chebyshev points of the second kind's interior, never r = 0 for an even count.
        M c;
        const M angle = pi * M(2.0 * i + 1) / M(2.0 * kPoints);
        mpfr_cos(c.get(), angle.get(), MPFR_RNDN);
        const M r = (lo + hi) / M(2.0) + (hi - lo) / M(2.0) * c;
        const Form f = form_at(d.form, r);
        const M rs = power(r, f.s);
        t.push_back((even ? r * r : r) / h);
        g.push_back((f.f - f.head) / rs);  // what P approximates
        w.push_back(abs(rs / f.scale));    // error of the whole form per unit error of P
        u.push_back(M(1.0));
    }
    auto coef = std::vector<M>(std::size_t(n));
    for (int it = 0; it < kIterations; ++it) {
        auto a = std::vector<std::vector<M>>(std::size_t(n), std::vector<M>(std::size_t(n)));
        auto b = std::vector<M>(std::size_t(n));
        for (int i = 0; i < kPoints; ++i) {
            const M wi = u[i] * w[i] * w[i];
            auto pw = std::vector<M>(std::size_t(n));
            pw[0] = M(1.0);
            for (int k = 1; k < n; ++k) pw[k] = pw[k - 1] * t[i];
            for (int j = 0; j < n; ++j) {
                const M wj = wi * pw[j];
                b[j] = b[j] + wj * g[i];
                for (int k = 0; k < n; ++k) a[j][k] = a[j][k] + wj * pw[k];
            }
        }
        coef = solve(a, b);
        // Lawson: weights grow where the weighted error is large.
        M total;
        auto e = std::vector<M>(std::size_t(kPoints));
        for (int i = 0; i < kPoints; ++i) {
            M p = coef[n - 1];
            for (int k = n - 2; k >= 0; --k) p = p * t[i] + coef[k];
            e[i] = abs((p - g[i]) * w[i]);
            u[i] = u[i] * e[i];
            total = total + u[i];
        }
        for (int i = 0; i < kPoints; ++i) u[i] = u[i] / total;
    }
    std::vector<double> out;
    M scale(1.0);
    for (int k = 0; k < n; ++k) {
        out.push_back(round_to(coef[k] / scale, d.single));
        scale = scale * h;
    }
    return out;
}

double fit_error(const FitDefinition& d, const std::vector<double>& coefficients) {
    const M lo(d.lo), hi(d.hi);
    M worst;
    for (int i = 0; i <= kCheck - 1; ++i) {
        const M r = lo + (hi - lo) * M(double(i)) / M(double(kCheck - 1));
        if (mpfr_zero_p(r.get())) continue;
        const Form f = form_at(d.form, r);
        const M z = f.even ? r * r : r;
        M p(coefficients.back());
        for (int k = int(coefficients.size()) - 2; k >= 0; --k) p = p * z + M(coefficients[std::size_t(k)]);
        const M e = abs((f.head + power(r, f.s) * p - f.f) / f.scale);
        if (worst < e) worst = e;
    }
    M l;
    mpfr_log2(l.get(), worst.get(), MPFR_RNDN);
    return l.to_double();
}

const std::vector<KernelPolynomial>& kernel_polynomials() {
    using namespace vexa::vm;
    static const std::vector<KernelPolynomial> rows = [] {
        std::vector<KernelPolynomial> v;
        constexpr FitForm EXPM1 = FitForm::Expm1, EXP = FitForm::Exp, LOG1P = FitForm::Log1p,
                          EXPM1R = FitForm::Expm1Rel, LOG10P = FitForm::Log10p, SIN = FitForm::Sin,
                          COS = FitForm::Cos, ATAN = FitForm::Atan, ASIN = FitForm::Asin,
                          SINH = FitForm::Sinh, COSH = FitForm::Cosh, ERF = FitForm::Erf,
                          LNERFC = FitForm::LnErfc;
        constexpr bool D = false, F = true;
#define COEFFS(...) std::vector<double>{__VA_ARGS__}
#define POLY(name, form, lo, hi, precision, target, coefficients)                                      \
    {                                                                                                     \
        std::vector<double> c = coefficients;                                                             \
        v.push_back({{#name, form, lo, hi, int(c.size()) - 1, precision, target}, c});                    \
    }
#include "polys.def"
#undef POLY
#undef COEFFS
        return v;
    }();
    return rows;
}

}  // namespace vexa::tools
