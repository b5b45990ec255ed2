// Stream images: every built generator survives a round trip through memory
// and through a file (same bytes) with its chunks, private and shared; the
// two magic forms load; every fault of the header, the file and memory gives
// its status with the out pointer null and nothing left allocated; and the
// images of generators whose state is laid out alike are the same bytes on
// both ABIs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "vexa/random.h"
#include "vexa/service.h"

namespace {

struct Row {
    const char* name;
    int32_t id;
    int built;
};
const Row kRows[] = {
#define BRNG(index, NAME, id, compat, size, seeds, zero, word, bits, subs, built) {#NAME, id, built},
#include "vexa/brng_catalogue.def"
#undef BRNG
};

bool concrete(const Row& r) { return r.built != 0 && (r.id < 0xA00000 || r.id > 0xC00000); }
bool available(int32_t id) {
    return (id != 0xE00000 || __tqrCPUisRDRAND() != 0) && (id != 0xF00000 || __tqrCPUisAES() != 0);
}

std::string temp_path(const char* tag) {
    return std::string(::testing::TempDir()) + "vexa_image_" + tag + "_" + std::to_string(::getpid());
}

std::vector<char> image(const StreamState* s) {
    std::vector<char> m(static_cast<std::size_t>(__tqrGetStreamSize(s)));
    EXPECT_EQ(__tqrSaveStreamM(s, m.data()), 0);
    return m;
}

std::vector<char> file_bytes(const std::string& path) {
    std::vector<char> b;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) b.insert(b.end(), buf, buf + n);
        std::fclose(f);
    }
    return b;
}

void write_file(const std::string& path, const std::vector<char>& b) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (!b.empty()) std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
}

std::vector<uint32_t> words(StreamState* s, int n) {
    BrngProperties p;
    __tqrGetBrngProperties(__tqrGetStreamStateBrng(s), &p);
    std::vector<uint32_t> r(static_cast<std::size_t>(n) * std::size_t(p.WordSize / 4));
    EXPECT_EQ(p.iBRng(s, n, r.data()), 0);
    return r;
}

// A private chunk of 40 bytes with id 77 and a shared one with id 78.
void add_chunks(StreamState* s, GlobROKey* shared_key) {
    auto* a = static_cast<char*>(vexa_serv_allocate(40, 64));
    for (int i = 0; i < 40; ++i) a[i] = char(i * 7);
    ASSERT_EQ(__tqrAddChunk(s, 77, nullptr, a, 40), 0);
    auto* b = static_cast<char*>(vexa_serv_allocate(24, 64));
    std::memset(b, 0x5A, 24);
    ASSERT_EQ(__tqrGenerateNewGlobalRODataTableEntryId(shared_key, 78), 0);
    ASSERT_EQ(__tqrAddChunk(s, 78, shared_key, b, 24), 0);
}

int references(const GlobROKey& key) {
    GlobRODataTableEntry* e = nullptr;
    return __tqrFindGlobRODataTableEntry(&e, &key) == 0 ? e->references : 0;
}

TEST(StreamImage, EveryGeneratorRoundTrips) {
    const std::string path = temp_path("round");
    const uint32_t seeds[8] = {11, 22, 33, 44, 55, 66, 77, 88};
    for (const Row& row : kRows) {
        if (!concrete(row) || !available(row.id)) continue;
        StreamState* s = nullptr;
        ASSERT_EQ(__tqrNewStreamEx(&s, row.id, 8, seeds), 0) << row.name;
        words(s, 1001);  // part way into a block or buffer
        GlobROKey key{};
        add_chunks(s, &key);
        const std::vector<char> m = image(s);
        ASSERT_EQ(__tqrSaveStreamF(s, path.c_str(), -1), 0) << row.name;
        EXPECT_EQ(file_bytes(path), m) << row.name;
        StreamState *a = nullptr, *b = nullptr;
        ASSERT_EQ(__tqrLoadStreamM(&a, m.data()), 0) << row.name;
        ASSERT_EQ(__tqrLoadStreamF(&b, path.c_str(), int(path.size())), 0) << row.name;  // name by length
        EXPECT_EQ(references(key), 3) << row.name;  // shared again, not copied
        EXPECT_EQ(__tqrGetNumChunks(a), __tqrGetNumChunks(s));
        EXPECT_EQ(std::memcmp(__tqrSearchChunk(a, 77), __tqrSearchChunk(s, 77), 40), 0);
        EXPECT_EQ(__tqrSearchChunk(b, 78), __tqrSearchChunk(s, 78));
        if (row.id != 0xE00000) {  // the hardware generator has nothing to continue
            const auto want = words(s, 3000);
            EXPECT_EQ(words(a, 3000), want) << row.name;
            EXPECT_EQ(words(b, 3000), want) << row.name;
        }
        __tqrDeleteStream(&a);
        __tqrDeleteStream(&b);
        __tqrDeleteStream(&s);
        EXPECT_EQ(references(key), 0);
    }
    std::remove(path.c_str());
}

// The fault cases edit an MCG31M1 image: header and state (16 + 8 bytes),
// then its chunk of lane data (24 + 352 bytes).
std::vector<char> mcg_image() {
    StreamState* s = nullptr;
    const uint32_t seed = 5;
    EXPECT_EQ(__tqrNewStreamEx(&s, 0x100000, 1, &seed), 0);
    auto m = image(s);
    __tqrDeleteStream(&s);
    return m;
}

// Loads from memory and from a file: the two statuses, the out pointers
// checked null on failure.
std::pair<int, int> load_both(const std::vector<char>& m) {
    const std::string path = temp_path("faults");
    write_file(path, m);
    StreamState *a = reinterpret_cast<StreamState*>(&a), *b = reinterpret_cast<StreamState*>(&b);
    const int sm = __tqrLoadStreamM(&a, m.data()), sf = __tqrLoadStreamF(&b, path.c_str(), -1);
    if (sm != 0) {
        EXPECT_EQ(a, nullptr);
    }
    if (sf != 0) {
        EXPECT_EQ(b, nullptr);
    }
    __tqrDeleteStream(&a);
    __tqrDeleteStream(&b);
    std::remove(path.c_str());
    return {sm, sf};
}

TEST(StreamImage, HeaderFormsAndFaults) {
    const std::vector<char> good = mcg_image();
    ASSERT_EQ(good.size(), 24u + 24u + 352u);
    EXPECT_EQ(std::string(good.data(), 4), std::string("\x01RNG", 4));
    EXPECT_EQ(load_both(good), std::make_pair(0, 0));
    auto with = [&](auto edit) {
        std::vector<char> m = good;
        edit(m);
        return load_both(m);
    };
    using P = std::pair<int, int>;
    const int F = VEXA_RNG_FILE_FORMAT, M = VEXA_RNG_MEMORY_FORMAT;
    EXPECT_EQ(with([](auto& m) { std::memcpy(m.data(), "RNG\x01", 4); }), P(0, 0));
    EXPECT_EQ(with([](auto& m) { m[0] = 0; }), P(0, 0));
    EXPECT_EQ(with([](auto& m) { m[0] = 2; }), P(M, VEXA_RNG_FILE_VERSION));
    EXPECT_EQ(with([](auto& m) { std::memcpy(m.data(), "RNG\x02", 4); }), P(M, VEXA_RNG_FILE_VERSION));
    EXPECT_EQ(with([](auto& m) { m[1] = 'r'; }), P(M, F));
    EXPECT_EQ(with([](auto& m) { m[6] = 9; }), P(M, F));   // state size 9 for 8
    EXPECT_EQ(with([](auto& m) { m[6] = 7; }), P(M, F));
    EXPECT_EQ(with([](auto& m) { m[4] = 15; }), P(M, F));  // header size below 16
    EXPECT_EQ(with([](auto& m) { m[4] = 40; }), P(0, 0));  // larger: the state still starts at 16
    EXPECT_EQ(with([](auto& m) { m[14] = 0x33; }), P(M, F));  // no generator 0x330000
    // Short files: the header, the state, a chunk record, its data.
    for (std::size_t cut : {std::size_t(0), std::size_t(10), std::size_t(20), std::size_t(30), good.size() - 1}) {
        const std::string path = temp_path("short");
        write_file(path, std::vector<char>(good.begin(), good.begin() + long(cut)));
        StreamState* s = nullptr;
        EXPECT_EQ(__tqrLoadStreamF(&s, path.c_str(), -1), VEXA_RNG_FILE_READ) << cut;
        EXPECT_EQ(s, nullptr);
        std::remove(path.c_str());
    }
    // Chunks announced but missing or short: only a file can tell (a memory
    // block must hold the whole image).
    auto load_file = [&](const std::vector<char>& m) {
        const std::string path = temp_path("chunks");
        write_file(path, m);
        StreamState* out = nullptr;
        const int st = __tqrLoadStreamF(&out, path.c_str(), -1);
        __tqrDeleteStream(&out);
        std::remove(path.c_str());
        return st;
    };
    std::vector<char> chunked = good;
    chunked[8] = 2;  // a second chunk announced, none there
    EXPECT_EQ(load_file(chunked), VEXA_RNG_FILE_READ);
    const char record[24] = {7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 50, 0, 0, 0};
    chunked.insert(chunked.end(), record, record + 24);
    chunked.insert(chunked.end(), 49, 'x');  // one byte short
    EXPECT_EQ(load_file(chunked), VEXA_RNG_FILE_READ);
    chunked.push_back('y');
    EXPECT_EQ(load_both(chunked), P(0, 0));

    StreamState* s = nullptr;
    EXPECT_EQ(__tqrLoadStreamF(&s, "/nonexistent/dir/image", -1), VEXA_RNG_FILE_OPEN);
    EXPECT_EQ(__tqrLoadStreamF(&s, "/nonexistent/dir/image-and-more", 22), VEXA_RNG_FILE_OPEN);
    const uint32_t seed = 1;
    ASSERT_EQ(__tqrNewStreamEx(&s, 0x100000, 1, &seed), 0);
    EXPECT_EQ(__tqrSaveStreamF(s, "/nonexistent/dir/image", -1), VEXA_RNG_FILE_OPEN);
    EXPECT_EQ(__tqrSaveStreamF(s, "/dev/full", -1), VEXA_RNG_FILE_CLOSE);  // buffered: the close fails
    EXPECT_EQ(__tqrSaveStreamM(s, nullptr), VEXA_RNG_BAD_ARG);
    __tqrDeleteStream(&s);
}

// Two chunks under one sharing key with different sizes (only a damaged or
// forged image has them): the second does not borrow the first's shorter
// block but stays private, and the stream saves whole.
TEST(StreamImage, OneKeyTwoSizes) {
    std::vector<char> m = mcg_image();
    GlobROKey key{};
    ASSERT_EQ(__tqrGenerateNewGlobalRODataTableEntryId(&key, 5), 0);
    m[8] = 3;
    for (uint32_t size : {8u, 40u}) {
        char record[24] = {9};
        std::memcpy(record + 4, &key, sizeof key);
        std::memcpy(record + 20, &size, 4);
        m.insert(m.end(), record, record + 24);
        m.insert(m.end(), std::size_t(size), char(size));
    }
    StreamState* s = nullptr;
    ASSERT_EQ(__tqrLoadStreamM(&s, m.data()), 0);
    EXPECT_EQ(references(key), 1);
    EXPECT_EQ(image(s).size(), m.size());
    __tqrDeleteStream(&s);
    EXPECT_EQ(references(key), 0);
}

// Every allocation of saving (the name copy) and loading (name, stream,
// chunk records and data) may fail: VEXA_RNG_MEMORY, nothing left over.
TEST(StreamImage, AllocationFailures) {
    const std::string path = temp_path("alloc");
    const uint32_t seeds[2] = {1, 2};
    StreamState* s = nullptr;
    ASSERT_EQ(__tqrNewStreamEx(&s, 0x800000, 2, seeds), 0);
    GlobROKey key{};
    add_chunks(s, &key);
    for (long k = 1;; ++k) {
        const long live = vexa_serv_test_live_blocks();
        vexa_serv_test_fail_allocation(k);
        const int st = __tqrSaveStreamF(s, path.c_str(), int(path.size()));
        vexa_serv_test_fail_allocation(0);
        EXPECT_EQ(vexa_serv_test_live_blocks(), live);
        if (st == 0) break;
        EXPECT_EQ(st, VEXA_RNG_MEMORY);
    }
    const std::vector<char> m = image(s);
    for (bool file : {false, true}) {
        for (long k = 1;; ++k) {
            const long live = vexa_serv_test_live_blocks();
            StreamState* out = nullptr;
            vexa_serv_test_fail_allocation(k);
            const int st = file ? __tqrLoadStreamF(&out, path.c_str(), int(path.size()))
                                : __tqrLoadStreamM(&out, m.data());
            vexa_serv_test_fail_allocation(0);
            if (st == 0) {
                EXPECT_GT(k, 3);
                __tqrDeleteStream(&out);
                EXPECT_EQ(vexa_serv_test_live_blocks(), live);
                break;
            }
            EXPECT_EQ(st, VEXA_RNG_MEMORY) << k;
            EXPECT_EQ(out, nullptr);
            EXPECT_EQ(vexa_serv_test_live_blocks(), live) << k;
            EXPECT_EQ(references(key), 1);
        }
    }
    __tqrDeleteStream(&s);
    std::remove(path.c_str());
}

TEST(StreamImage, HardwareGeneratorsNeedTheirInstructions) {
    if (__tqrCPUisRDRAND() == 0) GTEST_SKIP() << "no RDRAND here";
    StreamState *s = nullptr, *out = nullptr;
    ASSERT_EQ(__tqrNewStreamEx(&s, 0xE00000, 0, nullptr), 0);
    const std::vector<char> m = image(s);
    vexa_serv_test_hide_cpu_features(VEXA_SERV_CPU_RDRAND);
    EXPECT_EQ(__tqrLoadStreamM(&out, m.data()), VEXA_RNG_NO_HW_RNG);
    vexa_serv_test_hide_cpu_features(0);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(__tqrLoadStreamM(&out, m.data()), 0);
    __tqrDeleteStream(&out);
    __tqrDeleteStream(&s);
}

// The images of generators without pointers in their state hash the same on
// both ABIs (FNV-1a over the images, one after another).
TEST(StreamImage, SameBytesOnBothAbis) {
    uint64_t h = 0xcbf29ce484222325ull;
    const uint32_t seeds[4] = {9, 8, 7, 6};
    for (const Row& row : kRows) {
        if (!concrete(row) || row.id == 0xE00000 || row.id == 0xF00000) continue;
        StreamState* s = nullptr;
        ASSERT_EQ(__tqrNewStreamEx(&s, row.id, 4, seeds), 0);
        words(s, 700);
        for (char c : image(s)) h = (h ^ uint8_t(c)) * 0x100000001b3ull;
        __tqrDeleteStream(&s);
    }
    EXPECT_EQ(h, 0x828de5e354cd27dcull);
}

}  // namespace
