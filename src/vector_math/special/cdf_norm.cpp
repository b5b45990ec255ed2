// CdfNorm (s, d): erfc(-x/sqrt2)/2 (erfc_core.h) with -x/sqrt2 carried as a
// double-double, its low part entering by the derivative of erfc:
//   d HA, LA  the HA erfc parts, the halving folded into the final scaling
//   d EP      the EP erfc parts
//   s HA, LA, EP  the d EP formulas in double lanes
// The double range test sends x from -38.4921875 down (+0, status 4 below
// -38.485408335567335), the infinities and NaN to the per-element routine;
// the float one the infinities and NaN. Documented bounds per slot:
// include/vexa/vm_accuracy.def.
#include "vector_math/scalar/erf_scalar.h"
#include "vector_math/special/erfc_core.h"

namespace vexa::vm {
namespace {

using namespace simd;

template <Acc A> struct DCdfNorm : RealUnary<double, 2, VM_NAME(dCdfNorm), vdcdfnorm_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = movemask(bit_or(_mm256_cmp_pd(x, broadcast(-38.4921875), _CMP_NGT_UQ), cmp_eq(x, broadcast(HUGE_VAL))));
        return erfc_core::cdf_norm<A>(x);
    }
};

// Float in double lanes on the d EP formulas, whose error stays far below a
// float ulp.
struct SCdfNorm : RealUnary<float, 1, VM_NAME(sCdfNorm), vscdfnorm_cout_rare> {
    using V = simd::vec<float>;
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = movemask(cmp_gt_or_nan(abs(x), broadcast(3.4028234663852886e38f)));
        return eval::via_double(x, erfc_core::cdf_norm<Acc::EP>);
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dCdfNorm_S9HAynn(int n, const double* a, double* r) { unary<DCdfNorm<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dCdfNorm_S9LAynn(int n, const double* a, double* r) { unary<DCdfNorm<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dCdfNorm_S9EPnnn(int n, const double* a, double* r) { unary<DCdfNorm<Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sCdfNorm_S9HAynn(int n, const float* a, float* r) { unary<SCdfNorm>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sCdfNorm_S9LAynn(int n, const float* a, float* r) { unary<SCdfNorm>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sCdfNorm_S9EPnnn(int n, const float* a, float* r) { unary<SCdfNorm>(n, a, r); }
}
