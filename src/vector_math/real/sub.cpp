// Sub: real differences (s, d) and complex differences (c, z). The complex
// kernels of the HA slot (also in the LA slot) report overflow (finite
// operands, infinite difference) with status 3; the EP kernels do not report.
#include "vector_math/frame/elementwise.h"
#include "vector_math/frame/names.h"

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_sSub_S9HAynn(int n, const float* a, const float* b, float* r) {
    binary<RealBinary<float, Minus>>(n, a, b, r);
}
VEXA_EXPORT void vexa_arx_kernel_dSub_S9HAynn(int n, const double* a, const double* b, double* r) {
    binary<RealBinary<double, Minus>>(n, a, b, r);
}

#define VMX_CDIFF(T, report, name) ComplexSum<T, Minus, report, VM_NAME(name)>
VEXA_EXPORT void vexa_arx_kernel_cSub_P8HAynn(int n, const VexaComplex8* a, const VexaComplex8* b, VexaComplex8* r) {
    binary<VMX_CDIFF(float, true, cSub)>(n, lanes_of(a), lanes_of(b), lanes_of(r));
}
VEXA_EXPORT void vexa_arx_kernel_cSub_S9EPnnn(int n, const VexaComplex8* a, const VexaComplex8* b, VexaComplex8* r) {
    binary<VMX_CDIFF(float, false, cSub)>(n, lanes_of(a), lanes_of(b), lanes_of(r));
}
VEXA_EXPORT void vexa_arx_kernel_zSub_S9HAynn(int n, const VexaComplex16* a, const VexaComplex16* b,
                                              VexaComplex16* r) {
    binary<VMX_CDIFF(double, true, zSub)>(n, lanes_of(a), lanes_of(b), lanes_of(r));
}
VEXA_EXPORT void vexa_arx_kernel_zSub_S9EPnnn(int n, const VexaComplex16* a, const VexaComplex16* b,
                                              VexaComplex16* r) {
    binary<VMX_CDIFF(double, false, zSub)>(n, lanes_of(a), lanes_of(b), lanes_of(r));
}
}
