// Powx (s, d): x^b elementwise with one exponent b for the whole array, on
// the kernels of Pow (pow_core.h) with b broadcast; three kernels for each
// type. Lanes the fast path leaves go to the per-element routine with b.
// Documented bounds per slot: include/vexa/vm_accuracy.def.
#include "vector_math/real/pow_core.h"
#include "vector_math/scalar/pow_scalar.h"

namespace vexa::vm {
namespace {


template <class T, Acc A> struct Powx : RealKernel<T, 1, sizeof(T) == 8 ? 2 : 1, true> {
    using V = simd::vec<T>;
    V y;   // the exponent in every lane
    T ys;  // and as a scalar, for the per-element routine
    VEXA_INLINE V fast(V x, unsigned& special) const { return pow_core::pow<A>(x, y, special); }
    int rare(const T* a, T* r) const {
        if constexpr (sizeof(T) == 8) return vdpowx_cout_rare(a, &ys, r);
        else return vspowx_cout_rare(a, &ys, r);
    }
    static const char* name() { return sizeof(T) == 8 ? VM_NAME(dPowx) : VM_NAME(sPowx); }
};

template <class T, Acc A> VEXA_INLINE void powx(int n, const T* a, T b, T* r) {
    const Powx<T, A> k{{}, simd::broadcast(b), b};
    VectorLoop<Powx<T, A>>::run(k, n, a, nullptr, r);
}

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dPowx_S9HAynn(int n, const double* a, double b, double* r) { powx<double, Acc::HA>(n, a, b, r); }
VEXA_EXPORT void vexa_arx_kernel_dPowx_S9LAynn(int n, const double* a, double b, double* r) { powx<double, Acc::LA>(n, a, b, r); }
VEXA_EXPORT void vexa_arx_kernel_dPowx_S9EPnnn(int n, const double* a, double b, double* r) { powx<double, Acc::EP>(n, a, b, r); }
VEXA_EXPORT void vexa_arx_kernel_sPowx_S9HAynn(int n, const float* a, float b, float* r) { powx<float, Acc::HA>(n, a, b, r); }
VEXA_EXPORT void vexa_arx_kernel_sPowx_S9LAynn(int n, const float* a, float b, float* r) { powx<float, Acc::LA>(n, a, b, r); }
VEXA_EXPORT void vexa_arx_kernel_sPowx_S9EPnnn(int n, const float* a, float b, float* r) { powx<float, Acc::EP>(n, a, b, r); }
}
