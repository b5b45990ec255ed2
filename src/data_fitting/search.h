// The cell search methods. The cell of a site s is the number of partition
// points less than or equal to s, except that a site equal to the last point
// x[nx-1] gets nx - 1 (so cells run 0 .. nx). A NaN site has no point below
// it and gets 0.
#pragma once

#include <immintrin.h>

#include <cstdint>

#include "common/simd.h"
#include "data_fitting/task.h"

namespace vexa::df {

enum Method { kUniform, kQuasiUniform, kSorted, kPeak, kHybrid, kUserDef, kUniUserDef, kNoMethod };

template <class T> struct SearchCallback;
template <> struct SearchCallback<double> { using type = VexaDfdSearchCallback; };
template <> struct SearchCallback<float> { using type = VexaDfsSearchCallback; };
template <class T> using SearchCb = typename SearchCallback<T>::type;

// Everything a method reads besides the sites.
template <class T> struct SearchData {
    int64_t nx;
    const T* x;
    T datum;  // uniform: (nx-1)/(x[1]-x[0]); hybrid: 1/bin width; peak: the peak index
    const uint32_t* bins;
    SearchCb<T>* cb;
    void* params;
};

template <class T> VEXA_INLINE int32_t uniform_cell(const SearchData<T>& d, T s) {
    const T x0 = d.x[0], x1 = d.x[1];
    if (s == x1) return int32_t(d.nx - 1);
    if (!(s >= x0)) return 0;
    const T pos = d.datum * (s - x0);
    if (!(pos < T(d.nx))) return int32_t(d.nx);
    const int64_t c = int64_t(pos) + 1;
    return int32_t(c < d.nx ? c : d.nx);
}

// The walk from a start p: up while x[j] <= s, or down while x[j-1] > s.
template <class T> VEXA_INLINE int32_t walk_from(const T* x, int64_t nx, int64_t p, T s) {
    if (s == x[nx - 1]) return int32_t(nx - 1);
    if (p >= nx) {
        if (s > x[nx - 1]) return int32_t(nx);
        int64_t j = nx - 1;
        while (j > 0 && x[j - 1] > s) --j;
        return int32_t(j);
    }
    if (p < 0) p = 0;
    if (s >= x[p]) {
        int64_t j = p;
        while (j < nx && x[j] <= s) ++j;
        return int32_t(j);
    }
    if (p > 0 && x[p - 1] > s) {
        int64_t j = p;
        while (j > 0 && x[j - 1] > s) --j;
        return int32_t(j);
    }
    return int32_t(p);
}

template <class T> VEXA_INLINE int32_t quasi_uniform_cell(const SearchData<T>& d, T s) {
    const T g = (s - d.x[0]) * T(d.nx - 1) / (d.x[d.nx - 1] - d.x[0]);
    const int64_t p = !(g > T(0)) ? 0 : g >= T(d.nx) ? d.nx : int64_t(g);
    return walk_from(d.x, d.nx, p, s);
}

template <class T> VEXA_INLINE int32_t peak_cell(const SearchData<T>& d, T s) {
    return walk_from(d.x, d.nx, int64_t(d.datum), s);
}

// Points x[j] <= s for j in [lo, hi), a register of points at a time until
// one is not all at or below s.
template <class T> VEXA_INLINE int64_t count_at_or_below(const T* x, int64_t lo, int64_t hi, T s) {
    using namespace vexa::simd;
    constexpr int L = lanes<T>;
    const vec<T> vs = broadcast<T>(s);
    int64_t j = lo;
    for (; j + L <= hi; j += L) {
        const unsigned m = movemask(cmp_lt(vs, loadu(x + j)));  // lanes with x[j] > s
        if (m != 0) return j - lo + __builtin_ctz(m);
    }
    while (j < hi && x[j] <= s) ++j;
    return j - lo;
}

// The bin of s gives points lo and hi with the first lo points at or below s
// and those from hi on above it (sites outside the partition and at its last
// point are settled first). The rest is a branchless bisection of [lo, hi),
// run for a group of sites in lockstep, so that the group's loads, which
// miss the cache on long partitions, are in flight together instead of one
// after another.
template <class T> void hybrid_cells(const SearchData<T>& d, int64_t n, const T* site, int32_t* cell) {
    constexpr int G = 8;
    const T* x = d.x;
    const int64_t nx = d.nx;
    const T x0 = x[0], xl = x[nx - 1];
    for (int64_t k = 0; k < n; k += G) {
        const int g_count = n - k < G ? int(n - k) : G;
        int64_t base[G], len[G];
        T s[G];
        int64_t widest = 0;
        for (int g = 0; g < g_count; ++g) {
            const T v = s[g] = site[k + g];
            if (!(v >= x0) || v >= xl) {  // settled: no bisection
                base[g] = !(v >= x0) ? 0 : v == xl ? nx - 1 : nx;
                len[g] = 0;
                continue;
            }
            const int64_t b = int64_t(d.datum * (v - x0));
            base[g] = d.bins[2 * b];
            len[g] = int64_t(d.bins[2 * b + 1]) - base[g];
            widest = len[g] > widest ? len[g] : widest;
        }
        // The answer of site g lies in [base, base + len]; halve the range
        // by the point below its middle until one candidate is left.
        while (widest > 1) {
            widest = 0;
            for (int g = 0; g < g_count; ++g) {
                if (len[g] <= 1) continue;
                const int64_t h = len[g] >> 1;
                base[g] = x[base[g] + h - 1] <= s[g] ? base[g] + h : base[g];
                len[g] -= h;
                widest = len[g] > widest ? len[g] : widest;
            }
        }
        for (int g = 0; g < g_count; ++g) cell[k + g] = int32_t(base[g] + (len[g] == 1 && x[base[g]] <= s[g]));
    }
}

// The points at or below s, given that the first p are: doubling steps
// from p, then a bisection of the last step.
template <class T> VEXA_INLINE int64_t count_from(const T* x, int64_t nx, int64_t p, T s) {
    int64_t step = 1;
    while (p + step <= nx && x[p + step - 1] <= s) p += step, step *= 2;
    int64_t hi = p + step <= nx ? p + step - 1 : nx;  // x[hi] > s, or hi = nx
    while (hi - p > 0) {
        const int64_t m = p + (hi - p) / 2;
        if (x[m] <= s) p = m + 1;
        else hi = m;
    }
    return p;
}

// Sorted sites from the start index *start (the points known to be at or
// below the first site), left where the block ended. The block is walked as
// four runs side by side, each stepping up from where a doubling search put
// its first site, so that four chains of dependent loads overlap.
template <class T> void sorted_cells(const SearchData<T>& d, int64_t n, const T* site, int32_t* cell, int64_t* start) {
    const T* x = d.x;
    const int64_t nx = d.nx;
    int64_t p = start != nullptr && *start > 0 ? *start : 0;
    if (n <= 0) return;
    const auto step = [&](int64_t& q, int64_t k) {
        const T s = site[k];
        q += count_at_or_below(x, q, nx, s);  // the steps up, a register of points at a time
        cell[k] = int32_t(s == x[nx - 1] ? nx - 1 : q);
    };
    constexpr int kRuns = 4;
    const int64_t len = n / kRuns;
    if (len >= 8) {
        int64_t q[kRuns];
        q[0] = count_from(x, nx, p, site[0]);
        for (int r = 1; r < kRuns; ++r) q[r] = count_from(x, nx, q[r - 1], site[r * len]);
        for (int64_t k = 0; k < len; ++k)
            for (int r = 0; r < kRuns; ++r) step(q[r], r * len + k);
        p = q[kRuns - 1];
        for (int64_t k = kRuns * len; k < n; ++k) step(p, k);
    } else {
        p = count_from(x, nx, p, site[0]);
        for (int64_t k = 0; k < n; ++k) step(p, k);
    }
    if (start != nullptr) *start = p;
}

// The user's callback for a block of sites; the sites it leaves open get the
// walk from its cell (or, on a uniform partition, the uniform formula).
template <class T, bool Uniform>
int user_cells(const SearchData<T>& d, int64_t n, const T* site, int32_t* cell, int32_t* caller_flags) {
    constexpr int64_t kBlock = 512;
    int64_t cells[kBlock];
    int32_t own_flags[kBlock];
    int status = 0;
    for (int64_t at = 0; at < n; at += kBlock) {
        const int64_t m = n - at < kBlock ? n - at : kBlock;
        int32_t* flags = caller_flags != nullptr ? caller_flags + at : own_flags;
        for (int64_t k = 0; k < m; ++k) cells[k] = 0, flags[k] = 0;
        const int st = d.cb(&m, site + at, cells, flags, d.params);
        if (st < 0) return st;
        if (st != 1000) {
            status = st;
            for (int64_t k = 0; k < m; ++k) {
                if (flags[k] != 0) continue;
                if constexpr (Uniform) cells[k] = uniform_cell(d, site[at + k]);
                else cells[k] = walk_from(d.x, d.nx, cells[k], site[at + k]);
            }
        }
        for (int64_t k = 0; k < m; ++k) cell[at + k] = int32_t(cells[k]);
    }
    return status;
}

// One method over n sites.
template <class T>
int run_method(int method, const SearchData<T>& d, int64_t n, const T* site, int32_t* cell, int64_t* start,
               int32_t* flags) {
    switch (method) {
        case kUniform:
            for (int64_t k = 0; k < n; ++k) cell[k] = uniform_cell(d, site[k]);
            return 0;
        case kQuasiUniform:
            for (int64_t k = 0; k < n; ++k) cell[k] = quasi_uniform_cell(d, site[k]);
            return 0;
        case kSorted:
            sorted_cells(d, n, site, cell, start);
            return 0;
        case kPeak:
            for (int64_t k = 0; k < n; ++k) cell[k] = peak_cell(d, site[k]);
            return 0;
        case kHybrid:
            hybrid_cells(d, n, site, cell);
            return 0;
        case kUserDef:
            return user_cells<T, false>(d, n, site, cell, flags);
        default:
            return user_cells<T, true>(d, n, site, cell, flags);
    }
}

// The method the hints choose, or kNoMethod for a data hint naming none.
template <class T>
int choose_method(const DfTask* t, int64_t sitehint, const T* datahint, bool has_callback) {
    if (has_callback) return uniform(t) ? kUniUserDef : kUserDef;
    if (t->xhint == 4) return kUniform;
    if (t->xhint == 2) return kQuasiUniform;
    if (sitehint == 64) return kSorted;
    if (datahint == nullptr || datahint[1] == T(0)) return kHybrid;
    if (datahint[1] == T(1) && datahint[4] >= T(0) && datahint[4] <= T(t->nx)) return kPeak;
    return kNoMethod;
}

template <class T> SearchData<T> search_data(const DfTask* t, int method, const T* datahint, SearchCb<T>* cb, void* params) {
    SearchData<T> d{t->nx, xs<T>(t), T(0), t->bins, cb, params};
    if (method == kUniform || method == kUniUserDef) d.datum = T(t->nx - 1) / (d.x[1] - d.x[0]);
    else if (method == kHybrid) d.datum = inv_bin_width<T>(t);
    else if (method == kPeak) d.datum = datahint[4];
    return d;
}

// The search of nsite sites into 32-bit cells, split over the caller's
// threads where the method's rule allows; uniform sites (hint 4) are made
// block by block. Returns 0, -1026, or the user callback's status.
template <class T>
int search_cells(const DfTask* t, int64_t nsite, const T* site, int64_t sitehint, const T* datahint,
                 SearchCb<T>* cb, void* params, int32_t* cell, const ThreadingTable* tt);

}  // namespace vexa::df
