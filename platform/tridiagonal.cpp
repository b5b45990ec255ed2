// Tridiagonal solvers for the spline systems, which are diagonally dominant:
// LU without pivoting (the Thomas algorithm), a zero pivot reported through
// info.
#include "export.h"
#include "vexa/service.h"

namespace {

template <class T> void factor(int n, T* dl, T* d, T* du, int* info) {
    *info = 0;
    for (int i = 0; i + 1 < n; ++i) {
        if (d[i] == T(0)) {
            *info = i + 1;
            return;
        }
        dl[i] /= d[i];
        d[i + 1] -= dl[i] * du[i];
    }
    if (n > 0 && d[n - 1] == T(0)) *info = n;
}

template <class T> void solve(bool transposed, int n, int nrhs, const T* dl, const T* d, const T* du, T* b, int ldb) {
    for (int r = 0; r < nrhs; ++r) {
        T* x = b + long(r) * ldb;
        if (!transposed) {  // L y = b, then U x = y
            for (int i = 1; i < n; ++i) x[i] -= dl[i - 1] * x[i - 1];
            x[n - 1] /= d[n - 1];
            for (int i = n - 2; i >= 0; --i) x[i] = (x[i] - du[i] * x[i + 1]) / d[i];
        } else {  // U^T y = b, then L^T x = y
            x[0] /= d[0];
            for (int i = 1; i < n; ++i) x[i] = (x[i] - du[i - 1] * x[i - 1]) / d[i];
            for (int i = n - 2; i >= 0; --i) x[i] -= dl[i] * x[i + 1];
        }
    }
}

// Factor and solve one right-hand side in two sweeps: the forward sweep
// eliminates and keeps the reciprocal pivots, so that the back substitution
// multiplies instead of dividing.
template <class T> void factor_solve_one(int n, T* dl, T* d, T* du, T* x, int* info) {
    *info = 0;
    if (n <= 0) return;
    if (d[0] == T(0)) {
        *info = 1;
        return;
    }
    T inv = T(1) / d[0];
    d[0] = inv;  // the reciprocal pivots, for the back substitution
    for (int i = 0; i + 1 < n; ++i) {
        const T w = dl[i] * inv;
        dl[i] = w;
        const T pivot = d[i + 1] - w * du[i];
        x[i + 1] -= w * x[i];
        if (pivot == T(0)) {
            *info = i + 2;
            return;
        }
        inv = T(1) / pivot;
        d[i + 1] = inv;
    }
    x[n - 1] *= d[n - 1];
    for (int i = n - 2; i >= 0; --i) x[i] = (x[i] - du[i] * x[i + 1]) * d[i];
    for (int i = 0; i < n; ++i) d[i] = T(1) / d[i];  // leave the pivots themselves, as the factor does
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
