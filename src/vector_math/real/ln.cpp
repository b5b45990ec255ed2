// Ln (s, d), on the reduction of log_core.h.
//   dLn HA  ln x = (k L1 + T_hi) + (r + (k L2 + T_lo + r^2 P(r))), error-free high sum,
//           P of degree 4, two registers per step
//   dLn LA  ln x = k ln2 + (T + (r + r^2 P(r))), P of degree 3
//   dLn EP  without the table: ln x = k ln2 + 2 atanh((m - 1)/(m + 1)) (log_core.h)
//   sLn     ln x = k ln2 + r + r^2 P(r) with P of degree 8 and the rounding
//           errors carried (HA), degree 6 (LA) or degree 3 (EP).
// Zero, negative, subnormal, infinite and NaN arguments go to the per-element
// routine. Documented bounds per slot: include/vexa/vm_accuracy.def.
#include "vector_math/real/log_core.h"
#include "vector_math/scalar/ln_scalar.h"

namespace vexa::vm {
namespace {

using namespace simd;


template <Acc A>
struct DLn : RealUnary<double, 2, VM_NAME(dLn), vdln_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        V result;
        if constexpr (A == Acc::HA) result = log_core::ln_ha(log_core::reduce(x, tables::kLnPairs));
        if constexpr (A == Acc::LA) result = log_core::ln_la(log_core::reduce(x, tables::kLnPairs));
        if constexpr (A == Acc::EP) result = log_core::log_atanh<6>(log_core::reduce_atanh(x), 1.0, ln_data::kLn2);
        special = not_positive_normal(x);
        return result;
    }
};

template <Acc A>
struct SLn : RealUnary<float, A == Acc::HA ? 1 : 2, VM_NAME(sLn), vsln_cout_rare> {
    using V = simd::vec<float>;
    static VEXA_INLINE V fast(V x, unsigned& special) {
        const log_core::SReduced d = log_core::reduce(x);
        V result;
        if constexpr (A == Acc::HA) {
            const log_core::SPair p = log_core::ln_ha(d);
            result = p.hi + p.lo;
        }
        if constexpr (A == Acc::LA) result = fma(d.k, broadcast(ln_data::kSLn2), log_core::poly_la(d.r));
        if constexpr (A == Acc::EP) result = fma(d.k, broadcast(ln_data::kSLn2), log_core::poly_ep(d.r));
        special = not_positive_normal(x);
        return result;
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dLn_S9HAynn(int n, const double* a, double* r) { unary<DLn<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dLn_S9LAynn(int n, const double* a, double* r) { unary<DLn<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dLn_S9EPnnn(int n, const double* a, double* r) { unary<DLn<Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sLn_S9HAynn(int n, const float* a, float* r) { unary<SLn<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sLn_S9LAynn(int n, const float* a, float* r) { unary<SLn<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sLn_S9EPnnn(int n, const float* a, float* r) { unary<SLn<Acc::EP>>(n, a, r); }
}
