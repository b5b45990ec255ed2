// Tables of the gamma-function routines (generated: tools/tables/gamma_tables.cpp).
#pragma once

#include "common/export.h"

namespace vexa::vm::tables {

// ln Gamma(c + t) = c0 + t g(t) on rows around c, in four segments of
// rows: centers k/scale for k = round(v scale), |t| <= 1/(2 scale), the
// segment the first whose `below` exceeds v (x from 15/16 to 64.5). Row: c0
// hi, c0 lo, g's constant term hi, lo, then g's coefficients of t^1 ..
// t^kLnGammaDegree. c0 is exactly 0 on the rows of 1 and 2, so ln Gamma
// keeps its relative accuracy through its zeros.
struct LnGammaSegment {
    double below;  // v below this
    double scale;  // rows per unit
    int first;     // row of k = 0 (the segment's rows start at k = first_k)
    int first_k;
};
constexpr LnGammaSegment kLnGammaSegments[] = {
    {8.125, 8.0, -8, 8},     // centers 1 .. 8.125 (58 rows)
    {16.25, 4.0, 25, 33},    // 8.25 .. 16.25 (33 rows)
    {32.5, 2.0, 58, 33},     // 16.5 .. 32.5 (33 rows)
    {64.5, 1.0, 91, 33},     // 33 .. 64 (32 rows)
};
constexpr int kLnGammaRows = 156;
constexpr int kLnGammaDegree = 12;
constexpr int kLnGammaStride = 16;
static_assert(kLnGammaDegree + 4 == kLnGammaStride && kLnGammaDegree == 12);  // the evaluation is unrolled
extern VEXA_HIDDEN const double vdlgamma_rows[kLnGammaRows * kLnGammaStride];

// Stirling's series from z = 64.5: ln Gamma(z) = (z - 1/2)(ln z - 1) + K +
// w (a_1 + a_2 w^2 + ... ), w = 1/z, a_k = B_2k / (2k (2k - 1)).
constexpr int kStirlingTerms = 8;  // the evaluation is unrolled
extern VEXA_HIDDEN const double vdlgamma_stirling[kStirlingTerms];

// sin(pi g)/pi = g S(g^2) and cos(pi g)/pi = C(g^2) for |g| <= 1/4 (Taylor
// polynomials of degree kSinPiDegree in u = g^2): per polynomial the
// coefficients of u^0, u^1, u^2 as double-doubles (hi, lo) and those of u^3
// .. u^kSinPiDegree as doubles; S at 0, C at kSinPiStride.
constexpr int kSinPiDegree = 10;
constexpr int kSinPiStride = kSinPiDegree + 4;
extern VEXA_HIDDEN const double vdgamma_sinpi[2 * kSinPiStride];

// The zeros of ln|Gamma| on the negative axis from -2 to -17: on (-n-1, -n),
// n = 2..16, zero 2(n-2) is the one nearer -n, zero 2(n-2)+1 the one nearer
// -n-1. Near a zero x0, with p its nearest pole, f = x - p (exact), f0 = x0 - p
// and t = f - f0 (|t| <= delta):
//   ln|Gamma(x)| = -ln(1 + t/f0) + t Q(t),
// Q a polynomial of degree kGammaZeroDegree (the logarithm carries the pole).
// Row: p, f0 as three doubles, delta, Q's constant term hi, lo, then Q's
// coefficients of t^1 .. t^kGammaZeroDegree, a zero.
constexpr int kGammaZeros = 30;
constexpr int kGammaZeroDegree = 12;
constexpr int kGammaZeroStride = 20;
static_assert(kGammaZeroDegree + 8 == kGammaZeroStride);
extern VEXA_HIDDEN const double vdlgamma_zeros[kGammaZeros * kGammaZeroStride];

// Double-double constants (hi, lo): K = ln(2 pi)/2 - 1/2, Euler's gamma.
constexpr int kGammaK = 0, kGammaEuler = 2;
extern VEXA_HIDDEN const double vdgamma_constants[4];

}  // namespace vexa::vm::tables
