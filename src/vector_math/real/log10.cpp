// Log10 (s, d), on the logarithm's reduction (log_core.h) with its own rows of
// -log10(2^e c).
//   dLog10 HA  (k lg2_hi + T_hi) + (r A_hi + (k lg2_lo + T_lo + r A_lo + e + r^2 P(r))),
//              A = 1/ln10, e the rounding error of r A_hi, error-free high sum,
//              P of degree 4 (the Taylor series of log10(1 + r) scaled)
//   dLog10 LA  k lg2 + (T + (r A + r^2 P(r))), P of degree 3
//   dLog10 EP  without the table: k lg2 + 2 atanh((m - 1)/(m + 1)) / ln10 (log_core.h)
//   sLog10 HA  in double: the EP logarithm of double x (2^-34), rounded once
//   sLog10 LA  k lg2 + A (r + r^2 P(r)) with the HA logarithm's P of degree 8
//   sLog10 EP  A times the EP logarithm
// Zero, negative, subnormal, infinite and NaN arguments go to the per-element
// routine. Documented bounds per slot: include/vexa/vm_accuracy.def.
#include <cfloat>

#include "vector_math/real/log_core.h"
#include "vector_math/scalar/ln_scalar.h"

namespace vexa::vm {
namespace {

using namespace simd;
using namespace ln_data;


template <Acc A>
struct DLog10 : RealUnary<double, 2, VM_NAME(dLog10), vdlog10_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        if constexpr (A == Acc::EP) {
            special = not_positive_normal(x);
            return log_core::log_atanh<6>(log_core::reduce_atanh(x), kInvLn10Hi, kLg2);
        }
        const log_core::DReduced d = log_core::reduce(x, tables::kLog10Pairs);
        const V r = d.r, r2 = r * r;
        V result;
        if constexpr (A == Acc::HA) {
            const V p = fma(r2 * r2, broadcast(kL10HaC6),
                            fma(r2, fma(r, broadcast(kL10HaC5), broadcast(kL10HaC4)),
                                fma(r, broadcast(kL10HaC3), broadcast(kL10HaC2))));
            const V a = d.k * broadcast(kLg2Hi);  // exact: the constant ends in zeros
            const V hi = a + d.t;
            const V err = (a - hi) + d.t;  // |a| >= |T_hi| whenever k != 0
            const V ra = r * broadcast(kInvLn10Hi);
            const V ra_err = fma(r, broadcast(kInvLn10Hi), -ra);
            const V t_lo = lookup_at(tables::kLogLo + 1, d.off);
            const V lo = fma(r2, p, fma(d.k, broadcast(kLg2Lo), t_lo) + fma(r, broadcast(kInvLn10Lo), ra_err));
            result = hi + (ra + (lo + err));
        } else {
            const V p =
                fma(r2, fma(r, broadcast(kL10LaC5), broadcast(kL10LaC4)), fma(r, broadcast(kL10LaC3), broadcast(kL10LaC2)));
            result = fma(d.k, broadcast(kLg2), d.t + fma(r2, p, r * broadcast(kInvLn10Hi)));
        }
        special = not_positive_normal(x);
        return result;
    }
};

constexpr float kSInvLn10 = 0x1.bcb7b2p-2f;  // 1/ln10
constexpr float kSLg2 = 0x1.344136p-2f;  // log10(2)

template <Acc A>
struct SLog10 : RealUnary<float, A == Acc::HA ? 1 : 2, VM_NAME(sLog10), vslog10_cout_rare> {
    using V = simd::vec<float>;
    static VEXA_INLINE V fast(V x, unsigned& special) {
        const log_core::SReduced d = log_core::reduce(x);
        V result;
        if constexpr (A == Acc::HA) {
            // In double on the two halves: the table-free logarithm (2^-34)
            // rounded once to float, about half an ulp. (The float logarithm's
            // carried sum is good to about 0.37 ulp of ln x, which becomes up
            // to 0.64 ulp of log10 x where log10 x lies in a lower binade than
            // ln x: over an ulp in all.)
            auto half = [](__m128 h) {
                return narrow(log_core::log_atanh<6>(log_core::reduce_atanh(_mm256_cvtps_pd(h)), kInvLn10Hi, kLg2));
            };
            special = movemask(bit_or(cmp_not_gt(x, zero<float>()), cmp_gt_or_nan(x, broadcast(FLT_MAX))));
            return join(half(_mm256_castps256_ps128(x)), half(_mm256_extractf128_ps(x, 1)));
        } else if constexpr (A == Acc::LA) {
            const V r2 = d.r * d.r;
            result = fma(d.k, broadcast(kSLg2), fma(r2, log_core::poly_ha(d.r, r2), d.r) * broadcast(kSInvLn10));
        } else {
            result = fma(d.k, broadcast(kSLg2), log_core::poly_ep(d.r) * broadcast(kSInvLn10));
        }
        special = not_positive_normal(x);
        return result;
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dLog10_S9HAynn(int n, const double* a, double* r) { unary<DLog10<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dLog10_S9LAynn(int n, const double* a, double* r) { unary<DLog10<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dLog10_S9EPnnn(int n, const double* a, double* r) { unary<DLog10<Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sLog10_S9HAynn(int n, const float* a, float* r) { unary<SLog10<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sLog10_S9LAynn(int n, const float* a, float* r) { unary<SLog10<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sLog10_S9EPnnn(int n, const float* a, float* r) { unary<SLog10<Acc::EP>>(n, a, r); }
}
