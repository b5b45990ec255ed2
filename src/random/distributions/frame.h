// What the distributions share: their constants per type, the
// error callbacks they install, the frame that installs them, the
// vector-math calls they make, and the blocked loop of their final steps.
//
// A kernel that takes logarithms runs inside a Frame: the thread's error
// mode set to "callback only" with the kernel's callback, the caller's mode
// word and callback restored when the frame ends. Each vector-math call is
// made in the EP slot with denormals kept, for that call only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/simd.h"
#include "random/distributions/source.h"
#include "vector_math/internal.h"
#include "vexa/rng_distributions.h"

extern "C" {
// Logarithm callback: a singular logarithm becomes ln of the smallest
// subnormal (double -744.4400719213812, float -103.2789306640625).
VEXA_HIDDEN int _vdLnCallBack(ErrorContext* context);
VEXA_HIDDEN int _vsLnCallBack(ErrorContext* context);
// Gaussian callback: ln 0 as above; a singularity at a non-zero argument (the
// inverse error function at -1) or a domain error becomes -+5.8635847487551676
// (float -+3.832507) by the sign of the argument.
VEXA_HIDDEN int _vdCallBack(ErrorContext* context);
VEXA_HIDDEN int _vsCallBack(ErrorContext* context);
}

namespace vexa::rng::dist {

using simd::vec;

template <class T> struct Consts;
template <> struct Consts<double> {
    static constexpr double kLnZero = -744.4400719213812;  // the logarithm of 2^-1074, rounded
    static constexpr double kNormalEnd = 5.8635847487551676;
    static constexpr double kTwoPi = 6.283185307179586;
    static constexpr double kSqrt2 = 1.4142135623730951;
    static constexpr double kHalfPi = 1.5707963267948966;
    static constexpr VexaErrorCallBack kLnCallBack = _vdLnCallBack;
    static constexpr VexaErrorCallBack kGaussianCallBack = _vdCallBack;
};
template <> struct Consts<float> {
    static constexpr float kLnZero = -103.2789306640625f;  // the logarithm of 2^-149, rounded
    static constexpr float kNormalEnd = 3.832507f;
    static constexpr float kTwoPi = 6.283185307179586f;
    static constexpr float kSqrt2 = 1.4142135623730951f;
    static constexpr float kHalfPi = 1.5707963267948966f;
    static constexpr VexaErrorCallBack kLnCallBack = _vsLnCallBack;
    static constexpr VexaErrorCallBack kGaussianCallBack = _vsCallBack;
};

// The calling thread's vector-math mode and callback for a kernel's run.
class Frame : public vm::ModeScope {
public:
    explicit Frame(VexaErrorCallBack callback) : ModeScope(VEXA_VM_ERRMODE_CALLBACK, callback) {}
};

// A new chunk of `bytes` under `id`, in place of any the stream has (a kept
// set-up that no longer fits, or one from a damaged image): its data, or
// null without memory, the stream then holding no chunk under `id`.
inline void* replace_chunk(StreamState* s, int32_t id, int32_t bytes) {
    void* data = vexa_serv_allocate(std::size_t(bytes), kAlignment);
    if (data == nullptr) return nullptr;
    __tqrDeleteChunksById(s, id);
    if (__tqrAddChunk(s, id, nullptr, data, bytes) != VEXA_RNG_OK) {
        vexa_serv_deallocate(data);
        return nullptr;
    }
    return data;
}

// Vector math in the EP slot, denormals kept for the call: out = F(in).
template <class F, class T> VEXA_INLINE void apply(int n, const T* in, T* out) {
    vm::call<F, T>(vm::Slot::EP, VEXA_VM_KEEP_DENORMALS, n, in, out);
}
template <class F, class T> VEXA_INLINE void apply(int n, const T* in, T* out1, T* out2) {
    vm::call<F, T>(vm::Slot::EP, VEXA_VM_KEEP_DENORMALS, n, in, out1, out2);
}
template <class F, class T> VEXA_INLINE void apply_scalar(int n, const T* in, T b, T* out) {
    vm::call<F, T>(vm::Slot::EP, VEXA_VM_KEEP_DENORMALS, n, in, b, out);
}

// The same in the HA slot, where a value (not only a test) is computed from
// the function's result and its error would grow.
template <class F, class T> VEXA_INLINE void apply_ha(int n, const T* in, T* out) {
    vm::call<F, T>(vm::Slot::HA, VEXA_VM_KEEP_DENORMALS, n, in, out);
}

// Candidates of an acceptance-rejection method are made in blocks of at most
// kBlock, a little more than the values still missing (the acceptance rates
// are all above 1/2), and the accepted ones are stored in order.
constexpr int kBlock = 512;
VEXA_INLINE int candidates(int missing, int extra_per_16) {
    const long want = long(missing) + long(missing) * extra_per_16 / 16 + 4;
    return want < kBlock ? int(want) : kBlock;
}

// f(i) for each register of a block of candidates [0, k). The block arrays
// hold kBlock elements, a multiple of the lanes, so the last register may
// reach past k into elements that nothing reads afterwards.
template <class T, class F> VEXA_INLINE void registers(int k, F f) {
    for (int i = 0; i < k; i += simd::lanes<T>) f(i);
}

// The accepted candidates (keep[i] non-zero) of value[0 .. k) stored in order at
// r[done] on, up to r[n - 1]; returns the new count. Without a branch on
// the acceptance, which no predictor can learn.
template <class T, class K> VEXA_INLINE int compact(int k, const T* value, const K* keep, T* r, int done, int n) {
    for (int i = 0; i < k && done < n; ++i) {
        r[done] = value[i];
        done += keep[i] != K(0);
    }
    return done;
}

// The first `count` elements at p as a register (count <= lanes), and back.
template <class T> VEXA_INLINE vec<T> load_n(const T* p, int count) {
    if (count == simd::lanes<T>) return simd::loadu(p);
    return simd::load_partial(p, std::size_t(count), simd::lane_mask<T>(std::size_t(count)));
}
template <class T> VEXA_INLINE void store_n(T* p, int count, vec<T> v) {
    if (count == simd::lanes<T>) simd::storeu(p, v);
    else simd::maskstore(p, simd::lane_mask<T>(std::size_t(count)), v);
}

// step(i, count) over [0, n) in pieces of 16, 4 and 1 elements: single
// elements up to the first 32-byte boundary of `r` (when r is aligned to its
// element), then blocks of 16 elements, then of 4, then single elements.
template <class T, class Step> VEXA_INLINE void blocked(int n, const T* r, Step step) {
    int i = 0;
    const auto address = reinterpret_cast<std::uintptr_t>(r);
    if (address % sizeof(T) == 0) {
        const int head = int((32 - address % 32) % 32 / sizeof(T));
        for (; i < head && i < n; ++i) step(i, 1);
    }
    for (; i + 16 <= n; i += 16) step(i, 16);
    for (; i + 4 <= n; i += 4) step(i, 4);
    for (; i < n; ++i) step(i, 1);
}

// f(j, count) for the registers of a piece of `blocked`: whole registers of
// a 16-element block, or the piece itself as one register.
template <class T, class F> VEXA_INLINE void each_register(int i, int count, F f) {
    constexpr int L = simd::lanes<T>;
    if (count == 16)
        for (int k = 0; k < 16; k += L) f(i + k, L);
    else
        f(i, count);
}

// r[i] = f(r[i]) over the whole array.
template <class T, class F> VEXA_INLINE void map(int n, T* r, F f) {
    blocked(n, r, [&](int i, int count) {
        each_register<T>(i, count, [&](int j, int c) { store_n(r + j, c, f(load_n(r + j, c))); });
    });
}

// The even elements of u[0 .. 2k) to even[0 .. k) and the odd ones to
// odd[0 .. k), each times its scale. odd may be u itself: element j is
// written after elements 2j, 2j + 1 were read.
template <class T>
VEXA_INLINE void split_pairs(int k, const T* u, T* even, T even_scale, T* odd, T odd_scale) {
    constexpr int L = simd::lanes<T>;
    const vec<T> se = simd::broadcast(even_scale), so = simd::broadcast(odd_scale);
    int j = 0;
    for (; j + L <= k; j += L) {
        vec<T> e, o;
        simd::deinterleave(simd::loadu(u + 2 * j), simd::loadu(u + 2 * j + L), e, o);
        simd::storeu(even + j, e * se);
        simd::storeu(odd + j, o * so);
    }
    for (; j < k; ++j) {
        const T e = u[2 * j], o = u[2 * j + 1];
        even[j] = e * even_scale;
        odd[j] = o * odd_scale;
    }
}

}  // namespace vexa::rng::dist
