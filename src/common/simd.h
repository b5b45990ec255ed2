// A thin layer over the AVX2 intrinsics so that float and double kernels share
// one source: vec<T> is the 256-bit register of T, and the overloads below read
// as the operations they perform. GCC's vector extensions give + - * / on the
// register types directly.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "common/export.h"

namespace vexa::simd {

template <class T> struct reg_of;
template <> struct reg_of<float> { using type = __m256; };
template <> struct reg_of<double> { using type = __m256d; };
template <class T> using vec = typename reg_of<T>::type;
template <class V> struct elem_of;
template <> struct elem_of<__m256> { using type = float; };
template <> struct elem_of<__m256d> { using type = double; };
template <class V> using elem = typename elem_of<V>::type;

template <class T> constexpr int lanes = 32 / int(sizeof(T));

// ---- loads and stores ------------------------------------------------------
VEXA_INLINE __m256 loadu(const float* p) { return _mm256_loadu_ps(p); }
VEXA_INLINE __m256d loadu(const double* p) { return _mm256_loadu_pd(p); }
VEXA_INLINE void storeu(float* p, __m256 v) { _mm256_storeu_ps(p, v); }
VEXA_INLINE void storeu(double* p, __m256d v) { _mm256_storeu_pd(p, v); }
VEXA_INLINE void store(float* p, __m256 v) { _mm256_store_ps(p, v); }
VEXA_INLINE void store(double* p, __m256d v) { _mm256_store_pd(p, v); }
VEXA_INLINE __m256 load(const float* p) { return _mm256_load_ps(p); }
VEXA_INLINE __m256d load(const double* p) { return _mm256_load_pd(p); }

// Lane masks of the masked moves: row k has its first k lanes all-ones.
alignas(32) inline constexpr int32_t kMaskRows32[9][8] = {
    {0, 0, 0, 0, 0, 0, 0, 0},         {-1, 0, 0, 0, 0, 0, 0, 0},
    {-1, -1, 0, 0, 0, 0, 0, 0},       {-1, -1, -1, 0, 0, 0, 0, 0},
    {-1, -1, -1, -1, 0, 0, 0, 0},     {-1, -1, -1, -1, -1, 0, 0, 0},
    {-1, -1, -1, -1, -1, -1, 0, 0},   {-1, -1, -1, -1, -1, -1, -1, 0},
    {-1, -1, -1, -1, -1, -1, -1, -1}};
alignas(32) inline constexpr int64_t kMaskRows64[5][4] = {
    {0, 0, 0, 0}, {-1, 0, 0, 0}, {-1, -1, 0, 0}, {-1, -1, -1, 0}, {-1, -1, -1, -1}};

template <class T> VEXA_INLINE __m256i lane_mask(std::size_t active);
template <> VEXA_INLINE __m256i lane_mask<float>(std::size_t active) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(kMaskRows32[active]));
}
template <> VEXA_INLINE __m256i lane_mask<double>(std::size_t active) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(kMaskRows64[active]));
}

VEXA_INLINE __m256 maskload(const float* p, __m256i m) { return _mm256_maskload_ps(p, m); }
VEXA_INLINE __m256d maskload(const double* p, __m256i m) { return _mm256_maskload_pd(p, m); }
// The first `active` lanes from p (1 <= active <= lanes), the rest zero; m is
// lane_mask(active). No byte past the last active lane is read. Hardware never
// faults on masked-off lanes, but some emulators do when the register's window
// reaches into an unmapped page; so a window that stays within the page of the
// last active lane is loaded with one masked move, and the rare one that
// crosses into the next page is read lane by lane.
template <class T> VEXA_INLINE vec<T> load_partial(const T* p, std::size_t active, __m256i m) {
    const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(p + active) - 1;
    const std::uintptr_t window_end = reinterpret_cast<std::uintptr_t>(p) + 31;
    if (__builtin_expect((last >> 12) == (window_end >> 12), 1)) return maskload(p, m);
    alignas(32) T lanes_buf[32 / sizeof(T)] = {};
    for (std::size_t i = 0; i < active; ++i) lanes_buf[i] = p[i];
    return load(lanes_buf);
}

VEXA_INLINE void maskstore(float* p, __m256i m, __m256 v) { _mm256_maskstore_ps(p, m, v); }
VEXA_INLINE void maskstore(double* p, __m256i m, __m256d v) { _mm256_maskstore_pd(p, m, v); }

// ---- construction and bit casts ---------------------------------------------
template <class T> VEXA_INLINE vec<T> broadcast(T x);
template <> VEXA_INLINE __m256 broadcast<float>(float x) { return _mm256_set1_ps(x); }
template <> VEXA_INLINE __m256d broadcast<double>(double x) { return _mm256_set1_pd(x); }
template <class T> VEXA_INLINE vec<T> zero() { return broadcast<T>(T(0)); }

VEXA_INLINE __m256i as_int(__m256 v) { return _mm256_castps_si256(v); }
VEXA_INLINE __m256i as_int(__m256d v) { return _mm256_castpd_si256(v); }
template <class T> VEXA_INLINE vec<T> from_int(__m256i v);
template <> VEXA_INLINE __m256 from_int<float>(__m256i v) { return _mm256_castsi256_ps(v); }
template <> VEXA_INLINE __m256d from_int<double>(__m256i v) { return _mm256_castsi256_pd(v); }
// A register of T whose every lane holds the bit pattern `bits`.
template <class T> VEXA_INLINE vec<T> bit_pattern(uint64_t bits);
template <> VEXA_INLINE __m256 bit_pattern<float>(uint64_t bits) {
    return _mm256_castsi256_ps(_mm256_set1_epi32(int32_t(uint32_t(bits))));
}
template <> VEXA_INLINE __m256d bit_pattern<double>(uint64_t bits) {
    return _mm256_castsi256_pd(_mm256_set1_epi64x(int64_t(bits)));
}

// ---- arithmetic and logic ---------------------------------------------------
VEXA_INLINE __m256 fma(__m256 a, __m256 b, __m256 c) { return _mm256_fmadd_ps(a, b, c); }
VEXA_INLINE __m256d fma(__m256d a, __m256d b, __m256d c) { return _mm256_fmadd_pd(a, b, c); }
// c - a b with one rounding.
VEXA_INLINE __m256 fnma(__m256 a, __m256 b, __m256 c) { return _mm256_fnmadd_ps(a, b, c); }
VEXA_INLINE __m256d fnma(__m256d a, __m256d b, __m256d c) { return _mm256_fnmadd_pd(a, b, c); }
VEXA_INLINE __m256 bit_and(__m256 a, __m256 b) { return _mm256_and_ps(a, b); }
VEXA_INLINE __m256d bit_and(__m256d a, __m256d b) { return _mm256_and_pd(a, b); }
VEXA_INLINE __m256 bit_or(__m256 a, __m256 b) { return _mm256_or_ps(a, b); }
VEXA_INLINE __m256d bit_or(__m256d a, __m256d b) { return _mm256_or_pd(a, b); }
VEXA_INLINE __m256 bit_xor(__m256 a, __m256 b) { return _mm256_xor_ps(a, b); }
VEXA_INLINE __m256d bit_xor(__m256d a, __m256d b) { return _mm256_xor_pd(a, b); }
// Lanes of `a` where mask is set, of `b` elsewhere.
VEXA_INLINE __m256 select(__m256 mask, __m256 a, __m256 b) { return _mm256_blendv_ps(b, a, mask); }
VEXA_INLINE __m256d select(__m256d mask, __m256d a, __m256d b) { return _mm256_blendv_pd(b, a, mask); }
VEXA_INLINE __m256 select(__m256i mask, __m256 a, __m256 b) { return select(_mm256_castsi256_ps(mask), a, b); }
VEXA_INLINE __m256d select(__m256i mask, __m256d a, __m256d b) { return select(_mm256_castsi256_pd(mask), a, b); }

template <class T> constexpr uint64_t kSignBit = sizeof(T) == 4 ? 0x80000000ull : 0x8000000000000000ull;
template <class T> constexpr uint64_t kAbsMask = sizeof(T) == 4 ? 0x7FFFFFFFull : 0x7FFFFFFFFFFFFFFFull;
template <class T> constexpr uint64_t kInfBits = sizeof(T) == 4 ? 0x7F800000ull : 0x7FF0000000000000ull;

template <class V> VEXA_INLINE V abs(V v) {
    using T = elem<V>;
    return bit_and(v, bit_pattern<T>(kAbsMask<T>));
}

// The sign bit of v alone, and v rounded with a rounding instruction's
// immediate (1 down, 2 up, 3 toward zero, 4 the MXCSR mode, 0xC the MXCSR mode
// without the inexact flag, 0 nearest-even).
template <class V> VEXA_INLINE V sign_of(V v) {
    using T = elem<V>;
    return bit_and(v, bit_pattern<T>(sizeof(T) == 4 ? 0x80000000ull : 0x8000000000000000ull));
}
template <int Imm> VEXA_INLINE __m256 round(__m256 v) { return _mm256_round_ps(v, Imm); }
template <int Imm> VEXA_INLINE __m256d round(__m256d v) { return _mm256_round_pd(v, Imm); }
// max(a, b) and min(a, b): b when either is NaN (the instructions' rule).
VEXA_INLINE __m256 max(__m256 a, __m256 b) { return _mm256_max_ps(a, b); }
VEXA_INLINE __m256d max(__m256d a, __m256d b) { return _mm256_max_pd(a, b); }
VEXA_INLINE __m256 min(__m256 a, __m256 b) { return _mm256_min_ps(a, b); }
VEXA_INLINE __m256d min(__m256d a, __m256d b) { return _mm256_min_pd(a, b); }
VEXA_INLINE __m256 sqrt(__m256 v) { return _mm256_sqrt_ps(v); }
VEXA_INLINE __m256d sqrt(__m256d v) { return _mm256_sqrt_pd(v); }

// ---- integer lane operations -------------------------------------------------
VEXA_INLINE __m256i add64(__m256i a, __m256i b) { return _mm256_add_epi64(a, b); }
VEXA_INLINE __m256i add32(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
VEXA_INLINE __m256i sub32(__m256i a, __m256i b) { return _mm256_sub_epi32(a, b); }
VEXA_INLINE __m256i and_bits(__m256i a, __m256i b) { return _mm256_and_si256(a, b); }
VEXA_INLINE __m256i or_bits(__m256i a, __m256i b) { return _mm256_or_si256(a, b); }
VEXA_INLINE __m256i splat64(uint64_t x) { return _mm256_set1_epi64x(int64_t(x)); }
VEXA_INLINE __m256i splat32(uint32_t x) { return _mm256_set1_epi32(int32_t(x)); }
template <int N> VEXA_INLINE __m256i shl64(__m256i a) { return _mm256_slli_epi64(a, N); }
template <int N> VEXA_INLINE __m256i shr64(__m256i a) { return _mm256_srli_epi64(a, N); }
template <int N> VEXA_INLINE __m256i shl32(__m256i a) { return _mm256_slli_epi32(a, N); }
template <int N> VEXA_INLINE __m256i sra32(__m256i a) { return _mm256_srai_epi32(a, N); }
VEXA_INLINE __m256i sub64(__m256i a, __m256i b) { return _mm256_sub_epi64(a, b); }
VEXA_INLINE __m256i xor_bits(__m256i a, __m256i b) { return _mm256_xor_si256(a, b); }
VEXA_INLINE __m256i zero_int() { return _mm256_setzero_si256(); }
template <int N> VEXA_INLINE __m256i shr32(__m256i a) { return _mm256_srli_epi32(a, N); }

// ---- 64-bit lanes for the generators -----------------------------------------
VEXA_INLINE __m256i load_int(const void* p) { return _mm256_load_si256(static_cast<const __m256i*>(p)); }
VEXA_INLINE __m256i loadu_int(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
VEXA_INLINE void store_int(void* p, __m256i v) { _mm256_store_si256(static_cast<__m256i*>(p), v); }
VEXA_INLINE void storeu_int(void* p, __m256i v) { _mm256_storeu_si256(static_cast<__m256i*>(p), v); }
VEXA_INLINE void storeu_int(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
// Four 32-bit words from p, each zero-extended into a 64-bit lane.
VEXA_INLINE __m256i widen_words(const uint32_t* p) {
    return _mm256_cvtepu32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
// 32 x 32 -> 64-bit products of the low words of each 64-bit lane.
VEXA_INLINE __m256i mul32(__m256i a, __m256i b) { return _mm256_mul_epu32(a, b); }
// The low 64 bits of the products of whole 64-bit lanes, from 32-bit halves.
VEXA_INLINE __m256i mul64_low(__m256i a, __m256i b) {
    const __m256i cross = add64(mul32(shr64<32>(a), b), mul32(a, shr64<32>(b)));
    return add64(mul32(a, b), shl64<32>(cross));
}
// Signed 64-bit compare: all-ones lanes where a > b.
VEXA_INLINE __m256i cmp_gt64(__m256i a, __m256i b) { return _mm256_cmpgt_epi64(a, b); }
// Lane K of v in every lane.
template <int K> VEXA_INLINE __m256i spread_lane64(__m256i v) { return _mm256_permute4x64_epi64(v, K * 0x55); }
// Lanes rotated down by one, lane 3 from lane 0 of `next`: (v1, v2, v3, next0).
VEXA_INLINE __m256i shift_in_lane64(__m256i v, __m256i next) {
    return _mm256_blend_epi32(_mm256_permute4x64_epi64(v, 0x39), _mm256_permute4x64_epi64(next, 0x00), 0xC0);
}
// Lanes moved down by two, lanes 2 and 3 from lanes 0 and 1 of `next`: (v2, v3, next0, next1).
VEXA_INLINE __m256i shift_in_lanes64x2(__m256i v, __m256i next) {
    return _mm256_blend_epi32(_mm256_permute4x64_epi64(v, 0x4E), _mm256_permute4x64_epi64(next, 0x44), 0xF0);
}

// Modular folds of 64-bit lanes (the residue is congruent, not yet reduced):
// for m = 2^B - 1, p = (p mod 2^B) + (p >> B) since 2^B = 1 (mod m);
template <int B> VEXA_INLINE __m256i fold_mersenne(__m256i p) {
    return add64(and_bits(p, _mm256_set1_epi64x((int64_t(1) << B) - 1)), shr64<B>(p));
}
// for m = 2^32 - c, p = (p mod 2^32) + c (p >> 32) since 2^32 = c (mod m).
template <uint64_t C> VEXA_INLINE __m256i fold_2_32_minus(__m256i p) {
    return add64(mul32(shr64<32>(p), splat64(C)), and_bits(p, splat64(0xFFFFFFFFu)));
}
// v - m in the lanes where v >= m (signed lanes, 0 <= v < 2m).
VEXA_INLINE __m256i reduce_once(__m256i v, __m256i m) {
    return sub64(v, and_bits(cmp_gt64(v, sub64(m, splat64(1))), m));
}

// Table lookups with four 32-bit byte offsets (the kernels compute the
// offsets in the vector, scaled to the table's stride, so the addresses need
// no arithmetic). Plain loads and shuffles rather than gather instructions:
// as fast or faster on current processors, and exact under emulators whose
// gathers mishandle some index registers.
struct Offsets {
    uint32_t o[4];
    explicit VEXA_INLINE Offsets(__m128i v)
        : o{uint32_t(_mm_cvtsi128_si32(v)), uint32_t(_mm_extract_epi32(v, 1)), uint32_t(_mm_extract_epi32(v, 2)),
            uint32_t(_mm_extract_epi32(v, 3))} {}
    // The address offset k bytes into t (unsigned, so widening is free).
    VEXA_INLINE const double* at(const double* t, int k) const {
        return reinterpret_cast<const double*>(reinterpret_cast<const char*>(t) + o[k]);
    }
};
// The doubles at t + off_k (k = 0..3).
VEXA_INLINE __m256d lookup_at(const double* t, __m128i off) {
    const Offsets o(off);
    const __m128d lo = _mm_loadh_pd(_mm_load_sd(o.at(t, 0)), o.at(t, 1));
    const __m128d hi = _mm_loadh_pd(_mm_load_sd(o.at(t, 2)), o.at(t, 3));
    return _mm256_insertf128_pd(_mm256_castpd128_pd256(lo), hi, 1);
}
// The pairs at t + off_k as two registers (first and second members).
VEXA_INLINE void lookup_pairs_at(const double* t, __m128i off, __m256d& first, __m256d& second) {
    const Offsets o(off);
    const __m256d a = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(o.at(t, 0))), _mm_loadu_pd(o.at(t, 2)), 1);
    const __m256d b = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(o.at(t, 1))), _mm_loadu_pd(o.at(t, 3)), 1);
    first = _mm256_unpacklo_pd(a, b);
    second = _mm256_unpackhi_pd(a, b);
}
// The low 32 bits of each 64-bit lane.
VEXA_INLINE __m128i low_words(__m256i v) {
    return _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6)));
}

// ---- comparisons to lane bits -----------------------------------------------
VEXA_INLINE unsigned movemask(__m256 m) { return unsigned(_mm256_movemask_ps(m)); }
VEXA_INLINE unsigned movemask(__m256d m) { return unsigned(_mm256_movemask_pd(m)); }
VEXA_INLINE __m256 cmp_eq(__m256 a, __m256 b) { return _mm256_cmp_ps(a, b, _CMP_EQ_OQ); }
VEXA_INLINE __m256d cmp_eq(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
VEXA_INLINE __m256 cmp_lt(__m256 a, __m256 b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
VEXA_INLINE __m256d cmp_lt(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
// Not a > b: true for a <= b and for NaN lanes.
VEXA_INLINE __m256 cmp_not_gt(__m256 a, __m256 b) { return _mm256_cmp_ps(a, b, _CMP_NGT_UQ); }
VEXA_INLINE __m256d cmp_not_gt(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_NGT_UQ); }
// a > b or unordered: true for NaN lanes.
VEXA_INLINE __m256 cmp_gt_or_nan(__m256 a, __m256 b) { return _mm256_cmp_ps(a, b, _CMP_NLE_UQ); }
VEXA_INLINE __m256d cmp_gt_or_nan(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_NLE_UQ); }
VEXA_INLINE __m256d cmp_ge(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
VEXA_INLINE __m256d floor(__m256d v) { return _mm256_floor_pd(v); }
// Sum of the four lanes as (l0 + l1) + (l2 + l3).
VEXA_INLINE double sum_pairs(__m256d v) {
    const __m128d h = _mm_hadd_pd(_mm256_castpd256_pd128(v), _mm256_extractf128_pd(v, 1));
    return _mm_cvtsd_f64(_mm_add_sd(h, _mm_unpackhi_pd(h, h)));
}
// |v| < infinity: false for infinities and NaNs.
template <class V> VEXA_INLINE V is_finite(V v) {
    using T = elem<V>;
    return cmp_lt(abs(v), bit_pattern<T>(kInfBits<T>));
}
template <class V> VEXA_INLINE V is_inf(V v) {
    using T = elem<V>;
    return cmp_eq(abs(v), bit_pattern<T>(kInfBits<T>));
}
// The even and odd elements of the 2L values lo, hi (L the lanes), each in order.
VEXA_INLINE void deinterleave(__m256d lo, __m256d hi, __m256d& even, __m256d& odd) {
    const __m256d a = _mm256_permute2f128_pd(lo, hi, 0x20), b = _mm256_permute2f128_pd(lo, hi, 0x31);
    even = _mm256_unpacklo_pd(a, b);
    odd = _mm256_unpackhi_pd(a, b);
}
VEXA_INLINE void deinterleave(__m256 lo, __m256 hi, __m256& even, __m256& odd) {
    const __m256 e = _mm256_shuffle_ps(lo, hi, 0x88), o = _mm256_shuffle_ps(lo, hi, 0xDD);
    even = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(e), 0xD8));
    odd = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(o), 0xD8));
}
// The inverse: lo, hi hold even[0], odd[0], even[1], odd[1], ...
VEXA_INLINE void interleave(__m256d even, __m256d odd, __m256d& lo, __m256d& hi) {
    const __m256d a = _mm256_unpacklo_pd(even, odd), b = _mm256_unpackhi_pd(even, odd);
    lo = _mm256_permute2f128_pd(a, b, 0x20);
    hi = _mm256_permute2f128_pd(a, b, 0x31);
}
VEXA_INLINE void interleave(__m256 even, __m256 odd, __m256& lo, __m256& hi) {
    const __m256 a = _mm256_unpacklo_ps(even, odd), b = _mm256_unpackhi_ps(even, odd);
    lo = _mm256_permute2f128_ps(a, b, 0x20);
    hi = _mm256_permute2f128_ps(a, b, 0x31);
}
// Swaps the two lanes of every complex pair (re, im) -> (im, re).
VEXA_INLINE __m256 swap_pairs(__m256 v) { return _mm256_permute_ps(v, 0xB1); }
VEXA_INLINE __m256d swap_pairs(__m256d v) { return _mm256_permute_pd(v, 0x5); }

// The sign bit in the odd lanes (imaginary parts of complex pairs) only.
template <class T> VEXA_INLINE vec<T> odd_lane_sign();
template <> VEXA_INLINE __m256 odd_lane_sign<float>() {
    return _mm256_setr_ps(0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f);
}
template <> VEXA_INLINE __m256d odd_lane_sign<double>() { return _mm256_setr_pd(0.0, -0.0, 0.0, -0.0); }

// Keeps the even bits of a lane mask and packs them together: the per-element
// mask of a register of complex pairs whose two lanes carry the same bit.
VEXA_INLINE unsigned even_bits(unsigned m) {
    m &= 0x55u;
    m = (m | (m >> 1)) & 0x33u;
    m = (m | (m >> 2)) & 0x0Fu;
    return m;
}

// Four floats from a register of doubles, one rounding each; two such
// halves side by side; one half with its upper lanes unset.
VEXA_INLINE __m128 narrow(__m256d v) { return _mm256_cvtpd_ps(v); }
VEXA_INLINE __m256 join(__m128 lo, __m128 hi) { return _mm256_set_m128(hi, lo); }
VEXA_INLINE __m256 widen(__m128 v) { return _mm256_castps128_ps256(v); }
// The lower and upper four floats of a register as doubles (exact).
VEXA_INLINE __m256d low_doubles(__m256 v) { return _mm256_cvtps_pd(_mm256_castps256_ps128(v)); }
VEXA_INLINE __m256d high_doubles(__m256 v) { return _mm256_cvtps_pd(_mm256_extractf128_ps(v, 1)); }
VEXA_INLINE __m128 fma(__m128 a, __m128 b, __m128 c) { return _mm_fmadd_ps(a, b, c); }
VEXA_INLINE __m128 broadcast4(float x) { return _mm_set1_ps(x); }
VEXA_INLINE void storeu(float* p, __m128 v) { _mm_storeu_ps(p, v); }
// Four 32-bit integers from a register of doubles, rounded by the current mode.
VEXA_INLINE __m128i to_int32(__m256d v) { return _mm256_cvtpd_epi32(v); }

// Exact doubles of four 32-bit words below 2^31 from p.
VEXA_INLINE __m256d words_to_double(const uint32_t* p) {
    return _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
// Exact doubles of 64-bit integer lanes below 2^52: the lane ORed into the
// mantissa of 2^52, which is then subtracted.
VEXA_INLINE __m256d small_to_double(__m256i v) {
    const __m256i bias = _mm256_set1_epi64x(0x4330000000000000LL);
    return _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(v, bias)), _mm256_castsi256_pd(bias));
}

// Square transposes: r[i] lane j becomes r[j] lane i.
VEXA_INLINE void transpose(__m256d (&r)[4]) {
    const __m256d a = _mm256_unpacklo_pd(r[0], r[1]), b = _mm256_unpackhi_pd(r[0], r[1]);
    const __m256d c = _mm256_unpacklo_pd(r[2], r[3]), d = _mm256_unpackhi_pd(r[2], r[3]);
    r[0] = _mm256_permute2f128_pd(a, c, 0x20);
    r[1] = _mm256_permute2f128_pd(b, d, 0x20);
    r[2] = _mm256_permute2f128_pd(a, c, 0x31);
    r[3] = _mm256_permute2f128_pd(b, d, 0x31);
}
VEXA_INLINE void transpose(__m256 (&r)[8]) {
    __m256 t[8], u[8];
    for (int i = 0; i < 8; i += 2) {
        t[i] = _mm256_unpacklo_ps(r[i], r[i + 1]);
        t[i + 1] = _mm256_unpackhi_ps(r[i], r[i + 1]);
    }
    for (int i = 0; i < 8; i += 4) {
        u[i] = _mm256_shuffle_ps(t[i], t[i + 2], 0x44);
        u[i + 1] = _mm256_shuffle_ps(t[i], t[i + 2], 0xEE);
        u[i + 2] = _mm256_shuffle_ps(t[i + 1], t[i + 3], 0x44);
        u[i + 3] = _mm256_shuffle_ps(t[i + 1], t[i + 3], 0xEE);
    }
    for (int i = 0; i < 4; ++i) {
        r[i] = _mm256_permute2f128_ps(u[i], u[i + 4], 0x20);
        r[i + 4] = _mm256_permute2f128_ps(u[i], u[i + 4], 0x31);
    }
}

// Square tiles read from and written to memory: rows p + at[j] (j below the
// lane count), each one register long; in registers, t[s] holds element s of
// every row. Built from 128-bit halves and in-lane shuffles only, since the
// cross-lane permutes of transpose() are slow on some cores.
VEXA_INLINE __m256d halves(const double* lo, const double* hi) {
    return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(lo)), _mm_loadu_pd(hi), 1);
}
VEXA_INLINE __m256 halves(const float* lo, const float* hi) {
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(lo)), _mm_loadu_ps(hi), 1);
}
VEXA_INLINE void store_halves(double* lo, double* hi, __m256d v) {
    _mm_storeu_pd(lo, _mm256_castpd256_pd128(v));
    _mm_storeu_pd(hi, _mm256_extractf128_pd(v, 1));
}
VEXA_INLINE void store_halves(float* lo, float* hi, __m256 v) {
    _mm_storeu_ps(lo, _mm256_castps256_ps128(v));
    _mm_storeu_ps(hi, _mm256_extractf128_ps(v, 1));
}
VEXA_INLINE void load_tile(__m256d (&t)[4], const double* p, const int* at) {
    const double *r0 = p + at[0], *r1 = p + at[1], *r2 = p + at[2], *r3 = p + at[3];
    const __m256d a = halves(r0, r2), b = halves(r1, r3), c = halves(r0 + 2, r2 + 2), d = halves(r1 + 2, r3 + 2);
    t[0] = _mm256_unpacklo_pd(a, b), t[1] = _mm256_unpackhi_pd(a, b);
    t[2] = _mm256_unpacklo_pd(c, d), t[3] = _mm256_unpackhi_pd(c, d);
}
VEXA_INLINE void store_tile(const __m256d (&t)[4], double* p, const int* at) {
    const __m256d a = _mm256_unpacklo_pd(t[0], t[1]), b = _mm256_unpackhi_pd(t[0], t[1]);
    const __m256d c = _mm256_unpacklo_pd(t[2], t[3]), d = _mm256_unpackhi_pd(t[2], t[3]);
    store_halves(p + at[0], p + at[2], a), store_halves(p + at[0] + 2, p + at[2] + 2, c);
    store_halves(p + at[1], p + at[3], b), store_halves(p + at[1] + 2, p + at[3] + 2, d);
}
// Four registers, each 128-bit half a 4 x 4 tile, transposed half by half.
VEXA_INLINE void transpose_halves(__m256& a, __m256& b, __m256& c, __m256& d) {
    const __m256 t0 = _mm256_unpacklo_ps(a, b), t1 = _mm256_unpackhi_ps(a, b);
    const __m256 t2 = _mm256_unpacklo_ps(c, d), t3 = _mm256_unpackhi_ps(c, d);
    a = _mm256_shuffle_ps(t0, t2, 0x44), b = _mm256_shuffle_ps(t0, t2, 0xEE);
    c = _mm256_shuffle_ps(t1, t3, 0x44), d = _mm256_shuffle_ps(t1, t3, 0xEE);
}
VEXA_INLINE void load_tile(__m256 (&t)[8], const float* p, const int* at) {
    for (int k = 0; k < 4; ++k) t[k] = halves(p + at[k], p + at[k + 4]), t[k + 4] = halves(p + at[k] + 4, p + at[k + 4] + 4);
    transpose_halves(t[0], t[1], t[2], t[3]);
    transpose_halves(t[4], t[5], t[6], t[7]);
}
VEXA_INLINE void store_tile(const __m256 (&t)[8], float* p, const int* at) {
    __m256 u[8];
    for (int k = 0; k < 8; ++k) u[k] = t[k];
    transpose_halves(u[0], u[1], u[2], u[3]);
    transpose_halves(u[4], u[5], u[6], u[7]);
    for (int k = 0; k < 4; ++k) store_halves(p + at[k], p + at[k + 4], u[k]), store_halves(p + at[k] + 4, p + at[k + 4] + 4, u[k + 4]);
}

// Non-temporal stores of a register (p 32-byte aligned; a fence must follow).
VEXA_INLINE void stream_store(double* p, __m256d v) { _mm256_stream_pd(p, v); }
VEXA_INLINE void stream_store(float* p, __m256 v) { _mm256_stream_ps(p, v); }

// Interleaves four registers into consecutive groups of four: p[4 k + q] is
// lane k of register q (lanes groups, 4 x lanes values). Stream: with
// non-temporal stores (p 16-byte aligned; a fence must follow the last).
template <bool Stream = false> VEXA_INLINE void store_halves4(double* lo, double* hi, __m256d v) {
    if constexpr (Stream) {
        _mm_stream_pd(lo, _mm256_castpd256_pd128(v));
        _mm_stream_pd(hi, _mm256_extractf128_pd(v, 1));
    } else {
        store_halves(lo, hi, v);
    }
}
template <bool Stream = false> VEXA_INLINE void store_halves4(float* lo, float* hi, __m256 v) {
    if constexpr (Stream) {
        _mm_stream_ps(lo, _mm256_castps256_ps128(v));
        _mm_stream_ps(hi, _mm256_extractf128_ps(v, 1));
    } else {
        store_halves(lo, hi, v);
    }
}
template <bool Stream = false> VEXA_INLINE void store_interleaved4(double* p, __m256d a, __m256d b, __m256d c, __m256d d) {
    const __m256d ab0 = _mm256_unpacklo_pd(a, b), ab1 = _mm256_unpackhi_pd(a, b);
    const __m256d cd0 = _mm256_unpacklo_pd(c, d), cd1 = _mm256_unpackhi_pd(c, d);
    store_halves4<Stream>(p, p + 8, ab0), store_halves4<Stream>(p + 2, p + 10, cd0);
    store_halves4<Stream>(p + 4, p + 12, ab1), store_halves4<Stream>(p + 6, p + 14, cd1);
}
template <bool Stream = false> VEXA_INLINE void store_interleaved4(float* p, __m256 a, __m256 b, __m256 c, __m256 d) {
    transpose_halves(a, b, c, d);
    store_halves4<Stream>(p, p + 16, a), store_halves4<Stream>(p + 4, p + 20, b);
    store_halves4<Stream>(p + 8, p + 24, c), store_halves4<Stream>(p + 12, p + 28, d);
}

}  // namespace vexa::simd
