// MRG32K3A, L'Ecuyer's combined multiple-recursive generator:
//   x1_n = (1403580 x1_{n-2} - 810728 x1_{n-3}) mod m1, m1 = 2^32 - 209
//   x2_n = (527612 x2_{n-1} - 1370589 x2_{n-3}) mod m2, m2 = 2^32 - 22853
// Integer output z = x1 - x2 (+ m1 when not positive), in 1 .. m1; double
// output a + (b - a) z / m1 with z = (x1 - x2) mod m1; float output the same
// in double, rounded to float (our choice). Skip-ahead by matrix powers; no
// leapfrog.
//
// Long runs go sixteen values at a time: every value of a block is a linear
// form of the three state words of its component (coefficients from the
// powers of the recurrence, made at compile time), so the sixteen are
// independent; 32 x 32 -> 64-bit products are reduced with 2^32 = c mod m
// (m = 2^32 - c) in four 64-bit lanes.
#include <immintrin.h>

#include <cstdint>

#include "common/simd.h"
#include "random/core/stream.h"

namespace {

using namespace vexa::rng;
using namespace vexa::simd;

constexpr uint64_t kM1 = 4294967087u, kM2 = 4294944443u;
constexpr uint64_t kA12 = 1403580, kA13 = 810728, kA21 = 527612, kA23 = 1370589;
constexpr double kNorm = 2.328306549837829e-10;  // 1 / m1

struct Mrg32k3aState {
    StreamState head;
    uint32_t x1[3];  // component 1, oldest first
    uint32_t x2[3];  // component 2, oldest first
};
static_assert(sizeof(Mrg32k3aState) == registry_size::MRG32K3A);

struct Mrg {
    uint32_t* s1;  // oldest first
    uint32_t* s2;
    explicit Mrg(StreamState* s) : s1(state_of<Mrg32k3aState>(s).x1), s2(state_of<Mrg32k3aState>(s).x2) {}
    // One step; returns x1_n - x2_n as a signed difference.
    VEXA_INLINE int64_t step() {
        const uint32_t x1 = uint32_t((kA12 * s1[1] + kA13 * (kM1 - s1[0])) % kM1);
        const uint32_t x2 = uint32_t((kA21 * s2[2] + kA23 * (kM2 - s2[0])) % kM2);
        s1[0] = s1[1], s1[1] = s1[2], s1[2] = x1;
        s2[0] = s2[1], s2[1] = s2[2], s2[2] = x2;
        return int64_t(x1) - int64_t(x2);
    }
};

// The linear forms of x_{n+j}, j = 0..15, in the state (x_{n-3}, x_{n-2},
// x_{n-1}), for x_t = r0 x_{t-1} + r1 x_{t-2} + r2 x_{t-3} mod m; laid out as
// coef[group][word][lane] for value 4 group + lane.
struct BlockForms {
    uint64_t coef[4][3][4];
    constexpr BlockForms(uint64_t r0, uint64_t r1, uint64_t r2, uint64_t m) : coef{} {
        uint64_t f[19][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        for (int j = 3; j < 19; ++j)
            for (int w = 0; w < 3; ++w) f[j][w] = (r0 * f[j - 1][w] % m + r1 * f[j - 2][w] % m + r2 * f[j - 3][w] % m) % m;
        for (int j = 0; j < 16; ++j)
            for (int w = 0; w < 3; ++w) coef[j / 4][w][j % 4] = f[j + 3][w];
    }
};
constexpr BlockForms kForms1{0, kA12, kM1 - kA13, kM1};
constexpr BlockForms kForms2{kA21, 0, kM2 - kA23, kM2};

// sum_w coef[w] v[w] mod (2^32 - c), four lanes.
template <uint64_t C> VEXA_INLINE __m256i dot_mod(const uint64_t (&coef)[3][4], const __m256i (&v)[3]) {
    __m256i t = zero_int();
    for (int w = 0; w < 3; ++w) t = add64(t, fold_2_32_minus<C>(mul32(loadu_int(coef[w]), v[w])));
    t = fold_2_32_minus<C>(t);  // below 2 m
    return reduce_once(t, splat64((uint64_t(1) << 32) - C));
}

// Whole blocks of sixteen: `out(i, d)` gets x1 - x2 of values i..i+3 as
// signed 64-bit lanes. Returns the values made; the state follows.
template <class Out> int blocks(Mrg& g, int n, Out out) {
    if (n < 16) return 0;
    __m256i v1[3], v2[3];
    for (int w = 0; w < 3; ++w) v1[w] = splat64(g.s1[w]), v2[w] = splat64(g.s2[w]);
    int i = 0;
    __m256i last1 = v1[0], last2 = v2[0];
    for (; i + 16 <= n; i += 16) {
        for (int q = 0; q < 4; ++q) {
            last1 = dot_mod<209>(kForms1.coef[q], v1);
            last2 = dot_mod<22853>(kForms2.coef[q], v2);
            out(i + 4 * q, sub64(last1, last2));
        }
        // The next state: the block's last three values of each component.
        v1[0] = spread_lane64<1>(last1), v1[1] = spread_lane64<2>(last1), v1[2] = spread_lane64<3>(last1);
        v2[0] = spread_lane64<1>(last2), v2[1] = spread_lane64<2>(last2), v2[2] = spread_lane64<3>(last2);
    }
    alignas(32) uint64_t a[4], b[4];
    store_int(a, last1);
    store_int(b, last2);
    for (int w = 0; w < 3; ++w) g.s1[w] = uint32_t(a[w + 1]), g.s2[w] = uint32_t(b[w + 1]);
    return i;
}

VEXA_INLINE __m256i add_m1_where(__m256i d, __m256i mask) {
    return add64(d, and_bits(mask, splat64(kM1)));
}

// (x1 - x2) mod m1, in [0, m1).
VEXA_INLINE double residue(int64_t d) { return double(d < 0 ? d + int64_t(kM1) : d); }

}  // namespace

extern "C" {

VEXA_EXPORT int __tqrBRngMRG32K3AInitStream(int method, StreamState* s, int n, const uint32_t* params) {
    Mrg g(s);
    if (method == VEXA_RNG_INIT_STANDARD) {
        uint32_t w[6] = {1, 1, 1, 1, 1, 1};
        for (int k = 0; k < n && k < 6; ++k) w[k] = params[k];
        for (int k = 0; k < 3; ++k) {
            g.s1[k] = uint32_t(w[k] >= kM1 ? w[k] - kM1 : w[k]);
            g.s2[k] = uint32_t(w[k + 3] >= kM2 ? w[k + 3] - kM2 : w[k + 3]);
        }
        if ((g.s1[0] | g.s1[1] | g.s1[2]) == 0) g.s1[0] = 1;
        if ((g.s2[0] | g.s2[1] | g.s2[2]) == 0) g.s2[0] = 1;
        return VEXA_RNG_OK;
    }
    if (method == VEXA_RNG_INIT_LEAPFROG) return VEXA_RNG_NO_LEAPFROG;
    if (method == VEXA_RNG_INIT_SKIPAHEAD) {
        const uint64_t count = skip_count(params);
        const uint32_t row1[3] = {0, uint32_t(kA12), uint32_t(kM1 - kA13)};
        const uint32_t row2[3] = {uint32_t(kA21), 0, uint32_t(kM2 - kA23)};
        __tqriVect3PowMod(g.s1, row1, uint32_t(kM1), count);
        __tqriVect3PowMod(g.s2, row2, uint32_t(kM2), count);
        return VEXA_RNG_OK;
    }
    return VEXA_RNG_BAD_METHOD;
}

VEXA_EXPORT int __tqriBRngMRG32K3A(StreamState* s, int n, uint32_t* r) {
    Mrg g(s);
    const int done = blocks(g, n, [&](int i, __m256i d) {
        const __m256i z = add_m1_where(d, cmp_gt64(splat64(1), d));  // d <= 0
        storeu_int(r + i, low_words(z));
    });
    for (int i = done; i < n; ++i) {
        const int64_t d = g.step();
        r[i] = uint32_t(d > 0 ? d : d + int64_t(kM1));
    }
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqrdBRngMRG32K3A(StreamState* s, int n, double* r, double a, double b) {
    Mrg g(s);
    const double scale = (b - a) * kNorm;
    const __m256d vs = broadcast(scale), va = broadcast(a);
    const int done = blocks(g, n, [&](int i, __m256i d) {
        const __m256i z = add_m1_where(d, cmp_gt64(zero_int(), d));  // d < 0
        storeu(r + i, fma(small_to_double(z), vs, va));
    });
    for (int i = done; i < n; ++i) r[i] = __builtin_fma(residue(g.step()), scale, a);
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqrsBRngMRG32K3A(StreamState* s, int n, float* r, float a, float b) {
    Mrg g(s);
    const double scale = (double(b) - double(a)) * kNorm;
    for (int i = 0; i < n; ++i) r[i] = float(__builtin_fma(residue(g.step()), scale, double(a)));
    return VEXA_RNG_OK;
}

}  // extern "C"
