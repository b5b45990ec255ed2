// Kernel types of the elementwise arithmetic: one register operation per step,
// real or complex, with the overflow report of the complex sums.
#pragma once

#include "common/simd.h"
#include "vector_math/frame/kernel.h"

namespace vexa::vm {

struct Plus {
    template <class V> static VEXA_INLINE V apply(V a, V b) { return a + b; }
    template <class T> static VEXA_INLINE T scalar(T a, T b) { return a + b; }
};
struct Minus {
    template <class V> static VEXA_INLINE V apply(V a, V b) { return a - b; }
    template <class T> static VEXA_INLINE T scalar(T a, T b) { return a - b; }
};
struct Times {
    template <class V> static VEXA_INLINE V apply(V a, V b) { return a * b; }
    template <class T> static VEXA_INLINE T scalar(T a, T b) { return a * b; }
};

template <class T> struct complex_of;
template <> struct complex_of<float> { using type = VexaComplex8; };
template <> struct complex_of<double> { using type = VexaComplex16; };

// A complex array seen as its interleaved (re, im) lanes.
VEXA_INLINE const float* lanes_of(const VexaComplex8* p) { return reinterpret_cast<const float*>(p); }
VEXA_INLINE float* lanes_of(VexaComplex8* p) { return reinterpret_cast<float*>(p); }
VEXA_INLINE const double* lanes_of(const VexaComplex16* p) { return reinterpret_cast<const double*>(p); }
VEXA_INLINE double* lanes_of(VexaComplex16* p) { return reinterpret_cast<double*>(p); }

// Real a op b: no special lanes, no errors.
template <class T, class Op>
struct RealBinary : RealKernel<T, 2, 4, false> {
    using V = simd::vec<T>;
    static VEXA_INLINE V fast(V a, V b, unsigned&) { return Op::apply(a, b); }
};

// Complex a op b, componentwise. With Report, an element whose four operand
// parts are finite and whose result has an infinite part gets status 3
// (overflow); the stored result is the computed one.
template <class T_, class Op, bool Report, const char* Name>
struct ComplexSum {
    using T = T_;
    using Elem = typename complex_of<T_>::type;
    using V = simd::vec<T>;
    static constexpr int kInputs = 2;
    static constexpr int kRegs = 4;
    static constexpr int kLanesPerElem = 2;
    static constexpr bool kFrame = true;
    static constexpr bool kRare = Report;
    static constexpr T kFill = T(0.75);

    static VEXA_INLINE V fast(V a, V b, unsigned& special) {
        const V r = Op::apply(a, b);
        if constexpr (Report) {
            const V finite = simd::bit_and(simd::is_finite(a), simd::is_finite(b));
            const V inf = simd::is_inf(r);
            const V both_finite = simd::bit_and(finite, simd::swap_pairs(finite));
            const V any_inf = simd::bit_or(inf, simd::swap_pairs(inf));
            special = simd::even_bits(simd::movemask(simd::bit_and(both_finite, any_inf)));
        }
        return r;
    }
    static int rare(const T* a, const T* b, T* r) {
        r[0] = Op::scalar(a[0], b[0]);
        r[1] = Op::scalar(a[1], b[1]);
        return VEXA_VM_STATUS_OVERFLOW;
    }
    static const char* name() { return Name; }
};

}  // namespace vexa::vm
