// SFMT19937: the SIMD-oriented fast Mersenne twister (Saito and Matsumoto,
// 2008) on 156 words of 128 bits, period a multiple of 2^19937 - 1:
//   w[k + 156] = a ^ (a << 8) ^ ((b >> 11) & mask) ^ (c >> 8) ^ (d << 18)
// with a = w[k], b = w[k + 122], c = w[k + 154], d = w[k + 155], the 128-bit
// shifts by whole bytes (a << 8, c >> 8) and the others per 32-bit word. The
// block of 156 words (624 outputs, untempered) is regenerated in place two
// words at a time in AVX2 lanes.
//
// Position words: at byte 2528 the number of words of the current block
// already delivered, 0 when the block is used up (or is the seeded state),
// so that the next output regenerates it; at byte 2532 the number of blocks
// regenerated since initialisation, modulo 2^32 (skip-ahead leaves it).
// Standard initialisation: the published initialisation by key array with
// the period certification (n <= 0: the key {1}). No leapfrog. Skip-ahead by
// the characteristic polynomial of the 128-bit step, on a ring of the
// state: nskip values move the window of 156 words by whole steps and leave
// the block position at 621 to 624 (0) words, so that the next output is the
// one after the skipped values.
#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "random/brng/twister_output.h"
#include "random/brng/twister_ring.h"
#include "random/core/stream.h"

namespace {

using namespace vexa::rng;

constexpr int kN = 156, kWords = 4 * kN, kPos = 122;
constexpr uint32_t kMask[4] = {0xdfffffefu, 0xddfecb7fu, 0xbffaffffu, 0xbffffff6u};
constexpr uint32_t kParity[4] = {0x00000001u, 0x00000000u, 0x00000000u, 0x13c9e684u};

#pragma pack(push, 4)
struct SfmtState {
    StreamState head;
    uint32_t w[kWords];
    uint32_t reserved[4];
    int32_t position;  // words of the block delivered; 0: used up
    uint32_t blocks;   // blocks regenerated since initialisation
};
#pragma pack(pop)
static_assert(sizeof(SfmtState) == registry_size::SFMT19937);
static_assert(offsetof(SfmtState, position) == 2528 && offsetof(SfmtState, blocks) == 2532);

SfmtState& state(StreamState* s) { return state_of<SfmtState>(s); }

// The terms of a and b of two steps.
VEXA_INLINE __m256i ab_terms(__m256i a, __m256i b) {
    const __m256i mask = _mm256_setr_epi32(int32_t(kMask[0]), int32_t(kMask[1]), int32_t(kMask[2]),
                                           int32_t(kMask[3]), int32_t(kMask[0]), int32_t(kMask[1]),
                                           int32_t(kMask[2]), int32_t(kMask[3]));
    return _mm256_xor_si256(_mm256_xor_si256(a, _mm256_slli_si256(a, 1)),
                            _mm256_and_si256(_mm256_srli_epi32(b, 11), mask));
}

VEXA_INLINE __m128i step1(__m128i a, __m128i b, __m128i c, __m128i d) {
    const __m128i mask = _mm_setr_epi32(int32_t(kMask[0]), int32_t(kMask[1]), int32_t(kMask[2]), int32_t(kMask[3]));
    const __m128i x = _mm_xor_si128(a, _mm_slli_si128(a, 1));
    const __m128i y = _mm_and_si128(_mm_srli_epi32(b, 11), mask);
    return _mm_xor_si128(_mm_xor_si128(x, y), _mm_xor_si128(_mm_srli_si128(c, 1), _mm_slli_epi32(d, 18)));
}

// The next 156 words in place, two at a time: the terms of a and b of both
// in one AVX2 register, then those of c and d in sequence, each word's d
// being the word before it, so that the chain from one word to the next is
// one shift and one exclusive or.
void regenerate(uint32_t* w) {
    auto at = [&](int k) { return reinterpret_cast<__m256i*>(w + 4 * k); };
    __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 4 * (kN - 2)));
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 4 * (kN - 1)));
    for (int k = 0; k < kN; k += 2) {  // b's pair never straddles the wrap: 156 - 122 is even
        const int kb = k + kPos < kN ? k + kPos : k + kPos - kN;
        const __m256i x = ab_terms(_mm256_loadu_si256(at(k)), _mm256_loadu_si256(at(kb)));
        const __m128i r0 = _mm_xor_si128(_mm_xor_si128(_mm256_castsi256_si128(x), _mm_srli_si128(c, 1)),
                                         _mm_slli_epi32(d, 18));
        const __m128i r1 = _mm_xor_si128(_mm_xor_si128(_mm256_extracti128_si256(x, 1), _mm_srli_si128(d, 1)),
                                         _mm_slli_epi32(r0, 18));
        _mm256_storeu_si256(at(k), _mm256_inserti128_si256(_mm256_castsi128_si256(r0), r1, 1));
        c = r0;
        d = r1;
    }
}

struct Sfmt19937 {
    using State = SfmtState;
    static constexpr int kWords = ::kWords;
    static uint32_t* words(State& st) { return st.w; }
    // 0, or a position outside the block (only from a damaged image): used up.
    static int consumed(const State& st) { return unsigned(st.position - 1) < unsigned(kWords - 1) ? st.position : kWords; }
    static void set_consumed(State& st, int c) { st.position = c == kWords ? 0 : c; }
    static void regenerate(State& st) {
        ::regenerate(st.w);
        ++st.blocks;
    }
    static uint32_t temper(const State&, uint32_t y) { return y; }
    static __m256i temper8(const State&, __m256i v) { return v; }
};

using Ring = TwisterRing<kWords>;
Ring& ring(void* w) { return *static_cast<Ring*>(w); }

// The window moves by ceil((n - left) / 4) steps of 128 bits, and the
// position lands 0 to 3 words short of the block's end.
uint64_t steps_for(int position, uint64_t n) {
    const uint64_t left = uint64_t(kWords - position);
    const uint64_t beyond = n - left;
    return beyond / 4 + (beyond % 4 != 0);
}

const VexaSkipAheadOps kSkipOps = {
    ring_clear<kWords>,
    ring_add_to<kWords>,
    ring_load<kWords>,
    [](void* w) {
        Ring& r = ring(w);
        const int k = r.index / 4;
        auto word = [&](int j) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(r.w + 4 * (j % kN))); };
        const __m128i next = step1(word(k), word(k + kPos), word(k + kN - 2), word(k + kN - 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(r.w + 4 * k), next);
        r.index = 4 * ((k + 1) % kN);
    },
    [](StreamState* s, const void* w, unsigned long long n) {
        SfmtState& st = state(s);
        const int delivered = Sfmt19937::consumed(st);
        const uint64_t left = uint64_t(kWords - delivered);
        const uint64_t short_by = 4 * steps_for(delivered, n) - (n - left);
        ring_unroll(st.w, *static_cast<const Ring*>(w));
        st.position = int32_t((kWords - short_by) % kWords);
    },
    [](StreamState* s, unsigned long long n, unsigned long long* steps) {
        SfmtState& st = state(s);
        const int delivered = Sfmt19937::consumed(st);
        if (n <= unsigned(kWords - delivered)) {
            st.position = int32_t((delivered + int(n)) % kWords);
            return 1;
        }
        *steps = steps_for(delivered, n);
        return 0;
    },
};

}  // namespace

extern "C" {

VEXA_EXPORT int __tqrBRngSFMT19937InitStream(int method, StreamState* s, int n, const uint32_t* params) {
    if (method == VEXA_RNG_INIT_LEAPFROG) return VEXA_RNG_NO_LEAPFROG;
    if (method == VEXA_RNG_INIT_SKIPAHEAD) {
        const uint64_t nskip = skip_count(params);
        return (nskip < 19968 ? __tqr_SkipAheadHorner : __tqr_SkipAheadSWin)(
            s, &kSkipOps, nskip, 19968, _tqr_sfmt19937_poly, VEXA_SFMT19937_POLY_TERMS, int(sizeof(Ring)));
    }
    if (method != VEXA_RNG_INIT_STANDARD) return VEXA_RNG_BAD_METHOD;
    static const uint32_t kOne = 1;
    const uint32_t* key = n > 0 ? params : &kOne;
    const int len = n > 0 ? n : 1;
    SfmtState& st = state(s);
    uint32_t* w = st.w;
    constexpr int lag = 11, mid = (kWords - lag) / 2;
    auto f1 = [](uint32_t x) { return (x ^ (x >> 27)) * 1664525u; };
    auto f2 = [](uint32_t x) { return (x ^ (x >> 27)) * 1566083941u; };
    std::fill(w, w + kWords, 0x8b8b8b8bu);
    const int count = std::max(len + 1, kWords) - 1;
    uint32_t r = f1(w[0] ^ w[mid] ^ w[kWords - 1]);
    w[mid] += r;
    r += uint32_t(len);
    w[mid + lag] += r;
    w[0] = r;
    int i = 1;
    for (int j = 0; j < count; ++j) {
        r = f1(w[i] ^ w[(i + mid) % kWords] ^ w[(i + kWords - 1) % kWords]);
        w[(i + mid) % kWords] += r;
        r += (j < len ? key[j] : 0u) + uint32_t(i);
        w[(i + mid + lag) % kWords] += r;
        w[i] = r;
        i = (i + 1) % kWords;
    }
    for (int j = 0; j < kWords; ++j) {
        r = f2(w[i] + w[(i + mid) % kWords] + w[(i + kWords - 1) % kWords]);
        w[(i + mid) % kWords] ^= r;
        r -= uint32_t(i);
        w[(i + mid + lag) % kWords] ^= r;
        w[i] = r;
        i = (i + 1) % kWords;
    }
    // Period certification: the state's inner product with the parity words
    // must be odd; if not, flip the lowest bit of the parity words.
    uint32_t inner = 0;
    for (int k = 0; k < 4; ++k) inner ^= w[k] & kParity[k];
    inner ^= inner >> 16;
    inner ^= inner >> 8;
    inner ^= inner >> 4;
    inner ^= inner >> 2;
    inner ^= inner >> 1;
    if ((inner & 1u) == 0) {
        for (int k = 0; k < 4; ++k)
            if (kParity[k] != 0) {
                w[k] ^= kParity[k] & (0u - kParity[k]);
                break;
            }
    }
    std::memset(st.reserved, 0, sizeof st.reserved);
    st.position = 0;
    st.blocks = 0;
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqriBRngSFMT19937(StreamState* s, int n, uint32_t* r) {
    if (n > 0) twister::words<Sfmt19937>(state(s), n, r);
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqrdBRngSFMT19937(StreamState* s, int n, double* r, double a, double b) {
    if (n > 0) twister::doubles<Sfmt19937>(state(s), n, r, a, b);
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqrsBRngSFMT19937(StreamState* s, int n, float* r, float a, float b) {
    if (n > 0) twister::floats<Sfmt19937>(state(s), n, r, a, b);
    return VEXA_RNG_OK;
}

}  // extern "C"
