// Atanh (s, d) (hyperbolic_core.h): atanh|x| = ln(1 + q)/2, q = 2|x|/(1 - |x|)
//   d HA  q by one reciprocal and carried as a sum with its exact residual,
//         1 + q by TwoSum, the HA logarithm of the sum
//   d LA  q by one division, the LA logarithm of 1 + q as a sum
//   d EP  the same with the EP logarithm
//   s HA  in double on the d LA formulas
//   s LA, EP  in float as d LA and EP
// |x| >= 1 and NaN go to the per-element routine. Documented bounds per slot:
// include/vexa/vm_accuracy.def.
#include "vector_math/real/hyperbolic_core.h"
#include "vector_math/scalar/hyperbolic_scalar.h"

namespace vexa::vm {
namespace {

using namespace simd;
using hyperbolic_core::S;

template <class V> VEXA_INLINE unsigned outside(V ax) {
    using T = elem<V>;
    if constexpr (sizeof(T) == 4) return movemask(_mm256_cmp_ps(ax, broadcast(1.0f), _CMP_NLT_UQ));
    else return movemask(_mm256_cmp_pd(ax, broadcast(1.0), _CMP_NLT_UQ));
}

template <Acc A> struct DAtanh : RealUnary<double, 2, VM_NAME(dAtanh), vdatanh_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        const V ax = abs(x);
        special = outside(ax);
        return bit_or(hyperbolic_core::atanh_of<A>(ax), sign_of(x));
    }
};

template <Acc A> VEXA_INLINE S atanh_float(S ax) {
    const S q = (ax + ax) / (broadcast(1.0f) - ax);
    S e;
    const S u = two_sum(broadcast(1.0f), q, e);
    return broadcast(0.5f) * log_core::ln_of_sum<A>(u, e);
}

template <Acc A> struct SAtanh : RealUnary<float, A == Acc::HA ? 1 : 2, VM_NAME(sAtanh), vsatanh_cout_rare> {
    using V = simd::vec<float>;
    static VEXA_INLINE V fast(V x, unsigned& special) {
        const V ax = abs(x);
        special = outside(ax);
        V y;
        if constexpr (A == Acc::HA) y = eval::via_double(ax, hyperbolic_core::atanh_of<Acc::EP>);
        else y = atanh_float<A>(ax);
        return bit_or(y, sign_of(x));
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dAtanh_S9HAynn(int n, const double* a, double* r) { unary<DAtanh<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dAtanh_S9LAynn(int n, const double* a, double* r) { unary<DAtanh<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dAtanh_S9EPnnn(int n, const double* a, double* r) { unary<DAtanh<Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sAtanh_S9HAynn(int n, const float* a, float* r) { unary<SAtanh<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sAtanh_S9LAynn(int n, const float* a, float* r) { unary<SAtanh<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sAtanh_S9EPnnn(int n, const float* a, float* r) { unary<SAtanh<Acc::EP>>(n, a, r); }
}
