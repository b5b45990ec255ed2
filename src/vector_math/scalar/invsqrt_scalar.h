// Per-element routines of the inverse square root kernels: zero, negative,
// subnormal, infinite and NaN arguments.
#pragma once

#include "common/export.h"

namespace vexa::vm {

// 1/sqrt(x) of one element: +-0 gives +-inf (status 2); x below zero (with
// -inf) gives NaN (status 1); +inf gives +0 and NaN gives NaN (status 0);
// subnormal x is computed (status 0).
VEXA_HIDDEN int vdinvsqrt_cout_rare(const double* a, double* r);
VEXA_HIDDEN int vsinvsqrt_cout_rare(const float* a, float* r);

// 1/sqrt(x) for a positive normal double, within 0.51 ulp: the quotient of the
// rounded root, corrected by one Newton step on an accurate residual.
VEXA_HIDDEN double invsqrt_accurate(double x);

}  // namespace vexa::vm
