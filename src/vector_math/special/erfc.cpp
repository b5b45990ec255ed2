// Erfc (s, d) (erfc_core.h):
//   d HA, LA  below 4 from the erf table as 1 - erf|x| carried exactly, from 4
//             exp(-x^2) erfcx(x) with erfcx by table polynomials and both
//             factors as double-doubles, rounded once
//   d EP      the same with the shorter erf and exponential polynomials
//   s HA, LA, EP  the d EP formulas in double lanes
// The double range test sends x from 27.2421875 (+0, status 4 from
// 27.226017111108366), the infinities and NaN to the per-element routine;
// the float one the infinities and NaN. Documented bounds per slot:
// include/vexa/vm_accuracy.def.
#include "vector_math/scalar/erf_scalar.h"
#include "vector_math/special/erfc_core.h"

namespace vexa::vm {
namespace {

using namespace simd;

template <Acc A> struct DErfc : RealUnary<double, 2, VM_NAME(dErfc), vderfc_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = movemask(bit_or(_mm256_cmp_pd(x, broadcast(27.2421875), _CMP_NLT_UQ), cmp_eq(x, broadcast(-HUGE_VAL))));
        return erfc_core::erfc<A>(x);
    }
};

// Float in double lanes on the d EP formulas, whose error stays far below a
// float ulp.
struct SErfc : RealUnary<float, 1, VM_NAME(sErfc), vserfc_cout_rare> {
    using V = simd::vec<float>;
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = movemask(cmp_gt_or_nan(abs(x), broadcast(3.4028234663852886e38f)));
        return eval::via_double(x, erfc_core::erfc<Acc::EP>);
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dErfc_S9HAynn(int n, const double* a, double* r) { unary<DErfc<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dErfc_S9LAynn(int n, const double* a, double* r) { unary<DErfc<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dErfc_S9EPnnn(int n, const double* a, double* r) { unary<DErfc<Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sErfc_S9HAynn(int n, const float* a, float* r) { unary<SErfc>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sErfc_S9LAynn(int n, const float* a, float* r) { unary<SErfc>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sErfc_S9EPnnn(int n, const float* a, float* r) { unary<SErfc>(n, a, r); }
}
