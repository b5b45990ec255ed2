/* Services the compute library imports from the platform, and the threading
 * table its callers hand to the statistics and data-fitting entry points.
 * libvexa_serv.so implements all of it; it also carries the test controls
 * (allocation fault injection, live-block count) and a thread pool. */
#ifndef VEXA_SERVICE_H
#define VEXA_SERVICE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- services ---------------------------------------------------------- */

/* Aligned block of at least `size` bytes (alignment: a power of two), or null
 * when memory is exhausted or the alignment is not a power of two. */
void* vexa_serv_allocate(size_t size, int alignment);
/* Releases a block from vexa_serv_allocate; null is ignored. */
void vexa_serv_deallocate(void* block);
/* Copies the value of environment variable `name` into `buffer` (at most
 * capacity-1 characters and a NUL); returns the number of characters written,
 * below 1 when the variable is not set (or is empty). */
int vexa_serv_getenv(const char* name, char* buffer, int capacity);
/* Bounded copy: 0 on success; non-zero (and a zeroed destination where one was
 * given) when a pointer is null or count exceeds the destination capacity. */
int vexa_serv_memcpy_s(void* dest, size_t dest_capacity, const void* src, size_t count);
/* Writes numbered message `number` with `count` arguments to the channel; the
 * only channel is 1, the standard error stream. */
void vexa_serv_print(int channel, int number, int count, ...);
/* The threading routine of the given name, or null:
 * "vexa_tqr_serv_threader_get_num_threads_limit" -> VexaMaxThreadsFn,
 * "vexa_tqr_serv_threader_for" -> VexaParallelForFn. */
void* vexa_serv_load_thread_fun(const char* name);

/* ---- threading table --------------------------------------------------- */

/* worker(i, t, count, context): iteration i of count, run by thread number t. */
typedef void (*VexaWorkerFn)(int i, int t, int count, void* context);
typedef void (*VexaParallelForFn)(int count, int threads, void* context, VexaWorkerFn worker);
typedef void (*VexaParallelRunFn)(int count, void* context, VexaWorkerFn worker);
typedef int (*VexaMaxThreadsFn)(void);

/* The library calls slots 0, 2 and 4 only. */
typedef struct ThreadingTable {
    VexaParallelForFn parallel_for; /* slot 0 */
    int (*thread_number)(void);     /* slot 1: number of the calling pool thread (0 outside the pool) */
    VexaParallelRunFn parallel_run; /* slot 2 */
    void (*set_max_threads)(int);   /* slot 3: as vexa_serv_set_max_threads */
    VexaMaxThreadsFn max_threads;   /* slot 4 */
} ThreadingTable;

/* The process-wide thread pool's table. */
const ThreadingTable* vexa_serv_threading_table(void);
/* Number of threads the pool may use (clamped to 1..256); the default is the
 * number of processors. */
void vexa_serv_set_max_threads(int threads);

/* ---- test controls ----------------------------------------------------- */

/* Makes the k-th allocation from now fail (k >= 1); k <= 0 disarms. */
void vexa_serv_test_fail_allocation(long k);
/* Blocks currently allocated and not released. */
long vexa_serv_test_live_blocks(void);
/* Allocations attempted since the process started (failed ones included). */
long vexa_serv_test_allocation_count(void);

/* Processor features the library must treat as absent even where the
 * processor has them (a mask of VEXA_SERV_CPU_*; 0 by default): the library's
 * feature checks consult it, so tests can run the refusal paths. */
#define VEXA_SERV_CPU_AES 1u
#define VEXA_SERV_CPU_RDRAND 2u
/* Not a feature: the hardware random-number instruction reports failure on
 * every attempt (the retry-limit path). */
#define VEXA_SERV_CPU_RDRAND_FAILS 4u
unsigned vexa_serv_hidden_cpu_features(void);
void vexa_serv_test_hide_cpu_features(unsigned mask);

/* ---- BLAS and LAPACK adapters ------------------------------------------ */
/* Reference (Fortran) conventions: every argument by address, column-major
 * matrices, one-character option strings, 32-bit integers. */
#define VEXA_BLAS_TWINS(X) X(d, double) X(s, float)
#define VEXA_DECLARE_BLAS(p, T)                                                                  \
    void vexa_blas_x##p##syr(const char* uplo, const int* n, const T* alpha, const T* x,         \
                             const int* incx, T* a, const int* lda);                             \
    void vexa_blas_x##p##syrk(const char* uplo, const char* trans, const int* n, const int* k,   \
                              const T* alpha, const T* a, const int* lda, const T* beta, T* c,   \
                              const int* ldc);                                                   \
    void vexa_blas_x##p##gemm(const char* transa, const char* transb, const int* m,              \
                              const int* n, const int* k, const T* alpha, const T* a,            \
                              const int* lda, const T* b, const int* ldb, const T* beta, T* c,   \
                              const int* ldc);                                                   \
    void vexa_blas_x##p##symm(const char* side, const char* uplo, const int* m, const int* n,    \
                              const T* alpha, const T* a, const int* lda, const T* b,            \
                              const int* ldb, const T* beta, T* c, const int* ldc);              \
    void vexa_blas_x##p##gemv(const char* trans, const int* m, const int* n, const T* alpha,     \
                              const T* a, const int* lda, const T* x, const int* incx,           \
                              const T* beta, T* y, const int* incy);                             \
    void vexa_blas_x##p##trmm(const char* side, const char* uplo, const char* transa,            \
                              const char* diag, const int* m, const int* n, const T* alpha,      \
                              const T* a, const int* lda, T* b, const int* ldb);                 \
    void vexa_blas_x##p##tpmv(const char* uplo, const char* trans, const char* diag,             \
                              const int* n, const T* ap, T* x, const int* incx);                 \
    void vexa_blas_##p##gemm(const char* transa, const char* transb, const int* m, const int* n, \
                             const int* k, const T* alpha, const T* a, const int* lda,           \
                             const T* b, const int* ldb, const T* beta, T* c, const int* ldc);   \
    void vexa_blas_##p##syrk(const char* uplo, const char* trans, const int* n, const int* k,    \
                             const T* alpha, const T* a, const int* lda, const T* beta, T* c,    \
                             const int* ldc);                                                    \
    void vexa_lapack_##p##potrf(const char* uplo, const int* n, T* a, const int* lda, int* info); \
    void vexa_lapack_##p##potri(const char* uplo, const int* n, T* a, const int* lda, int* info); \
    void vexa_lapack_##p##trtri(const char* uplo, const char* diag, const int* n, T* a,          \
                                const int* lda, int* info);                                      \
    void vexa_lapack_##p##syev(const char* jobz, const char* uplo, const int* n, T* a,           \
                               const int* lda, T* w, T* work, const int* lwork, int* info);      \
    void vexa_lapack_##p##spevd(const char* jobz, const char* uplo, const int* n, T* ap, T* w,   \
                                T* z, const int* ldz, T* work, const int* lwork, int* iwork,     \
                                const int* liwork, int* info);
VEXA_BLAS_TWINS(VEXA_DECLARE_BLAS)
#undef VEXA_DECLARE_BLAS

/* ---- tridiagonal solvers (without pivoting) ------------------------------ */
/* Factor: the order n, the sub-, main and super-diagonals (n-1, n, n-1
 * values) overwritten by the LU factors; info 0, or k > 0 when the k-th
 * pivot is zero. Solve: trans "N" (the factored matrix) or "T", n, nrhs
 * right-hand sides of ldb rows in b, solved in place. The one-call solver
 * factors and solves. */
#define VEXA_DECLARE_TRIDIAGONAL(p, T)                                                                      \
    void p##dttrfb_4dfl(const int* n, T* dl, T* d, T* du, int* info);                                        \
    void p##dttrsb_4dfl(const char* trans, const int* n, const int* nrhs, const T* dl, const T* d,          \
                        const T* du, T* b, const int* ldb, int* info);                                        \
    void p##dtsvb_4dfl(const int* n, const int* nrhs, T* dl, T* d, T* du, T* b, const int* ldb, int* info);
VEXA_BLAS_TWINS(VEXA_DECLARE_TRIDIAGONAL)
#undef VEXA_DECLARE_TRIDIAGONAL

#ifdef __cplusplus
}
#endif

#if defined(__i386__)
#ifdef __cplusplus
static_assert(sizeof(ThreadingTable) == 20, "ThreadingTable is five routine pointers");
#else
_Static_assert(sizeof(ThreadingTable) == 20, "ThreadingTable is five routine pointers");
#endif
#endif

#endif
