// The Gaussian's methods, each (stream, n, r, a, sigma), and the tables the
// dispatcher picks them from by method index.
#pragma once

#include "vexa/random.h"

extern "C" {
typedef int VexadGaussianMethod(StreamState* stream, int n, double* r, double a, double sigma);
typedef int VexasGaussianMethod(StreamState* stream, int n, float* r, float a, float sigma);

// Box-Muller, one value per pair (box_muller.cpp).
VEXA_HIDDEN VexadGaussianMethod _vdRngGaussianBoxMuller;
VEXA_HIDDEN VexasGaussianMethod _vsRngGaussianBoxMuller;
// Box-Muller giving both values of each pair, a half-used pair kept in the
// stream (box_muller.cpp).
VEXA_HIDDEN VexadGaussianMethod _vdRngGaussianBoxMuller2;
VEXA_HIDDEN VexasGaussianMethod _vsRngGaussianBoxMuller2;
// The inverse CDF through the inverse error function, and on the
// congruential generators' vector engines (gaussian_icdf.cpp).
VEXA_HIDDEN VexadGaussianMethod _vdRngGaussianICDF;
VEXA_HIDDEN VexasGaussianMethod _vsRngGaussianICDF;
VEXA_HIDDEN VexadGaussianMethod _vrng_dnormal;
}
