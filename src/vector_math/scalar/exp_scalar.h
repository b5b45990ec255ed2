// Per-element routines of the exponential kernels: the lanes the fast paths
// leave (large arguments, infinities, NaNs) with their special results and
// statuses.
#pragma once

#include "common/export.h"

namespace vexa::vm {

// exp(x + xl) = (hi + lo) 2^e with hi + lo in [0.7, 1.42] and a relative error
// about 2^-62, for |x| below 746 and |xl| <= 2^-40 |x| (the other per-element
// routines' exponential).
VEXA_HIDDEN void exp_parts(double x, double xl, double& hi, double& lo, int& e);
// (hi + lo) 2^e rounded once (subnormal results too); +inf or 0 beyond the range.
VEXA_HIDDEN double exp_assemble(double hi, double lo, int e);

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
