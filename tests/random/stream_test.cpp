// The generator registry (ids in both encodings, records from the catalogue,
// registration and its checks), the stream life cycle and its argument
// checks, chunks and the shared read-only table (reference counts, the
// 127-entry rule, concurrent sharing), and every allocation of creation,
// copy and chunk copy failed in turn.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "vexa/random.h"
#include "vexa/service.h"

namespace {

struct Row {
    int index;
    const char* name;
    int32_t id, compat, size, seeds, zero, word, bits, subs, built;
};
const Row kRows[] = {
#define BRNG(index, NAME, id, compat, size, seeds, zero, word, bits, subs, built) \
    {index, #NAME, id, compat, size, seeds, zero, word, bits, subs, built},
#include "vexa/brng_catalogue.def"
#undef BRNG
};

TEST(Registry, RecordsAndIdsInBothEncodings) {
    EXPECT_EQ(sizeof(kRows) / sizeof(kRows[0]), 16u);
    for (const Row& r : kRows) {
        BrngProperties p{};
        ASSERT_EQ(__tqrGetBrngProperties(r.id, &p), 0) << r.name;
        EXPECT_EQ(p.StreamStateSize, r.size) << r.name;
        EXPECT_EQ(p.NSeeds, r.seeds);
        EXPECT_EQ(p.IncludesZero, r.zero);
        EXPECT_EQ(p.WordSize, r.word);
        EXPECT_EQ(p.NBits, r.bits);
        EXPECT_EQ(NumOffsets[r.index], r.subs);
        EXPECT_EQ(__tqrIsBrngValid(__RegBrngsNew, r.index, r.subs - 1), 0);
        EXPECT_EQ(__tqrIsBrngValid(__RegBrngsNew, r.index, r.subs), VEXA_RNG_INVALID_BRNG) << r.name;
        if (r.compat >= 0) {
            int32_t index, offset;
            EXPECT_EQ(__tqrGetBrngBaseOffset(r.compat, &index, &offset), __RegBrngs);
            EXPECT_EQ(__RegBrngs[index].InitStream, p.InitStream) << r.name;
        }
    }
    int32_t index, offset;
    EXPECT_EQ(__tqrGetBrngBaseOffset(0x500000 + 272, &index, &offset), __RegBrngsNew);
    EXPECT_EQ(index, 4);
    EXPECT_EQ(offset, 272);
    EXPECT_EQ(__tqrGetBrngProperties(0x500000 + 273, nullptr), VEXA_RNG_INVALID_BRNG);
    EXPECT_EQ(__tqrGetBrngProperties(0x900000 + 6023, nullptr), 0);
    EXPECT_EQ(__tqrGetBrngProperties(0x900000 + 6024, nullptr), VEXA_RNG_INVALID_BRNG);
    EXPECT_EQ(__tqrGetBrngBaseOffset(5, &index, &offset), __RegBrngs);  // Wichmann-Hill set 1
    EXPECT_EQ(index, 4);
    EXPECT_EQ(offset, 1);
    EXPECT_EQ(__tqrGetBrngProperties(277, nullptr), 0);
    for (int32_t id : {279, 280, 281, -1, -0x100000}) EXPECT_EQ(__tqrGetBrngProperties(id, nullptr), VEXA_RNG_INVALID_BRNG) << id;
    // Streams by compatibility id run the same generator.
    StreamState *a = nullptr, *b = nullptr;
    const uint32_t seed = 8;
    ASSERT_EQ(__tqrNewStreamEx(&a, 5, 1, &seed), 0);
    ASSERT_EQ(__tqrNewStreamEx(&b, 0x500001, 1, &seed), 0);
    double x, y;
    __tqrdBRngWH(a, 1, &x, 0, 1);
    __tqrdBRngWH(b, 1, &y, 0, 1);
    EXPECT_EQ(x, y);
    EXPECT_EQ(__tqrGetStreamStateBrng(a), 5);
    __tqrDeleteStream(&a);
    __tqrDeleteStream(&b);
    EXPECT_EQ(a, nullptr);
}

int dummy_init(int, StreamState*, int, const uint32_t*) { return 0; }
int dummy_s(StreamState*, int, float*, float, float) { return 0; }
int dummy_d(StreamState*, int, double*, double, double) { return 0; }
int dummy_i(StreamState*, int, uint32_t*) { return 0; }

TEST(Registry, RegistrationChecksInOrder) {
    BrngProperties p{64, 1, 0, 4, 32, dummy_init, dummy_s, dummy_d, dummy_i};
    const int before = __tqrGetNumRegBrngs();
    BrngProperties bad = p;
    bad.StreamStateSize = -1;
    EXPECT_EQ(__tqrRegisterBrng(&bad), VEXA_RNG_BAD_STATE_SIZE);
    bad = p, bad.WordSize = 12, bad.NSeeds = 0;
    EXPECT_EQ(__tqrRegisterBrng(&bad), VEXA_RNG_BAD_WORD_SIZE);
    bad.WordSize = 8;
    EXPECT_EQ(__tqrRegisterBrng(&bad), VEXA_RNG_BAD_NSEEDS);
    bad = p, bad.NBits = 0;
    EXPECT_EQ(__tqrRegisterBrng(&bad), VEXA_RNG_BAD_NBITS);
    bad = p, bad.iBRng = nullptr;
    EXPECT_EQ(__tqrRegisterBrng(&bad), VEXA_RNG_NULL_ROUTINE);
    EXPECT_EQ(__tqrGetNumRegBrngs(), before);  // a refusal changes nothing
    const int id = __tqrRegisterBrng(&p);
    EXPECT_EQ(id, (before << 20) + 0x100000);
    if (before == 16) {
        EXPECT_EQ(id, 0x1100000);
    }
    EXPECT_EQ(__tqrGetNumRegBrngs(), before + 1);
    StreamState* s = nullptr;
    ASSERT_EQ(__tqrNewStreamEx(&s, id, 0, nullptr), 0);
    EXPECT_EQ(s->brng, id);
    EXPECT_EQ(s->allocated, 1);
    __tqrDeleteStream(&s);
    // The registry never passes 512 records.
    while (__tqrGetNumRegBrngs() < VEXA_RNG_REGISTRY_RECORDS) ASSERT_GT(__tqrRegisterBrng(&p), 0);
    EXPECT_EQ(__tqrRegisterBrng(&p), VEXA_RNG_REGISTRY_FULL);
    EXPECT_EQ(__tqrGetNumRegBrngs(), VEXA_RNG_REGISTRY_RECORDS);
}

int icallback(StreamState*, int*, uint32_t*, int*, int*, int*) { return 0; }
int dcallback(StreamState*, int*, double*, int*, int*, int*) { return 0; }
int scallback(StreamState*, int*, float*, int*, int*, int*) { return 0; }

TEST(Streams, CreationChecksAndTheGeneratorsNotBuiltYet) {
    StreamState* s = nullptr;
    const long live = vexa_serv_test_live_blocks();
    for (int32_t id : {0xA00000, 0xB00000, 0xC00000}) EXPECT_EQ(__tqrNewStreamEx(&s, id, 0, nullptr), VEXA_RNG_INVALID_BRNG);
    EXPECT_EQ(__tqrNewStreamEx(&s, 0x20100000, 0, nullptr), VEXA_RNG_INVALID_BRNG);  // past the 512 records
    EXPECT_EQ(vexa_serv_test_live_blocks(), live);  // refused before allocating
    uint32_t ibuf[4];
    double dbuf[4];
    float fbuf[4];
    EXPECT_EQ(__tqriNewAbstractStream(&s, 0, ibuf, icallback), VEXA_RNG_BAD_ARG);
    EXPECT_EQ(__tqriNewAbstractStream(&s, 4, nullptr, icallback), VEXA_RNG_BAD_ARG);
    EXPECT_EQ(__tqriNewAbstractStream(&s, 4, ibuf, nullptr), VEXA_RNG_BAD_ARG);
    EXPECT_EQ(__tqrdNewAbstractStream(&s, 4, dbuf, 1, 1, dcallback), VEXA_RNG_BAD_ARG);
    EXPECT_EQ(__tqrsNewAbstractStream(&s, 4, fbuf, 2, 1, scallback), VEXA_RNG_BAD_ARG);
    EXPECT_EQ(vexa_serv_test_live_blocks(), live);
    // Generators whose routines are not built yet: the block is made, the
    // initialisation refuses, every routine refuses; leapfrog and skip-ahead too.
    for (const Row& r : kRows) {
        if (r.built) continue;
        if (r.id == 0xA00000 || r.id == 0xB00000 || r.id == 0xC00000) {
            const int st = r.id == 0xA00000   ? __tqriNewAbstractStream(&s, 4, ibuf, icallback)
                           : r.id == 0xB00000 ? __tqrdNewAbstractStream(&s, 4, dbuf, 0, 1, dcallback)
                                              : __tqrsNewAbstractStream(&s, 4, fbuf, 0, 1, scallback);
            EXPECT_EQ(st, VEXA_RNG_NOT_BUILT) << r.name;
        } else {
            EXPECT_EQ(__tqrNewStreamEx(&s, r.id, 0, nullptr), VEXA_RNG_NOT_BUILT) << r.name;
        }
        ASSERT_NE(s, nullptr) << r.name;
        EXPECT_EQ(s->brng, r.id);
        double d;
        EXPECT_EQ(__RegBrngsNew[r.index].dBRng(s, 1, &d, 0, 1), VEXA_RNG_NOT_BUILT);
        EXPECT_EQ(__tqrSkipAheadStream(s, 1), VEXA_RNG_NOT_BUILT);
        EXPECT_EQ(__tqrDeleteStream(&s), 0);
    }
    EXPECT_EQ(vexa_serv_test_live_blocks(), live);
    const uint32_t seed = 1;
    ASSERT_EQ(__tqrNewStreamEx(&s, 0x100000, 1, &seed), 0);
    EXPECT_EQ(__tqrLeapfrogStream(s, 0, -1), VEXA_RNG_LEAPFROG_NSTREAMS);
    EXPECT_EQ(__tqrCopyStreamState(s, s), 0);
    __tqrDeleteStream(&s);
}

TEST(Streams, CopyStateReplacesStateAndChunks) {
    StreamState *a = nullptr, *b = nullptr;
    const uint32_t s1 = 1, s2 = 2;
    ASSERT_EQ(__tqrNewStreamEx(&a, 0x400000, 1, &s1), 0);
    ASSERT_EQ(__tqrNewStreamEx(&b, 0x400000, 1, &s2), 0);
    double x[8], y[8];
    __tqrdBRngMCG59(a, 3, x, 0, 1);
    ASSERT_EQ(__tqrCopyStreamState(b, a), 0);
    EXPECT_EQ(__tqrGetNumChunks(b), 1);
    __tqrdBRngMCG59(a, 8, x, 0, 1);
    __tqrdBRngMCG59(b, 8, y, 0, 1);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(x[i], y[i]);
    __tqrDeleteStream(&a);
    __tqrDeleteStream(&b);
}

void* block_of(int bytes, unsigned char fill) {
    void* p = vexa_serv_allocate(std::size_t(bytes), 128);
    std::memset(p, fill, std::size_t(bytes));
    return p;
}

TEST(Chunks, ListSearchAndDeletionById) {
    StreamState* s = nullptr;
    const uint32_t seed = 3;
    ASSERT_EQ(__tqrNewStreamEx(&s, 0x300000, 1, &seed), 0);
    EXPECT_EQ(__tqrGetNumChunks(s), 0);
    void* p3 = block_of(16, 3);
    void* p4 = block_of(16, 4);
    void* p5 = block_of(16, 5);
    ASSERT_EQ(__tqrAddChunk(s, 3, nullptr, p3, 16), 0);
    ASSERT_EQ(__tqrAddChunk(s, 4, nullptr, p4, 16), 0);
    ASSERT_EQ(__tqrAddChunk(s, 5, nullptr, p5, 16), 0);
    EXPECT_EQ(__tqrGetNumChunks(s), 3);
    EXPECT_EQ(__tqrSearchChunk(s, 4), p4);
    EXPECT_EQ(__tqrSearchChunk(s, 9), nullptr);
    // Pushed at the head: 5, 4, 3; deleting 4 keeps 5 then 3.
    __tqrDeleteChunksById(s, 4);
    const StreamChunk* head = reinterpret_cast<const StreamChunk*>(static_cast<uintptr_t>(s->chunks));
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->id, 5);
    ASSERT_NE(head->next, nullptr);
    EXPECT_EQ(head->next->id, 3);
    EXPECT_EQ(head->next->next, nullptr);
    // A copy holds its own blocks with the same bytes.
    StreamState* c = nullptr;
    ASSERT_EQ(__tqrCopyStream(&c, s), 0);
    EXPECT_EQ(__tqrGetNumChunks(c), 2);
    EXPECT_NE(__tqrSearchChunk(c, 3), p3);
    EXPECT_EQ(std::memcmp(__tqrSearchChunk(c, 3), p3, 16), 0);
    __tqrDeleteStream(&c);
    __tqrDeleteStream(&s);
}

TEST(Chunks, SharedDataIsCountedAndReleasedOnce) {
    const long live = vexa_serv_test_live_blocks();
    const int32_t entries = _GlobRODataTableCount;
    GlobROKey key;
    ASSERT_EQ(__tqrGenerateNewGlobalRODataTableEntryId(&key, 9), 0);
    EXPECT_EQ(key.tag, 9u);
    StreamState *a = nullptr, *b = nullptr, *c = nullptr;
    const uint32_t seed = 3;
    ASSERT_EQ(__tqrNewStreamEx(&a, 0x300000, 1, &seed), 0);
    ASSERT_EQ(__tqrNewStreamEx(&b, 0x300000, 1, &seed), 0);
    void* data = block_of(64, 7);
    ASSERT_EQ(__tqrAddChunk(a, 9, &key, data, 64), 0);
    EXPECT_EQ(_GlobRODataTableCount, entries + 1);
    GlobRODataTableEntry* e = nullptr;
    ASSERT_EQ(__tqrFindGlobRODataTableEntry(&e, &key), 0);
    EXPECT_EQ(e->references, 1);
    // A second stream with the same key points at the shared block, not its own.
    ASSERT_EQ(__tqrAddChunk(b, 9, &key, nullptr, 64), 0);
    EXPECT_EQ(__tqrSearchChunk(b, 9), data);
    ASSERT_EQ(__tqrCopyStream(&c, a), 0);
    EXPECT_EQ(__tqrSearchChunk(c, 9), data);
    ASSERT_EQ(__tqrFindGlobRODataTableEntry(&e, &key), 0);
    EXPECT_EQ(e->references, 3);
    __tqrDeleteStream(&a);
    __tqrDeleteStream(&c);
    ASSERT_EQ(__tqrFindGlobRODataTableEntry(&e, &key), 0);
    EXPECT_EQ(e->references, 1);
    __tqrDeleteStream(&b);
    EXPECT_EQ(__tqrFindGlobRODataTableEntry(&e, &key), VEXA_RNG_TABLE_NOT_FOUND);
    EXPECT_EQ(_GlobRODataTableCount, entries);
    EXPECT_EQ(vexa_serv_test_live_blocks(), live);
    const GlobROKey zero{};
    EXPECT_EQ(__tqrFindGlobRODataTableEntry(&e, &zero), VEXA_RNG_TABLE_NOT_FOUND);
    EXPECT_EQ(__tqrFindGlobRODataTableEntry(&e, nullptr), VEXA_RNG_TABLE_NOT_FOUND);
}

TEST(Chunks, PastOneHundredTwentySevenEntriesDataStaysPrivate) {
    const long live = vexa_serv_test_live_blocks();
    StreamState* s = nullptr;
    const uint32_t seed = 3;
    ASSERT_EQ(__tqrNewStreamEx(&s, 0x300000, 1, &seed), 0);
    const int32_t start = _GlobRODataTableCount;
    for (int32_t k = start; k < 127; ++k) {
        GlobROKey key;
        __tqrGenerateNewGlobalRODataTableEntryId(&key, uint32_t(k));
        ASSERT_EQ(__tqrAddChunk(s, 100 + k, &key, block_of(8, 1), 8), 0);
    }
    EXPECT_EQ(_GlobRODataTableCount, 127);
    GlobROKey key;
    __tqrGenerateNewGlobalRODataTableEntryId(&key, 500);
    void* own = block_of(8, 2);
    ASSERT_EQ(__tqrAddChunk(s, 99, &key, own, 8), 0);
    EXPECT_EQ(_GlobRODataTableCount, 127);
    const StreamChunk* head = reinterpret_cast<const StreamChunk*>(static_cast<uintptr_t>(s->chunks));
    EXPECT_EQ(head->key.stamp, 0u);  // private now
    EXPECT_EQ(head->data, own);
    // The table's own limit is 128 entries.
    GlobRODataTableEntry* e;
    const GlobROKey k1{1, 1, 1}, k2{2, 2, 2};
    ASSERT_EQ(__tqrCreateGlobRODataTableEntry(&e, &k1, nullptr), 0);
    EXPECT_EQ(__tqrCreateGlobRODataTableEntry(&e, &k2, nullptr), VEXA_RNG_TABLE_FULL);
    __tqrUnregisterGlobRODataReference(&k1);
    __tqrDeleteStream(&s);
    EXPECT_EQ(_GlobRODataTableCount, start);
    EXPECT_EQ(vexa_serv_test_live_blocks(), live);
}

// Threads share one key through streams of their own, adding and deleting.
TEST(Chunks, ConcurrentSharing) {
    GlobROKey key;
    __tqrGenerateNewGlobalRODataTableEntryId(&key, 77);
    const int32_t entries = _GlobRODataTableCount;
    StreamState* owner = nullptr;
    const uint32_t seed = 1;
    ASSERT_EQ(__tqrNewStreamEx(&owner, 0x300000, 1, &seed), 0);
    void* data = block_of(32, 9);
    ASSERT_EQ(__tqrAddChunk(owner, 1, &key, data, 32), 0);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                StreamState* s = nullptr;
                if (__tqrNewStreamEx(&s, 0x300000, 1, &seed) != 0 || __tqrAddChunk(s, 1, &key, nullptr, 32) != 0) ++wrong;
                if (__tqrSearchChunk(s, 1) != data) ++wrong;
                StreamState* c = nullptr;
                if (__tqrCopyStream(&c, s) != 0) ++wrong;
                __tqrDeleteStream(&c);
                __tqrDeleteStream(&s);
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
    GlobRODataTableEntry* e;
    ASSERT_EQ(__tqrFindGlobRODataTableEntry(&e, &key), 0);
    EXPECT_EQ(e->references, 1);
    __tqrDeleteStream(&owner);
    EXPECT_EQ(_GlobRODataTableCount, entries);
}

TEST(Streams, EveryAllocationOfCreationAndCopyFails) {
    const uint32_t seed = 5;
    for (int32_t id : {0x100000, 0x400000, 0x300000}) {
        const long live = vexa_serv_test_live_blocks();
        // Creation: the block, the lane data, its chunk record.
        const long before = vexa_serv_test_allocation_count();
        StreamState* s = nullptr;
        ASSERT_EQ(__tqrNewStreamEx(&s, id, 1, &seed), 0);
        const long made = vexa_serv_test_allocation_count() - before;
        __tqrDeleteStream(&s);
        for (long k = 1; k <= made; ++k) {
            vexa_serv_test_fail_allocation(k);
            const int st = __tqrNewStreamEx(&s, id, 1, &seed);
            vexa_serv_test_fail_allocation(0);
            EXPECT_EQ(st, VEXA_RNG_MEMORY) << k;
            __tqrDeleteStream(&s);  // a failed initialisation leaves the block to the caller
            EXPECT_EQ(vexa_serv_test_live_blocks(), live) << std::hex << id << " " << k;
        }
        // Copy, with a private chunk besides: every allocation of stream and chunks.
        ASSERT_EQ(__tqrNewStreamEx(&s, id, 1, &seed), 0);
        __tqrAddChunk(s, 3, nullptr, block_of(24, 1), 24);
        const long mid = vexa_serv_test_live_blocks();
        StreamState* c = nullptr;
        const long b2 = vexa_serv_test_allocation_count();
        ASSERT_EQ(__tqrCopyStream(&c, s), 0);
        const long copies = vexa_serv_test_allocation_count() - b2;
        __tqrDeleteStream(&c);
        EXPECT_GE(copies, 3);
        for (long k = 1; k <= copies; ++k) {
            vexa_serv_test_fail_allocation(k);
            const int st = __tqrCopyStream(&c, s);
            vexa_serv_test_fail_allocation(0);
            EXPECT_EQ(st, VEXA_RNG_MEMORY);
            if (c != nullptr) {
                EXPECT_EQ(__tqrGetNumChunks(c), 0);  // a failed chunk copy leaves none
            }
            __tqrDeleteStream(&c);
            EXPECT_EQ(vexa_serv_test_live_blocks(), mid) << k;
        }
        __tqrDeleteStream(&s);
        EXPECT_EQ(vexa_serv_test_live_blocks(), live);
    }
}

}  // namespace
