// Mul (s, d): real products, no special lanes, no errors reported.
#include "vector_math/frame/elementwise.h"

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_sMul_S9HAynn(int n, const float* a, const float* b, float* r) {
    binary<RealBinary<float, Times>>(n, a, b, r);
}
VEXA_EXPORT void vexa_arx_kernel_dMul_S9HAynn(int n, const double* a, const double* b, double* r) {
    binary<RealBinary<double, Times>>(n, a, b, r);
}
}
