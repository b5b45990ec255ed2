// The vector loop shared by every AVX2 kernel.
//
// A kernel is a small type K that says how to compute one register of results
// and which elements need the per-element routine:
//
//   using T      lane type (float or double)
//   using Elem   element type of the error routine (T, VexaComplex8, VexaComplex16)
//   kInputs      1 or 2 input arrays
//   kRegs        registers per main-loop step
//   kLanesPerElem 1 for real elements, 2 for complex (re, im) pairs
//   kFrame       run under the vector-math floating-point frame
//   kRare        has a per-element routine (then also rare() and name())
//   kFill        value put into masked-off input lanes (inside every fast path)
//   vec<T> fast(vec<T> a[, vec<T> b], unsigned& special)
//       results of one register; sets one bit per element that needs rare()
//   int rare(const T* a[, const T* b], T* r)
//       the element's kLanesPerElem lanes: writes the result lanes, returns a status
//   const char* name()   public name string handed to the error routine
//
// The loop: the head up to the first input's 32-byte boundary in one masked
// step, the aligned middle in unmasked steps of kRegs registers, the tail in
// masked steps of one register. Masked-off lanes are neither read nor written.
// Each step reads all its inputs before it stores, so outputs may alias inputs.
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
    static void call(int s, int i, const float* a, const float* b, float* r, const char* n) {
        vexa_arx_kernel_sError(s, i, a, b, r, r, n);
    }
};
template <> struct ErrorRoutine<double> {
    static void call(int s, int i, const double* a, const double* b, double* r, const char* n) {
        vexa_arx_kernel_dError(s, i, a, b, r, r, n);
    }
};
template <> struct ErrorRoutine<VexaComplex8> {
    static void call(int s, int i, const VexaComplex8* a, const VexaComplex8* b, VexaComplex8* r, const char* n) {
        vexa_arx_kernel_cError(s, i, a, b, r, r, n);
    }
};
template <> struct ErrorRoutine<VexaComplex16> {
    static void call(int s, int i, const VexaComplex16* a, const VexaComplex16* b, VexaComplex16* r,
                     const char* n) {
        vexa_arx_kernel_zError(s, i, a, b, r, r, n);
    }
};

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
    static_assert(NI == 1 || NI == 2);

public:
    // n elements; in[k] are the input arrays and out the results, as lanes.
    static VEXA_INLINE void run(int n, const T* in0, const T* in1, T* out) {
        using Frame = std::conditional_t<K::kFrame, KernelFrame, NoFrame>;
        [[maybe_unused]] Frame frame;
        if (n <= 0) return;
        const T* in[2] = {in0, in1};
        const std::size_t total = std::size_t(n) * LPE;  // lanes
        // Lanes up to the first input's 32-byte boundary, whole elements only.
        std::size_t head = ((0u - reinterpret_cast<std::uintptr_t>(in0)) & 31u) / sizeof(T);
        head = std::min(head - head % LPE, total);
        const Base base = base_of(in, out);
        std::size_t i = 0;
        if (head != 0) {
            masked_step(in, out, base, 0, head);
            i = head;
        }
        for (; i + std::size_t(R * L) <= total; i += R * L) full_step(in, out, base, i);
        for (; i < total; i += L) masked_step(in, out, base, i, std::min<std::size_t>(L, total - i));
    }

private:
    // The call's arrays as elements, for the error routine.
    struct Base {
        const Elem* a;
        const Elem* b;
        Elem* r;
    };
    static VEXA_INLINE Base base_of(const T* const* in, T* out) {
        const Elem* a = reinterpret_cast<const Elem*>(in[0]);
        const Elem* b = NI == 2 ? reinterpret_cast<const Elem*>(in[1]) : a;
        return {a, b, reinterpret_cast<Elem*>(out)};
    }

    static VEXA_INLINE V compute(const V* x, unsigned& special) {
        if constexpr (NI == 1) return K::fast(x[0], special);
        else return K::fast(x[0], x[1], special);
    }

    static VEXA_INLINE void full_step(const T* const* in, T* out, const Base& base, std::size_t i) {
        V x[NI][R];
        V res[R];
        unsigned special = 0;
        for (int k = 0; k < NI; ++k)
            for (int r = 0; r < R; ++r) x[k][r] = simd::loadu(in[k] + i + r * L);
        for (int r = 0; r < R; ++r) {
            V args[NI];
            for (int k = 0; k < NI; ++k) args[k] = x[k][r];
            unsigned s = 0;
            res[r] = compute(args, s);
            special |= s << (r * EPR);
        }
        if constexpr (K::kRare) {
            if (__builtin_expect(special != 0, 0)) rare_step<R>(x, res, special, base, out, i);
        }
        for (int r = 0; r < R; ++r) simd::storeu(out + i + r * L, res[r]);
    }

    static VEXA_INLINE void masked_step(const T* const* in, T* out, const Base& base, std::size_t i,
                                        std::size_t active) {
        const __m256i m = simd::lane_mask<T>(active);
        const V fill = simd::broadcast<T>(K::kFill);
        V x[NI][1];
        for (int k = 0; k < NI; ++k) x[k][0] = simd::select(m, simd::load_partial(in[k] + i, active, m), fill);
        V args[NI];
        for (int k = 0; k < NI; ++k) args[k] = x[k][0];
        unsigned special = 0;
        V res[1] = {compute(args, special)};
        if constexpr (K::kRare) {
            special &= (1u << (active / LPE)) - 1u;
            if (__builtin_expect(special != 0, 0)) rare_step<1>(x, res, special, base, out, i);
        }
        simd::maskstore(out + i, m, res[0]);
    }

    // The rare path: the step's arguments and results go to local buffers
    // (only here, so the fast path keeps them in registers), the walk runs on
    // them, and the results come back.
    template <int NR>
    static VEXA_INLINE void rare_step(const V (&x)[NI][NR], V (&res)[NR], unsigned special, const Base& base,
                                      T* out, std::size_t i) {
        alignas(32) T xs[NI][NR * L];
        alignas(32) T rs[NR * L];
        for (int k = 0; k < NI; ++k)
            for (int r = 0; r < NR; ++r) simd::store(xs[k] + r * L, x[k][r]);
        for (int r = 0; r < NR; ++r) simd::store(rs + r * L, res[r]);
        walk(xs[0], xs[NI - 1], rs, special, base, out, i);
        for (int r = 0; r < NR; ++r) res[r] = simd::load(rs + r * L);
    }

    // Elements in increasing order; each gets the per-element routine, and on
    // a non-zero status its result is stored, the error routine called, and
    // the (possibly changed) result reloaded.
    static __attribute__((noinline)) void walk(const T* xa, const T* xb, T* rs, unsigned special, const Base& base,
                                               T* out, std::size_t i) {
        while (special != 0) {
            const int j = __builtin_ctz(special);
            special &= special - 1;
            T* rl = rs + j * LPE;
            int status;
            if constexpr (NI == 1) status = K::rare(xa + j * LPE, rl);
            else status = K::rare(xa + j * LPE, xb + j * LPE, rl);
            if (status != 0) {
                const std::size_t lane = i + std::size_t(j) * LPE;
                for (int q = 0; q < LPE; ++q) out[lane + q] = rl[q];
                ErrorRoutine<Elem>::call(status, int(lane / LPE), base.a, base.b, base.r, K::name());
                for (int q = 0; q < LPE; ++q) rl[q] = out[lane + q];
            }
        }
    }
};

template <class K> VEXA_INLINE void unary(int n, const typename K::T* a, typename K::T* r) {
    VectorLoop<K>::run(n, a, nullptr, r);
}
template <class K>
VEXA_INLINE void binary(int n, const typename K::T* a, const typename K::T* b, typename K::T* r) {
    VectorLoop<K>::run(n, a, b, r);
}

}  // namespace vexa::vm
