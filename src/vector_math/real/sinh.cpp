// Sinh (s, d) (hyperbolic_core.h):
//   d HA  |x| < 1/4: x + x^3 P(x^2), P of degree 4; above: (e^|x| - e^-|x|)/2
//         from one reduction (exp_core::exp_pair, p of degree 6), the heads'
//         difference by Fast2Sum and the low parts carried
//   d LA  S(r) ch_N + C(r) sh_N as the float kernels, without a table (the
//         EP slot holds the LA kernel)
//   s     S(r) ch_N + C(r) sh_N: HA in double, LA and EP in float
// |x| above
// 708.396 (d) or from 87.3365 (s), infinities and NaN go to the per-element
// routine (near the float overflow threshold it computes in double). Documented bounds per slot:
// include/vexa/vm_accuracy.def.
#include "vector_math/real/hyperbolic_core.h"
#include "vector_math/scalar/hyperbolic_scalar.h"

namespace vexa::vm {
namespace {

using namespace simd;
using hyperbolic_core::D;

VEXA_INLINE D sinh_small(D ax) {
    const D z = ax * ax;
    return fma(ax * z, eval::horner(z, hyperbolic_data::kSinhHa), ax);
}

VEXA_INLINE D sinh_large(D ax) {
    const exp_core::ExpPair e = exp_core::exp_pair(ax);
    const D h = e.a_hi - e.b_hi;
    const D err = (e.a_hi - h) - e.b_hi;
    return broadcast(0.5) * (h + ((e.a_lo - e.b_lo) + err));
}

template <Acc A> struct DSinh : RealUnary<double, 2, VM_NAME(dSinh), vdsinh_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        const V ax = abs(x);
        special = movemask(cmp_gt_or_nan(ax, broadcast(exp_data::kFastLimit)));
        if constexpr (A == Acc::LA) return bit_or(hyperbolic_core::wide_parts<A>(ax).sinh(), sign_of(x));
        // Both paths on every lane: a branch per register would cost more in
        // lost overlap between the step's registers than the polynomial does.
        const V small = cmp_lt(ax, broadcast(hyperbolic_data::kSmallLimit));
        return bit_or(select(small, sinh_small(ax), sinh_large(ax)), sign_of(x));
    }
};

template <Acc A> struct SSinh : RealUnary<float, A == Acc::HA ? 1 : 2, VM_NAME(sSinh), vssinh_cout_rare> {
    using V = simd::vec<float>;
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = hyperbolic_core::float_outside(x);
        return hyperbolic_core::float_kernel<hyperbolic_core::Fn::Sinh, A>(x);
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dSinh_S9HAynn(int n, const double* a, double* r) { unary<DSinh<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dSinh_S9LAynn(int n, const double* a, double* r) { unary<DSinh<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sSinh_S9HAynn(int n, const float* a, float* r) { unary<SSinh<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sSinh_S9LAynn(int n, const float* a, float* r) { unary<SSinh<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sSinh_S9EPnnn(int n, const float* a, float* r) { unary<SSinh<Acc::EP>>(n, a, r); }
}
