// Per-element routines of the sine, cosine and tangent kernels: the lanes the
// fast reduction leaves (|x| >= 2^40, infinities, NaN). Huge arguments are
// reduced exactly by the bits of 2/pi and evaluated as the HA kernels do.
#pragma once

#include "common/export.h"

namespace vexa::vm {

// x = n pi/2 + (hi + lo) for finite |x| >= 1 (the kernels call it from
// 2^40 up), |hi + lo| <= pi/4 (a hair more), the reduced argument with a
// relative error below 2^-100; returns n mod 4.
VEXA_HIDDEN int reduce_pio2(double x, double& hi, double& lo);

enum class TrigFn { Sin, Cos, Tan };
// f(x) of one element to HA accuracy: NaN gives x + x (status 0), +-inf NaN
// (status 1).
VEXA_HIDDEN int trig_rare(TrigFn f, double x, double& r);

VEXA_HIDDEN int vdsin_cout_rare(const double* a, double* r);
VEXA_HIDDEN int vssin_cout_rare(const float* a, float* r);
VEXA_HIDDEN int vdcos_cout_rare(const double* a, double* r);
VEXA_HIDDEN int vscos_cout_rare(const float* a, float* r);
// Both results of one element; an infinite argument gives two NaNs and one status 1.
VEXA_HIDDEN int vdsincos_cout_rare(const double* a, double* r1, double* r2);
VEXA_HIDDEN int vssincos_cout_rare(const float* a, float* r1, float* r2);
VEXA_HIDDEN int vstan_cout_rare(const float* a, float* r);

}  // namespace vexa::vm
