// Median and mean absolute deviation of each selected variable, each built
// from the other entries on a one-variable task over a copy of the variable:
// the median |x - median(x)| through the quantile entry, the mean
// |x - mean(x)| through the basic statistics. Without weights (the mean
// absolute deviation is unweighted, our choice); method 0x100 takes the mean
// from the task's `mean` array instead of computing it.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "statistics/common/access.h"
#include "vexa/service.h"
#include "vexa/statistics.h"

namespace {

using vexa::ss::Shape;
namespace missing = vexa::ss::missing;

constexpr uint64_t kMedianAbs = 1ull << 33, kMeanAbs = 1ull << 34;
constexpr uint64_t kMethod = 0x1, kCallerMean = 0x100;

template <class T> struct Api;
template <> struct Api<double> {
    static constexpr auto new_task = __tqrdSSNewTask;
    static constexpr auto edit = __tqrdSSEditTask;
    static constexpr auto quantiles = _tqrdSSQuantiles;
    static constexpr auto basic = _tqrdSSBasic;
};
template <> struct Api<float> {
    static constexpr auto new_task = __tqrsSSNewTask;
    static constexpr auto edit = __tqrsSSEditTask;
    static constexpr auto quantiles = _tqrsSSQuantiles;
    static constexpr auto basic = _tqrsSSBasic;
};

// A one-variable task over n values by rows; deleted with its buffers on every path.
template <class T> struct OneVariable {
    SSTask* task = nullptr;
    int32_t dim = 1, n, storage = VEXA_SS_ROWS, one = 1;
    T order = T(0.5), result = T(0);
    int status;
    OneVariable(const T* x, int64_t count) : n(int32_t(count)) {
        status = Api<T>::new_task(&task, &dim, &n, &storage, x, nullptr, nullptr, 0);
    }
    ~OneVariable() { __tqrSSDeleteTask(&task); }
    OneVariable(const OneVariable&) = delete;
    int median(T& out) {
        if (status != 0) return status;
        task->quant_order_n = &one;
        task->quant_orders = &order;
        task->quantiles = &result;
        const int st = Api<T>::quantiles(task, 0x10000, 0x1, nullptr);
        out = result;
        return st;
    }
    int mean(T& out) {
        if (status != 0) return status;
        task->mean = &result;
        const int st = Api<T>::basic(task, 0x1, 0x1, nullptr);
        out = result;
        return st;
    }
};

template <class T> struct Work {
    const SSTask* task;
    Shape s;
    const int64_t* vars;
    T* copies;  // n values per thread
    bool median_abs, mean_abs, caller_mean;
    int status;
};

template <class T> void copy_variable(const Work<T>& w, int64_t var, T* c) {
    const T* x = static_cast<const T*>(w.task->x);
    for (int64_t j = 0; j < w.s.n; ++j) c[j] = x[w.s.index(var, j)];
}

// |c - centre| in place, then the estimate of the deviations.
template <class T, class Estimate> int deviation(T* c, int64_t n, T centre, Estimate estimate, T& out) {
    for (int64_t j = 0; j < n; ++j) c[j] = std::fabs(c[j] - centre);
    OneVariable<T> dev(c, n);
    return estimate(dev, out);
}

template <class T> void mad_worker(int it, int thread, int, void* context) {
    auto& w = *static_cast<Work<T>*>(context);
    const int64_t var = w.vars[it], n = w.s.n;
    T* c = w.copies + n * thread;
    int st = 0;
    if (w.mean_abs) {
        copy_variable(w, var, c);
        T centre;
        if (w.caller_mean) centre = static_cast<const T*>(w.task->mean)[var];
        else {
            OneVariable<T> v(c, n);
            st = v.mean(centre);
        }
        T out = T(0);
        if (st == 0) st = deviation(c, n, centre, [](OneVariable<T>& d, T& o) { return d.mean(o); }, out);
        if (st == 0) static_cast<T*>(w.task->mnad)[var] = out;
    }
    if (st == 0 && w.median_abs) {
        copy_variable(w, var, c);
        T centre, out = T(0);
        {
            OneVariable<T> v(c, n);
            st = v.median(centre);
        }
        if (st == 0) st = deviation(c, n, centre, [](OneVariable<T>& d, T& o) { return d.median(o); }, out);
        if (st == 0) static_cast<T*>(w.task->mdad)[var] = out;
    }
    if (st < 0) __atomic_store_n(&w.status, st, __ATOMIC_RELAXED);
}

template <class T> int mad(SSTask* t, uint64_t est, uint64_t method, const ThreadingTable* tt) {
    if (t == nullptr) return VEXA_SS_NO_TASK;
    Shape s;
    if (const int st = vexa::ss::check_observations(t, s)) return st;
    const bool median_abs = est & kMedianAbs, mean_abs = est & kMeanAbs;
    if (median_abs && t->mdad == nullptr) return missing::mdad;
    if (mean_abs && t->mnad == nullptr) return missing::mnad;
    // 0x1 serves both; 0x100 (the caller's mean) only the mean absolute deviation.
    const bool caller_mean = !(method & kMethod) && (method & kCallerMean);
    if (!(method & kMethod) && !(caller_mean && !median_abs)) return VEXA_SS_BAD_METHOD;
    if (caller_mean && mean_abs && t->mean == nullptr) return missing::mean;
    if (!median_abs && !mean_abs) return VEXA_SS_OK;
    if (s.n > INT32_MAX) return VEXA_SS_BAD_NOBS;

    const int64_t selected = vexa::ss::count_selected(t, s.p);
    if (selected == 0) return VEXA_SS_OK;
    const int64_t threads = std::min(vexa::ss::max_threads(tt), selected);
    vexa::ss::OwnedBlock block;
    int64_t* vars;
    T* copies = static_cast<T*>(vexa::ss::variable_list(t, s.p, selected, double(threads) * double(s.n) * sizeof(T), block, vars));
    if (copies == nullptr) return VEXA_SS_MEMORY;
    Work<T> w{t, s, vars, copies, median_abs, mean_abs, caller_mean, 0};
    vexa::ss::run_per_variable(tt, selected, threads, &w, mad_worker<T>);
    return w.status;
}

}  // namespace

extern "C" {

VEXA_EXPORT int _tqrdSSMAD(SSTask* task, int64_t estimates, int64_t method, const ThreadingTable* threading) {
    return mad<double>(task, uint64_t(estimates), uint64_t(method), threading);
}
VEXA_EXPORT int _tqrsSSMAD(SSTask* task, int64_t estimates, int64_t method, const ThreadingTable* threading) {
    return mad<float>(task, uint64_t(estimates), uint64_t(method), threading);
}

}  // extern "C"
