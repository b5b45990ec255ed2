// MCG31M1: x <- a x mod (2^31 - 1), a = 1132489760. Integer output: the
// states; double: a + (b - a) x / (2^31 - 1); float: a + (b - a) x 2^-31.
#include <immintrin.h>

#include <cstdint>

#include "random/brng/mcg.h"
#include "vexa/rng_engines.h"

namespace {

using namespace vexa::rng;

struct Mcg31 {
    using word = uint32_t;
    static constexpr int32_t kKind = 0;
    static constexpr uint32_t kModulus = 0x7FFFFFFFu;
    static constexpr uint32_t kMultiplier = 1132489760u;
    static constexpr double kUnit = 1.0 / 2147483647.0;
    static constexpr float kUnitFloat = 0x1p-31f;
    // A 62-bit product folded twice: 2^31 = 1 modulo 2^31 - 1.
    static VEXA_INLINE uint32_t fold(uint64_t p) {
        p = (p & kModulus) + (p >> 31);
        p = (p & kModulus) + (p >> 31);
        return uint32_t(p);
    }
    static VEXA_INLINE uint32_t mul(uint32_t x, uint32_t a) { return fold(uint64_t(x) * a); }
    static VEXA_INLINE __m256i vmul(__m256i x, __m256i a) {
        using namespace vexa::simd;
        return fold_mersenne<31>(fold_mersenne<31>(mul32(x, a)));
    }
    static VEXA_INLINE __m256d to_double(__m256i v) { return vexa::simd::small_to_double(v); }
    static VEXA_INLINE double to_double(uint32_t x) { return double(x); }
};

}  // namespace

extern "C" {

VEXA_EXPORT int __tqrBRngMCG31M1InitStream(int method, StreamState* s, int n, const uint32_t* params) {
    if (method == VEXA_RNG_INIT_STANDARD) {
        uint32_t x = n >= 1 ? params[0] % Mcg31::kModulus : 1;
        state_x<Mcg31>(s) = x == 0 ? 1 : x;
        return init_lanes<Mcg31>(s);
    }
    if (method == VEXA_RNG_INIT_LEAPFROG || method == VEXA_RNG_INIT_SKIPAHEAD)
        return leapfrog_or_skip<Mcg31>(method, s, n, params);
    return VEXA_RNG_BAD_METHOD;
}
VEXA_EXPORT int __tqrdBRngMCG31M1(StreamState* s, int n, double* r, double a, double b) {
    return output_double<Mcg31>(s, n, r, a, b);
}
VEXA_EXPORT int __tqrsBRngMCG31M1(StreamState* s, int n, float* r, float a, float b) {
    return output_float<Mcg31>(s, n, r, a, b);
}
VEXA_EXPORT int __tqriBRngMCG31M1(StreamState* s, int n, uint32_t* r) { return output_words<Mcg31>(s, n, r); }

VEXA_MCG_ENGINES(mcg31m1, Mcg31)

}  // extern "C"
