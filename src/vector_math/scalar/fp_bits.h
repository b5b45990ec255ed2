// Bit-level helpers of the per-element routines.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>

#include "common/export.h"
#include "vexa/vector_math.h"

namespace vexa::vm {

VEXA_INLINE uint64_t bits_of(double x) {
    uint64_t b;
    std::memcpy(&b, &x, 8);
    return b;
}
VEXA_INLINE uint32_t bits_of(float x) {
    uint32_t b;
    std::memcpy(&b, &x, 4);
    return b;
}
VEXA_INLINE double double_of(uint64_t b) {
    double x;
    std::memcpy(&x, &b, 8);
    return x;
}
VEXA_INLINE float float_of(uint32_t b) {
    float x;
    std::memcpy(&x, &b, 4);
    return x;
}
// 2^e for e in [-1022, 1023].
VEXA_INLINE double pow2(int e) { return double_of(uint64_t(e + 1023) << 52); }

// Results computed so that the floating-point flags are raised as the
// operation would raise them (volatile keeps the operation at run time), in
// double or float.
template <class T = double> VEXA_INLINE T overflow_result() {
    volatile T big = std::numeric_limits<T>::max();
    return big * big;
}
template <class T = double> VEXA_INLINE T underflow_result() {
    volatile T tiny = std::numeric_limits<T>::min();
    return tiny * tiny;
}
template <class T = double> VEXA_INLINE T pole_result() {  // -inf, division by zero
    volatile T zero = 0;
    return T(-1) / zero;
}
template <class T = double> VEXA_INLINE T invalid_result() {  // NaN, invalid operation
    volatile T zero = 0;
    return zero / zero;
}

}  // namespace vexa::vm
