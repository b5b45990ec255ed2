// The arcsine core shared by Asin and Acos: asin s = s + s^3 P(s^2) on
// 0 <= s <= 1/2 (trig_data.h), reached two ways from a = |x|:
//   a <= 1/2   s = a, z = a^2
//   a > 1/2    z = (1 - a)/2 exactly, s = sqrt z (HA: with the tail
//              (z - s^2)/(2s) of the root), and asin a = pi/2 - 2 asin s
// Each function is then base + k w with w = asin s, k in {+-1, +-2} (exact
// multiples), summed error-free for HA and returned before the last rounding.
#pragma once

#include <cmath>

#include "vector_math/real/trig_core.h"
#include "vector_math/scalar/fp_bits.h"

namespace vexa::vm::asin_core {

using namespace simd;
using trig_core::horner;
using trig_core::fnma;

template <Acc A> struct Polys;
template <> struct Polys<Acc::HA> { static constexpr const auto& p = trig_data::kAsinHa; };
template <> struct Polys<Acc::LA> { static constexpr const auto& p = trig_data::kAsinLa; };
template <> struct Polys<Acc::EP> { static constexpr const auto& p = trig_data::kAsinEp; };

struct Arcsine {
    __m256d far;     // mask: a > 1/2
    __m256d wh, wl;  // asin s as head and tail
};

template <Acc A> VEXA_INLINE Arcsine arcsine(__m256d a) {
    const __m256d half = broadcast(0.5);
    const __m256d far = cmp_lt(half, a);
    const __m256d zf = (broadcast(1.0) - a) * half;  // exact for a in [1/2, 1]
    const __m256d z = select(far, zf, a * a);
    const __m256d root = sqrt(zf);
    const __m256d s = select(far, root, a);
    __m256d sl = _mm256_setzero_pd();
    if constexpr (A == Acc::HA) sl = select(far, fnma(root, root, zf) / (root + root + broadcast(0x1p-1000)), sl);  // 0 at a = 1
    const __m256d tail = s * z * horner(z, Polys<A>::p);
    return {far, s, sl + tail};
}

// base + k w, head and tail summed: HA error-free, otherwise rounded twice.
template <Acc A> VEXA_INLINE __m256d combine(__m256d base_hi, __m256d base_lo, __m256d k, const Arcsine& w) {
    const __m256d kw = k * w.wh;  // exact
    if constexpr (A == Acc::HA) {
        __m256d e;
        const __m256d s = two_sum(base_hi, kw, e);
        return s + (e + fma(k, w.wl, base_lo));
    } else {
        return (base_hi + kw) + fma(k, w.wl, base_lo);
    }
}

// Float below HA, in float: the same two ways with P of degree 4 (LA) or 2
// (EP), the root and u rounded, the bases as float head and tail.
template <Acc A> struct FloatPolys;
template <> struct FloatPolys<Acc::LA> { static constexpr const auto& p = trig_data::kSAsinLa; };
template <> struct FloatPolys<Acc::EP> { static constexpr const auto& p = trig_data::kSAsinEp; };

struct FloatArcsine {
    __m256 far, w, tail;
};
template <Acc A> VEXA_INLINE FloatArcsine arcsine_float(__m256 a) {
    const __m256 half = broadcast(0.5f);
    const __m256 far = _mm256_cmp_ps(half, a, _CMP_LT_OQ);
    const __m256 zf = (broadcast(1.0f) - a) * half;
    const __m256 z = select(far, zf, a * a);
    const __m256 s = select(far, sqrt(zf), a);
    return {far, s, s * z * trig_core::horner(z, FloatPolys<A>::p)};
}
// base + k w in float, the base's tail added with k times w's tail.
VEXA_INLINE __m256 combine_float(__m256 base_hi, __m256 base_lo, __m256 k, const FloatArcsine& w) {
    return fma(k, w.w, base_hi) + fma(k, w.tail, base_lo);
}

// The per-element routine of Asin and Acos: NaN through (status 0), |x| > 1
// and the infinities NaN (status 1).
template <class T> int outside_rare(const T* a, T* r) {
    if (std::isnan(*a)) {
        *r = *a + *a;
        return 0;
    }
    *r = T(invalid_result());
    return VEXA_VM_STATUS_DOMAIN;
}

// Lanes the fast path leaves: |x| > 1 and NaN.
VEXA_INLINE unsigned outside(__m256d x) { return movemask(cmp_gt_or_nan(abs(x), broadcast(1.0))); }
VEXA_INLINE unsigned outside(__m256 x) { return movemask(cmp_gt_or_nan(abs(x), broadcast(1.0f))); }

}  // namespace vexa::vm::asin_core
