/* One-dimensional data fitting: the task record DfTask, its editing and
 * queries, spline construction, cell search, interpolation and integration.
 * Counts, hints, attribute identifiers and indices are signed 64-bit.
 * Usable from C and C++. */
#ifndef VEXA_DATA_FITTING_H
#define VEXA_DATA_FITTING_H

#include <stddef.h>
#include <stdint.h>

#include "vexa/service.h" /* ThreadingTable */

#ifdef __cplusplus
extern "C" {
#endif

/* Statuses (catalogue df_status.def). */
enum VexaDfStatus {
#define DF_STATUS(name, code, meaning) VEXA_DF_##name = code,
#include "vexa/df_status.def"
#undef DF_STATUS
};

/* Attribute identifiers. */
#define VEXA_DF_X 1
#define VEXA_DF_Y 2
#define VEXA_DF_IC 3
#define VEXA_DF_BC 4
#define VEXA_DF_COEFF 5
#define VEXA_DF_NX 14
#define VEXA_DF_XHINT 15
#define VEXA_DF_NY 16
#define VEXA_DF_YHINT 17
#define VEXA_DF_S_ORDER 18
#define VEXA_DF_S_TYPE 19
#define VEXA_DF_IC_TYPE 20
#define VEXA_DF_BC_TYPE 21
#define VEXA_DF_COEFF_HINT 22
#define VEXA_DF_CALLER_FLAG 23

#define VEXA_DF_BIN_PAIRS 1026

/* The task record: pointers to the caller's arrays, the spline description,
 * and the owned pointer tables and bin index. */
typedef struct DfTask {
    uint32_t int64_flag;
    uint32_t tag;
    uint32_t precision; /* 1: double, 0: float */
    uint32_t dimension; /* always 1 */
    int64_t nx;
    const void* x;
    int64_t xhint;
    int64_t ny;
    const void** y_table;
    int64_t yhint;
    int64_t s_order;
    int64_t s_type;
    int64_t ic_type;
    const void* ic;
    int64_t bc_type;
    const void* bc;
    void** coeff_table;
    int64_t coeff_hint;
    uint32_t caller_flag;
    int64_t bin_count;
    uint32_t* bins; /* pairs (lo, hi) */
    union {
        double d;
        float s;
    } inv_bin_width;
} DfTask;

/* ---- the task ----------------------------------------------------------- */
#define VEXA_DF_TWINS(X) X(d, double) X(s, float)
#define VEXA_DF_DECLARE_TASK(p, T)                                                                                \
    int vexa_df_kernel_##p##NewTask1D(DfTask** task, int64_t nx, const T* x, int64_t xhint, int64_t ny,          \
                                       const T* y, int64_t yhint, int64_t int64_flag);                             \
    int vexa_df_kernel_##p##EditPPSpline1D(DfTask* task, int64_t s_order, int64_t s_type, int64_t bc_type,       \
                                            const T* bc, int64_t ic_type, const T* ic, T* scoeff,                 \
                                            int64_t coeff_hint);                                                   \
    int vexa_df_kernel_##p##EditPtr(DfTask* task, int64_t attr, const T* ptr);                                    \
    int vexa_df_kernel_##p##EditIdxPtr(DfTask* task, int64_t attr, int64_t idx, const T* ptr);                    \
    int vexa_df_kernel_##p##QueryPtr(const DfTask* task, int64_t attr, T** ptr_out);                              \
    int vexa_df_kernel_##p##QueryIdxPtr(const DfTask* task, int64_t attr, int64_t idx, T** ptr_out);
VEXA_DF_TWINS(VEXA_DF_DECLARE_TASK)
int vexa_df_kernel_iEditVal(DfTask* task, int64_t attr, int64_t value);
/* Writes 8 bytes when the task's int64_flag is nonzero, else 4. */
int vexa_df_kernel_iQueryVal(const DfTask* task, int64_t attr, void* value_out);
int vexa_df_kernel_DeleteTask(DfTask** task);

/* ---- construction ------------------------------------------------------- */
#define VEXA_DF_DECLARE_CONSTRUCTION(p, T)                                                                       \
    int vexa_df_kernel_##p##DFLinearSpline1D(DfTask* task, int64_t method, const ThreadingTable* service);      \
    int vexa_df_kernel_##p##DFQuadraticSpline1D(DfTask* task, int64_t method, const ThreadingTable* service);   \
    int vexa_df_kernel_##p##DFNaturalCubicSpline1D(DfTask* task, int64_t method, const ThreadingTable* service); \
    int vexa_df_kernel_##p##DFDefaultCubicSpline1D(DfTask* task, int64_t method, const ThreadingTable* service); \
    int vexa_df_kernel_##p##DFAkimaCubicSpline1D(DfTask* task, int64_t method, const ThreadingTable* service);  \
    int vexa_df_kernel_##p##DFBesselCubicSpline1D(DfTask* task, int64_t method, const ThreadingTable* service); \
    int vexa_df_kernel_##p##DFHermiteCubicSpline1D(DfTask* task, int64_t method, const ThreadingTable* service);
VEXA_DF_TWINS(VEXA_DF_DECLARE_CONSTRUCTION)

/* Front-end data kept for the natural cubic family; no routine of this
 * library reads or writes it. */
extern uint8_t vDFNaturalCubSplineThreadingStruct[100];

/* ---- cell search ----------------------------------------------------------- */
/* User search callback: fills n 64-bit cells; a nonzero flag marks a cell set for good. */
typedef int VexaDfdSearchCallback(const int64_t* n, const double* sites, int64_t* cells, int32_t* flags,
                                  void* params);
typedef int VexaDfsSearchCallback(const int64_t* n, const float* sites, int64_t* cells, int32_t* flags,
                                  void* params);

/* The per-method kernels share one argument list: nx, x, nsite, site, the
 * method datum (uniform: (nx-1)/(x[1]-x[0]); hybrid: the bin width's
 * reciprocal; peak: the peak index; otherwise unused), the bin pairs
 * (hybrid), the cells out (32-bit), the start index in and out (sorted), and
 * for the user-defined methods the callback, its parameters and nsite flags. */
#define VEXA_DF_SEARCH_METHODS(X) X(Uniform) X(QuasiUniform) X(Sorted) X(Peak) X(Hybrid) X(UserDef) X(UniUserDef)
#define VEXA_DF_DECLARE_SEARCH_KERNEL(p, T, M)                                                                    \
    int vexa_df_kernel_##p##DF##M##Search1D32(int64_t nx, const T* x, int64_t nsite, const T* site, T datum,      \
                                              const uint32_t* bins, int32_t* cell, int64_t* start,                \
                                              VexaDf##p##SearchCallback* cb, void* params, int32_t* flags);       \
    int vexa_df_kernel_##p##DF##M##Search1D(int64_t nx, const T* x, int64_t nsite, const T* site, T datum,        \
                                            const uint32_t* bins, int32_t* cell, int64_t* start,                  \
                                            VexaDf##p##SearchCallback* cb, void* params, int32_t* flags);
#define VEXA_DF_DECLARE_SEARCH_d(M) VEXA_DF_DECLARE_SEARCH_KERNEL(d, double, M)
#define VEXA_DF_DECLARE_SEARCH_s(M) VEXA_DF_DECLARE_SEARCH_KERNEL(s, float, M)
VEXA_DF_SEARCH_METHODS(VEXA_DF_DECLARE_SEARCH_d)
VEXA_DF_SEARCH_METHODS(VEXA_DF_DECLARE_SEARCH_s)

/* cell: nsite cells, 64-bit when bit 0 of the task's int64_flag is set, else 32-bit. */
int vexa_df_kernel_dDFSearch1D(const DfTask* task, int64_t nsite, const double* site, int64_t sitehint,
                               const double* datahint, void* cell, VexaDfdSearchCallback* search_cb,
                               void* search_params, const ThreadingTable* service);
int vexa_df_kernel_sDFSearch1D(const DfTask* task, int64_t nsite, const float* site, int64_t sitehint,
                               const float* datahint, void* cell, VexaDfsSearchCallback* search_cb,
                               void* search_params, const ThreadingTable* service);

/* ---- interpolation and integration ------------------------------------------ */
/* Evaluation callback: n sites of a block, their cells and sites; fills the
 * results (nder per site, consecutive). Its status is returned as is. */
typedef int VexaDfdEvalCallback(const int64_t* n, const int64_t* cells, const double* sites, double* results,
                                void* params);
typedef int VexaDfsEvalCallback(const int64_t* n, const int64_t* cells, const float* sites, float* results,
                                void* params);
/* Integration callback: n intervals [llim, rlim] of one part (left of the
 * partition, right of it, or inside), one result each. */
typedef int VexaDfdIntegrCallback(const int64_t* n, const double* llim, const double* rlim, double* results,
                                  void* params);
typedef int VexaDfsIntegrCallback(const int64_t* n, const float* llim, const float* rlim, float* results,
                                  void* params);

/* What an evaluator receives: one function over a block of sites. The
 * results of site k are r[k * nder + q] for the q-th requested derivative,
 * derivative order orders[q]. `coeff` is the function's coefficients;
 * `y`, `y_stride` its values (step and look-up interpolants). */
#define VEXA_DF_DECLARE_EVAL_ARGS(p, T)                                                                          \
    typedef struct VexaDf##p##EvalArgs {                                                                         \
        int64_t nx;                                                                                               \
        const T* x;                                                                                               \
        int64_t xhint;                                                                                            \
        T h; /* the cell width of a uniform partition */                                                          \
        int64_t nsite;                                                                                            \
        const T* site;                                                                                            \
        const int32_t* cell;                                                                                      \
        const T* coeff;                                                                                           \
        int64_t s_order;                                                                                          \
        const T* y;                                                                                               \
        int64_t y_stride;                                                                                         \
        T* r;                                                                                                     \
        int64_t nder;                                                                                             \
        const int32_t* orders;                                                                                    \
        VexaDf##p##EvalCallback *le_cb, *re_cb, *i_cb;                                                            \
        void *le_params, *re_params, *i_params;                                                                   \
        const T* ic; /* the Subbotin spline's subgrid knots (ic_type without bit 4) */                            \
        int64_t ic_type;                                                                                          \
    } VexaDf##p##EvalArgs;
VEXA_DF_TWINS(VEXA_DF_DECLARE_EVAL_ARGS)

#define VEXA_DF_EVALUATORS(X) X(Linear) X(Quadratic) X(Cubic) X(QuadSubb) X(Arbitr) X(StepLeft) X(StepRight) X(LookUp)
#define VEXA_DF_DECLARE_EVAL(p, K)                                                                                \
    int vexa_df_kernel_##p##_##K##SplineEval32(const VexaDf##p##EvalArgs* args);                                 \
    int vexa_df_kernel_##p##_##K##SplineEval32CB(const VexaDf##p##EvalArgs* args);
#define VEXA_DF_DECLARE_EVAL_d(K) VEXA_DF_DECLARE_EVAL(d, K)
#define VEXA_DF_DECLARE_EVAL_s(K) VEXA_DF_DECLARE_EVAL(s, K)
VEXA_DF_EVALUATORS(VEXA_DF_DECLARE_EVAL_d)
VEXA_DF_EVALUATORS(VEXA_DF_DECLARE_EVAL_s)

/* What an integration kernel receives: one function over nlim intervals
 * [llim[k], rlim[k]] with the cells of both limits; one result per interval
 * into r[k]. */
#define VEXA_DF_DECLARE_INTEGR_ARGS(p, T)                                                                        \
    typedef struct VexaDf##p##IntegrArgs {                                                                       \
        int64_t nx;                                                                                               \
        const T* x;                                                                                               \
        int64_t xhint;                                                                                            \
        T h;                                                                                                      \
        int64_t nlim;                                                                                             \
        const T *llim, *rlim;                                                                                     \
        const int32_t *lcell, *rcell;                                                                             \
        const T* coeff;                                                                                           \
        int64_t s_order;                                                                                          \
        const T* y;                                                                                               \
        int64_t y_stride;                                                                                         \
        T* r;                                                                                                     \
        VexaDf##p##IntegrCallback *le_cb, *re_cb, *i_cb;                                                          \
        void *le_params, *re_params, *i_params;                                                                   \
        const T* ic;                                                                                              \
        int64_t ic_type;                                                                                          \
    } VexaDf##p##IntegrArgs;
VEXA_DF_TWINS(VEXA_DF_DECLARE_INTEGR_ARGS)

#define VEXA_DF_INTEGRATORS(X) X(Linear) X(Quad) X(Cub) X(Subb) X(Arb) X(PwL) X(PwR)
#define VEXA_DF_DECLARE_INTEGR(p, K)                                                                              \
    int vexa_df_kernel_##p##_Integrate##K##Spline(const VexaDf##p##IntegrArgs* args);                            \
    int vexa_df_kernel_##p##_Integrate##K##SplineCB(const VexaDf##p##IntegrArgs* args);
#define VEXA_DF_DECLARE_INTEGR_d(K) VEXA_DF_DECLARE_INTEGR(d, K)
#define VEXA_DF_DECLARE_INTEGR_s(K) VEXA_DF_DECLARE_INTEGR(s, K)
VEXA_DF_INTEGRATORS(VEXA_DF_DECLARE_INTEGR_d)
VEXA_DF_INTEGRATORS(VEXA_DF_DECLARE_INTEGR_s)

/* dorder: ndorder flags (64-bit when bit 0 of the task's int64_flag is set,
 * else 32-bit); cell: as for the search. */
#define VEXA_DF_DECLARE_INTERPOLATE(p, T)                                                                         \
    int vexa_df_kernel_##p##DFInterpolate1D(                                                                      \
        const DfTask* task, int64_t type, int64_t method, int64_t nsite, const T* site, int64_t sitehint,         \
        int64_t ndorder, const void* dorder, const T* datahint, T* r, int64_t rhint, void* cell,                  \
        VexaDf##p##EvalCallback* le_cb, void* le_params, VexaDf##p##EvalCallback* re_cb, void* re_params,          \
        VexaDf##p##EvalCallback* i_cb, void* i_params, VexaDf##p##SearchCallback* search_cb, void* search_params, \
        const ThreadingTable* service);                                                                           \
    int vexa_df_kernel_##p##DFIntegrate1D(                                                                        \
        const DfTask* task, int64_t method, int64_t nlim, const T* llim, int64_t llimhint, const T* rlim,         \
        int64_t rlimhint, const T* ldatahint, const T* rdatahint, T* r, int64_t rhint,                            \
        VexaDf##p##IntegrCallback* le_cb, void* le_params, VexaDf##p##IntegrCallback* re_cb, void* re_params,      \
        VexaDf##p##IntegrCallback* i_cb, void* i_params, VexaDf##p##SearchCallback* search_cb,                     \
        void* search_params, const ThreadingTable* service);
VEXA_DF_TWINS(VEXA_DF_DECLARE_INTERPOLATE)

#ifdef __cplusplus
}
#endif

#if defined(__i386__) && defined(__cplusplus)
static_assert(offsetof(DfTask, nx) == 16 && offsetof(DfTask, x) == 24 && offsetof(DfTask, y_table) == 44 &&
                  offsetof(DfTask, coeff_table) == 96 && offsetof(DfTask, caller_flag) == 108 &&
                  offsetof(DfTask, bins) == 120 && offsetof(DfTask, inv_bin_width) == 124 && sizeof(DfTask) == 132,
              "DfTask layout");
#endif

#endif
