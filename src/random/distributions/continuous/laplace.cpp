// Laplace: from a pair (u1, u2) of uniforms on [0, 1), a - beta ln u1 when
// u2 <= 1/2 and a + beta ln u1 otherwise. Pairs are drawn 1024 at a time
// into a stack area, u1 from the even positions and u2 from the odd ones.
#include "random/distributions/frame.h"

namespace vexa::rng::dist {
namespace {

constexpr int kPass = 1024;

template <class T> int laplace(StreamState* s, int n, T* r, T a, T beta) {
    Frame frame(Consts<T>::kLnCallBack);
    alignas(32) T u[2 * kPass];
    const vec<T> va = simd::broadcast(a), vb = simd::broadcast(beta), half = simd::broadcast(T(0.5));
    int st = VEXA_RNG_OK;
    for (int done = 0; done < n; done += kPass) {
        const int k = n - done < kPass ? n - done : kPass;
        T* out = r + done;
        st = source::uniform(s, 2 * k, u, T(0), T(1));
        if (st < 0) return st;
        split_pairs(k, u, out, T(1), u, T(1));
        apply<vm::fn::Ln>(k, out, out);
        blocked(k, out, [&](int i, int count) {
            each_register<T>(i, count, [&](int j, int c) {
                const vec<T> l = load_n(out + j, c), u2 = load_n(u + j, c);
                const vec<T> scale = simd::select(simd::cmp_not_gt(u2, half), -vb, vb);
                store_n(out + j, c, simd::fma(l, scale, va));
            });
        });
    }
    return st;
}

}  // namespace
}  // namespace vexa::rng::dist

extern "C" {
VEXA_EXPORT int _tqrdRngLaplace(int, StreamState* s, int n, double* r, double a, double beta) {
    return vexa::rng::dist::laplace(s, n, r, a, beta);
}
VEXA_EXPORT int _tqrsRngLaplace(int, StreamState* s, int n, float* r, float a, float beta) {
    return vexa::rng::dist::laplace(s, n, r, a, beta);
}
}
