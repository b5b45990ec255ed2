// Gumbel (of the minimum): a + beta ln E for E standard exponential, drawn by
// the exponential kernel.
#include "random/distributions/frame.h"

namespace vexa::rng::dist {
namespace {

template <class T> int gumbel(StreamState* s, int n, T* r, T a, T beta) {
    Frame frame(Consts<T>::kLnCallBack);
    int st;
    if constexpr (sizeof(T) == 8) st = _tqrdRngExponential(0, s, n, r, 0.0, 1.0);
    else st = _tqrsRngExponential(0, s, n, r, 0.0f, 1.0f);
    if (st < 0) return st;
    apply<vm::fn::Ln>(n, r, r);
    const vec<T> va = simd::broadcast(a), vb = simd::broadcast(beta);
    map(n, r, [&](vec<T> l) { return simd::fma(l, vb, va); });
    return st;
}

}  // namespace
}  // namespace vexa::rng::dist

extern "C" {
VEXA_EXPORT int _tqrdRngGumbel(int, StreamState* s, int n, double* r, double a, double beta) {
    return vexa::rng::dist::gumbel(s, n, r, a, beta);
}
VEXA_EXPORT int _tqrsRngGumbel(int, StreamState* s, int n, float* r, float a, float beta) {
    return vexa::rng::dist::gumbel(s, n, r, a, beta);
}
}
