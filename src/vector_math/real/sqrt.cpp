// Sqrt (s, d): the square-root instruction in every slot (correctly rounded).
// Lanes below zero (not -0, which gives -0) go to the per-element routine:
// NaN with status 1.
#include "vector_math/frame/kernel.h"
#include "vector_math/scalar/fp_bits.h"

namespace vexa::vm {
namespace {

using namespace simd;

template <class T, const char* Name> struct SqrtK : RealKernel<T, 1, 4, true> {
    using V = vec<T>;
    static VEXA_INLINE V fast(V a, unsigned& special) {
        special = movemask(cmp_lt(a, zero<T>()));
        return sqrt(a);
    }
    static int rare(const T* a, T* r) {
        r[0] = T(invalid_result());
        return VEXA_VM_STATUS_DOMAIN;
    }
    static const char* name() { return Name; }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

#define VMX_SQRT(t, T, acc) \
    VEXA_EXPORT void vexa_arx_kernel_##t##Sqrt_S9##acc(int n, const T* a, T* r) { unary<SqrtK<T, VM_NAME(t##Sqrt)>>(n, a, r); }

extern "C" {
VMX_SQRT(s, float, LAynn)
VMX_SQRT(s, float, HAynn)
VMX_SQRT(s, float, EPnnn)
VMX_SQRT(d, double, LAynn)
VMX_SQRT(d, double, HAynn)
VMX_SQRT(d, double, EPnnn)
}
