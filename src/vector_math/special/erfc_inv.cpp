// ErfcInv (s, d) (erfc_core.h): from 1/2 to 3/2 erfinv(1 - q) by the central
// polynomial (1 - q exact there), below 1/2 the tail inverse of q, above 3/2
// minus that of 2 - q (exact):
//   d HA, LA  the central polynomial with c0 a double-double; the starting
//             value of the tail in sqrt(-ln q) and one Halley step with the
//             residual carried exactly (q down to the subnormals)
//   d EP      the short central polynomial and the starting value
//   s HA, LA, EP  the d EP formulas in double lanes
// q <= 0, q >= 2 and NaN go to the per-element routine. Documented bounds per
// slot: include/vexa/vm_accuracy.def.
#include "vector_math/scalar/erf_scalar.h"
#include "vector_math/special/erfc_core.h"

namespace vexa::vm {
namespace {

using namespace simd;

template <Acc A> struct DErfcInv : RealUnary<double, 2, VM_NAME(dErfcInv), vderfcinv_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = movemask(bit_or(_mm256_cmp_pd(x, broadcast(0.0), _CMP_NGT_UQ), _mm256_cmp_pd(x, broadcast(2.0), _CMP_GE_OQ)));
        return erfc_core::erfc_inv<A>(x);
    }
};

// Float in double lanes on the d EP formulas, whose error stays far below a
// float ulp.
struct SErfcInv : RealUnary<float, 1, VM_NAME(sErfcInv), vserfcinv_cout_rare> {
    using V = simd::vec<float>;
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = movemask(bit_or(_mm256_cmp_ps(x, broadcast(0.0f), _CMP_NGT_UQ), _mm256_cmp_ps(x, broadcast(2.0f), _CMP_GE_OQ)));
        return eval::via_double(x, erfc_core::erfc_inv<Acc::EP>);
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dErfcInv_S9HAynn(int n, const double* a, double* r) { unary<DErfcInv<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dErfcInv_S9LAynn(int n, const double* a, double* r) { unary<DErfcInv<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dErfcInv_S9EPnnn(int n, const double* a, double* r) { unary<DErfcInv<Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sErfcInv_S9HAynn(int n, const float* a, float* r) { unary<SErfcInv>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sErfcInv_S9LAynn(int n, const float* a, float* r) { unary<SErfcInv>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sErfcInv_S9EPnnn(int n, const float* a, float* r) { unary<SErfcInv>(n, a, r); }
}
