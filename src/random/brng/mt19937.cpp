// MT19937: the 32-bit Mersenne twister (Matsumoto and Nishimura, 1998), 624
// words of state, period 2^19937 - 1:
//   y = (mt[i] & 0x80000000) | (mt[i+1] & 0x7FFFFFFF)
//   mt[i] = mt[i+397] ^ (y >> 1) ^ (0x9908B0DF if y is odd)
// and the published tempering. The block of 624 words is regenerated when
// the position index reaches 624, eight words at a time in AVX2 lanes (the
// recurrence reaches 397 ahead and 227 back, so eight neighbours never depend
// on each other); the two groups whose taps wrap around the state go word by
// word. Outputs: the tempered words, through the twisters' shared output
// routines. Standard initialisation: the published
// initialisation by key array. No leapfrog. Skip-ahead by the characteristic
// polynomial of the word step (Horner's scheme below 19937 values, the
// sliding window from there), on a ring of the 624 words: the block at
// position P is the window x[k], ..., x[k + 623] whose next output is
// x[k + P]; skipping n values moves the window by P + n - 624 steps and leaves
// it fully consumed (position 624). The low 31 bits of the oldest word never
// reach an output, so they may differ from those of plain generation.
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

constexpr int kN = 624, kM = 397;
constexpr uint32_t kMatrix = 0x9908B0DFu, kUpper = 0x80000000u, kLower = 0x7FFFFFFFu;

#pragma pack(push, 4)
struct MtState {
    StreamState head;
    uint32_t mt[kN];
    int32_t position;
};
#pragma pack(pop)
static_assert(sizeof(MtState) == registry_size::MT19937);
static_assert(offsetof(MtState, position) == 2512);

VEXA_INLINE uint32_t twist(uint32_t cur, uint32_t next, uint32_t far) {
    const uint32_t y = (cur & kUpper) | (next & kLower);
    return far ^ (y >> 1) ^ ((y & 1u) != 0 ? kMatrix : 0u);
}

VEXA_INLINE __m256i twist8(__m256i cur, __m256i next, __m256i far) {
    const __m256i y = _mm256_or_si256(_mm256_and_si256(cur, _mm256_set1_epi32(int32_t(kUpper))),
                                      _mm256_and_si256(next, _mm256_set1_epi32(int32_t(kLower))));
    const __m256i odd = _mm256_sub_epi32(_mm256_setzero_si256(), _mm256_and_si256(y, _mm256_set1_epi32(1)));
    return _mm256_xor_si256(_mm256_xor_si256(far, _mm256_srli_epi32(y, 1)),
                            _mm256_and_si256(odd, _mm256_set1_epi32(int32_t(kMatrix))));
}

// The next 624 words of the recurrence, in place.
void regenerate(uint32_t* mt) {
    auto load = [&](int i) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(mt + i)); };
    int i = 0;
    for (; i + 8 <= kN - kM; i += 8)  // taps ahead, all old
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(mt + i), twist8(load(i), load(i + 1), load(i + kM)));
    for (; i < 232; ++i) mt[i] = twist(mt[i], mt[i + 1], mt[(i + kM) % kN]);  // the far tap wraps
    for (; i + 8 <= kN - 1; i += 8)  // far taps behind, already new
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(mt + i), twist8(load(i), load(i + 1), load(i + kM - kN)));
    for (; i < kN; ++i) mt[i] = twist(mt[i], mt[(i + 1) % kN], mt[(i + kM) % kN]);
}

VEXA_INLINE uint32_t temper(uint32_t y) {
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    return y ^ (y >> 18);
}

VEXA_INLINE __m256i temper8(__m256i y) {
    y = _mm256_xor_si256(y, _mm256_srli_epi32(y, 11));
    y = _mm256_xor_si256(y, _mm256_and_si256(_mm256_slli_epi32(y, 7), _mm256_set1_epi32(int32_t(0x9D2C5680u))));
    y = _mm256_xor_si256(y, _mm256_and_si256(_mm256_slli_epi32(y, 15), _mm256_set1_epi32(int32_t(0xEFC60000u))));
    return _mm256_xor_si256(y, _mm256_srli_epi32(y, 18));
}

struct Mt19937 {
    using State = MtState;
    static constexpr int kWords = kN;
    static uint32_t* words(State& st) { return st.mt; }
    // A position outside the block (only from a damaged image) counts as used up.
    static int consumed(const State& st) { return unsigned(st.position) <= unsigned(kN) ? st.position : kN; }
    static void set_consumed(State& st, int c) { st.position = c; }
    static void regenerate(State& st) { ::regenerate(st.mt); }
    static uint32_t temper(const State&, uint32_t y) { return ::temper(y); }
    static __m256i temper8(const State&, __m256i v) { return ::temper8(v); }
};

MtState& state(StreamState* s) { return state_of<MtState>(s); }

using Ring = TwisterRing<kN>;
Ring& ring(void* w) { return *static_cast<Ring*>(w); }

const VexaSkipAheadOps kSkipOps = {
    ring_clear<kN>,
    ring_add_to<kN>,
    ring_load<kN>,
    [](void* w) {
        Ring& r = ring(w);
        const int i = r.index;
        r.w[i] = twist(r.w[i], r.w[i + 1 < kN ? i + 1 : 0], r.w[i + kM < kN ? i + kM : i + kM - kN]);
        r.index = i + 1 < kN ? i + 1 : 0;
    },
    [](StreamState* s, const void* w, unsigned long long) {
        ring_unroll(state(s).mt, *static_cast<const Ring*>(w));
        state(s).position = kN;
    },
    [](StreamState* s, unsigned long long n, unsigned long long* steps) {
        const int position = Mt19937::consumed(state(s));
        const unsigned long long left = unsigned(kN - position);
        if (n <= left) {
            state(s).position = position + int32_t(n);
            return 1;
        }
        *steps = n - left;
        return 0;
    },
};

}  // namespace

extern "C" {

// The published initialisation by key array with the n seeds (n <= 0: the
// key {1}); the first output regenerates the block.
VEXA_EXPORT int __tqrBRngMT19937InitStream(int method, StreamState* s, int n, const uint32_t* params) {
    if (method == VEXA_RNG_INIT_LEAPFROG) return VEXA_RNG_NO_LEAPFROG;
    if (method == VEXA_RNG_INIT_SKIPAHEAD) {
        const uint64_t nskip = skip_count(params);
        return (nskip < 19937 ? __tqr_SkipAheadHorner : __tqr_SkipAheadSWin)(
            s, &kSkipOps, nskip, 19937, _tqr_mt19937_poly, VEXA_MT19937_POLY_TERMS, int(sizeof(Ring)));
    }
    if (method != VEXA_RNG_INIT_STANDARD) return VEXA_RNG_BAD_METHOD;
    static const uint32_t kOne = 1;
    const uint32_t* key = n > 0 ? params : &kOne;
    const int len = n > 0 ? n : 1;
    uint32_t* mt = state(s).mt;
    mt[0] = 19650218u;
    for (int i = 1; i < kN; ++i) mt[i] = 1812433253u * (mt[i - 1] ^ (mt[i - 1] >> 30)) + uint32_t(i);
    int i = 1, j = 0;
    for (int k = std::max(kN, len); k > 0; --k) {
        mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1664525u)) + key[j] + uint32_t(j);
        if (++i >= kN) {
            mt[0] = mt[kN - 1];
            i = 1;
        }
        if (++j >= len) j = 0;
    }
    for (int k = kN - 1; k > 0; --k) {
        mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1566083941u)) - uint32_t(i);
        if (++i >= kN) {
            mt[0] = mt[kN - 1];
            i = 1;
        }
    }
    mt[0] = 0x80000000u;
    state(s).position = kN;
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqriBRngMT19937(StreamState* s, int n, uint32_t* r) {
    if (n > 0) twister::words<Mt19937>(state(s), n, r);
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqrdBRngMT19937(StreamState* s, int n, double* r, double a, double b) {
    if (n > 0) twister::doubles<Mt19937>(state(s), n, r, a, b);
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqrsBRngMT19937(StreamState* s, int n, float* r, float a, float b) {
    if (n > 0) twister::floats<Mt19937>(state(s), n, r, a, b);
    return VEXA_RNG_OK;
}

}  // extern "C"
