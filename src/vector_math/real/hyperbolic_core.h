// The mathematics shared by the hyperbolic kernels (Sinh, Cosh, Tanh, Asinh,
// Acosh, Atanh), on the exponential's and the logarithm's machinery
// (exp_core.h, log_core.h).
//
// Float Sinh, Cosh and Tanh, in float lanes (LA, EP) or in double lanes for
// the HA kernels, one template: |x| = N ln2 + r with N = floor(|x|/ln2) and
// 0 <= r < ln2, and with sh_N, ch_N = (2^N -+ 2^-N)/2 (exponent fields):
//   sinh|x| = S(r) ch_N + C(r) sh_N,  cosh|x| = S(r) sh_N + C(r) ch_N
// with S, C polynomials of sinh r and cosh r (hyperbolic_data.h). Every term
// is positive, so nothing cancels; N = 0 leaves S(r) itself for small |x|.
//
// The inverse functions in double, as logarithms of a sum carried to about
// 2^-100 (log_core::ln_of_sum):
//   asinh|x| = ln(|x| + s), s = sqrt(1 + x^2)
//   acosh x  = ln(x + s),   s = sqrt(x^2 - 1)
// with x^2 + 1 or x^2 - 1 exact as a sum (the square split by FMA, the sum by
// TwoSum), s corrected by its residual, and |x| + s by Fast2Sum; from 2^28 on
// the logarithm of |x| with ln 2 added. Near 0 (Asinh) and near 1 (Acosh)
// the sum keeps what a rounded argument would lose.
//   atanh|x| = ln(1 + q)/2, q = 2|x|/(1 - |x|), q carried as a sum (HA) by
//              its exact residual
#pragma once

#include "vector_math/frame/kernel.h"
#include "vector_math/real/eval.h"
#include "vector_math/real/exp_core.h"
#include "vector_math/real/log_core.h"
#include "vector_math/tables/hyperbolic_data.h"

namespace vexa::vm::hyperbolic_core {

using namespace simd;
using namespace eval;
using namespace hyperbolic_data;
using D = vec<double>;
using S = vec<float>;

// ---- float Sinh, Cosh, Tanh -----------------------------------------------------

template <Acc A, class V> struct FloatPolys;
template <> struct FloatPolys<Acc::HA, D> {
    static constexpr const auto& sinh = kSSinhHa;
    static constexpr const auto& cosh = kSCoshHa;
};
template <> struct FloatPolys<Acc::LA, S> {
    static constexpr const auto& sinh = kSSinhLa;
    static constexpr const auto& cosh = kSCoshLa;
};
template <> struct FloatPolys<Acc::EP, S> {
    static constexpr const auto& sinh = kSSinhEp;
    static constexpr const auto& cosh = kSCoshEp;
};

template <class V> struct HypParts {
    V s, c;    // sinh r, cosh r
    V sh, ch;  // sinh(N ln2), cosh(N ln2)
    V sinh() const { return fma(s, ch, c * sh); }
    V cosh() const { return fma(s, sh, c * ch); }
};

// (2^(N-1), 2^(-N-1)) for 0 <= N <= 128 (the second is 0 where it would be subnormal).
VEXA_INLINE void half_powers(S n, S& up, S& down) {
    const __m256i ni = _mm256_cvttps_epi32(n);
    up = from_int<float>(shl32<23>(add32(ni, splat32(126))));
    down = from_int<float>(shl32<23>(_mm256_max_epi32(sub32(splat32(126), ni), zero_int())));
}
VEXA_INLINE void half_powers(D n, D& up, D& down) {
    const __m256i ni = _mm256_cvtepi32_epi64(_mm256_cvttpd_epi32(n));
    up = from_int<double>(shl64<52>(add64(ni, splat64(1022))));
    down = from_int<double>(shl64<52>(sub64(splat64(1022), ni)));
}

// The parts for 0 <= ax below the float overflow threshold (double lanes:
// the floats' values; N ln2 in one constant is exact enough there).
template <Acc A, class V> VEXA_INLINE HypParts<V> float_parts(V ax) {
    using P = FloatPolys<A, V>;
    HypParts<V> h;
    V n, r;
    if constexpr (sizeof(elem<V>) == 4) {
        // N at most 128, so that 2^(N-1) stays finite (r is then a little
        // above ln 2 just below the overflow threshold).
        n = _mm256_min_ps(round<1>(ax * broadcast(kSInvLn2)), broadcast(128.0f));
        r = fma(n, broadcast(-kSLn2Hi), ax);  // exact (Sterbenz)
        r = fma(n, broadcast(-kSLn2Lo), r);
    } else {
        n = round<1>(ax * broadcast(kInvLn2));
        r = fma(n, broadcast(-kLn2), ax);
    }
    V up, down;
    half_powers(n, up, down);
    h.sh = up - down;
    h.ch = up + down;
    const V z = r * r;
    h.s = fma(r * z, horner(z, P::sinh), r);
    h.c = fma(z, fma(z, horner(z, P::cosh), cst<V>(0.5)), cst<V>(1.0));
    return h;
}

enum class Fn { Sinh, Cosh, Tanh };

// min(v, limit) with NaN passing through.
template <class V> VEXA_INLINE V at_most(V v, double limit) {
    if constexpr (sizeof(elem<V>) == 4) return _mm256_min_ps(broadcast(float(limit)), v);
    else return _mm256_min_pd(broadcast(limit), v);
}

// The function of ax (its argument's magnitude) in float or double lanes.
template <Fn F, Acc A, class V> VEXA_INLINE V float_fn(V ax) {
    if constexpr (F == Fn::Tanh) {
        const HypParts<V> h = float_parts<A>(at_most(ax, kSTanhOne));
        return h.sinh() / h.cosh();
    } else {
        const HypParts<V> h = float_parts<A>(ax);
        return F == Fn::Sinh ? h.sinh() : h.cosh();
    }
}

// A float kernel's value for x: in double lanes for HA; the sign of x on
// Sinh and Tanh (odd).
template <Fn F, Acc A> VEXA_INLINE S float_kernel(S x) {
    const S ax = abs(x);
    S y;
    if constexpr (A == Acc::HA) y = via_double(ax, [](D v) { return float_fn<F, Acc::HA>(v); });
    else y = float_fn<F, A>(ax);
    return F == Fn::Cosh ? y : bit_or(y, sign_of(x));
}
// Float Sinh and Cosh lanes the fast path leaves: from the overflow threshold, NaN.
VEXA_INLINE unsigned float_outside(S x) { return movemask(_mm256_cmp_ps(abs(x), broadcast(kSOverflow), _CMP_NLT_UQ)); }

// ---- double inverse functions ----------------------------------------------------

struct Sum {
    D hi, lo;
};

// sqrt(a + al) as s + sl for a >= 0 and |al| within an ulp of a: sl =
// (a + al - s^2) / 2s with the residual exact by FMA, and 1/s from the
// exponent-negating integer constant and three Newton steps (2^-34): for
// Asinh of tiny x, sl ~ x^2/2 is what ln(x + s) keeps of s - 1, so its error
// must stay far below 2^-60 x.
VEXA_INLINE Sum sqrt_sum(D a, D al) {
    const D s = simd::sqrt(a);
    const D res = fma(-s, s, a) + al;
    const D sc = _mm256_max_pd(s, broadcast(0x1p-500));  // s = 0 (Acosh of 1) keeps y finite
    D y = from_int<double>(sub64(splat64(0x7FDE623822FC16E6ull), as_int(sc)));
    for (int i = 0; i < 3; ++i) y = y * fnma(sc, y, broadcast(2.0));
    return {s, res * (broadcast(0.5) * y)};
}

// The logarithm of w + wl, or of |x| with ln 2 added from kBig on.
template <Acc A> VEXA_INLINE D ln_or_big(D ax, D w, D wl) {
    const D big = cmp_ge(ax, broadcast(kBig));
    return log_core::ln_of_sum<A, true>(select(big, ax, w), select(big, zero<double>(), wl), bit_and(big, broadcast(1.0)));
}

// asinh of 0 <= ax < +inf.
template <Acc A> VEXA_INLINE D asinh_of(D ax) {
    const D x2 = ax * ax;
    D e;
    const D a = two_sum(broadcast(1.0), x2, e);
    const Sum s = sqrt_sum(a, e + fma(ax, ax, -x2));
    const D w = s.hi + ax;  // Fast2Sum: s >= ax
    return ln_or_big<A>(ax, w, ((s.hi - w) + ax) + s.lo);
}

// acosh of 1 <= x < +inf.
template <Acc A> VEXA_INLINE D acosh_of(D x) {
    const D x2 = x * x;
    D e;
    const D a = two_sum(x2, broadcast(-1.0), e);
    const Sum s = sqrt_sum(a, e + fma(x, x, -x2));
    const D w = x + s.hi;  // Fast2Sum: x >= s
    return ln_or_big<A>(x, w, ((x - w) + s.hi) + s.lo);
}

// atanh of 0 <= ax < 1.
template <Acc A> VEXA_INLINE D atanh_of(D ax) {
    D dl;
    const D d = two_sum(broadcast(1.0), -ax, dl);
    const D two = ax + ax;
    D q, ql;
    if constexpr (A == Acc::HA) {
        const D inv = broadcast(1.0) / d;
        q = two * inv;
        ql = (fma(-q, d, two) - q * dl) * inv;
    } else {
        q = two / d;
    }
    D e;
    const D u = two_sum(broadcast(1.0), q, e);
    if constexpr (A == Acc::HA) e = e + ql;
    return broadcast(0.5) * log_core::ln_of_sum<A>(u, e);
}

}  // namespace vexa::vm::hyperbolic_core
