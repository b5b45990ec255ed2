// Tables of the trigonometric kernels (generated: tools/tables/trig_tables.cpp).
#pragma once

#include <cstdint>

#include "common/export.h"

namespace vexa::vm::tables {

// pi/2 = kPiParts[0] + [1] + [2] within 2^-160 (the reduction's constants);
// [4..11]: pi/4, pi/2, 3pi/4, pi as (high, low) pairs.
extern VEXA_HIDDEN const double kPiParts[12];
// pi = P1 + P2 + P3 in floats (stored as doubles), and a zero.
extern VEXA_HIDDEN const double kPiFloatParts[4];
// The words of 2/pi, most significant first (the reduction of huge arguments).
constexpr int kTwoOverPiWords = 40;
extern VEXA_HIDDEN const uint32_t kTwoOverPi[kTwoOverPiWords];

// By the biased exponent E of a float: 2^(E - 150) 2/pi mod 4 as (hi, mid, lo, 0).
extern VEXA_HIDDEN const double kFloatTwoOverPi[4 * 256];

}  // namespace vexa::vm::tables
