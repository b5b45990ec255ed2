// The common part of a real kernel type: a kernel derives from
// RealKernel<T, Inputs, Regs, Rare, Frame> (or, with one input and a
// per-element routine, RealUnary<T, Regs, Name, Rare>) and supplies fast().
#pragma once

#include <limits>

#include "common/simd.h"
#include "vector_math/frame/loop.h"
#include "vector_math/frame/names.h"

namespace vexa::vm {

// The accuracy a kernel is built for, where one template serves several slots.
enum class Acc { HA, LA, EP };

// The loop parameters of a real kernel (see loop.h): lane type, inputs,
// registers per main step, whether lanes can need the per-element routine,
// whether the kernel runs under the vector-math frame.
template <class T_, int Inputs, int Regs, bool Rare, bool Frame = true>
struct RealKernel {
    using T = T_;
    using Elem = T_;
    using V = simd::vec<T>;
    static constexpr int kInputs = Inputs;
    static constexpr int kRegs = Regs;
    static constexpr int kLanesPerElem = 1;
    static constexpr bool kFrame = Frame;
    static constexpr bool kRare = Rare;
    static constexpr T kFill = T(0.75);  // inside every fast path
};

template <class T_, int Regs, const char* Name, int (*Rare)(const T_*, T_*)>
struct RealUnary : RealKernel<T_, 1, Regs, true> {
    static int rare(const T_* a, T_* r) { return Rare(a, r); }
    static const char* name() { return Name; }
};

// Lanes that are not positive normal finite numbers (zero, negative,
// subnormal, +inf, NaN): the range test of the logarithm and root families.
template <class V> VEXA_INLINE unsigned not_positive_normal(V x) {
    using T = simd::elem<V>;
    return simd::movemask(simd::bit_or(simd::cmp_lt(x, simd::broadcast(std::numeric_limits<T>::min())),
                                       simd::cmp_gt_or_nan(x, simd::broadcast(std::numeric_limits<T>::max()))));
}

// The result with the sign bit of x ORed in, for functions with the sign of
// their argument whose evaluation gives +0 for -0.
template <class V> VEXA_INLINE V keep_sign(V result, V x) { return simd::bit_or(result, simd::sign_of(x)); }

// s + err = a + b exactly (Knuth's TwoSum, for operands of any magnitude).
template <class V> VEXA_INLINE V two_sum(V a, V b, V& err) {
    const V s = a + b;
    const V bb = s - a;
    err = (a - (s - bb)) + (b - bb);
    return s;
}

}  // namespace vexa::vm
