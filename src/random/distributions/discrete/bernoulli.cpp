// Bernoulli: 1 with probability p. Float uniforms on [0, 1) go into the
// output array and each becomes 1 when (float) p > u, compared as the bit
// patterns of the two non-negative floats (the same order as their values).
#include <immintrin.h>

#include <cstring>

#include "random/distributions/frame.h"

extern "C" VEXA_EXPORT int _tqriRngBernoulli(int, StreamState* s, int n, int32_t* r, double p) {
    using namespace vexa;
    using namespace vexa::rng;
    const int st = _tqrsRngUniform(0, s, n, reinterpret_cast<float*>(r), 0.0f, 1.0f);
    if (st < 0) return st;
    const float pf = float(p);
    int32_t bits;
    std::memcpy(&bits, &pf, sizeof bits);
    const __m256i vp = _mm256_set1_epi32(bits), one = _mm256_set1_epi32(1);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i u = simd::loadu_int(r + i);
        simd::storeu_int(r + i, _mm256_and_si256(_mm256_cmpgt_epi32(vp, u), one));
    }
    for (; i < n; ++i) r[i] = bits > r[i] ? 1 : 0;
    return st;
}
