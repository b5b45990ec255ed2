// Evaluation helpers shared by the kernels whose formulas serve several lane
// types: constants as registers or scalars, polynomials by Horner's scheme,
// and float registers computed in double.
#pragma once

#include <cmath>
#include <cstddef>
#include <type_traits>

#include "common/simd.h"

namespace vexa::vm::eval {

using namespace simd;

// A constant as a register or a scalar: the formulas serve both.
template <class V> VEXA_INLINE V cst(double v) {
    if constexpr (std::is_same_v<V, double>) return v;
    else if constexpr (sizeof(elem<V>) == 4) return broadcast(float(v));
    else return broadcast(v);
}
VEXA_INLINE double fma(double a, double b, double c) { return std::fma(a, b, c); }
VEXA_INLINE double fnma(double a, double b, double c) { return std::fma(-a, b, c); }
using simd::fma;
using simd::fnma;

// A double constant as a float head and its float tail.
VEXA_INLINE float head_of(double v) { return float(v); }
VEXA_INLINE float tail_of(double v) { return float(v - double(float(v))); }

// c[0] + z c[1] + ... + z^(n-1) c[n-1] by Horner's scheme (n = N: every term).
template <class V, class C, std::size_t N> VEXA_INLINE V horner(V z, const C (&c)[N], std::size_t n = N) {
    V p = cst<V>(c[n - 1]);
    for (int i = int(n) - 2; i >= 0; --i) p = fma(p, z, cst<V>(c[i]));
    return p;
}

// f applied to the two double halves of a register of floats, the results
// rounded back to float.
template <class F> VEXA_INLINE __m256 via_double(__m256 x, F f) {
    const __m256d lo = f(low_doubles(x));
    const __m256d hi = f(high_doubles(x));
    return join(narrow(lo), narrow(hi));
}

}  // namespace vexa::vm::eval
