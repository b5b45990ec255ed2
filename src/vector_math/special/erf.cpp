// Erf (s, d) on the table of erf at the nodes j/128 (erf_core.h):
//   d HA  the table method with the packed double-double erf(x_j) and the
//         Taylor factor to w^4
//   d LA  the same (the table method has nothing an LA bound would spare)
//   d EP  P1 to u^4, P3 to u, P2 to its constant
//   s HA  the d EP formulas in double lanes, rounded once to float (its
//         error, about 2^-34, stays far below a float ulp)
//   s LA, EP  in float: |x| < 0.9375 x P(x^2), above 1 - e^p with p a
//         polynomial of ln erfc|x| (erf_core.h)
// No per-element routine and no status: NaN passes, +-inf give +-1.
// Documented bounds per slot: include/vexa/vm_accuracy.def.
#include "vector_math/real/eval.h"
#include "vector_math/special/erf_core.h"

namespace vexa::vm {
namespace {

using namespace simd;

template <Acc A> struct DErf : RealKernel<double, 1, 2, false> {
    static VEXA_INLINE V fast(V x, unsigned&) { return erf_core::erf<A>(x); }
};

template <Acc A> struct SErf : RealKernel<float, 1, A == Acc::HA ? 1 : 2, false> {
    using V = simd::vec<float>;
    static VEXA_INLINE V fast(V x, unsigned&) {
        if constexpr (A == Acc::HA) return eval::via_double(x, erf_core::erf<Acc::EP>);
        else return erf_core::erf_float<A>(x);
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dErf_S9HAynn(int n, const double* a, double* r) { unary<DErf<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dErf_S9LAynn(int n, const double* a, double* r) { unary<DErf<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dErf_S9EPnnn(int n, const double* a, double* r) { unary<DErf<Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sErf_S9HAynn(int n, const float* a, float* r) { unary<SErf<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sErf_S9LAynn(int n, const float* a, float* r) { unary<SErf<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sErf_S9EPnnn(int n, const float* a, float* r) { unary<SErf<Acc::EP>>(n, a, r); }
}
