// Lookup tables of the exponential and logarithm kernels (generated).
#pragma once

#include "common/export.h"

namespace vexa::vm::tables {

extern VEXA_HIDDEN const double kExp64[128];       // (2^(j/64), its rounding error)
extern VEXA_HIDDEN const double kExp1024[1024];    // 2^(j/1024)
extern VEXA_HIDDEN const double kLnRcp[2 * 513];   // (-ln c hi, lo) by rounded reciprocal k/1024
extern VEXA_HIDDEN const double kLnRare[3 * 128];  // (reciprocal, -ln hi, -ln lo) of the per-element routine

}  // namespace vexa::vm::tables
