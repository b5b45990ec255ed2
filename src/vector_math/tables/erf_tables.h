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

}  // namespace vexa::vm::tables
