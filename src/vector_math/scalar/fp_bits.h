// Bit-level helpers of the per-element routines.
#pragma once

#include <cstdint>
#include <cstring>

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
// operation would raise them (volatile keeps the operation at run time).
VEXA_INLINE double overflow_result() {
    volatile double big = 1.7976931348623157e308;
    return big * big;
}
VEXA_INLINE double underflow_result() {
    volatile double tiny = 2.2250738585072014e-308;
    return tiny * tiny;
}
VEXA_INLINE double pole_result() {  // -inf, division by zero
    volatile double zero = 0.0;
    return -1.0 / zero;
}
VEXA_INLINE double invalid_result() {  // NaN, invalid operation
    volatile double zero = 0.0;
    return zero / zero;
}

}  // namespace vexa::vm
