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
// register has lanes; a group of blocks (one register of them, or several
// groups of kGroupRows rows on long systems, small enough to stay in cache
// from the way down to the way up) goes at a time. Down a block from its
// first row s, its rows become
//     x[k] + C[k] x[k+1] + V[k] x[L] = F[k]         (L the row left of it),
// and the first row's relation, unrolled along the block, is folded into
// row L, which then couples to x[L] and to x[R] (R the row right of the
// block) only. The head, separators and tail form a small tridiagonal
// system of their own, solved in one sweep; up every block,
//     x[k] = F[k] - C[k] x[k+1] - V[k] x[L]
// from its last row. The block's quantities live in the arrays in place:
// C in du[k], V in dl[k-1], F in f[k]; the small system is formed and solved
// in the slots of its own rows (d changes only there); the result
// overwrites f. Its pivots are those of the blocks and of the small system;
// a zero one gives info, the 1-based row where it was met (for a block, the
// first row of the run of a register's lanes of rows being eliminated).
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

// Gr registers of blocks side by side. One is used: two give two
// independent division chains, but at the price of spilling their tiles and
// of a small system twice as long, and measured no faster.
template <class T, int Gr> struct Partition {
    static constexpr int L = lanes<T>;  // blocks a register
    static constexpr int G = Gr;
    static constexpr int B = G * L;     // blocks eliminated together: a group
    static constexpr int kGroupRows = B * 1160;  // rows of a group when there are several
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

// Down the blocks of group u: C, V, F in place. Along the way, with
// pi[s] = 1 and pi[k+1] = -C[k] pi[k], the first row's relation
//     x[s] = sum pi[k] F[k] - (sum pi[k] V[k]) x[L] + pi[e+1] x[R]
// (the sums over the block's rows s .. e) folds into the separator (or head)
// row left of the block: its coupling to x[s] becomes one to x[L] and x[R].
// Returns the 1-based row of a zero pivot, or 0.
template <class T, class P_> int eliminate_group(const P_& P, int u, T* dl, T* d, T* du, T* f) {
    using V = vec<T>;
    constexpr int L = P_::L, G = P_::G, B = P_::B, kLine = 64 / int(sizeof(T));
    const int m = P.m;
    const int next = P.start((u + 1) * B);
    const V zero = broadcast<T>(T(0)), one = broadcast<T>(T(1));
    int row[G][L], left[G][L];  // the tile's first row in every lane, and that row's dl index
    const auto place = [&](int i0) {
        for (int g = 0; g < G; ++g)
            for (int j = 0; j < L; ++j) row[g][j] = P.start(u * B + g * L + j) + i0, left[g][j] = row[g][j] - 1;
    };
    V C[G], Vv[G], F[G], pi[G], sumF[G], sumV[G];
    for (int g = 0; g < G; ++g)
        C[g] = zero, Vv[g] = broadcast<T>(T(-1)), F[g] = zero, pi[g] = one, sumF[g] = zero, sumV[g] = zero;
    for (int i0 = 0; i0 < m; i0 += L) {
        place(i0);
        // The next group's rows, a slice a step, so that they are in cache
        // when its turn comes.
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
                sumF[g] = sumF[g] + pi[g] * F[g];
                sumV[g] = sumV[g] + pi[g] * Vv[g];
                pi[g] = zero - pi[g] * C[g];
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
    for (int g = 0; g < G; ++g) {
        alignas(32) T sf[L], sv[L], pe[L];
        store(sf, sumF[g]), store(sv, sumV[g]), store(pe, pi[g]);
        for (int j = 0; j < L; ++j) {
            const int k = P.start(u * B + g * L + j) - 1;  // the row left of the block
            const T cc = du[k];
            d[k] -= cc * sv[j];
            f[k] -= cc * sf[j];
            du[k] = cc * pe[j];
        }
    }
    return 0;
}

// Up the blocks of group u: x[k] = F[k] - C[k] x[k+1] - V[k] x[L] from the
// last row, whose right neighbour x[R] is known.
template <class T, class P_> void substitute_group(const P_& P, int u, const T* dl, const T* du, T* f) {
    using V = vec<T>;
    constexpr int L = P_::L, G = P_::G, B = P_::B;
    const int m = P.m;
    int row[G][L], left[G][L];
    V x[G], xl[G];
    for (int g = 0; g < G; ++g) {
        alignas(32) T right[L], leftv[L];
        for (int j = 0; j < L; ++j) {
            const int s = P.start(u * B + g * L + j);
            right[j] = f[s + m], leftv[j] = f[s - 1];
        }
        x[g] = load(right), xl[g] = load(leftv);
    }
    for (int i0 = m - L; i0 >= 0; i0 -= L) {
        for (int g = 0; g < G; ++g)
            for (int j = 0; j < L; ++j) row[g][j] = P.start(u * B + g * L + j) + i0, left[g][j] = row[g][j] - 1;
        V a[G][L], c[G][L], r[G][L];
        for (int g = 0; g < G; ++g) {
            load_tile(a[g], dl, left[g]);
            load_tile(c[g], du, row[g]);
            load_tile(r[g], f, row[g]);
        }
        for (int s = L - 1; s >= 0; --s)
            for (int g = 0; g < G; ++g) {
                x[g] = (r[g][s] - a[g][s] * xl[g]) - c[g][s] * x[g];
                r[g][s] = x[g];
            }
        for (int g = 0; g < G; ++g) store_tile(r[g], f, row[g]);
    }
}

template <class T, class P_> int partitioned_solve(const P_& P, T* dl, T* d, T* du, T* f) {
    for (int u = 0; u < P.groups; ++u)
        if (const int row = eliminate_group<T>(P, u, dl, d, du, f)) return row;
    // The small system, formed in place in the slots of its own rows (which
    // nothing else reads). A block's last row e reads x[e] = F[e] - C[e] x[R]
    // - V[e] x[L] (F[e] in f[e], C[e] in du[e], V[e] in dl[e-1]); the first
    // rows' relations are folded in already.
    const int count = P.reduced_count();
    for (int i = 0; i < count; ++i) {
        const int k = P.reduced(i);
        if (!P.in_block(k - 1)) continue;  // the left neighbour is not a block's last row: as given
        const T a = dl[k - 1];
        dl[k - 1] = -a * dl[k - 2];
        d[k] -= a * du[k - 1];
        f[k] -= a * f[k - 1];
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
    for (int u = 0; u < P.groups; ++u) substitute_group<T>(P, u, dl, du, f);
    return 0;
}

// One right-hand side: partitioned when the system is long enough for blocks
// of two tiles, by the sweep otherwise.
template <class T> void factor_solve_one(int n, T* dl, T* d, T* du, T* x, int* info) {
    const Partition<T, 1> P(n);
    if (P.m < 2 * P.L)
        factor_solve_sweep(n, dl, d, du, x, info);
    else
        *info = partitioned_solve<T>(P, dl, d, du, x);
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
