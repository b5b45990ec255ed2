// CdfNormInv (s, d) (erfc_core.h): sqrt2 erfinv(2p - 1) from 1/4 to 3/4
// (2p - 1 exact there), below that -sqrt2 times the tail inverse of 2p,
// above sqrt2 times that of 2 - 2p (exact); the product by sqrt2 (a
// double-double) rounded once from the inverse carried as a sum:
//   d HA, LA  the central polynomial with c0 a double-double; the starting
//             value of the tail and one Halley step with the exact residual
//   d EP      the short central polynomial and the starting value
//   s HA, LA, EP  the d EP formulas in double lanes
// p <= 0, p >= 1 and NaN go to the per-element routine. Documented bounds per
// slot: include/vexa/vm_accuracy.def.
#include "vector_math/scalar/erf_scalar.h"
#include "vector_math/special/erfc_core.h"

namespace vexa::vm {
namespace {

using namespace simd;

template <Acc A> struct DCdfNormInv : RealUnary<double, 2, VM_NAME(dCdfNormInv), vdcdfnorminv_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = movemask(bit_or(_mm256_cmp_pd(x, broadcast(0.0), _CMP_NGT_UQ), _mm256_cmp_pd(x, broadcast(1.0), _CMP_GE_OQ)));
        return erfc_core::cdf_norm_inv<A>(x);
    }
};

// Float in double lanes on the d EP formulas, whose error stays far below a
// float ulp.
struct SCdfNormInv : RealUnary<float, 1, VM_NAME(sCdfNormInv), vscdfnorminv_cout_rare> {
    using V = simd::vec<float>;
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = movemask(bit_or(_mm256_cmp_ps(x, broadcast(0.0f), _CMP_NGT_UQ), _mm256_cmp_ps(x, broadcast(1.0f), _CMP_GE_OQ)));
        return eval::via_double(x, erfc_core::cdf_norm_inv<Acc::EP>);
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dCdfNormInv_G9HAynn(int n, const double* a, double* r) { unary<DCdfNormInv<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dCdfNormInv_G9LAynn(int n, const double* a, double* r) { unary<DCdfNormInv<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dCdfNormInv_S9EPnnn(int n, const double* a, double* r) { unary<DCdfNormInv<Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sCdfNormInv_S9HAynn(int n, const float* a, float* r) { unary<SCdfNormInv>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sCdfNormInv_S9LAynn(int n, const float* a, float* r) { unary<SCdfNormInv>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sCdfNormInv_S9EPnnn(int n, const float* a, float* r) { unary<SCdfNormInv>(n, a, r); }
}
