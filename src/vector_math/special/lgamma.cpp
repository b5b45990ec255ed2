// LGamma (s, d): ln|Gamma(x)| of every element by its per-element routine
// (scalar/gamma_scalar.cpp gives the method); the double LA and HA slots
// share the kernel. Documented bounds: include/vexa/vm_accuracy.def.
#include "vector_math/scalar/gamma_scalar.h"
#include "vector_math/special/gamma_kernel.h"

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dLGamma_S9HAynn(int n, const double* a, double* r) {
    unary<EveryElementRare<double, VM_NAME(dLGamma), vdlgamma_cout_rare>>(n, a, r);
}
VEXA_EXPORT void vexa_arx_kernel_dLGamma_S9LAynn(int n, const double* a, double* r) {
    unary<EveryElementRare<double, VM_NAME(dLGamma), vdlgamma_cout_rare>>(n, a, r);
}
VEXA_EXPORT void vexa_arx_kernel_sLGamma_S9HAynn(int n, const float* a, float* r) {
    unary<EveryElementRare<float, VM_NAME(sLGamma), vslgamma_cout_rare>>(n, a, r);
}
}
