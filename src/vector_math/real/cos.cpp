// Cos (s, d) with the methods of Sin (trig_core.h):
//   d HA  x = n pi/2 + r as a double-double, cos r or sin r by the quadrant,
//         degree 6 fits, 1 - h^2/2 carried exactly
//   d LA, EP  x = q pi/2 + r with q odd, |r| <= pi/2, cos x = +-sin r by the
//         odd polynomial of degree 8 (LA) or 4 (EP)
//   s     HA in double on the d EP formulas; LA and EP in float for |x| < 2^17
//         (x = q pi/2 + r, pi/2 in three floats, degree 3 or 2), larger
//         arguments' lanes in double on the d EP formulas
// Double |x| >= 2^40, infinities and NaN go to the per-element routine. Documented
// bounds per slot: include/vexa/vm_accuracy.def.
#include "vector_math/real/trig_core.h"
#include "vector_math/scalar/trig_scalar.h"

namespace vexa::vm {
namespace {

using namespace simd;

template <Acc A, bool FromFloat = false> VEXA_INLINE __m256d cos_of(__m256d x) {
    if constexpr (A != Acc::HA) return trig_core::cos_wide<A, FromFloat>(x);
    else return trig_core::cos_only<A, FromFloat>(x);
}

template <Acc A> struct DCos : RealUnary<double, 2, VM_NAME(dCos), vdcos_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = trig_core::outside(x);
        return cos_of<A>(x);
    }
};

template <Acc A, Acc Double> struct SCos : RealUnary<float, 1, VM_NAME(sCos), vscos_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = trig_core::outside(x);
        if constexpr (A == Acc::HA) return trig_core::via_double(x, cos_of<Double, true>);
        else
            return trig_core::float_or_wide(x, trig_core::cos_by_pi<A, V>,
                                            [](V v) { return trig_core::via_double(v, cos_of<Double, true>); });
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dCos_S9HAynn(int n, const double* a, double* r) { unary<DCos<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dCos_S9LAynn(int n, const double* a, double* r) { unary<DCos<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dCos_S9EPnnn(int n, const double* a, double* r) { unary<DCos<Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sCos_S9HAynn(int n, const float* a, float* r) { unary<SCos<Acc::HA, Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sCos_S9LAynn(int n, const float* a, float* r) { unary<SCos<Acc::LA, Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sCos_S9EPnnn(int n, const float* a, float* r) { unary<SCos<Acc::EP, Acc::EP>>(n, a, r); }
}
