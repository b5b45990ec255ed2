// Atan (s, d): atan|x| by the octant reduction of atan_core.h with a/b = |x|/1,
// the sign of x put back (atan(-0) = -0).
//   d HA  u carried as head and tail, P of degree 11; base + u error-free
//   d LA  u rounded, P of degree 9;  d EP  P of degree 4
//   s HA  in double on the d EP formulas (error far below an ulp of float)
//   s LA, EP  in float: u rounded, P of degree 3 or 1
// |x| is first bounded by 2^1000 (NaN passes the bound), so an infinite
// argument gives +-pi/2 on the fast path. The LA kernels therefore need no
// other path and report nothing; the HA and EP kernels hand infinities and
// NaN to the per-element routine (limits +-pi/2, NaN through, status 0).
// Documented bounds per slot: include/vexa/vm_accuracy.def.
#include "vector_math/real/atan_core.h"
#include "vector_math/scalar/fp_bits.h"

namespace vexa::vm {
namespace {

using namespace simd;

template <Acc A> VEXA_INLINE __m256d atan_of(__m256d x) {
    const __m256d a = _mm256_min_pd(broadcast(0x1p1000), abs(x));  // NaN stays
    const trig_core::Parts<__m256d> r = atan_core::atan_ratio<A>(a, broadcast(1.0));
    return bit_xor(r.hi + r.lo, sign_of(x));
}

template <class T> int atan_rare(const T* a, T* r) {
    const T x = *a;
    if (std::isnan(x)) *r = x + x;
    else *r = T(std::signbit(x) ? -tables::kPiParts[6] : tables::kPiParts[6]);
    return 0;
}
int vdatan_cout_rare(const double* a, double* r) { return atan_rare(a, r); }
int vsatan_cout_rare(const float* a, float* r) { return atan_rare(a, r); }

// Infinities and NaN.
template <class V> VEXA_INLINE unsigned not_finite(V x) {
    using T = elem<V>;
    return movemask(cmp_gt_or_nan(abs(x), broadcast(std::numeric_limits<T>::max())));
}

template <Acc A, bool Report> struct DAtan : RealKernel<double, 1, 2, Report> {
    using V = __m256d;
    static VEXA_INLINE V fast(V x, unsigned& special) {
        if constexpr (Report) special = not_finite(x);
        return atan_of<A>(x);
    }
    static int rare(const double* a, double* r) { return vdatan_cout_rare(a, r); }
    static const char* name() { return VM_NAME(dAtan); }
};

// Float: HA in double on the d EP formulas; LA and EP in float (an infinite
// argument gives u = -0 and the base pi/2).
template <Acc A, bool Report> struct SAtan : RealKernel<float, 1, 1, Report> {
    using V = __m256;
    static VEXA_INLINE V fast(V x, unsigned& special) {
        if constexpr (Report) special = not_finite(x);
        if constexpr (A == Acc::HA) {
            return trig_core::via_double(x, atan_of<Acc::EP>);
        } else {
            __m256 base_lo;
            const __m256 r = atan_core::atan_ratio_float<A>(abs(x), broadcast(1.0f), base_lo);
            return bit_xor(r, sign_of(x));
        }
    }
    static int rare(const float* a, float* r) { return vsatan_cout_rare(a, r); }
    static const char* name() { return VM_NAME(sAtan); }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dAtan_S9HAynn(int n, const double* a, double* r) { unary<DAtan<Acc::HA, true>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dAtan_S9LAynn(int n, const double* a, double* r) { unary<DAtan<Acc::LA, false>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dAtan_S9EPnnn(int n, const double* a, double* r) { unary<DAtan<Acc::EP, true>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sAtan_S9HAynn(int n, const float* a, float* r) { unary<SAtan<Acc::HA, true>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sAtan_S9LAynn(int n, const float* a, float* r) { unary<SAtan<Acc::LA, false>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sAtan_S9EPnnn(int n, const float* a, float* r) { unary<SAtan<Acc::EP, true>>(n, a, r); }
}
