// The stream life cycle: allocation, creation with standard seeding, the
// abstract creators, copies of streams and of their state, deletion, and the
// dispatch of leapfrog and skip-ahead to the stream's generator.
#include <cstdint>
#include <cstring>

#include "random/core/stream.h"

using namespace vexa::rng;

extern "C" {

VEXA_EXPORT int __tqrAllocateStream(StreamState** out, const BrngProperties* table, int32_t id, int32_t index,
                                    int32_t offset) {
    if (const int st = __tqrIsBrngValid(table, index, offset)) return st;
    const int32_t size = table[index].StreamStateSize;
    auto* s = static_cast<StreamState*>(vexa_serv_allocate(std::size_t(size < 16 ? 16 : size), kAlignment));
    *out = s;
    if (s == nullptr) return VEXA_RNG_MEMORY;
    s->brng = id;
    s->allocated = 1;
    s->chunks = 0;
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqrNewStreamEx(StreamState** out, int32_t id, int n, const uint32_t* params) {
    if ((id & ~0x100000) == 0xA00000 || id == 0xC00000) return VEXA_RNG_INVALID_BRNG;  // abstract ids
    int32_t index, offset;
    const BrngProperties* table = __tqrGetBrngBaseOffset(id, &index, &offset);
    if (const int st = __tqrAllocateStream(out, table, id, index, offset)) return st;
    return table[index].InitStream(VEXA_RNG_INIT_STANDARD, *out, n, params);
}

}  // extern "C"

namespace {

// Allocates an abstract stream and hands its parameter block to its generator.
int new_abstract(StreamState** out, int32_t id, int words, const uint32_t* block) {
    int32_t index, offset;
    const BrngProperties* table = __tqrGetBrngBaseOffset(id, &index, &offset);
    if (const int st = __tqrAllocateStream(out, table, id, index, offset)) return st;
    return table[index].InitStream(VEXA_RNG_INIT_STANDARD, *out, words, block);
}

// The block's words: addresses as 32-bit words (pairs on a 64-bit build).
template <class... P> void put_words(uint32_t* w, P... values) {
    int k = 0;
    auto put = [&](const void* v, std::size_t bytes) {
        std::memcpy(w + k, v, bytes);
        k += int(bytes / 4);
    };
    (put(&values, sizeof(values)), ...);
}

}  // namespace

extern "C" {

VEXA_EXPORT int __tqriNewAbstractStream(StreamState** out, int n, uint32_t* buffer, VexaiAbstractCallback* callback) {
    if (n == 0 || buffer == nullptr || callback == nullptr) return VEXA_RNG_BAD_ARG;
    uint32_t block[6] = {};
    const int* pn = &n;
    put_words(block, pn, buffer, callback);
    return new_abstract(out, 0xA00000, 6, block);
}
VEXA_EXPORT int __tqrdNewAbstractStream(StreamState** out, int n, double* buffer, double a, double b,
                                        VexadAbstractCallback* callback) {
    if (n == 0 || buffer == nullptr || callback == nullptr || a >= b) return VEXA_RNG_BAD_ARG;
    uint32_t block[10] = {};
    const int* pn = &n;
    const double *pa = &a, *pb = &b;
    put_words(block, pn, buffer, pa, pb, callback);
    return new_abstract(out, 0xB00000, 10, block);
}
VEXA_EXPORT int __tqrsNewAbstractStream(StreamState** out, int n, float* buffer, float a, float b,
                                        VexasAbstractCallback* callback) {
    if (n == 0 || buffer == nullptr || callback == nullptr || a >= b) return VEXA_RNG_BAD_ARG;
    uint32_t block[10] = {};
    const int* pn = &n;
    const float *pa = &a, *pb = &b;
    put_words(block, pn, buffer, pa, pb, callback);
    return new_abstract(out, 0xC00000, 10, block);
}

VEXA_EXPORT int __tqrCopyStream(StreamState** out, const StreamState* src) {
    int32_t index, offset;
    const BrngProperties* table = __tqrGetBrngBaseOffset(src->brng, &index, &offset);
    if (const int st = __tqrAllocateStream(out, table, src->brng, index, offset)) return st;
    const int32_t size = table[index].StreamStateSize;
    vexa_serv_memcpy_s(*out, std::size_t(size), src, std::size_t(size));
    (*out)->allocated = 1;
    (*out)->chunks = 0;
    return __tqrCopyChunks(*out, src);
}

// Copies the whole state area (StreamStateSize - 16 bytes), which both streams
// have when they use the same generator (our choice of the two sizes at hand).
VEXA_EXPORT int __tqrCopyStreamState(StreamState* dst, const StreamState* src) {
    if (dst == src) return VEXA_RNG_OK;
    const BrngProperties* r = record_of(src->brng);
    const BrngProperties* d = record_of(dst->brng);
    if (r == nullptr || d == nullptr) return VEXA_RNG_INVALID_BRNG;
    const int32_t src_size = r->StreamStateSize, dst_size = d->StreamStateSize;
    const int32_t bytes = (src_size < dst_size ? src_size : dst_size) - kStateOffset;
    if (bytes > 0)
        vexa_serv_memcpy_s(field<char>(dst, kStateOffset), std::size_t(bytes), field<char>(src, kStateOffset),
                           std::size_t(bytes));
    __tqrDeleteChunks(dst);
    return __tqrCopyChunks(dst, src);
}

VEXA_EXPORT int __tqrDeleteStream(StreamState** stream) {
    if (stream == nullptr || *stream == nullptr) return VEXA_RNG_OK;
    __tqrDeleteChunks(*stream);
    vexa_serv_deallocate(*stream);
    *stream = nullptr;
    return VEXA_RNG_OK;
}

VEXA_EXPORT int __tqrLeapfrogStream(StreamState* stream, int k, int nstreams) {
    if (nstreams < 0) return VEXA_RNG_LEAPFROG_NSTREAMS;
    const BrngProperties* r = record_of(stream->brng);
    if (r == nullptr) return VEXA_RNG_INVALID_BRNG;
    const uint32_t index = uint32_t(k);
    return r->InitStream(VEXA_RNG_INIT_LEAPFROG, stream, nstreams, &index);
}

VEXA_EXPORT int __tqrSkipAheadStream(StreamState* stream, long long nskip) {
    const BrngProperties* r = record_of(stream->brng);
    if (r == nullptr) return VEXA_RNG_INVALID_BRNG;
    const uint64_t count = uint64_t(nskip);
    const uint32_t words[2] = {uint32_t(count), uint32_t(count >> 32)};
    return r->InitStream(VEXA_RNG_INIT_SKIPAHEAD, stream, 2, words);
}

VEXA_EXPORT int32_t __tqrGetStreamStateBrng(const StreamState* stream) { return stream->brng; }

}  // extern "C"
