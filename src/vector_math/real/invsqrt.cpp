// InvSqrt (s, d): 1/sqrt(x). Arguments that are not positive normal finite
// numbers (zeros, negatives, subnormals, +inf, NaN) go to the per-element
// routine, which gives status 2 for +-0 and 1 below zero.
//
//   dInvSqrt HA  1/sqrt(x) by root and division, then one Newton step on the
//                residual 1 - x y^2 computed with an exact product (also the LA slot)
//   dInvSqrt EP  bit-pattern initial guess and three Newton steps
//   sInvSqrt HA  in double: root and division, rounded once to float
//   sInvSqrt LA  in float: root and division
//   sInvSqrt EP  bit-pattern initial guess and two Newton steps
// Documented bounds per slot: include/vexa/vm_accuracy.def.
// Every step is an IEEE operation or an FMA, so all processors and emulators
// give the same bits (no reciprocal-root approximation instructions).
#include "vector_math/frame/kernel.h"
#include "vector_math/scalar/invsqrt_scalar.h"

namespace vexa::vm {
namespace {

using namespace simd;

// y + y (1 - x y^2) / 2, a Newton step for 1/sqrt(x).
template <class V> VEXA_INLINE V newton(V x, V y) {
    using T = elem<V>;
    const V hx = x * broadcast(T(0.5));
    return y * fma(-(hx * y), y, broadcast(T(1.5)));
}

struct DInvSqrtHA : RealUnary<double, 2, VM_NAME(dInvSqrt), vdinvsqrt_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        const V y = broadcast(1.0) / _mm256_sqrt_pd(x);
        // r = 1 - (x y) y with x y split exactly into h + he (both near sqrt x,
        // so nothing underflows at either end of the range).
        const V h = x * y;
        const V he = fma(x, y, -h);
        const V r = fma(-h, y, broadcast(1.0)) - he * y;
        special = not_positive_normal(x);
        return fma(y * broadcast(0.5), r, y);
    }
};

struct DInvSqrtEP : RealUnary<double, 2, VM_NAME(dInvSqrt), vdinvsqrt_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        const __m256i guess = _mm256_sub_epi64(splat64(0x5FE6EB50C7B537A9ull), shr64<1>(as_int(x)));
        V y = from_int<double>(guess);
        y = newton(x, y);
        y = newton(x, y);
        y = newton(x, y);
        special = not_positive_normal(x);
        return y;
    }
};

struct SInvSqrtHA : RealUnary<float, 1, VM_NAME(sInvSqrt), vsinvsqrt_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        const __m256d lo = _mm256_cvtps_pd(_mm256_castps256_ps128(x));
        const __m256d hi = _mm256_cvtps_pd(_mm256_extractf128_ps(x, 1));
        const __m256d one = broadcast(1.0);
        const __m128 ylo = _mm256_cvtpd_ps(one / _mm256_sqrt_pd(lo));
        const __m128 yhi = _mm256_cvtpd_ps(one / _mm256_sqrt_pd(hi));
        special = not_positive_normal(x);
        return _mm256_insertf128_ps(_mm256_castps128_ps256(ylo), yhi, 1);
    }
};

struct SInvSqrtLA : RealUnary<float, 2, VM_NAME(sInvSqrt), vsinvsqrt_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = not_positive_normal(x);
        return broadcast(1.0f) / _mm256_sqrt_ps(x);
    }
};

struct SInvSqrtEP : RealUnary<float, 2, VM_NAME(sInvSqrt), vsinvsqrt_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        V y = from_int<float>(sub32(splat32(0x5F375A86u), _mm256_srli_epi32(as_int(x), 1)));
        y = newton(x, y);
        y = newton(x, y);
        special = not_positive_normal(x);
        return y;
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dInvSqrt_S9HAynn(int n, const double* a, double* r) { unary<DInvSqrtHA>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dInvSqrt_S9EPnnn(int n, const double* a, double* r) { unary<DInvSqrtEP>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sInvSqrt_S9HAynn(int n, const float* a, float* r) { unary<SInvSqrtHA>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sInvSqrt_S9LAynn(int n, const float* a, float* r) { unary<SInvSqrtLA>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sInvSqrt_S9EPnnn(int n, const float* a, float* r) { unary<SInvSqrtEP>(n, a, r); }
}
