// The vector loop shared by every AVX2 kernel.
//
// A kernel is a small type K that says how to compute one register of results
// and which elements need the per-element routine:
//
//   using T      lane type (float or double)
//   using Elem   element type of the error routine (T, VexaComplex8, VexaComplex16)
//   kInputs      1 or 2 input arrays
//   kOutputs     1 or 2 output arrays (optional, 1 when absent)
//   kRegs        registers per main-loop step
//   kLanesPerElem 1 for real elements, 2 for complex (re, im) pairs
//   kFrame       run under the vector-math floating-point frame
//   kRare        has a per-element routine (then also rare() and name())
//   kFill        value put into masked-off input lanes (inside every fast path)
//   vec<T> fast(vec<T> a[, vec<T> b][, vec<T>& second], unsigned& special)
//       results of one register (the second output through `second`); sets
//       one bit per element that needs rare()
//   int rare(const T* a[, const T* b], T* r[, T* r2])
//       the element's kLanesPerElem lanes: writes the result lanes, returns a status
//   const char* name()   public name string handed to the error routine
//
// The loop: the head up to the first input's 32-byte boundary in one masked
// step, the aligned middle in unmasked steps of kRegs registers, the tail in
// masked steps of one register. Masked-off lanes are neither read nor written.
// Each step reads all its inputs before it stores, so outputs may alias inputs.
// A kernel whose results depend on call arguments (the scalars of a linear
// fraction) is an object passed to run(); the others are used as types.
#pragma once

#include <algorithm>
#include <type_traits>
#include <cstddef>
#include <cstdint>

#include "common/simd.h"
#include "vector_math/frame/thread_state.h"

namespace vexa::vm {

template <class E> struct ErrorRoutine;
template <> struct ErrorRoutine<float> {
    static void call(int s, int i, const float* a, const float* b, float* r, float* r2, const char* n) {
        vexa_arx_kernel_sError(s, i, a, b, r, r2, n);
    }
};
template <> struct ErrorRoutine<double> {
    static void call(int s, int i, const double* a, const double* b, double* r, double* r2, const char* n) {
        vexa_arx_kernel_dError(s, i, a, b, r, r2, n);
    }
};
template <> struct ErrorRoutine<VexaComplex8> {
    static void call(int s, int i, const VexaComplex8* a, const VexaComplex8* b, VexaComplex8* r, VexaComplex8* r2,
                     const char* n) {
        vexa_arx_kernel_cError(s, i, a, b, r, r2, n);
    }
};
template <> struct ErrorRoutine<VexaComplex16> {
    static void call(int s, int i, const VexaComplex16* a, const VexaComplex16* b, VexaComplex16* r,
                     VexaComplex16* r2, const char* n) {
        vexa_arx_kernel_zError(s, i, a, b, r, r2, n);
    }
};

template <class K> constexpr int outputs_of() {
    if constexpr (requires { K::kOutputs; }) return K::kOutputs;
    else return 1;
}

// No frame: the kernel runs under the caller's MXCSR.
struct NoFrame {};

template <class K>
class VectorLoop {
    using T = typename K::T;
    using V = simd::vec<T>;
    using Elem = typename K::Elem;
    static constexpr int L = simd::lanes<T>;
    static constexpr int LPE = K::kLanesPerElem;
    static constexpr int EPR = L / LPE;  // elements per register
    static constexpr int R = K::kRegs;
    static constexpr int NI = K::kInputs;
    static constexpr int NO = outputs_of<K>();
    static_assert(NI == 1 || NI == 2);
    static_assert(NO == 1 || NO == 2);

public:
    // n elements; in[k] are the input arrays and out (out2) the results, as lanes.
    static VEXA_INLINE void run(const K& k, int n, const T* in0, const T* in1, T* out, T* out2 = nullptr) {
        using Frame = std::conditional_t<K::kFrame, KernelFrame, NoFrame>;
        [[maybe_unused]] Frame frame;
        if (n <= 0) return;
        const T* in[2] = {in0, in1};
        T* outs[2] = {out, out2};
        const std::size_t total = std::size_t(n) * LPE;  // lanes
        // Lanes up to the first input's 32-byte boundary, whole elements only.
        std::size_t head = ((0u - reinterpret_cast<std::uintptr_t>(in0)) & 31u) / sizeof(T);
        head = std::min(head - head % LPE, total);
        const Base base = base_of(in, outs);
        std::size_t i = 0;
        if (head != 0) {
            masked_step(k, in, outs, base, 0, head);
            i = head;
        }
        for (; i + std::size_t(R * L) <= total; i += R * L) full_step(k, in, outs, base, i);
        for (; i < total; i += L) masked_step(k, in, outs, base, i, std::min<std::size_t>(L, total - i));
    }

private:
    // The call's arrays as elements, for the error routine.
    struct Base {
        const Elem* a;
        const Elem* b;
        Elem* r;
        Elem* r2;
    };
    static VEXA_INLINE Base base_of(const T* const* in, T* const* outs) {
        const Elem* a = reinterpret_cast<const Elem*>(in[0]);
        const Elem* b = NI == 2 ? reinterpret_cast<const Elem*>(in[1]) : a;
        Elem* r = reinterpret_cast<Elem*>(outs[0]);
        return {a, b, r, NO == 2 ? reinterpret_cast<Elem*>(outs[1]) : r};
    }

    static VEXA_INLINE V compute(const K& k, const V* x, V& second, unsigned& special) {
        if constexpr (NO == 2) {
            if constexpr (NI == 1) return k.fast(x[0], second, special);
            else return k.fast(x[0], x[1], second, special);
        } else {
            if constexpr (NI == 1) return k.fast(x[0], special);
            else return k.fast(x[0], x[1], special);
        }
    }

    static VEXA_INLINE void full_step(const K& k, const T* const* in, T* const* outs, const Base& base,
                                      std::size_t i) {
        V x[NI][R];
        V res[NO][R];
        unsigned special = 0;
        for (int q = 0; q < NI; ++q)
            for (int r = 0; r < R; ++r) x[q][r] = simd::loadu(in[q] + i + r * L);
        for (int r = 0; r < R; ++r) {
            V args[NI];
            for (int q = 0; q < NI; ++q) args[q] = x[q][r];
            unsigned s = 0;
            res[0][r] = compute(k, args, res[NO - 1][r], s);
            special |= s << (r * EPR);
        }
        if constexpr (K::kRare) {
            if (__builtin_expect(special != 0, 0)) rare_step<R>(k, x, res, special, base, outs, i);
        }
        for (int o = 0; o < NO; ++o)
            for (int r = 0; r < R; ++r) simd::storeu(outs[o] + i + r * L, res[o][r]);
    }

    static VEXA_INLINE void masked_step(const K& k, const T* const* in, T* const* outs, const Base& base,
                                        std::size_t i, std::size_t active) {
        const __m256i m = simd::lane_mask<T>(active);
        const V fill = simd::broadcast<T>(K::kFill);
        V x[NI][1];
        for (int q = 0; q < NI; ++q) x[q][0] = simd::select(m, simd::load_partial(in[q] + i, active, m), fill);
        V args[NI];
        for (int q = 0; q < NI; ++q) args[q] = x[q][0];
        unsigned special = 0;
        V res[NO][1];
        res[0][0] = compute(k, args, res[NO - 1][0], special);
        if constexpr (K::kRare) {
            special &= (1u << (active / LPE)) - 1u;
            if (__builtin_expect(special != 0, 0)) rare_step<1>(k, x, res, special, base, outs, i);
        }
        for (int o = 0; o < NO; ++o) simd::maskstore(outs[o] + i, m, res[o][0]);
    }

    // The rare path: the step's arguments and results go to local buffers
    // (only here, so the fast path keeps them in registers), the walk runs on
    // them, and the results come back.
    template <int NR>
    static VEXA_INLINE void rare_step(const K& k, const V (&x)[NI][NR], V (&res)[NO][NR], unsigned special,
                                      const Base& base, T* const* outs, std::size_t i) {
        alignas(32) T xs[NI][NR * L];
        alignas(32) T rs[NO][NR * L];
        for (int q = 0; q < NI; ++q)
            for (int r = 0; r < NR; ++r) simd::store(xs[q] + r * L, x[q][r]);
        for (int o = 0; o < NO; ++o)
            for (int r = 0; r < NR; ++r) simd::store(rs[o] + r * L, res[o][r]);
        walk(k, xs[0], xs[NI - 1], rs[0], rs[NO - 1], special, base, outs, i);
        for (int o = 0; o < NO; ++o)
            for (int r = 0; r < NR; ++r) res[o][r] = simd::load(rs[o] + r * L);
    }

    // Elements in increasing order; each gets the per-element routine, and on
    // a non-zero status its result is stored, the error routine called, and
    // the (possibly changed) result reloaded.
    static __attribute__((noinline)) void walk(const K& k, const T* xa, const T* xb, T* rs, T* rs2,
                                               unsigned special, const Base& base, T* const* outs, std::size_t i) {
        while (special != 0) {
            const int j = __builtin_ctz(special);
            special &= special - 1;
            T* rl[2] = {rs + j * LPE, rs2 + j * LPE};
            int status;
            if constexpr (NO == 2) {
                if constexpr (NI == 1) status = k.rare(xa + j * LPE, rl[0], rl[1]);
                else status = k.rare(xa + j * LPE, xb + j * LPE, rl[0], rl[1]);
            } else {
                if constexpr (NI == 1) status = k.rare(xa + j * LPE, rl[0]);
                else status = k.rare(xa + j * LPE, xb + j * LPE, rl[0]);
            }
            if (status != 0) {
                const std::size_t lane = i + std::size_t(j) * LPE;
                for (int o = 0; o < NO; ++o)
                    for (int q = 0; q < LPE; ++q) outs[o][lane + q] = rl[o][q];
                ErrorRoutine<Elem>::call(status, int(lane / LPE), base.a, base.b, base.r, base.r2, K::name());
                for (int o = 0; o < NO; ++o)
                    for (int q = 0; q < LPE; ++q) rl[o][q] = outs[o][lane + q];
            }
        }
    }
};

template <class K> VEXA_INLINE void unary(int n, const typename K::T* a, typename K::T* r) {
    VectorLoop<K>::run(K{}, n, a, nullptr, r);
}
template <class K>
VEXA_INLINE void binary(int n, const typename K::T* a, const typename K::T* b, typename K::T* r) {
    VectorLoop<K>::run(K{}, n, a, b, r);
}
// One input, two outputs.
template <class K> VEXA_INLINE void unary2(int n, const typename K::T* a, typename K::T* r1, typename K::T* r2) {
    VectorLoop<K>::run(K{}, n, a, nullptr, r1, r2);
}

}  // namespace vexa::vm
