// The reduction and polynomials shared by the logarithm kernels (Ln, Log10,
// Log1p).
//
// double: x = 2^k m with m in [1, 2) from the bit pattern; the ten leading
// bits of m select row j with c, the reciprocal of the row's interval rounded
// to a multiple of 2^-10, so r = c m - 1 is exact by one FMA
// (|r| <= 1.25 * 2^-10). From row kStepRow on (m above about sqrt 2) the
// exponent is taken one higher and the row holds -ln(2c), which keeps
// |-ln c| <= ln2/2 and makes arguments just below 1 cancel exactly. The rows
// are pairs (c, -ln(2^e c) rounded), so one 16-byte load per lane serves the
// reduction and the table value; the step is a compare on m. (A table of
// reciprocals rather than a reciprocal instruction: the same c on every
// processor and emulator, and no division on the critical path.)
//
// float: x = 2^k m with m in [2/3, 4/3), r = m - 1 exactly.
#pragma once

#include "vector_math/frame/kernel.h"
#include "vector_math/tables/ln_data.h"
#include "vector_math/tables/ln_tables.h"

namespace vexa::vm::log_core {

using namespace simd;
using D = vec<double>;
using S = vec<float>;

// ---- double ----------------------------------------------------------------

struct DReduced {
    D r;       // c m - 1, exact
    D k;       // the exponent with the row's step
    D c;       // the row's reciprocal
    D t;       // the row's table value, rounded
    __m128i off;  // the row's byte offset in a table of pairs (16 j)
};

// Reduction of positive normal x by the rows `pairs` (kLnPairs or kLog10Pairs).
VEXA_INLINE DReduced reduce(D x, const double* pairs) {
    const __m256i xi = as_int(x);
    const D m = from_int<double>(or_bits(and_bits(xi, splat64(0x000FFFFFFFFFFFFFull)), splat64(0x3FF0000000000000ull)));
    // k + 1023 + 2^52 as a double, from the biased exponent.
    const D kb = from_int<double>(or_bits(shr64<52>(xi), splat64(0x4330000000000000ull)));
    DReduced d;
    d.off = _mm_and_si128(low_words(shr64<38>(xi)), _mm_set1_epi32(1023 << 4));
    lookup_pairs_at(pairs, d.off, d.c, d.t);
    const D step = bit_and(cmp_ge(m, broadcast(ln_data::kStepFrom)), broadcast(1.0));
    d.k = (kb - broadcast(ln_data::kExponentBias)) + step;
    d.r = fma(d.c, m, broadcast(-1.0));
    return d;
}

// (ln(1 + r) - r) / r^2: the Taylor series to r^4 (HA), where the result is
// about r the truncation error r^5/7 stays far below half an ulp.
VEXA_INLINE D poly_ha(D r, D r2) {
    using namespace ln_data;
    return fma(r2 * r2, broadcast(kHaC6),
               fma(r2, fma(r, broadcast(kHaC5), broadcast(kHaC4)), fma(r, broadcast(kHaC3), broadcast(kHaC2))));
}
VEXA_INLINE D poly_la(D r, D r2) {
    using namespace ln_data;
    return fma(r2, fma(r, broadcast(kLaC5), broadcast(kLaC4)), fma(r, broadcast(kC3), broadcast(kC2)));
}

// ln x = (k L1 + T_hi) + (r + (k L2 + T_lo + r^2 P(r) + extra)) with the high
// sum error-free (|k L1| >= |T_hi| whenever k != 0) and `extra` a small term
// of the caller's (the rounding error of r for Log1p) if it has one.
template <bool Extra = false> VEXA_INLINE D ln_ha(const DReduced& d, D extra = D()) {
    using namespace ln_data;
    const D r2 = d.r * d.r;
    const D a = d.k * broadcast(kLn2Hi);  // exact: the constant ends in zeros
    const D hi = a + d.t;
    const D err = (a - hi) + d.t;
    const D t_lo = lookup_at(tables::kLogLo, d.off);
    D low = fma(d.k, broadcast(kLn2Lo), t_lo);
    if constexpr (Extra) low = low + extra;
    const D lo = fma(r2, poly_ha(d.r, r2), low);
    return hi + (d.r + (lo + err));
}
// The first two terms of P only (2^-31 relative; the float Pow's logarithm).
VEXA_INLINE D ln_short(const DReduced& d) {
    return fma(d.k, broadcast(ln_data::kLn2),
               d.t + fma(d.r * d.r, fma(d.r, broadcast(ln_data::kC3), broadcast(ln_data::kC2)), d.r));
}
VEXA_INLINE D ln_la(const DReduced& d) {
    const D r2 = d.r * d.r;
    return fma(d.k, broadcast(ln_data::kLn2), d.t + fma(r2, poly_la(d.r, r2), d.r));
}

// ---- double, without a table (EP) ------------------------------------------
// x = 2^k m with m in [sqrt(1/2), sqrt 2) by integer operations (x's bits plus
// 1 - sqrt(1/2) in the exponent's units, so that one logical shift gives
// k + 1023), t = 2 (m - 1)/(m + 1) with m - 1 exact, and
// ln m = 2 atanh(t/2) = t + t^3/12 + t^5/80 + ... = t + t sum t^2i / (4^i (2i + 1))
// with |t| <= 0.344: the series to t^11 leaves 2^-34. One division per
// register: cheaper than the table's lookups where 26 bits suffice. (For LA
// the longer series and the rounding of m + 1 cost more than the table saves.)
// 2 (m - 1) is exact, so a tiny m - 1 (Log1p) comes out as itself.

struct DAtanh {
    D t;  // 2 (m - 1)/(m + 1)
    D k;
};

// With Corrected, the argument is x + err (err tiny against x): m - 1 takes
// err 2^-k in before the division.
template <bool Corrected = false> VEXA_INLINE DAtanh reduce_atanh(D x, D err = D()) {
    const __m256i xi = as_int(x);
    const __m256i e = shr64<52>(add64(xi, splat64(0x3FF0000000000000ull - 0x3FE6A09E667F3BCDull)));
    const D m = from_int<double>(sub64(xi, shl64<52>(sub64(e, splat64(1023)))));
    const D k = from_int<double>(or_bits(e, splat64(0x4330000000000000ull))) - broadcast(ln_data::kExponentBias);
    D r = m - broadcast(1.0);
    if constexpr (Corrected) {
        // 2^-k from 2046 - e, e clamped to 2046 (0 in the top binade, where
        // the correction is negligible).
        const __m256i ec = _mm256_min_epu32(e, splat64(2046));
        r = fma(err, from_int<double>(shl64<52>(sub64(splat64(2046), ec))), r);
    }
    return {(r + r) / (m + broadcast(1.0)), k};
}

// ln x (scale 1) or log10 x (scale 1/ln10, lg2 = log10 2) for positive
// normal x from the reduction: k lg2 + scale (t + t sum c_i t^2i), the series
// to t^(2 Terms - 1) by Horner's scheme in t^2.
template <int Terms> VEXA_INLINE D log_atanh(const DAtanh& d, double scale, double lg2) {
    auto c = [scale](int i) {
        double q = 2 * i + 1;
        for (int j = 0; j < i; ++j) q *= 4;
        return scale / q;
    };
    const D z = d.t * d.t;
    D p = broadcast(c(Terms - 1));
    for (int i = Terms - 2; i >= 1; --i) p = fma(p, z, broadcast(c(i)));
    const D head = scale == 1.0 ? d.t : d.t * broadcast(scale);
    return fma(d.k, broadcast(lg2), fma(d.t, p * z, head));
}

// ---- the logarithm of a sum --------------------------------------------------
// ln(u + err) for positive normal u and |err| within an ulp of u (an argument
// carried as an unevaluated sum, as 1 + x split by TwoSum for Log1p), with
// `Extra` adding k_extra ln 2 (k_extra a small integer). With u = 2^k m and
// r = c m - 1 exact, the exact reduced argument is r + d with d = c 2^-k err:
// HA carries the sum r + d with its error into the low part of the table
// logarithm, LA rounds it once, EP runs the logarithm without a table on
// m - 1 + err 2^-k.
template <Acc A, bool Extra = false> VEXA_INLINE D ln_of_sum(D u, D err, D k_extra = D()) {
    if constexpr (A == Acc::EP) {
        DAtanh d = reduce_atanh<true>(u, err);
        if constexpr (Extra) d.k = d.k + k_extra;
        return log_atanh<6>(d, 1.0, ln_data::kLn2);
    } else {
        DReduced d = reduce(u, tables::kLnPairs);
        if constexpr (Extra) d.k = d.k + k_extra;
        // 2^-k from u's exponent field (0 for the top binade, where d is negligible).
        const D inv_scale =
            from_int<double>(sub64(splat64(0x7FE0000000000000ull), and_bits(as_int(u), splat64(0x7FF0000000000000ull))));
        const D cs = d.c * inv_scale;
        if constexpr (A == Acc::HA) {
            // r + d by a fast two-sum: r is a multiple of 2^-62 and |d| <= 2^-53,
            // so either |r| >= |d| or r = 0 (row 0: c = 1, r = m - 1 = 0), or the
            // row's table value outweighs both by far.
            const D dd = cs * err;
            const D s = d.r + dd;
            const D r_err = dd - (s - d.r);
            d.r = s;
            return ln_ha<true>(d, r_err);
        } else {
            d.r = fma(cs, err, d.r);
            return ln_la(d);
        }
    }
}

// ---- float -----------------------------------------------------------------

struct SReduced {
    S r;  // m - 1, exact
    S k;
};

VEXA_INLINE SReduced reduce(S x) {
    const __m256i xi = as_int(x);
    const __m256i off = sub32(xi, splat32(0x3F2AAAABu));  // 0.666666687
    const __m256i ki = sra32<23>(off);
    const S m = from_int<float>(sub32(xi, shl32<23>(ki)));
    return {m - broadcast(1.0f), _mm256_cvtepi32_ps(ki)};
}

// (ln(1 + r) - r) / r^2 of degree 8 by Estrin's scheme in r^2 and r^4.
VEXA_INLINE S poly_ha(S r, S r2) {
    using namespace ln_data;
    const S r4 = r2 * r2;
    const S p01 = fma(r, broadcast(kSHaC3), broadcast(kSHaC2));
    const S p23 = fma(r, broadcast(kSHaC5), broadcast(kSHaC4));
    const S p45 = fma(r, broadcast(kSHaC7), broadcast(kSHaC6));
    const S p67 = fma(r, broadcast(kSHaC9), broadcast(kSHaC8));
    const S p03 = fma(r2, p23, p01);
    const S p47 = fma(r2, p67, p45);
    return fma(r4, fma(r4, broadcast(kSHaC10), p47), p03);
}

// ln x as hi + lo, unrounded: k ln2_hi + r + r^2 p summed with its rounding
// errors carried (products split by fused multiply-adds, sums by fast
// two-sums: |k ln2_hi| >= |r| when k != 0 and |r| > |r^2 p|), so that
// rounding hi + lo once gives about half an ulp.
struct SPair {
    S hi, lo;
};
VEXA_INLINE SPair ln_ha(const SReduced& d) {
    using namespace ln_data;
    const S r = d.r, k = d.k;
    const S r2 = r * r;
    const S p = poly_ha(r, r2);
    const S r2l = fma(r, r, -r2);
    const S prod = r2 * p, prodl = fma(r2, p, -prod);
    const S s1 = r + prod, e1 = prod - (s1 - r);
    const S hi = k * broadcast(kSLn2Hi);  // exact: the constant ends in zeros
    const S s2 = hi + s1;
    const S e2 = select(cmp_eq(k, zero<float>()), zero<float>(), s1 - (s2 - hi));
    const S lo = fma(k, broadcast(kSLn2Lo), fma(r2l, p, prodl) + e1);
    return {s2, e2 + lo};
}
// r + r^2 P(r) by Horner's scheme (P of degree 6, LA, or 3, EP).
VEXA_INLINE S poly_la(S r) {
    using namespace ln_data;
    S p = fma(r, broadcast(kSLaC8), broadcast(kSLaC7));
    p = fma(p, r, broadcast(kSLaC6));
    p = fma(p, r, broadcast(kSLaC5));
    p = fma(p, r, broadcast(kSLaC4));
    p = fma(p, r, broadcast(kSLaC3));
    p = fma(p, r, broadcast(kSLaC2));
    return fma(r * r, p, r);
}
VEXA_INLINE S poly_ep(S r) {
    using namespace ln_data;
    S p = fma(r, broadcast(kSEpC5), broadcast(kSEpC4));
    p = fma(p, r, broadcast(kSEpC3));
    p = fma(p, r, broadcast(kSEpC2));
    return fma(r * r, p, r);
}

// ln(u + err) in float (LA and EP) for u >= 2^-24 and |err| within an ulp of
// u: the logarithm of m - 1 + err 2^-k rounded once, LA with the HA
// polynomial (the rounded reduced argument costs half an ulp near 0), EP with
// its own; `Extra` adds k_extra ln 2.
template <Acc A, bool Extra = false> VEXA_INLINE S ln_of_sum(S u, S err, S k_extra = S()) {
    SReduced d = reduce(u);
    // 2^-k from k (u >= 2^-24 keeps it normal; the top binades give 0).
    const __m256i e = _mm256_max_epi32(sub32(splat32(127), _mm256_cvtps_epi32(d.k)), _mm256_setzero_si256());
    d.r = fma(err, from_int<float>(shl32<23>(e)), d.r);
    if constexpr (Extra) d.k = d.k + k_extra;
    if constexpr (A == Acc::LA) {
        const S r2 = d.r * d.r;
        return fma(d.k, broadcast(ln_data::kSLn2), fma(r2, poly_ha(d.r, r2), d.r));
    } else {
        return fma(d.k, broadcast(ln_data::kSLn2), poly_ep(d.r));
    }
}

}  // namespace vexa::vm::log_core
