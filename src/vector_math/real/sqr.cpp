// Sqr (s, d): a * a, one multiplication per lane; exact to the rounding of
// the product. No special lanes, no errors reported.
#include "vector_math/frame/kernel.h"

namespace vexa::vm {
namespace {

template <class T> struct SqrK : RealKernel<T, 1, 4, false> {
    static VEXA_INLINE simd::vec<T> fast(simd::vec<T> a, unsigned&) { return a * a; }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_sSqr_S9HAynn(int n, const float* a, float* r) { unary<SqrK<float>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dSqr_S9HAynn(int n, const double* a, double* r) { unary<SqrK<double>>(n, a, r); }
}
