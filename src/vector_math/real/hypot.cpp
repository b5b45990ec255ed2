// Hypot (s, d): sqrt(a^2 + b^2) without spurious overflow or underflow.
// Double: both arguments scaled by the same power of two (2^-600 when the
// larger is above 2^500, 2^600 when it is below 2^-500: exact, and what the
// smaller one loses then lies far below an ulp), h = sqrt(a^2 + b^2) with the
// sum in one fused multiply-add, scaled back. HA adds the correction
// (a^2 + b^2 - h^2) / 2h with the residual exact (products split by fused
// multiply-adds), about half an ulp; LA and EP take h (about an ulp).
// Float: the sum of squares in double, its root rounded once to float.
// Infinite or NaN arguments and subnormal results go to the per-element
// routine: hypot(+-inf, anything) = +inf, NaN otherwise with a NaN; no status.
// Documented bounds per slot: include/vexa/vm_accuracy.def.
#include <cfloat>
#include <cmath>

#include "vector_math/frame/kernel.h"

namespace vexa::vm {
namespace {

using namespace simd;

template <class T> int hypot_element(const T* a, const T* b, T* r) {
    const T x = *a, y = *b;
    if (std::isinf(x) || std::isinf(y)) *r = std::numeric_limits<T>::infinity();
    else if (std::isnan(x) || std::isnan(y)) *r = x + y;
    else *r = T(std::sqrt(static_cast<long double>(x) * x + static_cast<long double>(y) * y));
    return VEXA_VM_STATUS_OK;
}

template <bool Corrected> struct DHypot : RealKernel<double, 2, 2, true> {
    static VEXA_INLINE __m256d fast(__m256d a, __m256d b, unsigned& special) {
        const __m256d big = _mm256_max_pd(abs(a), abs(b));
        const __m256d up = cmp_lt(big, broadcast(0x1p-500)), down = cmp_gt_or_nan(big, broadcast(0x1p500));
        const __m256d s = select(down, broadcast(0x1p-600), select(up, broadcast(0x1p600), broadcast(1.0)));
        const __m256d back = select(down, broadcast(0x1p600), select(up, broadcast(0x1p-600), broadcast(1.0)));
        const __m256d x = a * s, y = b * s;
        const __m256d y2 = y * y;
        __m256d h = sqrt(fma(x, x, y2));
        if constexpr (Corrected) {
            // x is the larger in magnitude after a swap; then x^2 - h^2 and the sum with y^2 are exact.
            const __m256d ax = abs(x), ay = abs(y);
            const __m256d p = _mm256_max_pd(ax, ay), q = _mm256_min_pd(ax, ay);
            const __m256d p2 = p * p, p2l = fma(p, p, -p2);
            const __m256d q2 = q * q, q2l = fma(q, q, -q2);
            const __m256d h2 = h * h, h2l = fma(h, h, -h2);
            const __m256d res = ((p2 - h2) + q2) + ((p2l + q2l) - h2l);
            const __m256d hc = fma(res / (h + h), broadcast(1.0), h);
            h = select(cmp_lt(zero<double>(), h), hc, h);  // keep 0 for two zeros
        }
        const __m256d r = h * back;
        // Infinite or NaN arguments, and results that may be subnormal.
        special = movemask(bit_or(cmp_gt_or_nan(big, broadcast(DBL_MAX)), cmp_lt(r, broadcast(0x1p-1021))));
        return r;
    }
    static int rare(const double* a, const double* b, double* r) { return hypot_element(a, b, r); }
    static const char* name() { return VM_NAME(dHypot); }
};

struct SHypot : RealKernel<float, 2, 1, true> {
    static VEXA_INLINE __m256 fast(__m256 a, __m256 b, unsigned& special) {
        auto half = [](__m256d x, __m256d y) { return narrow(sqrt(fma(x, x, y * y))); };
        const __m256 r = join(half(_mm256_cvtps_pd(_mm256_castps256_ps128(a)), _mm256_cvtps_pd(_mm256_castps256_ps128(b))),
                              half(_mm256_cvtps_pd(_mm256_extractf128_ps(a, 1)), _mm256_cvtps_pd(_mm256_extractf128_ps(b, 1))));
        special = movemask(bit_or(cmp_gt_or_nan(abs(a), broadcast(FLT_MAX)), cmp_gt_or_nan(abs(b), broadcast(FLT_MAX))));
        return r;
    }
    static int rare(const float* a, const float* b, float* r) { return hypot_element(a, b, r); }
    static const char* name() { return VM_NAME(sHypot); }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dHypot_S9HAynn(int n, const double* a, const double* b, double* r) {
    binary<DHypot<true>>(n, a, b, r);
}
VEXA_EXPORT void vexa_arx_kernel_dHypot_S9LAynn(int n, const double* a, const double* b, double* r) {
    binary<DHypot<false>>(n, a, b, r);
}
VEXA_EXPORT void vexa_arx_kernel_dHypot_S9EPnnn(int n, const double* a, const double* b, double* r) {
    binary<DHypot<false>>(n, a, b, r);
}
VEXA_EXPORT void vexa_arx_kernel_sHypot_S9HAynn(int n, const float* a, const float* b, float* r) { binary<SHypot>(n, a, b, r); }
VEXA_EXPORT void vexa_arx_kernel_sHypot_S9LAynn(int n, const float* a, const float* b, float* r) { binary<SHypot>(n, a, b, r); }
VEXA_EXPORT void vexa_arx_kernel_sHypot_S9EPnnn(int n, const float* a, const float* b, float* r) { binary<SHypot>(n, a, b, r); }
}
