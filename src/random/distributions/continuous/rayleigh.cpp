// Rayleigh: a + beta sqrt(-ln u) for u uniform on [0, 1), never below a.
#include "random/distributions/frame.h"

namespace vexa::rng::dist {
namespace {

template <class T> int rayleigh(StreamState* s, int n, T* r, T a, T beta) {
    Frame frame(Consts<T>::kLnCallBack);
    const int st = source::uniform(s, n, r, T(0), T(1));
    if (st < 0) return st;
    apply<vm::fn::Ln>(n, r, r);
    map(n, r, [](vec<T> l) { return -l; });
    apply<vm::fn::Sqrt>(n, r, r);
    const vec<T> va = simd::broadcast(a), vb = simd::broadcast(beta);
    map(n, r, [&](vec<T> q) { return simd::max(va, simd::fma(q, vb, va)); });
    return st;
}

}  // namespace
}  // namespace vexa::rng::dist

extern "C" {
VEXA_EXPORT int _tqrdRngRayleigh(int, StreamState* s, int n, double* r, double a, double beta) {
    return vexa::rng::dist::rayleigh(s, n, r, a, beta);
}
VEXA_EXPORT int _tqrsRngRayleigh(int, StreamState* s, int n, float* r, float a, float beta) {
    return vexa::rng::dist::rayleigh(s, n, r, a, beta);
}
}
