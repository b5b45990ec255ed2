// Per-element routines of the logarithm kernels (Ln, Log10, Log1p): zero,
// negative, subnormal, infinite and NaN arguments.
#pragma once

#include "common/export.h"

namespace vexa::vm {

// Double logarithm of one element: +inf and NaN give x*x (status 0); -inf and
// negative x give NaN (status 1); +-0 gives -inf (status 2); subnormal x is
// scaled by 2^60 and computed (status 0).
VEXA_HIDDEN int vdln_cout_rare(const double* a, double* r);
// Float logarithm of one element with the same rules, computed in double.
VEXA_HIDDEN int vsln_cout_rare(const float* a, float* r);
// Base-10 logarithms of one element, with the rules of the logarithm.
VEXA_HIDDEN int vdlog10_cout_rare(const double* a, double* r);
VEXA_HIDDEN int vslog10_cout_rare(const float* a, float* r);
// ln(1 + x) of one element the fast path leaves: -1 gives -inf (status 2);
// below -1 and -inf NaN (status 1); +inf and NaN x + x (status 0); any other
// argument is computed (status 0).
VEXA_HIDDEN int vdlog1p_cout_rare(const double* a, double* r);
VEXA_HIDDEN int vslog1p_cout_rare(const float* a, float* r);

}  // namespace vexa::vm
