// Conj (c, z): flips the sign bit of every imaginary part. Pure bit moves, so
// the kernels run under the caller's MXCSR and pass NaN payloads unchanged.
#include "vector_math/frame/elementwise.h"

namespace vexa::vm {
namespace {

template <class T_>
struct ConjK {
    using T = T_;
    using Elem = typename complex_of<T_>::type;
    using V = simd::vec<T>;
    static constexpr int kInputs = 1;
    static constexpr int kRegs = 4;
    static constexpr int kLanesPerElem = 2;  // keeps (re, im) pairs on even lanes
    static constexpr bool kFrame = false;
    static constexpr bool kRare = false;
    static constexpr T kFill = T(0.75);
    static VEXA_INLINE V fast(V a, unsigned&) {
        return simd::bit_xor(a, simd::odd_lane_sign<T>());
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_cConj_W7HAynn(int n, const VexaComplex8* a, VexaComplex8* r) {
    unary<ConjK<float>>(n, lanes_of(a), lanes_of(r));
}
VEXA_EXPORT void vexa_arx_kernel_zConj_G9HAynn(int n, const VexaComplex16* a, VexaComplex16* r) {
    unary<ConjK<double>>(n, lanes_of(a), lanes_of(r));
}
}
