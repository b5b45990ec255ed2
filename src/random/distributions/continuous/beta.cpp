// Beta: a + beta B for B standard beta with shapes p and q, the method by the
// first of these cases that holds:
//
//   1. p < 1, q < 1   Atkinson and Whittaker's switching algorithm (1976),
//   2. p < 1 < q      Atkinson's (1979), and
//   3. p > 1 > q      its mirror, as one routine (`_Atkinson2`): the density
//                     x^(p-1) (1-x)^(q-1) lies under x^(p-1) M1 left of a
//                     switch point t and under (1-x)^(q-1) M2 right of it
//                     (M1, M2 the bounds of the other factor on each side);
//                     a side is chosen by its area, x drawn there by
//                     inversion and accepted with the ratio of the density
//                     to the envelope. t: 1 / (1 + sqrt(q(1-q) / (p(1-p))))
//                     in case 1, (1-p) / (q+1-p) in case 2, the mirror in 3.
//                     Passes 79% at (0.5, 0.5), 83% at (0.5, 2).
//   4. p > 1, q > 1   Cheng's BB (1978): with s = min(p, q), l = max(p, q),
//                     v = b ln(u1 / (1 - u1)), w = s e^v, accepted by two
//                     squeezes or by l + s ln((l + s) / (l + w)) + c v - ln 4
//                     >= ln(u1^2 u2); B = w / (l + w) (or its complement).
//                     Passes at least 75%.
//   5. p = 1          1 - u^(1/q), by inversion.
//   6. q = 1          u^(1/p), by inversion.
//
// Candidates in blocks as for the gamma; logarithms and powers that make a
// value in the HA slot, those only tested in the EP slot.
#include <cmath>

#include "random/distributions/frame.h"

namespace vexa::rng::dist {
namespace {

// The switching algorithm's constants for shapes (p, q), not both above 1.
template <class T> struct Switching {
    T p, q, ln_t, ln_1mt, ln_m1, ln_m2, left;  // left: the chance of the left side
    T inv_p, inv_q, inv_left, inv_right;
    Switching(T p_, T q_) : p(p_), q(q_) {
        T t;
        if (p < T(1) && q < T(1)) t = T(1) / (T(1) + std::sqrt(q * (T(1) - q) / (p * (T(1) - p))));
        else if (p < T(1)) t = (T(1) - p) / (q + T(1) - p);
        else t = T(1) - (T(1) - q) / (p + T(1) - q);
        ln_t = std::log(t);
        ln_1mt = std::log1p(-t);
        ln_m1 = q < T(1) ? (q - T(1)) * ln_1mt : T(0);  // bound of (1-x)^(q-1) on (0, t]
        ln_m2 = p < T(1) ? (p - T(1)) * ln_t : T(0);    // bound of x^(p-1) on [t, 1)
        const T a1 = std::exp(ln_m1 + p * ln_t) / p, a2 = std::exp(ln_m2 + q * ln_1mt) / q;
        left = a1 / (a1 + a2);
        inv_p = T(1) / p;
        inv_q = T(1) / q;
        inv_left = T(1) / left;
        inv_right = T(1) / (T(1) - left);
    }
};

template <class T> int atkinson2(StreamState* s, int n, T* r, const Switching<T>& w) {
    // Locals and masks as T keep the loops vectorisable.
    const T chance = w.left, inv_left = w.inv_left, inv_right = w.inv_right, ln_t = w.ln_t, ln_1mt = w.ln_1mt,
            inv_p = w.inv_p, inv_q = w.inv_q, q1 = w.q - T(1), p1 = w.p - T(1), ln_m1 = w.ln_m1, ln_m2 = w.ln_m2;
    alignas(32) T u[2 * kBlock], lw[kBlock], main[kBlock], other[kBlock], left[kBlock], keep[kBlock];
    const vec<T> one = simd::broadcast(T(1));
    int st = VEXA_RNG_OK;
    for (int done = 0; done < n;) {
        const int k = candidates(n - done, 8);
        if ((st = source::uniform(s, 2 * k, u, T(0), T(1))) < 0) return st;
        split_pairs(k, u, lw, T(1), u, T(1));
        // The side, and the uniform within it.
        registers<T>(k, [&](int i) {
            const vec<T> wv = simd::load(lw + i), c = simd::broadcast(chance);
            const vec<T> on_left = simd::cmp_lt(wv, c);
            simd::store(left + i, simd::bit_and(on_left, one));
            simd::store(lw + i, simd::select(on_left, wv * simd::broadcast(inv_left), (wv - c) * simd::broadcast(inv_right)));
        });
        apply_ha<vm::fn::Ln>(k, lw, lw);
        // Left: x = t w^(1/p); right: 1 - x = (1 - t) w^(1/q).
        registers<T>(k, [&](int i) {
            const vec<T> l = simd::load(lw + i);
            simd::store(main + i, simd::select(simd::cmp_eq(simd::load(left + i), one),
                                               simd::broadcast(ln_t) + l * simd::broadcast(inv_p),
                                               simd::broadcast(ln_1mt) + l * simd::broadcast(inv_q)));
        });
        apply_ha<vm::fn::Exp>(k, main, main);
        for (int i = 0; i < k; ++i) other[i] = -main[i];
        apply_ha<vm::fn::Log1p>(k, other, other);  // ln(1 - x) on the left, ln x on the right
        apply<vm::fn::Ln>(k, u, u);
        registers<T>(k, [&](int i) {
            const vec<T> on_left = simd::cmp_eq(simd::load(left + i), one), o = simd::load(other + i),
                         m = simd::load(main + i);
            const vec<T> bound = simd::select(on_left, simd::broadcast(q1) * o - simd::broadcast(ln_m1),
                                              simd::broadcast(p1) * o - simd::broadcast(ln_m2));
            simd::store(keep + i, simd::bit_and(simd::cmp_not_gt(simd::load(u + i), bound), one));
            simd::store(main + i, simd::select(on_left, m, one - m));
        });
        done = compact(k, main, keep, r, done, n);
    }
    return st;
}

template <class T> int cheng(StreamState* s, int n, T* r, T p, T q) {
    const T small = p < q ? p : q, large = p < q ? q : p, sum = small + large;
    const T b = std::sqrt((sum - T(2)) / (T(2) * small * large - sum)), c = small + T(1) / b;
    const bool flip = small != p;
    alignas(32) T u[2 * kBlock], v[kBlock], ew[kBlock], z[kBlock], lz[kBlock], lf[kBlock], keep[kBlock];
    int st = VEXA_RNG_OK;
    for (int done = 0; done < n;) {
        const int k = candidates(n - done, 6);
        if ((st = source::uniform(s, 2 * k, u, T(0), T(1))) < 0) return st;
        split_pairs(k, u, v, T(1), u, T(1));  // u1 to v, u2 to u
        for (int i = 0; i < k; ++i) {
            z[i] = v[i] * v[i] * u[i];
            v[i] = v[i] / (T(1) - v[i]);
        }
        apply_ha<vm::fn::Ln>(k, v, v);
        for (int i = 0; i < k; ++i) ew[i] = v[i] = b * v[i];
        apply_ha<vm::fn::Exp>(k, ew, ew);
        for (int i = 0; i < k; ++i) {
            ew[i] *= small;  // w
            lf[i] = sum / (large + ew[i]);
        }
        apply<vm::fn::Ln>(k, lf, lf);
        apply<vm::fn::Ln>(k, z, lz);
        for (int i = 0; i < k; ++i) {
            const T rr = c * v[i] - T(1.3862943611198906), t = small + rr - ew[i];  // ln 4
            const bool accept = (t + T(2.6094379124341003) >= T(5) * z[i]) | (t > lz[i]) |  // 1 + ln 5
                                (rr + sum * lf[i] >= lz[i]);
            keep[i] = accept ? T(1) : T(0);
            z[i] = (flip ? large : ew[i]) / (large + ew[i]);
        }
        done = compact(k, z, keep, r, done, n);
    }
    return st;
}

// u^(1/e), or 1 - u^(1/e) when `complement`.
template <class T> int power_of_uniform(StreamState* s, int n, T* r, T e, bool complement) {
    const int st = source::uniform(s, n, r, T(0), T(1));
    if (st < 0) return st;
    apply_ha<vm::fn::Ln>(n, r, r);
    const vec<T> inv = simd::broadcast(T(1) / e);
    map(n, r, [&](vec<T> l) { return l * inv; });
    if (complement) {
        apply_ha<vm::fn::Expm1>(n, r, r);
        map(n, r, [](vec<T> x) { return -x; });
    } else {
        apply_ha<vm::fn::Exp>(n, r, r);
    }
    return st;
}

template <class T> int beta(StreamState* s, int n, T* r, T p, T q, T a, T scale) {
    Frame frame(Consts<T>::kLnCallBack);
    int st;
    if ((p < T(1) && q < T(1)) || (p < T(1) && q > T(1)) || (p > T(1) && q < T(1)))
        st = atkinson2(s, n, r, Switching<T>(p, q));
    else if (p > T(1) && q > T(1)) st = cheng(s, n, r, p, q);
    else if (p == T(1)) st = power_of_uniform(s, n, r, q, true);
    else st = power_of_uniform(s, n, r, p, false);
    if (st < 0) return st;
    const vec<T> va = simd::broadcast(a), vb = simd::broadcast(scale);
    map(n, r, [&](vec<T> x) { return simd::fma(x, vb, va); });
    return st;
}

}  // namespace
}  // namespace vexa::rng::dist

extern "C" {
VEXA_EXPORT int _tqrdRngBeta(int, StreamState* s, int n, double* r, double p, double q, double a, double beta) {
    return vexa::rng::dist::beta(s, n, r, p, q, a, beta);
}
VEXA_EXPORT int _tqrsRngBeta(int, StreamState* s, int n, float* r, float p, float q, float a, float beta) {
    return vexa::rng::dist::beta(s, n, r, p, q, a, beta);
}
}
