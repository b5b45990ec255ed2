// The common part of a real one-argument kernel type: a kernel derives from
// RealUnary<T, Regs, Name, Rare> and supplies fast(); rare() calls the
// function's per-element routine.
#pragma once

#include <limits>

#include "common/simd.h"
#include "vector_math/frame/loop.h"
#include "vector_math/frame/names.h"

namespace vexa::vm {

template <class T_, int Regs, const char* Name, int (*Rare)(const T_*, T_*)>
struct RealUnary {
    using T = T_;
    using Elem = T_;
    using V = simd::vec<T>;
    static constexpr int kInputs = 1;
    static constexpr int kRegs = Regs;
    static constexpr int kLanesPerElem = 1;
    static constexpr bool kFrame = true;
    static constexpr bool kRare = true;
    static constexpr T kFill = T(0.75);  // inside every fast path
    static int rare(const T* a, T* r) { return Rare(a, r); }
    static const char* name() { return Name; }
};

// Lanes that are not positive normal finite numbers (zero, negative,
// subnormal, +inf, NaN): the range test of the logarithm and root families.
template <class V> VEXA_INLINE unsigned not_positive_normal(V x) {
    using T = simd::elem<V>;
    return simd::movemask(simd::bit_or(simd::cmp_lt(x, simd::broadcast(std::numeric_limits<T>::min())),
                                       simd::cmp_gt_or_nan(x, simd::broadcast(std::numeric_limits<T>::max()))));
}

}  // namespace vexa::vm
