// Weibull: a + beta (-ln u)^(1/alpha) for u uniform on [0, 1), never below a.
// With alpha = 1 no power is taken.
#include "random/distributions/frame.h"

namespace vexa::rng::dist {
namespace {

template <class T> int weibull(StreamState* s, int n, T* r, T alpha, T a, T beta) {
    Frame frame(Consts<T>::kLnCallBack);
    const int st = source::uniform(s, n, r, T(0), T(1));
    if (st < 0) return st;
    apply<vm::fn::Ln>(n, r, r);
    map(n, r, [](vec<T> l) { return -l; });
    if (alpha != T(1)) apply_scalar<vm::fn::Powx>(n, r, T(1) / alpha, r);
    const vec<T> va = simd::broadcast(a), vb = simd::broadcast(beta);
    map(n, r, [&](vec<T> l) { return simd::max(va, simd::fma(l, vb, va)); });
    return st;
}

}  // namespace
}  // namespace vexa::rng::dist

extern "C" {
VEXA_EXPORT int _tqrdRngWeibull(int, StreamState* s, int n, double* r, double alpha, double a, double beta) {
    return vexa::rng::dist::weibull(s, n, r, alpha, a, beta);
}
VEXA_EXPORT int _tqrsRngWeibull(int, StreamState* s, int n, float* r, float alpha, float a, float beta) {
    return vexa::rng::dist::weibull(s, n, r, alpha, a, beta);
}
}
