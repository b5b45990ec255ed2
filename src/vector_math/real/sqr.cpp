// Sqr (s, d): a * a, one multiplication per lane; exact to the rounding of
// the product. No special lanes, no errors reported.
#include "vector_math/frame/loop.h"

namespace vexa::vm {
namespace {

template <class T_> struct SqrK {
    using T = T_;
    using Elem = T_;
    using V = simd::vec<T>;
    static constexpr int kInputs = 1;
    static constexpr int kRegs = 4;
    static constexpr int kLanesPerElem = 1;
    static constexpr bool kFrame = true;
    static constexpr bool kRare = false;
    static constexpr T kFill = T(0.75);
    static VEXA_INLINE V fast(V a, unsigned&) { return a * a; }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_sSqr_S9HAynn(int n, const float* a, float* r) { unary<SqrK<float>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dSqr_S9HAynn(int n, const double* a, double* r) { unary<SqrK<double>>(n, a, r); }
}
