// The work state of the twisters' skip-ahead: the generator's words as a
// ring whose oldest word is at `index`, so that one transition step writes one
// new word (or one 128-bit word) in place of the oldest and moves the index.
#pragma once

#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "common/export.h"
#include "vexa/random.h"

namespace vexa::rng {

template <int Words> struct TwisterRing {
    uint32_t w[Words];
    int32_t index;  // in words
};

// dst ^= src word by word from their oldest words on, in runs where neither
// ring wraps.
template <int Words> void ring_add(TwisterRing<Words>& dst, const TwisterRing<Words>& src) {
    int done = 0;
    while (done < Words) {
        const int d = (dst.index + done) % Words, s = (src.index + done) % Words;
        int run = Words - done;
        if (Words - d < run) run = Words - d;
        if (Words - s < run) run = Words - s;
        int k = 0;
        for (; k + 8 <= run; k += 8) {
            auto* out = reinterpret_cast<__m256i*>(dst.w + d + k);
            const auto* in = reinterpret_cast<const __m256i*>(src.w + s + k);
            _mm256_storeu_si256(out, _mm256_xor_si256(_mm256_loadu_si256(out), _mm256_loadu_si256(in)));
        }
        for (; k < run; ++k) dst.w[d + k] ^= src.w[s + k];
        done += run;
    }
}

// The skip-ahead operations every twister shares: clear, add, and load the
// stream's words (at byte 16) as a ring whose oldest word is the first.
template <int Words> void ring_clear(void* w) { std::memset(w, 0, sizeof(TwisterRing<Words>)); }
template <int Words> void ring_add_to(void* w, const void* other) {
    ring_add(*static_cast<TwisterRing<Words>*>(w), *static_cast<const TwisterRing<Words>*>(other));
}
template <int Words> void ring_load(void* w, const StreamState* s) {
    auto& r = *static_cast<TwisterRing<Words>*>(w);
    std::memcpy(r.w, reinterpret_cast<const char*>(s) + 16, sizeof(uint32_t) * Words);
    r.index = 0;
}

// The ring's words from the oldest on into out[0, Words).
template <int Words> void ring_unroll(uint32_t* out, const TwisterRing<Words>& r) {
    std::memcpy(out, r.w + r.index, sizeof(uint32_t) * size_t(Words - r.index));
    std::memcpy(out + (Words - r.index), r.w, sizeof(uint32_t) * size_t(r.index));
}

}  // namespace vexa::rng
