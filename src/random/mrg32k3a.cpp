// MRG32K3A, L'Ecuyer's combined multiple-recursive generator:
//   x1_n = (1403580 x1_{n-2} - 810728 x1_{n-3}) mod m1, m1 = 2^32 - 209
//   x2_n = (527612 x2_{n-1} - 1370589 x2_{n-3}) mod m2, m2 = 2^32 - 22853
// Integer output z = x1 - x2 (+ m1 when not positive), in 1 .. m1; double
// output a + (b - a) z / m1 with z = (x1 - x2) mod m1; float output the same
// in double, rounded to float (our choice). Skip-ahead by matrix powers; no
// leapfrog.
#include <cstdint>

#include "random/stream.h"

namespace {

using namespace vexa::rng;

constexpr uint64_t kM1 = 4294967087u, kM2 = 4294944443u;
constexpr uint64_t kA12 = 1403580, kA13 = 810728, kA21 = 527612, kA23 = 1370589;
constexpr double kNorm = 2.328306549837829e-10;  // 1 / m1

struct Mrg {
    uint32_t* s1;  // oldest first
    uint32_t* s2;
    explicit Mrg(StreamState* s) : s1(field<uint32_t>(s, 16)), s2(field<uint32_t>(s, 28)) {}
    // One step; returns x1_n - x2_n as a signed difference.
    VEXA_INLINE int64_t step() {
        const uint32_t x1 = uint32_t((kA12 * s1[1] + kA13 * (kM1 - s1[0])) % kM1);
        const uint32_t x2 = uint32_t((kA21 * s2[2] + kA23 * (kM2 - s2[0])) % kM2);
        s1[0] = s1[1], s1[1] = s1[2], s1[2] = x1;
        s2[0] = s2[1], s2[1] = s2[2], s2[2] = x2;
        return int64_t(x1) - int64_t(x2);
    }
};

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
    for (int i = 0; i < n; ++i) {
        const int64_t d = g.step();
        r[i] = uint32_t(d > 0 ? d : d + int64_t(kM1));
    }
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqrdBRngMRG32K3A(StreamState* s, int n, double* r, double a, double b) {
    Mrg g(s);
    const double scale = (b - a) * kNorm;
    for (int i = 0; i < n; ++i) r[i] = __builtin_fma(residue(g.step()), scale, a);
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqrsBRngMRG32K3A(StreamState* s, int n, float* r, float a, float b) {
    Mrg g(s);
    const double scale = (double(b) - double(a)) * kNorm;
    for (int i = 0; i < n; ++i) r[i] = float(__builtin_fma(residue(g.step()), scale, double(a)));
    return VEXA_RNG_OK;
}

}  // extern "C"
