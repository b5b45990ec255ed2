// The vector kernels of LGamma and TGamma: the frame and the loop only, every
// element handed in lane order to the function's per-element routine, which
// computes the value and the status (scalar/gamma_scalar.h).
#pragma once

#include "vector_math/frame/loop.h"
#include "vector_math/frame/kernel.h"

namespace vexa::vm {

template <class T, const char* Name, int (*Rare)(const T*, T*)>
struct EveryElementRare : RealUnary<T, 1, Name, Rare> {
    using V = simd::vec<T>;
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = (1u << simd::lanes<T>) - 1u;
        return x;
    }
};

}  // namespace vexa::vm
