#include "vector_math/scalar/hyperbolic_scalar.h"

#include <cmath>

#include "vector_math/scalar/exp_scalar.h"
#include "vector_math/scalar/fp_bits.h"

namespace vexa::vm {
namespace {

constexpr double kDOverflow = 710.475860073944;     // cosh and |sinh| above DBL_MAX from here
constexpr float kSOverflow = 89.4159927368164f;     // and above FLT_MAX

// e^|x| / 2 for 708 < |x| < kDOverflow, where e^-|x| is far below an ulp of it.
double half_exp(double ax) {
    double hi, lo;
    int e;
    exp_parts(ax, 0.0, hi, lo, e);
    return exp_assemble(hi, lo, e - 1);
}

// e^|x| - 1 in double for a float x.
double expm1_abs(float x) {
    const double ax = std::fabs(double(x));
    double m;
    vdexpm1_cout_rare(&ax, &m);
    return m;
}

// The shared rules of Sinh and Cosh; false when x is to be computed.
template <class T> bool sinh_cosh_special(T x, bool odd, T limit, T* r, int& status) {
    status = 0;
    if (std::isnan(x)) {
        *r = x + x;
        return true;
    }
    if (std::isinf(x)) {
        *r = odd ? x : std::fabs(x);  // +inf for cosh of either sign
        return true;
    }
    if (std::fabs(x) >= limit) {
        const T inf = overflow_result<T>();
        *r = odd && x < 0 ? -inf : inf;
        status = VEXA_VM_STATUS_OVERFLOW;
        return true;
    }
    return false;
}

template <class T> int acosh_rare(T x, T* r) {
    if (std::isnan(x) || x == T(INFINITY)) {
        *r = x + x;
        return 0;
    }
    *r = invalid_result<T>();  // below 1, -inf
    return VEXA_VM_STATUS_DOMAIN;
}

template <class T> int atanh_rare(T x, T* r) {
    if (std::isnan(x)) {
        *r = x + x;
        return 0;
    }
    if (std::fabs(x) == T(1)) {
        volatile T zero = 0;
        *r = x / zero;
        return VEXA_VM_STATUS_SING;
    }
    *r = invalid_result<T>();
    return VEXA_VM_STATUS_DOMAIN;
}

}  // namespace

int vdsinh_cout_rare(const double* a, double* r) {
    const double x = *a;
    int status;
    if (sinh_cosh_special(x, true, kDOverflow, r, status)) return status;
    const double h = half_exp(std::fabs(x));
    *r = x < 0 ? -h : h;
    return 0;
}

int vdcosh_cout_rare(const double* a, double* r) {
    const double x = *a;
    int status;
    if (sinh_cosh_special(x, false, kDOverflow, r, status)) return status;
    *r = half_exp(std::fabs(x));
    return 0;
}

int vssinh_cout_rare(const float* a, float* r) {
    const float x = *a;
    int status;
    if (sinh_cosh_special(x, true, kSOverflow, r, status)) return status;
    // Below the threshold (the fast path leaves 87.3365 <= |x| < 89.416): in
    // double from m = e^|x| - 1, rounded once.
    const double m = expm1_abs(x);
    const float h = float(0.5 * (m + m / (m + 1.0)));
    *r = x < 0 ? -h : h;
    return 0;
}

int vscosh_cout_rare(const float* a, float* r) {
    const float x = *a;
    int status;
    if (sinh_cosh_special(x, false, kSOverflow, r, status)) return status;
    const double m = expm1_abs(x);
    *r = float(1.0 + 0.5 * m * m / (m + 1.0));
    return 0;
}

int vdasinh_cout_rare(const double* a, double* r) {
    *r = *a + *a;
    return 0;
}

int vdacosh_cout_rare(const double* a, double* r) { return acosh_rare(*a, r); }
int vsacosh_cout_rare(const float* a, float* r) { return acosh_rare(*a, r); }
int vdatanh_cout_rare(const double* a, double* r) { return atanh_rare(*a, r); }
int vsatanh_cout_rare(const float* a, float* r) { return atanh_rare(*a, r); }

}  // namespace vexa::vm
