// R250, Kirkpatrick and Stoll's shift-register generator:
// x_n = x_{n-147} XOR x_{n-250} over 32-bit words. Integer output the words;
// double and float a + (b - a) x 2^-32. No leapfrog, no skip-ahead.
#include <immintrin.h>

#include <cstdint>

#include "common/simd.h"
#include "random/core/stream.h"

namespace {

using namespace vexa::rng;

constexpr int kLong = 250, kShort = 147, kJ0 = kLong - kShort;  // j starts at 103

struct R250State {
    StreamState head;
    uint32_t w[kLong];
    int32_t i, j;  // the positions of lags 250 and 147 in w
};
static_assert(sizeof(R250State) == registry_size::R250);

struct R250 {
    uint32_t* w;
    int32_t* i;
    int32_t* j;
    // j always trails i by 147 places; positions outside the state (only
    // from a damaged image) are brought back into it.
    explicit R250(StreamState* s) {
        R250State& st = state_of<R250State>(s);
        w = st.w, i = &st.i, j = &st.j;
        if (unsigned(st.i) >= unsigned(kLong) || st.j != (st.i + kJ0) % kLong) {
            st.i = int32_t(unsigned(st.i) % unsigned(kLong));
            st.j = (st.i + kJ0) % kLong;
        }
    }
};

// n words into r. Long runs: the first 250 from the state, the rest within
// the output (eight at a time: the nearest lag is 147), then the last 250
// become the state.
void words(StreamState* s, int n, uint32_t* r) {
    R250 g(s);
    if (n < kLong) {
        int i = *g.i, j = *g.j;
        for (int t = 0; t < n; ++t) {
            const uint32_t v = g.w[i] ^ g.w[j];
            g.w[i] = v;
            r[t] = v;
            i = i == kLong - 1 ? 0 : i + 1;
            j = j == kLong - 1 ? 0 : j + 1;
        }
        *g.i = i, *g.j = j;
        return;
    }
    int i = *g.i, j = *g.j;
    for (int t = 0; t < kLong; ++t) {
        r[t] = g.w[i] ^ g.w[j];
        g.w[i] = r[t];
        i = i == kLong - 1 ? 0 : i + 1;
        j = j == kLong - 1 ? 0 : j + 1;
    }
    int t = kLong;
    for (; t + 8 <= n; t += 8) {
        vexa::simd::storeu_int(r + t, vexa::simd::xor_bits(vexa::simd::loadu_int(r + t - kLong), vexa::simd::loadu_int(r + t - kShort)));
    }
    for (; t < n; ++t) r[t] = r[t - kLong] ^ r[t - kShort];
    for (int k = 0; k < kLong; ++k) g.w[k] = r[n - kLong + k];
    *g.i = 0, *g.j = kJ0;
}

// Words in pieces through a buffer, each converted by `put`.
template <class Put> void through_buffer(StreamState* s, int n, Put put) {
    constexpr int kPiece = 1024;
    alignas(32) uint32_t buf[kPiece];
    for (int done = 0; done < n;) {
        const int k = n - done < kPiece ? n - done : kPiece;
        words(s, k, buf);
        put(done, buf, k);
        done += k;
    }
}

}  // namespace

extern "C" {

VEXA_EXPORT int __tqrBRngR250InitStream(int method, StreamState* s, int n, const uint32_t* params) {
    if (method == VEXA_RNG_INIT_LEAPFROG) return VEXA_RNG_NO_LEAPFROG;
    if (method == VEXA_RNG_INIT_SKIPAHEAD) return VEXA_RNG_NO_SKIPAHEAD;
    if (method != VEXA_RNG_INIT_STANDARD) return VEXA_RNG_BAD_METHOD;
    R250 g(s);
    if (n >= kLong) {
        for (int t = 0; t < kLong; ++t) g.w[t] = params[t];
    } else {
        uint32_t x = n >= 1 ? params[0] : 1;
        if (x == 0) x = 1;
        for (int t = 0; t < kLong; ++t) g.w[t] = x *= 69069u;  // x 69069^(t+1) mod 2^32
        // 32 words made linearly independent: word 3 + 7q gets bit 31 - q set and the bits above cleared.
        for (int q = 0; q < 32; ++q) g.w[3 + 7 * q] = (g.w[3 + 7 * q] & (0xFFFFFFFFu >> q)) | (0x80000000u >> q);
    }
    *g.i = 0, *g.j = kJ0;
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqriBRngR250(StreamState* s, int n, uint32_t* r) {
    if (n > 0) words(s, n, r);
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqrdBRngR250(StreamState* s, int n, double* r, double a, double b) {
    const double scale = (b - a) * 0x1p-32;
    const __m256d vs = vexa::simd::broadcast(scale), va = vexa::simd::broadcast(a);
    through_buffer(s, n, [&](int at, const uint32_t* w, int k) {
        int t = 0;
        for (; t + 4 <= k; t += 4)
            vexa::simd::storeu(r + at + t, vexa::simd::fma(vexa::simd::small_to_double(vexa::simd::widen_words(w + t)), vs, va));
        for (; t < k; ++t) r[at + t] = __builtin_fma(double(w[t]), scale, a);
    });
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqrsBRngR250(StreamState* s, int n, float* r, float a, float b) {
    const float scale = (b - a) * 0x1p-32f;
    through_buffer(s, n, [&](int at, const uint32_t* w, int k) {
        for (int t = 0; t < k; ++t) r[at + t] = __builtin_fmaf(float(w[t]), scale, a);
    });
    return VEXA_RNG_OK;
}

}  // extern "C"
