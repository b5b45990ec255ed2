#include "vector_math/scalar/erf_scalar.h"

#include <cmath>

#include "vector_math/scalar/fp_bits.h"
#include "vexa/vector_math.h"

namespace vexa::vm {
namespace {

constexpr double kErfcUnderflow = 27.226017111108366;     // erfc rounds to 0 from here
constexpr double kCdfNormUnderflow = -38.485408335567335;  // CdfNorm rounds to 0 below

template <class T> int erfc_rare(T x, T* r) {
    if (std::isnan(x)) {
        *r = x + x;
        return 0;
    }
    if (std::isinf(x)) {
        *r = x > 0 ? T(0) : T(2);
        return 0;
    }
    // Only the double range test sends finite arguments here.
    *r = underflow_result<T>();
    return double(x) >= kErfcUnderflow ? VEXA_VM_STATUS_UNDERFLOW : 0;
}

template <class T> int cdf_norm_rare(T x, T* r) {
    if (std::isnan(x)) {
        *r = x + x;
        return 0;
    }
    if (std::isinf(x)) {
        *r = x > 0 ? T(1) : T(0);
        return 0;
    }
    *r = underflow_result<T>();
    return double(x) < kCdfNormUnderflow ? VEXA_VM_STATUS_UNDERFLOW : 0;
}

// An inverse at the ends lo < hi of its domain: lo gives the infinity of
// sign lo_negative, hi the other one; outside NaN.
template <class T> int inverse_rare(T x, T lo, T hi, bool lo_negative, T* r) {
    if (std::isnan(x)) {
        *r = x + x;
        return 0;
    }
    if (x == lo || x == hi) {
        *r = (x == lo) == lo_negative ? pole_result<T>() : -pole_result<T>();  // -inf or +inf, flag raised
        return VEXA_VM_STATUS_SING;
    }
    *r = invalid_result<T>();
    return VEXA_VM_STATUS_DOMAIN;
}

}  // namespace

int vderfc_cout_rare(const double* a, double* r) { return erfc_rare(*a, r); }
int vserfc_cout_rare(const float* a, float* r) { return erfc_rare(*a, r); }
int vdcdfnorm_cout_rare(const double* a, double* r) { return cdf_norm_rare(*a, r); }
int vscdfnorm_cout_rare(const float* a, float* r) { return cdf_norm_rare(*a, r); }
int vderfinv_cout_rare(const double* a, double* r) { return inverse_rare(*a, -1.0, 1.0, true, r); }
int vserfinv_cout_rare(const float* a, float* r) { return inverse_rare(*a, -1.0f, 1.0f, true, r); }
int vderfcinv_cout_rare(const double* a, double* r) { return inverse_rare(*a, 0.0, 2.0, false, r); }
int vserfcinv_cout_rare(const float* a, float* r) { return inverse_rare(*a, 0.0f, 2.0f, false, r); }
int vdcdfnorminv_cout_rare(const double* a, double* r) { return inverse_rare(*a, 0.0, 1.0, true, r); }
int vscdfnorminv_cout_rare(const float* a, float* r) { return inverse_rare(*a, 0.0f, 1.0f, true, r); }

}  // namespace vexa::vm
