// What the spline constructions share: the boundary index of a boundary
// type, the kernel choice by storage (function values by points or by
// functions) and grid (uniform or not), the loop over functions on the
// caller's threads, and the piece writers.
#pragma once

#include <cstdint>

#include "common/simd.h"
#include "data_fitting/task.h"
#include "vexa/service.h"

namespace vexa::df {

// Boundary index: 0 not-a-knot, 1 free end, 2 1st/1st, 3 1st/2nd, 4 2nd/1st,
// 5 2nd/2nd, 6 periodic, 7 not set (local families only); -1 none.
enum Boundary { kNotAKnot, kFreeEnd, k1st1st, k1st2nd, k2nd1st, k2nd2nd, kPeriodic, kNotSet };
VEXA_INLINE int boundary_index(int64_t bc_type) {
    switch (bc_type) {
        case 1: return kNotAKnot;
        case 2: return kFreeEnd;
        case 12: return k1st1st;
        case 36: return k1st2nd;
        case 24: return k2nd1st;
        case 48: return k2nd2nd;
        case 64: return kPeriodic;
        case 0: return kNotSet;
        default: return -1;
    }
}
constexpr bool left_first(int b) { return b == k1st1st || b == k1st2nd; }
constexpr bool right_first(int b) { return b == k1st1st || b == k2nd1st; }
constexpr bool left_second(int b) { return b == k2nd1st || b == k2nd2nd; }
constexpr bool right_second(int b) { return b == k1st2nd || b == k2nd2nd; }

// The checks every cubic family shares after its own count check:
// storage hint, boundary type (bc_type 0 only where allowed), boundary values.
VEXA_INLINE int boundary_checks(const DfTask* t, bool not_set_allowed) {
    if (!y_hint_ok(t->yhint)) return VEXA_DF_BAD_YHINT;
    const int b = boundary_index(t->bc_type);
    if (b < 0 || (b == kNotSet && !not_set_allowed)) return VEXA_DF_BAD_BC_TYPE;
    if (b >= k1st1st && b <= k2nd2nd && t->bc == nullptr) return VEXA_DF_NO_BC;
    if (b == kPeriodic && (t->s_type == 0 || t->s_type == 3) && t->bc == nullptr) return VEXA_DF_NO_BC;
    return VEXA_DF_OK;
}

// Kernel tables. Every construction picks its kernel from a table indexed by
// the function-value storage (YRows: y_table[j][i]; YCols, yhint 32:
// y_table[0][i*ny + j]) and the partition (NoUniformGrid; UniformGrid,
// xhint 4), the natural and default families by the boundary index as well,
// and the Subbotin spline by its subgrid and boundary pair. A kernel is its
// family's template with these fixed (a Layout), named after them; the
// X-macros below generate the names and the tables, in index order.
enum Storage { kYRows, kYCols };
enum GridKind { kNoUniformGrid, kUniformGrid };
template <int S, int G> struct Layout {
    static constexpr bool cols = S == kYCols;
    static constexpr bool uniform_grid = G == kUniformGrid;
};
using Kernel = int (*)(DfTask*, const ThreadingTable*);
VEXA_INLINE int layout_index(const DfTask* t) { return (t->yhint == 32 ? 2 : 0) + (uniform(t) ? 1 : 0); }
#define VEXA_DF_LAYOUTS(X) X(YRows, NoUniformGrid) X(YRows, UniformGrid) X(YCols, NoUniformGrid) X(YCols, UniformGrid)
#define VEXA_DF_BOUNDARIES_OF(X, S, G) \
    X(S, G, NotAKnot) X(S, G, FreeEnd) X(S, G, 1st1st) X(S, G, 1st2nd) X(S, G, 2nd1st) X(S, G, 2nd2nd) X(S, G, Periodic)
#define VEXA_DF_LAYOUTS_BOUNDARIES(X)                                                                      \
    VEXA_DF_BOUNDARIES_OF(X, YRows, NoUniformGrid) VEXA_DF_BOUNDARIES_OF(X, YRows, UniformGrid)          \
    VEXA_DF_BOUNDARIES_OF(X, YCols, NoUniformGrid) VEXA_DF_BOUNDARIES_OF(X, YCols, UniformGrid)

// Piece writer: coefficient m of piece i of function j.
template <class T> struct Coefficients {
    const DfTask* t;
    VEXA_INLINE T* piece(int64_t j, int64_t i) const { return static_cast<T*>(t->coeff_table[j]) + i * t->s_order; }
};

// Runs body(j, thread) for every function, over up to `threads` of the
// caller's threads (thread numbers below that) when `parallel`.
template <class Body>
void for_functions(const DfTask* t, const ThreadingTable* tt, bool parallel, Body& body, int threads = 0) {
    const int64_t ny = functions(t);
    if (threads <= 0) threads = caller_threads(tt);
    if (!parallel || threads < 2 || ny < 2 || tt == nullptr) {
        for (int64_t j = 0; j < ny; ++j) body(j, 0);
        return;
    }
    tt->parallel_for(int(ny), threads, &body,
                     [](int i, int thread, int, void* c) { (*static_cast<Body*>(c))(int64_t(i), thread); });
}

// The cubic Hermite piece through (y0, d0) and (y1, d1) over width h, slope m,
// and the cubic piece from the second derivatives M0, M1 at its ends; V is T
// or a register of T, so that both loops below round alike lane by lane.
template <class V> VEXA_INLINE void hermite_form(V d0, V d1, V m, V h, V& c2, V& c3) {
    c2 = (m * 3 - d0 * 2 - d1) / h;
    c3 = (d0 + d1 - m * 2) / (h * h);
}
template <class T, class V> VEXA_INLINE void moment_form(V M0, V M1, V m, V h, V& c1, V& c2, V& c3) {
    c1 = m - h * ((M1 + M0 + M0) * (T(1) / T(6)));
    c2 = M0 * T(0.5);
    c3 = (M1 - M0) / (h * T(6));
}
template <class T> VEXA_INLINE void hermite_piece(T* c, T y0, T d0, T d1, T m, T h) {
    c[0] = y0, c[1] = d0;
    hermite_form(d0, d1, m, h, c[2], c[3]);
}
template <class T> VEXA_INLINE void moment_piece(T* c, T y0, T M0, T M1, T m, T h) {
    c[0] = y0;
    moment_form<T>(M0, M1, m, h, c[1], c[2], c[3]);
}

}  // namespace vexa::df

namespace vexa::df {

// Function j's values as a strided row: by points (yhint 32) or by functions.
template <class T> struct Row {
    const T* base;
    int64_t stride;
    Row(const DfTask* t, int64_t j) : Row(t, j, t->yhint == 32) {}
    // With the storage known to the caller (a kernel of a fixed layout).
    Row(const DfTask* t, int64_t j, bool cols)
        : base(cols ? static_cast<const T*>(t->y_table[0]) + j : static_cast<const T*>(t->y_table[j])),
          stride(cols ? functions(t) : 1) {}
    VEXA_INLINE T operator[](int64_t i) const { return base[i * stride]; }
};

// What the evaluators and integrators read of function j of a task: the
// partition, the function's coefficients and values, the conditions.
template <class T, class A> VEXA_INLINE void describe_function(A& a, const DfTask* t, const Grid<T>& g, int64_t j) {
    a.nx = t->nx, a.x = xs<T>(t), a.xhint = t->xhint, a.h = g.h;
    a.coeff = t->coeff_table != nullptr ? static_cast<const T*>(t->coeff_table[j]) : nullptr;
    a.s_order = t->s_order;
    if (t->y_table != nullptr) {
        const Row<T> y(t, j);
        a.y = y.base, a.y_stride = y.stride;
    }
    a.ic = static_cast<const T*>(t->ic), a.ic_type = t->ic_type;
}

// Widths h[i] = x[i+1] - x[i] (the step on a uniform partition) and slopes
// m[i] of a function, i < n - 1; `reciprocal` takes the slopes of a uniform
// partition as differences times 1/h.
template <class T> void widths(const Grid<T>& g, T* h, int64_t n) {
    if (g.uniform) {
        for (int64_t i = 0; i + 1 < n; ++i) h[i] = g.h;
        return;
    }
    for (int64_t i = 0; i + 1 < n; ++i) h[i] = g.x[i + 1] - g.x[i];
}
template <class T> void slopes(const Row<T>& y, const T* h, T* m, int64_t n, bool reciprocal = false) {
    if (reciprocal) {
        const T r = T(1) / h[0];
        for (int64_t i = 0; i + 1 < n; ++i) m[i] = (y[i + 1] - y[i]) * r;
    } else if (y.stride == 1) {
        const T* p = y.base;
        for (int64_t i = 0; i + 1 < n; ++i) m[i] = (p[i + 1] - p[i]) / h[i];
    } else {
        for (int64_t i = 0; i + 1 < n; ++i) m[i] = (y[i + 1] - y[i]) / h[i];
    }
}

// Where the pieces' widths and slopes come from: arrays, slopes in an array
// and widths from the partition, or the partition and the function's values
// directly (values by functions, stride 1).
template <class T> struct FromArrays {
    const T *m, *h;
    VEXA_INLINE void at(int64_t i, T& mi, T& hi) const { mi = m[i], hi = h[i]; }
    VEXA_INLINE void at(int64_t i, simd::vec<T>& mi, simd::vec<T>& hi) const {
        mi = simd::loadu(m + i), hi = simd::loadu(h + i);
    }
};
template <class T> struct FromSlopes {
    const Grid<T>& g;
    const T* m;
    VEXA_INLINE void at(int64_t i, T& mi, T& hi) const { mi = m[i], hi = g.width(i); }
    VEXA_INLINE void at(int64_t i, simd::vec<T>& mi, simd::vec<T>& hi) const {
        using namespace vexa::simd;
        hi = g.uniform ? broadcast<T>(g.h) : loadu(g.x + i + 1) - loadu(g.x + i);
        mi = loadu(m + i);
    }
};
template <class T> struct FromValues {
    const Grid<T>& g;
    const T* y;
    VEXA_INLINE void at(int64_t i, T& mi, T& hi) const {
        hi = g.width(i);
        mi = (y[i + 1] - y[i]) / hi;
    }
    VEXA_INLINE void at(int64_t i, simd::vec<T>& mi, simd::vec<T>& hi) const {
        using namespace vexa::simd;
        hi = g.uniform ? broadcast<T>(g.h) : loadu(g.x + i + 1) - loadu(g.x + i);
        mi = (loadu(y + i + 1) - loadu(y + i)) / hi;
    }
};

// The n - 1 pieces of a function into c (four coefficients a piece, pieces
// `stride` apart) from its values, the slopes and widths of `src`, and either
// the derivatives (Hermite form) or the second derivatives (moment form) at
// the points in e; a register of pieces at a time. Large outputs go straight
// to memory past the caches, which they would only flush.
template <class T, bool Moment, class Src>
void write_pieces(T* c, int64_t stride, const Row<T>& y, const T* e, const Src& src, int64_t n) {
    using namespace vexa::simd;
    constexpr int L = lanes<T>;
    int64_t i = 0;
    alignas(32) T lane[L];
    const auto run = [&]<bool Stream>() {
        for (; stride == 4 && i + L < n; i += L) {
            vec<T> y0;
            if (y.stride == 1) {
                y0 = loadu(y.base + i);
            } else {
                for (int k = 0; k < L; ++k) lane[k] = y[i + k];
                y0 = load(lane);
            }
            const vec<T> e0 = loadu(e + i), e1 = loadu(e + i + 1);
            vec<T> mi, hi, c1, c2, c3;
            src.at(i, mi, hi);
            if constexpr (Moment) moment_form<T>(e0, e1, mi, hi, c1, c2, c3);
            else c1 = e0, hermite_form(e0, e1, mi, hi, c2, c3);
            store_interleaved4<Stream>(c + 4 * i, y0, c1, c2, c3);
        }
    };
    constexpr int64_t kStreamBytes = int64_t(8) << 20;
    if (n * 4 * int64_t(sizeof(T)) >= kStreamBytes && (reinterpret_cast<uintptr_t>(c) & 15) == 0) {
        run.template operator()<true>();
        _mm_sfence();
    } else {
        run.template operator()<false>();
    }
    for (; i + 1 < n; ++i) {
        T mi, hi;
        src.at(i, mi, hi);
        if constexpr (Moment) moment_piece(c + stride * i, y[i], e[i], e[i + 1], mi, hi);
        else hermite_piece(c + stride * i, y[i], e[i], e[i + 1], mi, hi);
    }
}
}  // namespace vexa::df

namespace vexa::df {

// The stand-in's tridiagonal solvers by precision, one right-hand side of n.
template <class T> struct Tridiagonal;
template <> struct Tridiagonal<double> {
    static void factor(int n, double* dl, double* d, double* du, int* info) { ddttrfb_4dfl(&n, dl, d, du, info); }
    static void solve(int n, const double* dl, const double* d, const double* du, double* b, int* info) {
        const int one = 1;
        ddttrsb_4dfl("N", &n, &one, dl, d, du, b, &n, info);
    }
    static void factor_solve(int n, double* dl, double* d, double* du, double* b, int* info) {
        const int one = 1;
        ddtsvb_4dfl(&n, &one, dl, d, du, b, &n, info);
    }
};
template <> struct Tridiagonal<float> {
    static void factor(int n, float* dl, float* d, float* du, int* info) { sdttrfb_4dfl(&n, dl, d, du, info); }
    static void solve(int n, const float* dl, const float* d, const float* du, float* b, int* info) {
        const int one = 1;
        sdttrsb_4dfl("N", &n, &one, dl, d, du, b, &n, info);
    }
    static void factor_solve(int n, float* dl, float* d, float* du, float* b, int* info) {
        const int one = 1;
        sdtsvb_4dfl(&n, &one, dl, d, du, b, &n, info);
    }
};

// A service-layer work array released on every return path.
template <class T> struct Buffer {
    T* p = nullptr;
    bool allocate(int64_t n) {
        p = static_cast<T*>(vexa_serv_allocate(std::size_t(n > 0 ? n : 1) * sizeof(T), kAlignment));
        return p != nullptr;
    }
    Buffer() = default;
    Buffer(const Buffer&) = delete;
    ~Buffer() { vexa_serv_deallocate(p); }
};

}  // namespace vexa::df

namespace vexa::df {

// The Subbotin spline's subgrid over a task's partition, in the form the
// shared knot rule (knot_of, subgrid_piece_of in task.h) reads.
template <class T> struct Subgrid {
    int64_t nx;
    const T* x;
    int64_t xhint;
    T h;
    const T* ic;
    int64_t ic_type;
    Subgrid(const DfTask* t, const Grid<T>& g)
        : nx(t->nx), x(xs<T>(t)), xhint(t->xhint), h(g.h), ic(static_cast<const T*>(t->ic)), ic_type(t->ic_type) {}
    VEXA_INLINE T knot(int64_t k) const { return knot_of<T>(*this, k); }
};

}  // namespace vexa::df
