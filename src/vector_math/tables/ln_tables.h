// Lookup tables of the logarithm kernels (generated: tools/tables/ln_tables.cpp).
#pragma once

#include "common/export.h"

namespace vexa::vm::tables {

// By the ten leading mantissa bits: (c, -ln(2^e c)) and the rounding errors of -ln(2^e c);
// the same rows for log10.
extern VEXA_HIDDEN const double kLnPairs[2 * 1024];
extern VEXA_HIDDEN const double kLog10Pairs[2 * 1024];
extern VEXA_HIDDEN const double kLogLo[2 * 1024];  // (ln lo, log10 lo) of the rows: the same stride
extern VEXA_HIDDEN const double kLnRare[3 * 128];   // (reciprocal, -ln hi, -ln lo) of the per-element routine

}  // namespace vexa::vm::tables
