// Byte-level fill and copy routines behind the typed copy, set and zero
// primitives: small blocks through cached stores, blocks above 2 MiB with
// streaming stores that bypass the caches.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/export.h"

namespace vexa::pr {

constexpr std::size_t kLargeBlock = 0x200000;  // 2 MiB

// Copies `bytes` bytes (the blocks may overlap: the small routine moves).
VEXA_HIDDEN void copy_bytes(void* dst, const void* src, std::size_t bytes);
// Fills `bytes` bytes (a multiple of the pattern size) with a pattern of
// `size` bytes (1, 2, 4, 8 or 16).
VEXA_HIDDEN void fill_pattern(void* dst, const void* pattern, std::size_t size, std::size_t bytes);

}  // namespace vexa::pr
