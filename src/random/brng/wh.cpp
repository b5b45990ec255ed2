// Wichmann-Hill, the family of 273 four-component generators: component j
// runs x_j <- a_j x_j mod m_j, and a value is the fractional part of
// (x1/m1 + x2/m2) + (x3/m3 + x4/m4), with the reciprocals of the set's
// table. Integer output: the four component states of each value (16 bytes).
// The four components share one register: products a x stay below 2^48 and
// are reduced exactly in double arithmetic.
#include <immintrin.h>

#include <cmath>
#include <cstdint>

#include "common/simd.h"
#include "random/core/stream.h"

namespace {

using namespace vexa::rng;
using namespace vexa::simd;

struct WhState {
    StreamState head;
    uint32_t x[4];  // component states x1..x4
    uint32_t a[4];  // component multipliers a1..a4
};
static_assert(sizeof(WhState) == registry_size::WH);

struct Wh {
    uint32_t* x;  // x1..x4
    uint32_t* a;  // a1..a4
    const uint32_t* m;
    const double* im;
    explicit Wh(StreamState* s) : x(state_of<WhState>(s).x), a(state_of<WhState>(s).a) {
        int32_t set = 0;
        record_of(s->brng, &set);
        m = _tqr_WH_M[set];
        im = _tqrdWH_IM_Tab[set];
    }
};

VEXA_INLINE uint32_t mul_mod(uint64_t x, uint64_t a, uint32_t m) { return uint32_t(x * a % m); }

// x a mod m for four components at once (x, a < m < 2^24).
VEXA_INLINE __m256d mul_mod(__m256d x, __m256d a, __m256d m, __m256d im) {
    const __m256d p = x * a;
    const __m256d q = floor(p * im);
    __m256d r = fma(-q, m, p);
    r = r + bit_and(cmp_lt(r, zero<double>()), m);
    return r - bit_and(cmp_ge(r, m), m);
}

// The value of a register of states: (x1 im1 + x2 im2) + (x3 im3 + x4 im4), fractional part.
VEXA_INLINE double value(__m256d x, __m256d im) {
    const double s = sum_pairs(x * im);
    return s - std::floor(s);
}

// Walks n values: `put(i, state register)` sees each state before it
// advances. Four values at a time come from the state times 1, a, a^2, a^3
// (independent products), then the state moves on by a^4.
template <class Put> void walk(StreamState* s, int n, Put put) {
    Wh g(s);
    const __m256d m = words_to_double(g.m);
    const __m256d im = loadu(g.im);
    const __m256d a = words_to_double(g.a);
    __m256d x = words_to_double(g.x);
    int i = 0;
    if (n >= 4) {
        const __m256d a2 = mul_mod(a, a, m, im), a3 = mul_mod(a2, a, m, im), a4 = mul_mod(a3, a, m, im);
        for (; i + 4 <= n; i += 4) {
            put(i, x, im);
            put(i + 1, mul_mod(x, a, m, im), im);
            put(i + 2, mul_mod(x, a2, m, im), im);
            put(i + 3, mul_mod(x, a3, m, im), im);
            x = mul_mod(x, a4, m, im);
        }
    }
    for (; i < n; ++i) {
        put(i, x, im);
        x = mul_mod(x, a, m, im);
    }
    alignas(32) double out[4];
    store(out, x);
    for (int j = 0; j < 4; ++j) g.x[j] = uint32_t(out[j]);
}

}  // namespace

extern "C" {

VEXA_EXPORT int __tqrBRngWHInitStream(int method, StreamState* s, int n, const uint32_t* params) {
    Wh g(s);
    int32_t set = 0;
    record_of(s->brng, &set);
    if (method == VEXA_RNG_INIT_STANDARD) {
        for (int j = 0; j < 4; ++j) {
            const uint32_t v = j < n ? params[j] % g.m[j] : 1;
            g.x[j] = v == 0 ? 1 : v;
            g.a[j] = _tqr_WH_A[set][j];
        }
        return VEXA_RNG_OK;
    }
    if (method == VEXA_RNG_INIT_LEAPFROG) {
        for (int j = 0; j < 4; ++j) {
            g.x[j] = mul_mod(g.x[j], __tqriPowMod(g.a[j], params[0], g.m[j]), g.m[j]);
            g.a[j] = __tqriPowMod(g.a[j], uint32_t(n), g.m[j]);
        }
        return VEXA_RNG_OK;
    }
    if (method == VEXA_RNG_INIT_SKIPAHEAD) {
        const uint64_t count = skip_count(params);
        for (int j = 0; j < 4; ++j) g.x[j] = mul_mod(g.x[j], __tqriPowMod(g.a[j], count, g.m[j]), g.m[j]);
        return VEXA_RNG_OK;
    }
    return VEXA_RNG_BAD_METHOD;
}

VEXA_EXPORT int __tqrdBRngWH(StreamState* s, int n, double* r, double a, double b) {
    const double w = b - a;
    walk(s, n, [&](int i, __m256d x, __m256d im) { r[i] = __builtin_fma(value(x, im), w, a); });
    return VEXA_RNG_OK;
}

// In double, rounded to float (our choice).
VEXA_EXPORT int __tqrsBRngWH(StreamState* s, int n, float* r, float a, float b) {
    const double w = double(b) - double(a);
    walk(s, n, [&](int i, __m256d x, __m256d im) { r[i] = float(__builtin_fma(value(x, im), w, double(a))); });
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqriBRngWH(StreamState* s, int n, uint32_t* r) {
    walk(s, n, [&](int i, __m256d x, __m256d) {
        storeu_int(r + 4 * i, to_int32(x));
    });
    return VEXA_RNG_OK;
}

}  // extern "C"
