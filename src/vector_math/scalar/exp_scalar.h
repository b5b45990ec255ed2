// Per-element routines of the exponential kernels: the lanes the fast paths
// leave (large arguments, infinities, NaNs) with their special results and
// statuses.
#pragma once

#include "common/export.h"

namespace vexa::vm {

// Double exponential of one element: status 3 above 709.782712893384 (+inf),
// 4 below -708.3964185322641 (subnormal, correctly rounded once) and below
// -745.1332191019411 (+0), else 0.
VEXA_HIDDEN int vdexp_cout_rare(const double* a, double* r);
// Float exponential of one element, computed in double: status 3 above
// 88.72283172607422, 4 below -87.33654022216797 (subnormal) and below
// -103.97207641601563 (+0), else 0.
VEXA_HIDDEN int vsexp_cout_rare(const float* a, float* r);
// exp(x) - 1 of one element: status 3 above the exponential's overflow
// threshold (+inf); status 4 for a subnormal argument (the result is the
// argument); -inf gives -1, +inf and NaN x + x (status 0); any other argument
// is computed (status 0).
VEXA_HIDDEN int vdexpm1_cout_rare(const double* a, double* r);
VEXA_HIDDEN int vsexpm1_cout_rare(const float* a, float* r);

}  // namespace vexa::vm
