// The mathematics shared by the hyperbolic kernels (Sinh, Cosh, Tanh, Asinh,
// Acosh, Atanh), on the exponential's and the logarithm's machinery
// (exp_core.h, log_core.h).
//
// Sinh, Cosh and Tanh without a table (the float kernels, in float lanes or
// in double lanes for HA, and the double LA kernels of Sinh and Cosh), one
// template: |x| = N ln2 + r with N = floor(|x|/ln2) and 0 <= r < ln2, and
// with sh_N, ch_N = (2^N -+ 2^-N)/2 (exponent fields):
//   sinh|x| = S(r) ch_N + C(r) sh_N,  cosh|x| = S(r) sh_N + C(r) ch_N
// with S, C polynomials of sinh r and cosh r (hyperbolic_data.h). Every term
// is positive, so nothing cancels; N = 0 leaves S(r) itself for small |x|.
// Tanh divides (e^r - 2^-2N e^-r) by (e^r + 2^-2N e^-r) (see float_fn).
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

// ---- Sinh, Cosh, Tanh without a table -----------------------------------------
// |x| = N ln2 + r, N = floor(|x|/ln2), r in [0, ln2) (a little past either
// end where the rounding of |x|/ln2 puts it: the even and odd fits hold on
// both sides of 0), sh_N and ch_N from 2^(N-1) and 2^(-N-1) built in the
// exponent field. Float lanes (float LA, EP) take N up to 126 (|x| below
// 87.34; 2^(-N-1) below the normal range counts as 0); double lanes serve the
// float HA kernels and the double LA kernels of Sinh and Cosh (N up to 1022).

template <Acc A, class V> struct WidePolys;
template <> struct WidePolys<Acc::HA, D> {  // the float HA kernels, in double
    static constexpr const auto& sinh = kSSinhHa;
    static constexpr const auto& cosh = kSCoshHa;
};
template <> struct WidePolys<Acc::LA, D> {  // the double LA kernels
    static constexpr const auto& sinh = kSinhWideLa;
    static constexpr const auto& cosh = kCoshWideLa;
};
template <> struct WidePolys<Acc::LA, S> {
    static constexpr const auto& sinh = kSSinhLa;
    static constexpr const auto& cosh = kSCoshLa;
};
template <> struct WidePolys<Acc::EP, S> {
    static constexpr const auto& sinh = kSSinhEp;
    static constexpr const auto& cosh = kSCoshEp;
};

template <class V> struct HypParts {
    V s, c;       // sinh r, cosh r
    V up, down;   // 2^(N-1), 2^(-N-1): sinh(N ln2) = up - down, cosh(N ln2) = up + down
    V sinh() const { return fma(s, up + down, c * (up - down)); }
    V cosh() const { return fma(s, up - down, c * (up + down)); }
};

// N by the shifter trick on |x|/ln2 - 1/2 (N's bits then sit in the low bits
// of the word), r = |x| - N ln2 with ln2 in two parts (N ln2_hi exact, the
// difference exact by Sterbenz), and (2^(N-1), 2^(-N-1)).
VEXA_INLINE S reduce_wide(S ax, S& up, S& down) {
    constexpr float kShifter = 0x1.8p23f;
    const S t = fma(ax, broadcast(kSInvLn2), broadcast(-0.5f)) + broadcast(kShifter);
    const S n = t - broadcast(kShifter);
    const __m256i e = shl32<23>(as_int(t));
    up = from_int<float>(add32(e, splat32(126u << 23)));
    down = from_int<float>(sub32(splat32(126u << 23), e));
    return fma(n, broadcast(-kSLn2Lo), fma(n, broadcast(-kSLn2Hi), ax));
}
VEXA_INLINE D reduce_wide(D ax, D& up, D& down) {
    constexpr double kShifter = 0x1.8p52;
    const D t = fma(ax, broadcast(kInvLn2), broadcast(-0.5)) + broadcast(kShifter);
    const D n = t - broadcast(kShifter);
    const __m256i e = shl64<52>(as_int(t));
    up = from_int<double>(add64(e, splat64(1022ull << 52)));
    down = from_int<double>(sub64(splat64(1022ull << 52), e));
    return fma(n, broadcast(-kLn2Lo), fma(n, broadcast(-kLn2Hi), ax));
}

// The parts for 0 <= ax below the fast-path limit.
template <Acc A, class V> VEXA_INLINE HypParts<V> wide_parts(V ax) {
    using P = WidePolys<A, V>;
    HypParts<V> h;
    const V r = reduce_wide(ax, h.up, h.down);
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
        // With E = C + S (e^r) and F = C - S (e^-r), tanh|x| = (E - qF)/(E + qF),
        // q = 2^-2N exact: the rounding of E scales both and cancels, the
        // others are damped by 2qF/E <= 1/2. For N = 0 (where qF/E nears 1)
        // S/C itself.
        const HypParts<V> h = wide_parts<A>(at_most(ax, kSTanhOne));
        const V d2 = h.down + h.down;
        const V qf = (d2 * d2) * (h.c - h.s);
        const V e = h.c + h.s;
        const V n0 = cmp_eq(h.up, cst<V>(0.5));
        return select(n0, h.s, e - qf) / select(n0, h.c, e + qf);
    } else {
        const HypParts<V> h = wide_parts<A>(ax);
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
// Float Sinh and Cosh lanes the fast path leaves: |x| from 87.3365 (where
// e^|x| nears the top of the float range and 2^(-N-1) its bottom), NaN.
VEXA_INLINE unsigned float_outside(S x) {
    return movemask(_mm256_cmp_ps(abs(x), broadcast(exp_data::kSFastLimit), _CMP_NLT_UQ));
}

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
