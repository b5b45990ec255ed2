// BLAS and LAPACK adapters: the names the library imports, forwarded to the
// system's reference-interface routines (OpenBLAS). Character options pass
// their hidden length 1, as Fortran callers do.
//
// The library splits its work over the caller's threads itself and calls
// BLAS from inside those threads, so BLAS runs in the calling thread: its
// own thread pool, when it has one, is set to one thread at load.
#include <dlfcn.h>

#include <cstddef>

#include "export.h"
#include "vexa/service.h"

using flen = size_t;  // hidden length of a character argument

namespace {
struct SingleThreadedBlas {
    SingleThreadedBlas() {
        using SetThreads = void (*)(int);
        if (auto f = reinterpret_cast<SetThreads>(dlsym(RTLD_DEFAULT, "openblas_set_num_threads"))) f(1);
    }
} const g_single_threaded_blas;
}  // namespace

extern "C" {

#define VEXA_DECLARE_FORTRAN(p, T)                                                                       \
    void p##syr_(const char*, const int*, const T*, const T*, const int*, T*, const int*, flen);       \
    void p##syrk_(const char*, const char*, const int*, const int*, const T*, const T*, const int*,    \
                  const T*, T*, const int*, flen, flen);                                                \
    void p##gemm_(const char*, const char*, const int*, const int*, const int*, const T*, const T*,    \
                  const int*, const T*, const int*, const T*, T*, const int*, flen, flen);              \
    void p##symm_(const char*, const char*, const int*, const int*, const T*, const T*, const int*,    \
                  const T*, const int*, const T*, T*, const int*, flen, flen);                          \
    void p##gemv_(const char*, const int*, const int*, const T*, const T*, const int*, const T*,       \
                  const int*, const T*, T*, const int*, flen);                                          \
    void p##trmm_(const char*, const char*, const char*, const char*, const int*, const int*,          \
                  const T*, const T*, const int*, T*, const int*, flen, flen, flen, flen);              \
    void p##tpmv_(const char*, const char*, const char*, const int*, const T*, T*, const int*, flen,    \
                  flen, flen);                                                                          \
    void p##potrf_(const char*, const int*, T*, const int*, int*, flen);                                \
    void p##potri_(const char*, const int*, T*, const int*, int*, flen);                                \
    void p##trtri_(const char*, const char*, const int*, T*, const int*, int*, flen, flen);             \
    void p##syev_(const char*, const char*, const int*, T*, const int*, T*, T*, const int*, int*, flen, \
                  flen);                                                                                \
    void p##spevd_(const char*, const char*, const int*, T*, T*, T*, const int*, T*, const int*, int*,  \
                   const int*, int*, flen, flen);
VEXA_BLAS_TWINS(VEXA_DECLARE_FORTRAN)

#define VEXA_DEFINE_ADAPTERS(p, T)                                                                          \
    SERV_EXPORT void vexa_blas_x##p##syr(const char* uplo, const int* n, const T* alpha, const T* x,        \
                                         const int* incx, T* a, const int* lda) {                           \
        p##syr_(uplo, n, alpha, x, incx, a, lda, 1);                                                        \
    }                                                                                                       \
    SERV_EXPORT void vexa_blas_x##p##syrk(const char* uplo, const char* trans, const int* n, const int* k,  \
                                          const T* alpha, const T* a, const int* lda, const T* beta, T* c,  \
                                          const int* ldc) {                                                 \
        p##syrk_(uplo, trans, n, k, alpha, a, lda, beta, c, ldc, 1, 1);                                     \
    }                                                                                                       \
    SERV_EXPORT void vexa_blas_x##p##gemm(const char* ta, const char* tb, const int* m, const int* n,       \
                                          const int* k, const T* alpha, const T* a, const int* lda,         \
                                          const T* b, const int* ldb, const T* beta, T* c,                  \
                                          const int* ldc) {                                                 \
        p##gemm_(ta, tb, m, n, k, alpha, a, lda, b, ldb, beta, c, ldc, 1, 1);                               \
    }                                                                                                       \
    SERV_EXPORT void vexa_blas_x##p##symm(const char* side, const char* uplo, const int* m, const int* n,   \
                                          const T* alpha, const T* a, const int* lda, const T* b,           \
                                          const int* ldb, const T* beta, T* c, const int* ldc) {            \
        p##symm_(side, uplo, m, n, alpha, a, lda, b, ldb, beta, c, ldc, 1, 1);                              \
    }                                                                                                       \
    SERV_EXPORT void vexa_blas_x##p##gemv(const char* trans, const int* m, const int* n, const T* alpha,    \
                                          const T* a, const int* lda, const T* x, const int* incx,          \
                                          const T* beta, T* y, const int* incy) {                           \
        p##gemv_(trans, m, n, alpha, a, lda, x, incx, beta, y, incy, 1);                                    \
    }                                                                                                       \
    SERV_EXPORT void vexa_blas_x##p##trmm(const char* side, const char* uplo, const char* ta,               \
                                          const char* diag, const int* m, const int* n, const T* alpha,     \
                                          const T* a, const int* lda, T* b, const int* ldb) {               \
        p##trmm_(side, uplo, ta, diag, m, n, alpha, a, lda, b, ldb, 1, 1, 1, 1);                            \
    }                                                                                                       \
    SERV_EXPORT void vexa_blas_x##p##tpmv(const char* uplo, const char* trans, const char* diag,            \
                                          const int* n, const T* ap, T* x, const int* incx) {               \
        p##tpmv_(uplo, trans, diag, n, ap, x, incx, 1, 1, 1);                                               \
    }                                                                                                       \
    SERV_EXPORT void vexa_blas_##p##gemm(const char* ta, const char* tb, const int* m, const int* n,        \
                                         const int* k, const T* alpha, const T* a, const int* lda,          \
                                         const T* b, const int* ldb, const T* beta, T* c, const int* ldc) { \
        p##gemm_(ta, tb, m, n, k, alpha, a, lda, b, ldb, beta, c, ldc, 1, 1);                               \
    }                                                                                                       \
    SERV_EXPORT void vexa_blas_##p##syrk(const char* uplo, const char* trans, const int* n, const int* k,   \
                                         const T* alpha, const T* a, const int* lda, const T* beta, T* c,   \
                                         const int* ldc) {                                                  \
        p##syrk_(uplo, trans, n, k, alpha, a, lda, beta, c, ldc, 1, 1);                                     \
    }                                                                                                       \
    SERV_EXPORT void vexa_lapack_##p##potrf(const char* uplo, const int* n, T* a, const int* lda, int* info) { \
        p##potrf_(uplo, n, a, lda, info, 1);                                                                \
    }                                                                                                       \
    SERV_EXPORT void vexa_lapack_##p##potri(const char* uplo, const int* n, T* a, const int* lda, int* info) { \
        p##potri_(uplo, n, a, lda, info, 1);                                                                \
    }                                                                                                       \
    SERV_EXPORT void vexa_lapack_##p##trtri(const char* uplo, const char* diag, const int* n, T* a,         \
                                            const int* lda, int* info) {                                    \
        p##trtri_(uplo, diag, n, a, lda, info, 1, 1);                                                       \
    }                                                                                                       \
    SERV_EXPORT void vexa_lapack_##p##syev(const char* jobz, const char* uplo, const int* n, T* a,          \
                                           const int* lda, T* w, T* work, const int* lwork, int* info) {    \
        p##syev_(jobz, uplo, n, a, lda, w, work, lwork, info, 1, 1);                                        \
    }                                                                                                       \
    SERV_EXPORT void vexa_lapack_##p##spevd(const char* jobz, const char* uplo, const int* n, T* ap, T* w,  \
                                            T* z, const int* ldz, T* work, const int* lwork, int* iwork,    \
                                            const int* liwork, int* info) {                                 \
        p##spevd_(jobz, uplo, n, ap, w, z, ldz, work, lwork, iwork, liwork, info, 1, 1);                    \
    }
VEXA_BLAS_TWINS(VEXA_DEFINE_ADAPTERS)

}  // extern "C"
