// The output of the counter-based generators (Philox4x32-10, ARS5): each
// block encrypts the 128-bit counter into four 32-bit words, delivered in
// order, and the counter then steps by one as a 128-bit integer. Words of a
// block not yet delivered wait in the state's buffer with their count.
//
// A generator type G gives
//   State                 its stream block (counter c[4], count, buf[4])
//   blocks(st, out, n)    n whole blocks from the counter into out (4n
//                         words), the counter advanced by n
// and the routines here do the rest: the buffer first, whole blocks, a
// partial block into the buffer; the interval outputs through a chunk of
// words; skip-ahead over the buffer, whole blocks and into a block.
#pragma once

#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "random/core/stream.h"

namespace vexa::rng::counter {

// The 128-bit counter c[0..3] (c[0] least significant) as two 64-bit halves.
struct Counter128 {
    uint64_t lo, hi;
    static VEXA_INLINE Counter128 load(const uint32_t* c) {
        return {uint64_t(c[0]) | uint64_t(c[1]) << 32, uint64_t(c[2]) | uint64_t(c[3]) << 32};
    }
    VEXA_INLINE void store(uint32_t* c) const {
        c[0] = uint32_t(lo), c[1] = uint32_t(lo >> 32), c[2] = uint32_t(hi), c[3] = uint32_t(hi >> 32);
    }
    VEXA_INLINE void add(uint64_t n) {
        lo += n;
        if (lo < n) ++hi;
    }
};

// n blocks from the state's counter into out, advanced by n: Batch blocks at
// a time by batch(c, out) while no carry leaves the counter's low half
// within the batch, the others one at a time by one(c, out).
template <int Batch, class State, class BatchFn, class OneFn>
VEXA_INLINE void run_blocks(State& st, uint32_t* out, int n, BatchFn batch, OneFn one) {
    Counter128 c = Counter128::load(st.c);
    while (n > 0) {
        if (n >= Batch && c.lo <= ~uint64_t(0) - Batch) {
            batch(c, out);
            c.add(Batch);
            out += 4 * Batch;
            n -= Batch;
        } else {
            one(c, out);
            c.add(1);
            out += 4;
            --n;
        }
    }
    c.store(st.c);
}

// dst[0..k) = seeds first .. first + k - 1 where given (n of them), else 0.
// A plain copy: a compiler's if-converted masked loads would read the seed
// array even where it is empty or null.
VEXA_INLINE void seed_words(uint32_t* dst, int k, const uint32_t* seeds, int n, int first) {
    std::memset(dst, 0, std::size_t(k) * 4);
    const int m = std::min(k, n - first);
    if (m > 0) std::memcpy(dst, seeds + first, std::size_t(m) * 4);
}

// Words waiting in the buffer; a count above 4 (only from a damaged image)
// counts as none.
template <class State> VEXA_INLINE uint32_t waiting(const State& st) { return st.count <= 4 ? st.count : 0; }

template <class G> void words(typename G::State& st, int n, uint32_t* out) {
    int i = 0;
    const int left = int(waiting(st));
    const int take = std::min(left, n);
    for (; i < take; ++i) out[i] = st.buf[4 - left + i];
    st.count = uint32_t(left - take);
    const int whole = (n - i) / 4;
    if (whole > 0) G::blocks(st, out + i, whole);
    i += 4 * whole;
    if (i < n) {
        G::blocks(st, st.buf, 1);
        const int rest = n - i;
        for (int k = 0; k < rest; ++k) out[i + k] = st.buf[k];
        st.count = uint32_t(4 - rest);
    }
}

// r = (a + b)/2 + (b - a) 2^-32 w, w the word as a signed integer: one fused
// multiply-add per value, through a chunk of words on the stack.
constexpr int kChunk = 1024;

template <class G> void doubles(typename G::State& st, int n, double* r, double a, double b) {
    alignas(32) uint32_t w[kChunk];
    const double mid = (a + b) * 0.5, scale = (b - a) * 0x1p-32;
    const __m256d vm = _mm256_set1_pd(mid), vs = _mm256_set1_pd(scale);
    for (int done = 0; done < n;) {
        const int m = std::min(kChunk, n - done);
        words<G>(st, m, w);
        int i = 0;
        for (; i + 4 <= m; i += 4) {
            const __m256d x = _mm256_cvtepi32_pd(_mm_load_si128(reinterpret_cast<const __m128i*>(w + i)));
            _mm256_storeu_pd(r + done + i, _mm256_fmadd_pd(x, vs, vm));
        }
        for (; i < m; ++i) r[done + i] = __builtin_fma(double(int32_t(w[i])), scale, mid);
        done += m;
    }
}

template <class G> void floats(typename G::State& st, int n, float* r, float a, float b) {
    alignas(32) uint32_t w[kChunk];
    const float mid = (a + b) * 0.5f, scale = (b - a) * 0x1p-32f;
    const __m256 vm = _mm256_set1_ps(mid), vs = _mm256_set1_ps(scale);
    for (int done = 0; done < n;) {
        const int m = std::min(kChunk, n - done);
        words<G>(st, m, w);
        int i = 0;
        for (; i + 8 <= m; i += 8) {
            const __m256 x = _mm256_cvtepi32_ps(_mm256_load_si256(reinterpret_cast<const __m256i*>(w + i)));
            _mm256_storeu_ps(r + done + i, _mm256_fmadd_ps(x, vs, vm));
        }
        for (; i < m; ++i) r[done + i] = __builtin_fmaf(float(int32_t(w[i])), scale, mid);
        done += m;
    }
}

// Skip-ahead by n words: the buffer first, then whole blocks by the counter,
// and a last partial block computed into the buffer.
template <class G> void skip(typename G::State& st, uint64_t n) {
    const uint64_t left = waiting(st);
    if (n <= left) {
        st.count = uint32_t(left - n);
        return;
    }
    n -= left;
    st.count = 0;
    Counter128 c = Counter128::load(st.c);
    c.add(n / 4);
    c.store(st.c);
    const int rest = int(n % 4);
    if (rest != 0) {
        G::blocks(st, st.buf, 1);
        st.count = uint32_t(4 - rest);
    }
}

}  // namespace vexa::rng::counter
