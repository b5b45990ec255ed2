// The exponential's fast path in double with q = 6, shared by Exp, Expm1,
// Pow and the hyperbolic functions:
// N = round(x 64/ln2) by the shifter trick, x = N ln2/64 + r with ln2/64 in
// two parts (N times the high part is exact), exp(r) - 1 = p by a polynomial
// on |r| <= ln2/128, 2^(j/64) = T_j + t_j from the table (j = N mod 64), and
// floor(N/64) added to the exponent field of T_j + (T_j p + t_j). Valid for
// |x| <= 708.396 (the exponent stays normal).
#pragma once

#include <cstddef>

#include "vector_math/frame/kernel.h"
#include "vector_math/tables/exp_data.h"
#include "vector_math/tables/exp_tables.h"

namespace vexa::vm::exp_core {

using namespace simd;
using D = vec<double>;

// The reduction with q = 6: E = floor(N/64) in the exponent field (E << 52),
// T_j and t_j from the table, and p = exp(r) - 1 (r plus xl, a low part of
// the caller's, when Low) of degree 6 (2^-70.2 relative to exp(r), 2^-61.7 to
// exp(r) - 1), 5 (2^-59.3), 3 (2^-34.6) or 2 (2^-25.3).
struct Reduced64 {
    __m256i field;
    D tj, lo, p;
};
template <bool Low, int Degree> VEXA_INLINE Reduced64 reduce64(D x, D xl = D()) {
    using namespace exp_data;
    const D t = fma(x, broadcast(kInvLn2N64), broadcast(kShifter));
    const D n = t - broadcast(kShifter);
    const __m256i ti = as_int(t);
    const __m128i off = _mm_and_si128(low_words(shl64<4>(ti)), _mm_set1_epi32(63 << 4));  // j * 16 bytes
    D r = fma(n, broadcast(-kLn2N64Hi), x);
    r = fma(n, broadcast(-kLn2N64Lo), r);
    if constexpr (Low) r = r + xl;
    const D r2 = r * r;
    D q;
    if constexpr (Degree == 6)
        q = fma(r2, fma(r2, broadcast(kRareC6), fma(r, broadcast(kRareC5), broadcast(kRareC4))),
                fma(r, broadcast(kRareC3), broadcast(kRareC2)));
    else if constexpr (Degree == 5)
        q = fma(r2, fma(r, broadcast(kHaC5), broadcast(kHaC4)), fma(r, broadcast(kHaC3), broadcast(kHaC2)));
    else if constexpr (Degree == 3)
        q = fma(r, broadcast(kHaC3), broadcast(kHaC2));
    else
        q = broadcast(kHaC2);
    Reduced64 d;
    d.field = and_bits(shl64<46>(ti), splat64(0xFFF0000000000000ull));
    lookup_pairs_at(tables::kExp64, off, d.tj, d.lo);
    d.p = fma(r2, q, r);
    return d;
}

// The reduction with q = 10: E in the exponent field, T_j from the table of
// 1024 (no correction), p = exp(r) - 1 of degree 3 (2^-52.7 relative to exp(r)).
struct Reduced1024 {
    __m256i field;
    D tj, p;
};
VEXA_INLINE Reduced1024 reduce1024(D x) {
    using namespace exp_data;
    const D t = fma(x, broadcast(kInvLn2N1024), broadcast(kShifter));
    const D n = t - broadcast(kShifter);
    const __m256i ti = as_int(t);
    const __m128i off = _mm_and_si128(low_words(shl64<3>(ti)), _mm_set1_epi32(1023 << 3));  // j * 8 bytes
    D r = fma(n, broadcast(-kLn2N1024Hi), x);
    r = fma(n, broadcast(-kLn2N1024Lo), r);
    return {and_bits(shl64<42>(ti), splat64(0xFFF0000000000000ull)), lookup_at(tables::kExp1024, off),
            fma(r * r, fma(r, broadcast(kLaC3), broadcast(kLaC2)), r)};
}

// y 2^E for y in [0.7, 1.42] and a normal 2^E: E added to y's exponent field.
VEXA_INLINE D scaled(D y, __m256i field) { return from_int<double>(add64(as_int(y), field)); }
// 2^E itself.
VEXA_INLINE D pow2_of(__m256i field) { return from_int<double>(add64(field, splat64(0x3FF0000000000000ull))); }

// exp(x + xl) for |x| <= 708.396 (T_j + (T_j p + t_j)) 2^E.
template <bool Low, int Degree> VEXA_INLINE D exp64(D x, D xl = D()) {
    const Reduced64 d = reduce64<Low, Degree>(x, xl);
    return scaled(d.tj + fma(d.tj, d.p, d.lo), d.field);
}

// e^x and e^-x for 0 <= x <= 708.396 from one reduction x = N ln2/64 + r:
// e^x = 2^E T_j (1 + p(r)) and e^-x = 2^E' T_j' (1 + p(-r)) with j' = -N mod 64
// and E' = floor(-N/64) (the bits of -N come from the negated shifter word:
// its low 51 bits are those of -N). p is split into its even and odd parts,
// so p(-r) costs one subtraction. Each result as hi = 2^E T_j (exact) and
// lo = 2^E (T_j p + t_j); p of degree 6 as in reduce64.
struct ExpPair {
    D a_hi, a_lo;  // e^x
    D b_hi, b_lo;  // e^-x
};
VEXA_INLINE ExpPair exp_pair(D x) {
    using namespace exp_data;
    const D t = fma(x, broadcast(kInvLn2N64), broadcast(kShifter));
    const D n = t - broadcast(kShifter);
    const __m256i ti = as_int(t), nti = sub64(_mm256_setzero_si256(), ti);
    D r = fma(n, broadcast(-kLn2N64Hi), x);
    r = fma(n, broadcast(-kLn2N64Lo), r);
    const D r2 = r * r;
    const D even = r2 * fma(r2, fma(r2, broadcast(kRareC6), broadcast(kRareC4)), broadcast(kRareC2));
    const D odd = fma(r * r2, fma(r2, broadcast(kRareC5), broadcast(kRareC3)), r);
    const __m128i mask = _mm_set1_epi32(63 << 4);
    D ta, tla, tb, tlb;
    lookup_pairs_at(tables::kExp64, _mm_and_si128(low_words(shl64<4>(ti)), mask), ta, tla);
    lookup_pairs_at(tables::kExp64, _mm_and_si128(low_words(shl64<4>(nti)), mask), tb, tlb);
    const __m256i top = splat64(0xFFF0000000000000ull);
    const D sa = pow2_of(and_bits(shl64<46>(ti), top)), sb = pow2_of(and_bits(shl64<46>(nti), top));
    return {sa * ta, sa * fma(ta, odd + even, tla), sb * tb, sb * fma(tb, even - odd, tlb)};
}

// ---- exp(x) - 1 --------------------------------------------------------------
// For |x| >= 1/16 (the exponent's reduction, st = 2^E T_j): s + lo with
// s + e = st - 1 error-free and lo = st p + (2^E t_j + e), unrounded (HA);
// below 1/16 the caller evaluates x + x^2 P(x) (expm1_small_poly).
struct Parts {
    D hi, lo;
};
VEXA_INLINE Parts expm1_large(D x) {
    const Reduced64 d = reduce64<false, 5>(x);
    const D scale = pow2_of(d.field), st = scale * d.tj;
    D e;
    const D s = two_sum(st, broadcast(-1.0), e);
    return {s, fma(st, d.p, scale * d.lo + e)};
}
// P(x) of x + x^2 P(x) = exp(x) - 1 on |x| < 1/16, by Horner's scheme.
VEXA_INLINE D expm1_small_poly(D x) {
    constexpr auto& c = exp_data::kM1SmallHa;
    constexpr std::size_t N = sizeof(c) / sizeof(c[0]);
    D p = broadcast(c[N - 1]);
    for (std::size_t i = N - 1; i-- > 0;) p = fma(p, x, broadcast(c[i]));
    return p;
}
// exp(x) - 1 to about an ulp (q = 6 on every lane, P of degree 6; its error
// counts against exp(r) - 1 where E = j = 0 and the result is p).
VEXA_INLINE D expm1_la(D x) {
    const Reduced64 d = reduce64<false, 6>(x);
    const D scale = pow2_of(d.field), st = scale * d.tj;
    return fma(st, d.p, scale * d.lo + (st - broadcast(1.0)));
}
// exp(x) - 1 with q = 10 and no correction (below 2^-41 of the result where j != 0).
VEXA_INLINE D expm1_ep(D x) {
    const Reduced1024 d = reduce1024(x);
    const D st = pow2_of(d.field) * d.tj;
    return fma(st, d.p, st - broadcast(1.0));
}

}  // namespace vexa::vm::exp_core
