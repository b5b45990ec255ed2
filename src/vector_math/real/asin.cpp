// Asin (s, d): asin|x| from the arcsine core (asin_core.h), the sign of x put
// back: s itself for |x| <= 1/2, pi/2 - 2 asin s with s = sqrt((1 - |x|)/2)
// above.
//   d HA  the root with its tail, P of degree 12, the sum error-free
//   d LA  P of degree 11;  d EP  P of degree 5
//   s HA  in double on the d EP formulas (error far below an ulp of float)
//   s LA, EP  in float, the root rounded, P of degree 4 or 2
// |x| > 1 (status 1, NaN) and NaN (status 0) go to the per-element routine.
// Documented bounds per slot: include/vexa/vm_accuracy.def.
#include "vector_math/real/asin_core.h"

namespace vexa::vm {
namespace {

using namespace simd;

template <Acc A> VEXA_INLINE __m256d asin_of(__m256d x) {
    const double* pi = tables::kPiParts;
    const asin_core::Arcsine w = asin_core::arcsine<A>(abs(x));
    const __m256d zero = _mm256_setzero_pd();
    const __m256d base_hi = select(w.far, broadcast(pi[6]), zero), base_lo = select(w.far, broadcast(pi[7]), zero);
    const __m256d k = select(w.far, broadcast(-2.0), broadcast(1.0));
    return bit_xor(asin_core::combine<A>(base_hi, base_lo, k, w), sign_of(x));
}

int vdasin_cout_rare(const double* a, double* r) { return asin_core::outside_rare(a, r); }
int vsasin_cout_rare(const float* a, float* r) { return asin_core::outside_rare(a, r); }

template <Acc A> struct DAsin : RealUnary<double, 2, VM_NAME(dAsin), vdasin_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = asin_core::outside(x);
        return asin_of<A>(x);
    }
};
template <Acc A> struct SAsin : RealUnary<float, 1, VM_NAME(sAsin), vsasin_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = asin_core::outside(x);
        if constexpr (A == Acc::HA) {
            return trig_core::via_double(x, asin_of<Acc::EP>);
        } else {
            using namespace asin_core;
            const double* pi = tables::kPiParts;
            const FloatArcsine w = arcsine_float<A>(abs(x));
            const V zero = _mm256_setzero_ps();
            const V base_hi = select(w.far, broadcast(trig_core::head_of(pi[6])), zero);
            const V base_lo = select(w.far, broadcast(trig_core::tail_of(pi[6])), zero);
            const V k = select(w.far, broadcast(-2.0f), broadcast(1.0f));
            return bit_xor(combine_float(base_hi, base_lo, k, w), sign_of(x));
        }
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dAsin_S9HAynn(int n, const double* a, double* r) { unary<DAsin<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dAsin_S9LAynn(int n, const double* a, double* r) { unary<DAsin<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dAsin_S9EPnnn(int n, const double* a, double* r) { unary<DAsin<Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sAsin_S9HAynn(int n, const float* a, float* r) { unary<SAsin<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sAsin_S9LAynn(int n, const float* a, float* r) { unary<SAsin<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sAsin_S9EPnnn(int n, const float* a, float* r) { unary<SAsin<Acc::EP>>(n, a, r); }
}
