// The logarithm of one element in double. Near 1 (|x - 1| <= 2^-10 * 10) it is
// r + r^2 Q(r) with r = x - 1; elsewhere x = 2^k m, m in [1, 2), c a 10-bit
// reciprocal of m's 1/128 interval, r = c m - 1 exactly, and
// ln x = (k ln2_hi - ln c_hi) + (r + (k ln2_lo - ln c_lo + r^2 Q(r))), the high
// sum made error-free. The error stays below 0.51 ulp.
#include <cmath>

#include "vector_math/scalar/fp_bits.h"
#include "vector_math/scalar/ln_scalar.h"
#include "vector_math/tables/ln_tables.h"
#include "vector_math/tables/ln_data.h"

namespace vexa::vm {
namespace {

using namespace ln_data;

VEXA_INLINE double q_poly(double r) {
    double q = kRareC8;
    q = std::fma(q, r, kRareC7);
    q = std::fma(q, r, kRareC6);
    q = std::fma(q, r, kRareC5);
    q = std::fma(q, r, kRareC4);
    q = std::fma(q, r, kRareC3);
    return std::fma(q, r, kRareC2);
}

// ln of a positive normal double as hi + lo (|lo| <= ulp(hi)), with k_extra
// added to its exponent.
void ln_parts(double x, int k_extra, double& hi_out, double& lo_out) {
    if (k_extra == 0 && std::fabs(x - 1.0) <= kNearOne) {
        const double r = x - 1.0;
        const double p = r * r * q_poly(r);
        hi_out = r + p;
        lo_out = (r - hi_out) + p;  // |r| >= |p|
        return;
    }
    const uint64_t b = bits_of(x);
    const int k = int(b >> 52) - 1023 + k_extra;
    const double m = double_of((b & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    const int i = int((b >> 45) & 127);
    const double c = tables::kLnRare[3 * i];
    const double r = std::fma(c, m, -1.0);
    const double a = k * kLn2Hi;  // exact
    const double t_hi = tables::kLnRare[3 * i + 1];
    const double hi = a + t_hi;
    const double err = (a - hi) + t_hi;  // |a| >= |t_hi| or a = 0
    const double lo = std::fma(r * r, q_poly(r), std::fma(double(k), kLn2Lo, tables::kLnRare[3 * i + 2]));
    // hi + r without error (either may be the larger), then the small terms.
    const double s = hi + r;
    const double bb = s - hi;
    const double e = (hi - (s - bb)) + (r - bb);
    const double tail = e + (lo + err);
    hi_out = s + tail;
    lo_out = (s - hi_out) + tail;
}

double ln_normal(double x, int k_extra) {
    double hi, lo;
    ln_parts(x, k_extra, hi, lo);
    return hi + lo;
}

// log10 from the natural logarithm hi + lo: (hi + lo) (A_hi + A_lo), A = 1/ln10.
double log10_of(double hi, double lo) {
    constexpr double kAHi = 0x1.bcb7b1526e50ep-2, kALo = 0x1.95355baaafad3p-57;
    const double p = hi * kAHi;
    return p + (std::fma(hi, kAHi, -p) + std::fma(hi, kALo, lo * kAHi));
}

// The special arguments of a logarithm: +inf and NaN give x + x (status 0),
// a negative argument or -inf NaN (status 1), a zero -inf (status 2). Returns
// false for a positive finite argument.
template <class T> bool log_special(T x, T* r, int& status) {
    status = 0;
    if (std::isnan(x) || x == T(INFINITY)) {
        *r = x + x;
        return true;
    }
    if (x == T(0)) {
        *r = static_cast<T>(pole_result());
        status = VEXA_VM_STATUS_SING;
        return true;
    }
    if (x < T(0)) {
        *r = static_cast<T>(invalid_result());
        status = VEXA_VM_STATUS_DOMAIN;
        return true;
    }
    return false;
}

// ln(1 + x) for x > -1 finite, as hi + lo: 1 + x = u + err exactly, and
// ln(1 + x) = ln u + err/u - (err/u)^2/2 to far below an ulp.
void log1p_parts(double x, double& hi, double& lo) {
    const double u = 1.0 + x;
    const double bb = u - 1.0;
    const double err = (1.0 - (u - bb)) + (x - bb);
    if (u == 1.0 && std::fabs(x) < 0x1p-60) {  // ln(1 + x) = x - x^2/2 to every bit
        hi = x;
        lo = -0.5 * x * x;
        return;
    }
    ln_parts(u, 0, hi, lo);
    const double q = err / u;
    lo += std::fma(-0.5 * q, q, q);
}

}  // namespace

int vdln_cout_rare(const double* a, double* r) {
    const double x = *a;
    if (std::isnan(x) || x == INFINITY) {
        *r = x * x;
        return 0;
    }
    if (x == 0.0) {
        *r = pole_result();
        return VEXA_VM_STATUS_SING;
    }
    if (x < 0.0) {  // includes -inf
        *r = invalid_result();
        return VEXA_VM_STATUS_DOMAIN;
    }
    if (x < 2.2250738585072014e-308) {  // subnormal
        *r = ln_normal(x * 1152921504606846976.0, -60);
        return 0;
    }
    *r = ln_normal(x, 0);
    return 0;
}

int vsln_cout_rare(const float* a, float* r) {
    const float x = *a;
    if (std::isnan(x) || x == INFINITY) {
        *r = x + x;
        return 0;
    }
    if (x == 0.0f) {
        *r = static_cast<float>(pole_result());
        return VEXA_VM_STATUS_SING;
    }
    if (x < 0.0f) {
        *r = static_cast<float>(invalid_result());
        return VEXA_VM_STATUS_DOMAIN;
    }
    *r = static_cast<float>(ln_normal(double(x), 0));  // float subnormals are normal doubles
    return 0;
}

int vdlog10_cout_rare(const double* a, double* r) {
    const double x = *a;
    int status;
    if (log_special(x, r, status)) return status;
    double hi, lo;
    if (x < 2.2250738585072014e-308)  // subnormal
        ln_parts(x * 1152921504606846976.0, -60, hi, lo);
    else
        ln_parts(x, 0, hi, lo);
    *r = log10_of(hi, lo);
    return 0;
}

int vslog10_cout_rare(const float* a, float* r) {
    const float x = *a;
    int status;
    if (log_special(x, r, status)) return status;
    double hi, lo;
    ln_parts(double(x), 0, hi, lo);  // float subnormals are normal doubles
    *r = static_cast<float>(log10_of(hi, lo));
    return 0;
}

namespace {
// The special arguments of ln(1 + x): those of the logarithm at 1 + x.
template <class T> bool log1p_special(T x, T* r, int& status) {
    if (x == T(-1)) return log_special(T(0), r, status);
    if (x < T(-1)) return log_special(T(-1), r, status);
    return log_special(x, r, status);
}
}  // namespace

int vdlog1p_cout_rare(const double* a, double* r) {
    const double x = *a;
    int status;
    if (log1p_special(x, r, status)) return status;
    double hi, lo;
    log1p_parts(x, hi, lo);
    *r = hi + lo;
    return 0;
}

int vslog1p_cout_rare(const float* a, float* r) {
    const float x = *a;
    int status;
    if (log1p_special(x, r, status)) return status;
    double hi, lo;
    log1p_parts(double(x), hi, lo);
    *r = static_cast<float>(hi + lo);
    return 0;
}

}  // namespace vexa::vm
