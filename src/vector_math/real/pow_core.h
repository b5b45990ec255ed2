// x^y = exp(y ln x) for positive normal x, shared by Pow and Powx.
//
// double HA and LA: ln x = hi + lo in double-double on the logarithm's rows
// (log_core.h): k ln2_hi + T_hi + r - r^2/2 with both sums error-free, then
// the small terms (k ln2_lo, T_lo, r^3 P(r), the sums' errors, HA also the
// rounding error of r^2); P is the Taylor series of ln(1 + r) from r^3 to r^7
// (HA, relative error 2^-70.7) or to r^6 (LA). Then y ln x = ph + pl with ph
// rounded and pl its error (one FMA) plus y lo, and exp(ph + pl) on the
// exponential's fast path with pl added to its reduced argument. An error e
// in y ln x is a relative error e in the result, so ln x needs about 2^-63
// relative where |y ln x| approaches 709: the double-double is what keeps
// the result within an ulp.
// double EP: ln x by the LA logarithm (about 2^-52), exp with the degree-5
// polynomial, about 42 correct bits.
// float HA and LA: in double on two halves of the register, ln x on the
// table with two terms of P (2^-31: y ln x within 2^-24.5), exp with the
// degree-3 (HA) or degree-2 (LA) polynomial, rounded once to float.
// float EP: in float throughout (pow_ep below).
//
// Lanes the fast path leaves: x not a positive normal number (zero,
// negative, subnormal, infinite, NaN; subnormal floats are normal doubles and
// stay), |y ln x| above the exponential's limit (double) or outside the float
// exponential's range [-87.3365, 88.7228], and NaN products (y NaN or
// infinite with ln x = 0).
#pragma once

#include <cfloat>

#include "vector_math/real/exp_core.h"
#include "vector_math/real/log_core.h"

namespace vexa::vm::pow_core {

using namespace simd;
using D = vec<double>;
using S = vec<float>;


template <Acc A> VEXA_INLINE D log_dd(D x, D& lo) {
    using namespace ln_data;
    const log_core::DReduced d = log_core::reduce(x, tables::kLnPairs);
    const D r = d.r, r2 = r * r;
    const D a = d.k * broadcast(kLn2Hi);  // exact: the constant ends in zeros
    const D hi = a + d.t;
    const D err = (a - hi) + d.t;  // |a| >= |T_hi| whenever k != 0
    D e1, e2;
    const D s1 = two_sum(hi, r, e1);
    const D s2 = two_sum(s1, r2 * broadcast(-0.5), e2);
    D p = A == Acc::HA ? fma(r, broadcast(kPowC7), broadcast(kHaC6)) : broadcast(kHaC6);
    p = fma(p, r, broadcast(kHaC5));
    p = fma(p, r, broadcast(kHaC4));
    p = fma(p, r, broadcast(kHaC3));
    D small = err + (e1 + e2);
    if constexpr (A == Acc::HA) small = fma(broadcast(-0.5), fma(r, r, -r2), small);
    const D low = fma(r2 * r, p, fma(d.k, broadcast(kLn2Lo), lookup_at(tables::kLogLo, d.off))) + small;
    const D h = s2 + low;
    lo = (s2 - h) + low;  // |s2| >= |low|
    return h;
}

template <Acc A> VEXA_INLINE D pow(D x, D y, unsigned& special) {
    D ph, result;
    if constexpr (A == Acc::EP) {
        ph = y * log_core::ln_la(log_core::reduce(x, tables::kLnPairs));
        result = exp_core::exp64<false, 5>(ph);
    } else {
        D lo;
        const D hi = log_dd<A>(x, lo);
        ph = y * hi;
        const D pl = fma(y, hi, -ph) + y * lo;
        result = exp_core::exp64<true, 5>(ph, pl);
    }
    special = not_positive_normal(x) | movemask(cmp_gt_or_nan(abs(ph), broadcast(exp_data::kFastLimit)));
    return result;
}

template <Acc A> VEXA_INLINE __m128 pow_half(D x, D y, unsigned& special) {
    const D p = y * log_core::ln_short(log_core::reduce(x, tables::kLnPairs));
    const D result = exp_core::exp64<false, A == Acc::HA ? 3 : 2>(p);
    special = movemask(bit_or(cmp_gt_or_nan(p, broadcast(double(exp_data::kSOverflow))),
                              cmp_lt(p, broadcast(double(exp_data::kSSubnormal)))));
    return narrow(result);
}

// float EP in float: ln x by the LA logarithm (about 2^-21), the exponential
// with q = 0 and its LA polynomial (2^-22.6); y ln x carries the logarithm's
// error times at most 87.3, so about 2^-14.5 in all.
VEXA_INLINE S pow_ep(S x, S y, unsigned& special) {
    using namespace exp_data;
    const log_core::SReduced d = log_core::reduce(x);
    const S p = y * fma(d.k, broadcast(ln_data::kSLn2), log_core::poly_la(d.r));
    const S t = fma(p, broadcast(kSInvLn2), broadcast(kSShifter));
    const S n = t - broadcast(kSShifter);
    S r = fma(n, broadcast(-kSLn2Hi), p);
    r = fma(n, broadcast(-kSLn2Lo), r);
    S e = fma(r, broadcast(kSLaC5), broadcast(kSLaC4));
    e = fma(e, r, broadcast(kSLaC3));
    e = fma(e, r, broadcast(kSLaC2));
    e = fma(e, r, broadcast(kSLaC1));
    e = fma(e, r, broadcast(1.0f));
    // Subnormal x too: the reduction needs normal arguments.
    special = not_positive_normal(x) | movemask(cmp_gt_or_nan(abs(p), broadcast(kSFastLimit)));
    return from_int<float>(add32(as_int(e), shl32<23>(as_int(t))));
}

template <Acc A> VEXA_INLINE S pow(S x, S y, unsigned& special) {
    if constexpr (A == Acc::EP) {
        return pow_ep(x, y, special);
    } else {
        unsigned lo_special, hi_special;
        const __m128 lo = pow_half<A>(_mm256_cvtps_pd(_mm256_castps256_ps128(x)),
                                      _mm256_cvtps_pd(_mm256_castps256_ps128(y)), lo_special);
        const __m128 hi = pow_half<A>(_mm256_cvtps_pd(_mm256_extractf128_ps(x, 1)),
                                      _mm256_cvtps_pd(_mm256_extractf128_ps(y, 1)), hi_special);
        special = lo_special | (hi_special << 4) |
                  movemask(bit_or(cmp_not_gt(x, zero<float>()), cmp_gt_or_nan(x, broadcast(FLT_MAX))));
        return join(lo, hi);
    }
}

}  // namespace vexa::vm::pow_core
