// Reading a statistics task: caller integers of the task's width, the shape and
// storage of the observations, the selected variables, and the checks that
// every compute entry starts with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/align.h"
#include "common/export.h"
#include "statistics/common/scope.h"
#include "vexa/primitives.h"
#include "vexa/service.h"
#include "vexa/statistics.h"

namespace vexa::ss {

// The status for a missing array or integer, by field: missing::quantiles.
namespace missing {
#define SS_FIELD(name, kind, id, null_status) [[maybe_unused]] constexpr int name = null_status;
#include "vexa/ss_fields.def"
#undef SS_FIELD
}  // namespace missing

// A caller integer, 64 bits wide when `wide` is 1, else 32.
VEXA_INLINE int64_t read_int(const void* p, uint32_t wide) {
    if (wide == 1) {
        int64_t v;
        std::memcpy(&v, p, 8);
        return v;
    }
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
VEXA_INLINE int64_t read_int(const SSTask* t, const void* p) { return read_int(p, t->int64_flag); }

// Entry i of a caller integer array.
VEXA_INLINE int64_t read_int_at(const SSTask* t, const void* array, int64_t i) {
    const auto* base = static_cast<const unsigned char*>(array);
    return read_int(t, base + i * (t->int64_flag == 1 ? 8 : 4));
}

VEXA_INLINE bool observation_storage(int64_t s) { return s == VEXA_SS_ROWS || s == VEXA_SS_COLUMNS; }

// p variables by n observations, stored by rows (variable-major) or columns.
struct Shape {
    int64_t p, n;
    bool rows;
    VEXA_INLINE int64_t index(int64_t var, int64_t obs) const { return rows ? var * n + obs : obs * p + var; }
};

// dim < 1, n_obs < 1, x missing, x_storage missing or not a storage code.
VEXA_INLINE int check_observations(const SSTask* t, Shape& s) {
    if (t->dim == nullptr || (s.p = read_int(t, t->dim)) < 1) return VEXA_SS_BAD_DIM;
    if (t->n_obs == nullptr || (s.n = read_int(t, t->n_obs)) < 1) return VEXA_SS_BAD_NOBS;
    if (t->x == nullptr) return VEXA_SS_NO_X;
    if (t->x_storage == nullptr) return VEXA_SS_NO_STORAGE;
    const int64_t code = read_int(t, t->x_storage);
    if (!observation_storage(code)) return VEXA_SS_BAD_STORAGE;
    s.rows = code == VEXA_SS_ROWS;
    return VEXA_SS_OK;
}

// Variable i is processed: no indices array, or its entry is nonzero.
VEXA_INLINE bool selected(const SSTask* t, int64_t i) {
    return t->indices == nullptr || read_int_at(t, t->indices, i) != 0;
}

// The number of threads that the caller's table allows (1 without a table).
VEXA_INLINE int64_t max_threads(const ThreadingTable* tt) {
    if (tt == nullptr || tt->max_threads == nullptr) return 1;
    const int m = tt->max_threads();
    return m > 1 ? m : 1;
}

// Selected variables of p.
VEXA_INLINE int64_t count_selected(const SSTask* t, int64_t p) {
    int64_t k = 0;
    for (int64_t i = 0; i < p; ++i) k += selected(t, i);
    return k;
}

// One block for a per-variable worker: the indices of the `count` selected
// variables, then `extra` bytes starting on a 128-byte boundary. Returns the
// extra part, or null when the block cannot be had.
VEXA_INLINE void* variable_list(const SSTask* t, int64_t p, int64_t count, double extra, OwnedBlock& block,
                                int64_t*& vars) {
    const double list = double((count * 8 + 127) / 128 * 128);
    if (list + extra > double(SIZE_MAX) / 2) return nullptr;
    block.p = vexa_serv_allocate(std::size_t(list + extra), kAlignment);
    if (block.p == nullptr) return nullptr;
    vars = static_cast<int64_t*>(block.p);
    for (int64_t i = 0, k = 0; i < p; ++i)
        if (selected(t, i)) vars[k++] = i;
    return static_cast<char*>(block.p) + std::size_t(list);
}

// Runs worker(i, thread, count, context) for every i < count: on the caller's
// table with up to `threads` threads, or in the calling thread.
VEXA_INLINE void run_per_variable(const ThreadingTable* tt, int64_t count, int64_t threads, void* context,
                                  VexaWorkerFn worker) {
    if (tt != nullptr && threads > 1) tt->parallel_for(int(count), int(threads), context, worker);
    else
        for (int i = 0; i < int(count); ++i) worker(i, 0, int(count), context);
}

// Radix sort ascending of n values, with a buffer of n.
VEXA_INLINE int radix_ascend(double* data, double* buffer, int64_t n) {
    return vexa_dft_avx2_zubsSortRadixAscend_64f_I(data, buffer, int(n));
}
VEXA_INLINE int radix_ascend(float* data, float* buffer, int64_t n) {
    return vexa_dft_avx2_zubsSortRadixAscend_32f_I(data, buffer, int(n));
}

}  // namespace vexa::ss
