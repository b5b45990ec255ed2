// Uniform on [a, b): the generator's own routine. The accurate variant (bit
// 30 of the method word) clamps every value into [a, b], since a + (b - a) u
// can round up to b or, for bounds of opposite signs, past either end.
#include "random/distributions/frame.h"

namespace vexa::rng::dist {
namespace {

template <class T> int uniform(int method, StreamState* s, int n, T* r, T a, T b) {
    const int st = source::uniform(s, n, r, a, b);
    if (st < 0 || !(method & VEXA_RNG_UNIFORM_ACCURATE) || n < 1) return st;
    const vec<T> va = simd::broadcast(a), vb = simd::broadcast(b);
    map(n, r, [&](vec<T> x) { return simd::min(vb, simd::max(va, x)); });
    return st;
}

}  // namespace
}  // namespace vexa::rng::dist

extern "C" {
VEXA_EXPORT int _tqrdRngUniform(int method, StreamState* s, int n, double* r, double a, double b) {
    return vexa::rng::dist::uniform(method, s, n, r, a, b);
}
VEXA_EXPORT int _tqrsRngUniform(int method, StreamState* s, int n, float* r, float a, float b) {
    return vexa::rng::dist::uniform(method, s, n, r, a, b);
}
}
