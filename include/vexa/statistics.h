/* Summary statistics: the task record SSTask, its creation, editing and
 * deletion. The task holds pointers to the caller's arrays and integers and
 * owns only its internal work blocks. Usable from C and C++. */
#ifndef VEXA_STATISTICS_H
#define VEXA_STATISTICS_H

#include <stddef.h>
#include <stdint.h>

#include "vexa/service.h" /* ThreadingTable */

#ifdef __cplusplus
extern "C" {
#endif

/* Statuses shared by the statistics entry points (the missing-array statuses
 * of the individual fields are in ss_fields.def). */
/* Statuses of the statistics entry points; the missing-array status of each field is in ss_fields.def (catalogue ss_status.def). */
enum VexaSsStatus {
#define SS_STATUS(name, code, meaning) VEXA_SS_##name = code,
#include "vexa/ss_status.def"
#undef SS_STATUS
};

/* Observation storage and matrix storage codes. */
#define VEXA_SS_ROWS 0x10000
#define VEXA_SS_COLUMNS 0x20000
#define VEXA_SS_MATRIX_FULL 0
#define VEXA_SS_MATRIX_LOWER_PACKED 1
#define VEXA_SS_MATRIX_UPPER_PACKED 2

typedef struct SSTask SSTask;
typedef void (*SSCleanupFn)(SSTask* task);

#define SS_TYPE_U32 uint32_t
#define SS_TYPE_INT const void*
#define SS_TYPE_INTS const void*
#define SS_TYPE_FLT void*
#define SS_TYPE_PTR void*
#define SS_TYPE_COUNT int32_t
#define SS_TYPE_ROUTINE SSCleanupFn
#define SS_TYPE_PAD uint32_t
struct SSTask {
#define SS_FIELD(name, kind, id, null_status) SS_TYPE_##kind name;
#include "vexa/ss_fields.def"
#undef SS_FIELD
};

int __tqrdSSNewTask(SSTask** task_out, const void* dim, const void* n_obs, const void* x_storage, const double* x,
                    const double* weights, const void* indices, int int64_flag);
int __tqrsSSNewTask(SSTask** task_out, const void* dim, const void* n_obs, const void* x_storage, const float* x,
                    const float* weights, const void* indices, int int64_flag);
int __tqrdSSEditTask(SSTask* task, int64_t id, const double* value);
int __tqrsSSEditTask(SSTask* task, int64_t id, const float* value);
int __tqriSSEditTask(SSTask* task, int64_t id, const void* value);
int __tqrSSDeleteTask(SSTask** task_ptr);

/* Compute entries: estimates and method are bit masks; threading is the
 * caller's threading table (null: everything in the calling thread). */
#define SS_ENTRY(name)                                                                                 \
    int _tqrdSS##name(SSTask* task, int64_t estimates, int64_t method, const ThreadingTable* threading); \
    int _tqrsSS##name(SSTask* task, int64_t estimates, int64_t method, const ThreadingTable* threading);
#include "vexa/ss_entries.def"
#undef SS_ENTRY

/* Weighted median of every selected variable with the task's weights, into
 * quantiles[i] (the robust estimators' coordinate-wise median). */
int _tqrdSSWMedian(SSTask* task);
int _tqrsSSWMedian(SSTask* task);

/* Selection and sorting: __tqrdQSortSelect reorders a[0..n-1] so that a[k] is
 * the value of rank k (smaller ones before, larger after) and returns it;
 * __tqrdQSort sorts ascending in place. */
double __tqrdQSortSelect(int n, double* a, int k);
float __tqrsQSortSelect(int n, float* a, int k);
void __tqrdQSort(int n, double* a);
void __tqrsQSort(int n, float* a);
/* One partitioning step over a[l..r] of an array of n (the step the sort is
 * made of): afterwards a[l..low] <= a[low + 1 .. high - 1] <= a[high..r], the
 * middle part in its final place; returns low in the low 32 bits and high in
 * the high 32 bits, both signed. A range of fewer than 3 elements is put in
 * order and returns low = l - 1, high = r + 1. */
uint64_t __tqrdQSortStep(int n, double* a, int l, int r);
uint64_t __tqrsQSortStep(int n, float* a, int l, int r);

/* Grouped editors: every non-null argument overwrites its field. */
#define SSX_CAT_(a, b) a##b
#define SSX_CAT(a, b) SSX_CAT_(a, b)
#define SSX_N_(_1, _2, _3, _4, _5, _6, _7, _8, _9, _10, n, ...) n
#define SSX_N(...) SSX_N_(__VA_ARGS__, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1)
#define SSX_MAP1(m, a) m(a)
#define SSX_MAP2(m, a, ...) m(a), SSX_MAP1(m, __VA_ARGS__)
#define SSX_MAP3(m, a, ...) m(a), SSX_MAP2(m, __VA_ARGS__)
#define SSX_MAP4(m, a, ...) m(a), SSX_MAP3(m, __VA_ARGS__)
#define SSX_MAP5(m, a, ...) m(a), SSX_MAP4(m, __VA_ARGS__)
#define SSX_MAP6(m, a, ...) m(a), SSX_MAP5(m, __VA_ARGS__)
#define SSX_MAP7(m, a, ...) m(a), SSX_MAP6(m, __VA_ARGS__)
#define SSX_MAP8(m, a, ...) m(a), SSX_MAP7(m, __VA_ARGS__)
#define SSX_MAP9(m, a, ...) m(a), SSX_MAP8(m, __VA_ARGS__)
#define SSX_MAP10(m, a, ...) m(a), SSX_MAP9(m, __VA_ARGS__)
/* m applied to every argument, joined by commas */
#define SSX_MAP(m, ...) SSX_CAT(SSX_MAP, SSX_N(__VA_ARGS__))(m, __VA_ARGS__)
/* F(name) / I(name) as a parameter of the d or s editor */
#define SSX_PARAM_d_F(name) const double* name
#define SSX_PARAM_s_F(name) const float* name
#define SSX_PARAM_d_I(name) const void* name
#define SSX_PARAM_s_I(name) const void* name
#define SSX_PARAM_d(arg) SSX_CAT(SSX_PARAM_d_, arg)
#define SSX_PARAM_s(arg) SSX_CAT(SSX_PARAM_s_, arg)
#define SS_EDITOR(name, ...)                                                        \
    int __tqrdSSEdit##name(SSTask* task, SSX_MAP(SSX_PARAM_d, __VA_ARGS__));        \
    int __tqrsSSEdit##name(SSTask* task, SSX_MAP(SSX_PARAM_s, __VA_ARGS__));
#include "vexa/ss_editors.def"
#undef SS_EDITOR

#ifdef __cplusplus
}
#endif

#if defined(__i386__)
#ifdef __cplusplus
static_assert(sizeof(SSTask) == 376, "SSTask is 94 words");
static_assert(offsetof(SSTask, x) == 24 && offsetof(SSTask, cleanup_count) == 356, "SSTask layout");
static_assert(offsetof(SSTask, basic_buffer) == 372, "SSTask layout");
#else
_Static_assert(sizeof(SSTask) == 376, "SSTask is 94 words");
#endif
#endif

#endif
