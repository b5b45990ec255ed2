// The sine and cosine on the reduced argument, shared by Sin, Cos, SinCos and
// Tan (vector kernels, and the per-element routines on the same formulas).
//
// Reduction: x = n pi/2 + r, n = round(x 2/pi) by the shifter trick, with
// pi/2 = C1 + C2 + C3 (tables::kPiParts). x - n C1 is exact under FMA for any
// |x| below kFastLimit (the difference is a multiple of 2^-52 below 1, or of
// ulp(x) when |x| < 1); HA carries r as hi + lo: the rounding error of
// a - n C2 recovered by one FMA where a - b is exact, by TwoSum on an exact
// split of n C2 otherwise, and n C3 added to the low part. LA and EP round
// after each part. The truncation of pi/2 costs n 2^-160, below 2^-117 here,
// against a reduced argument never below 2^-61 for any double.
//
// Evaluation on |r| <= pi/4 (trig_data.h):
//   sin(h + l) = h + (h^3 P(h^2) + l (1 - h^2/2))
//   cos(h + l) = (1 - h^2/2) + (h^4 Q(h^2) - l h), with 1 - h^2/2 carried
//                error-free (h^2 split by FMA, the difference by Fast2Sum)
// and the quadrant n mod 4 swaps them and sets signs; below HA r and the
// heads are rounded. Sin and Cos alone below HA reduce by pi instead and
// need one odd polynomial (sin_by_pi, cos_by_pi); float arguments from 2^40
// up are reduced by a per-exponent table of 2/pi (reduce_float_big).
#pragma once

#include <cmath>
#include <iterator>
#include <type_traits>

#include "common/simd.h"
#include "vector_math/frame/kernel.h"
#include "vector_math/real/eval.h"
#include "vector_math/tables/trig_data.h"
#include "vector_math/tables/trig_tables.h"

namespace vexa::vm::trig_core {

using namespace simd;
using namespace eval;


// The argument bound of the fast reduction.
constexpr double kFastLimit = 0x1p+40;
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kShifter = 0x1.8p+52;

template <Acc A> struct Polys;
template <> struct Polys<Acc::HA> {
    static constexpr const auto& sin = trig_data::kSinHa;
    static constexpr const auto& cos = trig_data::kCosHa;
};
template <> struct Polys<Acc::LA> {
    static constexpr const auto& sin = trig_data::kSinLa;
    static constexpr const auto& cos = trig_data::kCosLa;
};
template <> struct Polys<Acc::EP> {
    static constexpr const auto& sin = trig_data::kSinEp;
    static constexpr const auto& cos = trig_data::kCosEp;
};

// A value as a rounded head and a small tail (the tail is 0 below HA).
template <class V> struct Parts {
    V hi, lo;
};

// 1 - h^2/2 - h l (z = h^2 rounded) as head and tail: h^2/2 split by FMA,
// 1 minus its head by Fast2Sum (1 >= h^2/2).
template <class V> VEXA_INLINE Parts<V> cos_head(V h, V l, V z) {
    const V half = cst<V>(0.5) * z;
    const V half_err = cst<V>(0.5) * fma(h, h, -z);  // h^2/2 = half + half_err
    const V t = cst<V>(1.0) - half;
    const V e = (cst<V>(1.0) - t) - half;
    return {t, fnma(h, l, e - half_err)};
}

// sin and cos of h + l (|h + l| <= pi/4 and a little more), each as head and tail.
template <Acc A, class V> VEXA_INLINE void sin_cos_parts(V h, V l, Parts<V>* s, Parts<V>* c) {
    using P = Polys<A>;
    const V z = h * h;
    if (s != nullptr) {
        s->hi = h;
        if constexpr (A == Acc::HA) s->lo = fma(h * z, horner(z, P::sin), fma(cst<V>(-0.5) * z, l, l));
        else s->lo = h * z * horner(z, P::sin);
    }
    if (c != nullptr) {
        if constexpr (A == Acc::HA) {
            const Parts<V> head = cos_head(h, l, z);
            c->hi = head.hi;
            c->lo = fma(z * z, horner(z, P::cos), head.lo);
        } else {
            c->hi = fnma(cst<V>(0.5), z, cst<V>(1.0));
            c->lo = z * z * horner(z, P::cos);
        }
    }
}

// The quotient (a_hi + a_lo) / (b_hi + b_lo): for HA both renormalised
// (Fast2Sum: |lo| < |hi|), the quotient of the heads by one reciprocal,
// corrected by its exact remainder and the tails; otherwise the rounded
// quotient of the sums.
template <Acc A, class V> VEXA_INLINE V quotient(const Parts<V>& a, const Parts<V>& b) {
    if constexpr (A == Acc::HA) {
        const V ah = a.hi + a.lo, al = (a.hi - ah) + a.lo;
        const V bh = b.hi + b.lo, bl = (b.hi - bh) + b.lo;
        const V inv = cst<V>(1.0) / bh;
        const V q = ah * inv;
        const V rem = fnma(q, bh, ah);  // exact: q is within an ulp of ah / bh
        return q + (rem + fnma(q, bl, al)) * inv;
    } else {
        return (a.hi + a.lo) / (b.hi + b.lo);
    }
}

// ---- the vector reduction ----------------------------------------------------

struct VReduced {
    __m256d hi, lo;
    __m256i n;  // n in the low bits of each lane
};

template <Acc A> VEXA_INLINE VReduced reduce(__m256d x) {
    const double* pi = tables::kPiParts;
    const __m256d t = fma(x, cst<__m256d>(kTwoOverPi), cst<__m256d>(kShifter));
    const __m256d n = t - cst<__m256d>(kShifter);
    const __m256d a = fnma(n, broadcast(pi[0]), x);  // exact
    VReduced r;
    r.n = as_int(t);
    if constexpr (A == Acc::HA) {
        // b = a - n C2 rounded; where |n C2| <= |a|/2, a - b is exact
        // (Sterbenz) and n C2 - (a - b) is b's rounding error, so one more
        // FMA gives the tail. Otherwise (|a| below 2^-12: arguments very near
        // a multiple of pi/2) n C2 is split exactly and subtracted by TwoSum.
        // Each lane's result depends on its own argument only: the second
        // way replaces the first lane by lane.
        const __m256d c2 = broadcast(pi[1]);
        const __m256d b = fnma(n, c2, a);
        const __m256d ph = n * c2;
        r.hi = b;
        r.lo = fnma(n, broadcast(pi[2]), fnma(n, c2, a - b));
        const __m256d near = cmp_lt(abs(a), abs(ph + ph));
        if (__builtin_expect(movemask(near) != 0, 0)) {
            const __m256d pl = fma(n, c2, -ph);  // n C2 = ph + pl
            __m256d e;
            const __m256d hi = two_sum(a, -ph, e);
            const __m256d lo = fnma(n, broadcast(pi[2]), e - pl);
            const __m256d sum = hi + lo;  // |hi| > |lo| unless hi = 0
            r.lo = select(near, (hi - sum) + lo, r.lo);
            r.hi = select(near, sum, r.hi);
        }
    } else {
        r.hi = fnma(n, broadcast(pi[2]), fnma(n, broadcast(pi[1]), a));
        r.lo = _mm256_setzero_pd();
    }
    return r;
}

// Float arguments at or above kFastLimit (x a double half of a float
// register): x = m 2^(E - 150) with m a 24-bit integer, and x 2/pi = m c_E
// (mod 4) with c_E = hi + mid + lo from tables::kFloatTwoOverPi. m hi and
// m mid are exact (51 bits each); hi's product is taken mod 4, n is the
// nearest integer to the sum, and f = (m hi mod 4 - n) + m mid is exact (a
// multiple of 2^-52 below 1); m lo is added as a tail and r = f pi/2 in
// double-double. Absolute error below 2^-80 for every float, whose reduced
// arguments are never below 2^-30.
VEXA_INLINE VReduced reduce_float_big(__m256d x) {
    const double* pi = tables::kPiParts;
    const __m256i d = and_bits(shr64<52>(as_int(x)), splat64(0x7FF));  // biased double exponent: E + 896
    const __m256d m = abs(x) * from_int<double>(shl64<52>(sub64(splat64(2069), d)));  // |x| 2^(150 - E)
    __m128i e = _mm_sub_epi32(low_words(d), _mm_set1_epi32(896));
    e = _mm_min_epi32(_mm_max_epi32(e, _mm_setzero_si128()), _mm_set1_epi32(255));  // other lanes: any row
    const __m128i off = _mm_slli_epi32(e, 5);                                         // 32-byte rows
    __m256d hi, mid;
    lookup_pairs_at(tables::kFloatTwoOverPi, off, hi, mid);
    const __m256d lo = lookup_at(tables::kFloatTwoOverPi + 2, off);
    __m256d p1 = m * hi;
    p1 = fnma(broadcast(4.0), round<1>(p1 * broadcast(0.25)), p1);  // mod 4, exact
    const __m256d p2 = m * mid;
    const __m256d n = round<0>(p1 + p2);
    const __m256d f = (p1 - n) + p2;  // exact
    __m256d fl;
    const __m256d fh = two_sum(f, m * lo, fl);
    const __m256d rh = fh * broadcast(pi[0]);
    const __m256d rl = fma(fh, broadcast(pi[0]), -rh) + fma(fh, broadcast(pi[1]), fl * broadcast(pi[0]));
    const __m256d sign = sign_of(x);
    VReduced r;
    r.hi = rh + rl;
    r.lo = bit_xor((rh - r.hi) + rl, sign);
    r.hi = bit_xor(r.hi, sign);
    r.n = as_int(bit_xor(n, sign) + broadcast(kShifter));  // n mod 4 in the low bits, -n below zero
    return r;
}

// The reduction of a register: for FromFloat (the double halves of a float
// register) the lanes at or above kFastLimit by the float table.
template <Acc A, bool FromFloat> VEXA_INLINE VReduced reduce_any(__m256d x) {
    VReduced r = reduce<A>(x);
    if constexpr (FromFloat) {
        const __m256d big = cmp_ge(abs(x), broadcast(kFastLimit));
        if (movemask(big) != 0) {
            const VReduced b = reduce_float_big(x);
            r.hi = select(big, b.hi, r.hi);
            r.lo = select(big, b.lo, r.lo);
            r.n = _mm256_blendv_epi8(r.n, b.n, as_int(big));
        }
    }
    return r;
}

// Quadrant masks from n: the sign bit set where n is odd (swap sin and cos),
// and where the sine's (n mod 4 in {2, 3}) or the cosine's (n mod 4 in {1, 2})
// sign flips.
VEXA_INLINE __m256d odd_of(__m256i n) { return from_int<double>(shl64<63>(n)); }
VEXA_INLINE __m256d sin_sign_of(__m256i n) { return from_int<double>(shl64<63>(shr64<1>(n))); }
VEXA_INLINE __m256d cos_sign_of(__m256i n) { return from_int<double>(shl64<63>(shr64<1>(add64(n, splat64(1))))); }

// sin x and cos x of a register (either pointer may be null), lanes below kFastLimit.
template <Acc A, bool FromFloat = false> VEXA_INLINE void sin_cos(__m256d x, __m256d* sin_out, __m256d* cos_out) {
    const VReduced r = reduce_any<A, FromFloat>(x);
    Parts<__m256d> s, c;
    sin_cos_parts<A>(r.hi, r.lo, &s, &c);
    const __m256d sv = s.hi + s.lo, cv = c.hi + c.lo;
    const __m256d odd = odd_of(r.n);
    if (sin_out != nullptr) *sin_out = bit_xor(select(odd, cv, sv), sin_sign_of(r.n));
    if (cos_out != nullptr) *cos_out = bit_xor(select(odd, sv, cv), cos_sign_of(r.n));
}

// sin r in the lanes where use_cos has a clear sign bit and cos r where it
// is set: one polynomial per lane, its coefficients chosen by lane, and the
// heads and tails of sin_cos_parts.
template <Acc A> VEXA_INLINE __m256d sin_or_cos(__m256d h, __m256d l, __m256d use_cos) {
    using P = Polys<A>;
    constexpr int N = int(std::size(P::sin));
    static_assert(N == int(std::size(P::cos)));
    const __m256d z = h * h;
    __m256d p = select(use_cos, broadcast(P::cos[N - 1]), broadcast(P::sin[N - 1]));
    for (int i = N - 2; i >= 0; --i) p = fma(p, z, select(use_cos, broadcast(P::cos[i]), broadcast(P::sin[i])));
    const __m256d mult = select(use_cos, z * z, h * z);
    if constexpr (A == Acc::HA) {
        const Parts<__m256d> c = cos_head(h, l, z);
        const __m256d extra = select(use_cos, c.lo, fma(broadcast(-0.5) * z, l, l));
        return select(use_cos, c.hi, h) + fma(mult, p, extra);
    } else {
        return fma(mult, p, select(use_cos, fnma(broadcast(0.5), z, broadcast(1.0)), h));
    }
}

// sin x alone and cos x alone: the polynomial the quadrant asks for.
template <Acc A, bool FromFloat = false> VEXA_INLINE __m256d sin_only(__m256d x) {
    const VReduced r = reduce_any<A, FromFloat>(x);
    return bit_xor(sin_or_cos<A>(r.hi, r.lo, odd_of(r.n)), sin_sign_of(r.n));
}
template <Acc A, bool FromFloat = false> VEXA_INLINE __m256d cos_only(__m256d x) {
    const VReduced r = reduce_any<A, FromFloat>(x);
    return bit_xor(sin_or_cos<A>(r.hi, r.lo, from_int<double>(shl64<63>(add64(r.n, splat64(1))))), cos_sign_of(r.n));
}

// Sin and Cos alone below HA: a reduction by pi and one odd polynomial,
// sin r = r + r^3 P(r^2) on |r| <= pi/2, with no choice between polynomials:
//   sin x = (-1)^n sin r,          n = round(x/pi),             r = x - n pi
//   cos x = (-1)^((q+1)/2) sin r,  q = 2 round(x/pi - 1/2) + 1,  r = x - q pi/2
// r in three parts (x - n P1 and x - q P1/2 are exact). The same source for
// double (pi = 2 (C1 + C2 + C3), degree 8 for LA and 4 for EP) and for float
// in float arithmetic (pi in three floats, degree 3 and 2; |x| below
// kFloatWideLimit, lanes beyond computed in double: float_or_wide).
constexpr double kInvPi = 0x1.45f306dc9c883p-2;
constexpr float kFloatWideLimit = 0x1p17f;

template <class T> struct Wide;
template <> struct Wide<double> {
    static constexpr double kShifter = trig_core::kShifter;
    static double pi(int k) { return 2 * tables::kPiParts[k]; }
    template <Acc A> static constexpr const auto& poly() {
        if constexpr (A == Acc::LA) return trig_data::kSinWideLa;
        else return trig_data::kSinWideEp;
    }
    // The sign bit from bit 0 of each lane's integer.
    static __m256d sign_from(__m256i v) { return from_int<double>(shl64<63>(v)); }
    static __m256i plus_one(__m256i v) { return add64(v, splat64(1)); }
};
template <> struct Wide<float> {
    static constexpr float kShifter = 0x1.8p23f;
    static float pi(int k) { return float(tables::kPiFloatParts[k]); }
    template <Acc A> static constexpr const auto& poly() {
        if constexpr (A == Acc::LA) return trig_data::kSSinWideLa;
        else return trig_data::kSSinWideEp;
    }
    static __m256 sign_from(__m256i v) { return from_int<float>(shl32<31>(v)); }
    static __m256i plus_one(__m256i v) { return add32(v, splat32(1)); }
};

template <Acc A, class V> VEXA_INLINE V odd_poly_of(V r) {
    using W = Wide<elem<V>>;
    const V z = r * r;
    return fma(r * z, horner(z, W::template poly<A>()), r);
}
template <Acc A, class V> VEXA_INLINE V sin_by_pi(V x) {
    using T = elem<V>;
    using W = Wide<T>;
    const V t = fma(x, cst<V>(kInvPi), broadcast(W::kShifter));
    const V n = t - broadcast(W::kShifter);
    V r = fnma(n, broadcast(W::pi(0)), x);
    r = fnma(n, broadcast(W::pi(2)), fnma(n, broadcast(W::pi(1)), r));
    return bit_xor(odd_poly_of<A>(r), W::sign_from(as_int(t)));
}
template <Acc A, class V> VEXA_INLINE V cos_by_pi(V x) {
    using T = elem<V>;
    using W = Wide<T>;
    const V t = fma(x, cst<V>(kInvPi), cst<V>(-0.5)) + broadcast(W::kShifter);
    const V q = fma(t - broadcast(W::kShifter), cst<V>(2.0), cst<V>(1.0));
    const V half = cst<V>(0.5);
    V r = fnma(q, half * broadcast(W::pi(0)), x);
    r = fnma(q, half * broadcast(W::pi(2)), fnma(q, half * broadcast(W::pi(1)), r));
    return bit_xor(odd_poly_of<A>(r), W::sign_from(W::plus_one(as_int(t))));
}
// Double registers (FromFloat: the halves of a float register, whose lanes
// from kFastLimit up take the table reduction and the quadrant formulas).
template <Acc A, bool FromFloat = false> VEXA_INLINE __m256d sin_wide(__m256d x) {
    static_assert(A != Acc::HA);
    __m256d r = sin_by_pi<A>(x);
    if constexpr (FromFloat) {
        const __m256d big = cmp_ge(abs(x), broadcast(kFastLimit));
        if (movemask(big) != 0) r = select(big, sin_only<A, true>(x), r);
    }
    return r;
}
template <Acc A, bool FromFloat = false> VEXA_INLINE __m256d cos_wide(__m256d x) {
    static_assert(A != Acc::HA);
    __m256d r = cos_by_pi<A>(x);
    if constexpr (FromFloat) {
        const __m256d big = cmp_ge(abs(x), broadcast(kFastLimit));
        if (movemask(big) != 0) r = select(big, cos_only<A, true>(x), r);
    }
    return r;
}

// Float SinCos and Tan below HA, in float for |x| < kFloatWideLimit:
// x = n pi/2 + r (pi/2 in three floats), sin r and cos r by the EP fits of
// the double kernels (coefficients rounded to float, error far below LA's).
struct FloatQuadrant {
    __m256 s, c;  // sin r, cos r
    __m256i n;    // n in the low bits
};
VEXA_INLINE FloatQuadrant sin_cos_float(__m256 x) {
    const double* pi = tables::kPiFloatParts;
    const __m256 t = fma(x, broadcast(float(kTwoOverPi)), broadcast(Wide<float>::kShifter));
    const __m256 n = t - broadcast(Wide<float>::kShifter);
    __m256 r = fnma(n, broadcast(float(0.5 * pi[0])), x);
    r = fnma(n, broadcast(float(0.5 * pi[2])), fnma(n, broadcast(float(0.5 * pi[1])), r));
    const __m256 z = r * r;
    FloatQuadrant q;
    q.s = fma(r * z, horner(z, trig_data::kSinEp), r);
    q.c = fma(z * z, horner(z, trig_data::kCosEp), fnma(broadcast(0.5f), z, broadcast(1.0f)));
    q.n = as_int(t);
    return q;
}
VEXA_INLINE void sincos_float(__m256 x, __m256& sin_out, __m256& cos_out) {
    const FloatQuadrant q = sin_cos_float(x);
    const __m256 odd = from_int<float>(shl32<31>(q.n));
    sin_out = bit_xor(select(odd, q.c, q.s), from_int<float>(shl32<31>(shr32<1>(q.n))));
    cos_out = bit_xor(select(odd, q.s, q.c), from_int<float>(shl32<31>(shr32<1>(add32(q.n, splat32(1))))));
}
VEXA_INLINE __m256 tan_float(__m256 x) {
    const FloatQuadrant q = sin_cos_float(x);
    const __m256 odd = from_int<float>(shl32<31>(q.n));
    return bit_xor(select(odd, q.c, q.s) / select(odd, q.s, q.c), bit_and(odd, broadcast(-0.0f)));
}

// The float formulas where |x| < kFloatWideLimit; where a lane is beyond (or
// NaN), those lanes from `wide` (a double evaluation), so that every lane's
// result depends on its own argument only.
template <class F, class G> VEXA_INLINE __m256 float_or_wide(__m256 x, F in_float, G wide) {
    const __m256 r = in_float(x);
    const __m256 beyond = cmp_not_gt(broadcast(kFloatWideLimit), abs(x));
    if (__builtin_expect(movemask(beyond) == 0, 1)) return r;
    return select(beyond, wide(x), r);
}

// tan x of a register: sin r / cos r, or -cos r / sin r in the odd quadrants.
template <Acc A, bool FromFloat = false> VEXA_INLINE __m256d tan(__m256d x) {
    const VReduced r = reduce_any<A, FromFloat>(x);
    Parts<__m256d> s, c;
    sin_cos_parts<A>(r.hi, r.lo, &s, &c);
    const __m256d odd = odd_of(r.n);
    const Parts<__m256d> num{select(odd, c.hi, s.hi), select(odd, c.lo, s.lo)};
    const Parts<__m256d> den{select(odd, s.hi, c.hi), select(odd, s.lo, c.lo)};
    return bit_xor(quotient<A>(num, den), bit_and(odd, broadcast(-0.0)));
}

// Lanes the fast path leaves: double |x| at or above kFastLimit, float
// infinities; NaN.
VEXA_INLINE unsigned outside(__m256d x) { return movemask(cmp_gt_or_nan(abs(x), broadcast(kFastLimit))); }
VEXA_INLINE unsigned outside(__m256 x) {
    return movemask(cmp_gt_or_nan(abs(x), broadcast(std::numeric_limits<float>::max())));
}

}  // namespace vexa::vm::trig_core
