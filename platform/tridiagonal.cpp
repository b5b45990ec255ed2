// Tridiagonal solvers for the spline systems, which are diagonally dominant:
// elimination without pivoting, a zero pivot reported through info.
//
// Row i of a system reads a[i] x[i-1] + b[i] x[i] + c[i] x[i+1] = f[i], with
// a[i] = dl[i-1], b[i] = d[i], c[i] = du[i].
//
// The factorisation (ddttrfb_4dfl) is LU in place: dl holds the multipliers
// and d the reciprocals of the pivots, so that every later solve multiplies
// instead of dividing; du is unchanged.
//
// The one-call solver (ddtsvb_4dfl) with one right-hand side of a long system
// uses a partitioned elimination instead of one sequential sweep, because the
// sweep's chain of dependent divisions, not the arithmetic, bounds its speed.
// The rows split into a head row, blocks of equal length m with one separator
// row between neighbours, and a tail. Every block is eliminated on its own,
// one block per register lane, so that one division serves as many rows as a
// register has lanes; the blocks go a group of G registers at a time, a group
// small enough to stay in cache from the way down to the way up. Down a block, its rows become
//     x[k] + C[k] x[k+1] + V[k] x[L] = F[k]         (L the row left of it);
// up the block,
//     x[k] = G[k] - W[k] x[R] - V'[k] x[L]          (R the row right of it).
// The head, separators and tail then form a small tridiagonal system of their
// own, solved in one sweep, and every block row follows from its two
// neighbours independently. The block's quantities live in the arrays in
// place: C and W in du[k], V and V' in dl[k-1], F and G in f[k]; the small
// system is formed and solved in the slots of its own rows (d changes only
// there); the result overwrites f. Its pivots are those of the blocks and of
// the small system; a zero one gives info, the 1-based row where it was met
// (for a block, the first row of the run of a register's lanes of rows being
// eliminated).
#include <cstring>

#include "common/simd.h"
#include "export.h"
#include "vexa/service.h"

namespace {

using namespace vexa::simd;

template <class T> void factor(int n, T* dl, T* d, T* du, int* info) {
    *info = 0;
    if (n <= 0) return;
    for (int i = 0; i + 1 < n; ++i) {
        if (d[i] == T(0)) {
            *info = i + 1;
            return;
        }
        const T inv = T(1) / d[i];
        d[i] = inv;
        dl[i] *= inv;
        d[i + 1] -= dl[i] * du[i];
    }
    if (d[n - 1] == T(0)) {
        *info = n;
        return;
    }
    d[n - 1] = T(1) / d[n - 1];
}

template <class T> void solve(bool transposed, int n, int nrhs, const T* dl, const T* d, const T* du, T* b, int ldb) {
    if (n <= 0) return;
    for (int r = 0; r < nrhs; ++r) {
        T* x = b + long(r) * ldb;
        if (!transposed) {  // L y = b, then U x = y
            for (int i = 1; i < n; ++i) x[i] -= dl[i - 1] * x[i - 1];
            x[n - 1] *= d[n - 1];
            for (int i = n - 2; i >= 0; --i) x[i] = (x[i] - du[i] * x[i + 1]) * d[i];
        } else {  // U^T y = b, then L^T x = y
            x[0] *= d[0];
            for (int i = 1; i < n; ++i) x[i] = (x[i] - du[i - 1] * x[i - 1]) * d[i];
            for (int i = n - 2; i >= 0; --i) x[i] -= dl[i] * x[i + 1];
        }
    }
}

// Factor and solve one right-hand side in two sweeps, leaving the factors
// as the factorisation does.
template <class T> void factor_solve_sweep(int n, T* dl, T* d, T* du, T* x, int* info) {
    *info = 0;
    if (n <= 0) return;
    for (int i = 0; i < n; ++i) {
        if (d[i] == T(0)) {
            *info = i + 1;
            return;
        }
        const T inv = T(1) / d[i];
        d[i] = inv;
        if (i + 1 == n) break;
        dl[i] *= inv;
        d[i + 1] -= dl[i] * du[i];
        x[i + 1] -= dl[i] * x[i];
    }
    x[n - 1] *= d[n - 1];
    for (int i = n - 2; i >= 0; --i) x[i] = (x[i] - du[i] * x[i + 1]) * d[i];
}

// ---- the partitioned solve ---------------------------------------------------

template <class T> struct Partition {
    static constexpr int L = lanes<T>;  // blocks a register
    // Registers side by side. Two give two independent division chains, but
    // their tiles no longer fit the register file, and the spills cost more
    // than the second chain gains (measured on AVX2 cores of 128-bit units).
    static constexpr int G = 1;
    static constexpr int B = G * L;     // blocks eliminated together: a group
    static constexpr int kGroupRows = B * 1024;  // rows of a group when there are several
    int n, groups, m;                   // rows, groups, block length (a multiple of L)
    // Head row 0; block j from row 1 + j (m + 1); the tail from blocks() (m + 1).
    explicit Partition(int rows) : n(rows), groups(rows / kGroupRows > 1 ? rows / kGroupRows : 1), m(0) {
        const long spare = long(n) - 1 - long(blocks());  // rows left for blocks, keeping a tail row
        m = spare < 0 ? 0 : int(L * (spare / (long(blocks()) * L)));
    }
    int blocks() const { return B * groups; }
    int start(int j) const { return 1 + j * (m + 1); }
    int tail() const { return blocks() * (m + 1); }
    // Row of unknown i of the small system: the head, the separators, the tail.
    int reduced(int i) const { return i == 0 ? 0 : i < blocks() ? start(i) - 1 : tail() + (i - blocks()); }
    int reduced_count() const { return blocks() + (n - tail()); }
    bool in_block(int k) const { return k >= 1 && k < tail() && (k - 1) % (m + 1) != m; }
};

// Down and up the blocks of group u: C, V, F, then G, W, V'. Returns the
// 1-based row of a zero pivot, or 0.
template <class T> int eliminate_group(const Partition<T>& P, int u, T* dl, const T* d, T* du, T* f) {
    using V = vec<T>;
    constexpr int L = Partition<T>::L, G = Partition<T>::G;
    const int m = P.m;
    const V zero = broadcast<T>(T(0)), one = broadcast<T>(T(1));
    constexpr int B = Partition<T>::B, kLine = 64 / int(sizeof(T));
    const int next = P.start((u + 1) * B);
    int row[G][L], left[G][L];  // the tile's first row in every lane, and that row's dl index
    const auto place = [&](int i0) {
        for (int g = 0; g < G; ++g)
            for (int j = 0; j < L; ++j)
                row[g][j] = P.start(u * Partition<T>::B + g * L + j) + i0, left[g][j] = row[g][j] - 1;
    };
    {
        V C[G], Vv[G], F[G];
        for (int g = 0; g < G; ++g) C[g] = zero, Vv[g] = broadcast<T>(T(-1)), F[g] = zero;
        for (int i0 = 0; i0 < m; i0 += L) {
            place(i0);
            // The next group's rows, a slice a step, so that they are in
            // cache when its turn comes.
            if (u + 1 < P.groups) {
                const int from = next + i0 * B, to = from + L * B;
                for (int k = from; k < to; k += kLine) {
                    __builtin_prefetch(dl + k - 1), __builtin_prefetch(d + k);
                    __builtin_prefetch(du + k), __builtin_prefetch(f + k);
                }
            }
            V a[G][L], b[G][L], c[G][L], r[G][L];
            for (int g = 0; g < G; ++g) {
                load_tile(a[g], dl, left[g]);
                load_tile(b[g], d, row[g]);
                load_tile(c[g], du, row[g]);
                load_tile(r[g], f, row[g]);
            }
            V met[G];
            for (int g = 0; g < G; ++g) met[g] = zero;
            for (int s = 0; s < L; ++s)
                for (int g = 0; g < G; ++g) {
                    const V pivot = b[g][s] - a[g][s] * C[g];
                    met[g] = bit_or(met[g], cmp_eq(pivot, zero));
                    const V inv = one / pivot;
                    C[g] = c[g][s] * inv;
                    Vv[g] = zero - a[g][s] * Vv[g] * inv;
                    F[g] = (r[g][s] - a[g][s] * F[g]) * inv;
                    c[g][s] = C[g], a[g][s] = Vv[g], r[g][s] = F[g];
                }
            for (int g = 0; g < G; ++g)
                if (const unsigned bits = movemask(met[g])) return row[g][__builtin_ctz(bits)] + 1;
            for (int g = 0; g < G; ++g) {
                store_tile(a[g], dl, left[g]);
                store_tile(c[g], du, row[g]);
                store_tile(r[g], f, row[g]);
            }
        }
    }
    {
        V Gv[G], W[G], Vq[G];
        for (int g = 0; g < G; ++g) Gv[g] = zero, W[g] = broadcast<T>(T(-1)), Vq[g] = zero;
        for (int i0 = m - L; i0 >= 0; i0 -= L) {
            place(i0);
            V a[G][L], c[G][L], r[G][L];
            for (int g = 0; g < G; ++g) {
                load_tile(a[g], dl, left[g]);
                load_tile(c[g], du, row[g]);
                load_tile(r[g], f, row[g]);
            }
            for (int s = L - 1; s >= 0; --s)
                for (int g = 0; g < G; ++g) {
                    const V C = c[g][s];
                    Gv[g] = r[g][s] - C * Gv[g];
                    Vq[g] = a[g][s] - C * Vq[g];
                    W[g] = zero - C * W[g];
                    r[g][s] = Gv[g], a[g][s] = Vq[g], c[g][s] = W[g];
                }
            for (int g = 0; g < G; ++g) {
                store_tile(a[g], dl, left[g]);
                store_tile(c[g], du, row[g]);
                store_tile(r[g], f, row[g]);
            }
        }
    }
    return 0;
}

template <class T> int partitioned_solve(const Partition<T>& P, T* dl, T* d, T* du, T* f) {
    using V = vec<T>;
    constexpr int L = Partition<T>::L;
    const int m = P.m, n = P.n;
    // Group by group, so that the way up finds the rows of the way down in cache.
    for (int u = 0; u < P.groups; ++u)
        if (const int row = eliminate_group(P, u, dl, d, du, f)) return row;
    // The small system, formed in place in the slots of its own rows (which
    // nothing else reads): block row k reads x[k] = f[k] - du[k] x[R] - dl[k-1] x[L].
    const int count = P.reduced_count();
    for (int i = 0; i < count; ++i) {
        const int k = P.reduced(i);
        const T a = k >= 1 ? dl[k - 1] : T(0), c = k + 1 < n ? du[k] : T(0);
        T lo = a, di = d[k], up = c, r = f[k];
        if (P.in_block(k - 1)) {  // the left neighbour is a block's last row
            lo = -a * dl[k - 2];
            di -= a * du[k - 1];
            r -= a * f[k - 1];
        }
        if (k + 1 < n && P.in_block(k + 1)) {  // the right neighbour is a block's first row
            up = -c * du[k + 1];
            di -= c * dl[k];
            r -= c * f[k + 1];
        }
        if (k >= 1) dl[k - 1] = lo;
        d[k] = di, f[k] = r;
        if (k + 1 < n) du[k] = up;
    }
    int prev = 0;
    if (d[0] == T(0)) return 1;
    for (int i = 1; i < count; ++i) {
        const int k = P.reduced(i);
        const T w = dl[k - 1] / d[prev];
        d[k] -= w * du[prev];
        f[k] -= w * f[prev];
        if (d[k] == T(0)) return k + 1;
        prev = k;
    }
    f[prev] /= d[prev];
    for (int i = count - 2; i >= 0; --i) {
        const int k = P.reduced(i), next = P.reduced(i + 1);
        f[k] = (f[k] - du[k] * f[next]) / d[k];
    }
    // Every block row from its two neighbours.
    for (int j = 0; j < P.blocks(); ++j) {
        const int s = P.start(j);
        const V vl = broadcast<T>(f[s - 1]), vr = broadcast<T>(f[s + m]);
        for (int k = s; k < s + m; k += L)
            storeu(f + k, loadu(f + k) - loadu(du + k) * vr - loadu(dl + k - 1) * vl);
    }
    return 0;
}

// One right-hand side: partitioned when the system is long enough for blocks
// of two tiles, by the sweep otherwise.
template <class T> void factor_solve_one(int n, T* dl, T* d, T* du, T* x, int* info) {
    const Partition<T> P(n);
    if (P.m < 2 * Partition<T>::L) {
        factor_solve_sweep(n, dl, d, du, x, info);
        return;
    }
    *info = partitioned_solve(P, dl, d, du, x);
}

}  // namespace

extern "C" {

#define VEXA_DEFINE_TRIDIAGONAL(p, T)                                                                          \
    SERV_EXPORT void p##dttrfb_4dfl(const int* n, T* dl, T* d, T* du, int* info) { factor(*n, dl, d, du, info); } \
    SERV_EXPORT void p##dttrsb_4dfl(const char* trans, const int* n, const int* nrhs, const T* dl, const T* d,   \
                                    const T* du, T* b, const int* ldb, int* info) {                              \
        *info = 0;                                                                                               \
        solve(*trans == 'T' || *trans == 't', *n, *nrhs, dl, d, du, b, *ldb);                                    \
    }                                                                                                            \
    SERV_EXPORT void p##dtsvb_4dfl(const int* n, const int* nrhs, T* dl, T* d, T* du, T* b, const int* ldb,      \
                                   int* info) {                                                                  \
        if (*nrhs == 1) {                                                                                        \
            factor_solve_one(*n, dl, d, du, b, info);                                                            \
            return;                                                                                              \
        }                                                                                                        \
        factor(*n, dl, d, du, info);                                                                             \
        if (*info == 0) solve(false, *n, *nrhs, dl, d, du, b, *ldb);                                             \
    }
VEXA_BLAS_TWINS(VEXA_DEFINE_TRIDIAGONAL)

}  // extern "C"
