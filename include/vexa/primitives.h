/* Signal primitives: radix sorts of keys and of index arrays, and copy, set and
 * zero of typed arrays. Every function returns 0, or VEXA_PR_BAD_LENGTH (-6)
 * for a length below 1 or a bad stride, or VEXA_PR_NULL (-8) for a null
 * pointer (pointers are checked first); on a failure nothing is written. */
#ifndef VEXA_PRIMITIVES_H
#define VEXA_PRIMITIVES_H

#include <stdint.h>

#include "vexa/vector_math.h" /* VexaComplex8, VexaComplex16 */

#ifdef __cplusplus
extern "C" {
#endif

/* Statuses (catalogue pr_status.def). */
enum VexaPrStatus {
#define PR_STATUS(name, code, meaning) VEXA_PR_##name = code,
#include "vexa/pr_status.def"
#undef PR_STATUS
};

typedef struct VexaComplex16s { int16_t re, im; } VexaComplex16s;
typedef struct VexaComplex32s { int32_t re, im; } VexaComplex32s;
typedef struct VexaComplex64s { int64_t re, im; } VexaComplex64s;

#define PR_SORT(t, T)                                                                 \
    int vexa_dft_avx2_zubsSortRadixAscend_##t##_I(T* data, T* buffer, int len);        \
    int vexa_dft_avx2_zubsSortRadixDescend_##t##_I(T* data, T* buffer, int len);
#define PR_SORT8(t, T)                                                                \
    int vexa_dft_avx2_zubsSortRadixAscend_##t##_I(T* data, int len);                   \
    int vexa_dft_avx2_zubsSortRadixDescend_##t##_I(T* data, int len);
/* src read with a step of src_stride bytes; index receives len 32-bit indices. */
#define PR_INDEX(t, T)                                                                                    \
    int vexa_dft_avx2_zubsSortRadixIndexAscend_##t(const T* src, int src_stride, int32_t* index,           \
                                                    int32_t* buffer, int len);                            \
    int vexa_dft_avx2_zubsSortRadixIndexDescend_##t(const T* src, int src_stride, int32_t* index,          \
                                                     int32_t* buffer, int len);
#define PR_FILL(t, T)                                                        \
    int vexa_dft_avx2_zubsCopy_##t(const T* src, T* dst, int len);           \
    int vexa_dft_avx2_zubsSet_##t(T value, T* dst, int len);                 \
    int vexa_dft_avx2_zubsZero_##t(T* dst, int len);
#include "vexa/primitives_catalogue.def"

#ifdef __cplusplus
}
#endif

#endif
