// Inside the stream block: the chunk list head, the generator state at byte
// 16, and the service-layer allocation every stream structure uses.
#pragma once

#include <cstdint>
#include <cstring>

#include "common/align.h"
#include "common/export.h"
#include "vexa/random.h"
#include "vexa/service.h"

namespace vexa::rng {

using vexa::kAlignment;
constexpr int kStateOffset = 16;

// The stream block sizes of the built-in records: registry_size::MRG32K3A.
namespace registry_size {
#define BRNG(index, NAME, id, compat, size, seeds, zero, word, bits, subs, built) constexpr int NAME = size;
#include "vexa/brng_catalogue.def"
#undef BRNG
}  // namespace registry_size

// The generator ids of the built-in records: registry_id::MCG59.
namespace registry_id {
#define BRNG(index, NAME, id, compat, size, seeds, zero, word, bits, subs, built) constexpr int32_t NAME = id;
#include "vexa/brng_catalogue.def"
#undef BRNG
}  // namespace registry_id

// The registry indices of the built-in records: registry_index::MT19937.
namespace registry_index {
#define BRNG(index, NAME, id, compat, size, seeds, zero, word, bits, subs, built) constexpr int32_t NAME = index;
#include "vexa/brng_catalogue.def"
#undef BRNG
}  // namespace registry_index

// A generator's view of its stream block: a struct that starts with the
// StreamState header and lays out the state from byte 16, its size checked
// against the registry record where it is defined.
template <class S> VEXA_INLINE S& state_of(StreamState* s) {
    static_assert(sizeof(StreamState) == kStateOffset);
    return *reinterpret_cast<S*>(s);
}

VEXA_INLINE StreamChunk* chunk_head(const StreamState* s) {
    return reinterpret_cast<StreamChunk*>(static_cast<uintptr_t>(s->chunks));
}
// Held in 64 bits, written sign-extended.
VEXA_INLINE void set_chunk_head(StreamState* s, StreamChunk* c) {
    s->chunks = static_cast<uint64_t>(static_cast<int64_t>(reinterpret_cast<intptr_t>(c)));
}

// The stream's first chunk with the id, or null.
VEXA_INLINE StreamChunk* chunk_record(const StreamState* s, int32_t id) {
    for (StreamChunk* c = chunk_head(s); c != nullptr; c = c->next)
        if (c->id == id) return c;
    return nullptr;
}

// The data of the stream's chunk with the id (the first in the list, as
// __tqrSearchChunk finds it), or null when there is none or it is shorter
// than `bytes` (a damaged image can carry any size).
VEXA_INLINE void* chunk_data(const StreamState* s, int32_t id, int32_t bytes) {
    for (const StreamChunk* c = chunk_head(s); c != nullptr; c = c->next)
        if (c->id == id) return c->size >= bytes ? c->data : nullptr;
    return nullptr;
}

// The generator state as a T at byte `offset` of the block.
template <class T> VEXA_INLINE T* field(StreamState* s, int offset) {
    return reinterpret_cast<T*>(reinterpret_cast<char*>(s) + offset);
}
template <class T> VEXA_INLINE const T* field(const StreamState* s, int offset) {
    return reinterpret_cast<const T*>(reinterpret_cast<const char*>(s) + offset);
}

// The stream's registry record and sub-generator number, or null for an id with none.
VEXA_INLINE const BrngProperties* record_of(int32_t id, int32_t* offset = nullptr) {
    int32_t index, off;
    const BrngProperties* table = __tqrGetBrngBaseOffset(id, &index, &off);
    if (__tqrIsBrngValid(table, index, off) != VEXA_RNG_OK) return nullptr;
    if (offset != nullptr) *offset = off;
    return table + index;
}

// The 64-bit count of a skip-ahead, from its two 32-bit words (low first).
VEXA_INLINE uint64_t skip_count(const uint32_t* params) { return uint64_t(params[0]) | (uint64_t(params[1]) << 32); }

}  // namespace vexa::rng
