// Cosh (s, d) (hyperbolic_core.h):
//   d HA  (e^|x| + e^-|x|)/2 from one reduction (exp_core::exp_pair, p of
//         degree 6), the heads' sum by Fast2Sum and the low parts carried
//   d LA  S(r) sh_N + C(r) ch_N as the float kernels, without a table (the
//         EP slot holds the LA kernel)
//   s     S(r) sh_N + C(r) ch_N: HA in double, LA and EP in float
// |x| above 708.396 (d) or from 87.3365 (s), infinities and NaN go to the
// per-element routine (near the float overflow threshold it computes in
// double). Documented bounds per
// slot: include/vexa/vm_accuracy.def.
#include "vector_math/real/hyperbolic_core.h"
#include "vector_math/scalar/hyperbolic_scalar.h"

namespace vexa::vm {
namespace {

using namespace simd;

template <Acc A> struct DCosh : RealUnary<double, 2, VM_NAME(dCosh), vdcosh_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        const V ax = abs(x);
        special = movemask(cmp_gt_or_nan(ax, broadcast(exp_data::kFastLimit)));
        if constexpr (A == Acc::LA) {
            return hyperbolic_core::wide_parts<A>(ax).cosh();
        } else {
            const exp_core::ExpPair e = exp_core::exp_pair(ax);
            const V h = e.a_hi + e.b_hi;
            const V err = (e.a_hi - h) + e.b_hi;
            return broadcast(0.5) * (h + ((e.a_lo + e.b_lo) + err));
        }
    }
};

template <Acc A> struct SCosh : RealUnary<float, A == Acc::HA ? 1 : 2, VM_NAME(sCosh), vscosh_cout_rare> {
    using V = simd::vec<float>;
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = hyperbolic_core::float_outside(x);
        return hyperbolic_core::float_kernel<hyperbolic_core::Fn::Cosh, A>(x);
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dCosh_S9HAynn(int n, const double* a, double* r) { unary<DCosh<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dCosh_S9LAynn(int n, const double* a, double* r) { unary<DCosh<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sCosh_S9HAynn(int n, const float* a, float* r) { unary<SCosh<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sCosh_S9LAynn(int n, const float* a, float* r) { unary<SCosh<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sCosh_S9EPnnn(int n, const float* a, float* r) { unary<SCosh<Acc::EP>>(n, a, r); }
}
