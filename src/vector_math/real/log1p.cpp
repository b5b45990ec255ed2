// Log1p (s, d): the logarithm of u = 1 + x (log_core.h), corrected by the
// rounding error of u. The sum 1 + x is split error-free (TwoSum) into u and
// err, so that 1 + x = u + err exactly and ln(1 + x) = ln u + ln(1 + err/u).
//   double  u = 2^k m, r = c m - 1 exact; the exact reduced argument of 1 + x
//           is r + d with d = c 2^-k err, so the logarithm's own evaluation
//           runs on r + d: rounded once (LA) or carried as a sum with its
//           error added to the low part (HA); EP runs the logarithm without
//           a table (log_core.h) on m - 1 + err 2^-k
//   float   u = 2^k m, r = m - 1 exact; ln u as the float logarithm's carried
//           sum (HA), with err/u - (err/u)^2/2 added to the low part; LA and
//           EP run the logarithm on r + err 2^-k rounded, LA with the HA
//           polynomial (the rounded reduced argument costs half an ulp near 0)
// Arguments at or below -1, +inf and NaN go to the per-element routine; tiny
// arguments come out as themselves (u = 1, err = x). Documented bounds per
// slot: include/vexa/vm_accuracy.def.
#include "vector_math/real/log_core.h"
#include "vector_math/scalar/ln_scalar.h"

namespace vexa::vm {
namespace {

using namespace simd;
using namespace ln_data;


// Arguments the fast path leaves: x <= -1, +inf, NaN.
template <class V> VEXA_INLINE unsigned outside(V x) {
    using T = elem<V>;
    return movemask(bit_or(cmp_not_gt(x, broadcast(T(-1))), cmp_eq(x, broadcast(std::numeric_limits<T>::infinity()))));
}

template <Acc A>
struct DLog1p : RealUnary<double, 2, VM_NAME(dLog1p), vdlog1p_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        V err;
        const V u = two_sum(broadcast(1.0), x, err);
        special = outside(x);
        return keep_sign(log_core::ln_of_sum<A>(u, err), x);
    }
};

template <Acc A>
struct SLog1p : RealUnary<float, A == Acc::HA ? 1 : 2, VM_NAME(sLog1p), vslog1p_cout_rare> {
    using V = simd::vec<float>;
    static VEXA_INLINE V fast(V x, unsigned& special) {
        V err;
        const V u = two_sum(broadcast(1.0f), x, err);
        V result;
        if constexpr (A == Acc::HA) {
            const log_core::SPair l = log_core::ln_ha(log_core::reduce(u));
            const V q = err / u;
            result = l.hi + (l.lo + fma(q * broadcast(-0.5f), q, q));
        } else {
            result = log_core::ln_of_sum<A>(u, err);
        }
        special = outside(x);
        return keep_sign(result, x);
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dLog1p_S9HAynn(int n, const double* a, double* r) { unary<DLog1p<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dLog1p_S9LAynn(int n, const double* a, double* r) { unary<DLog1p<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dLog1p_S9EPnnn(int n, const double* a, double* r) { unary<DLog1p<Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sLog1p_S9HAynn(int n, const float* a, float* r) { unary<SLog1p<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sLog1p_S9LAynn(int n, const float* a, float* r) { unary<SLog1p<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sLog1p_S9EPnnn(int n, const float* a, float* r) { unary<SLog1p<Acc::EP>>(n, a, r); }
}
