// Abs (s, d): r = |a| + 0.0; clearing the sign bit keeps every value exact and
// the addition of +0.0 quiets a signalling NaN. No errors are reported.
#include "vector_math/frame/kernel.h"

namespace vexa::vm {
namespace {

// 32 floats or 16 doubles per main step.
template <class T> struct AbsK : RealKernel<T, 1, 4, false> {
    static VEXA_INLINE simd::vec<T> fast(simd::vec<T> a, unsigned&) { return simd::abs(a) + simd::zero<T>(); }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_sAbs_S9HAynn(int n, const float* a, float* r) { unary<AbsK<float>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dAbs_S9HAynn(int n, const double* a, double* r) { unary<AbsK<double>>(n, a, r); }
}
