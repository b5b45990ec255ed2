// Lognormal: b + beta exp(y) for y normal with mean a and deviation sigma,
// drawn by the Gaussian dispatcher: method word 0 takes its second
// Box-Muller method, any other word its inverse CDF.
#include "random/distributions/frame.h"

namespace vexa::rng::dist {
namespace {

template <class T> int lognormal(int method, StreamState* s, int n, T* r, T a, T sigma, T b, T beta) {
    const int gaussian = method == VEXA_RNG_LOGNORMAL_BOXMULLER2 ? VEXA_RNG_GAUSSIAN_BOXMULLER2 : VEXA_RNG_GAUSSIAN_ICDF;
    int st;
    if constexpr (sizeof(T) == 8) st = _tqrdRngGaussian(gaussian, s, n, r, a, sigma);
    else st = _tqrsRngGaussian(gaussian, s, n, r, a, sigma);
    if (st < 0) return st;
    apply<vm::fn::Exp>(n, r, r);
    const vec<T> vb = simd::broadcast(b), vbeta = simd::broadcast(beta);
    map(n, r, [&](vec<T> e) { return simd::fma(e, vbeta, vb); });
    return st;
}

}  // namespace
}  // namespace vexa::rng::dist

extern "C" {
VEXA_EXPORT int _tqrdRngLognormal(int method, StreamState* s, int n, double* r, double a, double sigma, double b,
                                  double beta) {
    return vexa::rng::dist::lognormal(method, s, n, r, a, sigma, b, beta);
}
VEXA_EXPORT int _tqrsRngLognormal(int method, StreamState* s, int n, float* r, float a, float sigma, float b,
                                  float beta) {
    return vexa::rng::dist::lognormal(method, s, n, r, a, sigma, b, beta);
}
}
