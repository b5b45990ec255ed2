// Interpolation: the evaluators (one per spline kind, each with a callback
// variant) and the entry point that searches the cells, cuts the sites into
// blocks and spreads them over the caller's threads.
//
// A site in cell c is evaluated on piece max(c - 1, 0), one less when c is
// nx: the end pieces extend past the partition. Derivative d of a piece
// sum c_m t^m is sum_{m >= d} c_m m!/(m-d)! t^(m-d), by Horner in t.
// Choices: the step-wise interpolants give on every piece the value at its
// left end (StepLeft) or right end (StepRight) and 0 for every derivative; a
// site on a partition point x[i] is on piece i. The callback variants hand
// the sites left of the partition to le_cb, right of it to re_cb and inside
// it to i_cb (each when given; the others are evaluated here), in blocks of
// at most 1024 results. The threaded path (32 sites or more) keeps the
// threads' result blocks in one allocated work area of 18256 bytes. The
// Subbotin evaluator finds the subgrid piece of each site from its cell and
// the knot inside that cell.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "data_fitting/construct.h"
#include "data_fitting/search.h"
#include "vexa/service.h"

namespace vexa::df {
namespace {

template <class T> struct Types;
template <> struct Types<double> {
    using Args = VexaDfdEvalArgs;
    using Cb = VexaDfdEvalCallback;
};
template <> struct Types<float> {
    using Args = VexaDfsEvalArgs;
    using Cb = VexaDfsEvalCallback;
};
template <class T> using Args = typename Types<T>::Args;
template <class T> using EvalCb = typename Types<T>::Cb;

enum Kind { kLinear, kQuadratic, kCubic, kQuadSubb, kArbitrary, kStepLeft, kStepRight, kLookUp, kNoKind };

template <class T> VEXA_INLINE T left_end(const Args<T>& a, int64_t p) { return point_of<T>(a, p); }

// m!/(m-d)!
VEXA_INLINE double falling(int64_t m, int64_t d) {
    double f = 1;
    for (int64_t k = 0; k < d; ++k) f *= double(m - k);
    return f;
}

// Polynomial pieces of a fixed order (linear, quadratic, cubic) or any order.
template <class T, int Order> VEXA_INLINE T derivative(const T* c, T t, int64_t d, int64_t order) {
    const int64_t n = Order > 0 ? Order : order;
    if (d == 0) {
        T acc = c[n - 1];
        for (int64_t m = n - 2; m >= 0; --m) acc = acc * t + c[m];
        return acc;
    }
    T acc = T(0);
    for (int64_t m = n - 1; m >= d; --m) acc = acc * t + c[m] * T(falling(m, d));
    return acc;
}

// Pieces ahead of the one evaluated whose coefficients are fetched early:
// on long partitions they come from memory, and the sites' cells are known.
constexpr int64_t kAhead = 16;
template <class T> VEXA_INLINE void fetch_piece(const Args<T>& a, int64_t k, int64_t order) {
    if (k + kAhead < a.nsite) __builtin_prefetch(a.coeff + piece_of(a.cell[k + kAhead], a.nx) * order);
}

// Sites go one at a time: a register of sites at a time (rows of
// coefficients transposed into the lanes) measured no faster, on random
// sites (bound by the coefficient loads' misses) or on sorted ones (bound
// by the coefficient stream), and a little slower on sorted ones.
template <class T, int Order> int polynomial(const Args<T>& a) {
    const int64_t order = Order > 0 ? Order : a.s_order;
    if (a.nder == 1 && a.orders[0] == 0) {  // values only: the common case, without the derivative loop
        for (int64_t k = 0; k < a.nsite; ++k) {
            fetch_piece<T>(a, k, order);
            const int64_t p = piece_of(a.cell[k], a.nx);
            const T t = a.site[k] - left_end<T>(a, p);
            const T* c = a.coeff + p * order;
            T acc = c[order - 1];
            for (int64_t m = order - 2; m >= 0; --m) acc = std::fma(acc, t, c[m]);
            a.r[k] = acc;
        }
        return VEXA_DF_OK;
    }
    if constexpr (Order > 0) {
        // A fixed order: every derivative of the piece at t at once, by the
        // Taylor shift (the coefficients of the piece about t, the b[d] in
        // sum b[d] u^d = sum c[m] (t + u)^m, with derivative d being d! b[d]),
        // then the requested ones picked.
        constexpr T kFactorial[] = {1, 1, 2, 6, 24, 120};
        static_assert(Order <= 6);
        for (int64_t k = 0; k < a.nsite; ++k) {
            fetch_piece<T>(a, k, Order);
            const int64_t p = piece_of(a.cell[k], a.nx);
            const T t = a.site[k] - left_end<T>(a, p);
            const T* c = a.coeff + p * Order;
            T b[Order];
            for (int m = 0; m < Order; ++m) b[m] = c[m];
            for (int i = 0; i < Order - 1; ++i)
                for (int m = Order - 2; m >= i; --m) b[m] = std::fma(b[m + 1], t, b[m]);
            for (int m = 2; m < Order; ++m) b[m] *= kFactorial[m];
            T* out = a.r + k * a.nder;
            for (int64_t q = 0; q < a.nder; ++q) out[q] = a.orders[q] < Order ? b[a.orders[q]] : T(0);
        }
        return VEXA_DF_OK;
    }
    for (int64_t k = 0; k < a.nsite; ++k) {
        const int64_t p = piece_of(a.cell[k], a.nx);
        const T t = a.site[k] - left_end<T>(a, p);
        const T* c = a.coeff + p * order;
        for (int64_t q = 0; q < a.nder; ++q) a.r[k * a.nder + q] = derivative<T, Order>(c, t, a.orders[q], order);
    }
    return VEXA_DF_OK;
}

template <class T> int subbotin(const Args<T>& a) {
    for (int64_t k = 0; k < a.nsite; ++k) {
        const T s = a.site[k];
        const int64_t c = a.cell[k];
        const int64_t p = subgrid_piece_of<T>(a, s, c);
        const T u = s - knot_of<T>(a, p);
        const T* q = a.coeff + p * 3;
        for (int64_t d = 0; d < a.nder; ++d) {
            const int32_t o = a.orders[d];
            a.r[k * a.nder + d] = o == 0 ? q[0] + u * (q[1] + u * q[2]) : o == 1 ? q[1] + T(2) * q[2] * u : o == 2 ? T(2) * q[2] : T(0);
        }
    }
    return VEXA_DF_OK;
}

template <class T, bool Right> int step(const Args<T>& a) {
    for (int64_t k = 0; k < a.nsite; ++k) {
        const int64_t p = piece_of(a.cell[k], a.nx);
        const T v = a.y[(p + (Right ? 1 : 0)) * a.y_stride];
        for (int64_t q = 0; q < a.nder; ++q) a.r[k * a.nder + q] = a.orders[q] == 0 ? v : T(0);
    }
    return VEXA_DF_OK;
}

template <class T> int look_up(const Args<T>& a) {
    if (a.nder != 1) return VEXA_DF_LOOKUP_NDER;
    if (a.orders[0] != 0) return VEXA_DF_LOOKUP_VALUE;
    const bool uni = a.xhint & 4;
    for (int64_t k = 0; k < a.nsite; ++k) {
        const int64_t c = a.cell[k];
        const T s = a.site[k];
        int64_t at = -1;
        if (c == 0) return VEXA_DF_LOOKUP_SITE;
        if (uni) {
            for (int64_t i : {c - 1, c})
                if (i >= 0 && i < a.nx && std::fabs(double(__builtin_fma(T(i), a.h, a.x[0])) - double(s)) <= 0x1p-40) at = i;
        } else if (c <= a.nx - 1 && s == a.x[a.nx - 1]) {
            at = a.nx - 1;
        } else if (s == a.x[c - 1]) {
            at = c - 1;
        } else if (c < a.nx && s == a.x[c]) {
            at = c;
        }
        if (at < 0) return VEXA_DF_LOOKUP_SITE;
        a.r[k] = a.y[at * a.y_stride];
    }
    return VEXA_DF_OK;
}

template <class T> int plain(int kind, const Args<T>& a) {
    switch (kind) {
        case kStepLeft: return step<T, false>(a);
        case kStepRight: return step<T, true>(a);
        case kLookUp: return look_up<T>(a);
        case kQuadSubb: return subbotin<T>(a);
        case kLinear: return polynomial<T, 2>(a);
        case kQuadratic: return polynomial<T, 3>(a);
        case kCubic: return polynomial<T, 4>(a);
        default: return polynomial<T, 0>(a);
    }
}

// Callback variant: the sites of each part go to its callback, the rest here.
template <class T> int with_callbacks(int kind, const Args<T>& a) {
    constexpr int64_t kResults = 1024;
    const int64_t per = a.nder > 0 ? a.nder : 1;
    const int64_t block = std::max<int64_t>(1, kResults / per);
    T sites[kResults], results[kResults];
    int64_t cells[kResults], index[kResults];
    int status = VEXA_DF_OK;
    for (int64_t at = 0; at < a.nsite; at += block) {
        const int64_t n = std::min(block, a.nsite - at);
        bool done[kResults] = {};
        for (int part = 0; part < 3; ++part) {
            EvalCb<T>* cb = part == 0 ? a.le_cb : part == 1 ? a.re_cb : a.i_cb;
            void* params = part == 0 ? a.le_params : part == 1 ? a.re_params : a.i_params;
            if (cb == nullptr) continue;
            int64_t m = 0;
            for (int64_t k = 0; k < n; ++k) {
                const int64_t c = a.cell[at + k];
                const int which = c == 0 ? 0 : c >= a.nx && a.site[at + k] != point_of<T>(a, a.nx - 1) ? 1 : 2;
                if (which != part || done[k]) continue;
                sites[m] = a.site[at + k], cells[m] = c, index[m] = k, ++m;
            }
            if (m == 0) continue;
            const int st = cb(&m, cells, sites, results, params);
            if (st < 0) return st;
            if (st > 0) status = st;
            for (int64_t q = 0; q < m; ++q) {
                done[index[q]] = true;
                for (int64_t d = 0; d < a.nder; ++d) a.r[(at + index[q]) * a.nder + d] = results[q * a.nder + d];
            }
        }
        for (int64_t k = 0; k < n; ++k) {
            if (done[k]) continue;
            Args<T> one = a;
            one.nsite = 1, one.site = a.site + at + k, one.cell = a.cell + at + k, one.r = a.r + (at + k) * a.nder;
            if (const int st = plain<T>(kind, one)) return st;
        }
    }
    return status;
}

template <class T> int kind_of(const DfTask* t, bool all_callbacks) {
    const int64_t o = t->s_order, ty = t->s_type;
    if (o == 2) return kLinear;
    if (o == 3 && ty == 0) return kQuadratic;
    if (o == 3 && ty == 1) return kQuadSubb;
    if (o == 4 && (ty == 0 || (ty >= 2 && ty <= 5))) return kCubic;
    if (o > 4) return kArbitrary;
    if (o == 0 && ty == 8) return kStepLeft;
    if (o == 0 && ty == 7) return kStepRight;
    if (o == 0 && ty == 6) return kLookUp;
    if (o == 0 && all_callbacks) return kArbitrary;
    return kNoKind;
}

template <class T> struct Interp {
    const DfTask* t;
    int kind;
    bool callbacks;
    int method;  // search, or kNoMethod when the caller gives the cells
    int64_t nsite;
    const T* site;
    bool uniform_sites;
    T a0, hs;
    int64_t sitehint;
    const T* datahint;
    SearchCb<T>* search_cb;
    void* search_params;
    T* r;
    int64_t rhint;
    void* cell;  // caller's cells in or out, or null
    bool cells_in, cells_out, wide_cells;
    int64_t nder;
    int32_t orders[64];
    EvalCb<T>*le, *re, *in;
    void *le_p, *re_p, *in_p;
    int64_t chunk, iterations;
    T* area;       // the work area of the threaded path: per thread a block of results, or null
    int64_t slot;  // results per thread in the work area
    int status;
};

constexpr int64_t kBlock = 256;
constexpr std::size_t kAreaBytes = 18256;

// Sites [from, to): cells, then every function, block by block.
template <class T, bool Callbacks> int run(Interp<T>& w, int64_t from, int64_t to, int64_t slot) {
    const DfTask* t = w.t;
    T sites[kBlock];
    int32_t cells[kBlock];
    // Results reordered for the hints by derivative go through a scratch
    // block: the thread's part of the work area, or (when that part holds
    // fewer results than one site has) one in the frame.
    T frame_scratch[kBlock * 8];
    const bool own = w.area == nullptr || w.slot < w.nder;
    T* scratch = own ? frame_scratch : w.area + slot * w.slot;
    const int64_t capacity = own ? kBlock * 8 : w.slot;
    const Grid<T> g(t);
    const int64_t block = std::min<int64_t>(kBlock, capacity / w.nder);
    // The search continues from block to block (sorted sites keep their position).
    const int method = w.uniform_sites && w.method == kHybrid ? kSorted : w.method;
    const SearchData<T> sd = w.cells_in ? SearchData<T>{} : search_data(t, method, w.datahint, w.search_cb, w.search_params);
    int64_t start = 0;
    for (int64_t at = from; at < to; at += block) {
        const int64_t n = std::min(block, to - at);
        const T* s = w.site + at;
        if (w.uniform_sites) {
            for (int64_t k = 0; k < n; ++k) sites[k] = at + k == w.nsite - 1 ? w.site[1] : __builtin_fma(T(at + k), w.hs, w.a0);
            s = sites;
        }
        if (w.cells_in) {
            for (int64_t k = 0; k < n; ++k)
                cells[k] = w.wide_cells ? int32_t(static_cast<const int64_t*>(w.cell)[at + k])
                                        : static_cast<const int32_t*>(w.cell)[at + k];
        } else {
            const int st = run_method(method, sd, n, s, cells, &start, nullptr);
            if (st < 0) return st;
            if (w.cells_out)
                for (int64_t k = 0; k < n; ++k) {
                    if (w.wide_cells) static_cast<int64_t*>(w.cell)[at + k] = cells[k];
                    else static_cast<int32_t*>(w.cell)[at + k] = cells[k];
                }
        }
        for (int64_t j = 0; j < functions(t); ++j) {
            Args<T> a{};
            describe_function<T>(a, t, g, j);
            a.nsite = n, a.site = s, a.cell = cells;
            a.nder = w.nder, a.orders = w.orders;
            a.le_cb = w.le, a.re_cb = w.re, a.i_cb = w.in, a.le_params = w.le_p, a.re_params = w.re_p, a.i_params = w.in_p;
            const bool direct = w.rhint == 16 || w.rhint == 128;
            a.r = direct ? w.r + (j * w.nsite + at) * w.nder : scratch;
            const int st = Callbacks ? with_callbacks<T>(w.kind, a) : plain<T>(w.kind, a);
            if (st < 0) return st;
            if (st > 0) w.status = st;
            if (!direct)
                for (int64_t q = 0; q < w.nder; ++q)
                    for (int64_t k = 0; k < n; ++k) w.r[(j * w.nder + q) * w.nsite + at + k] = scratch[k * w.nder + q];
        }
    }
    return VEXA_DF_OK;
}

template <class T, bool Callbacks> void interp_slice(int i, void* context) {
    auto& w = *static_cast<Interp<T>*>(context);
    const Slice sl(i, w.chunk, w.iterations, w.nsite);
    const int st = run<T, Callbacks>(w, sl.from, sl.to, i);
    if (st < 0) __atomic_store_n(&w.status, st, __ATOMIC_RELAXED);
}
// The workers: a slice of the sites each, plain or in callback mode.
template <class T> void _v1DInterpThreader32(int i, int, int, void* context) { interp_slice<T, false>(i, context); }
template <class T> void _v1DInterpThreader32CB(int i, int, int, void* context) { interp_slice<T, true>(i, context); }

template <class T>
int interpolate(const DfTask* t, int64_t type, int64_t nsite, const T* site, int64_t sitehint, int64_t ndorder,
                const void* dorder, const T* datahint, T* r, int64_t rhint, void* cell, EvalCb<T>* le_cb,
                void* le_params, EvalCb<T>* re_cb, void* re_params, EvalCb<T>* i_cb, void* i_params,
                SearchCb<T>* search_cb, void* search_params, const ThreadingTable* tt) {
    if (t == nullptr) return VEXA_DF_NO_TASK;
    const int kind = kind_of<T>(t, le_cb != nullptr && re_cb != nullptr && i_cb != nullptr);
    if (kind == kNoKind || (t->s_order == 1)) return VEXA_DF_BAD_TYPE;
    Interp<T> w{};
    w.t = t, w.kind = kind, w.nsite = nsite, w.site = site, w.sitehint = sitehint, w.datahint = datahint;
    w.search_cb = search_cb, w.search_params = search_params, w.r = r, w.rhint = rhint, w.cell = cell;
    w.cells_in = type == 4;
    w.cells_out = !w.cells_in && (type & 2) && cell != nullptr;
    w.wide_cells = t->int64_flag & 1;
    // Uniform sites are sorted: they search as sorted sites unless the partition decides.
    w.method = w.cells_in ? kNoMethod : choose_method(t, sitehint == 4 ? 64 : sitehint, datahint, search_cb != nullptr);
    if (!w.cells_in && w.method == kNoMethod) return VEXA_DF_BAD_DATAHINT;
    if (rhint != 0 && rhint != 16 && rhint != 32 && rhint != 128) return VEXA_DF_BAD_RHINT;
    w.callbacks = i_cb != nullptr || le_cb != nullptr || re_cb != nullptr;
    w.le = le_cb, w.re = re_cb, w.in = i_cb, w.le_p = le_params, w.re_p = re_params, w.in_p = i_params;
    for (int64_t d = 0; d < ndorder && d < 64; ++d) {
        const int64_t flag = (t->int64_flag & 1) ? static_cast<const int64_t*>(dorder)[d]
                                                 : static_cast<const int32_t*>(dorder)[d];
        if (flag != 0) w.orders[w.nder++] = int32_t(d);
    }
    if (w.nder == 0) w.orders[w.nder++] = 0;
    if (nsite <= 0) return VEXA_DF_OK;
    w.uniform_sites = sitehint == 4;
    if (w.uniform_sites) w.a0 = site[0], w.hs = nsite > 1 ? (site[1] - site[0]) / T(nsite - 1) : T(0);
    const bool inline_path = nsite < 32 && t->nx < 0x7FFFFFFF && (t->int64_flag & 3) == 0;
    int64_t threads = 1;
    if (!inline_path) threads = std::min<int64_t>(caller_threads(tt), std::max<int64_t>(1, nsite / (4 * kBlock)));
    // Past the inline path: the work area, kAreaBytes used from its first
    // 64-byte boundary and shared out as the threads' result blocks (whole
    // cache lines each).
    Buffer<uint8_t> area;
    if (!inline_path) {
        if (!area.allocate(kAreaBytes)) return VEXA_DF_MEMORY;
        const uintptr_t at = (reinterpret_cast<uintptr_t>(area.p) + 63) & ~uintptr_t(63);
        const int64_t usable = int64_t(kAreaBytes) - int64_t(at - reinterpret_cast<uintptr_t>(area.p));
        constexpr int64_t kLine = 64 / int64_t(sizeof(T));
        w.area = reinterpret_cast<T*>(at);
        w.slot = usable / int64_t(sizeof(T)) / threads / kLine * kLine;
    }
    if (threads > 1) {
        w.iterations = threads;
        w.chunk = nsite / threads;
        tt->parallel_for(int(threads), int(threads), &w, w.callbacks ? _v1DInterpThreader32CB<T> : _v1DInterpThreader32<T>);
        return w.status;
    }
    const int st = w.callbacks ? run<T, true>(w, 0, nsite, 0) : run<T, false>(w, 0, nsite, 0);
    return st < 0 ? st : w.status;
}

}  // namespace
}  // namespace vexa::df

using namespace vexa::df;

extern "C" {

#define VEXA_DF_INTERPOLATE(p, T)                                                                                 \
    VEXA_EXPORT int vexa_df_kernel_##p##DFInterpolate1D(                                                           \
        const DfTask* task, int64_t type, int64_t, int64_t nsite, const T* site, int64_t sitehint, int64_t ndorder, \
        const void* dorder, const T* datahint, T* r, int64_t rhint, void* cell, VexaDf##p##EvalCallback* le_cb,   \
        void* le_params, VexaDf##p##EvalCallback* re_cb, void* re_params, VexaDf##p##EvalCallback* i_cb,           \
        void* i_params, VexaDf##p##SearchCallback* search_cb, void* search_params, const ThreadingTable* service) { \
        return interpolate<T>(task, type, nsite, site, sitehint, ndorder, dorder, datahint, r, rhint, cell, le_cb, \
                              le_params, re_cb, re_params, i_cb, i_params, search_cb, search_params, service);     \
    }
VEXA_DF_TWINS(VEXA_DF_INTERPOLATE)

#define VEXA_DF_EVAL_KIND(p, T, K, kind)                                                                           \
    VEXA_EXPORT int vexa_df_kernel_##p##_##K##SplineEval32(const VexaDf##p##EvalArgs* a) { return plain<T>(kind, *a); } \
    VEXA_EXPORT int vexa_df_kernel_##p##_##K##SplineEval32CB(const VexaDf##p##EvalArgs* a) {                       \
        return with_callbacks<T>(kind, *a);                                                                         \
    }
#define VEXA_DF_EVAL_BOTH(K, kind) VEXA_DF_EVAL_KIND(d, double, K, kind) VEXA_DF_EVAL_KIND(s, float, K, kind)
VEXA_DF_EVAL_BOTH(Linear, kLinear)
VEXA_DF_EVAL_BOTH(Quadratic, kQuadratic)
VEXA_DF_EVAL_BOTH(Cubic, kCubic)
VEXA_DF_EVAL_BOTH(QuadSubb, kQuadSubb)
VEXA_DF_EVAL_BOTH(Arbitr, kArbitrary)
VEXA_DF_EVAL_BOTH(StepLeft, kStepLeft)
VEXA_DF_EVAL_BOTH(StepRight, kStepRight)
VEXA_DF_EVAL_BOTH(LookUp, kLookUp)

}  // extern "C"
