// Acosh (s, d) (hyperbolic_core.h):
//   d     ln(x + s) with x^2 - 1, s = sqrt(x^2 - 1) and x + s carried as
//         sums, the logarithm of the sum by the HA, LA or EP logarithm; from
//         2^28 on ln x + ln 2
//   s HA  (generation T7) in double on the d LA formulas; it runs under the
//         caller's floating-point settings and reports nothing: below 1 NaN,
//         +inf and NaN x + x, computed in the register
//   s LA  log1p(v) in float with d = x - 1, v = d + sqrt(d (d + 2)) carried
//         as a sum; from 2^12 on ln x + ln 2
//   s EP  the same with v rounded and the EP logarithm
// Otherwise arguments below 1, -inf, +inf and NaN go to the per-element
// routine. Documented bounds per slot: include/vexa/vm_accuracy.def.
#include "vector_math/real/hyperbolic_core.h"
#include "vector_math/scalar/hyperbolic_scalar.h"

namespace vexa::vm {
namespace {

using namespace simd;
using hyperbolic_core::S;

// Lanes outside [1, max]: below 1, infinite, NaN.
template <class V> VEXA_INLINE V inside(V x) {
    using T = elem<V>;
    return bit_and(cmp_not_gt(broadcast(T(1)), x), cmp_not_gt(x, broadcast(std::numeric_limits<T>::max())));
}
template <class V> VEXA_INLINE unsigned outside(V x) { return movemask(inside(x)) ^ ((1u << lanes<elem<V>>) - 1u); }

template <Acc A> struct DAcosh : RealUnary<double, 2, VM_NAME(dAcosh), vdacosh_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = outside(x);
        return hyperbolic_core::acosh_of<A>(x);
    }
};

template <Acc A> VEXA_INLINE S acosh_float(S x) {
    using namespace hyperbolic_data;
    const S big = _mm256_cmp_ps(x, broadcast(kSBig), _CMP_GE_OQ);
    const S d = x - broadcast(1.0f);
    const S s = simd::sqrt(d * (d + broadcast(2.0f)));
    S v, vl, e;
    if constexpr (A == Acc::LA) v = two_sum(d, s, vl);
    else v = d + s;
    const S u = two_sum(broadcast(1.0f), v, e);
    if constexpr (A == Acc::LA) e = e + vl;
    return log_core::ln_of_sum<A, true>(select(big, x, u), select(big, zero<float>(), e),
                                        bit_and(big, broadcast(1.0f)));
}

template <Acc A> struct SAcosh : RealUnary<float, 2, VM_NAME(sAcosh), vsacosh_cout_rare> {
    using V = simd::vec<float>;
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = outside(x);
        return acosh_float<A>(x);
    }
};

// Generation T7: no frame, no error path.
struct SAcoshT7 : RealKernel<float, 1, 1, false, false> {
    static VEXA_INLINE V fast(V x, unsigned&) {
        const V y = eval::via_double(x, hyperbolic_core::acosh_of<Acc::EP>);
        const V bad = select(cmp_lt(x, broadcast(1.0f)), broadcast(std::numeric_limits<float>::quiet_NaN()), x + x);
        return select(inside(x), y, bad);
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dAcosh_S9HAynn(int n, const double* a, double* r) { unary<DAcosh<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dAcosh_S9LAynn(int n, const double* a, double* r) { unary<DAcosh<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dAcosh_S9EPnnn(int n, const double* a, double* r) { unary<DAcosh<Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sAcosh_T7HAynn(int n, const float* a, float* r) { unary<SAcoshT7>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sAcosh_S9LAynn(int n, const float* a, float* r) { unary<SAcosh<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sAcosh_S9EPnnn(int n, const float* a, float* r) { unary<SAcosh<Acc::EP>>(n, a, r); }
}
