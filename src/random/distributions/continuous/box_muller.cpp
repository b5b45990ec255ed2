// Box-Muller: a pair (u1, u2) of uniforms on [0, 1) gives
//   sqrt(-2 ln u1) sin(2 pi u2)  and  sqrt(-2 ln u1) cos(2 pi u2),
// two independent standard normal values (Box and Muller, 1958); each is
// mapped to a + sigma x. u1 is taken from the even positions of the drawn
// uniforms and u2 from the odd ones. ln 0 becomes the Gaussian callback's
// -744.44 (float -103.28), so u1 = 0 gives a finite value.
//
// Method 0 keeps the sine value of every pair, in passes of at most 1024
// results. Method 1 keeps both, sine first, in batches of 512 pairs; when a
// call ends inside a pair, the pair's uniforms stay in the stream's chunk
// (2 for double, 1 for float) and the next call starts with its cosine value,
// so a run of values does not depend on how it is split into calls.
#include "random/distributions/frame.h"
#include "random/distributions/continuous/gaussian.h"

namespace vexa::rng::dist {
namespace {

constexpr int kPass = 1024;  // results of a method-0 pass, pairs of a method-1 batch times 2

template <class T> int box_muller(StreamState* s, int n, T* r, T a, T sigma) {
    alignas(32) T u[2 * kPass];
    T* const l = u + kPass;
    const vec<T> va = simd::broadcast(a), vs = simd::broadcast(sigma), minus2 = simd::broadcast(T(-2));
    int st = VEXA_RNG_OK;
    for (int done = 0; done < n; done += kPass) {
        const int k = n - done < kPass ? n - done : kPass;
        T* out = r + done;
        st = source::uniform(s, 2 * k, u, T(0), T(1));
        if (st < 0) return st;
        split_pairs(k, u, out, T(1), u, Consts<T>::kTwoPi);  // u1 to out, 2 pi u2 to u
        apply<vm::fn::Ln>(k, out, l);
        apply<vm::fn::Sin>(k, u, u);
        map(k, l, [&](vec<T> x) { return x * minus2; });
        apply<vm::fn::Sqrt>(k, l, l);
        blocked(k, out, [&](int i, int count) {
            each_register<T>(i, count, [&](int j, int c) {
                store_n(out + j, c, simd::fma(load_n(l + j, c) * load_n(u + j, c), vs, va));
            });
        });
    }
    return st;
}

// Both values of p <= kPass / 2 pairs whose uniforms are in w[0 .. 2p), to
// out[0 .. 2p); w is a work area of 2 kPass values.
template <class T> void pair_values(int p, T* w, T* out, T a, T sigma) {
    constexpr int L = simd::lanes<T>;
    T* const t = w;                 // 2 pi u2, then ...
    T* const sine = w + kPass / 2;  // ... sin(2 pi u2)
    T* const cosine = w + kPass;    // u1, then cos(2 pi u2)
    T* const q = w + 3 * kPass / 2; // ln u1, then sqrt(-2 ln u1)
    split_pairs(p, w, cosine, T(1), t, Consts<T>::kTwoPi);
    apply<vm::fn::Ln>(p, cosine, q);
    apply<vm::fn::SinCos>(p, t, sine, cosine);
    map(p, q, [](vec<T> x) { return x * simd::broadcast(T(-2)); });
    apply<vm::fn::Sqrt>(p, q, q);
    const vec<T> va = simd::broadcast(a), vs = simd::broadcast(sigma);
    int j = 0;
    for (; j + L <= p; j += L) {
        const vec<T> qj = simd::loadu(q + j);
        vec<T> lo, hi;
        simd::interleave(simd::fma(qj * simd::loadu(sine + j), vs, va), simd::fma(qj * simd::loadu(cosine + j), vs, va),
                         lo, hi);
        simd::storeu(out + 2 * j, lo);
        simd::storeu(out + 2 * j + L, hi);
    }
    for (; j < p; ++j) {
        out[2 * j] = __builtin_fma(q[j] * sine[j], sigma, a);
        out[2 * j + 1] = __builtin_fma(q[j] * cosine[j], sigma, a);
    }
}

// The pending pair's chunk: two uniforms, the first -1 when none is pending.
template <class T> constexpr int32_t kPendingChunk = sizeof(T) == 8 ? 2 : 1;

template <class T> T* pending_pair(StreamState* s) {
    constexpr int32_t bytes = 2 * sizeof(T);
    if (void* data = chunk_data(s, kPendingChunk<T>, bytes)) return static_cast<T*>(data);
    auto* pair = static_cast<T*>(replace_chunk(s, kPendingChunk<T>, bytes));
    if (pair != nullptr) pair[0] = pair[1] = T(-1);
    return pair;
}

template <class T> int box_muller2(StreamState* s, int n, T* r, T a, T sigma) {
    T* pending = pending_pair<T>(s);
    if (pending == nullptr) return VEXA_RNG_MEMORY;
    alignas(32) T w[2 * kPass];
    T two[2];
    int done = 0;
    if (n > 0 && pending[0] != T(-1)) {
        w[0] = pending[0];
        w[1] = pending[1];
        pair_values(1, w, two, a, sigma);
        r[done++] = two[1];
        pending[0] = T(-1);
    }
    int st = VEXA_RNG_OK;
    while (n - done >= 2) {
        const int p = (n - done) / 2 < kPass / 2 ? (n - done) / 2 : kPass / 2;
        st = source::uniform(s, 2 * p, w, T(0), T(1));
        if (st < 0) return st;
        pair_values(p, w, r + done, a, sigma);
        done += 2 * p;
    }
    if (done < n) {
        st = source::uniform(s, 2, w, T(0), T(1));
        if (st < 0) return st;
        const T u1 = w[0], u2 = w[1];
        pair_values(1, w, two, a, sigma);
        r[done] = two[0];
        pending[0] = u1;
        pending[1] = u2;
    }
    return st;
}

}  // namespace
}  // namespace vexa::rng::dist

using namespace vexa::rng::dist;

extern "C" {
VEXA_HIDDEN int _vdRngGaussianBoxMuller(StreamState* s, int n, double* r, double a, double sigma) {
    return box_muller(s, n, r, a, sigma);
}
VEXA_HIDDEN int _vsRngGaussianBoxMuller(StreamState* s, int n, float* r, float a, float sigma) {
    return box_muller(s, n, r, a, sigma);
}
VEXA_HIDDEN int _vdRngGaussianBoxMuller2(StreamState* s, int n, double* r, double a, double sigma) {
    return box_muller2(s, n, r, a, sigma);
}
VEXA_HIDDEN int _vsRngGaussianBoxMuller2(StreamState* s, int n, float* r, float a, float sigma) {
    return box_muller2(s, n, r, a, sigma);
}
}
