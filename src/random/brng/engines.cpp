// The engine property table (one row per MCG kind: its twelve engines and
// output scales) and the kind-generic engines, which dispatch on the kind
// word of the lane data.
#include <immintrin.h>

#include "common/export.h"
#include "vexa/rng_engines.h"

#define VEXA_ROW(prefix) \
    {vexa_tqr_sub_kernel_vrng_coreavx2_##prefix##engine1_float, vexa_tqr_sub_kernel_vrng_coreavx2_##prefix##engine2_float, \
     vexa_tqr_sub_kernel_vrng_coreavx2_##prefix##engine4_float, vexa_tqr_sub_kernel_vrng_coreavx2_##prefix##engine8_float, \
     vexa_tqr_sub_kernel_vrng_coreavx2_##prefix##engine16_float, vexa_tqr_sub_kernel_vrng_coreavx2_##prefix##engine32_float}, \
    {vexa_tqr_sub_kernel_vrng_coreavx2_##prefix##engine1_double, vexa_tqr_sub_kernel_vrng_coreavx2_##prefix##engine2_double, \
     vexa_tqr_sub_kernel_vrng_coreavx2_##prefix##engine4_double, vexa_tqr_sub_kernel_vrng_coreavx2_##prefix##engine8_double, \
     vexa_tqr_sub_kernel_vrng_coreavx2_##prefix##engine16_double, vexa_tqr_sub_kernel_vrng_coreavx2_##prefix##engine32_double}

extern "C" {

VEXA_EXPORT extern const VexaEngineProperty vexa_tqr_sub_kernel_vrng_coreavx2_engine_property[2] = {
    {0, VEXA_ROW(mcg31m1_), {}, {0x1p-31f, 0x1p-31f, 0x1p-31f, 0x1p-31f, 0x1p-31f, 0x1p-31f, 0x1p-31f, 0x1p-31f},
     {1.0 / 2147483647.0, 1.0 / 2147483647.0, 1.0 / 2147483647.0, 1.0 / 2147483647.0}},
    {1, VEXA_ROW(mcg59_), {}, {0x1p-59f, 0x1p-59f, 0x1p-59f, 0x1p-59f, 0x1p-59f, 0x1p-59f, 0x1p-59f, 0x1p-59f},
     {0x1p-59, 0x1p-59, 0x1p-59, 0x1p-59}},
};

#define VEXA_GENERIC(slot, N)                                                                                     \
    VEXA_EXPORT void vexa_tqr_sub_kernel_vrng_coreavx2_engine##N##_double(const void* data, __m256i* lanes,       \
                                                                         __m256d scale, __m256d shift,          \
                                                                         __m256d* out) {                         \
        if (data == nullptr) {                                                                                    \
            for (int k = 0; k < (N < 4 ? 1 : N / 4); ++k) out[k] = shift;                                         \
            return;                                                                                               \
        }                                                                                                         \
        const int32_t kind = *static_cast<const int32_t*>(data);                                                  \
        vexa_tqr_sub_kernel_vrng_coreavx2_engine_property[kind].double_engine[slot](data, lanes, scale, shift, out); \
    }                                                                                                             \
    VEXA_EXPORT void vexa_tqr_sub_kernel_vrng_coreavx2_engine##N##_float(const void* data, __m256i* lanes,        \
                                                                        __m256 scale, __m256 shift, __m256* out) { \
        if (data == nullptr) {                                                                                    \
            for (int k = 0; k < (N < 8 ? 1 : N / 8); ++k) out[k] = shift;                                         \
            return;                                                                                               \
        }                                                                                                         \
        const int32_t kind = *static_cast<const int32_t*>(data);                                                  \
        vexa_tqr_sub_kernel_vrng_coreavx2_engine_property[kind].float_engine[slot](data, lanes, scale, shift, out); \
    }
VEXA_GENERIC(0, 1)
VEXA_GENERIC(1, 2)
VEXA_GENERIC(2, 4)
VEXA_GENERIC(3, 8)
VEXA_GENERIC(4, 16)
VEXA_GENERIC(5, 32)

}  // extern "C"
