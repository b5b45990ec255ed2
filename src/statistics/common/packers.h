// Symmetric matrices in the caller's storage: full, packed lower or packed
// upper, written for the selected variables only.
#pragma once

#include <cstdint>

#include "statistics/common/access.h"
#include "vexa/statistics.h"

namespace vexa::ss {

// Position of m(i, j), i <= j, in full, packed-lower or packed-upper storage.
VEXA_INLINE int64_t packed_index(int64_t storage, int64_t p, int64_t i, int64_t j) {
    if (storage == VEXA_SS_MATRIX_LOWER_PACKED) return j * (j + 1) / 2 + i;         // row j, column i
    if (storage == VEXA_SS_MATRIX_UPPER_PACKED) return i * p - i * (i - 1) / 2 + (j - i);  // row i, column j
    return i * p + j;
}
VEXA_INLINE bool matrix_storage(int64_t s) {
    return s == VEXA_SS_MATRIX_FULL || s == VEXA_SS_MATRIX_LOWER_PACKED || s == VEXA_SS_MATRIX_UPPER_PACKED;
}

// Writes value(i, j) for every selected pair into the storage (both halves of a full matrix).
template <class T, class F> void pack(const SSTask* t, T* out, int64_t storage, int64_t p, int64_t v0, int64_t v1,
                                      F value) {
    for (int64_t i = v0; i < v1; ++i) {
        if (!selected(t, i)) continue;
        for (int64_t j = i; j < v1; ++j) {
            if (!selected(t, j)) continue;
            const T v = value(i, j);
            out[packed_index(storage, p, i, j)] = v;
            if (storage == VEXA_SS_MATRIX_FULL) out[j * p + i] = v;
        }
    }
}
}  // namespace vexa::ss
