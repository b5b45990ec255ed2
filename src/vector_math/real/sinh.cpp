// Sinh (s, d) (hyperbolic_core.h):
//   d HA  |x| < 1/4: x + x^3 P(x^2), P of degree 4; above: (e^|x| - e^-|x|)/2
//         from one reduction (exp_core::exp_pair, p of degree 6), the heads'
//         difference by Fast2Sum and the low parts carried
//   d LA  the same with P of degree 3, p of degree 5 and the difference of
//         the heads rounded (the EP slot holds the LA kernel)
//   s     S(r) ch_N + C(r) sh_N: HA in double, LA and EP in float
// A register of lanes all on one side of 1/4 takes one path only. |x| above
// 708.396 (d) or from 89.4159927 (s, the overflow threshold), infinities and
// NaN go to the per-element routine. Documented bounds per slot:
// include/vexa/vm_accuracy.def.
#include "vector_math/real/hyperbolic_core.h"
#include "vector_math/scalar/hyperbolic_scalar.h"

namespace vexa::vm {
namespace {

using namespace simd;
using hyperbolic_core::D;

template <Acc A> VEXA_INLINE D sinh_small(D ax) {
    const D z = ax * ax;
    if constexpr (A == Acc::HA) return fma(ax * z, eval::horner(z, hyperbolic_data::kSinhHa), ax);
    else return fma(ax * z, eval::horner(z, hyperbolic_data::kSinhLa), ax);
}

template <Acc A> VEXA_INLINE D sinh_large(D ax) {
    const exp_core::ExpPair e = exp_core::exp_pair<A == Acc::HA ? 6 : 5>(ax);
    if constexpr (A == Acc::HA) {
        const D h = e.a_hi - e.b_hi;
        const D err = (e.a_hi - h) - e.b_hi;
        return broadcast(0.5) * (h + ((e.a_lo - e.b_lo) + err));
    } else {
        return broadcast(0.5) * ((e.a_hi - e.b_hi) + (e.a_lo - e.b_lo));
    }
}

template <Acc A> struct DSinh : RealUnary<double, 2, VM_NAME(dSinh), vdsinh_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        const V ax = abs(x);
        special = movemask(cmp_gt_or_nan(ax, broadcast(exp_data::kFastLimit)));
        const V small = cmp_lt(ax, broadcast(hyperbolic_data::kSmallLimit));
        const unsigned m = movemask(small);
        V y;
        if (__builtin_expect(m == 0, 1)) y = sinh_large<A>(ax);
        else if (m == 0xF) y = sinh_small<A>(ax);
        else y = select(small, sinh_small<A>(ax), sinh_large<A>(ax));
        return bit_or(y, sign_of(x));
    }
};

template <Acc A> struct SSinh : RealUnary<float, 1, VM_NAME(sSinh), vssinh_cout_rare> {
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
