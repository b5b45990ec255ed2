// Tanh (s, d) (hyperbolic_core.h):
//   d     tanh|x| = m / (m + 2) with m = e^(2|x|) - 1 (exp_core.h), |x|
//         clamped at 20, where the result is 1 to the last bit:
//     HA  m as hi + lo (below 1/16 in 2|x| the polynomial x + x^2 P(x),
//         above the reduction with st - 1 error-free), m + 2 by TwoSum, and
//         the quotient by one reciprocal corrected by its exact residual
//     LA  m to about an ulp (q = 6), one division
//     EP  m with q = 10 and no correction, one division
//   s     (S ch_N + C sh_N) / (S sh_N + C ch_N), |x| clamped at 9.5: HA in
//         double, LA in float (the EP slot holds the LA kernel)
// No per-element routine: NaN passes through the clamp, infinities give +-1.
// Documented bounds per slot: include/vexa/vm_accuracy.def.
#include "vector_math/real/hyperbolic_core.h"

namespace vexa::vm {
namespace {

using namespace simd;
using exp_core::Parts;

VEXA_INLINE Parts expm1_small(__m256d y) { return {y, (y * y) * exp_core::expm1_small_poly(y)}; }

template <Acc A> struct DTanh : RealKernel<double, 1, 2, false> {
    static VEXA_INLINE V fast(V x, unsigned&) {
        const V c = hyperbolic_core::at_most(abs(x), hyperbolic_data::kTanhOne);
        const V y = c + c;
        V t;
        if constexpr (A == Acc::HA) {
            const V small = cmp_lt(y, broadcast(0.0625));
            const unsigned k = movemask(small);
            Parts m;
            if (__builtin_expect(k == 0, 1)) {
                m = exp_core::expm1_large(y);
            } else if (k == 0xF) {
                m = expm1_small(y);
            } else {
                const Parts a = expm1_small(y), b = exp_core::expm1_large(y);
                m = {select(small, a.hi, b.hi), select(small, a.lo, b.lo)};
            }
            // m renormalised (Fast2Sum, |hi| >= |lo| on both paths), so that the
            // low part of m + 2 is within an ulp and one reciprocal serves.
            const V mh = m.hi + m.lo;
            m.lo = m.lo - (mh - m.hi);
            m.hi = mh;
            V e;
            const V dh = two_sum(m.hi, broadcast(2.0), e);
            const V dl = e + m.lo;
            const V inv = broadcast(1.0) / dh;
            const V q = m.hi * inv;
            const V rem = fma(-q, dh, m.hi) + (m.lo - q * dl);
            t = fma(rem, inv, q);
        } else {
            const V m = A == Acc::LA ? exp_core::expm1_la(y) : exp_core::expm1_ep(y);
            t = m / (m + broadcast(2.0));
        }
        return bit_or(t, sign_of(x));
    }
};

template <Acc A> struct STanh : RealKernel<float, 1, A == Acc::HA ? 1 : 2, false> {
    using V = simd::vec<float>;
    static VEXA_INLINE V fast(V x, unsigned&) { return hyperbolic_core::float_kernel<hyperbolic_core::Fn::Tanh, A>(x); }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dTanh_S9HAynn(int n, const double* a, double* r) { unary<DTanh<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dTanh_S9LAynn(int n, const double* a, double* r) { unary<DTanh<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dTanh_S9EPnnn(int n, const double* a, double* r) { unary<DTanh<Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sTanh_S9HAynn(int n, const float* a, float* r) { unary<STanh<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sTanh_S9LAynn(int n, const float* a, float* r) { unary<STanh<Acc::LA>>(n, a, r); }
}
