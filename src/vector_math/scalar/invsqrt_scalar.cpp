#include "vector_math/scalar/invsqrt_scalar.h"

#include <immintrin.h>

#include <cmath>

#include "vector_math/scalar/fp_bits.h"

namespace vexa::vm {
namespace {

VEXA_INLINE double root(double x) { return _mm_cvtsd_f64(_mm_sqrt_sd(_mm_setzero_pd(), _mm_set_sd(x))); }

}  // namespace

double invsqrt_accurate(double x) {
    const double y = 1.0 / root(x);
    // r = 1 - (x y) y with x y split exactly into h + he.
    const double h = x * y;
    const double he = std::fma(x, y, -h);
    const double r = std::fma(-h, y, 1.0) - he * y;
    return std::fma(0.5 * y, r, y);
}

int vdinvsqrt_cout_rare(const double* a, double* r) {
    const double x = *a;
    if (std::isnan(x)) {
        *r = x + x;
        return 0;
    }
    if (x == 0.0) {  // +-0, also subnormals under denormals-are-zero
        volatile double one = 1.0;
        *r = one / x;
        return VEXA_VM_STATUS_SING;
    }
    if (x < 0.0) {
        *r = invalid_result();
        return VEXA_VM_STATUS_DOMAIN;
    }
    if (x == INFINITY) {
        *r = 0.0;
        return 0;
    }
    if (x < 2.2250738585072014e-308) {  // subnormal: scale by 2^54, exactly
        *r = invsqrt_accurate(x * 18014398509481984.0) * 134217728.0;
        return 0;
    }
    *r = invsqrt_accurate(x);
    return 0;
}

int vsinvsqrt_cout_rare(const float* a, float* r) {
    const float x = *a;
    if (std::isnan(x)) {
        *r = x + x;
        return 0;
    }
    if (x == 0.0f) {
        volatile float one = 1.0f;
        *r = one / x;
        return VEXA_VM_STATUS_SING;
    }
    if (x < 0.0f) {
        *r = static_cast<float>(invalid_result());
        return VEXA_VM_STATUS_DOMAIN;
    }
    if (x == INFINITY) {
        *r = 0.0f;
        return 0;
    }
    *r = static_cast<float>(invsqrt_accurate(double(x)));  // float subnormals are normal doubles
    return 0;
}

}  // namespace vexa::vm
