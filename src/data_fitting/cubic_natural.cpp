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
    int64_t first; // index of the first unknown among M
    const T* bc;
    const Grid<T>* g;  // the widths
    T *dl, *d, *du;
    T* z;          // periodic correction vector
    T alpha;       // periodic corner
};

// The matrix, before factoring.
template <class T> void build(System<T>& s) {
    const int64_t n = s.n;
    const auto h = [&](int64_t i) { return s.g->width(i); };
    T *dl = s.dl, *d = s.d, *du = s.du;
    if (s.b == kPeriodic) {
        const int64_t N = n - 1;
        for (int64_t i = 0; i < N; ++i) {
            const T hp = i == 0 ? h(n - 2) : h(i - 1);
            d[i] = T(2) * (hp + h(i));
            if (i + 1 < N) du[i] = h(i), dl[i] = h(i);
        }
        s.alpha = h(n - 2);
        return;
    }
    if (s.b == kNotAKnot) {  // unknowns M[1] .. M[n-2]
        const int64_t N = n - 2;
        for (int64_t k = 0; k < N; ++k) {
            const int64_t i = k + 1;
            d[k] = T(2) * (h(i - 1) + h(i));
            if (k + 1 < N) du[k] = h(i), dl[k] = h(i);
        }
        // M[0] = ((h0 + h1) M1 - h0 M2) / h1 into the first row, alike at the end.
        d[0] += h(0) * (h(0) + h(1)) / h(1);
        if (N > 1) du[0] -= h(0) * h(0) / h(1);
        d[N - 1] += h(n - 2) * (h(n - 3) + h(n - 2)) / h(n - 3);
        if (N > 1) dl[N - 2] -= h(n - 2) * h(n - 2) / h(n - 3);
        return;
    }
    for (int64_t i = 1; i + 1 < n; ++i) {
        d[i] = T(2) * (h(i - 1) + h(i));
        du[i] = h(i);
        dl[i - 1] = h(i - 1);
    }
    if (left_first(s.b)) d[0] = T(2) * h(0), du[0] = h(0);
    else d[0] = T(1), du[0] = T(0);
    if (right_first(s.b)) d[n - 1] = T(2) * h(n - 2), dl[n - 2] = h(n - 2);
    else d[n - 1] = T(1), dl[n - 2] = T(0);
}

// The right-hand side of function y into r.
template <class T> void rhs(const System<T>& s, const Row<T>& y, T* r) {
    const int64_t n = s.n;
    const auto h = [&](int64_t i) { return s.g->width(i); };
    auto m = [&](int64_t i) { return (y[i + 1] - y[i]) / h(i); };
    if (s.b == kPeriodic) {
        T previous = m(n - 2);
        for (int64_t i = 0; i < n - 1; ++i) {
            const T current = m(i);
            r[i] = T(6) * (current - previous);
            previous = current;
        }
        return;
    }
    const int64_t shift = s.b == kNotAKnot ? 1 : 0;  // not-a-knot: unknowns from M[1]
    T previous = m(0);
    for (int64_t i = 1; i + 1 < n; ++i) {
        const T current = m(i);
        r[i - shift] = T(6) * (current - previous);
        previous = current;
    }
    if (s.b == kNotAKnot) return;
    r[0] = left_first(s.b) ? T(6) * (m(0) - s.bc[0]) : left_second(s.b) ? s.bc[0] : T(0);
    r[n - 1] = right_first(s.b) ? T(6) * (s.bc[1] - m(n - 2)) : right_second(s.b) ? s.bc[1] : T(0);
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

template <class T> int natural(DfTask* t, int64_t method, const ThreadingTable* tt) {
    if (t == nullptr) return VEXA_DF_NO_TASK;
    if (method != 0) return VEXA_DF_BAD_METHOD;
    if (t->nx < 2 || (t->nx == 2 && t->bc_type == 1)) return VEXA_DF_BAD_NX;
    if (const int st = boundary_checks(t, false)) return st;
    if (t->y_table == nullptr) return VEXA_DF_NO_Y;
    if (t->coeff_table == nullptr) return VEXA_DF_NO_COEFF;
    const int64_t n = t->nx, ny = functions(t);
    const Grid<T> g(t);
    const Coefficients<T> c{t};
    System<T> s{n, boundary_index(t->bc_type), 0, 0, static_cast<const T*>(t->bc), &g, nullptr, nullptr, nullptr, nullptr, T(0)};
    // Three points and not-a-knot: the parabola through them.
    if (s.b == kNotAKnot && n == 3) {
        for (int64_t j = 0; j < ny; ++j) {
            const Row<T> y(t, j);
            const T h0 = g.width(0), h1 = g.width(1);
            const T m0 = (y[1] - y[0]) / h0, m1 = (y[2] - y[1]) / h1, M = T(2) * (m1 - m0) / (h0 + h1);
            moment_piece(c.piece(j, 0), y[0], M, M, m0, h0);
            moment_piece(c.piece(j, 1), y[1], M, M, m1, h1);
        }
        return VEXA_DF_OK;
    }
    s.size = s.b == kPeriodic ? n - 1 : s.b == kNotAKnot ? n - 2 : n;
    const int64_t avail = tt != nullptr && tt->max_threads != nullptr ? tt->max_threads() : 1;
    const int64_t T_ = std::min<int64_t>(avail, ny);
    const bool parallel = ny > 1 && T_ > 1 && n >= 300 && (n >= 600 || T_ >= 8);
    const int64_t workers = parallel ? T_ : 1;
    // One work array: three diagonals, the periodic correction, per worker a
    // right-hand side that becomes the second derivatives.
    const bool periodic = s.b == kPeriodic;
    Buffer<T> work;
    if (!work.allocate((periodic ? 4 : 3) * n + n * workers)) return VEXA_DF_MEMORY;
    s.dl = work.p, s.d = s.dl + n, s.du = s.d + n, s.z = periodic ? s.du + n : nullptr;
    T* per_worker = s.du + (periodic ? 2 : 1) * n;
    build(s);
    const int N = int(s.size);
    int info = 0;
    const bool one_call = ny == 1 && workers == 1 && s.b != kPeriodic;
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
        T* r = per_worker + n * (thread < workers ? thread : 0);
        T* M = r;
        const Row<T> y(t, j);
        rhs(s, y, r);
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
        for (int64_t i = 0; i + 1 < n; ++i)
            moment_piece(c.piece(j, i), y[i], M[i], M[i + 1], (y[i + 1] - y[i]) / g.width(i), g.width(i));
    };
    for_functions(t, tt, parallel, body, int(workers));
    return status;
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
