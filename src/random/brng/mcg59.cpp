// MCG59: x <- a x mod 2^59, a = 13^13. Integer output: the 64-bit states (two
// words, low first); double and float: a + (b - a) x 2^-59.
#include <immintrin.h>

#include <cstdint>

#include "random/brng/mcg.h"
#include "vexa/rng_engines.h"

namespace {

using namespace vexa::rng;

struct Mcg59 {
    using word = uint64_t;
    static constexpr int32_t kKind = 1;
    static constexpr uint64_t kMask = (uint64_t(1) << 59) - 1;
    static constexpr uint64_t kMultiplier = 302875106592253ull;  // 13^13
    static constexpr double kUnit = 0x1p-59;
    static constexpr float kUnitFloat = 0x1p-59f;
    static VEXA_INLINE uint64_t mul(uint64_t x, uint64_t a) { return x * a & kMask; }
    // The low 64 bits of x a from 32-bit halves, then the low 59.
    static VEXA_INLINE __m256i vmul(__m256i x, __m256i a) {
        using namespace vexa::simd;
        return and_bits(mul64_low(x, a), splat64(kMask));
    }
    // High half ORed into 2^84's mantissa, low half into 2^52's: both exact,
    // one rounding in their sum, as a direct conversion rounds.
    static VEXA_INLINE __m256d to_double(__m256i v) {
        using namespace vexa::simd;
        const __m256i bias_hi = splat64(0x4530000000000000ull);  // 2^84
        const __m256d hi = from_int<double>(or_bits(shr64<32>(v), bias_hi)) - from_int<double>(bias_hi);
        return hi + small_to_double(and_bits(v, splat64(0xFFFFFFFFu)));
    }
    static VEXA_INLINE double to_double(uint64_t x) { return double(x); }
};

}  // namespace

extern "C" {

VEXA_EXPORT int __tqrBRngMCG59InitStream(int method, StreamState* s, int n, const uint32_t* params) {
    if (method == VEXA_RNG_INIT_STANDARD) {
        uint64_t x = 1;
        if (n >= 1) x = params[0] + (n >= 2 ? (uint64_t(params[1] & 0x7FFFFFFu) << 32) : 0);
        state_x<Mcg59>(s) = x == 0 ? 1 : x;
        return init_lanes<Mcg59>(s);
    }
    if (method == VEXA_RNG_INIT_LEAPFROG || method == VEXA_RNG_INIT_SKIPAHEAD)
        return leapfrog_or_skip<Mcg59>(method, s, n, params);
    return VEXA_RNG_BAD_METHOD;
}
VEXA_EXPORT int __tqrdBRngMCG59(StreamState* s, int n, double* r, double a, double b) {
    return output_double<Mcg59>(s, n, r, a, b);
}
VEXA_EXPORT int __tqrsBRngMCG59(StreamState* s, int n, float* r, float a, float b) {
    return output_float<Mcg59>(s, n, r, a, b);
}
VEXA_EXPORT int __tqriBRngMCG59(StreamState* s, int n, uint32_t* r) { return output_words<Mcg59>(s, n, r); }

VEXA_MCG_ENGINES(mcg59, Mcg59)

}  // extern "C"
