// Integration of the spline of every function over intervals [a, b]: the
// cells of both limits from the cell search, then the pieces between them,
// each integrated in its local coordinate t: sum c_m (tb^(m+1) - ta^(m+1)) /
// (m + 1). Limits outside the partition integrate the extended end pieces.
// Choices: a right limit left of its left limit gives the negative of the
// integral over [b, a]; the step-wise interpolants integrate their
// per-piece values (left or right end of the piece); every result hint lays
// the results out as r[j * nlim + k] (one result per interval); the
// callback kernels hand each interval's part left of the partition to
// le_cb, its part right of it to re_cb and its part inside to i_cb (when
// given; one interval a call), the other parts being integrated here. The
// Subbotin spline integrates over its subgrid pieces. Many intervals are
// shared out over the caller's threads, whose callbacks may then run
// concurrently.
#include <algorithm>
#include <cstdint>

#include "data_fitting/construct.h"
#include "data_fitting/search.h"
#include "vexa/service.h"

namespace vexa::df {
namespace {

template <class T> struct Types;
template <> struct Types<double> {
    using Args = VexaDfdIntegrArgs;
    using Cb = VexaDfdIntegrCallback;
};
template <> struct Types<float> {
    using Args = VexaDfsIntegrArgs;
    using Cb = VexaDfsIntegrCallback;
};
template <class T> using IArgs = typename Types<T>::Args;
template <class T> using IntegrCb = typename Types<T>::Cb;

enum Kind { kLinear, kQuad, kCub, kSubb, kArb, kPwL, kPwR, kNoKind };

template <class T> VEXA_INLINE T point(const IArgs<T>& a, int64_t p) { return point_of<T>(a, p); }

// The integral of piece p from ta to tb.
template <class T> VEXA_INLINE T piece_integral(int kind, const IArgs<T>& a, int64_t p, T ta, T tb) {
    if (kind == kPwL || kind == kPwR) return a.y[(p + (kind == kPwR ? 1 : 0)) * a.y_stride] * (tb - ta);
    const T* c = a.coeff + p * a.s_order;
    T ia = T(0), ib = T(0);
    for (int64_t m = a.s_order - 1; m >= 0; --m) {
        ia = ia * ta + c[m] / T(m + 1);
        ib = ib * tb + c[m] / T(m + 1);
    }
    return ib * tb - ia * ta;
}

template <class T> VEXA_INLINE T quadratic_integral(const T* q, T ua, T ub) {
    const auto f = [&](T u) { return u * (q[0] + u * (q[1] / T(2) + u * q[2] / T(3))); };
    return f(ub) - f(ua);
}
// The Subbotin spline over [lo, hi], piece by piece of the subgrid.
template <class T> T subgrid_span(const IArgs<T>& a, T lo, int64_t clo, T hi, int64_t chi) {
    const int64_t pa = subgrid_piece_of<T>(a, lo, clo), pb = subgrid_piece_of<T>(a, hi, chi);
    T sum = T(0);
    for (int64_t p = pa; p <= pb; ++p) {
        const T k0 = knot_of<T>(a, p);
        const T from = p == pa ? lo : k0, to = p == pb ? hi : knot_of<T>(a, p + 1);
        sum += quadratic_integral(a.coeff + p * 3, from - k0, to - k0);
    }
    return sum;
}

// The integral over [lo, hi] (lo <= hi) with their cells.
template <class T> T span(int kind, const IArgs<T>& a, T lo, int64_t clo, T hi, int64_t chi) {
    if (kind == kSubb) return subgrid_span<T>(a, lo, clo, hi, chi);
    const int64_t pa = piece_of(clo, a.nx), pb = piece_of(chi, a.nx);
    const T xa = point<T>(a, pa);
    if (pa == pb) return piece_integral<T>(kind, a, pa, lo - xa, hi - xa);
    T sum = piece_integral<T>(kind, a, pa, lo - xa, point<T>(a, pa + 1) - xa);
    for (int64_t p = pa + 1; p < pb; ++p) sum += piece_integral<T>(kind, a, p, T(0), point<T>(a, p + 1) - point<T>(a, p));
    return sum + piece_integral<T>(kind, a, pb, T(0), hi - point<T>(a, pb));
}

template <class T> int integrate_kind(int kind, const IArgs<T>& a, bool callbacks) {
    const T first = a.x[0], last = point<T>(a, a.nx - 1);
    for (int64_t k = 0; k < a.nlim; ++k) {
        T lo = a.llim[k], hi = a.rlim[k];
        int64_t clo = a.lcell[k], chi = a.rcell[k];
        T sign = T(1);
        if (hi < lo) std::swap(lo, hi), std::swap(clo, chi), sign = T(-1);
        if (!callbacks) {
            a.r[k] = sign * span<T>(kind, a, lo, clo, hi, chi);
            continue;
        }
        // Parts left of, inside and right of the partition.
        T total = T(0);
        // Part 0 is [lo, min(hi, x[0])], part 1 [max(lo, x[0]), min(hi, x[nx-1])],
        // part 2 [max(lo, x[nx-1]), hi]; an empty part is skipped.
        const T from[3] = {lo, std::max(lo, first), std::max(lo, last)};
        const T to[3] = {std::min(hi, first), std::min(hi, last), hi};
        const int64_t from_cell[3] = {clo, from[1] == lo ? clo : 1, from[2] == lo ? clo : a.nx - 1};
        const int64_t to_cell[3] = {to[0] == hi ? chi : 1, to[1] == hi ? chi : a.nx - 1, chi};
        for (int part = 0; part < 3; ++part) {
            const T pa = from[part], pb = to[part];
            if (!(pb > pa)) continue;
            IntegrCb<T>* cb = part == 0 ? a.le_cb : part == 1 ? a.i_cb : a.re_cb;
            void* params = part == 0 ? a.le_params : part == 1 ? a.i_params : a.re_params;
            if (cb != nullptr) {
                const int64_t one = 1;
                T v = T(0);
                const int st = cb(&one, &pa, &pb, &v, params);
                if (st < 0) return st;
                total += v;
            } else {
                total += span<T>(kind, a, pa, from_cell[part], pb, to_cell[part]);
            }
        }
        a.r[k] = sign * total;
    }
    return VEXA_DF_OK;
}

template <class T> int dispatch(int kind, const IArgs<T>& a, bool callbacks) {
    if (kind == kNoKind) return VEXA_DF_BAD_TYPE;
    return integrate_kind<T>(kind, a, callbacks);
}

template <class T> int kind_of(const DfTask* t, bool all_callbacks) {
    const int64_t o = t->s_order, ty = t->s_type;
    if (o == 2) return kLinear;
    if (o == 3 && ty == 0) return kQuad;
    if (o == 3 && ty == 1) return kSubb;
    if (o == 4 && (ty == 0 || (ty >= 2 && ty <= 5))) return kCub;
    if (o > 4) return kArb;
    if (o == 0 && ty == 8) return kPwL;
    if (o == 0 && ty == 7) return kPwR;
    if (o == 0 && ty != 6 && all_callbacks) return kArb;
    return kNoKind;
}

template <class T> struct Integr {
    const DfTask* t;
    int kind;
    int64_t nlim;
    const T *llim, *rlim;
    int64_t llimhint, rlimhint;
    const T *ldatahint, *rdatahint;
    T* r;
    IntegrCb<T>*le_cb, *re_cb, *i_cb;
    void *le_params, *re_params, *i_params;
    SearchCb<T>* search_cb;
    void* search_params;
    const T *L, *R;            // the limits, uniform ones made explicit
    const int32_t *lcell, *rcell;
    int64_t chunk, iterations;
    int status;
};

// Intervals [from, to) of every function.
template <class T, bool Callbacks> int integrate_range(const Integr<T>& w, int64_t from, int64_t to) {
    const DfTask* t = w.t;
    const Grid<T> g(t);
    for (int64_t j = 0; j < functions(t); ++j) {
        IArgs<T> a{};
        describe_function<T>(a, t, g, j);
        a.nlim = to - from, a.llim = w.L + from, a.rlim = w.R + from, a.lcell = w.lcell + from, a.rcell = w.rcell + from;
        a.r = w.r + j * w.nlim + from;
        a.le_cb = w.le_cb, a.re_cb = w.re_cb, a.i_cb = w.i_cb;
        a.le_params = w.le_params, a.re_params = w.re_params, a.i_params = w.i_params;
        if (const int st = integrate_kind<T>(w.kind, a, Callbacks)) return st;
    }
    return VEXA_DF_OK;
}

template <class T, bool Callbacks> void integr_slice(int i, void* context) {
    auto& w = *static_cast<Integr<T>*>(context);
    const Slice sl(i, w.chunk, w.iterations, w.nlim);
    const int st = integrate_range<T, Callbacks>(w, sl.from, sl.to);
    if (st < 0) __atomic_store_n(&w.status, st, __ATOMIC_RELAXED);
}
// The workers: a slice of the intervals each, plain or in callback mode.
template <class T> void _v1DIntegrThreader(int i, int, int, void* context) { integr_slice<T, false>(i, context); }
template <class T> void _v1DIntegrThreaderCB(int i, int, int, void* context) { integr_slice<T, true>(i, context); }

// Intervals per thread below which the calling thread integrates alone.
constexpr int64_t kIntervalsPerThread = 2048;

// The cells of both limit vectors (and uniform limits made explicit) in work
// arrays, then the intervals, shared out over the caller's threads when
// there are enough of them.
template <class T> int _Integr1DKernel(Integr<T>& w, const ThreadingTable* tt) {
    const int64_t nlim = w.nlim;
    const bool lu = w.llimhint == 4, ru = w.rlimhint == 4;
    Buffer<int32_t> cells;
    Buffer<T> sites;
    if (!cells.allocate(2 * nlim) || ((lu || ru) && !sites.allocate(2 * nlim))) return VEXA_DF_MEMORY;
    auto explicit_limits = [&](const T* lim, bool uniform_limits, T* out) {
        if (!uniform_limits) return lim;
        const T h = nlim > 1 ? (lim[1] - lim[0]) / T(nlim - 1) : T(0);
        for (int64_t k = 0; k < nlim; ++k) out[k] = k == nlim - 1 && nlim > 1 ? lim[1] : __builtin_fma(T(k), h, lim[0]);
        return static_cast<const T*>(out);
    };
    w.L = explicit_limits(w.llim, lu, sites.p);
    w.R = explicit_limits(w.rlim, ru, sites.p + nlim);
    w.lcell = cells.p, w.rcell = cells.p + nlim;
    int st = search_cells<T>(w.t, nlim, w.L, lu ? 64 : w.llimhint, w.llimhint == 64 ? nullptr : w.ldatahint, w.search_cb,
                             w.search_params, cells.p, tt);
    if (st < 0) return st;
    st = search_cells<T>(w.t, nlim, w.R, ru ? 64 : w.rlimhint, w.rlimhint == 64 ? nullptr : w.rdatahint, w.search_cb,
                         w.search_params, cells.p + nlim, tt);
    if (st < 0) return st;
    const bool callbacks = w.le_cb != nullptr || w.re_cb != nullptr || w.i_cb != nullptr;
    const int64_t threads = std::min<int64_t>(caller_threads(tt), std::max<int64_t>(1, nlim / kIntervalsPerThread));
    if (threads > 1) {
        w.iterations = threads, w.chunk = nlim / threads;
        tt->parallel_for(int(threads), int(threads), &w, callbacks ? _v1DIntegrThreaderCB<T> : _v1DIntegrThreader<T>);
        return w.status;
    }
    return callbacks ? integrate_range<T, true>(w, 0, nlim) : integrate_range<T, false>(w, 0, nlim);
}

template <class T>
int integrate(const DfTask* t, int64_t nlim, const T* llim, int64_t llimhint, const T* rlim, int64_t rlimhint,
              const T* ldatahint, const T* rdatahint, T* r, int64_t rhint, IntegrCb<T>* le_cb, void* le_params,
              IntegrCb<T>* re_cb, void* re_params, IntegrCb<T>* i_cb, void* i_params, SearchCb<T>* search_cb,
              void* search_params, const ThreadingTable* tt) {
    if (t == nullptr) return VEXA_DF_NO_TASK;
    const int kind = kind_of<T>(t, le_cb != nullptr && re_cb != nullptr && i_cb != nullptr);
    if (kind == kNoKind) return VEXA_DF_BAD_TYPE;
    const bool cb = search_cb != nullptr;
    if (choose_method(t, llimhint, llimhint == 64 ? nullptr : ldatahint, cb) == kNoMethod) return VEXA_DF_BAD_DATAHINT;
    if (choose_method(t, rlimhint, rlimhint == 64 ? nullptr : rdatahint, cb) == kNoMethod) return VEXA_DF_BAD_DATAHINT;
    if (rhint != 0 && rhint != 16 && rhint != 32 && rhint != 128) return VEXA_DF_BAD_INTEGRAL_RHINT;
    if (nlim <= 0) return VEXA_DF_OK;
    Integr<T> w{t, kind, nlim, llim, rlim, llimhint, rlimhint, ldatahint, rdatahint, r, le_cb, re_cb, i_cb,
                le_params, re_params, i_params, search_cb, search_params, nullptr, nullptr, nullptr, nullptr, 0, 1, 0};
    return _Integr1DKernel<T>(w, tt);
}

}  // namespace
}  // namespace vexa::df

using namespace vexa::df;

extern "C" {

#define VEXA_DF_INTEGRATE(p, T)                                                                                    \
    VEXA_EXPORT int vexa_df_kernel_##p##DFIntegrate1D(                                                             \
        const DfTask* task, int64_t, int64_t nlim, const T* llim, int64_t llimhint, const T* rlim, int64_t rlimhint, \
        const T* ldatahint, const T* rdatahint, T* r, int64_t rhint, VexaDf##p##IntegrCallback* le_cb,             \
        void* le_params, VexaDf##p##IntegrCallback* re_cb, void* re_params, VexaDf##p##IntegrCallback* i_cb,       \
        void* i_params, VexaDf##p##SearchCallback* search_cb, void* search_params, const ThreadingTable* service) { \
        return integrate<T>(task, nlim, llim, llimhint, rlim, rlimhint, ldatahint, rdatahint, r, rhint, le_cb,      \
                            le_params, re_cb, re_params, i_cb, i_params, search_cb, search_params, service);        \
    }
VEXA_DF_TWINS(VEXA_DF_INTEGRATE)

#define VEXA_DF_INTEGR_KIND(p, T, K, kind)                                                                          \
    VEXA_EXPORT int vexa_df_kernel_##p##_Integrate##K##Spline(const VexaDf##p##IntegrArgs* a) {                     \
        return dispatch<T>(kind, *a, false);                                                                         \
    }                                                                                                                \
    VEXA_EXPORT int vexa_df_kernel_##p##_Integrate##K##SplineCB(const VexaDf##p##IntegrArgs* a) {                   \
        return dispatch<T>(kind, *a, true);                                                                          \
    }
#define VEXA_DF_INTEGR_BOTH(K, kind) VEXA_DF_INTEGR_KIND(d, double, K, kind) VEXA_DF_INTEGR_KIND(s, float, K, kind)
VEXA_DF_INTEGR_BOTH(Linear, kLinear)
VEXA_DF_INTEGR_BOTH(Quad, kQuad)
VEXA_DF_INTEGR_BOTH(Cub, kCub)
VEXA_DF_INTEGR_BOTH(Subb, kSubb)
VEXA_DF_INTEGR_BOTH(Arb, kArb)
VEXA_DF_INTEGR_BOTH(PwL, kPwL)
VEXA_DF_INTEGR_BOTH(PwR, kPwR)

}  // extern "C"
