// Tan (s, d): x = n pi/2 + r, then sin r / cos r, or -cos r / sin r in the odd
// quadrants, from the sine and cosine of trig_core.h:
//   d HA  both as head and tail; the quotient of the heads corrected by its
//         exact remainder and the tails
//   d LA  (the EP slot too) the rounded quotient of the LA sine and cosine
//   s HA  in double on the d EP formulas (error far below an ulp of float)
//   s LA, EP  in float for |x| < 2^17: x = n pi/2 + r with pi/2 in three
//         floats, sin r / cos r (or -cos r / sin r) by the d EP fits rounded to
//         float; larger arguments' lanes as HA
// Double |x| >= 2^40, infinities and NaN leave the fast path: the float
// kernels hand infinities and NaN to the per-element routine; the double
// kernels hand theirs to a lane routine of their own with the exact reduction. Documented bounds per slot:
// include/vexa/vm_accuracy.def.
#include "vector_math/real/trig_core.h"
#include "vector_math/scalar/trig_scalar.h"

namespace vexa::vm {
namespace {

using namespace simd;

template <Acc A, bool FromFloat = false> VEXA_INLINE __m256d tan_of(__m256d x) {
    return select(cmp_eq(x, zero<double>()), x, trig_core::tan<A, FromFloat>(x));
}

int dtan_lane(const double* a, double* r) { return trig_rare(TrigFn::Tan, *a, *r); }

template <Acc A> struct DTan : RealUnary<double, 2, VM_NAME(dTan), dtan_lane> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = trig_core::outside(x);
        return tan_of<A>(x);
    }
};

template <Acc A, Acc Double> struct STan : RealUnary<float, 1, VM_NAME(sTan), vstan_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = trig_core::outside(x);
        if constexpr (A == Acc::HA) {
            return trig_core::via_double(x, tan_of<Double, true>);
        } else {
            const V t = trig_core::float_or_wide(x, trig_core::tan_float,
                                                 [](V v) { return trig_core::via_double(v, tan_of<Double, true>); });
            return select(cmp_eq(x, zero<float>()), x, t);
        }
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dTan_S9HAynn(int n, const double* a, double* r) { unary<DTan<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dTan_S9LAynn(int n, const double* a, double* r) { unary<DTan<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sTan_S9HAynn(int n, const float* a, float* r) { unary<STan<Acc::HA, Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sTan_S9LAynn(int n, const float* a, float* r) { unary<STan<Acc::LA, Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sTan_S9EPnnn(int n, const float* a, float* r) { unary<STan<Acc::EP, Acc::EP>>(n, a, r); }
}
