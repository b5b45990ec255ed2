// Pow (s, d): x^y elementwise over two arrays, on pow_core.h. sPow has two
// kernels (HA, also in the LA slot, and EP); dPow three. Lanes the fast path
// leaves go to the per-element routine (scalar/pow_scalar.h), which gives the
// special values and statuses. Documented bounds per slot:
// include/vexa/vm_accuracy.def.
#include "vector_math/real/pow_core.h"
#include "vector_math/scalar/pow_scalar.h"

namespace vexa::vm {
namespace {


template <class T, Acc A> struct Pow : RealKernel<T, 2, sizeof(T) == 8 ? 2 : 1, true> {
    using V = simd::vec<T>;
    static VEXA_INLINE V fast(V x, V y, unsigned& special) { return pow_core::pow<A>(x, y, special); }
    static int rare(const T* a, const T* b, T* r) {
        if constexpr (sizeof(T) == 8) return vdpow_cout_rare(a, b, r);
        else return vspow_cout_rare(a, b, r);
    }
    static const char* name() { return sizeof(T) == 8 ? VM_NAME(dPow) : VM_NAME(sPow); }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dPow_S9HAynn(int n, const double* a, const double* b, double* r) {
    binary<Pow<double, Acc::HA>>(n, a, b, r);
}
VEXA_EXPORT void vexa_arx_kernel_dPow_S9LAynn(int n, const double* a, const double* b, double* r) {
    binary<Pow<double, Acc::LA>>(n, a, b, r);
}
VEXA_EXPORT void vexa_arx_kernel_dPow_S9EPnnn(int n, const double* a, const double* b, double* r) {
    binary<Pow<double, Acc::EP>>(n, a, b, r);
}
VEXA_EXPORT void vexa_arx_kernel_sPow_S9HAynn(int n, const float* a, const float* b, float* r) {
    binary<Pow<float, Acc::HA>>(n, a, b, r);
}
VEXA_EXPORT void vexa_arx_kernel_sPow_S9EPnnn(int n, const float* a, const float* b, float* r) {
    binary<Pow<float, Acc::EP>>(n, a, b, r);
}
}
