// Lookup tables of the exponential kernels (generated: tools/tables/exp_tables.cpp).
#pragma once

#include "common/export.h"

namespace vexa::vm::tables {

extern VEXA_HIDDEN const double kExp64[128];     // (2^(j/64), its rounding error)
extern VEXA_HIDDEN const double kExp1024[1024];  // 2^(j/1024)

}  // namespace vexa::vm::tables
