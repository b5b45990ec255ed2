// Abs (s, d): r = |a| + 0.0; clearing the sign bit keeps every value exact and
// the addition of +0.0 quiets a signalling NaN. No errors are reported.
#include "vector_math/frame/loop.h"

namespace vexa::vm {
namespace {

template <class T_>
struct AbsK {
    using T = T_;
    using Elem = T_;
    using V = simd::vec<T>;
    static constexpr int kInputs = 1;
    static constexpr int kRegs = 4;  // 32 floats or 16 doubles per main step
    static constexpr int kLanesPerElem = 1;
    static constexpr bool kFrame = true;
    static constexpr bool kRare = false;
    static constexpr T kFill = T(0.75);
    static VEXA_INLINE V fast(V a, unsigned&) { return simd::abs(a) + simd::zero<T>(); }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_sAbs_S9HAynn(int n, const float* a, float* r) { unary<AbsK<float>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dAbs_S9HAynn(int n, const double* a, double* r) { unary<AbsK<double>>(n, a, r); }
}
