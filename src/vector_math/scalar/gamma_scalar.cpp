// ln|Gamma| and Gamma of one element, both from ln Gamma in double-double.
//
//   x in [15/16, 64.5)       a polynomial per row of width 1/8 (from 8 + 1/8
//                            1/4, from 16.25 1/2, from 32.5 1) around c:
//                            ln Gamma(c + t) = c0 + t g(t)
//                            with t exact, c0 and g's constant term
//                            double-doubles (c0 = 0 at 1 and 2, so the zeros
//                            keep their relative accuracy)
//   x from 64.5              Stirling's series, (x - 1/2)(ln x - 1) in
//                            double-double with ln x from the logarithm of
//                            the Pow kernels (relative error about 2^-68)
//   0 < x < 15/16            ln Gamma(1 + x) - ln x, the first from the rows
//                            at t = x - m/8 (1 + x is never rounded)
//   x < 0                    reflection: ln|Gamma(x)| = -ln(s/pi) - ln Gamma(1 + a)
//                            with a = |x| < 63.5, else
//                            -ln(a s/pi) - ln Gamma(a), s = sin(pi g) for the
//                            exact distance g of a to its nearest integer,
//                            s/pi by Taylor polynomials in double-double
//   |x| < 2^-54              -ln|x| - gamma x, and Gamma = 1/x - gamma
//
// Gamma is the exponential of that double-double (divided by x below 15/16),
// rounded once, also into the subnormals; the sign of Gamma(x) for x < 0 is
// that of (-1)^(floor(x)). The errors of the double-double logarithm
// (about 2^-58 absolute up to ln Gamma = 709) keep Gamma within about 0.51 ulp.
// ln|Gamma| has the same absolute error, and so its relative error would grow
// near its zeros on the negative axis, where the reflected terms cancel. From
// -17 to -2 the 30 zeros x0 have rows of their own: with p the nearest pole,
// f0 = x0 - p (three doubles) and t = x - p - f0 exact,
// ln|Gamma(x)| = -ln(1 + t/f0) + t Q(t) for |t| up to min(|f0|/4, 2^-6); the
// logarithm carries the pole and Q is a short polynomial. Below -17 every
// zero lies within an ulp of its pole, and the doubles around it have
// |ln Gamma| above 0.2.
//
// Float LGamma needs about 2^-35 and takes shorter paths, each within about
// 2^-50: Stirling's series in double from 8 (with a logarithm to r^4 on the
// same rows), ln Gamma(1 + x) - ln x below 15/16 likewise, and on the
// negative axis from -63.5, outside the zeros' rows, the reflection in double
// (sin(pi g)/pi by Horner, ln Gamma(1 + a) from the rows).
#include "vector_math/scalar/gamma_scalar.h"

#include <cfloat>
#include <cmath>
#include <cstdint>

#include "vector_math/scalar/exp_scalar.h"
#include "vector_math/scalar/fp_bits.h"
#include "vector_math/scalar/pow_scalar.h"
#include "vector_math/tables/gamma_tables.h"
#include "vector_math/tables/ln_data.h"
#include "vector_math/tables/ln_tables.h"

namespace vexa::vm {
namespace {

using namespace tables;

struct DD {
    double h, l;
};

VEXA_INLINE DD fast_two_sum(double a, double b) {  // |a| >= |b| or a = 0
    const double s = a + b;
    return {s, b - (s - a)};
}
VEXA_INLINE DD two_sum(double a, double b) {
    const double s = a + b, bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}
VEXA_INLINE DD two_prod(double a, double b) {
    const double p = a * b;
    return {p, std::fma(a, b, -p)};
}
VEXA_INLINE DD add(DD a, DD b) {
    const DD s = two_sum(a.h, b.h);
    return fast_two_sum(s.h, s.l + (a.l + b.l));
}
VEXA_INLINE DD neg(DD a) { return {-a.h, -a.l}; }

// ln(a.h + a.l) for a positive normal a.h.
VEXA_INLINE DD ln_dd(DD a) {
    double h, l;
    pow_log(a.h, 0, h, l);
    return fast_two_sum(h, l + a.l / a.h);
}

constexpr double kRowsFrom = 0.9375;       // 15/16
constexpr double kStirlingFrom = 64.5;
constexpr double kTiny = 0x1p-54;

// ln Gamma(row's c + t).
VEXA_INLINE DD ln_gamma_row(int m, double t) {
    const double* c = vdlgamma_rows + m * kLnGammaStride;
    // g1 + g2 t + ... + g12 t^11 by Estrin's scheme (short dependency chains).
    const double t2 = t * t, t4 = t2 * t2, t8 = t4 * t4;
    const double* g = c + 4;
    const double p01 = std::fma(g[1], t, g[0]), p23 = std::fma(g[3], t, g[2]);
    const double p45 = std::fma(g[5], t, g[4]), p67 = std::fma(g[7], t, g[6]);
    const double p89 = std::fma(g[9], t, g[8]), pab = std::fma(g[11], t, g[10]);
    const double q0 = std::fma(p23, t2, p01), q1 = std::fma(p67, t2, p45), q2 = std::fma(pab, t2, p89);
    const double p = std::fma(q2, t8, std::fma(q1, t4, q0));
    DD a = two_prod(t, c[2]);  // t g0
    a.l = std::fma(t, std::fma(t, p, c[3]), a.l);
    const DD s = two_sum(c[0], a.h);
    return fast_two_sum(s.h, s.l + (c[1] + a.l));
}

// ln Gamma(s + a) for s = 0 or 1 and s + a from 15/16 to 64.5 (a >= 0): the
// row nearest s + a, at t = a - (c - s), exact (c - s is zero or within a
// factor two of a), so that 1 + a is never rounded.
VEXA_INLINE DD ln_gamma_table(double a, double s) {
    const double v = a + s;  // selects the row only
    const LnGammaSegment* g = kLnGammaSegments;
    while (v >= g->below) ++g;
    const int k = int(v * g->scale + 0.5);
    return ln_gamma_row(g->first + k, a - (k / g->scale - s));
}

// Stirling's correction w (a_1 + a_2 w^2 + ... + a_8 w^14), w = 1/z, by
// Estrin's scheme.
VEXA_INLINE double stirling_series(double z) {
    const double w = 1.0 / z, w2 = w * w, w4 = w2 * w2;
    const double* a = vdlgamma_stirling;
    const double q0 = std::fma(std::fma(a[3], w2, a[2]), w4, std::fma(a[1], w2, a[0]));
    const double q1 = std::fma(std::fma(a[7], w2, a[6]), w4, std::fma(a[5], w2, a[4]));
    return std::fma(q1, w4 * w4, q0) * w;
}

// Stirling's series from z = 64.5; +inf or NaN in the high part where
// the result overflows.
DD ln_gamma_stirling(double z) {
    double lh, ll;
    pow_log(z, 0, lh, ll);
    const DD zm = two_sum(z, -0.5);
    const DD l1 = fast_two_sum(lh - 1.0, ll);  // lh - 1 exact: lh > 2
    DD p = two_prod(zm.h, l1.h);
    p.l += zm.h * l1.l + zm.l * l1.h;
    const double s = stirling_series(z);
    const DD q = two_sum(p.h, vdgamma_constants[kGammaK]);
    return fast_two_sum(q.h, q.l + (p.l + vdgamma_constants[kGammaK + 1] + s));
}

// ln Gamma(x) for x >= 15/16.
VEXA_INLINE DD ln_gamma_from_rows(double x) {
    return x < kStirlingFrom ? ln_gamma_table(x, 0.0) : ln_gamma_stirling(x);
}

// ln Gamma(1 + a) for 0 <= a < 63.5.
VEXA_INLINE DD ln_gamma_1p(double a) { return ln_gamma_table(a, 1.0); }

// c + u acc, c and u double-doubles.
VEXA_INLINE DD dd_step(const double* c, DD u, DD acc) {
    DD p = two_prod(u.h, acc.h);
    p.l += u.h * acc.l + u.l * acc.h;
    const DD s = two_sum(c[0], p.h);
    return fast_two_sum(s.h, s.l + (c[1] + p.l));
}

// The coefficients of u^3 .. u^kSinPiDegree of a sine or cosine polynomial,
// as the value of their sum over u^3.
VEXA_INLINE double sin_pi_tail(const double* c, double u) {
    double p = c[kSinPiStride - 1];
    for (int j = kSinPiStride - 2; j >= 6; --j) p = std::fma(p, u, c[j]);
    return p;
}

// sin(pi g)/pi for 0 < g <= 1/2: the sine polynomial up to 1/4 (whose
// constant term is 1, and whose u^2 term is small enough for a double), the
// cosine one at 1/2 - g (exact) above.
DD sin_pi_over_pi(double g) {
    const bool by_cos = g > 0.25;
    const double v = by_cos ? 0.5 - g : g;
    const double* c = vdgamma_sinpi + (by_cos ? kSinPiStride : 0);
    const DD u = two_prod(v, v);
    const double p = sin_pi_tail(c, u.h);
    if (by_cos) {
        DD acc{p, 0.0};
        for (int k = 2; k >= 0; --k) acc = dd_step(c + 2 * k, u, acc);
        return acc;
    }
    DD acc{std::fma(p, u.h, c[4]), 0.0};
    acc = dd_step(c + 2, u, acc);
    acc = dd_step(c, u, acc);
    const DD s = two_prod(acc.h, v);
    return fast_two_sum(s.h, std::fma(acc.l, v, s.l));
}

// ln x for positive normal x to about 2^-50 (the float results' accuracy):
// the rows of the vector logarithm and ln(1 + r) to r^4 (|r| < 2^-10).
double ln_short(double x) {
    const LogReduced red = log_reduce(x, 0);
    const double r = red.r, k = red.k;
    const double p = std::fma(r * r, std::fma(r, std::fma(r, -0.25, 1.0 / 3), -0.5), r);
    return std::fma(k, ln_data::kLn2Hi, kLnPairs[2 * red.j + 1] + std::fma(k, ln_data::kLn2Lo, p));
}

// Stirling's series in double for z >= 8 (float results): (z - 1/2)(ln z - 1)
// + K + w (a_1 + ... ), about 2^-50 relative.
double ln_gamma_stirling_short(double z) {
    return std::fma(z - 0.5, ln_short(z) - 1.0, vdgamma_constants[kGammaK] + stirling_series(z));
}

// sin(pi g)/pi for 0 < g <= 1/2 in double (the float results' accuracy).
double sin_pi_over_pi_short(double g) {
    const bool by_cos = g > 0.25;
    const double v = by_cos ? 0.5 - g : g;
    const double* c = vdgamma_sinpi + (by_cos ? kSinPiStride : 0);
    const double u = v * v;
    double p = sin_pi_tail(c, u);
    for (int k = 2; k >= 0; --k) p = std::fma(p, u, c[2 * k]);
    return by_cos ? p : p * v;
}

// ln|Gamma(x)| for x < 0 not an integer, 2^-54 <= |x| < 63.5, to about 2^-50
// absolute: the reflection in double, for float results.
double ln_gamma_negative_short(double x) {
    const double a = -x;
    const double g = std::fabs(a - std::nearbyint(a));  // exact
    const DD t = ln_gamma_1p(a);
    return -(ln_short(sin_pi_over_pi_short(g)) + t.h) - t.l;
}

// -ln|Gamma(x)| for x < 0 not an integer, 2^-54 <= |x| < 2^52.
DD minus_ln_gamma_negative(double x) {
    const double a = -x;
    const double g = std::fabs(a - std::nearbyint(a));  // exact
    const DD s = sin_pi_over_pi(g);
    if (a < kStirlingFrom - 1.0) return add(ln_dd(s), ln_gamma_1p(a));
    DD as = two_prod(a, s.h);
    as.l = std::fma(a, s.l, as.l);
    return add(ln_dd(fast_two_sum(as.h, as.l)), ln_gamma_from_rows(a));
}

// ln|Gamma(x)| within delta of a zero of row z: -ln(1 + t/f0) + t Q(t) with t
// and t/f0 carried in double-double, so the result keeps its relative accuracy
// however close x is to the zero. False when x is farther.
bool ln_gamma_near_zero(double x, int z, double& out) {
    const double* c = vdlgamma_zeros + z * kGammaZeroStride;
    const double f = x - c[0];  // exact
    const double d = f - c[1];  // exact: f and f0 are within a factor two
    if (!(std::fabs(d) <= c[4])) return false;
    DD t = two_sum(d, -c[2]);
    t = fast_two_sum(t.h, t.l - c[3]);
    // u = t / f0
    const double uh = t.h / c[1];
    const double ul = (std::fma(-uh, c[1], t.h) + t.l - uh * (c[2] + c[3])) / c[1];
    DD s = two_sum(1.0, uh);
    s = fast_two_sum(s.h, s.l + ul);
    const DD l = ln_dd(s);
    double p = c[kGammaZeroStride - 2];
    for (int j = kGammaZeroStride - 3; j >= 7; --j) p = std::fma(p, t.h, c[j]);
    DD q = two_prod(t.h, c[5]);  // t Q0
    q.l += std::fma(t.h, std::fma(t.h, p, c[6]), t.l * c[5]);
    const DD v = add(q, neg(l));
    out = v.h + v.l;
    return true;
}

// ln|x| for 0 < |x| < 2^-54 (subnormals included).
VEXA_INLINE DD ln_tiny(double x) {
    double h, l;
    pow_log(std::fabs(x) * 0x1p60, -60, h, l);
    return {h, l};
}

bool is_integer(double x) { return std::nearbyint(x) == x; }

// ln|Gamma(x)| for finite non-zero x, not a non-positive integer; Short
// (for float results) takes the reflection in double where ln|Gamma| is not
// near a zero.
template <bool Short = false> double ln_gamma_value(double x) {
    const double euler = vdgamma_constants[kGammaEuler];
    if (std::fabs(x) < kTiny) {
        const DD l = ln_tiny(x);
        return -l.h - std::fma(euler, x, l.l);
    }
    if (x < 0) {
        if (x > -17.0 && x < -2.0) {
            const int z = 2 * (int(-x) - 2);
            double v;
            if (ln_gamma_near_zero(x, z, v) || ln_gamma_near_zero(x, z + 1, v)) return v;
        }
        if (Short && x > 1.0 - kStirlingFrom) return ln_gamma_negative_short(x);
        const DD m = minus_ln_gamma_negative(x);
        return -m.h - m.l;
    }
    if constexpr (Short) {
        if (x >= 8.0) return ln_gamma_stirling_short(x);
        if (x < kRowsFrom) {
            const DD v = ln_gamma_1p(x);
            return (v.h + v.l) - ln_short(x);
        }
    }
    if (x >= kRowsFrom) {
        const DD v = ln_gamma_from_rows(x);
        return v.h + v.l;
    }
    double lh, ll;
    pow_log(x, 0, lh, ll);
    const DD v = add(ln_gamma_1p(x), {-lh, -ll});
    return v.h + v.l;
}

// Gamma(x) for finite x that is neither 0 nor a negative integer, from
// 2^-54 on in magnitude; +inf past the overflow threshold.
double gamma_value(double x) {
    double hi, lo;
    int e;
    if (x > 0) {
        if (x > 171.625) return overflow_result();
        if (x >= kRowsFrom) {
            const DD v = ln_gamma_from_rows(x);
            exp_parts(v.h, v.l, hi, lo, e);
            return exp_assemble(hi, lo, e);
        }
        // Gamma(1 + x) / x, with Gamma(1 + x) = (hi + lo) 2^e and e 0 or -1.
        const DD v = ln_gamma_1p(x);
        exp_parts(v.h, v.l, hi, lo, e);
        const double q = hi / x;
        const double r = (std::fma(-q, x, hi) + lo) / x;
        return (q + r) * pow2(e);
    }
    const DD m = minus_ln_gamma_negative(x);
    const bool negative = int64_t(std::floor(x)) % 2 != 0;  // Gamma < 0 on (-2k - 1, -2k)
    double v;
    if (m.h > 746.0) {
        v = underflow_result();
    } else {
        exp_parts(-m.h, -m.l, hi, lo, e);
        v = exp_assemble(hi, lo, e);
    }
    return negative ? -v : v;
}

// 1/x - gamma, rounded once, for 0 < |x| < 2^-54; +-inf when 1/x overflows.
double gamma_tiny(double x) {
    const double q = 1.0 / x;
    if (std::isinf(q)) return q;
    const double r = std::fma(-q, x, 1.0) / x;
    return q + (r - vdgamma_constants[kGammaEuler]);
}

// Gamma(n) = (n - 1)! for n = 1..23, exact.
struct Factorials {
    double v[23];
    constexpr Factorials() : v() {
        double f = 1;
        for (int n = 1; n <= 23; ++n) {
            v[n - 1] = f;
            f *= n;
        }
    }
};
constexpr Factorials kFactorials;

// The special arguments of both functions; false for the others.
template <class T> bool lgamma_special(T x, T* r, int& status) {
    status = 0;
    if (std::isnan(x)) {
        *r = x + x;
        return true;
    }
    if (std::isinf(x)) {
        *r = std::numeric_limits<T>::infinity();
        return true;
    }
    if (x <= 0 && is_integer(double(x))) {
        *r = -pole_result<T>();  // +inf, division by zero raised
        status = VEXA_VM_STATUS_SING;
        return true;
    }
    return false;
}

template <class T> bool tgamma_special(T x, T* r, int& status) {
    status = 0;
    if (std::isnan(x) || x == std::numeric_limits<T>::infinity()) {
        *r = x + x;
        return true;
    }
    if (x == 0) {
        *r = std::signbit(x) ? pole_result<T>() : -pole_result<T>();
        status = VEXA_VM_STATUS_SING;
        return true;
    }
    if (x < 0 && (std::isinf(x) || is_integer(double(x)))) {
        *r = invalid_result<T>();
        status = VEXA_VM_STATUS_DOMAIN;
        return true;
    }
    return false;
}

double tgamma_of(double x) {
    if (x > 0 && x <= 23 && is_integer(x)) return kFactorials.v[int(x) - 1];
    return std::fabs(x) < kTiny ? gamma_tiny(x) : gamma_value(x);
}

}  // namespace

int vdlgamma_cout_rare(const double* a, double* r) {
    const double x = *a;
    int status;
    if (lgamma_special(x, r, status)) return status;
    const double v = ln_gamma_value(x);  // NaN or inf past the overflow threshold
    if (!(v <= DBL_MAX)) {
        *r = overflow_result();
        return VEXA_VM_STATUS_OVERFLOW;
    }
    *r = v;
    return 0;
}

int vslgamma_cout_rare(const float* a, float* r) {
    const float x = *a;
    int status;
    if (lgamma_special(x, r, status)) return status;
    const float v = static_cast<float>(ln_gamma_value<true>(x));
    if (std::isinf(v)) {
        *r = overflow_result<float>();
        return VEXA_VM_STATUS_OVERFLOW;
    }
    *r = v;
    return 0;
}

int vdtgamma_cout_rare(const double* a, double* r) {
    const double x = *a;
    int status;
    if (tgamma_special(x, r, status)) return status;
    *r = tgamma_of(x);
    return std::isinf(*r) ? VEXA_VM_STATUS_OVERFLOW : 0;
}

int vstgamma_cout_rare(const float* a, float* r) {
    const float x = *a;
    int status;
    if (tgamma_special(x, r, status)) return status;
    const float v = static_cast<float>(tgamma_of(x));
    *r = v;
    if (std::isinf(v)) return VEXA_VM_STATUS_OVERFLOW;
    if (std::fabs(v) < FLT_MIN) return VEXA_VM_STATUS_UNDERFLOW;
    return 0;
}

}  // namespace vexa::vm
