// Exponential: a - beta ln u for u uniform on [0, 1), never below a. The
// logarithm runs in place on the output array; ln 0 becomes the logarithm
// callback's -744.44 (float -103.28), so u = 0 gives a + 744.44 beta.
#include "random/distributions/frame.h"

namespace vexa::rng::dist {
namespace {

template <class T> int exponential(StreamState* s, int n, T* r, T a, T beta) {
    Frame frame(Consts<T>::kLnCallBack);
    const int st = source::uniform(s, n, r, T(0), T(1));
    if (st < 0) return st;
    apply<vm::fn::Ln>(n, r, r);
    const vec<T> va = simd::broadcast(a), vnb = simd::broadcast(-beta);
    map(n, r, [&](vec<T> l) { return simd::max(va, simd::fma(l, vnb, va)); });
    return st;
}

}  // namespace
}  // namespace vexa::rng::dist

extern "C" {
VEXA_EXPORT int _tqrdRngExponential(int, StreamState* s, int n, double* r, double a, double beta) {
    return vexa::rng::dist::exponential(s, n, r, a, beta);
}
VEXA_EXPORT int _tqrsRngExponential(int, StreamState* s, int n, float* r, float a, float beta) {
    return vexa::rng::dist::exponential(s, n, r, a, beta);
}
}
