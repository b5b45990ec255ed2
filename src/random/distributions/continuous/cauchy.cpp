// Cauchy: a + beta tan v for v uniform on [-pi/2, pi/2).
#include "random/distributions/frame.h"

namespace vexa::rng::dist {
namespace {

template <class T> int cauchy(StreamState* s, int n, T* r, T a, T beta) {
    const int st = source::uniform(s, n, r, -Consts<T>::kHalfPi, Consts<T>::kHalfPi);
    if (st < 0) return st;
    apply<vm::fn::Tan>(n, r, r);
    const vec<T> va = simd::broadcast(a), vb = simd::broadcast(beta);
    map(n, r, [&](vec<T> t) { return simd::fma(t, vb, va); });
    return st;
}

}  // namespace
}  // namespace vexa::rng::dist

extern "C" {
VEXA_EXPORT int _tqrdRngCauchy(int, StreamState* s, int n, double* r, double a, double beta) {
    return vexa::rng::dist::cauchy(s, n, r, a, beta);
}
VEXA_EXPORT int _tqrsRngCauchy(int, StreamState* s, int n, float* r, float a, float beta) {
    return vexa::rng::dist::cauchy(s, n, r, a, beta);
}
}
