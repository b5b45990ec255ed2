// MT2203: 6024 Mersenne twisters of 69 words (r = 5), period 2^2203 - 1 each,
// parameter set k for the generator id 0x900000 + k:
//   y = (mt[i] & 0xFFFFFFE0) | (mt[i+1] & 0x1F)
//   mt[i] = mt[i+34] ^ (y >> 1) ^ (a if y is odd)
// tempered with the set's masks: y ^= y >> 12; y ^= (y << 7) & b;
// y ^= (y << 15) & c; y ^= y >> 18. The constants and masks come from
// _tqr_mt2203_table, copied into the state at initialisation. The block of
// 69 words is regenerated eight words at a time in AVX2 lanes where no word
// of the group depends on another (taps 34 ahead, then 35 behind), the rest
// word by word. Outputs through the twisters' shared routines. Standard
// initialisation: the published initialisation by key array over 69 words.
// No leapfrog, no skip-ahead.
#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "random/brng/twister_output.h"
#include "random/core/stream.h"

namespace {

using namespace vexa::rng;

constexpr int kN = 69, kM = 34;
constexpr uint32_t kUpper = 0xFFFFFFE0u, kLower = 0x1Fu;

#pragma pack(push, 4)
struct Mt2203State {
    StreamState head;
    uint32_t mt[kN];
    int32_t position;
    uint32_t a, b, c;
};
#pragma pack(pop)
static_assert(sizeof(Mt2203State) == registry_size::MT2203);
static_assert(offsetof(Mt2203State, position) == 292 && offsetof(Mt2203State, a) == 296 &&
              offsetof(Mt2203State, c) == 304);

Mt2203State& state(StreamState* s) { return state_of<Mt2203State>(s); }

VEXA_INLINE uint32_t twist(uint32_t cur, uint32_t next, uint32_t far, uint32_t a) {
    const uint32_t y = (cur & kUpper) | (next & kLower);
    return far ^ (y >> 1) ^ ((y & 1u) != 0 ? a : 0u);
}

VEXA_INLINE __m256i twist8(__m256i cur, __m256i next, __m256i far, __m256i a) {
    const __m256i y = _mm256_or_si256(_mm256_and_si256(cur, _mm256_set1_epi32(int32_t(kUpper))),
                                      _mm256_and_si256(next, _mm256_set1_epi32(int32_t(kLower))));
    const __m256i odd = _mm256_sub_epi32(_mm256_setzero_si256(), _mm256_and_si256(y, _mm256_set1_epi32(1)));
    return _mm256_xor_si256(_mm256_xor_si256(far, _mm256_srli_epi32(y, 1)), _mm256_and_si256(odd, a));
}

// The next 69 words in place: words 0..34 take their far tap ahead (old),
// words 35..68 behind (new, 35 back); word 68's neighbour is the new word 0.
void regenerate(Mt2203State& st) {
    uint32_t* mt = st.mt;
    const __m256i va = _mm256_set1_epi32(int32_t(st.a));
    auto load = [&](int i) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(mt + i)); };
    auto store = [&](int i, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(mt + i), v); };
    int i = 0;
    for (; i + 8 <= kN - kM; i += 8) store(i, twist8(load(i), load(i + 1), load(i + kM), va));
    for (; i < kN - kM; ++i) mt[i] = twist(mt[i], mt[i + 1], mt[i + kM], st.a);
    for (; i + 8 <= kN - 1; i += 8) store(i, twist8(load(i), load(i + 1), load(i + kM - kN), va));
    for (; i < kN; ++i) mt[i] = twist(mt[i], mt[(i + 1) % kN], mt[i + kM - kN], st.a);
}

struct Mt2203 {
    using State = Mt2203State;
    static constexpr int kWords = kN;
    static uint32_t* words(State& st) { return st.mt; }
    // A position outside the block (only from a damaged image) counts as used up.
    static int consumed(const State& st) { return unsigned(st.position) <= unsigned(kN) ? st.position : kN; }
    static void set_consumed(State& st, int c) { st.position = c; }
    static void regenerate(State& st) { ::regenerate(st); }
    static uint32_t temper(const State& st, uint32_t y) {
        y ^= y >> 12;
        y ^= (y << 7) & st.b;
        y ^= (y << 15) & st.c;
        return y ^ (y >> 18);
    }
    static __m256i temper8(const State& st, __m256i y) {
        y = _mm256_xor_si256(y, _mm256_srli_epi32(y, 12));
        y = _mm256_xor_si256(y, _mm256_and_si256(_mm256_slli_epi32(y, 7), _mm256_set1_epi32(int32_t(st.b))));
        y = _mm256_xor_si256(y, _mm256_and_si256(_mm256_slli_epi32(y, 15), _mm256_set1_epi32(int32_t(st.c))));
        return _mm256_xor_si256(y, _mm256_srli_epi32(y, 18));
    }
};

}  // namespace

extern "C" {

// The published initialisation by key array over 69 words with the n seeds
// (n <= 0: the key {1}), then the set's parameters.
VEXA_EXPORT int __tqrBRngMT2203InitStream(int method, StreamState* s, int n, const uint32_t* params) {
    if (method == VEXA_RNG_INIT_LEAPFROG) return VEXA_RNG_NO_LEAPFROG;
    if (method == VEXA_RNG_INIT_SKIPAHEAD) return VEXA_RNG_NO_SKIPAHEAD;
    if (method != VEXA_RNG_INIT_STANDARD) return VEXA_RNG_BAD_METHOD;
    int32_t set = 0;
    if (record_of(s->brng, &set) == nullptr || set < 0 || set >= VEXA_MT2203_SETS) return VEXA_RNG_INVALID_BRNG;
    static const uint32_t kOne = 1;
    const uint32_t* key = n > 0 ? params : &kOne;
    const int len = n > 0 ? n : 1;
    Mt2203State& st = state(s);
    uint32_t* mt = st.mt;
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
    st.position = kN;
    st.a = _tqr_mt2203_table[set][0];
    st.b = _tqr_mt2203_table[set][1];
    st.c = _tqr_mt2203_table[set][2];
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqriBRngMT2203(StreamState* s, int n, uint32_t* r) {
    if (n > 0) twister::words<Mt2203>(state(s), n, r);
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqrdBRngMT2203(StreamState* s, int n, double* r, double a, double b) {
    if (n > 0) twister::doubles<Mt2203>(state(s), n, r, a, b);
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqrsBRngMT2203(StreamState* s, int n, float* r, float a, float b) {
    if (n > 0) twister::floats<Mt2203>(state(s), n, r, a, b);
    return VEXA_RNG_OK;
}

}  // extern "C"
