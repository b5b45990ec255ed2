// Uniform integers a ... b - 1: the floor of double uniforms on [a, b),
// drawn 1024 at a time into a stack buffer.
#include <immintrin.h>

#include <cmath>

#include "random/distributions/frame.h"

extern "C" VEXA_EXPORT int _tqriRngUniform(int, StreamState* s, int n, int32_t* r, int32_t a, int32_t b) {
    using namespace vexa;
    using namespace vexa::rng;
    constexpr int kPass = 1024;
    alignas(32) double u[kPass];
    int st = VEXA_RNG_OK;
    for (int done = 0; done < n; done += kPass) {
        const int k = n - done < kPass ? n - done : kPass;
        if ((st = source::uniform(s, k, u, double(a), double(b))) < 0) return st;
        int32_t* out = r + done;
        int i = 0;
        for (; i + 4 <= k; i += 4)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm256_cvttpd_epi32(simd::floor(simd::load(u + i))));
        for (; i < k; ++i) out[i] = int32_t(std::floor(u[i]));
    }
    return st;
}
