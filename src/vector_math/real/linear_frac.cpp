// LinearFrac (s, d): r = (scalea a + shifta) / (scaleb b + shiftb). Numerator
// and denominator are each one fused multiply-add (one rounding each, our
// choice), then one division: at most three roundings, about 1.5 ulp relative.
// No special lanes, no errors reported. The float kernel (generation W7) runs
// under the vector-math frame; the double one (generation N8) under the
// caller's floating-point settings.
#include "vector_math/frame/kernel.h"

namespace vexa::vm {
namespace {

using namespace simd;

template <class T, bool Frame> struct LinearFracK : RealKernel<T, 2, 2, false, Frame> {
    using V = vec<T>;
    V scalea, shifta, scaleb, shiftb;
    VEXA_INLINE V fast(V a, V b, unsigned&) const { return fma(scalea, a, shifta) / fma(scaleb, b, shiftb); }
};

template <class T, bool Frame>
VEXA_INLINE void linear_frac(int n, const T* a, const T* b, T sa, T ta, T sb, T tb, T* r) {
    const LinearFracK<T, Frame> k{{}, broadcast(sa), broadcast(ta), broadcast(sb), broadcast(tb)};
    VectorLoop<LinearFracK<T, Frame>>::run(k, n, a, b, r);
}

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_sLinearFrac_W7HAynn(int n, const float* a, const float* b, float scalea, float shifta,
                                                     float scaleb, float shiftb, float* r) {
    linear_frac<float, true>(n, a, b, scalea, shifta, scaleb, shiftb, r);
}
VEXA_EXPORT void vexa_arx_kernel_dLinearFrac_N8HAynn(int n, const double* a, const double* b, double scalea,
                                                     double shifta, double scaleb, double shiftb, double* r) {
    linear_frac<double, false>(n, a, b, scalea, shifta, scaleb, shiftb, r);
}
}
