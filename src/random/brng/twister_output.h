// The outputs of the twisters, shared by MT19937, MT2203 and SFMT19937: the
// words of the current block from the position on, the block regenerated
// when it is used up, each word tempered (or not), eight at a time in AVX2
// lanes. Doubles and floats: a + (b - a) y 2^-32 with y the word unsigned, by
// one fused multiply-add on the exact y (double) or on y rounded once to
// float.
//
// A generator type G gives
//   State, kWords                         its stream block and block length
//   words(st)                             the block
//   consumed(st), set_consumed(st, c)     words of the block already delivered
//   regenerate(st)                        the next block in place
//   temper(st, y), temper8(st, v)         the output word(s) of block word(s)
#pragma once

#include <immintrin.h>

#include <algorithm>
#include <cstdint>

#include "common/export.h"

namespace vexa::rng::twister {

template <class G, class Put8, class Put1>
VEXA_INLINE void produce(typename G::State& st, int n, Put8 put8, Put1 put1) {
    int done = 0;
    while (done < n) {
        int c = G::consumed(st);
        if (c >= G::kWords) {
            G::regenerate(st);
            c = 0;
        }
        const uint32_t* w = G::words(st) + c;
        const int take = std::min(n - done, G::kWords - c);
        int k = 0;
        for (; k + 8 <= take; k += 8)
            put8(done + k, G::temper8(st, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + k))));
        for (; k < take; ++k) put1(done + k, G::temper(st, w[k]));
        G::set_consumed(st, c + take);
        done += take;
    }
}

template <class G> void words(typename G::State& st, int n, uint32_t* r) {
    produce<G>(
        st, n, [&](int i, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(r + i), v); },
        [&](int i, uint32_t y) { r[i] = y; });
}

// Unsigned words to doubles: flip the sign bit, convert, add 2^31 back.
VEXA_INLINE __m256d to_double(__m128i w) {
    const __m256d x = _mm256_cvtepi32_pd(_mm_xor_si128(w, _mm_set1_epi32(int32_t(0x80000000u))));
    return _mm256_add_pd(x, _mm256_set1_pd(0x1p31));
}

template <class G> void doubles(typename G::State& st, int n, double* r, double a, double b) {
    const double scale = (b - a) * 0x1p-32;
    const __m256d vs = _mm256_set1_pd(scale), va = _mm256_set1_pd(a);
    produce<G>(
        st, n,
        [&](int i, __m256i v) {
            _mm256_storeu_pd(r + i, _mm256_fmadd_pd(to_double(_mm256_castsi256_si128(v)), vs, va));
            _mm256_storeu_pd(r + i + 4, _mm256_fmadd_pd(to_double(_mm256_extracti128_si256(v, 1)), vs, va));
        },
        [&](int i, uint32_t y) { r[i] = __builtin_fma(double(y), scale, a); });
}

// float(y) rounded once: the high and low halves are exact in float and
// their fused sum rounds once.
template <class G> void floats(typename G::State& st, int n, float* r, float a, float b) {
    const float scale = (b - a) * 0x1p-32f;
    const __m256 vs = _mm256_set1_ps(scale), va = _mm256_set1_ps(a);
    produce<G>(
        st, n,
        [&](int i, __m256i v) {
            const __m256 hi = _mm256_cvtepi32_ps(_mm256_srli_epi32(v, 16));
            const __m256 lo = _mm256_cvtepi32_ps(_mm256_and_si256(v, _mm256_set1_epi32(0xFFFF)));
            const __m256 y = _mm256_fmadd_ps(hi, _mm256_set1_ps(65536.0f), lo);
            _mm256_storeu_ps(r + i, _mm256_fmadd_ps(y, vs, va));
        },
        [&](int i, uint32_t y) { r[i] = __builtin_fmaf(float(y), scale, a); });
}

}  // namespace vexa::rng::twister
