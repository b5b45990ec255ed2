// Natural-family cubic splines: the second derivatives M[i] at the points
// solve one tridiagonal system, whose matrix depends only on the partition
// and the boundary conditions and is factored once for all functions.
//
// Rows: at inner points h[i-1] M[i-1] + 2 (h[i-1] + h[i]) M[i] + h[i] M[i+1]
// = 6 (m[i] - m[i-1]) (m the slopes). At an end: a free end sets M = 0, a
// second derivative sets M = bc, a first derivative d gives 2 h M[0] + h M[1]
// = 6 (m[0] - d) (left) or h M[n-2] + 2 h M[n-1] = 6 (d - m[n-2]) (right).
// Not-a-knot (a continuous third derivative at x[1] and x[n-2]) eliminates
// M[0] and M[n-1] from the first and last inner rows; with three points it
// gives the parabola through them. Periodic: M[0] = M[n-1] and the rows wrap
// around, a cyclic system solved with the Sherman-Morrison correction.
#include <algorithm>
#include <cstdint>

#include "data_fitting/construct.h"
#include "vexa/service.h"

namespace {

using namespace vexa::df;

template <class T> using Solver = Tridiagonal<T>;

template <class T> struct System {
    int64_t n;     // points
    int b;         // boundary index
    int64_t size;  // unknowns
    const T* bc;
    const Grid<T>* g;
    const T* h;    // the widths
    T *dl, *d, *du;
    T* z;          // periodic correction vector
    T alpha;       // periodic corner
};

// The first and last rows of the matrix, where the boundary conditions enter.
template <class T> void end_rows(System<T>& s) {
    const int64_t n = s.n;
    const auto h = [&](int64_t i) { return s.g->width(i); };
    T *dl = s.dl, *d = s.d, *du = s.du;
    if (s.b == kNotAKnot) {
        // M[0] = ((h0 + h1) M1 - h0 M2) / h1 into the first row, alike at the end.
        const int64_t N = n - 2;
        d[0] += h(0) * (h(0) + h(1)) / h(1);
        if (N > 1) du[0] -= h(0) * h(0) / h(1);
        d[N - 1] += h(n - 2) * (h(n - 3) + h(n - 2)) / h(n - 3);
        if (N > 1) dl[N - 2] -= h(n - 2) * h(n - 2) / h(n - 3);
        return;
    }
    if (left_first(s.b)) d[0] = T(2) * h(0), du[0] = h(0);
    else d[0] = T(1), du[0] = T(0);
    if (right_first(s.b)) d[n - 1] = T(2) * h(n - 2), dl[n - 2] = h(n - 2);
    else d[n - 1] = T(1), dl[n - 2] = T(0);
}

// The matrix, before factoring, from the widths.
template <class T> void build(System<T>& s) {
    const int64_t n = s.n;
    const T* h = s.h;
    T *dl = s.dl, *d = s.d, *du = s.du;
    if (s.b == kPeriodic) {
        const int64_t N = n - 1;
        d[0] = T(2) * (h[n - 2] + h[0]);
        for (int64_t i = 1; i < N; ++i) d[i] = T(2) * (h[i - 1] + h[i]);
        for (int64_t i = 0; i + 1 < N; ++i) du[i] = h[i], dl[i] = h[i];
        s.alpha = h[n - 2];
        return;
    }
    if (s.b == kNotAKnot) {  // unknowns M[1] .. M[n-2]
        const int64_t N = n - 2;
        for (int64_t k = 0; k < N; ++k) d[k] = T(2) * (h[k] + h[k + 1]);
        for (int64_t k = 0; k + 1 < N; ++k) du[k] = h[k + 1], dl[k] = h[k + 1];
    } else {
        for (int64_t i = 1; i + 1 < n; ++i) d[i] = T(2) * (h[i - 1] + h[i]);
        for (int64_t i = 1; i + 1 < n; ++i) du[i] = h[i], dl[i - 1] = h[i - 1];
    }
    end_rows(s);
}

// The first and last entries of the right-hand side, from the end slopes.
template <class T> void end_rhs(const System<T>& s, T m_first, T m_last, T* r) {
    if (s.b == kNotAKnot) return;
    const int64_t n = s.n;
    r[0] = left_first(s.b) ? T(6) * (m_first - s.bc[0]) : left_second(s.b) ? s.bc[0] : T(0);
    r[n - 1] = right_first(s.b) ? T(6) * (s.bc[1] - m_last) : right_second(s.b) ? s.bc[1] : T(0);
}

// The right-hand side into r from the slopes m of a function.
template <class T> void rhs(const System<T>& s, const T* m, T* r) {
    const int64_t n = s.n;
    if (s.b == kPeriodic) {
        r[0] = T(6) * (m[0] - m[n - 2]);
        for (int64_t i = 1; i < n - 1; ++i) r[i] = T(6) * (m[i] - m[i - 1]);
        return;
    }
    // Not-a-knot: the unknowns from M[1], so row i of the points is row i - 1.
    T* inner = s.b == kNotAKnot ? r - 1 : r;
    for (int64_t i = 1; i + 1 < n; ++i) inner[i] = T(6) * (m[i] - m[i - 1]);
    end_rhs(s, m[0], m[n - 2], r);
}

// One function with values by functions, no periodic end: the matrix and the
// right-hand side in one pass over x and y, a cache-sized run of rows at a
// time, with the same arithmetic as build() and rhs() over widths and slopes.
// The slopes go to m (when not null) for systems that stay in cache, where
// keeping them is cheaper than dividing again; returns whether it kept them.
template <class T> bool build_direct(System<T>& s, const T* y, T* r, T* m) {
    using namespace vexa::simd;
    constexpr int L = lanes<T>;
    constexpr int64_t kRun = 512;
    // Systems larger than the caches are stored past them: the solver reads
    // them back from memory either way.
    const bool stream = s.n * 4 * int64_t(sizeof(T)) >= (int64_t(8) << 20) &&
                        (reinterpret_cast<uintptr_t>(s.d) & 31) == 0;
    const int64_t n = s.n, shift = s.b == kNotAKnot ? 1 : 0;
    const Grid<T>& g = *s.g;
    T hbuf[kRun + 1], mbuf[kRun + 1];
    for (int64_t i0 = 1; i0 + 1 < n; i0 += kRun) {
        const int64_t i1 = std::min(i0 + kRun, n - 1), len = i1 - i0;
        // The next run's values, on their way while this one is worked.
        for (int64_t k = i1; k < std::min(i1 + kRun, n); k += 64 / int64_t(sizeof(T))) {
            if (!g.uniform) __builtin_prefetch(g.x + k);
            __builtin_prefetch(y + k);
        }
        // Widths and slopes of pieces i0 - 1 .. i1 - 1.
        if (g.uniform) {
            for (int64_t q = 0; q <= len; ++q) hbuf[q] = g.h;
        } else {
            const T* x = g.x + i0 - 1;
            for (int64_t q = 0; q <= len; ++q) hbuf[q] = x[q + 1] - x[q];
        }
        const T* yy = y + i0 - 1;
        for (int64_t q = 0; q <= len; ++q) mbuf[q] = (yy[q + 1] - yy[q]) / hbuf[q];
        T *d = s.d + i0 - shift, *du = s.du + i0 - shift, *rr = r + i0 - shift, *dl = s.dl + i0 - shift - 1;
        const int64_t q0 = i0 - shift >= 1 ? 0 : 1;  // dl[k - 1] only for rows k >= 1
        int64_t q = 0;
        if (stream) {
            // Up to the first aligned row, then registers past the caches.
            for (; q < len && ((reinterpret_cast<uintptr_t>(d + q) & 31) != 0 || q < q0); ++q) {
                d[q] = T(2) * (hbuf[q] + hbuf[q + 1]), du[q] = hbuf[q + 1], rr[q] = T(6) * (mbuf[q + 1] - mbuf[q]);
                if (q >= q0) dl[q] = hbuf[q];
            }
            for (; q + L <= len; q += L) {
                const vec<T> h0 = loadu(hbuf + q), h1 = loadu(hbuf + q + 1);
                stream_store(d + q, (h0 + h1) * T(2));
                stream_store(du + q, h1);
                stream_store(rr + q, (loadu(mbuf + q + 1) - loadu(mbuf + q)) * T(6));
                stream_store(dl + q, h0);
            }
        } else if (m != nullptr) {
            for (int64_t u = 0; u < len; ++u) m[i0 + u] = mbuf[u + 1];
        }
        for (int64_t u = q; u < len; ++u) d[u] = T(2) * (hbuf[u] + hbuf[u + 1]);
        for (int64_t u = q; u < len; ++u) du[u] = hbuf[u + 1];
        for (int64_t u = q; u < len; ++u) rr[u] = T(6) * (mbuf[u + 1] - mbuf[u]);
        for (int64_t u = std::max(q, q0); u < len; ++u) dl[u] = hbuf[u];
    }
    if (stream) _mm_sfence();
    end_rows(s);
    const T m_first = (y[1] - y[0]) / g.width(0), m_last = (y[n - 1] - y[n - 2]) / g.width(n - 2);
    if (m != nullptr && !stream) m[0] = m_first;
    end_rhs(s, m_first, m_last, r);
    return m != nullptr && !stream;
}

// The solution, in place, into the n second derivatives M (room for n).
template <class T> void expand(const System<T>& s, T* M) {
    const int64_t n = s.n;
    const auto h = [&](int64_t i) { return s.g->width(i); };
    if (s.b == kPeriodic) {
        M[n - 1] = M[0];
    } else if (s.b == kNotAKnot) {
        for (int64_t k = n - 3; k >= 0; --k) M[k + 1] = M[k];
        M[0] = ((h(0) + h(1)) * M[1] - h(0) * M[2]) / h(1);
        M[n - 1] = ((h(n - 3) + h(n - 2)) * M[n - 2] - h(n - 2) * M[n - 3]) / h(n - 3);
    }
}

template <class T, class Lay, int B> int natural_kernel(DfTask* t, const ThreadingTable* tt) {
    const int64_t n = t->nx, ny = functions(t);
    const Grid<T> g(t, Lay::uniform_grid);
    const Coefficients<T> c{t};
    System<T> s{n, B, 0, static_cast<const T*>(t->bc), &g, nullptr, nullptr, nullptr, nullptr, nullptr, T(0)};
    // Three points and not-a-knot: the parabola through them.
    if (s.b == kNotAKnot && n == 3) {
        for (int64_t j = 0; j < ny; ++j) {
            const Row<T> y(t, j, Lay::cols);
            const T h0 = g.width(0), h1 = g.width(1);
            const T m0 = (y[1] - y[0]) / h0, m1 = (y[2] - y[1]) / h1, M = T(2) * (m1 - m0) / (h0 + h1);
            moment_piece(c.piece(j, 0), y[0], M, M, m0, h0);
            moment_piece(c.piece(j, 1), y[1], M, M, m1, h1);
        }
        return VEXA_DF_OK;
    }
    s.size = s.b == kPeriodic ? n - 1 : s.b == kNotAKnot ? n - 2 : n;
    const int64_t avail = caller_threads(tt);
    const int64_t T_ = std::min<int64_t>(avail, ny);
    const bool parallel = ny > 1 && T_ > 1 && n >= 300 && (n >= 600 || T_ >= 8);
    const int64_t workers = parallel ? T_ : 1;
    // One work array of ((T+2) nx + (2T+3)(nx-1) + 2 nx) 8 - 16 bytes for T
    // workers. It holds the widths, the three diagonals and the periodic
    // correction, and per worker the slopes and a right-hand side that
    // becomes the second derivatives.
    const int64_t bytes = ((workers + 2) * n + (2 * workers + 3) * (n - 1) + 2 * n) * 8 - 16;
    // Every array starts on a cache line (dl one value past one), so that row
    // k of d, du and a right-hand side and slot k - 1 of dl share an alignment.
    const int64_t line = 64 / int64_t(sizeof(T)), span = (n + line - 1) / line * line;
    const int64_t fixed = 5 * span + line, per_worker = 2 * span;
    Buffer<T> work;
    if (!work.allocate(std::max<int64_t>(bytes / int64_t(sizeof(T)), fixed + workers * per_worker))) return VEXA_DF_MEMORY;
    T* h = work.p;
    s.h = h, s.dl = h + span + 1, s.d = h + 2 * span + line, s.du = s.d + span, s.z = s.du + span;
    T* per_worker_base = s.z + span;
    const int N = int(s.size);
    int info = 0;
    const bool one_call = ny == 1 && workers == 1 && s.b != kPeriodic;
    // One function by functions: no arrays of widths and slopes.
    const bool direct = one_call && Row<T>(t, 0, Lay::cols).stride == 1;
    if (!direct) {
        widths(g, h, n);
        build(s);
    }
    T gamma = T(0);
    if (s.b == kPeriodic && N >= 3) {
        gamma = -s.d[0];
        s.d[0] -= gamma;
        s.d[N - 1] -= s.alpha * s.alpha / gamma;
    }
    if (!one_call) {
        if (s.b == kPeriodic && N < 3) {
            // Two unknowns at most: the corners fold into the diagonals.
            if (N == 2) s.du[0] += s.alpha, s.dl[0] += s.alpha;
        }
        Solver<T>::factor(N, s.dl, s.d, s.du, &info);
        if (info != 0) return VEXA_DF_SOLVER;
        if (s.b == kPeriodic && N >= 3) {
            for (int k = 0; k < N; ++k) s.z[k] = T(0);
            s.z[0] = gamma, s.z[N - 1] = s.alpha;
            Solver<T>::solve(N, s.dl, s.d, s.du, s.z, &info);
            if (info != 0) return VEXA_DF_SOLVER;
        }
    }
    int status = VEXA_DF_OK;
    auto body = [&](int64_t j, int thread) {
        T* m = per_worker_base + per_worker * (thread < workers ? thread : 0);
        T* r = m + span;
        T* M = r;
        const Row<T> y(t, j, Lay::cols);
        bool kept = false;
        if (direct) {
            kept = build_direct(s, y.base, r, m);
        } else {
            slopes(y, h, m, n);
            rhs(s, m, r);
        }
        int st = 0;
        if (one_call) Solver<T>::factor_solve(N, s.dl, s.d, s.du, r, &st);
        else Solver<T>::solve(N, s.dl, s.d, s.du, r, &st);
        if (st != 0) {
            __atomic_store_n(&status, VEXA_DF_SOLVER, __ATOMIC_RELAXED);
            return;
        }
        if (s.b == kPeriodic && N >= 3) {
            const T f = (r[0] + s.alpha * r[N - 1] / gamma) / (T(1) + s.z[0] + s.alpha * s.z[N - 1] / gamma);
            for (int k = 0; k < N; ++k) r[k] -= f * s.z[k];
        }
        expand(s, M);
        if (kept) write_pieces<T, true>(c.piece(j, 0), t->s_order, y, M, FromSlopes<T>{g, m}, n);
        else if (direct) write_pieces<T, true>(c.piece(j, 0), t->s_order, y, M, FromValues<T>{g, y.base}, n);
        else write_pieces<T, true>(c.piece(j, 0), t->s_order, y, M, FromArrays<T>{m, h}, n);
    };
    for_functions(t, tt, parallel, body, int(workers));
    return status;
}

#define VEXA_DF_NATURAL_KERNEL(S, G, Bc)                                                              \
    template <class T> int _v1DCSNatural##S##G##Bc(DfTask* t, const ThreadingTable* tt) {            \
        return natural_kernel<T, Layout<k##S, k##G>, k##Bc>(t, tt);                                   \
    }
VEXA_DF_LAYOUTS_BOUNDARIES(VEXA_DF_NATURAL_KERNEL)
#define VEXA_DF_NATURAL_ENTRY(S, G, Bc) _v1DCSNatural##S##G##Bc<T>,
template <class T> constexpr Kernel kNaturalKernels[] = {VEXA_DF_LAYOUTS_BOUNDARIES(VEXA_DF_NATURAL_ENTRY)};

template <class T> int natural(DfTask* t, int64_t method, const ThreadingTable* tt) {
    if (t == nullptr) return VEXA_DF_NO_TASK;
    if (method != 0) return VEXA_DF_BAD_METHOD;
    if (t->nx < 2 || (t->nx == 2 && t->bc_type == 1)) return VEXA_DF_BAD_NX;
    if (const int st = boundary_checks(t, false)) return st;
    if (t->y_table == nullptr) return VEXA_DF_NO_Y;
    if (t->coeff_table == nullptr) return VEXA_DF_NO_COEFF;
    return kNaturalKernels<T>[7 * layout_index(t) + boundary_index(t->bc_type)](t, tt);
}

}  // namespace

extern "C" {
VEXA_EXPORT int vexa_df_kernel_dDFNaturalCubicSpline1D(DfTask* task, int64_t method, const ThreadingTable* service) {
    return natural<double>(task, method, service);
}
VEXA_EXPORT int vexa_df_kernel_sDFNaturalCubicSpline1D(DfTask* task, int64_t method, const ThreadingTable* service) {
    return natural<float>(task, method, service);
}
}
