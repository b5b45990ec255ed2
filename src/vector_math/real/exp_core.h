// The exponential's fast path in double with q = 6, shared by Exp and Pow:
// N = round(x 64/ln2) by the shifter trick, x = N ln2/64 + r with ln2/64 in
// two parts (N times the high part is exact), exp(r) - 1 = p by a polynomial
// on |r| <= ln2/128, 2^(j/64) = T_j + t_j from the table (j = N mod 64), and
// floor(N/64) added to the exponent field of T_j + (T_j p + t_j). Valid for
// |x| <= 708.396 (the exponent stays normal).
#pragma once

#include "vector_math/frame/kernel.h"
#include "vector_math/tables/exp_data.h"
#include "vector_math/tables/exp_tables.h"

namespace vexa::vm::exp_core {

using namespace simd;
using D = vec<double>;

// exp(x + xl) (xl a low part of the caller's, added to r, when Low) with
// exp(r) - 1 of degree 5 (error 2^-59.3 relative), 3 (2^-34.6) or 2 (2^-25.3).
template <bool Low, int Degree> VEXA_INLINE D exp64(D x, D xl = D()) {
    using namespace exp_data;
    const D t = fma(x, broadcast(kInvLn2N64), broadcast(kShifter));
    const D n = t - broadcast(kShifter);
    const __m256i ti = as_int(t);
    // Table index j and the exponent floor(N/64) in the exponent field.
    const __m128i off = _mm_and_si128(low_words(shl64<4>(ti)), _mm_set1_epi32(63 << 4));  // j * 16 bytes
    const __m256i scale = and_bits(shl64<46>(ti), splat64(0xFFF0000000000000ull));
    D r = fma(n, broadcast(-kLn2N64Hi), x);
    r = fma(n, broadcast(-kLn2N64Lo), r);
    if constexpr (Low) r = r + xl;
    const D r2 = r * r;
    D q;
    if constexpr (Degree == 5)
        q = fma(r2, fma(r, broadcast(kHaC5), broadcast(kHaC4)), fma(r, broadcast(kHaC3), broadcast(kHaC2)));
    else if constexpr (Degree == 3)
        q = fma(r, broadcast(kHaC3), broadcast(kHaC2));
    else
        q = broadcast(kHaC2);
    const D p = fma(r2, q, r);
    D tj, lo;
    lookup_pairs_at(tables::kExp64, off, tj, lo);
    const D y = tj + fma(tj, p, lo);
    return from_int<double>(add64(as_int(y), scale));
}

}  // namespace vexa::vm::exp_core
