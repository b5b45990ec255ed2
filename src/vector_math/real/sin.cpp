// Sin (s, d): x = n pi/2 + r, then sin r or cos r by the quadrant
// (trig_core.h).
//   d HA  r as a double-double; sin r = h + (h^3 P + l(1 - h^2/2)), P of degree 6
//         in h^2, cos r with 1 - h^2/2 carried exactly, Q of degree 6
//   d LA  r rounded; P and Q of degree 5
//   d EP  r rounded; P and Q of degree 3
//   s     in double: HA on the d LA formulas, LA and EP on the d EP ones
// |x| >= 2^40, infinities and NaN go to the per-element routine (exact
// reduction by the bits of 2/pi). Documented bounds per slot:
// include/vexa/vm_accuracy.def.
#include "vector_math/real/trig_core.h"
#include "vector_math/scalar/trig_scalar.h"

namespace vexa::vm {
namespace {

using namespace simd;
using trig_core::Acc;

template <Acc A, bool FromFloat = false> VEXA_INLINE __m256d sin_of(__m256d x) {
    __m256d s;
    trig_core::sin_cos<A, FromFloat>(x, &s, nullptr);
    return select(cmp_eq(x, zero<double>()), x, s);  // the sign of a zero argument
}

template <Acc A> struct DSin : RealUnary<double, 2, VM_NAME(dSin), vdsin_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = trig_core::outside(x);
        return sin_of<A>(x);
    }
};

template <Acc A> struct SSin : RealUnary<float, 1, VM_NAME(sSin), vssin_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = trig_core::outside(x);
        return trig_core::via_double(x, sin_of<A, true>);
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dSin_S9HAynn(int n, const double* a, double* r) { unary<DSin<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dSin_S9LAynn(int n, const double* a, double* r) { unary<DSin<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dSin_S9EPnnn(int n, const double* a, double* r) { unary<DSin<Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sSin_S9HAynn(int n, const float* a, float* r) { unary<SSin<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sSin_S9LAynn(int n, const float* a, float* r) { unary<SSin<Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sSin_S9EPnnn(int n, const float* a, float* r) { unary<SSin<Acc::EP>>(n, a, r); }
}
