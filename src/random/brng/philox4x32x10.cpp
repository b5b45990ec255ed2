// PHILOX4X32X10: the Philox 4x32 bijection with ten rounds (Salmon, Moraes,
// Dror, Shaw, "Parallel random numbers: as easy as 1, 2, 3", SC 2011) on the
// 128-bit counter under the 64-bit key. A round:
//   (hi0, lo0) = 0xD2511F53 c0, (hi1, lo1) = 0xCD9E8D57 c2 (64-bit products)
//   c = (hi1 ^ c1 ^ k0, lo1, hi0 ^ c3 ^ k1, lo0)
// and the key steps by (0x9E3779B9, 0xBB67AE85) between rounds.
//
// Blocks go twelve at a time: each of three registers holds four blocks, one
// counter word per 64-bit lane, so that a 32 x 32 -> 64-bit multiply gives
// each product whole; the high halves of the lanes carry garbage that only
// ever meets the multiplies' ignored halves and is blended away on output.
#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "random/brng/counter.h"
#include "random/core/stream.h"

namespace {

using namespace vexa::rng;
using counter::Counter128;

// Packed to 4 bytes: the registry gives the block size without padding.
#pragma pack(push, 4)
struct PhiloxState {
    StreamState head;
    uint32_t k[2];
    uint32_t c[4];
    uint32_t count;
    uint32_t buf[4];
};
#pragma pack(pop)
static_assert(sizeof(PhiloxState) == registry_size::PHILOX4X32X10);

constexpr uint32_t kM0 = 0xD2511F53u, kM1 = 0xCD9E8D57u;
constexpr uint32_t kW0 = 0x9E3779B9u, kW1 = 0xBB67AE85u;
constexpr int kRounds = 10;
constexpr int kSets = 3;  // registers of four blocks per step (fastest measured: 2 leaves ports idle, 4 spills)

VEXA_INLINE void block(uint32_t k0, uint32_t k1, Counter128 ctr, uint32_t* out) {
    uint32_t c0 = uint32_t(ctr.lo), c1 = uint32_t(ctr.lo >> 32), c2 = uint32_t(ctr.hi), c3 = uint32_t(ctr.hi >> 32);
    for (int r = 0; r < kRounds; ++r) {
        const uint64_t p0 = uint64_t(kM0) * c0, p1 = uint64_t(kM1) * c2;
        const uint32_t n0 = uint32_t(p1 >> 32) ^ c1 ^ k0, n2 = uint32_t(p0 >> 32) ^ c3 ^ k1;
        c0 = n0, c1 = uint32_t(p1), c2 = n2, c3 = uint32_t(p0);
        k0 += kW0, k1 += kW1;
    }
    out[0] = c0, out[1] = c1, out[2] = c2, out[3] = c3;
}

// 4 kSets blocks for the counters ctr .. ctr + 4 kSets - 1 (no carry out of
// the low half among them).
VEXA_INLINE void batch(uint32_t k0, uint32_t k1, Counter128 ctr, uint32_t* out) {
    __m256i x0[kSets], x1[kSets], x2[kSets], x3[kSets];
    const __m256i base = _mm256_set1_epi64x(int64_t(ctr.lo));
    for (int s = 0; s < kSets; ++s) {
        const __m256i lo = _mm256_add_epi64(base, _mm256_setr_epi64x(4 * s, 4 * s + 1, 4 * s + 2, 4 * s + 3));
        x0[s] = lo;
        x1[s] = _mm256_srli_epi64(lo, 32);
        x2[s] = _mm256_set1_epi64x(int64_t(ctr.hi & 0xFFFFFFFFu));
        x3[s] = _mm256_set1_epi64x(int64_t(ctr.hi >> 32));
    }
    const __m256i m0 = _mm256_set1_epi64x(kM0), m1 = _mm256_set1_epi64x(kM1);
    __m256i key0 = _mm256_set1_epi32(int32_t(k0)), key1 = _mm256_set1_epi32(int32_t(k1));
    const __m256i w0 = _mm256_set1_epi32(int32_t(kW0)), w1 = _mm256_set1_epi32(int32_t(kW1));
    for (int r = 0; r < kRounds; ++r) {
        for (int s = 0; s < kSets; ++s) {
            const __m256i p0 = _mm256_mul_epu32(x0[s], m0), p1 = _mm256_mul_epu32(x2[s], m1);
            x0[s] = _mm256_xor_si256(_mm256_xor_si256(_mm256_srli_epi64(p1, 32), x1[s]), key0);
            x2[s] = _mm256_xor_si256(_mm256_xor_si256(_mm256_srli_epi64(p0, 32), x3[s]), key1);
            x1[s] = p1;
            x3[s] = p0;
        }
        key0 = _mm256_add_epi32(key0, w0);
        key1 = _mm256_add_epi32(key1, w1);
    }
    for (int s = 0; s < kSets; ++s) {
        // (w0, w1) and (w2, w3) of each block in its 64-bit lane, then blocks in order.
        const __m256i t01 = _mm256_blend_epi32(x0[s], _mm256_slli_epi64(x1[s], 32), 0xAA);
        const __m256i t23 = _mm256_blend_epi32(x2[s], _mm256_slli_epi64(x3[s], 32), 0xAA);
        const __m256i even = _mm256_unpacklo_epi64(t01, t23), odd = _mm256_unpackhi_epi64(t01, t23);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 16 * s), _mm256_permute2x128_si256(even, odd, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 16 * s + 8), _mm256_permute2x128_si256(even, odd, 0x31));
    }
}

struct Philox {
    using State = PhiloxState;
    static void blocks(State& st, uint32_t* out, int n) {
        const uint32_t k0 = st.k[0], k1 = st.k[1];
        counter::run_blocks<4 * kSets>(
            st, out, n, [&](Counter128 c, uint32_t* o) { batch(k0, k1, c, o); },
            [&](Counter128 c, uint32_t* o) { block(k0, k1, c, o); });
    }
};

PhiloxState& state(StreamState* s) { return state_of<PhiloxState>(s); }

}  // namespace

extern "C" {

// Standard initialisation: k0, k1 = seeds 0, 1 and c0..c3 = seeds 2..5 where
// given, else 0; an empty buffer.
VEXA_EXPORT int __tqrBRngPHILOX4X32X10InitStream(int method, StreamState* s, int n, const uint32_t* params) {
    PhiloxState& st = state(s);
    if (method == VEXA_RNG_INIT_STANDARD) {
        counter::seed_words(st.k, 2, params, n, 0);
        counter::seed_words(st.c, 4, params, n, 2);
        st.count = 0;
        std::memset(st.buf, 0, sizeof st.buf);
        return VEXA_RNG_OK;
    }
    if (method == VEXA_RNG_INIT_LEAPFROG) return VEXA_RNG_NO_LEAPFROG;
    if (method == VEXA_RNG_INIT_SKIPAHEAD) {
        counter::skip<Philox>(st, skip_count(params));
        return VEXA_RNG_OK;
    }
    return VEXA_RNG_BAD_METHOD;
}
VEXA_EXPORT int __tqrdBRngPHILOX4X32X10(StreamState* s, int n, double* r, double a, double b) {
    if (n > 0) counter::doubles<Philox>(state(s), n, r, a, b);
    return VEXA_RNG_OK;
}
VEXA_EXPORT int __tqrsBRngPHILOX4X32X10(StreamState* s, int n, float* r, float a, float b) {
    if (n > 0) counter::floats<Philox>(state(s), n, r, a, b);
    return VEXA_RNG_OK;
}
VEXA_EXPORT int __tqriBRngPHILOX4X32X10(StreamState* s, int n, uint32_t* r) {
    if (n > 0) counter::words<Philox>(state(s), n, r);
    return VEXA_RNG_OK;
}

}  // extern "C"
