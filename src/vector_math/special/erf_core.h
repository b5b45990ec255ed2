// The error function in double on the table of erf at the nodes j/128
// (tables::vderf_data), shared by the Erf kernels (the float ones run it in
// double lanes).
//
// y = min(|x|, 5.9921875) (a NaN gives the bound; it comes back through the
// table value below), the node x_j = round(128 y)/128 by the 2^45 shifter
// (whose low bits give j), taken as 0 below 3.5/128; d = y - x_j, u = x_j d,
// w = d^2 (0 for y <= 2^-256). erf(y) = erf(x_j) + 2/sqrt(pi) e^(-x_j^2) d
// (1 + Q(u, w)), Q the Taylor factor around x_j:
//   Q = P1(u) + w (P3(u) + w (P2(u) + w (c1 + w c2)))
// with erf(x_j) = H (1 + c 2^-84) from the packed row, and
//   t = d B_j (B_j = 2^32 e^(-x_j^2)), S = (t Q + low) + t,
//   erf(x) = (+-2^-32) S + (+-H), low = H c 2^-52 by one fused multiply-subtract.
// LA is the same (the error of HA is already set by the final roundings; LA
// differs in nothing worth an operation); EP keeps P1 to u^4, P3 to u and P2
// to its constant (about 2^-34: d reaches 3.5/128 at the node 0, 1/256
// elsewhere).
#pragma once

#include "vector_math/frame/kernel.h"
#include "vector_math/real/eval.h"
#include "vector_math/tables/erf_data.h"
#include "vector_math/tables/erf_tables.h"
#include "vector_math/tables/exp_data.h"

namespace vexa::vm::erf_core {

using namespace simd;
using D = vec<double>;

namespace c {
constexpr double kP1[] = {0.1283791670955126,  -1.1283791670955126, 0.7522527780633452,
                          -0.3761263890316231, 0.15045070934227256, -0.05015023900999141};
constexpr double kP2[] = {0.11283791670955126, -0.18806359805613845, 0.16119738257320032};
constexpr double kP3[] = {-0.37612638903183754, 0.5641895835470636, -0.45135235862128686, 0.25075132956135204};
constexpr double kW3 = -0.026866170645131252, kW4 = 0.005223977625442188;
constexpr double kTop = 5.9921875;            // 767/128: from here erf rounds to 1
constexpr double kShifter = 35184372088832.0;  // 2^45: rounds to a multiple of 1/128
constexpr double kNodeZero = 0.02734375;       // 3.5/128: below it the node is 0
constexpr double kTinyW = 8.636168555094445e-78;  // 2^-256
}  // namespace c

// erf(y) for y = |x| >= 0 as h + 2^-32 sum: h the table's erf(x_j) (the
// minimum with y lets a NaN through), sum = t Q + low + t. erfc builds on the
// same parts.
struct Parts {
    D h, sum;
};
template <Acc A> VEXA_INLINE Parts erf_parts(D ax) {
    const D y = _mm256_min_pd(ax, broadcast(c::kTop));
    const D shifted = y + broadcast(c::kShifter);
    D xj = shifted - broadcast(c::kShifter);
    xj = select(cmp_lt(y, broadcast(c::kNodeZero)), zero<double>(), xj);
    const __m128i off = _mm_slli_epi32(low_words(as_int(shifted)), 4);  // j * 16 bytes
    const D d = y - xj;
    const D u = xj * d;
    const D dw = select(_mm256_cmp_pd(y, broadcast(c::kTinyW), _CMP_LE_OQ), zero<double>(), d);
    const D w = dw * dw;
    D q;
    if constexpr (A == Acc::EP) {
        q = fma(w, fma(w, broadcast(c::kP2[0]), eval::horner(u, c::kP3, 2)), eval::horner(u, c::kP1, 5));
    } else {
        const D inner = fma(w, fma(w, broadcast(c::kW4), broadcast(c::kW3)), eval::horner(u, c::kP2));
        q = fma(w, fma(w, inner, eval::horner(u, c::kP3)), eval::horner(u, c::kP1));
    }
    D a, b;
    lookup_pairs_at(reinterpret_cast<const double*>(tables::vderf_data), off, a, b);
    const __m256i ai = as_int(a);
    const D h = _mm256_min_pd(from_int<double>(and_bits(ai, splat64((1ull << 55) - 1))), ax) * broadcast(0x1p1016);
    const D t = d * b;
    const D one_c = from_int<double>(or_bits(_mm256_srli_epi64(ai, 32), splat64(0x3FF0000000000000ull)));
    const D low = fma(h, one_c, -h);
    return {h, fma(t, q, low) + t};
}

// erf(x) for double lanes; NaN passes.
template <Acc A> VEXA_INLINE D erf(D x) {
    const D s = sign_of(x);
    const Parts p = erf_parts<A>(abs(x));
    return fma(bit_or(broadcast(0x1p-32), s), p.sum, bit_or(p.h, s));
}

// ---- float (LA, EP) -------------------------------------------------------------
// |x| < 0.9375: x P(x^2); above: 1 - e^p with p = ln erfc(|x|) by a polynomial
// in |x| - 2.46875 (erf_data.h), |x| clamped at 4 where erf rounds to 1, and
// e^p as the float exponential (2^N times a polynomial on |r| <= ln2/2).
using S = vec<float>;

template <Acc A> VEXA_INLINE S exp_float(S p) {
    using namespace exp_data;
    const S t = fma(p, broadcast(kSInvLn2), broadcast(kSShifter));
    const S n = t - broadcast(kSShifter);
    const S r = fma(n, broadcast(-kSLn2Lo), fma(n, broadcast(-kSLn2Hi), p));
    S q;
    if constexpr (A == Acc::LA) {
        q = fma(r, broadcast(kSLaC5), broadcast(kSLaC4));
        q = fma(q, r, broadcast(kSLaC3));
        q = fma(q, r, broadcast(kSLaC2));
        q = fma(q, r, broadcast(kSLaC1));
    } else {
        q = fma(r, broadcast(kSEpC3), broadcast(kSEpC2));
        q = fma(q, r, broadcast(kSEpC1));
    }
    const S scale = from_int<float>(shl32<23>(add32(as_int(t), splat32(127))));  // 2^N
    return scale * fma(r, q, broadcast(1.0f));
}

template <Acc A> VEXA_INLINE S erf_float(S x) {
    using namespace erf_data;
    const S ax = abs(x);
    const S z = ax * ax;
    S small, p;
    const S t = _mm256_min_ps(broadcast(kTop), ax) - broadcast(float(kErfcCenter));  // NaN passes
    if constexpr (A == Acc::LA) {
        small = ax * eval::horner(z, kSErfLa);
        p = eval::horner(t, kSLnErfcLa);
    } else {
        small = ax * eval::horner(z, kSErfEp);
        p = eval::horner(t, kSLnErfcEp);
    }
    const S large = broadcast(1.0f) - exp_float<A>(p);
    return bit_or(select(cmp_lt(ax, broadcast(kSmall)), small, large), sign_of(x));
}

}  // namespace vexa::vm::erf_core
