// ARS5: five AES rounds on the 128-bit counter with a Weyl-sequence key
// schedule (Salmon, Moraes, Dror, Shaw, "Parallel random numbers: as easy as
// 1, 2, 3", SC 2011): x = counter ^ key, then aesenc with key + W, key + 2W,
// key + 3W, key + 4W and aesenclast with key + 5W, W = (0x9E3779B97F4A7C15,
// 0xBB67AE8584CAA73B) added per 64-bit lane. Eight blocks are in flight at a
// time, so that the AES unit's latency is hidden. Every routine but the
// standard initialisation refuses with -1140 on a processor without AES,
// before touching the state.
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
struct ArsState {
    StreamState head;
    uint32_t key[4];
    uint32_t c[4];
    uint32_t count;
    uint32_t buf[4];
};
#pragma pack(pop)
static_assert(sizeof(ArsState) == registry_size::ARS5);

constexpr int kInFlight = 8;

struct RoundKeys {
    __m128i k[6];
};

// The AES instructions for the block routines only (callers check the processor).
#ifdef __clang__  // (the instrumented fuzzing build)
#pragma clang attribute push(__attribute__((target("aes"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("aes")
#endif

VEXA_INLINE __m128i encrypt(__m128i ctr, const RoundKeys& rk) {
    __m128i x = _mm_xor_si128(ctr, rk.k[0]);
    x = _mm_aesenc_si128(x, rk.k[1]);
    x = _mm_aesenc_si128(x, rk.k[2]);
    x = _mm_aesenc_si128(x, rk.k[3]);
    x = _mm_aesenc_si128(x, rk.k[4]);
    return _mm_aesenclast_si128(x, rk.k[5]);
}

struct Ars {
    using State = ArsState;
    static void blocks(State& st, uint32_t* out, int n) {
        RoundKeys rk;
        rk.k[0] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(st.key));
        const __m128i weyl = _mm_set_epi64x(int64_t(0xBB67AE8584CAA73Bull), int64_t(0x9E3779B97F4A7C15ull));
        for (int i = 1; i < 6; ++i) rk.k[i] = _mm_add_epi64(rk.k[i - 1], weyl);
        const auto at = [](Counter128 c) { return _mm_set_epi64x(int64_t(c.hi), int64_t(c.lo)); };
        counter::run_blocks<kInFlight>(
            st, out, n,
            [&](Counter128 c, uint32_t* o) {
                __m128i x[kInFlight];
                for (int j = 0; j < kInFlight; ++j) x[j] = _mm_add_epi64(at(c), _mm_set_epi64x(0, j));
                for (int j = 0; j < kInFlight; ++j) x[j] = encrypt(x[j], rk);
                for (int j = 0; j < kInFlight; ++j) _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 4 * j), x[j]);
            },
            [&](Counter128 c, uint32_t* o) { _mm_storeu_si128(reinterpret_cast<__m128i*>(o), encrypt(at(c), rk)); });
    }
};

#ifdef __clang__
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

ArsState& state(StreamState* s) { return state_of<ArsState>(s); }

}  // namespace

extern "C" {

// Standard initialisation: the key's words = seeds 0..3 and the counter's =
// seeds 4..7 where given, else 0; an empty buffer. No processor check here.
VEXA_EXPORT int __tqrBRngARS5InitStream(int method, StreamState* s, int n, const uint32_t* params) {
    ArsState& st = state(s);
    if (method == VEXA_RNG_INIT_STANDARD) {
        counter::seed_words(st.key, 4, params, n, 0);
        counter::seed_words(st.c, 4, params, n, 4);
        st.count = 0;
        std::memset(st.buf, 0, sizeof st.buf);
        return VEXA_RNG_OK;
    }
    if (method == VEXA_RNG_INIT_LEAPFROG) return VEXA_RNG_NO_LEAPFROG;
    if (method == VEXA_RNG_INIT_SKIPAHEAD) {
        if (!__tqrCPUisAES()) return VEXA_RNG_NO_AES;
        counter::skip<Ars>(st, skip_count(params));
        return VEXA_RNG_OK;
    }
    return VEXA_RNG_BAD_METHOD;
}
VEXA_EXPORT int __tqrdBRngARS5(StreamState* s, int n, double* r, double a, double b) {
    if (!__tqrCPUisAES()) return VEXA_RNG_NO_AES;
    if (n > 0) counter::doubles<Ars>(state(s), n, r, a, b);
    return VEXA_RNG_OK;
}
VEXA_EXPORT int __tqrsBRngARS5(StreamState* s, int n, float* r, float a, float b) {
    if (!__tqrCPUisAES()) return VEXA_RNG_NO_AES;
    if (n > 0) counter::floats<Ars>(state(s), n, r, a, b);
    return VEXA_RNG_OK;
}
VEXA_EXPORT int __tqriBRngARS5(StreamState* s, int n, uint32_t* r) {
    if (!__tqrCPUisAES()) return VEXA_RNG_NO_AES;
    if (n > 0) counter::words<Ars>(state(s), n, r);
    return VEXA_RNG_OK;
}

}  // extern "C"
