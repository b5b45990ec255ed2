// SinCos (s, d): sin x into r1 and cos x into r2 from one reduction by pi/2
// and both polynomials (trig_core.h):
//   d HA  as HA Sin and Cos, bit for bit
//   d LA, EP  r rounded, the fits of degree 5 and 3
//   s HA  in double on the d EP formulas (error far below an ulp of float);
//         arguments from 2^40 up reduced by the per-exponent table
//   s LA, EP  in float for |x| < 2^17 (pi/2 in three floats, the d EP fits
//         rounded to float); larger arguments' lanes as HA
// Double |x| >= 2^40, infinities and NaN go to the per-element routine, which
// writes both results (two NaNs and one status for an infinity).
// Documented bounds per slot: include/vexa/vm_accuracy.def.
#include "vector_math/real/trig_core.h"
#include "vector_math/scalar/trig_scalar.h"

namespace vexa::vm {
namespace {

using namespace simd;

// A: the slot's accuracy; D: the formulas of the double evaluation.
template <class T_, Acc A, Acc D, const char* Name, int (*Rare)(const T_*, T_*, T_*)>
struct SinCos : RealKernel<T_, 1, sizeof(T_) == 8 ? 2 : 1, true> {
    static constexpr bool Float = sizeof(T_) == 4;
    using V = vec<T_>;
    static constexpr int kOutputs = 2;
    static VEXA_INLINE void both(__m256d x, __m256d& s, __m256d& c) {
        trig_core::sin_cos<D, Float>(x, &s, &c);
        s = select(cmp_eq(x, zero<double>()), x, s);
    }
    static VEXA_INLINE V fast(V x, V& cos_out, unsigned& special) {
        special = trig_core::outside(x);
        if constexpr (sizeof(T_) == 8) {
            V s;
            both(x, s, cos_out);
            return s;
        } else if constexpr (A == Acc::HA) {
            return in_double(x, cos_out);
        } else {
            // In float; lanes beyond the float reduction's range in double.
            V s;
            trig_core::sincos_float(x, s, cos_out);
            s = select(cmp_eq(x, zero<float>()), x, s);
            const V beyond = cmp_not_gt(broadcast(trig_core::kFloatWideLimit), abs(x));
            if (__builtin_expect(movemask(beyond) != 0, 0)) {
                V c;
                const V sd = in_double(x, c);
                s = select(beyond, sd, s);
                cos_out = select(beyond, c, cos_out);
            }
            return s;
        }
    }
    // Both results of a float register from its double halves.
    static VEXA_INLINE __m256 in_double(__m256 x, __m256& cos_out) {
        __m256d s0, c0, s1, c1;
        both(low_doubles(x), s0, c0);
        both(high_doubles(x), s1, c1);
        cos_out = join(narrow(c0), narrow(c1));
        return join(narrow(s0), narrow(s1));
    }
    static int rare(const T_* a, T_* r1, T_* r2) { return Rare(a, r1, r2); }
    static const char* name() { return Name; }
};

template <Acc A> using DSinCos = SinCos<double, A, A, VM_NAME(dSinCos), vdsincos_cout_rare>;
template <Acc A> using SSinCos = SinCos<float, A, Acc::EP, VM_NAME(sSinCos), vssincos_cout_rare>;

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dSinCos_S9HAynn(int n, const double* a, double* r1, double* r2) {
    unary2<DSinCos<Acc::HA>>(n, a, r1, r2);
}
VEXA_EXPORT void vexa_arx_kernel_dSinCos_S9LAynn(int n, const double* a, double* r1, double* r2) {
    unary2<DSinCos<Acc::LA>>(n, a, r1, r2);
}
VEXA_EXPORT void vexa_arx_kernel_dSinCos_S9EPnnn(int n, const double* a, double* r1, double* r2) {
    unary2<DSinCos<Acc::EP>>(n, a, r1, r2);
}
VEXA_EXPORT void vexa_arx_kernel_sSinCos_S9HAynn(int n, const float* a, float* r1, float* r2) {
    unary2<SSinCos<Acc::HA>>(n, a, r1, r2);
}
VEXA_EXPORT void vexa_arx_kernel_sSinCos_S9LAynn(int n, const float* a, float* r1, float* r2) {
    unary2<SSinCos<Acc::EP>>(n, a, r1, r2);
}
VEXA_EXPORT void vexa_arx_kernel_sSinCos_S9EPnnn(int n, const float* a, float* r1, float* r2) {
    unary2<SSinCos<Acc::EP>>(n, a, r1, r2);
}
}
