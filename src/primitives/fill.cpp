// Copy, set and zero of typed arrays. Arrays up to 2 MiB are written through
// the caches; larger ones with streaming stores, which keep a huge fill from
// evicting the caller's working set.
#include "primitives/fill.h"

#include <immintrin.h>

#include <cstring>

#include "vexa/primitives.h"

namespace vexa::pr {
namespace {

// 32 bytes of the repeated pattern.
__m256i widen(const void* pattern, std::size_t size) {
    alignas(32) unsigned char row[32];
    for (std::size_t i = 0; i < 32; i += size) std::memcpy(row + i, pattern, size);
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(row));
}

void stream_fill(unsigned char* d, __m256i row, std::size_t bytes, std::size_t size) {
    alignas(32) unsigned char tmp[32];
    _mm256_store_si256(reinterpret_cast<__m256i*>(tmp), row);
    // The head up to a 32-byte boundary; when it is whole patterns (always for a
    // destination aligned to its element), the rows keep the pattern's phase.
    const std::size_t head = (32 - (reinterpret_cast<std::uintptr_t>(d) & 31)) & 31;
    std::size_t i = 0;
    if (head % size == 0) {
        std::memcpy(d, tmp, head);
        for (i = head; i + 32 <= bytes; i += 32) _mm256_stream_si256(reinterpret_cast<__m256i*>(d + i), row);
        _mm_sfence();
    } else {
        for (; i + 32 <= bytes; i += 32) _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), row);
    }
    std::memcpy(d + i, tmp, bytes - i);
}

}  // namespace

void copy_bytes(void* dst, const void* src, std::size_t bytes) {
    unsigned char* d = static_cast<unsigned char*>(dst);
    const unsigned char* s = static_cast<const unsigned char*>(src);
    const bool overlap = d < s + bytes && s < d + bytes;
    if (bytes <= kLargeBlock || overlap) {
        std::memmove(d, s, bytes);
        return;
    }
    const std::size_t head = (32 - (reinterpret_cast<std::uintptr_t>(d) & 31)) & 31;
    std::memcpy(d, s, head);
    std::size_t i = head;
    for (; i + 32 <= bytes; i += 32)
        _mm256_stream_si256(reinterpret_cast<__m256i*>(d + i),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i)));
    _mm_sfence();
    std::memcpy(d + i, s + i, bytes - i);
}

void fill_pattern(void* dst, const void* pattern, std::size_t size, std::size_t bytes) {
    unsigned char* d = static_cast<unsigned char*>(dst);
    const __m256i row = widen(pattern, size);
    if (bytes > kLargeBlock) {
        stream_fill(d, row, bytes, size);
        return;
    }
    std::size_t i = 0;
    for (; i + 32 <= bytes; i += 32) _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), row);
    alignas(32) unsigned char tmp[32];
    _mm256_store_si256(reinterpret_cast<__m256i*>(tmp), row);
    std::memcpy(d + i, tmp, bytes - i);
}

}  // namespace vexa::pr

namespace {

template <class T> int copy(const T* src, T* dst, int len) {
    if (src == nullptr || dst == nullptr) return VEXA_PR_NULL;
    if (len < 1) return VEXA_PR_BAD_LENGTH;
    vexa::pr::copy_bytes(dst, src, std::size_t(len) * sizeof(T));
    return VEXA_PR_OK;
}
template <class T> int set(const T& value, T* dst, int len) {
    if (dst == nullptr) return VEXA_PR_NULL;
    if (len < 1) return VEXA_PR_BAD_LENGTH;
    vexa::pr::fill_pattern(dst, &value, sizeof(T), std::size_t(len) * sizeof(T));
    return VEXA_PR_OK;
}

}  // namespace

extern "C" {
#define PR_FILL(t, T)                                                                                       \
    VEXA_EXPORT int vexa_dft_avx2_zubsCopy_##t(const T* src, T* dst, int len) { return copy(src, dst, len); } \
    VEXA_EXPORT int vexa_dft_avx2_zubsSet_##t(T value, T* dst, int len) { return set(value, dst, len); }     \
    VEXA_EXPORT int vexa_dft_avx2_zubsZero_##t(T* dst, int len) { return set(T{}, dst, len); }
#include "vexa/primitives_catalogue.def"
}
