// The arctangent of a quotient a/b (a, b >= 0), shared by Atan (b = 1) and
// Atan2 (a = |y|, b = |x|), vector kernels and per-element routines alike.
//
// Reduction by the octant of a/b, decided by comparing a with b tan(pi/8)
// and b tan(3pi/8), to u with |u| <= tan(pi/8):
//   a/b <= tan(pi/8)   u = a / b                 atan = u
//   a/b >= tan(3pi/8)  u = -b / a                atan = pi/2 + atan u
//   otherwise          u = (a - b) / (a + b)     atan = pi/4 + atan u
// For HA the numerator and denominator are carried exactly (TwoSum), the
// quotient as a rounded head and a tail from its exact remainder, and the
// base plus u summed error-free; atan u = u + u^3 P(u^2) (trig_data.h).
// The result is returned as head and tail before the last rounding, so that
// Atan2 can take it from pi without losing the tail.
#pragma once

#include "vector_math/real/trig_core.h"

namespace vexa::vm::atan_core {

using namespace simd;
using trig_core::cst;
using trig_core::Parts;
using trig_core::horner;
using trig_core::fma;
using trig_core::fnma;

template <Acc A> struct Polys;
template <> struct Polys<Acc::HA> { static constexpr const auto& p = trig_data::kAtanHa; };
template <> struct Polys<Acc::LA> { static constexpr const auto& p = trig_data::kAtanLa; };
template <> struct Polys<Acc::EP> { static constexpr const auto& p = trig_data::kAtanEp; };

constexpr double kTanPi8 = 0x1.a827999fcef32p-2;
constexpr double kTan3Pi8 = 0x1.3504f333f9de6p+1;

// atan(a / b) for finite a, b >= 0 not both zero, with their quotient and
// sum in the normal range.
template <Acc A> VEXA_INLINE Parts<__m256d> atan_ratio(__m256d a, __m256d b) {
    const double* pi = tables::kPiParts;
    const __m256d low = cmp_not_gt(a, b * broadcast(kTanPi8));   // a/b <= tan(pi/8)
    const __m256d high = cmp_ge(a, b * broadcast(kTan3Pi8));      // a/b >= tan(3pi/8)
    __m256d nl, dl;
    const __m256d diff = two_sum(a, -b, nl);
    const __m256d sum = two_sum(a, b, dl);
    const __m256d zero = _mm256_setzero_pd();
    __m256d nh = select(low, a, select(high, -b, diff));
    __m256d dh = select(low, b, select(high, a, sum));
    nl = select(bit_or(low, high), zero, nl);
    dl = select(bit_or(low, high), zero, dl);
    const __m256d base_hi = select(low, zero, select(high, broadcast(pi[6]), broadcast(pi[4])));
    const __m256d base_lo = select(low, zero, select(high, broadcast(pi[7]), broadcast(pi[5])));
    const __m256d inv = broadcast(1.0) / dh;
    const __m256d uh = nh * inv;
    const __m256d z = uh * uh;
    const __m256d tail = uh * z * horner(z, Polys<A>::p);
    if constexpr (A == Acc::HA) {
        const __m256d rem = fnma(uh, dh, nh);  // exact: uh is within an ulp of nh / dh
        const __m256d ul = (rem + fnma(uh, dl, nl)) * inv;
        __m256d e;
        const __m256d s = two_sum(base_hi, uh, e);
        // atan(uh + ul) = atan uh + ul / (1 + uh^2) to far below an ulp
        return {s, e + base_lo + fnma(ul, z, ul) + tail};
    } else {
        return {base_hi + uh, base_lo + tail};
    }
}

// Float atan(a / b) below HA, in float: the same octants, u rounded, atan u =
// u + u^3 P(u^2) with P of degree 3 (LA) or 1 (EP), the base as a float
// head and tail. a + b must not overflow (a, b below 2^126).
template <Acc A> struct FloatPolys;
template <> struct FloatPolys<Acc::LA> { static constexpr const auto& p = trig_data::kSAtanLa; };
template <> struct FloatPolys<Acc::EP> { static constexpr const auto& p = trig_data::kSAtanEp; };

template <Acc A> VEXA_INLINE __m256 atan_ratio_float(__m256 a, __m256 b, __m256& base_lo) {
    const double* pi = tables::kPiParts;
    const __m256 low = cmp_not_gt(a, b * broadcast(float(kTanPi8)));
    const __m256 high = _mm256_cmp_ps(a, b * broadcast(float(kTan3Pi8)), _CMP_GE_OQ);
    const __m256 nh = select(low, a, select(high, -b, a - b));
    const __m256 dh = select(low, b, select(high, a, a + b));
    const __m256 zero = _mm256_setzero_ps();
    // pi/4 and pi/2 as float head and tail
    const float q_hi = trig_core::head_of(pi[4]), q_lo = trig_core::tail_of(pi[4]);
    const __m256 base_hi = select(low, zero, select(high, broadcast(2 * q_hi), broadcast(q_hi)));
    base_lo = select(low, zero, select(high, broadcast(2 * q_lo), broadcast(q_lo)));
    const __m256 u = nh / dh;
    const __m256 z = u * u;
    return base_hi + fma(u * z, horner(z, FloatPolys<A>::p), u + base_lo);
}

}  // namespace vexa::vm::atan_core
