// Pow3o2 (s, d): x^(3/2) = x sqrt(x). Double HA: the root as s + s_lo (s_lo
// = (x - s^2) / 2s, the residual exact by a fused multiply-add), then
// x s + x s_lo in one rounding (about half an ulp); double LA and EP: x s
// (two roundings). Float kernels: x sqrt(x) in double, rounded once. Lanes
// below zero go to the per-element routine: NaN with status 1. -0 gives +0,
// +inf gives +inf; results past the range are +inf without a status.
// Documented bounds per slot: include/vexa/vm_accuracy.def.
#include "vector_math/frame/kernel.h"
#include "vector_math/scalar/fp_bits.h"

namespace vexa::vm {
namespace {

using namespace simd;

template <class T> int negative_argument(const T*, T* r) {
    *r = T(invalid_result());
    return VEXA_VM_STATUS_DOMAIN;
}

template <bool Accurate> struct DPow3o2 : RealUnary<double, 2, VM_NAME(dPow3o2), negative_argument<double>> {
    static VEXA_INLINE __m256d fast(__m256d x, unsigned& special) {
        special = movemask(cmp_lt(x, zero<double>()));
        const __m256d s = sqrt(x);
        if constexpr (!Accurate) return x * s;
        const __m256d s_lo = fma(-s, s, x) / (s + s);
        // Zero, infinite and NaN lanes keep x s (the correction would be NaN there).
        const __m256d v = fma(x, s, x * s_lo);
        return select(is_finite(v), v, x * s);
    }
};

struct SPow3o2 : RealUnary<float, 1, VM_NAME(sPow3o2), negative_argument<float>> {
    static VEXA_INLINE __m256 fast(__m256 x, unsigned& special) {
        special = movemask(cmp_lt(x, zero<float>()));
        const __m256d lo = _mm256_cvtps_pd(_mm256_castps256_ps128(x));
        const __m256d hi = _mm256_cvtps_pd(_mm256_extractf128_ps(x, 1));
        return join(narrow(lo * sqrt(lo)), narrow(hi * sqrt(hi)));
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dPow3o2_S9HAynn(int n, const double* a, double* r) { unary<DPow3o2<true>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dPow3o2_S9LAynn(int n, const double* a, double* r) { unary<DPow3o2<false>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dPow3o2_S9EPnnn(int n, const double* a, double* r) { unary<DPow3o2<false>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sPow3o2_S9HAynn(int n, const float* a, float* r) { unary<SPow3o2>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sPow3o2_S9LAynn(int n, const float* a, float* r) { unary<SPow3o2>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sPow3o2_S9EPnnn(int n, const float* a, float* r) { unary<SPow3o2>(n, a, r); }
}
