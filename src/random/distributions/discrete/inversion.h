// Inversion of a discrete law on 0, 1, 2, ... by a cumulative table with a
// guide table (Chen and Asau, 1974): the guide gives, for each of 64 equal
// parts of [0, 1), the first value whose cumulative probability exceeds the
// part's start, so that a uniform u is found in about two steps. The table
// ends where the law's remaining mass is below the rounding of 1 (or at
// N values); its last entry is forced above 1 so that every u stops there.
#pragma once

#include <cmath>
#include <cstdint>

#include "random/distributions/frame.h"

namespace vexa::rng::dist {

template <int N> struct Inversion {
    static constexpr int kGuide = 64;
    int32_t last;
    int32_t guide[kGuide];
    double cdf[N];

    // From f(0) = f0 and f(k + 1) = f(k) ratio(k), over 0 .. limit.
    template <class Ratio> void build(double f0, Ratio ratio, int32_t limit) {
        double f = f0, sum = f0;
        last = 0;
        cdf[0] = sum;
        while (last + 1 < N && last < limit && sum < 1) {
            f *= ratio(last);
            sum += f;
            cdf[++last] = sum;
        }
        cdf[last] = 2;
        for (int j = 0, k = 0; j < kGuide; ++j) {
            while (cdf[k] <= double(j) / kGuide) ++k;
            guide[j] = k;
        }
    }
    int32_t operator()(double u) const {
        int32_t k = guide[int(u * kGuide)];
        while (cdf[k] <= u) ++k;
        return k;
    }
};

// n values by inversion of double uniforms drawn 1024 at a time; with flip
// >= 0 the values are flip - k.
template <int N> int invert(StreamState* s, const Inversion<N>& table, int n, int32_t* r, int32_t flip) {
    constexpr int kPass = 1024;
    alignas(32) double u[kPass];
    int st = VEXA_RNG_OK;
    for (int done = 0; done < n; done += kPass) {
        const int k = n - done < kPass ? n - done : kPass;
        if ((st = source::uniform(s, k, u, 0.0, 1.0)) < 0) return st;
        for (int i = 0; i < k; ++i) {
            const int32_t v = table(u[i]);
            r[done + i] = flip >= 0 ? flip - v : v;
        }
    }
    return st;
}

}  // namespace vexa::rng::dist
