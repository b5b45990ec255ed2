// Weighted median of each selected variable, for the robust estimators: the
// values sorted with their weights following them, then the first value at
// which the running weight reaches half the total. When it lands exactly on
// half, the median is the mean of that value and the next one of positive
// weight, so that unit weights give the ordinary median. Weights of zero
// count for nothing; with no positive weight the median is NaN. The result
// goes to quantiles[i] for variable i.
#include <cmath>
#include <cstdint>
#include <limits>

#include "statistics/common/access.h"
#include "statistics/qsort.h"
#include "vexa/service.h"
#include "vexa/statistics.h"

namespace {

using vexa::ss::Shape;
namespace missing = vexa::ss::missing;

// Sorts values ascending, carrying their weights (the permutation map of the sort).
template <class T> void quick_map_sort(int64_t n, T* values, T* weights) {
    if (n > 1) vexa::ss::quick_sort(n, vexa::ss::Mapped<T, T>{values, weights});
}

template <class T> T weighted_median(int64_t n, T* v, T* w) {
    quick_map_sort(n, v, w);
    T total = T(0);
    for (int64_t j = 0; j < n; ++j) total += w[j] > T(0) ? w[j] : T(0);
    if (!(total > T(0))) return std::numeric_limits<T>::quiet_NaN();
    const T half = total / T(2);
    T running = T(0);
    for (int64_t j = 0; j < n; ++j) {
        if (!(w[j] > T(0))) continue;
        running += w[j];
        if (running < half) continue;
        if (running == half)
            for (int64_t k = j + 1; k < n; ++k)
                if (w[k] > T(0)) return v[j] + (v[k] - v[j]) * T(0.5);  // as the quantile at 0.5
        return v[j];
    }
    return v[n - 1];
}

template <class T> int wmedian(SSTask* t) {
    if (t == nullptr) return VEXA_SS_NO_TASK;
    Shape s;
    if (const int st = vexa::ss::check_observations(t, s)) return st;
    if (t->weights == nullptr) return missing::weights;
    if (t->quantiles == nullptr) return missing::quantiles;
    vexa::ss::OwnedBlock block;
    block.p = vexa_serv_allocate(2 * std::size_t(s.n) * sizeof(T), vexa::kAlignment);
    if (block.p == nullptr) return VEXA_SS_MEMORY;
    T* v = static_cast<T*>(block.p);
    T* w = v + s.n;
    const T* x = static_cast<const T*>(t->x);
    const T* weights = static_cast<const T*>(t->weights);
    for (int64_t i = 0; i < s.p; ++i) {
        if (!vexa::ss::selected(t, i)) continue;
        for (int64_t j = 0; j < s.n; ++j) v[j] = x[s.index(i, j)], w[j] = weights[j];
        static_cast<T*>(t->quantiles)[i] = weighted_median(s.n, v, w);
    }
    return VEXA_SS_OK;
}

}  // namespace

extern "C" {

VEXA_EXPORT int _tqrdSSWMedian(SSTask* task) { return wmedian<double>(task); }
VEXA_EXPORT int _tqrsSSWMedian(SSTask* task) { return wmedian<float>(task); }

}  // extern "C"
