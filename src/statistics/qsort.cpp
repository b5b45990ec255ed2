// The exported selection and sorting routines: __tqr[ds]QSortSelect,
// __tqr[ds]QSort and the single partitioning step __tqr[ds]QSortStep.
#include <cstdint>

#include "common/export.h"
#include "statistics/qsort.h"
#include "vexa/statistics.h"

namespace {

using vexa::ss::Plain;

// One step over a[l..r] of an array of n: ranges of three or more are
// partitioned; shorter ones are put in order. The result packs the two
// ranges still to sort, a[l..low] and a[high..r]: low in the low 32 bits and
// high in the high 32 bits, both signed (an empty side gives low = l - 1 or
// high = r + 1). Bounds outside [0, n) are clamped.
template <class T> uint64_t step(int n, T* a, int l, int r) {
    if (l < 0) l = 0;
    if (r > n - 1) r = n - 1;
    int64_t low = int64_t(l) - 1, high = int64_t(r) + 1;
    if (r - l >= 2) {
        int64_t i, j;
        vexa::ss::partition(Plain<T>{a}, l, r, i, j);
        low = j - 1, high = i;
    } else if (r == l + 1 && a[r] < a[l]) {
        Plain<T>{a}.swap(l, r);
    }
    return (uint64_t(uint32_t(int32_t(high))) << 32) | uint32_t(int32_t(low));
}

}  // namespace

extern "C" {

VEXA_EXPORT double __tqrdQSortSelect(int n, double* a, int k) { return vexa::ss::select(n, Plain<double>{a}, k); }
VEXA_EXPORT float __tqrsQSortSelect(int n, float* a, int k) { return vexa::ss::select(n, Plain<float>{a}, k); }
VEXA_EXPORT void __tqrdQSort(int n, double* a) {
    if (n > 1) vexa::ss::quick_sort(n, Plain<double>{a});
}
VEXA_EXPORT void __tqrsQSort(int n, float* a) {
    if (n > 1) vexa::ss::quick_sort(n, Plain<float>{a});
}
VEXA_EXPORT uint64_t __tqrdQSortStep(int n, double* a, int l, int r) { return step(n, a, l, r); }
VEXA_EXPORT uint64_t __tqrsQSortStep(int n, float* a, int l, int r) { return step(n, a, l, r); }

}  // extern "C"
