// The cell search: the seven per-method kernels (with and without the 32
// suffix, one behaviour), the threaded paths, and the entry point. Uniform
// sites (hint 4) are made into blocks of 4096 in each worker's frame, so the
// search allocates nothing; 64-bit cells (bit 0 of the task's int64_flag) are
// widened from the same blocks.
#include <algorithm>
#include <cstdint>

#include "data_fitting/search.h"
#include "vexa/service.h"

namespace vexa::df {

namespace {

constexpr int64_t kBlock = 4096;

// Threads for a method and a site count, by the rule of each method.
int64_t threads_for(int method, int64_t nsite, int64_t nx, int64_t T) {
    switch (method) {
        case kUniform: return nsite > 5000 && T >= 2 ? T : 1;
        case kSorted: return nsite >= 3001 && T >= 2 ? T : 1;
        case kQuasiUniform:
            if (nsite < 151) return 1;
            if (nsite < 301 || T <= 1) return (nx >= 600 && T >= 2) || (nx >= 40 && nx < 600 && T >= 4) ? T : 1;
            return T;
        case kHybrid:
            return T >= 2 && (nsite > 2000 || (nsite > 600 && T < 5) || (nsite > 300 && T < 3)) ? T : 1;
        default: return 1;
    }
}

template <class T> struct Context {
    int method;
    SearchData<T> d;
    int64_t nsite;
    const T* site;      // or the two ends of uniform sites
    bool uniform_sites;
    T a, h;             // uniform sites a + k h
    int64_t chunk;      // sites per iteration
    int64_t iterations;
    int32_t* cell32;    // or null
    int64_t* cell64;    // or null
    int status;
};

// Sites [from, to) of the context, in blocks.
template <class T> int run_range(Context<T>& c, int64_t from, int64_t to) {
    T sites[kBlock];
    int32_t cells[kBlock];
    int64_t start = 0;
    for (int64_t at = from; at < to; at += kBlock) {
        const int64_t n = std::min(kBlock, to - at);
        const T* s = c.site + at;
        if (c.uniform_sites) {
            for (int64_t k = 0; k < n; ++k) sites[k] = __builtin_fma(T(at + k), c.h, c.a);
            if (at + n == c.nsite) sites[n - 1] = c.site[1];  // the last site is b itself
            s = sites;
        }
        int32_t* out = c.cell32 != nullptr ? c.cell32 + at : cells;
        const int st = run_method(c.method, c.d, n, s, out, &start, nullptr);
        if (st < 0) return st;
        if (c.cell64 != nullptr)
            for (int64_t k = 0; k < n; ++k) c.cell64[at + k] = out[k];
        if (st > 0) c.status = st;
    }
    return 0;
}

template <class T> void worker(int i, int, int, void* context) {
    auto& c = *static_cast<Context<T>*>(context);
    const int64_t from = int64_t(i) * c.chunk, to = i == c.iterations - 1 ? c.nsite : from + c.chunk;
    const int st = run_range(c, from, to);
    if (st < 0) __atomic_store_n(&c.status, st, __ATOMIC_RELAXED);
}

template <class T>
int search_any(const DfTask* t, int64_t nsite, const T* site, int64_t sitehint, const T* datahint, SearchCb<T>* cb,
               void* params, int32_t* cell32, int64_t* cell64, const ThreadingTable* tt) {
    const int method = choose_method(t, sitehint, datahint, cb != nullptr);
    if (method == kNoMethod) return VEXA_DF_BAD_DATAHINT;
    if (nsite <= 0) return VEXA_DF_OK;
    Context<T> c{method, search_data(t, method, datahint, cb, params), nsite, site, sitehint == 4 && nsite > 1,
                 T(0), T(0), nsite, 1, cell32, cell64, 0};
    if (c.uniform_sites) c.a = site[0], c.h = (site[1] - site[0]) / T(nsite - 1);
    else if (sitehint == 4) c.uniform_sites = true, c.a = site[0];  // one site: a itself
    int64_t threads = 1;
    if (nsite >= 32 && tt != nullptr && tt->max_threads != nullptr)
        threads = threads_for(method, nsite, t->nx, tt->max_threads());
    if (threads > 1) {
        c.iterations = std::min<int64_t>(threads, nsite);
        c.chunk = nsite / c.iterations;
        tt->parallel_for(int(c.iterations), int(c.iterations), &c, worker<T>);
        return c.status;
    }
    const int st = run_range(c, 0, nsite);
    return st < 0 ? st : c.status;
}

}  // namespace

template <class T>
int search_cells(const DfTask* t, int64_t nsite, const T* site, int64_t sitehint, const T* datahint, SearchCb<T>* cb,
                 void* params, int32_t* cell, const ThreadingTable* tt) {
    return search_any<T>(t, nsite, site, sitehint, datahint, cb, params, cell, nullptr, tt);
}
template int search_cells<double>(const DfTask*, int64_t, const double*, int64_t, const double*, SearchCb<double>*,
                                  void*, int32_t*, const ThreadingTable*);
template int search_cells<float>(const DfTask*, int64_t, const float*, int64_t, const float*, SearchCb<float>*,
                                 void*, int32_t*, const ThreadingTable*);

}  // namespace vexa::df

namespace {

using namespace vexa::df;

template <class T>
int search_entry(const DfTask* t, int64_t nsite, const T* site, int64_t sitehint, const T* datahint, void* cell,
                 SearchCb<T>* cb, void* params, const ThreadingTable* tt) {
    if (t == nullptr) return VEXA_DF_NO_TASK;
    if (t->int64_flag & 1)
        return search_any<T>(t, nsite, site, sitehint, datahint, cb, params, nullptr, static_cast<int64_t*>(cell), tt);
    return search_any<T>(t, nsite, site, sitehint, datahint, cb, params, static_cast<int32_t*>(cell), nullptr, tt);
}

template <class T>
int kernel(int method, int64_t nx, const T* x, int64_t nsite, const T* site, T datum, const uint32_t* bins,
           int32_t* cell, int64_t* start, SearchCb<T>* cb, void* params, int32_t* flags) {
    const SearchData<T> d{nx, x, datum, bins, cb, params};
    return run_method(method, d, nsite, site, cell, start, flags);
}

}  // namespace

extern "C" {

VEXA_EXPORT int vexa_df_kernel_dDFSearch1D(const DfTask* task, int64_t nsite, const double* site, int64_t sitehint,
                                           const double* datahint, void* cell, VexaDfdSearchCallback* search_cb,
                                           void* search_params, const ThreadingTable* service) {
    return search_entry<double>(task, nsite, site, sitehint, datahint, cell, search_cb, search_params, service);
}
VEXA_EXPORT int vexa_df_kernel_sDFSearch1D(const DfTask* task, int64_t nsite, const float* site, int64_t sitehint,
                                           const float* datahint, void* cell, VexaDfsSearchCallback* search_cb,
                                           void* search_params, const ThreadingTable* service) {
    return search_entry<float>(task, nsite, site, sitehint, datahint, cell, search_cb, search_params, service);
}

#define VEXA_DF_SEARCH_KERNEL(p, T, M, suffix)                                                                    \
    VEXA_EXPORT int vexa_df_kernel_##p##DF##M##Search1D##suffix(                                                  \
        int64_t nx, const T* x, int64_t nsite, const T* site, T datum, const uint32_t* bins, int32_t* cell,        \
        int64_t* start, VexaDf##p##SearchCallback* cb, void* params, int32_t* flags) {                            \
        return kernel<T>(k##M, nx, x, nsite, site, datum, bins, cell, start, cb, params, flags);                  \
    }
#define VEXA_DF_SEARCH_BOTH(M)                                                                                     \
    VEXA_DF_SEARCH_KERNEL(d, double, M, 32) VEXA_DF_SEARCH_KERNEL(d, double, M, )                                 \
        VEXA_DF_SEARCH_KERNEL(s, float, M, 32) VEXA_DF_SEARCH_KERNEL(s, float, M, )
VEXA_DF_SEARCH_METHODS(VEXA_DF_SEARCH_BOTH)

}  // extern "C"
