// Order statistics of the statistics task: minimum and maximum, quantiles and
// order statistics, sorting, and the selection and sorting routines.
//
// Per-variable outputs are indexed by the variable's own position (as the
// moments are): quantiles of variable i at quantiles[i * quant_order_n + m],
// its order statistics and sorted observations in the same p-by-n shape as
// the observations, in their own storage; unselected variables are left as
// they are.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "common/align.h"
#include "statistics/common/access.h"
#include "statistics/qsort.h"
#include "vexa/primitives.h"
#include "vexa/service.h"

namespace {

using vexa::ss::Shape;
namespace missing = vexa::ss::missing;

using vexa::kAlignment;
constexpr uint64_t kMin = 0x400, kMax = 0x800;
constexpr uint64_t kQuantiles = 0x10000, kOrderStats = 0x20000;
constexpr uint64_t kSortMethod = 0x100000;
constexpr int64_t kCopyBudget = 0xA00000;  // bytes of variable copies across threads
constexpr int64_t kSelectOrders = 2;       // up to this many orders by selection, more by one sort (measured)

using Block = vexa::ss::OwnedBlock;

using vexa::ss::radix_ascend;

template <class T> int minmax(SSTask* t, uint64_t est, uint64_t method) {
    if (t == nullptr) return VEXA_SS_NO_TASK;
    Shape s;
    if (const int st = vexa::ss::check_observations(t, s)) return st;
    const bool want_min = est & kMin, want_max = est & kMax;
    if (want_min && t->min == nullptr) return missing::min;
    if (want_max && t->max == nullptr) return missing::max;
    if ((method & 0x3) == 0) return VEXA_SS_BAD_METHOD;
    const T* x = static_cast<const T*>(t->x);
    T* mn = static_cast<T*>(t->min);
    T* mx = static_cast<T*>(t->max);
    // The starting values are the caller's: repeated calls accumulate.
    for (int64_t i = 0; i < s.p; ++i) {
        if (!vexa::ss::selected(t, i)) continue;
        T lo = want_min ? mn[i] : T(0), hi = want_max ? mx[i] : T(0);
        for (int64_t j = 0; j < s.n; ++j) {
            const T v = x[s.index(i, j)];
            if (v < lo) lo = v;
            if (v > hi) hi = v;
        }
        if (want_min) mn[i] = lo;
        if (want_max) mx[i] = hi;
    }
    return VEXA_SS_OK;
}

// Puts ranks[first..last) (ascending, within [lo, hi]) of a[lo..hi] in place:
// the middle one by selection in the part, then each side in its own part.
template <class T> void select_ranks(T* a, int64_t lo, int64_t hi, const int64_t* ranks, int64_t first, int64_t last) {
    if (first >= last) return;
    const int64_t mid = (first + last) / 2, r = ranks[mid];
    vexa::ss::select(hi - lo + 1, vexa::ss::Plain<T>{a + lo}, r - lo);
    select_ranks(a, lo, r - 1, ranks, first, mid);
    select_ranks(a, r + 1, hi, ranks, mid + 1, last);
}

template <class T> struct QuantileWork {
    const SSTask* task;
    Shape s;
    const int64_t* vars;  // selected variables
    T* copies;            // 2 n values per thread: the copy and the radix buffer
    int64_t orders_n;
    const T* orders;
    T* quantiles;     // or null
    T* order_stats;   // or null
    Shape os;         // shape of order_stats
};

template <class T> void quantile_worker(int it, int thread, int, void* context) {
    auto& w = *static_cast<QuantileWork<T>*>(context);
    const int64_t var = w.vars[it], n = w.s.n;
    T* c = w.copies + 2 * n * thread;
    const T* x = static_cast<const T*>(w.task->x);
    for (int64_t j = 0; j < n; ++j) c[j] = x[w.s.index(var, j)];
    // Up to kSelectOrders orders without order statistics: the ranks k of
    // the orders put in place by one multiple selection (each selection
    // splits the array, the ranks on either side are selected within their
    // part); rank k + 1 is then the smallest value between k and the next
    // selected rank. Otherwise one sort.
    if (w.order_stats == nullptr && w.orders_n <= kSelectOrders) {
        int64_t ranks[kSelectOrders];
        int64_t nr = 0;
        for (int64_t m = 0; m < w.orders_n; ++m) ranks[nr++] = int64_t(T(n - 1) * w.orders[m]);
        std::sort(ranks, ranks + nr);
        nr = std::unique(ranks, ranks + nr) - ranks;
        select_ranks(c, 0, n - 1, ranks, 0, nr);
        for (int64_t m = 0; m < w.orders_n; ++m) {
            const T pos = T(n - 1) * w.orders[m];
            const int64_t k = int64_t(pos);
            const T a = c[k];
            T b = a;
            if (k + 1 < n) {
                const int64_t* next = std::upper_bound(ranks, ranks + nr, k);
                const int64_t end = next == ranks + nr ? n : *next + 1;
                b = c[k + 1];
                for (int64_t j = k + 2; j < end; ++j) b = c[j] < b ? c[j] : b;
            }
            w.quantiles[var * w.orders_n + m] = a + (b - a) * (pos - T(k));
        }
        return;
    }
    radix_ascend(c, c + n, n);
    if (w.quantiles != nullptr) {
        for (int64_t m = 0; m < w.orders_n; ++m) {
            const T pos = T(n - 1) * w.orders[m];
            const int64_t k = int64_t(pos);
            const T f = pos - T(k);
            const T a = c[k], b = c[k + 1 < n ? k + 1 : n - 1];
            w.quantiles[var * w.orders_n + m] = a + (b - a) * f;
        }
    }
    if (w.order_stats != nullptr)
        for (int64_t j = 0; j < n; ++j) w.order_stats[w.os.index(var, j)] = c[j];
}

template <class T> int quantiles(SSTask* t, uint64_t est, uint64_t method, const ThreadingTable* tt) {
    if (t == nullptr) return VEXA_SS_NO_TASK;
    Shape s;
    if (const int st = vexa::ss::check_observations(t, s)) return st;
    const bool want_q = est & kQuantiles, want_os = est & kOrderStats;
    int64_t qn = 0;
    if (want_q) {
        if (t->quantiles == nullptr) return missing::quantiles;
        if (t->quant_orders == nullptr) return missing::quant_orders;
        if (t->quant_order_n == nullptr || (qn = vexa::ss::read_int(t, t->quant_order_n)) < 0) return missing::quant_order_n;
        const T* q = static_cast<const T*>(t->quant_orders);
        for (int64_t m = 0; m < qn; ++m)
            if (!(q[m] >= T(0) && q[m] <= T(1))) return missing::quant_order_n;
    }
    Shape os = s;
    if (want_os) {
        if (t->order_stats == nullptr) return missing::order_stats;
        if (t->order_stats_storage == nullptr) return VEXA_SS_NO_STORAGE;
        const int64_t code = vexa::ss::read_int(t, t->order_stats_storage);
        if (!vexa::ss::observation_storage(code)) return VEXA_SS_BAD_STORAGE;
        os.rows = code == VEXA_SS_ROWS;
    }
    if ((method & 0x1) == 0) return VEXA_SS_BAD_METHOD;
    if (!want_q && !want_os) return VEXA_SS_OK;
    if (s.n > INT32_MAX) return VEXA_SS_BAD_NOBS;  // the radix sort counts in 32 bits

    const int64_t selected = vexa::ss::count_selected(t, s.p);
    if (selected == 0) return VEXA_SS_OK;
    int64_t threads = vexa::ss::max_threads(tt);
    const int64_t budget = kCopyBudget / (8 * s.n);
    threads = std::min<int64_t>(std::min<int64_t>(threads, selected), budget > 1 ? budget : 1);
    if (threads < 1) threads = 1;
    // The list of selected variables, then 2 n values per thread.
    Block block;
    int64_t* vars;
    T* copies = static_cast<T*>(vexa::ss::variable_list(t, s.p, selected, double(threads) * 2 * double(s.n) * sizeof(T), block, vars));
    if (copies == nullptr) return VEXA_SS_MEMORY;
    QuantileWork<T> w{t,    s, vars, copies, qn,
                      static_cast<const T*>(t->quant_orders), want_q ? static_cast<T*>(t->quantiles) : nullptr,
                      want_os ? static_cast<T*>(t->order_stats) : nullptr, os};
    vexa::ss::run_per_variable(tt, selected, threads, &w, quantile_worker<T>);
    return VEXA_SS_OK;
}

template <class T> int sort_task(SSTask* t, uint64_t method) {
    if (t == nullptr) return VEXA_SS_NO_TASK;
    Shape s;
    if (const int st = vexa::ss::check_observations(t, s)) return st;
    if (t->sorted_x == nullptr) return missing::sorted_x;
    if (t->sorted_x_storage == nullptr) return VEXA_SS_NO_STORAGE;
    const int64_t code = vexa::ss::read_int(t, t->sorted_x_storage);
    if (!vexa::ss::observation_storage(code)) return VEXA_SS_BAD_STORAGE;
    if ((method & kSortMethod) == 0) return VEXA_SS_BAD_METHOD;
    Shape out = s;
    out.rows = code == VEXA_SS_ROWS;
    if (t->sorted_x == t->x) {  // in place: every variable, in the observations' own storage
        if (t->indices != nullptr) return VEXA_SS_SORT_IN_PLACE_INDICES;
        if (out.rows != s.rows) return VEXA_SS_NO_STORAGE;
    }
    if (s.n > INT32_MAX) return VEXA_SS_BAD_NOBS;
    Block block;
    block.p = vexa_serv_allocate(std::size_t(2 * s.n) * sizeof(T), kAlignment);
    if (block.p == nullptr) return VEXA_SS_MEMORY;
    T* c = static_cast<T*>(block.p);
    const T* x = static_cast<const T*>(t->x);
    T* y = static_cast<T*>(t->sorted_x);
    for (int64_t i = 0; i < s.p; ++i) {
        if (!vexa::ss::selected(t, i)) continue;
        for (int64_t j = 0; j < s.n; ++j) c[j] = x[s.index(i, j)];
        radix_ascend(c, c + s.n, s.n);
        for (int64_t j = 0; j < s.n; ++j) y[out.index(i, j)] = c[j];
    }
    return VEXA_SS_OK;
}

}  // namespace

extern "C" {

VEXA_EXPORT int _tqrdSSMinmax(SSTask* task, int64_t estimates, int64_t method, const ThreadingTable*) {
    return minmax<double>(task, uint64_t(estimates), uint64_t(method));
}
VEXA_EXPORT int _tqrsSSMinmax(SSTask* task, int64_t estimates, int64_t method, const ThreadingTable*) {
    return minmax<float>(task, uint64_t(estimates), uint64_t(method));
}
VEXA_EXPORT int _tqrdSSQuantiles(SSTask* task, int64_t estimates, int64_t method, const ThreadingTable* threading) {
    return quantiles<double>(task, uint64_t(estimates), uint64_t(method), threading);
}
VEXA_EXPORT int _tqrsSSQuantiles(SSTask* task, int64_t estimates, int64_t method, const ThreadingTable* threading) {
    return quantiles<float>(task, uint64_t(estimates), uint64_t(method), threading);
}
VEXA_EXPORT int _tqrdSSSort(SSTask* task, int64_t, int64_t method, const ThreadingTable*) {
    return sort_task<double>(task, uint64_t(method));
}
VEXA_EXPORT int _tqrsSSSort(SSTask* task, int64_t, int64_t method, const ThreadingTable*) {
    return sort_task<float>(task, uint64_t(method));
}

}  // extern "C"
