// Sin (s, d) (trig_core.h):
//   d HA  x = n pi/2 + r, r as a double-double; sin r = h + (h^3 P + l(1 - h^2/2))
//         or cos r with 1 - h^2/2 carried exactly by the quadrant, one
//         polynomial of degree 6 in h^2 per lane (coefficients chosen by lane)
//   d LA  x = n pi + r, r rounded, sin r = r + r^3 P(r^2) on |r| <= pi/2, degree 8
//   d EP  the same with degree 4
//   s HA  in double on the d EP formulas (error far below an ulp of float); float
//         arguments from 2^40 up reduced by the per-exponent table
//   s LA, EP  in float for |x| < 2^17: x = n pi + r with pi in three floats, the
//         odd polynomial of degree 3 (LA) or 2 (EP); larger arguments' lanes in
//         double on the d EP formulas
// Double |x| >= 2^40, infinities and NaN go to the per-element routine (exact
// reduction by the bits of 2/pi). Documented bounds per slot:
// include/vexa/vm_accuracy.def.
#include "vector_math/real/trig_core.h"
#include "vector_math/scalar/trig_scalar.h"

namespace vexa::vm {
namespace {

using namespace simd;

template <Acc A, bool FromFloat = false> VEXA_INLINE __m256d sin_of(__m256d x) {
    __m256d s;
    if constexpr (A != Acc::HA) s = trig_core::sin_wide<A, FromFloat>(x);
    else s = trig_core::sin_only<A, FromFloat>(x);
    return select(cmp_eq(x, zero<double>()), x, s);  // the sign of a zero argument
}

template <Acc A> struct DSin : RealUnary<double, 2, VM_NAME(dSin), vdsin_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = trig_core::outside(x);
        return sin_of<A>(x);
    }
};

// Float: HA in double; LA and EP in float, lanes beyond the float reduction's
// range in double.
template <Acc A, Acc Double> struct SSin : RealUnary<float, 1, VM_NAME(sSin), vssin_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = trig_core::outside(x);
        if constexpr (A == Acc::HA) {
            return trig_core::via_double(x, sin_of<Double, true>);
        } else {
            const V s = trig_core::float_or_wide(x, trig_core::sin_by_pi<A, V>,
                                                 [](V v) { return trig_core::via_double(v, sin_of<Double, true>); });
            return select(cmp_eq(x, zero<float>()), x, s);
        }
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dSin_S9HAynn(int n, const double* a, double* r) { unary<DSin<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dSin_S9LAynn(int n, const double* a, double* r) { unary<DSin<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dSin_S9EPnnn(int n, const double* a, double* r) { unary<DSin<Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sSin_S9HAynn(int n, const float* a, float* r) { unary<SSin<Acc::HA, Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sSin_S9LAynn(int n, const float* a, float* r) { unary<SSin<Acc::LA, Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sSin_S9EPnnn(int n, const float* a, float* r) { unary<SSin<Acc::EP, Acc::EP>>(n, a, r); }
}
