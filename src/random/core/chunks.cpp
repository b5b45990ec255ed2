// Chunks, the cached data blocks of a stream, and the process-wide table
// through which streams share read-only chunk data, with its spin lock and
// reference counts.
#include <x86intrin.h>

#include <cstdint>
#include <cstring>

#include "random/core/stream.h"

using namespace vexa::rng;

extern "C" {
VEXA_EXPORT GlobRODataTableEntry _GlobRODataTable[VEXA_RNG_GLOBAL_ENTRIES];
VEXA_EXPORT int32_t _GlobRODataTableCount = 0;
VEXA_EXPORT volatile int32_t _TQR_GLOB_RO_DATA_TABLE_LOCKER_1 = 0;
}

namespace {

// A new shared entry is made only while the table holds fewer than this.
constexpr int kShareLimit = 127;

// The data size of each shared entry as the chunk that made it gave it (-1
// for an entry made directly), so that a chunk announcing another size for
// the same key (only a damaged or forged image does) is not pointed at a
// block shorter than it claims: it stays private instead. Kept in step with
// the table under its lock.
int32_t g_sizes[VEXA_RNG_GLOBAL_ENTRIES];

struct TableLock {
    TableLock() {
        for (;;) {
            int32_t expected = 0;
            if (__atomic_compare_exchange_n(&_TQR_GLOB_RO_DATA_TABLE_LOCKER_1, &expected, 1, false, __ATOMIC_ACQUIRE,
                                            __ATOMIC_RELAXED))
                return;
            _mm_pause();
        }
    }
    ~TableLock() { __atomic_store_n(&_TQR_GLOB_RO_DATA_TABLE_LOCKER_1, 0, __ATOMIC_RELEASE); }
    TableLock(const TableLock&) = delete;
};

VEXA_INLINE bool zero_key(const GlobROKey* k) { return k == nullptr || (k->stamp == 0 && k->tag == 0 && k->extra == 0); }
VEXA_INLINE bool same_key(const GlobROKey& a, const GlobROKey& b) {
    return a.stamp == b.stamp && a.tag == b.tag && a.extra == b.extra;
}

// The entry with the key, the table locked by the caller.
GlobRODataTableEntry* find_locked(const GlobROKey* key) {
    for (int32_t i = 0; i < _GlobRODataTableCount; ++i)
        if (same_key(_GlobRODataTable[i].key, *key)) return &_GlobRODataTable[i];
    return nullptr;
}

// Releases one chunk record and its data (or its reference to shared data).
void release(StreamChunk* c) {
    GlobRODataTableEntry* e;
    if (__tqrFindGlobRODataTableEntry(&e, &c->key) == VEXA_RNG_OK) __tqrUnregisterGlobRODataReference(&c->key);
    else vexa_serv_deallocate(c->data);
    vexa_serv_deallocate(c);
}

int32_t shared_size(const GlobROKey* key) {
    TableLock lock;
    const GlobRODataTableEntry* e = find_locked(key);
    return e == nullptr ? -1 : g_sizes[e - _GlobRODataTable];
}

void set_shared_size(const GlobROKey* key, int32_t size) {
    TableLock lock;
    if (const GlobRODataTableEntry* e = find_locked(key)) g_sizes[e - _GlobRODataTable] = size;
}

}  // namespace

extern "C" {

VEXA_EXPORT int __tqrFindGlobRODataTableEntry(GlobRODataTableEntry** entry, const GlobROKey* key) {
    if (zero_key(key)) return VEXA_RNG_TABLE_NOT_FOUND;
    TableLock lock;
    GlobRODataTableEntry* e = find_locked(key);
    if (e == nullptr) return VEXA_RNG_TABLE_NOT_FOUND;
    *entry = e;
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqrCreateGlobRODataTableEntry(GlobRODataTableEntry** entry, const GlobROKey* key, void* data) {
    TableLock lock;
    if (_GlobRODataTableCount >= VEXA_RNG_GLOBAL_ENTRIES) return VEXA_RNG_TABLE_FULL;
    g_sizes[_GlobRODataTableCount] = -1;
    GlobRODataTableEntry* e = &_GlobRODataTable[_GlobRODataTableCount++];
    e->key = *key;
    e->references = 1;
    e->data = data;
    *entry = e;
    return VEXA_RNG_OK;
}

VEXA_EXPORT void __tqrRegisterGlobRODataReference(StreamChunk* chunk, const GlobROKey* key) {
    TableLock lock;
    if (GlobRODataTableEntry* e = find_locked(key)) {
        ++e->references;
        chunk->data = e->data;
    }
}

VEXA_EXPORT void __tqrUnregisterGlobRODataReference(const GlobROKey* key) {
    TableLock lock;
    GlobRODataTableEntry* e = find_locked(key);
    if (e == nullptr) return;
    if (e->references-- != 1) return;
    vexa_serv_deallocate(e->data);
    GlobRODataTableEntry* last = &_GlobRODataTable[--_GlobRODataTableCount];
    if (e != last) {
        *e = *last;
        g_sizes[e - _GlobRODataTable] = g_sizes[last - _GlobRODataTable];
    }
    std::memset(static_cast<void*>(last), 0, sizeof(*last));
}

VEXA_EXPORT int __tqrGenerateNewGlobalRODataTableEntryId(GlobROKey* key, uint32_t tag) {
    for (;;) {
        key->stamp = __rdtsc();
        key->tag = tag;
        key->extra = 0;
        TableLock lock;
        if (find_locked(key) == nullptr) return VEXA_RNG_OK;
    }
}

VEXA_EXPORT int __tqrAddChunk(StreamState* stream, int32_t id, const GlobROKey* key, void* data, int32_t size) {
    auto* c = static_cast<StreamChunk*>(vexa_serv_allocate(sizeof(StreamChunk), kAlignment));
    if (c == nullptr) return VEXA_RNG_MEMORY;
    c->id = id;
    c->size = size;
    c->data = data;
    c->next = nullptr;
    std::memset(&c->key, 0, sizeof(c->key));
    if (key != nullptr) c->key = *key;
    GlobRODataTableEntry* e;
    if (__tqrFindGlobRODataTableEntry(&e, &c->key) == VEXA_RNG_OK) {
        if (shared_size(&c->key) == size || shared_size(&c->key) < 0 || data == nullptr) {
            // Shared already: the chunk points at the table's block, not the caller's.
            __tqrRegisterGlobRODataReference(c, &c->key);
        } else {
            std::memset(&c->key, 0, sizeof(c->key));  // another size under the same key: private
        }
    } else if (_GlobRODataTableCount < kShareLimit) {
        if (!zero_key(&c->key)) {
            if (__tqrCreateGlobRODataTableEntry(&e, &c->key, data) != VEXA_RNG_OK)
                std::memset(&c->key, 0, sizeof(c->key));
            else
                set_shared_size(&c->key, size);
        }
    } else {
        std::memset(&c->key, 0, sizeof(c->key));  // no room to share: private
    }
    c->next = chunk_head(stream);
    set_chunk_head(stream, c);
    return VEXA_RNG_OK;
}

VEXA_EXPORT void* __tqrSearchChunk(const StreamState* stream, int32_t id) {
    for (StreamChunk* c = chunk_head(stream); c != nullptr; c = c->next)
        if (c->id == id) return c->data;
    return nullptr;
}

VEXA_EXPORT int __tqrGetNumChunks(const StreamState* stream) {
    int n = 0;
    for (StreamChunk* c = chunk_head(stream); c != nullptr; c = c->next) ++n;
    return n;
}

VEXA_EXPORT void __tqrDeleteChunks(StreamState* stream) {
    for (StreamChunk* c = chunk_head(stream); c != nullptr;) {
        StreamChunk* next = c->next;
        release(c);
        c = next;
    }
    set_chunk_head(stream, nullptr);
}

VEXA_EXPORT void __tqrDeleteChunksById(StreamState* stream, int32_t id) {
    StreamChunk* keep = nullptr;
    StreamChunk** tail = &keep;
    for (StreamChunk* c = chunk_head(stream); c != nullptr;) {
        StreamChunk* next = c->next;
        if (c->id == id) {
            release(c);
        } else {
            *tail = c;
            tail = &c->next;
        }
        c = next;
    }
    *tail = nullptr;
    set_chunk_head(stream, keep);
}

VEXA_EXPORT int __tqrCopyChunks(StreamState* dst, const StreamState* src) {
    for (StreamChunk* c = chunk_head(src); c != nullptr; c = c->next) {
        void* data = nullptr;
        GlobRODataTableEntry* e;
        if (__tqrFindGlobRODataTableEntry(&e, &c->key) != VEXA_RNG_OK) {
            data = vexa_serv_allocate(std::size_t(c->size), kAlignment);
            if (data == nullptr) {
                __tqrDeleteChunks(dst);
                return VEXA_RNG_MEMORY;
            }
            vexa_serv_memcpy_s(data, std::size_t(c->size), c->data, std::size_t(c->size));
        }
        if (const int st = __tqrAddChunk(dst, c->id, &c->key, data, c->size)) {
            vexa_serv_deallocate(data);
            __tqrDeleteChunks(dst);
            return st;
        }
    }
    return VEXA_RNG_OK;
}

}  // extern "C"
