// Stream images, in a file or in memory with the same bytes (little-endian):
//
//   0   version 1, then "RNG" (on load also "RNG" then the version; 0 or 1)
//   4   16-bit header size (16)      6   16-bit state size S
//   8   16-bit number of chunks C    10  2 reserved bytes, written as 0
//   12  32-bit generator id          16  the S state bytes of the stream
//   then C chunk records in list order: 32-bit id, 16-byte sharing key,
//   32-bit size D, D bytes of data.
//
// The loader re-attaches chunks through __tqrAddChunk, so data whose key is
// already in the shared read-only table is shared again instead of copied.
//
// A generator whose state does not fit the 16-bit size field (more than
// 65535 bytes) cannot be imaged: saving it returns the format status of the
// medium (VEXA_RNG_FILE_FORMAT for a file, VEXA_RNG_MEMORY_FORMAT for
// memory) before anything is written, and __tqrGetStreamSize still gives
// the size its image would have.
//
// A memory image carries no length: the loader trusts its sizes as the
// caller's block must hold the whole image.
#include <cstdio>
#include <cstring>

#include "random/core/stream.h"

namespace {

using namespace vexa::rng;

constexpr int kHeader = 16, kChunkHeader = 24;

void put16(uint8_t* p, uint32_t v) { p[0] = uint8_t(v), p[1] = uint8_t(v >> 8); }
void put32(uint8_t* p, uint32_t v) { put16(p, v), put16(p + 2, v >> 16); }
uint32_t get16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t get32(const uint8_t* p) { return get16(p) | get16(p + 2) << 16; }

struct FileSink {
    std::FILE* f;
    bool write(const void* p, size_t n) { return n == 0 || std::fwrite(p, 1, n, f) == n; }
};
struct MemorySink {
    uint8_t* p;
    bool write(const void* q, size_t n) {
        if (n != 0) std::memcpy(p, q, n);
        p += n;
        return true;
    }
};
// A file's bytes; a read beyond its end fails before anything is allocated
// for it.
struct FileSource {
    std::FILE* f;
    long left;
    bool fits(size_t n) const { return n <= size_t(left); }
    bool read(void* p, size_t n) {
        if (n == 0) return true;
        const size_t got = std::fread(p, 1, n, f);
        left -= long(got);
        return got == n;
    }
};
struct MemorySource {
    const uint8_t* p;
    static bool fits(size_t) { return true; }
    bool read(void* q, size_t n) {
        if (n != 0) std::memcpy(q, p, n);
        p += n;
        return true;
    }
};

// The statuses that differ between the media.
struct Faults {
    int header, version, write, read;
};
constexpr Faults kFile = {VEXA_RNG_FILE_FORMAT, VEXA_RNG_FILE_VERSION, VEXA_RNG_FILE_WRITE, VEXA_RNG_FILE_READ};
constexpr Faults kMemory = {VEXA_RNG_MEMORY_FORMAT, VEXA_RNG_MEMORY_FORMAT, VEXA_RNG_OK, VEXA_RNG_OK};

int state_bytes(const StreamState* s, int32_t* bytes) {
    const BrngProperties* r = record_of(s->brng);
    if (r == nullptr) return VEXA_RNG_INVALID_BRNG;
    *bytes = r->StreamStateSize - kStateOffset;
    return VEXA_RNG_OK;
}

int count_chunks(const StreamState* s) {
    int n = 0;
    for (const StreamChunk* c = chunk_head(s); c != nullptr; c = c->next) ++n;
    return n;
}

// Whether the stream has an image: its state and chunk count fit the 16-bit
// fields (else the medium's format status, before anything is written).
int imageable(const StreamState* s, int fault) {
    int32_t bytes;
    if (const int st = state_bytes(s, &bytes)) return st;
    return bytes > 0xFFFF || count_chunks(s) > 0xFFFF ? fault : VEXA_RNG_OK;
}

// Writes the image of a stream that has one.
template <class Sink> int save(const StreamState* s, Sink& out, const Faults& faults) {
    int32_t bytes = 0;
    state_bytes(s, &bytes);
    const int chunks = count_chunks(s);
    uint8_t h[kHeader] = {1, 'R', 'N', 'G'};
    put16(h + 4, kHeader);
    put16(h + 6, uint32_t(bytes));
    put16(h + 8, uint32_t(chunks));
    put32(h + 12, uint32_t(s->brng));
    if (!out.write(h, kHeader) || !out.write(field<char>(s, kStateOffset), size_t(bytes))) return faults.write;
    for (const StreamChunk* c = chunk_head(s); c != nullptr; c = c->next) {
        uint8_t r[kChunkHeader];
        put32(r, uint32_t(c->id));
        std::memcpy(r + 4, &c->key, sizeof(GlobROKey));
        put32(r + 20, uint32_t(c->size));
        if (!out.write(r, kChunkHeader) || !out.write(c->data, size_t(c->size))) return faults.write;
    }
    return VEXA_RNG_OK;
}

// Reads the image into a new stream; on failure the stream is deleted.
template <class Source> int load(StreamState** out, Source& in, const Faults& faults) {
    uint8_t h[kHeader];
    if (!in.read(h, kHeader)) return faults.read;
    int version;
    if (std::memcmp(h + 1, "RNG", 3) == 0)
        version = h[0];
    else if (std::memcmp(h, "RNG", 3) == 0)
        version = h[3];
    else
        return faults.header;
    if (version > 1) return faults.version;
    const int32_t id = int32_t(get32(h + 12));
    int32_t index, offset;
    const BrngProperties* table = __tqrGetBrngBaseOffset(id, &index, &offset);
    if (__tqrIsBrngValid(table, index, offset) != VEXA_RNG_OK) return faults.header;
    const int32_t bytes = table[index].StreamStateSize - kStateOffset;
    if (int32_t(get16(h + 6)) != bytes || get16(h + 4) < uint32_t(kHeader)) return faults.header;

    StreamState* s = nullptr;
    if (const int st = __tqrAllocateStream(&s, table, id, index, offset)) {
        if (s != nullptr) __tqrDeleteStream(&s);
        return st;
    }
    auto fail = [&](int st) {
        __tqrDeleteStream(&s);
        return st;
    };
    if (!in.read(field<char>(s, kStateOffset), size_t(bytes))) return fail(faults.read);
    for (uint32_t k = 0, n = get16(h + 8); k < n; ++k) {
        uint8_t r[kChunkHeader];
        if (!in.read(r, kChunkHeader)) return fail(faults.read);
        GlobROKey key;
        std::memcpy(&key, r + 4, sizeof key);
        const uint32_t size = get32(r + 20);
        if (!in.fits(size)) return fail(faults.read);
        if (size > 0x7FFFFFFFu) return fail(VEXA_RNG_MEMORY);  // beyond any chunk's size field
        void* data = vexa_serv_allocate(size == 0 ? 1 : size, kAlignment);
        if (data == nullptr) return fail(VEXA_RNG_MEMORY);
        if (!in.read(data, size)) {
            vexa_serv_deallocate(data);
            return fail(faults.read);
        }
        if (__tqrAddChunk(s, int32_t(get32(r)), &key, data, int32_t(size)) != VEXA_RNG_OK) {
            vexa_serv_deallocate(data);
            return fail(VEXA_RNG_MEMORY);
        }
        if (chunk_head(s)->data != data) vexa_serv_deallocate(data);  // shared: the table's block is used
    }
    if (id == 0xE00000 && __tqrCPUisRDRAND() == 0) return fail(VEXA_RNG_NO_HW_RNG);
    if (id == 0xF00000 && __tqrCPUisAES() == 0) return fail(VEXA_RNG_NO_AES);
    *out = s;
    return VEXA_RNG_OK;
}

// The file name NUL-terminated: copied when its length is given.
struct Name {
    const char* name = nullptr;
    char* copy = nullptr;
    ~Name() { vexa_serv_deallocate(copy); }
    int take(const char* given, int length) {
        if (length < 0) {
            name = given;
            return VEXA_RNG_OK;
        }
        copy = static_cast<char*>(vexa_serv_allocate(size_t(length) + 1, kAlignment));
        if (copy == nullptr) return VEXA_RNG_MEMORY;
        if (length > 0) std::memcpy(copy, given, size_t(length));
        copy[length] = '\0';
        name = copy;
        return VEXA_RNG_OK;
    }
};

// The status of a file operation followed by closing the file: a failed
// close overrides.
int close_with(std::FILE* f, int status) { return std::fclose(f) != 0 ? VEXA_RNG_FILE_CLOSE : status; }

}  // namespace

extern "C" {

VEXA_EXPORT int32_t __tqrGetStreamSize(const StreamState* stream) {
    if (stream == nullptr) return 0;
    const BrngProperties* r = record_of(stream->brng);
    int64_t size = r == nullptr ? kStateOffset : r->StreamStateSize;
    for (const StreamChunk* c = chunk_head(stream); c != nullptr; c = c->next) size += int64_t(c->size) + kChunkHeader;
    return int32_t(size);
}

// Null streams, blocks and out pointers are refused with VEXA_RNG_BAD_ARG.
VEXA_EXPORT int __tqrSaveStreamM(const StreamState* stream, char* memory) {
    if (stream == nullptr || memory == nullptr) return VEXA_RNG_BAD_ARG;
    if (const int st = imageable(stream, VEXA_RNG_MEMORY_FORMAT)) return st;
    MemorySink sink{reinterpret_cast<uint8_t*>(memory)};
    return save(stream, sink, kMemory);
}

VEXA_EXPORT int __tqrLoadStreamM(StreamState** stream, const char* memory) {
    if (stream == nullptr) return VEXA_RNG_BAD_ARG;
    *stream = nullptr;
    if (memory == nullptr) return VEXA_RNG_BAD_ARG;
    MemorySource source{reinterpret_cast<const uint8_t*>(memory)};
    return load(stream, source, kMemory);
}

VEXA_EXPORT int __tqrSaveStreamF(const StreamState* stream, const char* name, int length) {
    if (stream == nullptr) return VEXA_RNG_BAD_ARG;
    Name n;
    if (name == nullptr) return VEXA_RNG_FILE_OPEN;
    if (const int st = n.take(name, length)) return st;
    if (const int st = imageable(stream, VEXA_RNG_FILE_FORMAT)) return st;
    std::FILE* f = std::fopen(n.name, "wb");
    if (f == nullptr) return VEXA_RNG_FILE_OPEN;
    FileSink sink{f};
    return close_with(f, save(stream, sink, kFile));
}

VEXA_EXPORT int __tqrLoadStreamF(StreamState** stream, const char* name, int length) {
    if (stream == nullptr) return VEXA_RNG_BAD_ARG;
    *stream = nullptr;
    Name n;
    if (name == nullptr) return VEXA_RNG_FILE_OPEN;
    if (const int st = n.take(name, length)) return st;
    std::FILE* f = std::fopen(n.name, "rb");
    if (f == nullptr) return VEXA_RNG_FILE_OPEN;
    long bytes = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) bytes = std::ftell(f);
    if (bytes < 0 || std::fseek(f, 0, SEEK_SET) != 0) return close_with(f, VEXA_RNG_FILE_READ);
    FileSource source{f, bytes};
    const int st = close_with(f, load(stream, source, kFile));
    if (st != VEXA_RNG_OK) __tqrDeleteStream(stream);  // a failed close after a good load
    return st;
}

}  // extern "C"
