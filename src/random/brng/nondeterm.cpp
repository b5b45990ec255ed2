// NONDETERM (the TRNG record): numbers from the processor's hardware
// random-number instruction (RDRAND), 32 bits per execution, success in the
// carry flag. A failed execution is retried; after the stream's retry limit
// of failures in a row the routine returns -1131 with the values written so
// far. Integer output: one execution per word. Double output: two successful
// executions form a 64-bit w (a failure in either retries the pair), w is
// converted as a signed integer and corrected by 2^64 when its top bit is
// set, and r = a + (b - a) 2^-64 w. Float output (our choice): one execution
// per value, its top 24 bits u (exact in float), r = a + (b - a) 2^-24 u in
// float, which stays below b. All three first ask the
// processor (-1130 without the instruction). No leapfrog, no skip-ahead.
#include <immintrin.h>

#include <cstdint>

#include "random/core/stream.h"
#include "vexa/service.h"

namespace {

using namespace vexa::rng;

struct TrngState {
    StreamState head;
    uint32_t first;  // 0 after initialisation
    uint32_t retries;
};
static_assert(sizeof(TrngState) == registry_size::TRNG);

constexpr uint32_t kDefaultRetries = 10;

// One 32-bit value, or false after `limit` failures in a row (every attempt
// fails when the service layer says so, for tests).
class Source {
public:
    explicit Source(uint32_t limit) : limit_(limit), failing_((vexa_serv_hidden_cpu_features() & VEXA_SERV_CPU_RDRAND_FAILS) != 0) {}
    __attribute__((target("rdrnd"))) bool next(uint32_t& v) {
        for (uint32_t failures = 0; failures < limit_; ++failures) {
            unsigned x;
            if (!failing_ && _rdrand32_step(&x) != 0) {
                v = x;
                return true;
            }
        }
        return false;
    }
    // Two values in a row; a failure in either retries the pair.
    __attribute__((target("rdrnd"))) bool pair(uint64_t& v) {
        for (uint32_t failures = 0; failures < limit_; ++failures) {
            unsigned lo, hi;
            if (!failing_ && _rdrand32_step(&lo) != 0 && _rdrand32_step(&hi) != 0) {
                v = uint64_t(lo) | uint64_t(hi) << 32;
                return true;
            }
        }
        return false;
    }

private:
    uint32_t limit_;
    bool failing_;
};

template <class Put> int produce(StreamState* s, int n, Put put) {
    if (!__tqrCPUisRDRAND()) return VEXA_RNG_NO_HW_RNG;
    Source src(state_of<TrngState>(s).retries);
    for (int i = 0; i < n; ++i)
        if (!put(src, i)) return VEXA_RNG_HW_RNG_FAILED;
    return VEXA_RNG_OK;
}

}  // namespace

extern "C" {

// The retry limit is seed 1 when given and not 0, else 10; seed 0 is unused.
VEXA_EXPORT int __tqrBRngTRNGInitStream(int method, StreamState* s, int n, const uint32_t* params) {
    if (method == VEXA_RNG_INIT_LEAPFROG) return VEXA_RNG_NO_LEAPFROG;
    if (method == VEXA_RNG_INIT_SKIPAHEAD) return VEXA_RNG_NO_SKIPAHEAD;
    if (method != VEXA_RNG_INIT_STANDARD) return VEXA_RNG_BAD_METHOD;
    TrngState& st = state_of<TrngState>(s);
    st.first = 0;
    st.retries = n >= 2 && params[1] != 0 ? params[1] : kDefaultRetries;
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqriBRngTRNG(StreamState* s, int n, uint32_t* r) {
    return produce(s, n, [&](Source& src, int i) { return src.next(r[i]); });
}

VEXA_EXPORT int __tqrdBRngTRNG(StreamState* s, int n, double* r, double a, double b) {
    const double scale = (b - a) * 0x1p-64;
    return produce(s, n, [&](Source& src, int i) {
        uint64_t w;
        if (!src.pair(w)) return false;
        double x = double(int64_t(w));
        if (int64_t(w) < 0) x += 0x1p64;
        r[i] = __builtin_fma(x, scale, a);
        return true;
    });
}

VEXA_EXPORT int __tqrsBRngTRNG(StreamState* s, int n, float* r, float a, float b) {
    const float scale = (b - a) * 0x1p-24f;
    return produce(s, n, [&](Source& src, int i) {
        uint32_t w;
        if (!src.next(w)) return false;
        r[i] = __builtin_fmaf(float(w >> 8), scale, a);
        return true;
    });
}

}  // extern "C"
