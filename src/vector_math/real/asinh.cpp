// Asinh (s, d) (hyperbolic_core.h):
//   d     ln(|x| + s) with 1 + x^2, s = sqrt(1 + x^2) and |x| + s carried as
//         sums, the logarithm of the sum by the HA, LA or EP logarithm; from
//         2^28 on ln|x| + ln 2
//   s HA  (generation T7) in double on the d LA formulas
//   s LA  log1p(v) in float with v = |x| + x^2 / (1 + sqrt(1 + x^2)) carried
//         as a sum; from 2^12 on ln|x| + ln 2
//   s EP  (generation W7) the same with v rounded and the EP logarithm
// The s HA and EP kernels run under the caller's floating-point settings.
// Double infinities and NaN go to the per-element routine; the float kernels
// have none and give x + x for them. Documented bounds per slot:
// include/vexa/vm_accuracy.def.
#include "vector_math/real/hyperbolic_core.h"
#include "vector_math/scalar/hyperbolic_scalar.h"

namespace vexa::vm {
namespace {

using namespace simd;
using hyperbolic_core::S;

template <Acc A> struct DAsinh : RealUnary<double, 2, VM_NAME(dAsinh), vdasinh_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = movemask(is_finite(x)) ^ 0xFu;
        return bit_or(hyperbolic_core::asinh_of<A>(abs(x)), sign_of(x));
    }
};

template <Acc A> VEXA_INLINE S asinh_float(S ax) {
    using namespace hyperbolic_data;
    const S big = _mm256_cmp_ps(ax, broadcast(kSBig), _CMP_GE_OQ);
    const S x2 = ax * ax;
    const S q = x2 / (broadcast(1.0f) + simd::sqrt(broadcast(1.0f) + x2));
    S v, vl, e;
    if constexpr (A == Acc::LA) v = two_sum(ax, q, vl);
    else v = ax + q;
    const S u = two_sum(broadcast(1.0f), v, e);
    if constexpr (A == Acc::LA) e = e + vl;
    return log_core::ln_of_sum<A, true>(select(big, ax, u), select(big, zero<float>(), e),
                                        bit_and(big, broadcast(1.0f)));
}

template <Acc A> struct SAsinh : RealKernel<float, 1, A == Acc::HA ? 1 : 2, false, A == Acc::LA> {
    using V = S;
    static VEXA_INLINE V fast(V x, unsigned&) {
        const V ax = abs(x);
        V y;
        if constexpr (A == Acc::HA) y = eval::via_double(ax, hyperbolic_core::asinh_of<Acc::EP>);
        else y = asinh_float<A>(ax);
        return select(is_finite(x), bit_or(y, sign_of(x)), x + x);
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dAsinh_S9HAynn(int n, const double* a, double* r) { unary<DAsinh<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dAsinh_S9LAynn(int n, const double* a, double* r) { unary<DAsinh<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dAsinh_S9EPnnn(int n, const double* a, double* r) { unary<DAsinh<Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sAsinh_T7HAynn(int n, const float* a, float* r) { unary<SAsinh<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sAsinh_S9LAynn(int n, const float* a, float* r) { unary<SAsinh<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sAsinh_W7EPnnn(int n, const float* a, float* r) { unary<SAsinh<Acc::EP>>(n, a, r); }
}
