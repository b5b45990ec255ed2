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
    int64_t sliced;     // sites shared out over the iterations
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

// Iteration i of a threaded path: its slice of the sites.
template <class T> void slice(int i, void* context) {
    auto& c = *static_cast<Context<T>*>(context);
    const Slice sl(i, c.chunk, c.iterations, c.sliced);
    const int st = run_range(c, sl.from, sl.to);
    if (st < 0) __atomic_store_n(&c.status, st, __ATOMIC_RELAXED);
}

using Worker = void (*)(int, int, int, void*);

// Iterations of `chunk` consecutive sites over the first `sliced` sites
// (the last iteration taking the rest of them) on the caller's threads,
// then the sites past `sliced` in the calling thread.
template <class T>
int share(Context<T>& c, int64_t iterations, int64_t chunk, int64_t sliced, Worker worker, const ThreadingTable* tt) {
    c.iterations = iterations, c.chunk = chunk, c.sliced = sliced;
    tt->parallel_for(int(iterations), int(iterations), &c, worker);
    if (c.status < 0 || sliced == c.nsite) return c.status;
    const int st = run_range(c, sliced, c.nsite);
    return st < 0 ? st : c.status;
}

// Slices of nsite / threads consecutive sites, one per thread, or all in the
// calling thread.
template <class T> int spread(Context<T>& c, int64_t threads, Worker worker, const ThreadingTable* tt) {
    if (threads > 1) {
        const int64_t iterations = std::min<int64_t>(threads, c.nsite);
        return share(c, iterations, c.nsite / iterations, c.nsite, worker, tt);
    }
    const int st = run_range(c, 0, c.nsite);
    return st < 0 ? st : c.status;
}

// The threaded path of every method, with its worker and the rule that
// decides when it runs in parallel (T the caller's thread count).
#define VEXA_DF_SEARCH_WORKER(Name)                                                              \
    template <class T> void _v1DSearch##Name##Threader32(int i, int, int, void* context) { slice<T>(i, context); }
VEXA_DF_SEARCH_WORKER(Uniform)
VEXA_DF_SEARCH_WORKER(QuasiUniform)
VEXA_DF_SEARCH_WORKER(Sorted)
VEXA_DF_SEARCH_WORKER(Peak)
VEXA_DF_SEARCH_WORKER(Hybrid)

template <class T> int _v1DSearchUniform(Context<T>& c, const ThreadingTable* tt) {
    const int64_t T_ = caller_threads(tt);
    return spread(c, c.nsite > 5000 && T_ >= 2 ? T_ : 1, _v1DSearchUniformThreader32<T>, tt);
}
template <class T> int _v1DSearchQuasiUniform(Context<T>& c, const ThreadingTable* tt) {
    const int64_t T_ = caller_threads(tt), nx = c.d.nx;
    int64_t threads = T_;
    if (c.nsite < 151) threads = 1;
    else if (c.nsite < 301 || T_ <= 1) threads = (nx >= 600 && T_ >= 2) || (nx >= 40 && nx < 600 && T_ >= 4) ? T_ : 1;
    return spread(c, threads, _v1DSearchQuasiUniformThreader32<T>, tt);
}
// Every thread starts its own bisection from the first site of its slice.
template <class T> int _v1DSearchSorted(Context<T>& c, const ThreadingTable* tt) {
    const int64_t T_ = caller_threads(tt);
    return spread(c, c.nsite >= 3001 && T_ >= 2 ? T_ : 1, _v1DSearchSortedThreader32<T>, tt);
}
template <class T> int _v1DSearchPeak(Context<T>& c, const ThreadingTable* tt) {
    // The walks from the peak are short; one thread.
    return spread(c, 1, _v1DSearchPeakThreader32<T>, tt);
}
// Blocks of 128 sites: min(blocks, T) iterations of blocks / T blocks each,
// the calling thread finishing the blocks and sites left over.
template <class T> int _v1DSearchHybrid(Context<T>& c, const ThreadingTable* tt) {
    const int64_t T_ = caller_threads(tt), n = c.nsite;
    const bool parallel = T_ >= 2 && (n > 2000 || (n > 600 && T_ < 5) || (n > 300 && T_ < 3));
    const int64_t blocks = n / 128;
    if (!parallel || blocks < 2) return spread(c, 1, _v1DSearchHybridThreader32<T>, tt);
    const int64_t iterations = std::min(blocks, T_), chunk = blocks / iterations * 128;
    return share(c, iterations, chunk, chunk * iterations, _v1DSearchHybridThreader32<T>, tt);
}
// The user's callback may keep state between calls: the calling thread only.
template <class T> int _v1DSearchUserDef(Context<T>& c, const ThreadingTable*) { return spread(c, 1, nullptr, nullptr); }
template <class T> int _v1DSearchUserDefUni(Context<T>& c, const ThreadingTable*) { return spread(c, 1, nullptr, nullptr); }

// The threaded paths in method order.
template <class T> using Path = int (*)(Context<T>&, const ThreadingTable*);
template <class T>
constexpr Path<T> kPaths[] = {_v1DSearchUniform<T>, _v1DSearchQuasiUniform<T>, _v1DSearchSorted<T>, _v1DSearchPeak<T>,
                              _v1DSearchHybrid<T>,  _v1DSearchUserDef<T>,      _v1DSearchUserDefUni<T>};

template <class T>
int search_any(const DfTask* t, int64_t nsite, const T* site, int64_t sitehint, const T* datahint, SearchCb<T>* cb,
               void* params, int32_t* cell32, int64_t* cell64, const ThreadingTable* tt) {
    const int method = choose_method(t, sitehint, datahint, cb != nullptr);
    if (method == kNoMethod) return VEXA_DF_BAD_DATAHINT;
    if (nsite <= 0) return VEXA_DF_OK;
    Context<T> c{method, search_data(t, method, datahint, cb, params), nsite, site, sitehint == 4 && nsite > 1,
                 T(0), T(0), nsite, 1, cell32, cell64, 0, nsite};
    if (c.uniform_sites) c.a = site[0], c.h = (site[1] - site[0]) / T(nsite - 1);
    else if (sitehint == 4) c.uniform_sites = true, c.a = site[0];  // one site: a itself
    if (nsite < 32) return spread(c, 1, nullptr, nullptr);  // inline, in the calling thread
    return kPaths<T>[method](c, tt);
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
