// Acos (s, d) from the arcsine core (asin_core.h):
//   |x| <= 1/2  pi/2 - asin x
//   x > 1/2     2 asin s,       s = sqrt((1 - x)/2)
//   x < -1/2    pi - 2 asin s,  s = sqrt((1 + x)/2)
// with the polynomials and the error-free sum of Asin in each slot; s HA in
// double on the d EP formulas (error far below an ulp of float), s LA and EP
// in float as Asin's. |x| > 1 (status 1, NaN) and NaN (status 0) go to the
// per-element routine.
// Documented bounds per slot: include/vexa/vm_accuracy.def.
#include "vector_math/real/asin_core.h"

namespace vexa::vm {
namespace {

using namespace simd;

template <Acc A> VEXA_INLINE __m256d acos_of(__m256d x) {
    const double* pi = tables::kPiParts;
    const asin_core::Arcsine w = asin_core::arcsine<A>(abs(x));
    const __m256d sign = sign_of(x), zero = _mm256_setzero_pd();
    // far: base 0 or pi by the sign, k = +-2; near: base pi/2, k = -sign(x)
    const __m256d far_hi = select(x, broadcast(pi[10]), zero), far_lo = select(x, broadcast(pi[11]), zero);
    const __m256d base_hi = select(w.far, far_hi, broadcast(pi[6]));
    const __m256d base_lo = select(w.far, far_lo, broadcast(pi[7]));
    const __m256d k = bit_xor(select(w.far, broadcast(2.0), broadcast(-1.0)), sign);
    return asin_core::combine<A>(base_hi, base_lo, k, w);
}

int vdacos_cout_rare(const double* a, double* r) { return asin_core::outside_rare(a, r); }
int vsacos_cout_rare(const float* a, float* r) { return asin_core::outside_rare(a, r); }

template <Acc A> struct DAcos : RealUnary<double, 2, VM_NAME(dAcos), vdacos_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = asin_core::outside(x);
        return acos_of<A>(x);
    }
};
template <Acc A> struct SAcos : RealUnary<float, 1, VM_NAME(sAcos), vsacos_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = asin_core::outside(x);
        if constexpr (A == Acc::HA) {
            return trig_core::via_double(x, acos_of<Acc::EP>);
        } else {
            using namespace asin_core;
            const double* pi = tables::kPiParts;
            const FloatArcsine w = arcsine_float<A>(abs(x));
            const V zero = _mm256_setzero_ps();
            const V far_hi = select(x, broadcast(trig_core::head_of(pi[10])), zero);
            const V far_lo = select(x, broadcast(trig_core::tail_of(pi[10])), zero);
            const V base_hi = select(w.far, far_hi, broadcast(trig_core::head_of(pi[6])));
            const V base_lo = select(w.far, far_lo, broadcast(trig_core::tail_of(pi[6])));
            const V k = bit_xor(select(w.far, broadcast(2.0f), broadcast(-1.0f)), sign_of(x));
            return combine_float(base_hi, base_lo, k, w);
        }
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dAcos_S9HAynn(int n, const double* a, double* r) { unary<DAcos<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dAcos_S9LAynn(int n, const double* a, double* r) { unary<DAcos<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dAcos_S9EPnnn(int n, const double* a, double* r) { unary<DAcos<Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sAcos_S9HAynn(int n, const float* a, float* r) { unary<SAcos<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sAcos_S9LAynn(int n, const float* a, float* r) { unary<SAcos<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sAcos_S9EPnnn(int n, const float* a, float* r) { unary<SAcos<Acc::EP>>(n, a, r); }
}
