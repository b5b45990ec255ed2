// Per-element routines of LGamma and TGamma. Their vector kernels hand every
// element to these routines, which compute the value and decide the status.
#pragma once

#include "common/export.h"

namespace vexa::vm {

// ln|Gamma(x)|: the non-positive integers (and -0) give +inf with status 2;
// +inf and -inf give +inf, NaN x + x (status 0); +inf with status 3 where the
// result overflows (x above about 2.5563e305 in double, 4.0850e36 in float).
// ln Gamma(1) = ln Gamma(2) = +0.
VEXA_HIDDEN int vdlgamma_cout_rare(const double* a, double* r);
VEXA_HIDDEN int vslgamma_cout_rare(const float* a, float* r);

// Gamma(x): +-0 give +-inf with status 2; the negative integers and -inf NaN
// with status 1; +inf gives +inf and NaN x + x (status 0); +inf with status 3
// from x = 171.62437695630274 (double) and 35.040096 (float) and for positive
// x so small that 1/x overflows. Tiny results of negative arguments round
// once into the subnormals or to zero: status 0 in double, 4 in float (every
// result below the least normal float). The positive integers up to 23 give
// the factorials exactly.
VEXA_HIDDEN int vdtgamma_cout_rare(const double* a, double* r);
VEXA_HIDDEN int vstgamma_cout_rare(const float* a, float* r);

}  // namespace vexa::vm
