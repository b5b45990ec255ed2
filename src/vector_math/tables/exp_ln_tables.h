// Lookup tables of the exponential and logarithm kernels (generated).
#pragma once

#include "common/export.h"

namespace vexa::vm::tables {

extern VEXA_HIDDEN const double kExp64[128];       // (2^(j/64), its rounding error)
extern VEXA_HIDDEN const double kExp1024[1024];    // 2^(j/1024)
extern VEXA_HIDDEN const double kLnRows[4 * 1024];  // (c, exponent step, -ln hi, -ln lo) by 10 mantissa bits
extern VEXA_HIDDEN const double kLnRare[3 * 128];  // (reciprocal, -ln hi, -ln lo) of the per-element routine

}  // namespace vexa::vm::tables
