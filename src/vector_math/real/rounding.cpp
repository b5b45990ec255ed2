// The rounding family (s, d): Ceil, Floor, Trunc, Rint, NearbyInt, Round, Frac
// and Modf. One rounding instruction per register with the rounding in its
// immediate: Floor 1 (down), Ceil 2 (up), Trunc 3 (toward zero), Rint 4 (the
// MXCSR rounding, nearest-even under the frame; may raise inexact),
// NearbyInt 0xC (the same without the inexact flag). Round: |a| rounded to
// nearest-even, plus 1 where |a| minus that is exactly 0.5, with a's sign bit
// ORed back, so halves go away from zero and the sign of zero stays.
// Frac = a - Trunc(a); Modf gives Trunc(a) and a - Trunc(a) with a's sign bit
// ORed in. Every result is exact; no element needs a per-element routine and
// none reports. The d kernels of the LA and HA slots are the same code.
#include "vector_math/frame/kernel.h"

namespace vexa::vm {
namespace {

using namespace simd;

template <class T> using Exact = RealKernel<T, 1, 4, false>;

template <class T, int Imm> struct RoundBy : Exact<T> {
    using V = vec<T>;
    static VEXA_INLINE V fast(V a, unsigned&) { return round<Imm>(a); }
};

template <class T> struct RoundHalfAway : Exact<T> {
    using V = vec<T>;
    static VEXA_INLINE V fast(V a, unsigned&) {
        const V m = abs(a);
        V t = round<0>(m);
        t = t + bit_and(cmp_eq(m - t, broadcast(T(0.5))), broadcast(T(1)));
        return bit_or(t, sign_of(a));
    }
};

template <class T> struct Frac : Exact<T> {
    using V = vec<T>;
    static VEXA_INLINE V fast(V a, unsigned&) { return a - round<3>(a); }
};

template <class T> struct Modf : Exact<T> {
    using V = vec<T>;
    static constexpr int kOutputs = 2;
    static VEXA_INLINE V fast(V a, V& frac, unsigned&) {
        const V t = round<3>(a);
        frac = bit_or(a - t, sign_of(a));
        return t;
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

#define VMX_ROUNDING(t, T, F, suffix, ...) \
    VEXA_EXPORT void vexa_arx_kernel_##t##F##_S9##suffix(int n, const T* a, T* r) { unary<__VA_ARGS__>(n, a, r); }

extern "C" {
VMX_ROUNDING(s, float, Floor, HAynn, RoundBy<float, 1>)
VMX_ROUNDING(s, float, Ceil, HAynn, RoundBy<float, 2>)
VMX_ROUNDING(s, float, Trunc, HAynn, RoundBy<float, 3>)
VMX_ROUNDING(s, float, Rint, HAynn, RoundBy<float, 4>)
VMX_ROUNDING(s, float, NearbyInt, HAynn, RoundBy<float, 0xC>)
VMX_ROUNDING(s, float, Round, HAynn, RoundHalfAway<float>)
VMX_ROUNDING(s, float, Frac, HAynn, Frac<float>)
VMX_ROUNDING(d, double, NearbyInt, HAynn, RoundBy<double, 0xC>)
VMX_ROUNDING(d, double, Frac, HAynn, Frac<double>)
VMX_ROUNDING(d, double, Floor, HAynn, RoundBy<double, 1>)
VMX_ROUNDING(d, double, Floor, LAynn, RoundBy<double, 1>)
VMX_ROUNDING(d, double, Ceil, HAynn, RoundBy<double, 2>)
VMX_ROUNDING(d, double, Ceil, LAynn, RoundBy<double, 2>)
VMX_ROUNDING(d, double, Trunc, HAynn, RoundBy<double, 3>)
VMX_ROUNDING(d, double, Trunc, LAynn, RoundBy<double, 3>)
VMX_ROUNDING(d, double, Rint, HAynn, RoundBy<double, 4>)
VMX_ROUNDING(d, double, Rint, LAynn, RoundBy<double, 4>)
VMX_ROUNDING(d, double, Round, HAynn, RoundHalfAway<double>)
VMX_ROUNDING(d, double, Round, LAynn, RoundHalfAway<double>)

VEXA_EXPORT void vexa_arx_kernel_sModf_S9HAynn(int n, const float* a, float* r1, float* r2) {
    unary2<Modf<float>>(n, a, r1, r2);
}
VEXA_EXPORT void vexa_arx_kernel_dModf_S9HAynn(int n, const double* a, double* r1, double* r2) {
    unary2<Modf<double>>(n, a, r1, r2);
}
VEXA_EXPORT void vexa_arx_kernel_dModf_S9LAynn(int n, const double* a, double* r1, double* r2) {
    unary2<Modf<double>>(n, a, r1, r2);
}
}
