// Inside the data-fitting task: typed access to its arrays, the bin index,
// and the parts every construction and evaluation shares.
#pragma once

#include <cstdint>

#include "common/align.h"
#include "common/export.h"
#include "vexa/data_fitting.h"

namespace vexa::df {

using vexa::kAlignment;
constexpr uint32_t kUnset = 0xFFFFFFFFu;

// Storage hints of function values and coefficients, and partition hints.
VEXA_INLINE bool y_hint_ok(int64_t h) { return h == 0 || h == 16 || h == 32 || h == 128; }
VEXA_INLINE bool x_hint_ok(int64_t h) { return h == 0 || h == 1 || h == 2 || h == 4; }

// The caller's thread count (1 without a threading table), and the sites
// [from, to) of iteration i of a loop that gives every iteration `chunk`
// of `total` and the last one the rest.
VEXA_INLINE int caller_threads(const ThreadingTable* tt) {
    return tt != nullptr && tt->max_threads != nullptr ? tt->max_threads() : 1;
}
struct Slice {
    int64_t from, to;
    Slice(int i, int64_t chunk, int64_t iterations, int64_t total)
        : from(int64_t(i) * chunk), to(i == iterations - 1 ? total : from + chunk) {}
};

template <class T> VEXA_INLINE const T* xs(const DfTask* t) { return static_cast<const T*>(t->x); }
VEXA_INLINE bool uniform(const DfTask* t) { return (t->xhint & 4) != 0; }
VEXA_INLINE int64_t functions(const DfTask* t) { return t->ny > 0 ? t->ny : 1; }

template <class T> VEXA_INLINE T& inv_bin_width(DfTask* t) {
    if constexpr (sizeof(T) == 8) return t->inv_bin_width.d;
    else return t->inv_bin_width.s;
}
template <class T> VEXA_INLINE T inv_bin_width(const DfTask* t) {
    if constexpr (sizeof(T) == 8) return t->inv_bin_width.d;
    else return t->inv_bin_width.s;
}

// Point i of the partition: stored, or x[0] + i h on a uniform partition.
template <class T> struct Grid {
    const T* x;
    int64_t nx;
    bool uniform;
    T h;
    explicit Grid(const DfTask* t) : Grid(t, vexa::df::uniform(t)) {}
    // With the partition kind known to the caller (a kernel of a fixed layout).
    Grid(const DfTask* t, bool uniform_grid)
        : x(xs<T>(t)), nx(t->nx), uniform(uniform_grid), h(uniform ? (x[1] - x[0]) / T(nx - 1) : T(0)) {}
    VEXA_INLINE T at(int64_t i) const {
        if (!uniform) return x[i];
        if (i == nx - 1) return x[1];
        return __builtin_fma(T(i), h, x[0]);
    }
    VEXA_INLINE T width(int64_t i) const { return uniform ? h : x[i + 1] - x[i]; }
};

// The bin index over the partition: for bin k, lo[k] a point at or left of
// it and hi[k] the first point of a later bin (or nx - 1); pair nbins for
// sites rounding past the last bin.
template <class T> void build_bins(DfTask* t) {
    const T* x = xs<T>(t);
    const int64_t nx = t->nx;
    int64_t nbins = nx / 16;
    nbins = nbins < 16 ? 16 : nbins > 1024 ? 1024 : nbins;
    t->bin_count = nbins;
    uint32_t* p = t->bins;
    for (int64_t k = 0; k < nbins; ++k) p[2 * k] = p[2 * k + 1] = kUnset;
    const T width = (x[nx - 1] - x[0]) / T(nbins), inv = T(1) / width;
    inv_bin_width<T>(t) = inv;
    p[0] = 0;
    for (int64_t j = 1; j < nx; ++j) {
        const int64_t b = int64_t((x[j] - x[0]) * inv);
        if (b == 0) continue;
        if (b - 1 < nbins && p[2 * (b - 1) + 1] == kUnset) p[2 * (b - 1) + 1] = uint32_t(j);
        if (b + 1 <= nbins) p[2 * (b + 1)] = uint32_t(j);
    }
    p[2 * (nbins - 1) + 1] = uint32_t(nx - 1);
    for (int64_t k = 1; k < nbins; ++k)
        if (p[2 * k] == kUnset) p[2 * k] = p[2 * (k - 1)];
    for (int64_t k = nbins - 2; k >= 0; --k)
        if (p[2 * k + 1] == kUnset) p[2 * k + 1] = p[2 * (k + 1) + 1];
    p[2 * nbins] = p[2 * (nbins - 1)];
    p[2 * nbins + 1] = p[2 * (nbins - 1) + 1];
}

// The piece of a site in cell c: the end pieces extend past the partition.
VEXA_INLINE int64_t piece_of(int64_t cell, int64_t nx) {
    int64_t p = cell - 1 < 0 ? 0 : cell - 1;
    if (cell > nx - 1) p -= 1;
    return p;
}

// Point i of the partition and knot k of the Subbotin subgrid, for the
// evaluator and integration argument records (fields nx, x, xhint, h, ic,
// ic_type).
template <class T, class A> VEXA_INLINE T point_of(const A& a, int64_t i) {
    if (!(a.xhint & 4)) return a.x[i];
    return i == a.nx - 1 ? a.x[1] : __builtin_fma(T(i), a.h, a.x[0]);
}
template <class T, class A> VEXA_INLINE T knot_of(const A& a, int64_t k) {
    if (k <= 0) return point_of<T>(a, 0);
    if (k >= a.nx) return point_of<T>(a, a.nx - 1);
    return (a.ic_type & 4) ? (point_of<T>(a, k - 1) + point_of<T>(a, k)) * T(0.5) : a.ic[k - 1];
}
// The subgrid piece of a site in cell c.
template <class T, class A> VEXA_INLINE int64_t subgrid_piece_of(const A& a, T s, int64_t c) {
    return c <= 0 ? 0 : c >= a.nx ? a.nx - 1 : (s < knot_of<T>(a, c) ? c - 1 : c);
}

}  // namespace vexa::df
