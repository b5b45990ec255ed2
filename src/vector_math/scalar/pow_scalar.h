// Per-element routines of Pow and Powx: x^y with the special values of C99
// Annex F and the statuses of the vector-math error path.
#pragma once

#include "common/export.h"

namespace vexa::vm {

// x^y of one element pair:
//   y = +-0 or x = 1: 1, even for a NaN in the other argument
//   NaN otherwise in either argument: NaN
//   x = +-0 and y < 0 (-inf included): +-inf (the sign of x for odd integer y),
//     status 2; x = +-0 and y > 0: +-0
//   x < 0 finite and y finite not an integer: NaN, status 1
//   infinite x or y: the limits (x = -1 with y = +-inf gives 1)
//   else |x|^y with the sign of x for odd integer y, status 3 when it
//   overflows (+-inf) and 4 when it is below the least normal number.
// ln|x| is taken in double-double and the exponential of y ln|x| with its low
// part, so the double result is within about half an ulp; the float routine
// computes in double and rounds once.
VEXA_HIDDEN int vdpow_cout_rare(const double* a, const double* b, double* r);
VEXA_HIDDEN int vspow_cout_rare(const float* a, const float* b, float* r);
// The same for Powx, whose exponent is the call's scalar.
VEXA_HIDDEN int vdpowx_cout_rare(const double* a, const double* b, double* r);
VEXA_HIDDEN int vspowx_cout_rare(const float* a, const float* b, float* r);

// x 2^k_extra = 2^k m for positive normal x, reduced on the rows of the
// vector logarithm: ln x = k ln2 + t_j + ln(1 + r) with t_j the row's
// logarithm (tables::kLnPairs[2j + 1], low part in kLogLo[2j]), r exact and
// below 2^-10 in magnitude.
struct LogReduced {
    int k, j;
    double r;
};
VEXA_HIDDEN LogReduced log_reduce(double x, int k_extra);

// ln x = hi + lo (relative error about 2^-68) for positive normal x, with
// k_extra added to x's exponent; the logarithm of the vector Pow kernels.
VEXA_HIDDEN void pow_log(double x, int k_extra, double& hi, double& lo);

}  // namespace vexa::vm
