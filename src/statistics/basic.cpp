// Basic statistics of the statistics task: mean, raw and central moments,
// sums, skewness, kurtosis, variation, covariance, correlation and the
// cross-product matrix, weighted or not, progressive across calls.
//
// Methods. One-pass (0x2): every observation updates the mean, raw moments,
// central sums M2..M4 and the centered cross products CP with the stable
// incremental formulas. Fast (0x1): raw sums, central values derived from
// them; CP from BLAS rank-k updates of raw cross products, block by block.
// Caller's mean (0x100): central sums and cross products around the mean the
// caller supplies. 0x200 / 0x400 without one of these three run the one-pass
// method in one thread (our choice).
//
// Kernels. Each kernel handles one combination of storage, weighting, moment
// orders and cross products, so that its inner loops carry no tests. In the
// tables below they are indexed as
//   one-pass (32): 16*(columns) + 8*(weighted) + 2*level + (CP), level 0 mean,
//                  1 mean and M2, 2 mean, raw2 and M2, 3 all moments;
//   fast (16):     8*(columns) + 4*(weighted) + (highest raw order - 1);
//   caller's mean (16): 8*(columns) + 4*(weighted) + level, level 0 M2,
//                  1 M2..M3, 2 M2..M4, 3 raw 2..4 and M2..M4.
// With columns storage a register holds 4 (double) or 8 (float) consecutive
// variables of one observation; one-pass kernels over rows storage first copy
// a chunk of observations of a register's variables into a tile; raw and
// central sums over rows storage run along each variable's observations.
//
// State. The running estimates of thread 0 live in the task's basic buffer
// (header, per-variable arrays, the full p-by-p CP when a matrix is wanted),
// so a later call continues exactly from them when acc_weights still holds
// the W and W2 that the buffer was left with; otherwise (the caller reset or
// seeded the estimates) the starting values are derived from the task's
// output arrays. Only CP's upper triangle CP[i][j], j >= i (row-major, p by
// p) is kept; the packers fill the other half. The kernels run over the span
// from the first to the last selected variable; only selected variables'
// outputs are written.
#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/align.h"
#include "common/simd.h"
#include "statistics/common/access.h"
#include "statistics/common/moments.h"
#include "statistics/common/packers.h"
#include "vector_math/internal.h"
#include "vexa/service.h"
#include "vexa/statistics.h"
#include "vexa/vector_math.h"

namespace {

using namespace vexa::simd;
using vexa::ss::Shape;
namespace missing = vexa::ss::missing;
using namespace vexa::ss::moments;
using vexa::ss::matrix_storage;
using vexa::ss::pack;
using vexa::ss::packed_index;

using vexa::kAlignment;
constexpr uint64_t kFast = 0x1, kOnePass = 0x2, kCallerMean = 0x100, kSingle = 0x600;

// ---- the estimate catalogue ---------------------------------------------

struct Estimate {
    void* SSTask::*field;
    uint64_t bit;
    int status;
    uint32_t deps[3];  // one-pass, fast, caller's mean
};
constexpr Estimate kEstimates[] = {
#define SS_BASIC(f, bit, st, one, fast, mean) {&SSTask::f, bit, st, {one, fast, mean}},
#include "vexa/ss_basic.def"
#undef SS_BASIC
};
constexpr int kNumEstimates = int(sizeof(kEstimates) / sizeof(kEstimates[0]));
// Internal quantities, bit k = row k of the catalogue.
enum : uint32_t {
    qMean = 1u << 0, qRaw2 = 1u << 1, qRaw3 = 1u << 2, qRaw4 = 1u << 3,
    qC2 = 1u << 4, qC3 = 1u << 5, qC4 = 1u << 6, qCov = 1u << 7, qCor = 1u << 8,
    qKurt = 1u << 9, qSkew = 1u << 10, qVar = 1u << 11, qSum = 1u << 12,
    qRawSum2 = 1u << 13, qRawSum3 = 1u << 14, qRawSum4 = 1u << 15,
    qCSum2 = 1u << 16, qCSum3 = 1u << 17, qCSum4 = 1u << 18, qCP = 1u << 19,
};
enum class Method { OnePass = 0, Fast = 1, CallerMean = 2 };

// The basic buffer kept by the task: this header, then thread 0's arrays.
struct BufferHeader {
    int64_t p;
    int64_t cp;          // whether the buffer holds CP
    int64_t v0, v1;      // the span whose state is current
    uint32_t valid;      // state bits current for (W, W2)
    uint32_t precision;  // sizeof(T)
    double W, W2;        // acc_weights when the state was stored
};
constexpr std::size_t kHeaderBytes = 128;
static_assert(sizeof(BufferHeader) <= kHeaderBytes, "header fits its slot");

// ---- kernels ------------------------------------------------------------

// Per-observation coefficients of the one-pass update (shared by all variables).
template <class T> struct Coef {
    T a, b, ccp, m3a, m4a, six_a2, k3, k4;
};
template <class T> VEXA_INLINE Coef<T> coefficients(T w, T* acc) {
    const T W = acc[0], Wn = W + w, r = T(1) / Wn;
    Coef<T> c;
    c.a = w * r;
    c.b = W * r;
    c.ccp = w * W * r;
    c.m3a = T(-3) * c.a;
    c.m4a = T(-4) * c.a;
    c.six_a2 = T(6) * c.a * c.a;
    c.k3 = w * W * (W - w) * r * r;
    c.k4 = w * W * (W * W - W * w + w * w) * r * r * r;
    acc[0] = Wn;
    acc[1] += w * w;
    return c;
}

// A register of variables' running moments: level 0 mean; 1 adds M2; 2 adds
// raw2; 3 raw2..raw4 and M2..M4.
template <class T, int Level> struct Moments {
    using V = vec<T>;
    V m, r2, r3, r4, M2, M3, M4;
    VEXA_INLINE void load(const State<T>& s, int64_t v) {
        m = loadu(s.mean + v);
        if constexpr (Level >= 1) M2 = loadu(s.m[2] + v);
        if constexpr (Level >= 2) r2 = loadu(s.raw[2] + v);
        if constexpr (Level >= 3) {
            r3 = loadu(s.raw[3] + v), r4 = loadu(s.raw[4] + v);
            M3 = loadu(s.m[3] + v), M4 = loadu(s.m[4] + v);
        }
    }
    // Arrays are padded, so whole registers may be stored past the last
    // variable of the span only when nothing real lies there: `mask` keeps
    // the lanes of the span.
    VEXA_INLINE void store(const State<T>& s, int64_t v, bool whole, __m256i mask) {
        auto put = [&](T* p, V x) { whole ? storeu(p, x) : maskstore(p, mask, x); };
        put(s.mean + v, m);
        if constexpr (Level >= 1) put(s.m[2] + v, M2);
        if constexpr (Level >= 2) put(s.raw[2] + v, r2);
        if constexpr (Level >= 3) {
            put(s.raw[3] + v, r3), put(s.raw[4] + v, r4);
            put(s.m[3] + v, M3), put(s.m[4] + v, M4);
        }
    }
    // One observation x; returns its deviation from the old mean.
    VEXA_INLINE V update(V x, const Coef<T>& c) {
        const V d = x - m;
        if constexpr (Level >= 1) {
            const V d2 = d * d;
            if constexpr (Level >= 3) {
                M4 = fma(d2 * d2, broadcast<T>(c.k4), M4);
                M4 = fma(broadcast<T>(c.six_a2) * d2, M2, M4);
                M4 = fma(broadcast<T>(c.m4a) * d, M3, M4);
                M3 = fma(d2 * d, broadcast<T>(c.k3), M3);
                M3 = fma(broadcast<T>(c.m3a) * d, M2, M3);
            }
            M2 = fma(d2, broadcast<T>(c.ccp), M2);
        }
        const V a = broadcast<T>(c.a), b = broadcast<T>(c.b);
        m = fma(b, m, a * x);
        if constexpr (Level >= 2) {
            const V x2 = x * x;
            r2 = fma(b, r2, a * x2);
            if constexpr (Level >= 3) {
                const V x3 = x2 * x;
                r3 = fma(b, r3, a * x3);
                r4 = fma(b, r4, a * (x3 * x));
            }
        }
        return d;
    }
};

// Signature shared by every kernel: observations [first, last), row length n
// (rows storage), variables [v0, v1), ld = p (the column length of columns
// storage and the row length of CP), data, weights or null, p values of
// scratch (cross-product kernels), the accumulator (W, W2) and the arrays.
template <class T>
using Kernel = int (*)(int64_t first, int64_t last, int64_t n, int64_t v0, int64_t v1, int64_t ld, const T* x,
                       const T* w, T* scratch, T* acc, T* mean, T* raw2, T* raw3, T* raw4, T* m2, T* m3, T* m4,
                       T* cp);

template <class T> VEXA_INLINE State<T> view(T* scratch, T* acc, T* mean, T* r2, T* r3, T* r4, T* m2, T* m3, T* m4,
                                             T* cp) {
    State<T> s;
    s.mean = mean, s.raw[2] = r2, s.raw[3] = r3, s.raw[4] = r4, s.m[2] = m2, s.m[3] = m3, s.m[4] = m4;
    s.scratch = scratch, s.cp = cp, s.acc[0] = acc[0], s.acc[1] = acc[1];
    return s;
}

// The register of variables v.. of observation j.
template <class T, bool Cols>
VEXA_INLINE vec<T> observation(const T* x, int64_t n, int64_t ld, int64_t v, int64_t j, int64_t active, __m256i mask) {
    if constexpr (Cols) {
        const T* p = x + j * ld + v;
        return active == lanes<T> ? loadu(p) : load_partial(p, std::size_t(active), mask);
    } else {
        alignas(32) T buf[lanes<T>] = {};
        for (int64_t k = 0; k < active; ++k) buf[k] = x[(v + k) * n + j];
        return load(buf);
    }
}

// Columns storage: a chunk of observations is one contiguous block, read
// register by register with a stride; the next chunk is fetched ahead in
// address order while this one is worked on.
template <class T> VEXA_INLINE void prefetch_chunk(const T* x, int64_t ld, int64_t j, int64_t count, int64_t last) {
    if (j >= last) return;
    const char* b = reinterpret_cast<const char*>(x + j * ld);
    const char* e = reinterpret_cast<const char*>(x + std::min(last, j + count) * ld);
    for (; b < e; b += 64) _mm_prefetch(b, _MM_HINT_T0);
}

// Observations with weight 0 at the head of the range are passed over while
// nothing has been accumulated.
template <class T> VEXA_INLINE int64_t skip_leading_zeros(const T* w, int64_t j, int64_t last, const T* acc) {
    if (w != nullptr && acc[0] == T(0))
        while (j < last && w[j] == T(0)) ++j;
    return j;
}

// Rows storage: observations j.. j+count-1 of the register's variables v..
// (the last one repeated in lanes past `active`), observation-major.
template <class T> VEXA_INLINE void fill_tile(T* tile, const T* x, int64_t n, int64_t v, int64_t active, int64_t j,
                                              int64_t count) {
    constexpr int L = lanes<T>;
    const T* row[L];
    for (int q = 0; q < L; ++q) row[q] = x + (v + std::min<int64_t>(q, active - 1)) * n + j;
    int64_t k = 0;
    for (; k + L <= count; k += L) {
        vec<T> r[L];
        for (int q = 0; q < L; ++q) r[q] = loadu(row[q] + k);
        transpose(r);
        for (int q = 0; q < L; ++q) store(tile + (k + q) * L, r[q]);
    }
    for (; k < count; ++k)
        for (int q = 0; q < L; ++q) tile[k * L + q] = row[q][k];
}

template <class T, bool Cols, bool Weighted, int Level, bool CP>
int one_pass(int64_t first, int64_t last, int64_t n, int64_t v0, int64_t v1, int64_t ld, const T* x, const T* w,
             T* scratch, T* acc, T* mean, T* r2, T* r3, T* r4, T* m2, T* m3, T* m4, T* cp) {
    constexpr int L = lanes<T>;
    const State<T> s = view(scratch, acc, mean, r2, r3, r4, m2, m3, m4, cp);
    if constexpr (CP) {
        // Observation by observation: every variable's deviation, then CP's rows.
        for (int64_t j = skip_leading_zeros(w, first, last, acc); j < last; ++j) {
            const Coef<T> c = coefficients<T>(Weighted ? w[j] : T(1), acc);
            for (int64_t v = v0; v < v1; v += L) {
                const int64_t active = std::min<int64_t>(L, v1 - v);
                const __m256i mask = lane_mask<T>(std::size_t(active));
                Moments<T, Level> mo;
                mo.load(s, v);
                const vec<T> d = mo.update(observation<T, Cols>(x, n, ld, v, j, active, mask), c);
                mo.store(s, v, active == L, mask);
                storeu(scratch + v, d);
            }
            for (int64_t i = v0; i < v1; ++i) {
                const vec<T> ci = broadcast<T>(c.ccp * scratch[i]);
                T* row = cp + i * ld;
                int64_t k = i;
                for (; k + L <= v1; k += L) storeu(row + k, fma(ci, loadu(scratch + k), loadu(row + k)));
                if (k < v1) {
                    const __m256i mask = lane_mask<T>(std::size_t(v1 - k));
                    maskstore(row + k, mask, fma(ci, loadu(scratch + k), loadu(row + k)));
                }
            }
        }
        return 0;
    }
    // Chunks of observations: their coefficients once, then each register of
    // variables keeps its moments in registers across the chunk. A chunk of
    // columns storage stays within 16 KiB so that it is read from L1.
    constexpr int kChunk = 64;
    const int64_t chunk = Cols ? std::clamp<int64_t>(16384 / (ld * int64_t(sizeof(T))) / L * L, L, kChunk) : kChunk;
    Coef<T> coef[kChunk];
    alignas(32) T tile[kChunk * L];
    for (int64_t j = skip_leading_zeros(w, first, last, acc); j < last;) {
        const int64_t count = std::min<int64_t>(chunk, last - j);
        for (int64_t k = 0; k < count; ++k) coef[k] = coefficients<T>(Weighted ? w[j + k] : T(1), acc);
        if constexpr (Cols) prefetch_chunk(x, ld, j + count, chunk, last);
        for (int64_t v = v0; v < v1; v += L) {
            const int64_t active = std::min<int64_t>(L, v1 - v);
            const __m256i mask = lane_mask<T>(std::size_t(active));
            Moments<T, Level> mo;
            mo.load(s, v);
            if constexpr (Cols) {
                for (int64_t k = 0; k < count; ++k)
                    mo.update(observation<T, true>(x, n, ld, v, j + k, active, mask), coef[k]);
            } else {
                fill_tile(tile, x, n, v, active, j, count);
                for (int64_t k = 0; k < count; ++k) mo.update(load(tile + k * L), coef[k]);
            }
            mo.store(s, v, active == L, mask);
        }
        j += count;
    }
    return 0;
}

// Sums of powers: raw orders RawLo..RawHi (order 1 is the mean; none when
// RawHi < RawLo) and central orders 2..CentralHi around the fixed mean (none
// when CentralHi < 2). Raw moments are held as averages and turned into sums
// for the call.
template <class T, int RawLo, int RawHi, int CentralHi> struct PowerSums {
    using V = vec<T>;
    V r[5], c[5];
    VEXA_INLINE void clear() {
        for (int k = 0; k < 5; ++k) r[k] = c[k] = zero<T>();
    }
    VEXA_INLINE void add(V x, V wv, V mean, bool weighted) {
        V t = weighted ? wv * x : x;  // w x^(k-1) times x
        if constexpr (RawLo <= 1 && RawHi >= 1) r[1] = r[1] + t;
        if constexpr (RawHi >= 2) {
            V p = t;
            for (int k = 2; k <= RawHi; ++k) {
                if (k >= RawLo) r[k] = fma(p, x, r[k]);
                if (k < RawHi) p = p * x;
            }
        }
        if constexpr (CentralHi >= 2) {
            const V d = x - mean;
            V p = weighted ? wv * d : d;
            for (int k = 2; k <= CentralHi; ++k) {
                c[k] = fma(p, d, c[k]);
                if (k < CentralHi) p = p * d;
            }
        }
    }
    VEXA_INLINE void merge(const PowerSums& o) {
        for (int k = 1; k < 5; ++k) r[k] = r[k] + o.r[k], c[k] = c[k] + o.c[k];
    }
};

template <class T> VEXA_INLINE T* raw_array(const State<T>& s, int k) { return k == 1 ? s.mean : s.raw[k]; }

// Sum and sum of squares of the weights in [first, last).
template <class T> void weight_sums(const T* w, int64_t first, int64_t last, T& sw, T& sw2) {
    constexpr int L = lanes<T>;
    vec<T> a = zero<T>(), b = zero<T>(), a2 = zero<T>(), b2 = zero<T>();
    int64_t j = first;
    for (; j + 2 * L <= last; j += 2 * L) {
        const vec<T> u = loadu(w + j), v = loadu(w + j + L);
        a = a + u, b = b + v, a2 = fma(u, u, a2), b2 = fma(v, v, b2);
    }
    alignas(32) T s1[L], s2[L];
    storeu(s1, a + b);
    storeu(s2, a2 + b2);
    sw = sw2 = T(0);
    for (int k = 0; k < L; ++k) sw += s1[k], sw2 += s2[k];
    for (; j < last; ++j) sw += w[j], sw2 += w[j] * w[j];
}

template <class T, bool Cols, bool Weighted, int RawLo, int RawHi, int CentralHi>
int power_sums(int64_t first, int64_t last, int64_t n, int64_t v0, int64_t v1, int64_t ld, const T* x, const T* w,
               T* scratch, T* acc, T* mean, T* r2, T* r3, T* r4, T* m2, T* m3, T* m4, T* cp) {
    constexpr int L = lanes<T>;
    using Sums = PowerSums<T, RawLo, RawHi, CentralHi>;
    const State<T> s = view(scratch, acc, mean, r2, r3, r4, m2, m3, m4, cp);
    if (last <= first) return 0;
    T sw, sw2;
    if constexpr (Weighted) weight_sums(w, first, last, sw, sw2);
    else sw = sw2 = T(last - first);
    const T W = acc[0], Wn = W + sw;
    // Held averages back to sums, so the call's sums add to them.
    auto scale_raw = [&](int64_t v, T f) {
        for (int k = std::max(RawLo, 1); k <= RawHi; ++k) raw_array(s, k)[v] *= f;
    };
    if (W > T(0))
        for (int64_t v = v0; v < v1; ++v) scale_raw(v, W);
    auto fold = [&](int64_t v, int64_t active, __m256i mask, const Sums& sum) {
        auto add = [&](T* p, vec<T> x) {
            if (active == L) storeu(p, loadu(p) + x);
            else maskstore(p, mask, loadu(p) + x);
        };
        for (int k = std::max(RawLo, 1); k <= RawHi; ++k) add(raw_array(s, k) + v, sum.r[k]);
        for (int k = 2; k <= CentralHi; ++k) add(s.m[k] + v, sum.c[k]);
    };
    if constexpr (Cols) {
        // Chunks of observations within 16 KiB, read from L1 by every register of variables.
        const int64_t chunk = std::clamp<int64_t>(16384 / (ld * int64_t(sizeof(T))), 16, 1024);
        for (int64_t j0 = first; j0 < last; j0 += chunk) {
            const int64_t j1 = std::min(last, j0 + chunk);
            prefetch_chunk(x, ld, j1, chunk, last);
            for (int64_t v = v0; v < v1; v += L) {
                const int64_t active = std::min<int64_t>(L, v1 - v);
                const __m256i mask = lane_mask<T>(std::size_t(active));
                const vec<T> mv = CentralHi >= 2 ? load_partial(mean + v, std::size_t(active), mask) : zero<T>();
                Sums a, b;
                a.clear(), b.clear();
                int64_t j = j0;
                for (; j + 2 <= j1; j += 2) {
                    a.add(observation<T, true>(x, n, ld, v, j, active, mask), Weighted ? broadcast<T>(w[j]) : mv, mv,
                          Weighted);
                    b.add(observation<T, true>(x, n, ld, v, j + 1, active, mask),
                          Weighted ? broadcast<T>(w[j + 1]) : mv, mv, Weighted);
                }
                if (j < j1)
                    a.add(observation<T, true>(x, n, ld, v, j, active, mask), Weighted ? broadcast<T>(w[j]) : mv, mv,
                          Weighted);
                a.merge(b);
                fold(v, active, mask, a);
            }
        }
    } else {
        // Along each variable's observations, then across the lanes.
        for (int64_t v = v0; v < v1; ++v) {
            const T* row = x + v * n;
            const vec<T> mv = broadcast<T>(CentralHi >= 2 ? mean[v] : T(0));
            Sums a, b;
            a.clear(), b.clear();
            int64_t j = first;
            const vec<T> one = broadcast<T>(T(1));
            for (; j + 2 * L <= last; j += 2 * L) {
                a.add(loadu(row + j), Weighted ? loadu(w + j) : one, mv, Weighted);
                b.add(loadu(row + j + L), Weighted ? loadu(w + j + L) : one, mv, Weighted);
            }
            a.merge(b);
            alignas(32) T lane[L];
            T tail_r[5] = {}, tail_c[5] = {};
            for (; j < last; ++j) {
                const T xv = row[j], wv = Weighted ? w[j] : T(1);
                T p = wv * xv;
                for (int k = 1; k <= RawHi; ++k, p *= xv)
                    if (k >= RawLo) tail_r[k] += p;
                const T d = xv - (CentralHi >= 2 ? mean[v] : T(0));
                T q = wv * d * d;
                for (int k = 2; k <= CentralHi; ++k, q *= d) tail_c[k] += q;
            }
            for (int k = std::max(RawLo, 1); k <= RawHi; ++k) {
                storeu(lane, a.r[k]);
                T t = tail_r[k];
                for (int q = 0; q < L; ++q) t += lane[q];
                raw_array(s, k)[v] += t;
            }
            for (int k = 2; k <= CentralHi; ++k) {
                storeu(lane, a.c[k]);
                T t = tail_c[k];
                for (int q = 0; q < L; ++q) t += lane[q];
                s.m[k][v] += t;
            }
        }
    }
    if (Wn > T(0))
        for (int64_t v = v0; v < v1; ++v) scale_raw(v, T(1) / Wn);
    acc[0] = Wn;
    acc[1] += sw2;
    return 0;
}

// ---- kernel tables ------------------------------------------------------

template <class T, bool C, bool W> struct OnePassRow {
    static constexpr Kernel<T> k[8] = {one_pass<T, C, W, 0, false>, one_pass<T, C, W, 0, true>,
                                       one_pass<T, C, W, 1, false>, one_pass<T, C, W, 1, true>,
                                       one_pass<T, C, W, 2, false>, one_pass<T, C, W, 2, true>,
                                       one_pass<T, C, W, 3, false>, one_pass<T, C, W, 3, true>};
};
template <class T, bool C, bool W> struct FastRow {
    static constexpr Kernel<T> k[4] = {power_sums<T, C, W, 1, 1, 0>, power_sums<T, C, W, 1, 2, 0>,
                                       power_sums<T, C, W, 1, 3, 0>, power_sums<T, C, W, 1, 4, 0>};
};
template <class T, bool C, bool W> struct CallerMeanRow {
    static constexpr Kernel<T> k[4] = {power_sums<T, C, W, 2, 1, 2>, power_sums<T, C, W, 2, 1, 3>,
                                       power_sums<T, C, W, 2, 1, 4>, power_sums<T, C, W, 2, 4, 4>};
};
template <class T, template <class, bool, bool> class Row, int N> struct Table {
    Kernel<T> k[4 * N];
    constexpr Table() : k{} {
        for (int i = 0; i < N; ++i) {
            k[i] = Row<T, false, false>::k[i];
            k[N + i] = Row<T, false, true>::k[i];
            k[2 * N + i] = Row<T, true, false>::k[i];
            k[3 * N + i] = Row<T, true, true>::k[i];
        }
    }
};
template <class T> constexpr Table<T, OnePassRow, 8> kOnePassKernels{};
template <class T> constexpr Table<T, FastRow, 4> kFastKernels{};
template <class T> constexpr Table<T, CallerMeanRow, 4> kCallerMeanKernels{};

// ---- BLAS and vector-math imports by precision ----------------------------

template <class T> struct Imports;
template <> struct Imports<double> {
    static constexpr auto syr = vexa_blas_xdsyr;
    static constexpr auto syrk = vexa_blas_xdsyrk;
    static constexpr auto gemm = vexa_blas_xdgemm;
};
template <> struct Imports<float> {
    static constexpr auto syr = vexa_blas_xssyr;
    static constexpr auto syrk = vexa_blas_xssyrk;
    static constexpr auto gemm = vexa_blas_xsgemm;
};

// ---- one call ------------------------------------------------------------

template <class T> struct Call {
    Shape s;
    const T* x;
    const T* w;
    int64_t v0, v1;
    Method method;
    uint32_t maintained;  // state bits
    Kernel<T> kernel;
    int64_t threads;
    int64_t block_obs;  // observations per BLAS block
    State<T>* states;   // one per thread
    T* buffers;         // per thread: the block copies of the BLAS paths
    int64_t buffer_values;
    int status;
};

template <class T> VEXA_INLINE int run_kernel(Call<T>& c, State<T>& st, int64_t first, int64_t last) {
    return c.kernel(first, last, c.s.n, c.v0, c.v1, c.s.p, c.x, c.w, st.scratch, st.acc, st.mean, st.raw[2],
                    st.raw[3], st.raw[4], st.m[2], st.m[3], st.m[4], st.cp);
}

// Fast method with cross products, in blocks of observations: CP back to raw
// sums, rank-k updates per block, centered again with the new mean.
template <class T> int fast_cross_products(Call<T>& c, State<T>& st, T* buf, int64_t first, int64_t last) {
    using B = Imports<T>;
    const int nv = int(c.v1 - c.v0), ldc = int(c.s.p), one = 1;
    T* C = st.cp + c.v0 * c.s.p + c.v0;
    const T unit = T(1);
    if (st.acc[0] > T(0)) {
        const T alpha = st.acc[0];
        B::syr("L", &nv, &alpha, st.mean + c.v0, &one, C, &ldc);
    }
    for (int64_t j = first; j < last; j += c.block_obs) {
        const int64_t je = std::min(last, j + c.block_obs);
        const int nb = int(je - j);
        if (const int r = run_kernel(c, st, j, je)) return r;
        const T* X = c.s.rows ? c.x + c.v0 * c.s.n + j : c.x + j * c.s.p + c.v0;
        const int ldx = int(c.s.rows ? c.s.n : c.s.p);
        const char* trans = c.s.rows ? "T" : "N";
        if (c.w == nullptr) {
            B::syrk("L", trans, &nv, &nb, &unit, X, &ldx, &unit, C, &ldc);
        } else {
            for (int64_t o = 0; o < nb; ++o)
                for (int64_t k = 0; k < nv; ++k) buf[o * nv + k] = c.w[j + o] * c.x[c.s.index(c.v0 + k, j + o)];
            B::gemm(trans, "T", &nv, &nv, &nb, &unit, X, &ldx, buf, &nv, &unit, C, &ldc);
        }
    }
    const T alpha = -st.acc[0];
    B::syr("L", &nv, &alpha, st.mean + c.v0, &one, C, &ldc);
    return 0;
}

// Cross products around the caller's mean: deviations copied block by block.
template <class T> int centered_cross_products(Call<T>& c, State<T>& st, T* buf, int64_t first, int64_t last) {
    using B = Imports<T>;
    const int nv = int(c.v1 - c.v0), ldc = int(c.s.p);
    T* C = st.cp + c.v0 * c.s.p + c.v0;
    const T unit = T(1);
    T* Y = buf + c.block_obs * nv;
    for (int64_t j = first; j < last; j += c.block_obs) {
        const int nb = int(std::min(last, j + c.block_obs) - j);
        for (int64_t o = 0; o < nb; ++o)
            for (int64_t k = 0; k < nv; ++k) {
                const T d = c.x[c.s.index(c.v0 + k, j + o)] - st.mean[c.v0 + k];
                buf[o * nv + k] = d;
                if (c.w != nullptr) Y[o * nv + k] = c.w[j + o] * d;
            }
        if (c.w == nullptr) B::syrk("L", "N", &nv, &nb, &unit, buf, &nv, &unit, C, &ldc);
        else B::gemm("N", "T", &nv, &nv, &nb, &unit, buf, &nv, Y, &nv, &unit, C, &ldc);
    }
    return 0;
}

// Thread t's share of the observations.
template <class T> void basic_threader(int t, int, int, void* context) {
    auto& c = *static_cast<Call<T>*>(context);
    const int64_t step = c.s.n / c.threads;
    const int64_t first = t * step, last = t == c.threads - 1 ? c.s.n : first + step;
    State<T>& st = c.states[t];
    T* buf = c.buffers + t * c.buffer_values;
    int r;
    const bool cp = c.maintained & sCP;
    if (c.method == Method::Fast && cp) r = fast_cross_products(c, st, buf, first, last);
    else {
        r = run_kernel(c, st, first, last);
        if (r == 0 && c.method == Method::CallerMean && cp) r = centered_cross_products(c, st, buf, first, last);
    }
    if (r < 0) __atomic_store_n(&c.status, r, __ATOMIC_RELAXED);
}

// ---- matrices in their storage --------------------------------------------

// CP as is, the covariance (CP times s) and the correlation.
template <class T> void pack_cp(const SSTask* t, const State<T>& st, int64_t storage, int64_t p, int64_t v0, int64_t v1) {
    pack<T>(t, static_cast<T*>(t->cp), storage, p, v0, v1, [&](int64_t i, int64_t j) { return st.cp[i * p + j]; });
}
template <class T> void pack_cov(const SSTask* t, const State<T>& st, int64_t storage, int64_t p, int64_t v0,
                                 int64_t v1, T scale) {
    pack<T>(t, static_cast<T*>(t->cov), storage, p, v0, v1,
            [&](int64_t i, int64_t j) { return st.cp[i * p + j] * scale; });
}
template <class T> void pack_cor(const SSTask* t, const State<T>& st, int64_t storage, int64_t p, int64_t v0,
                                 int64_t v1) {
    // Inverse square roots of the diagonal, in place on a copy, by the vector
    // kernel in its LA slot with denormals kept.
    T* d = st.scratch;
    for (int64_t i = v0; i < v1; ++i) d[i] = st.cp[i * p + i];
    vexa::vm::call<vexa::vm::fn::InvSqrt, T>(vexa::vm::Slot::LA, VEXA_VM_KEEP_DENORMALS, int(v1 - v0), d + v0, d + v0);
    pack<T>(t, static_cast<T*>(t->cor), storage, p, v0, v1,
            [&](int64_t i, int64_t j) { return st.cp[i * p + j] * d[i] * d[j]; });
}

// ---- the entry -----------------------------------------------------------

template <class T> VEXA_INLINE T* out(const SSTask* t, void* SSTask::*f) { return static_cast<T*>(t->*f); }

// Starting state for W > 0 without a current buffer: from the outputs the
// caller holds (raw moments from their averages or sums, central sums from the
// central sums, central moments or raw moments, CP from cp, cov or cor).
template <class T> void derive_state(const SSTask* t, State<T>& st, int64_t p, int64_t v0, int64_t v1, T W, T W2,
                                     uint32_t bits, const int64_t* storages) {
    const T s2 = W - W2 / W;
    for (int64_t i = v0; i < v1; ++i) {
        auto get = [&](void* SSTask::*avg, void* SSTask::*sum, T& v) {
            if (T* a = out<T>(t, avg)) return v = a[i], true;
            if (T* b = out<T>(t, sum)) return v = b[i] / W, true;
            return v = T(0), false;
        };
        T m, r2, r3, r4;
        get(&SSTask::mean, &SSTask::sum, m);
        const bool h2 = get(&SSTask::raw2, &SSTask::raw_sum2, r2), h3 = get(&SSTask::raw3, &SSTask::raw_sum3, r3),
                   h4 = get(&SSTask::raw4, &SSTask::raw_sum4, r4);
        st.mean[i] = m, st.raw[2][i] = r2, st.raw[3][i] = r3, st.raw[4][i] = r4;
        const T mm = m * m;
        auto central = [&](void* SSTask::*csum, void* SSTask::*cmom, T mom_scale, bool raw_ok, T from_raw) {
            if (T* a = out<T>(t, csum)) return a[i];
            if (T* b = out<T>(t, cmom)) return b[i] * mom_scale;
            return raw_ok ? W * from_raw : T(0);
        };
        st.m[2][i] = central(&SSTask::central_sum2, &SSTask::central2, s2, h2, r2 - mm);
        st.m[3][i] = central(&SSTask::central_sum3, &SSTask::central3, W, h2 && h3, r3 - T(3) * m * r2 + T(2) * mm * m);
        st.m[4][i] = central(&SSTask::central_sum4, &SSTask::central4, W, h2 && h3 && h4,
                             r4 - T(4) * m * r3 + T(6) * mm * r2 - T(3) * mm * mm);
    }
    if (!(bits & sCP)) return;
    const T* cp = out<T>(t, &SSTask::cp);
    const T* cov = out<T>(t, &SSTask::cov);
    const T* cor = out<T>(t, &SSTask::cor);
    for (int64_t i = v0; i < v1; ++i)
        for (int64_t j = i; j < v1; ++j) {
            T v = T(0);
            if (cp != nullptr) v = cp[packed_index(storages[2], p, i, j)];
            else if (cov != nullptr) v = cov[packed_index(storages[0], p, i, j)] * s2;
            else if (cor != nullptr) v = cor[packed_index(storages[1], p, i, j)] * std::sqrt(st.m[2][i] * st.m[2][j]);
            st.cp[i * p + j] = v;
        }
}

// The estimates from the state, for the selected variables.
template <class T> void finish(const SSTask* t, State<T>& st, uint64_t est, Method method, int64_t p,
                               int64_t v0, int64_t v1, const int64_t* storages) {
    const T W = st.acc[0], W2 = st.acc[1];
    for (int64_t i = v0; i < v1; ++i) {
        const T m = st.mean[i], r2 = st.raw[2][i], r3 = st.raw[3][i], r4 = st.raw[4][i], mm = m * m;
        if (method == Method::Fast) {
            // Central sums from the raw moments.
            st.m[2][i] = W * (r2 - mm);
            st.m[3][i] = W * (r3 - T(3) * m * r2 + T(2) * mm * m);
            st.m[4][i] = W * (r4 - T(4) * m * r3 + T(6) * mm * r2 - T(3) * mm * mm);
        }
        if (!vexa::ss::selected(t, i)) continue;
        const T M2 = st.m[2][i], M3 = st.m[3][i], M4 = st.m[4][i];
        const T c2 = M2 * W / (W * W - W2), c3 = M3 / W, c4 = M4 / W;
        auto put = [&](uint64_t bit, void* SSTask::*f, T v) {
            if (est & bit) out<T>(t, f)[i] = v;
        };
        if (method != Method::CallerMean) put(0x1, &SSTask::mean, m);
        put(0x2, &SSTask::raw2, r2);
        put(0x4, &SSTask::raw3, r3);
        put(0x8, &SSTask::raw4, r4);
        put(0x10, &SSTask::central2, c2);
        put(0x20, &SSTask::central3, c3);
        put(0x40, &SSTask::central4, c4);
        put(0x80, &SSTask::kurtosis, c4 / (c2 * c2) - T(3));
        put(0x100, &SSTask::skewness, c3 / std::sqrt(c2 * c2 * c2));
        put(0x200, &SSTask::variation, std::sqrt(c2) / m);
        put(1ull << 25, &SSTask::sum, W * m);
        put(1ull << 26, &SSTask::raw_sum2, W * r2);
        put(1ull << 27, &SSTask::raw_sum3, W * r3);
        put(1ull << 28, &SSTask::raw_sum4, W * r4);
        put(1ull << 29, &SSTask::central_sum2, M2);
        put(1ull << 30, &SSTask::central_sum3, M3);
        put(1ull << 31, &SSTask::central_sum4, M4);
    }
    if (est & 0x1000) pack_cov(t, st, storages[0], p, v0, v1, W > T(0) ? T(1) / (W - W2 / W) : T(1));
    if (est & 0x2000) pack_cor(t, st, storages[1], p, v0, v1);
    if (est & (1ull << 32)) pack_cp(t, st, storages[2], p, v0, v1);
}

// Internal quantities needed, from the requested estimates and the method's dependency sets.
VEXA_INLINE uint32_t expand(uint64_t est, Method method) {
    uint32_t need = 0;
    for (const Estimate& e : kEstimates)
        if (est & e.bit) need |= e.deps[int(method)];
    return need;
}

// State bits the kernels keep for the needed quantities, and the kernel.
template <class T> Kernel<T> choose(uint32_t need, Method method, bool cols, bool weighted, uint32_t& bits) {
    const bool cp = need & (qCov | qCor | qCP);
    const bool r2 = need & (qRaw2 | qRawSum2), r3 = need & (qRaw3 | qRawSum3), r4 = need & (qRaw4 | qRawSum4);
    const bool c2 = need & (qC2 | qCSum2 | qVar | qSkew | qKurt), c3 = need & (qC3 | qCSum3 | qSkew),
               c4 = need & (qC4 | qCSum4 | qKurt);
    const int storage = (cols ? 2 : 0) + (weighted ? 1 : 0);
    bits = sMean | (cp ? uint32_t(sCP) : 0u);
    if (method == Method::OnePass) {
        const int level = (r3 || r4 || c3 || c4) ? 3 : r2 ? 2 : c2 ? 1 : 0;
        static constexpr uint32_t kBits[4] = {0, sM2, sM2 | sRaw2, sM2 | sM3 | sM4 | sRaw2 | sRaw3 | sRaw4};
        bits |= kBits[level];
        return kOnePassKernels<T>.k[8 * storage + 2 * level + (cp ? 1 : 0)];
    }
    if (method == Method::Fast) {
        const int hi = (r4 || c4) ? 4 : (r3 || c3) ? 3 : (r2 || c2) ? 2 : 1;
        for (int k = 2; k <= hi; ++k) bits |= (sRaw2 << (k - 2)) | (sM2 << (k - 2));
        return kFastKernels<T>.k[4 * storage + hi - 1];
    }
    const int level = (r2 || r3 || r4) ? 3 : c4 ? 2 : c3 ? 1 : 0;
    static constexpr uint32_t kBits[4] = {sM2, sM2 | sM3, sM2 | sM3 | sM4, sM2 | sM3 | sM4 | sRaw2 | sRaw3 | sRaw4};
    bits |= kBits[level];
    return kCallerMeanKernels<T>.k[4 * storage + level];
}

// Makes the task's basic buffer hold thread 0's state for p variables.
template <class T> T* task_state(SSTask* t, int64_t p, bool cp, bool& fresh) {
    auto* h = static_cast<BufferHeader*>(t->basic_buffer);
    fresh = false;
    if (h == nullptr || h->p != p || (cp && !h->cp) || h->precision != sizeof(T)) {
        vexa_serv_deallocate(t->basic_buffer);
        t->basic_buffer = nullptr;
        const std::size_t bytes = kHeaderBytes + std::size_t(state_values<T>(p, cp)) * sizeof(T);
        h = static_cast<BufferHeader*>(vexa_serv_allocate(bytes, kAlignment));
        if (h == nullptr) return nullptr;
        std::memset(static_cast<void*>(h), 0, bytes);
        h->p = p, h->cp = cp, h->precision = sizeof(T), h->W = -1;
        t->basic_buffer = h;
        fresh = true;
    }
    return reinterpret_cast<T*>(reinterpret_cast<char*>(h) + kHeaderBytes);
}

template <class T> int basic(SSTask* t, uint64_t est, uint64_t method_bits, const ThreadingTable* tt) {
    if (t == nullptr) return VEXA_SS_NO_TASK;
    Shape s;
    if (const int st = vexa::ss::check_observations(t, s)) return st;
    // Requested outputs in internal order, each matrix with its storage code.
    int64_t storages[3] = {0, 0, 0};  // cov, cor, cp
    const void* SSTask::*storage_fields[3] = {&SSTask::cov_storage, &SSTask::cor_storage, &SSTask::cp_storage};
    for (const Estimate& e : kEstimates) {
        if (!(est & e.bit)) continue;
        if (t->*e.field == nullptr) return e.status;
        const int m = e.field == &SSTask::cov ? 0 : e.field == &SSTask::cor ? 1 : e.field == &SSTask::cp ? 2 : -1;
        if (m >= 0) {
            const void* code = t->*storage_fields[m];
            if (code == nullptr) return VEXA_SS_NO_STORAGE;
            storages[m] = vexa::ss::read_int(t, code);
            if (!matrix_storage(storages[m])) return VEXA_SS_BAD_STORAGE;
        }
    }
    const uint64_t main = method_bits & (kFast | kOnePass | kCallerMean);
    if (main != kFast && main != kOnePass && main != kCallerMean && !(main == 0 && (method_bits & kSingle)))
        return VEXA_SS_BAD_METHOD;
    const Method method = main == kFast ? Method::Fast : main == kCallerMean ? Method::CallerMean : Method::OnePass;
    if (t->weights != nullptr && t->acc_weights == nullptr) return missing::acc_weights;
    if (method == Method::CallerMean && t->mean == nullptr) return missing::mean;

    uint64_t all = 0;
    for (const Estimate& e : kEstimates) all |= e.bit;
    if ((est & all) == 0) return VEXA_SS_OK;
    int64_t v0 = -1, v1 = -1;
    for (int64_t i = 0; i < s.p; ++i)
        if (vexa::ss::selected(t, i)) v1 = i + 1, v0 = v0 < 0 ? i : v0;
    if (v0 < 0) return VEXA_SS_OK;

    const uint32_t need = expand(est, method);
    Call<T> c{};
    c.s = s, c.x = static_cast<const T*>(t->x), c.w = static_cast<const T*>(t->weights);
    c.v0 = v0, c.v1 = v1, c.method = method;
    c.kernel = choose<T>(need, method, !s.rows, c.w != nullptr, c.maintained);
    const bool cp = c.maintained & sCP;
    const int64_t work = cp ? s.n * s.p * s.p : s.n * s.p;
    int64_t threads = std::min({vexa::ss::max_threads(tt), work / 8192, s.n / 16});
    if (threads < 1 || (method_bits & kSingle) || tt == nullptr) threads = 1;
    c.threads = threads;
    const int64_t nv = v1 - v0;
    c.block_obs = std::max<int64_t>(64, 262144 / (8 * s.p * (c.w != nullptr ? 2 : 1)));
    const bool blas = cp && method != Method::OnePass;
    c.buffer_values = blas ? (c.block_obs * nv * 2 + 15) / 16 * 16 : 0;

    T local_acc[2] = {T(0), T(0)};
    T* acc = t->acc_weights != nullptr ? static_cast<T*>(t->acc_weights) : local_acc;
    bool fresh;
    T* base = task_state<T>(t, s.p, cp, fresh);
    if (base == nullptr) return VEXA_SS_MEMORY;
    // The work block: the other threads' states, then every thread's BLAS buffer.
    vexa::ss::OwnedBlock block;
    const int64_t per_state = state_values<T>(s.p, cp);
    const double bytes = (double(threads - 1) * double(per_state) + double(threads) * double(c.buffer_values)) *
                             sizeof(T) + double(threads) * sizeof(State<T>) + kAlignment;
    if (bytes > double(SIZE_MAX) / 2) return VEXA_SS_MEMORY;
    block.p = vexa_serv_allocate(std::size_t(bytes), kAlignment);
    if (block.p == nullptr) return VEXA_SS_MEMORY;
    T* scratch_base = static_cast<T*>(block.p);
    c.buffers = scratch_base + (threads - 1) * per_state;
    c.states = reinterpret_cast<State<T>*>(c.buffers + threads * c.buffer_values);

    // Thread 0 continues the task's state.
    auto* h = static_cast<BufferHeader*>(t->basic_buffer);
    State<T>& s0 = c.states[0];
    bind(s0, base, s.p, cp);
    const T W = acc[0], W2 = acc[1];
    const bool current = !fresh && h->W == double(W) && h->W2 == double(W2) && h->v0 <= v0 && v1 <= h->v1 &&
                         (h->valid & c.maintained) == c.maintained;
    if (W == T(0)) {
        std::memset(static_cast<void*>(base), 0, std::size_t(per_state) * sizeof(T));
    } else if (!current) {
        derive_state(t, s0, s.p, v0, v1, W, W2, c.maintained, storages);
    }
    s0.acc[0] = W, s0.acc[1] = W2;
    if (method == Method::CallerMean)
        for (int64_t i = v0; i < v1; ++i) s0.mean[i] = static_cast<const T*>(t->mean)[i];
    for (int64_t k = 1; k < threads; ++k) {
        State<T>& sk = c.states[k];
        T* b = scratch_base + (k - 1) * per_state;
        std::memset(static_cast<void*>(b), 0, std::size_t(per_state) * sizeof(T));
        bind(sk, b, s.p, cp);
        if (method == Method::CallerMean) std::memcpy(sk.mean, s0.mean, std::size_t(s.p) * sizeof(T));
    }

    if (threads > 1) tt->parallel_run(int(threads), &c, basic_threader<T>);
    else basic_threader<T>(0, 0, 1, &c);
    if (c.status < 0) return c.status;
    for (int64_t k = 1; k < threads; ++k) merge(s0, c.states[k], s.p, v0, v1, c.maintained);

    if (s0.acc[0] == W && W == T(0)) return VEXA_SS_OK;  // nothing of nonzero weight: outputs as they were
    finish(t, s0, est, method, s.p, v0, v1, storages);
    if (t->acc_weights != nullptr) acc[0] = s0.acc[0], acc[1] = s0.acc[1];
    h->W = double(s0.acc[0]), h->W2 = double(s0.acc[1]);
    h->v0 = v0, h->v1 = v1;
    h->valid = c.maintained;
    return VEXA_SS_OK;
}

}  // namespace

extern "C" {

VEXA_EXPORT int _tqrdSSBasic(SSTask* task, int64_t estimates, int64_t method, const ThreadingTable* threading) {
    return basic<double>(task, uint64_t(estimates), uint64_t(method), threading);
}
VEXA_EXPORT int _tqrsSSBasic(SSTask* task, int64_t estimates, int64_t method, const ThreadingTable* threading) {
    return basic<float>(task, uint64_t(estimates), uint64_t(method), threading);
}

}  // extern "C"
