// What MCG31M1 and MCG59 share: the lane data of chunk 14 (four lane states
// and the multiplier's powers a^4 ... a^32), seeding, leapfrog and
// skip-ahead, and the AVX2 output loop that produces blocks of 16 values from
// the four lanes. A generator type G supplies its word, the scalar and vector
// products modulo its modulus, the conversion of a register of states to
// doubles, and its unit (the scale of one state step of the output).
//
// The lanes always hold x, A x, A^2 x, A^3 x for the stream's next state x and
// current multiplier A, after every routine, so the vector engines can start
// from them. Output routines also rebuild them from x at the start; a
// skip-ahead after a leapfrog therefore follows the leapfrogged sequence in
// the vector path as in the scalar one (our choice).
#pragma once

#include <immintrin.h>

#include <cstdint>

#include "common/simd.h"
#include "random/core/stream.h"

namespace vexa::rng {

constexpr int32_t kLaneChunk = 14;
constexpr int32_t kLaneBytes = 352;

struct alignas(32) LaneData {
    int32_t kind;  // 0 MCG31M1, 1 MCG59
    int32_t unused[7];
    uint64_t lanes[4];
    uint64_t powers[8][4];  // a^4, a^8, ..., a^32, four copies each
    uint8_t tail[32];
};
static_assert(sizeof(LaneData) == kLaneBytes);

// The state of both generators: x, then the current multiplier A (the base
// multiplier after standard initialisation, a power of it after leapfrog).
template <class W> struct McgState {
    StreamState head;
    W x;
    W a;
};
static_assert(sizeof(McgState<uint32_t>) == registry_size::MCG31M1);
static_assert(sizeof(McgState<uint64_t>) == registry_size::MCG59);

template <class G> VEXA_INLINE typename G::word& state_x(StreamState* s) {
    return state_of<McgState<typename G::word>>(s).x;
}
template <class G> VEXA_INLINE typename G::word& state_a(StreamState* s) {
    return state_of<McgState<typename G::word>>(s).a;
}

template <class G> typename G::word power(typename G::word a, uint64_t n) {
    typename G::word r = 1;
    for (; n != 0; n >>= 1) {
        if (n & 1) r = G::mul(r, a);
        a = G::mul(a, a);
    }
    return r;
}

template <class G> void fill_lanes(LaneData& d, typename G::word x, typename G::word a) {
    for (int j = 0; j < 4; ++j, x = G::mul(x, a)) d.lanes[j] = x;
}
template <class G> void fill_powers(LaneData& d, typename G::word a) {
    const typename G::word a4 = power<G>(a, 4);
    typename G::word p = a4;
    for (int k = 0; k < 8; ++k, p = G::mul(p, a4))
        for (int j = 0; j < 4; ++j) d.powers[k][j] = p;
}

// Standard initialisation's second half: the multiplier and the lane data.
template <class G> int init_lanes(StreamState* s) {
    state_a<G>(s) = G::kMultiplier;
    auto* d = static_cast<LaneData*>(vexa_serv_allocate(sizeof(LaneData), kAlignment));
    if (d == nullptr) return VEXA_RNG_MEMORY;
    std::memset(static_cast<void*>(d), 0, sizeof(LaneData));
    d->kind = G::kKind;
    fill_lanes<G>(*d, state_x<G>(s), G::kMultiplier);
    fill_powers<G>(*d, G::kMultiplier);
    const int st = __tqrAddChunk(s, kLaneChunk, nullptr, d, kLaneBytes);
    if (st != VEXA_RNG_OK) vexa_serv_deallocate(d);
    return st;
}

VEXA_INLINE LaneData* lanes_of(StreamState* s) { return static_cast<LaneData*>(chunk_data(s, kLaneChunk, kLaneBytes)); }

// Leapfrog (k of nstreams) and skip-ahead; the lanes follow.
template <class G> int leapfrog_or_skip(int method, StreamState* s, int n, const uint32_t* params) {
    LaneData* d = lanes_of(s);
    if (d == nullptr) return VEXA_RNG_MEMORY;
    auto& x = state_x<G>(s);
    auto& a = state_a<G>(s);
    if (method == VEXA_RNG_INIT_LEAPFROG) {
        x = G::mul(x, power<G>(a, params[0]));
        a = power<G>(a, uint32_t(n));
        fill_powers<G>(*d, a);
    } else {
        x = G::mul(x, power<G>(a, skip_count(params)));
    }
    fill_lanes<G>(*d, x, a);
    return VEXA_RNG_OK;
}

// The output loop: `group(i, lanes)` consumes the four states of values
// i .. i+3; `single(i, x)` one state. Blocks of 16, then groups of 4, then
// single values; x and the lanes are left at the next value.
template <class G, class Group, class Single>
VEXA_INLINE void produce(StreamState* s, LaneData* d, int n, Group group, Single single) {
    using word = typename G::word;
    word& x = state_x<G>(s);
    const word a = state_a<G>(s);
    fill_lanes<G>(*d, x, a);
    __m256i lanes = simd::load_int(d->lanes);
    const auto pw = [&](int k) { return simd::load_int(d->powers[k]); };
    const __m256i a4 = pw(0), a8 = pw(1), a12 = pw(2), a16 = pw(3);
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        group(i, lanes);
        group(i + 4, G::vmul(lanes, a4));
        group(i + 8, G::vmul(lanes, a8));
        group(i + 12, G::vmul(lanes, a12));
        lanes = G::vmul(lanes, a16);
    }
    for (; i + 4 <= n; i += 4) {
        group(i, lanes);
        lanes = G::vmul(lanes, a4);
    }
    simd::store_int(d->lanes, lanes);
    x = word(d->lanes[0]);
    for (; i < n; ++i) {
        single(i, x);
        x = G::mul(x, a);
    }
    fill_lanes<G>(*d, x, a);
}

// r = a + (b - a) x unit in double, one fused multiply-add per value.
template <class G> int output_double(StreamState* s, int n, double* r, double lo, double hi) {
    LaneData* d = lanes_of(s);
    if (d == nullptr) return VEXA_RNG_MEMORY;
    if (n <= 0) return VEXA_RNG_OK;
    const double scale = (hi - lo) * G::kUnit;
    const __m256d vs = simd::broadcast(scale), va = simd::broadcast(lo);
    produce<G>(
        s, d, n, [&](int i, __m256i v) { simd::storeu(r + i, simd::fma(G::to_double(v), vs, va)); },
        [&](int i, typename G::word x) { r[i] = __builtin_fma(G::to_double(x), scale, lo); });
    return VEXA_RNG_OK;
}

// r = a + (b - a) x unit in float: the state rounded to float, then one fused multiply-add.
template <class G> int output_float(StreamState* s, int n, float* r, float lo, float hi) {
    LaneData* d = lanes_of(s);
    if (d == nullptr) return VEXA_RNG_MEMORY;
    if (n <= 0) return VEXA_RNG_OK;
    const float scale = (hi - lo) * G::kUnitFloat;
    const __m128 vs = simd::broadcast4(scale), va = simd::broadcast4(lo);
    produce<G>(
        s, d, n, [&](int i, __m256i v) { simd::storeu(r + i, simd::fma(simd::narrow(G::to_double(v)), vs, va)); },
        [&](int i, typename G::word x) { r[i] = __builtin_fmaf(float(G::to_double(x)), scale, lo); });
    return VEXA_RNG_OK;
}

// The successive states; the integer routine computes its own powers of A.
template <class G> int output_words(StreamState* s, int n, uint32_t* r) {
    if (n <= 0) return VEXA_RNG_OK;
    LaneData d;
    fill_powers<G>(d, state_a<G>(s));
    constexpr int kWords = int(sizeof(typename G::word) / 4);
    produce<G>(
        s, &d, n,
        [&](int i, __m256i v) {
            if constexpr (kWords == 1) simd::storeu_int(r + i, simd::low_words(v));
            else simd::storeu_int(r + 2 * i, v);
        },
        [&](int i, typename G::word x) { std::memcpy(r + kWords * i, &x, sizeof(x)); });
    // The stream's lanes follow, for the vector engines that start from them.
    if (LaneData* lanes = lanes_of(s)) fill_lanes<G>(*lanes, state_x<G>(s), state_a<G>(s));
    return VEXA_RNG_OK;
}

}  // namespace vexa::rng

namespace vexa::rng {

// ---- vector engines ---------------------------------------------------------
// engine<N>: the next N values of the lanes as scale x + shift, in registers,
// and the lanes advanced by N steps. N = 4, 8, 16, 32: groups of four from
// the lanes times 1, a^4, a^8, ...; N = 1, 2: the first N lanes, the lanes
// shifted down and the freed ones refilled four steps ahead.
template <class G, int N> VEXA_INLINE __m256i advance_lanes(const LaneData& d, __m256i l) {
    if constexpr (N == 1 || N == 2) {
        const __m256i ahead = G::vmul(l, simd::load_int(d.powers[0]));
        if constexpr (N == 1) return simd::shift_in_lane64(l, ahead);
        else return simd::shift_in_lanes64x2(l, ahead);
    } else {
        return G::vmul(l, simd::load_int(d.powers[N / 4 - 1]));
    }
}

template <class G, int N> VEXA_INLINE __m256i group(const LaneData& d, __m256i l, int k) {
    return k == 0 ? l : G::vmul(l, simd::load_int(d.powers[k - 1]));
}

template <class G, int N>
void engine_double(const void* data, __m256i* lanes, __m256d scale, __m256d shift, __m256d* out) {
    const LaneData& d = *static_cast<const LaneData*>(data);
    const __m256i l = *lanes;
    constexpr int kGroups = N < 4 ? 1 : N / 4;
    for (int k = 0; k < kGroups; ++k) out[k] = simd::fma(G::to_double(group<G, N>(d, l, k)), scale, shift);
    *lanes = advance_lanes<G, N>(d, l);
}

template <class G, int N> void engine_float(const void* data, __m256i* lanes, __m256 scale, __m256 shift, __m256* out) {
    const LaneData& d = *static_cast<const LaneData*>(data);
    const __m256i l = *lanes;
    const auto four = [&](int k) { return simd::narrow(G::to_double(group<G, N>(d, l, k))); };
    if constexpr (N <= 4) {
        out[0] = simd::fma(simd::widen(four(0)), scale, shift);
    } else {
        for (int k = 0; k < N / 8; ++k) out[k] = simd::fma(simd::join(four(2 * k), four(2 * k + 1)), scale, shift);
    }
    *lanes = advance_lanes<G, N>(d, l);
}

}  // namespace vexa::rng

// The twelve engines of a generator, exported under its name.
#define VEXA_MCG_ENGINES(name, G)                                                                               \
    VEXA_MCG_ENGINE(name, G, 1) VEXA_MCG_ENGINE(name, G, 2) VEXA_MCG_ENGINE(name, G, 4)                         \
        VEXA_MCG_ENGINE(name, G, 8) VEXA_MCG_ENGINE(name, G, 16) VEXA_MCG_ENGINE(name, G, 32)
#define VEXA_MCG_ENGINE(name, G, N)                                                                              \
    VEXA_EXPORT void vexa_tqr_sub_kernel_vrng_coreavx2_##name##_engine##N##_double(                              \
        const void* data, __m256i* lanes, __m256d scale, __m256d shift, __m256d* out) {                           \
        vexa::rng::engine_double<G, N>(data, lanes, scale, shift, out);                                          \
    }                                                                                                            \
    VEXA_EXPORT void vexa_tqr_sub_kernel_vrng_coreavx2_##name##_engine##N##_float(                               \
        const void* data, __m256i* lanes, __m256 scale, __m256 shift, __m256* out) {                             \
        vexa::rng::engine_float<G, N>(data, lanes, scale, shift, out);                                           \
    }
