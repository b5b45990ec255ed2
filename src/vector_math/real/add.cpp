// Add: real sums (s, d) and complex sums (c, z). The complex kernels of the LA
// and HA slots report overflow (finite operands, infinite sum) with status 3;
// the EP kernels store the same sums without reporting.
#include "vector_math/frame/elementwise.h"
#include "vector_math/frame/names.h"

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_sAdd_S9HAynn(int n, const float* a, const float* b, float* r) {
    binary<RealBinary<float, Plus>>(n, a, b, r);
}
VEXA_EXPORT void vexa_arx_kernel_dAdd_S9HAynn(int n, const double* a, const double* b, double* r) {
    binary<RealBinary<double, Plus>>(n, a, b, r);
}

#define VMX_CSUM(T, report, name) ComplexSum<T, Plus, report, VM_NAME(name)>
VEXA_EXPORT void vexa_arx_kernel_cAdd_P8HAynn(int n, const VexaComplex8* a, const VexaComplex8* b, VexaComplex8* r) {
    binary<VMX_CSUM(float, true, cAdd)>(n, lanes_of(a), lanes_of(b), lanes_of(r));
}
VEXA_EXPORT void vexa_arx_kernel_cAdd_S9EPnnn(int n, const VexaComplex8* a, const VexaComplex8* b, VexaComplex8* r) {
    binary<VMX_CSUM(float, false, cAdd)>(n, lanes_of(a), lanes_of(b), lanes_of(r));
}
VEXA_EXPORT void vexa_arx_kernel_zAdd_S9LAynn(int n, const VexaComplex16* a, const VexaComplex16* b,
                                              VexaComplex16* r) {
    binary<VMX_CSUM(double, true, zAdd)>(n, lanes_of(a), lanes_of(b), lanes_of(r));
}
VEXA_EXPORT void vexa_arx_kernel_zAdd_S9HAynn(int n, const VexaComplex16* a, const VexaComplex16* b,
                                              VexaComplex16* r) {
    binary<VMX_CSUM(double, true, zAdd)>(n, lanes_of(a), lanes_of(b), lanes_of(r));
}
VEXA_EXPORT void vexa_arx_kernel_zAdd_S9EPnnn(int n, const VexaComplex16* a, const VexaComplex16* b,
                                              VexaComplex16* r) {
    binary<VMX_CSUM(double, false, zAdd)>(n, lanes_of(a), lanes_of(b), lanes_of(r));
}
}
