/* The AVX2 vector engines of MCG31M1 and MCG59, for distribution kernels that
 * keep uniform values in registers.
 *
 * Interface. engine<N>_<T>(lane_data, lanes, scale, shift, out) takes the
 * stream's lane data (chunk 14: __tqrSearchChunk(stream, 14)), the four
 * 64-bit lane states in *lanes (the lane data's states at bytes 32..63 to
 * start with), and in every lane the scale (b - a) times the kind's row scale
 * and the shift a. It returns the next N values scale x + shift in out
 * (double: ceil(N / 4) registers, float: ceil(N / 8); for N below a register
 * the first N lanes) and leaves *lanes N steps further. The engines do not
 * touch the stream: a caller that is done stores *lanes back into the lane
 * data and lane 0 into the stream's state x (the 32- or 64-bit word at byte
 * 16), and the stream continues from there. The generic engine<N>_<T> reads
 * the kind word of the lane data and calls that kind's routine from the
 * property table; given a null lane pointer it returns the shift in every
 * lane and leaves *lanes alone. */
#ifndef VEXA_RNG_ENGINES_H
#define VEXA_RNG_ENGINES_H

#include <immintrin.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void VexaEngineDouble(const void* lane_data, __m256i* lanes, __m256d scale, __m256d shift, __m256d* out);
typedef void VexaEngineFloat(const void* lane_data, __m256i* lanes, __m256 scale, __m256 shift, __m256* out);

/* One row per kind (0 MCG31M1, 1 MCG59). */
typedef struct VexaEngineProperty {
    int32_t kind;
    VexaEngineFloat* float_engine[6];   /* N = 1, 2, 4, 8, 16, 32 */
    VexaEngineDouble* double_engine[6]; /* N = 1, 2, 4, 8, 16, 32 */
    uint8_t zero[(64 - 4 - 12 * (int)sizeof(void*)) > 0 ? (64 - 4 - 12 * (int)sizeof(void*)) : 4];
    float float_scale[8];   /* 2^-31 (MCG31M1), 2^-59 (MCG59) */
    double double_scale[4]; /* 1 / (2^31 - 1), 2^-59 */
} VexaEngineProperty;

extern const VexaEngineProperty vexa_tqr_sub_kernel_vrng_coreavx2_engine_property[2];

#define VEXA_ENGINE_DECLS(prefix, N)                                                           \
    VexaEngineDouble vexa_tqr_sub_kernel_vrng_coreavx2_##prefix##engine##N##_double;            \
    VexaEngineFloat vexa_tqr_sub_kernel_vrng_coreavx2_##prefix##engine##N##_float;
#define VEXA_ENGINE_SIZES(X, prefix) X(prefix, 1) X(prefix, 2) X(prefix, 4) X(prefix, 8) X(prefix, 16) X(prefix, 32)
VEXA_ENGINE_SIZES(VEXA_ENGINE_DECLS, mcg31m1_)
VEXA_ENGINE_SIZES(VEXA_ENGINE_DECLS, mcg59_)
VEXA_ENGINE_SIZES(VEXA_ENGINE_DECLS, )

#ifdef __cplusplus
}
#endif

#if defined(__i386__) && defined(__cplusplus)
static_assert(sizeof(VexaEngineProperty) == 128 && offsetof(VexaEngineProperty, float_scale) == 64 &&
                  offsetof(VexaEngineProperty, double_scale) == 96,
              "engine property row");
#endif

#endif
