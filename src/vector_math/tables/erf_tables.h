// Tables of the error-function kernels (generated: tools/tables/erf_tables.cpp).
#pragma once

#include <cstdint>

#include "common/export.h"

namespace vexa::vm::tables {

// Row j (x_j = j/128, j = 0..767) of the double HA Erf: two words.
//   A_j: the low 55 bits, as a double, are H_j 2^-1016; the top 32 bits, as
//        an unsigned integer c_j, give the correction H_j c_j 2^-84, so that
//        H_j (1 + c_j 2^-84) is erf(x_j) to about 2^-62 (rows 0 to 3: 0)
//   B_j: 2^32 exp(-x_j^2) as a double (rows 0 to 3: 2^32)
constexpr int kErfRows = 768;
extern VEXA_HIDDEN const uint64_t vderf_data[2 * kErfRows];

// The tail of erfc from x = 1: erfc x = exp(-x^2) F(x), F = erfcx by a
// polynomial in x - center on each of 80 intervals of [1, 32) (the binades
// 1 to 16 in sixteenths; row k = bits(x) >> 48 minus that of 1). Row k: the
// center, F(center) as a double-double (hi, lo), then the coefficients of
// (x - center)^1 .. ^kErfcTailDegree, padded with zeros to whole registers
// (the kernels load four rows and transpose them).
constexpr int kErfcTailRows = 80;
constexpr int kErfcTailDegree = 9;
constexpr int kErfcTailStride = 12;
extern VEXA_HIDDEN const double vderfc_tail[kErfcTailRows * kErfcTailStride];

// The inverse error function's starting values and central polynomial.
//   Central, |y| <= 1/2: erfinv y = y (c0 + t R(t)), t = y^2, c0 = sqrt(pi)/2
//   as a double-double: row 0 holds c0 hi, c0 lo and R's coefficients (of
//   degree kErfInvCentralDegree - 1, at 2 to kErfInvCentralDegree + 1); the EP row after it holds P(t) of degree
//   kErfInvCentralEpDegree whole.
//   Tail, q = erfc x <= 1/2: with s = sqrt(-ln q) in [0.83, 28), x by a
//   polynomial in s - center of degree kErfInvTailDegree (about 2^-30
//   relative) on 12 intervals (the binades of s from 1/2 in halves; row k =
//   bits(s) >> 51 minus that of 1/2): the center, then the coefficients,
//   padded with zeros to whole registers.
constexpr int kErfInvCentralDegree = 16;
constexpr int kErfInvCentralEpDegree = 6;
constexpr int kErfInvTailRows = 12;
constexpr int kErfInvTailDegree = 7;
constexpr int kErfInvTailStride = 12;
constexpr int kErfInvCentralEp = kErfInvCentralDegree + 2;  // offset of the EP row
constexpr int kErfInvTail = 28;                             // of the tail rows (zeros before it)
static_assert(kErfInvCentralEp + kErfInvCentralEpDegree + 1 <= kErfInvTail);
static_assert(kErfcTailDegree + 3 <= kErfcTailStride && kErfcTailStride % 4 == 0);
static_assert(kErfInvTailDegree + 2 <= kErfInvTailStride && kErfInvTailStride % 4 == 0);
extern VEXA_HIDDEN const double vderfinv_data[kErfInvTail + kErfInvTailRows * kErfInvTailStride];

}  // namespace vexa::vm::tables
