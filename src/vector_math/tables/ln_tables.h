// Lookup tables of the logarithm kernels (generated: tools/tables/ln_tables.cpp).
#pragma once

#include "common/export.h"

namespace vexa::vm::tables {

extern VEXA_HIDDEN const double kLnRows[4 * 1024];  // (c, exponent step, -ln hi, -ln lo) by 10 mantissa bits
extern VEXA_HIDDEN const double kLnRare[3 * 128];   // (reciprocal, -ln hi, -ln lo) of the per-element routine

}  // namespace vexa::vm::tables
