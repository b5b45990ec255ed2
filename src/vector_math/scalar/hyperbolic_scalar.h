// Per-element routines of the hyperbolic kernels: the lanes the fast paths
// leave (arguments near and beyond overflow, outside the domain, infinite or
// NaN) with their special results and statuses.
#pragma once

#include "common/export.h"

namespace vexa::vm {

// Sinh and Cosh of one element: NaN gives x + x and +-inf the limit (status
// 0); |x| from 710.475860073944 (d) or 89.4159927368164 (s) an infinity with
// status 3; any other argument is computed (status 0: the double routine
// serves 708.39 < |x| below the threshold, where e^|x| / 2 is the result, the
// float routine 87.3365 <= |x| below it, in double).
VEXA_HIDDEN int vdsinh_cout_rare(const double* a, double* r);
VEXA_HIDDEN int vdcosh_cout_rare(const double* a, double* r);
VEXA_HIDDEN int vssinh_cout_rare(const float* a, float* r);
VEXA_HIDDEN int vscosh_cout_rare(const float* a, float* r);
// Asinh of an infinite or NaN element: x + x (status 0).
VEXA_HIDDEN int vdasinh_cout_rare(const double* a, double* r);
// Acosh of one element the fast path leaves: below 1 or -inf NaN (status 1);
// +inf and NaN x + x (status 0).
VEXA_HIDDEN int vdacosh_cout_rare(const double* a, double* r);
VEXA_HIDDEN int vsacosh_cout_rare(const float* a, float* r);
// Atanh of one element the fast path leaves: +-1 gives +-inf (status 2);
// |x| above 1 NaN (status 1); NaN x + x (status 0).
VEXA_HIDDEN int vdatanh_cout_rare(const double* a, double* r);
VEXA_HIDDEN int vsatanh_cout_rare(const float* a, float* r);

}  // namespace vexa::vm
