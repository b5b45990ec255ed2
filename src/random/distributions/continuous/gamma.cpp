// Gamma: a + beta G for G standard gamma of shape alpha. The method by shape:
//
//   alpha > 1         Marsaglia and Tsang (2000): with d = alpha - 1/3 and
//                     c = 1 / sqrt(9 d), x normal and v = (1 + c x)^3 > 0,
//                     accept d v when u < 1 - 0.0331 x^4 or
//                     ln u < x^2 / 2 + d (1 - v + ln v). At least 95% of the
//                     candidates pass. (alpha, c) is kept in chunk 7 (float: 8).
//   alpha = 1         the exponential kernel.
//   0.6 <= alpha < 1  Ahrens and Dieter's GS (1974): b = 1 + alpha / e,
//                     p = b u1; p <= 1 gives x = p^(1/alpha), accepted when
//                     u2 <= exp(-x); p > 1 gives x = -ln((b - p) / alpha),
//                     accepted when u2 <= x^(alpha - 1). Passes 72% to 80%.
//   alpha < 0.6       G(alpha + 1) u^(1/alpha) with G(alpha + 1) by the
//                     first method (its set-up in the same chunk).
//
// Candidates come in blocks (normals from the Gaussian's second Box-Muller
// method, uniforms from the stream), go through the vector-math kernels as
// arrays, and the accepted ones are stored in order. Logarithms and powers
// that make a value run in the HA slot; those only tested, in the EP slot.
#include <cmath>

#include "random/distributions/frame.h"

namespace vexa::rng::dist {
namespace {

template <class T> struct GammaSetup {
    T alpha, c;
};
template <class T> constexpr int32_t kGammaChunk = sizeof(T) == 8 ? 7 : 8;

template <class T> int gaussian(StreamState* s, int n, T* r) {
    if constexpr (sizeof(T) == 8) return _tqrdRngGaussian(VEXA_RNG_GAUSSIAN_BOXMULLER2, s, n, r, 0.0, 1.0);
    else return _tqrsRngGaussian(VEXA_RNG_GAUSSIAN_BOXMULLER2, s, n, r, 0.0f, 1.0f);
}

// The set-up of the large-shape method for alpha, from the stream's chunk
// (made or recomputed as needed); null when the chunk cannot be made.
template <class T> const GammaSetup<T>* large_shape_setup(StreamState* s, T alpha) {
    constexpr int32_t bytes = sizeof(GammaSetup<T>);
    auto* g = static_cast<GammaSetup<T>*>(chunk_data(s, kGammaChunk<T>, bytes));
    if (g == nullptr) {
        g = static_cast<GammaSetup<T>*>(replace_chunk(s, kGammaChunk<T>, bytes));
        if (g == nullptr) return nullptr;
        g->alpha = T(0);
    }
    if (g->alpha != alpha) {
        g->c = T(1) / std::sqrt(T(9) * (alpha - T(1) / T(3)));
        g->alpha = alpha;
    }
    return g;
}

template <class T> int marsaglia_tsang(StreamState* s, int n, T* r, T alpha) {
    const GammaSetup<T>* g = large_shape_setup(s, alpha);
    if (g == nullptr) return VEXA_RNG_MEMORY;
    const T d = alpha - T(1) / T(3), c = g->c;
    alignas(32) T x[kBlock], u[kBlock], v[kBlock], lu[kBlock], lv[kBlock], keep[kBlock];
    int st = VEXA_RNG_OK;
    for (int done = 0; done < n;) {
        const int k = candidates(n - done, 1);
        if ((st = gaussian(s, k, x)) < 0) return st;
        if ((st = source::uniform(s, k, u, T(0), T(1))) < 0) return st;
        for (int i = 0; i < k; ++i) {
            const T t = T(1) + c * x[i];
            v[i] = t * t * t;
            lv[i] = v[i] > T(0) ? v[i] : T(1);
        }
        apply<vm::fn::Ln>(k, u, lu);
        apply<vm::fn::Ln>(k, lv, lv);
        for (int i = 0; i < k; ++i) {
            const T x2 = x[i] * x[i];
            const bool accept = (v[i] > T(0)) &
                                ((u[i] < T(1) - T(0.0331) * x2 * x2) | (lu[i] < T(0.5) * x2 + d * (T(1) - v[i] + lv[i])));
            keep[i] = accept ? T(1) : T(0);
            v[i] *= d;
        }
        done = compact(k, v, keep, r, done, n);
    }
    return st;
}

template <class T> int ahrens_dieter(StreamState* s, int n, T* r, T alpha) {
    const T b = T(1) + alpha * T(0.36787944117144233), inv = T(1) / alpha;  // 1/e
    alignas(32) T u[2 * kBlock], p[kBlock], la[kBlock], x[kBlock], lx[kBlock], keep[kBlock];
    int st = VEXA_RNG_OK;
    for (int done = 0; done < n;) {
        const int k = candidates(n - done, 8);
        if ((st = source::uniform(s, 2 * k, u, T(0), T(1))) < 0) return st;
        split_pairs(k, u, p, b, u, T(1));  // p = b u1; u2 to u
        const vec<T> one = simd::broadcast(T(1)), vb = simd::broadcast(b), vinv = simd::broadcast(inv),
                     am1 = simd::broadcast(alpha - T(1));
        registers<T>(k, [&](int i) {  // the argument of the logarithm
            const vec<T> pv = simd::load(p + i);
            simd::store(la + i, simd::select(simd::cmp_not_gt(pv, one), pv, (vb - pv) * vinv));
        });
        apply_ha<vm::fn::Ln>(k, la, la);
        for (int i = 0; i < k; ++i) x[i] = la[i] * inv;
        apply_ha<vm::fn::Exp>(k, x, x);
        registers<T>(k, [&](int i) {
            const vec<T> low = simd::cmp_not_gt(simd::load(p + i), one);
            simd::store(x + i, simd::select(low, simd::load(x + i), -simd::load(la + i)));
        });
        apply<vm::fn::Ln>(k, x, lx);
        apply<vm::fn::Ln>(k, u, u);
        registers<T>(k, [&](int i) {
            const vec<T> low = simd::cmp_not_gt(simd::load(p + i), one);
            const vec<T> bound = simd::select(low, -simd::load(x + i), am1 * simd::load(lx + i));
            simd::store(keep + i, simd::bit_and(simd::cmp_not_gt(simd::load(u + i), bound), one));
        });
        done = compact(k, x, keep, r, done, n);
    }
    return st;
}

// G(alpha) = G(alpha + 1) u^(1/alpha) (Marsaglia and Tsang's own way down
// to small shapes): the power as exp(ln u / alpha) in the HA slot, so that a
// value far below the smallest number comes out as the nearest one or 0.
template <class T> int boosted(StreamState* s, int n, T* r, T alpha) {
    int st = marsaglia_tsang(s, n, r, alpha + T(1));
    if (st < 0) return st;
    alignas(32) T u[kBlock];
    const vec<T> inv = simd::broadcast(T(1) / alpha);
    for (int done = 0; done < n; done += kBlock) {
        const int k = n - done < kBlock ? n - done : kBlock;
        if ((st = source::uniform(s, k, u, T(0), T(1))) < 0) return st;
        apply_ha<vm::fn::Ln>(k, u, u);
        map(k, u, [&](vec<T> l) { return l * inv; });
        apply_ha<vm::fn::Exp>(k, u, u);
        T* out = r + done;
        blocked(k, out, [&](int i, int count) {
            each_register<T>(i, count, [&](int j, int c) { store_n(out + j, c, load_n(out + j, c) * load_n(u + j, c)); });
        });
    }
    return st;
}

template <class T> int gamma(StreamState* s, int n, T* r, T alpha, T a, T beta) {
    if (alpha == T(1)) {
        if constexpr (sizeof(T) == 8) return _tqrdRngExponential(0, s, n, r, a, beta);
        else return _tqrsRngExponential(0, s, n, r, a, beta);
    }
    Frame frame(Consts<T>::kLnCallBack);
    int st;
    if (alpha > T(1)) st = marsaglia_tsang(s, n, r, alpha);
    else if (alpha >= T(0.6)) st = ahrens_dieter(s, n, r, alpha);
    else st = boosted(s, n, r, alpha);
    if (st < 0) return st;
    const vec<T> va = simd::broadcast(a), vb = simd::broadcast(beta);
    map(n, r, [&](vec<T> g) { return simd::fma(g, vb, va); });
    return st;
}

}  // namespace
}  // namespace vexa::rng::dist

extern "C" {
VEXA_EXPORT int _tqrdRngGamma(int, StreamState* s, int n, double* r, double alpha, double a, double beta) {
    return vexa::rng::dist::gamma(s, n, r, alpha, a, beta);
}
VEXA_EXPORT int _tqrsRngGamma(int, StreamState* s, int n, float* r, float alpha, float a, float beta) {
    return vexa::rng::dist::gamma(s, n, r, alpha, a, beta);
}
}
