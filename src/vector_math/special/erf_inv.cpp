// ErfInv (s, d) (erfc_core.h):
//   d HA, LA  |y| <= 1/2 y (c0 + t R(t)) with c0 a double-double; beyond, a
//             starting value in sqrt(-ln(1 - |y|)) from the vderfinv_data
//             rows and one Halley step on erfc x - (1 - |y|) with the
//             residual carried exactly
//   d EP      the central polynomial of degree 6 and the starting value
//   s HA, LA, EP  the d EP formulas in double lanes
// |y| >= 1 and NaN go to the per-element routine. Documented bounds per
// slot: include/vexa/vm_accuracy.def.
#include "vector_math/scalar/erf_scalar.h"
#include "vector_math/special/erfc_core.h"

namespace vexa::vm {
namespace {

using namespace simd;

template <Acc A> struct DErfInv : RealUnary<double, 2, VM_NAME(dErfInv), vderfinv_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = movemask(_mm256_cmp_pd(abs(x), broadcast(1.0), _CMP_NLT_UQ));
        return erfc_core::erf_inv<A>(x);
    }
};

// Float in double lanes on the d EP formulas, whose error stays far below a
// float ulp.
struct SErfInv : RealUnary<float, 1, VM_NAME(sErfInv), vserfinv_cout_rare> {
    using V = simd::vec<float>;
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = movemask(_mm256_cmp_ps(abs(x), broadcast(1.0f), _CMP_NLT_UQ));
        return eval::via_double(x, erfc_core::erf_inv<Acc::EP>);
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dErfInv_S9HAynn(int n, const double* a, double* r) { unary<DErfInv<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dErfInv_S9LAynn(int n, const double* a, double* r) { unary<DErfInv<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dErfInv_S9EPnnn(int n, const double* a, double* r) { unary<DErfInv<Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sErfInv_S9HAynn(int n, const float* a, float* r) { unary<SErfInv>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sErfInv_G9LAynn(int n, const float* a, float* r) { unary<SErfInv>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sErfInv_S9EPnnn(int n, const float* a, float* r) { unary<SErfInv>(n, a, r); }
}
