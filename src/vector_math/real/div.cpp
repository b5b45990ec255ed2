// Div and Inv (s, d): the division instruction on whole registers, in every
// slot (correctly rounded). Lanes whose divisor compares equal to zero get
// status 2 through the error path, with the quotient the instruction produced
// as the stored result. The EP kernels of sDiv, sInv and dInv report nothing.
#include "vector_math/frame/kernel.h"

namespace vexa::vm {
namespace {

using namespace simd;

template <class T, int Inputs, bool Report, const char* Name> struct Division : RealKernel<T, Inputs, 4, Report> {
    using V = vec<T>;
    static VEXA_INLINE V fast(V a, V b, unsigned& special) {
        if constexpr (Report) special = movemask(cmp_eq(b, zero<T>()));
        return a / b;
    }
    static VEXA_INLINE V fast(V a, unsigned& special) {
        if constexpr (Report) special = movemask(cmp_eq(a, zero<T>()));
        return broadcast(T(1)) / a;
    }
    static int rare(const T* a, const T* b, T* r) {
        r[0] = a[0] / b[0];
        return VEXA_VM_STATUS_SING;
    }
    static int rare(const T* a, T* r) {
        r[0] = T(1) / a[0];
        return VEXA_VM_STATUS_SING;
    }
    static const char* name() { return Name; }
};

template <class T, bool Report, const char* Name> using Div = Division<T, 2, Report, Name>;
template <class T, bool Report, const char* Name> using Inv = Division<T, 1, Report, Name>;

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

#define VMX_DIV(t, T, g, acc, report)                                                                  \
    VEXA_EXPORT void vexa_arx_kernel_##t##Div_##g##acc(int n, const T* a, const T* b, T* r) {         \
        binary<Div<T, report, VM_NAME(t##Div)>>(n, a, b, r);                                          \
    }
#define VMX_INV(t, T, g, acc, report)                                                                  \
    VEXA_EXPORT void vexa_arx_kernel_##t##Inv_##g##acc(int n, const T* a, T* r) {                     \
        unary<Inv<T, report, VM_NAME(t##Inv)>>(n, a, r);                                              \
    }

extern "C" {
VMX_DIV(s, float, S9, LAynn, true)
VMX_DIV(s, float, S9, HAynn, true)
VMX_DIV(s, float, S9, EPnnn, false)
VMX_DIV(d, double, S9, LAynn, true)
VMX_DIV(d, double, S9, HAynn, true)
VMX_DIV(d, double, S9, EPnnn, true)
VMX_INV(s, float, S9, LAynn, true)
VMX_INV(s, float, V8, HAynn, true)
VMX_INV(s, float, S9, EPnnn, false)
VMX_INV(d, double, S9, LAynn, true)
VMX_INV(d, double, S9, HAynn, true)
VMX_INV(d, double, S9, EPnnn, false)
}
