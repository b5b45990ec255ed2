// The counter-based generators: Philox4x32-10 against Random123's published
// known answers; ARS5 against Random123's ARS at five rounds (itself checked
// against the published ten-round answers); any split of a run into calls
// and skip-ahead against one long run; the interval outputs against their
// formula; the refusals without AES.
#include <gtest/gtest.h>

#include <Random123/ars.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/sweep.h"
#include "vexa/random.h"
#include "vexa/service.h"

namespace {

constexpr int32_t kArs5 = 0xF00000, kPhilox = 0x1000000;
constexpr int kStateBytes[2] = {68, 60};  // ARS5, PHILOX4X32X10

struct Stream {
    StreamState* s = nullptr;
    Stream(int32_t id, std::vector<uint32_t> seeds) {
        EXPECT_EQ(__tqrNewStreamEx(&s, id, int(seeds.size()), seeds.data()), 0) << std::hex << id;
    }
    ~Stream() { __tqrDeleteStream(&s); }
    Stream(const Stream&) = delete;
    BrngProperties record() const {
        BrngProperties p{};
        EXPECT_EQ(__tqrGetBrngProperties(s->brng, &p), 0);
        return p;
    }
    std::vector<uint32_t> words(int n) {
        std::vector<uint32_t> r(static_cast<std::size_t>(n));
        EXPECT_EQ(record().iBRng(s, n, r.data()), 0);
        return r;
    }
    uint32_t* field(int offset) { return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(s) + offset); }
};

// The lines of the known-answer file for `name` with `rounds`: the inputs
// and the four output words.
std::vector<std::vector<uint32_t>> kat(const std::string& name, int rounds) {
    std::ifstream in(std::string(VEXA_SHARED_DIR) + "/kat/random123.kat_vectors.txt");
    EXPECT_TRUE(in.good());
    std::vector<std::vector<uint32_t>> out;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        std::string n;
        int r = 0;
        if (!(f >> n >> r) || n != name || r != rounds) continue;
        std::vector<uint32_t> v;
        std::string w;
        while (f >> w) v.push_back(uint32_t(std::stoul(w, nullptr, 16)));
        out.push_back(v);
    }
    return out;
}

TEST(Philox, PublishedAnswers) {
    // philox4x32 10: counter c0..c3, key k0 k1, then the block; our seeds are
    // the key first, then the counter.
    const auto rows = kat("philox4x32", 10);
    ASSERT_EQ(rows.size(), 3u);
    for (const auto& v : rows) {
        Stream st(kPhilox, {v[4], v[5], v[0], v[1], v[2], v[3]});
        EXPECT_EQ(st.words(4), std::vector<uint32_t>(v.begin() + 6, v.end()));
    }
}

// Random123's ARS with `rounds` rounds on counter c and key k (four words each).
std::vector<uint32_t> reference_ars(unsigned rounds, const uint32_t* c, const uint32_t* k) {
    const ars4x32_ctr_t ctr = {{c[0], c[1], c[2], c[3]}};
    const ars4x32_key_t key = {{k[0], k[1], k[2], k[3]}};
    const ars4x32_ctr_t out = ars4x32_R(rounds, ctr, key);
    return {out.v[0], out.v[1], out.v[2], out.v[3]};
}

TEST(Ars5, AgainstTheReferenceAtFiveRounds) {
    if (!__tqrCPUisAES()) GTEST_SKIP() << "no AES";
    // The reference first meets the published ten-round answers.
    const auto rows = kat("ars4x32", 10);
    ASSERT_EQ(rows.size(), 3u);
    for (const auto& v : rows) EXPECT_EQ(reference_ars(10, &v[0], &v[4]), std::vector<uint32_t>(v.begin() + 8, v.end()));
    // Then ours at five rounds, over blocks whose counter carries between words.
    for (const auto& v : rows) {
        Stream st(kArs5, {v[4], v[5], v[6], v[7], v[0], v[1], v[2], v[3]});
        const std::vector<uint32_t> got = st.words(4 * 20);
        uint64_t lo = uint64_t(v[0]) | uint64_t(v[1]) << 32, hi = uint64_t(v[2]) | uint64_t(v[3]) << 32;
        for (int b = 0; b < 20; ++b) {
            const uint32_t c[4] = {uint32_t(lo), uint32_t(lo >> 32), uint32_t(hi), uint32_t(hi >> 32)};
            EXPECT_EQ(reference_ars(5, c, &v[4]), std::vector<uint32_t>(got.begin() + 4 * b, got.begin() + 4 * b + 4))
                << "block " << b;
            if (++lo == 0) ++hi;
        }
    }
}

// The counters just below a carry out of each word, so that blocks of one
// call straddle it.
const std::vector<std::vector<uint32_t>> kSeeds[2] = {
    {{1, 2, 3, 4, 0xFFFFFFF0u, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu}, {9, 8, 7, 6, 0xFFFFFFFDu, 7, 0, 0}, {}},
    {{0x243F6A88u, 0x85A308D3u, 0xFFFFFFF0u, 0xFFFFFFFFu, 5, 0}, {1, 2, 0xFFFFFFFAu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu}, {}},
};

class Counter : public ::testing::TestWithParam<int> {
protected:
    int32_t id() const { return GetParam() == 0 ? kArs5 : kPhilox; }
    void SetUp() override {
        if (GetParam() == 0 && !__tqrCPUisAES()) GTEST_SKIP() << "no AES";
    }
};

TEST_P(Counter, AnySplitEqualsOneRun) {
    vexa::test::Rng rng(7);
    for (const auto& seeds : kSeeds[GetParam()]) {
        Stream whole(id(), seeds);
        const std::vector<uint32_t> all = whole.words(3000);
        Stream parts(id(), seeds);
        std::vector<uint32_t> got;
        // 3 then 5 (the fourth word of the first block waits in the buffer), then random sizes.
        for (int n : {3, 5}) {
            const auto w = parts.words(n);
            got.insert(got.end(), w.begin(), w.end());
        }
        while (got.size() < all.size()) {
            const int n = std::min<int>(int(rng.next() % 150), int(all.size() - got.size()));
            const auto w = parts.words(n);
            got.insert(got.end(), w.begin(), w.end());
        }
        EXPECT_EQ(got, all);
    }
}

TEST_P(Counter, SkipAheadEqualsDiscarding) {
    for (const auto& seeds : kSeeds[GetParam()]) {
        Stream ref(id(), seeds);
        const std::vector<uint32_t> all = ref.words(200);
        for (int lead : {0, 1, 2, 3}) {  // words already taken, so that the buffer holds some
            for (long long k : {0, 1, 3, 4, 5, 17, 64}) {
                Stream st(id(), seeds);
                st.words(lead);
                ASSERT_EQ(__tqrSkipAheadStream(st.s, k), 0);
                EXPECT_EQ(st.words(8), std::vector<uint32_t>(all.begin() + lead + k, all.begin() + lead + k + 8))
                    << "lead " << lead << " skip " << k;
            }
        }
    }
}

TEST_P(Counter, SkipAheadCarriesThroughTheCounter) {
    const int counter = GetParam() == 0 ? 32 : 24;  // byte offset of c0
    Stream st(id(), {});
    // 4 2^32 words: 2^32 blocks, c1 grows by one and c0 stays.
    ASSERT_EQ(__tqrSkipAheadStream(st.s, 4ll << 32), 0);
    EXPECT_EQ(st.field(counter)[0], 0u);
    EXPECT_EQ(st.field(counter)[1], 1u);
    // 2^64 - 1 more: (2^64 - 1) / 4 blocks and three words into the next one,
    // whose last word comes next.
    ASSERT_EQ(__tqrSkipAheadStream(st.s, -1), 0);
    const uint32_t next = st.words(1)[0];
    // The same block from a stream started at that counter.
    const uint64_t blocks = ~uint64_t(0) / 4;  // 0x3FFF...F
    const uint64_t lo = (uint64_t(1) << 32) + blocks, hi = lo < blocks ? 1 : 0;
    std::vector<uint32_t> seeds(GetParam() == 0 ? 8 : 6, 0);
    const int c0 = GetParam() == 0 ? 4 : 2;
    seeds[c0] = uint32_t(lo), seeds[c0 + 1] = uint32_t(lo >> 32), seeds[c0 + 2] = uint32_t(hi);
    Stream ref(id(), seeds);
    EXPECT_EQ(next, ref.words(4)[3]);
}

TEST_P(Counter, IntervalOutputsAreOneFmaPerWord) {
    for (const auto& seeds : kSeeds[GetParam()]) {
        Stream w(id(), seeds), d(id(), seeds), f(id(), seeds);
        const int n = 1027;
        const std::vector<uint32_t> words = w.words(n);
        std::vector<double> rd(n);
        std::vector<float> rf(n);
        ASSERT_EQ(d.record().dBRng(d.s, n, rd.data(), -3.0, 5.0), 0);
        ASSERT_EQ(f.record().sBRng(f.s, n, rf.data(), 2.0f, 3.0f), 0);
        for (int i = 0; i < n; ++i) {
            const int32_t v = int32_t(words[i]);
            EXPECT_EQ(rd[i], std::fma(double(v), 8.0 * 0x1p-32, 1.0)) << i;
            EXPECT_EQ(rf[i], std::fmaf(float(v), 0x1p-32f, 2.5f)) << i;
            EXPECT_TRUE(rd[i] >= -3.0 && rd[i] < 5.0);
        }
    }
}

TEST_P(Counter, NoLeapfrog) {
    Stream st(id(), {1});
    EXPECT_EQ(__tqrLeapfrogStream(st.s, 0, 2), VEXA_RNG_NO_LEAPFROG);
    const uint32_t p[2] = {0, 0};
    EXPECT_EQ(st.record().InitStream(7, st.s, 2, p), VEXA_RNG_BAD_METHOD);
}

INSTANTIATE_TEST_SUITE_P(Generators, Counter, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& i) { return i.param == 0 ? "ARS5" : "PHILOX4X32X10"; });

TEST(Ars5, RefusesWithoutAesAndLeavesTheState) {
    Stream st(kArs5, {1, 2, 3, 4, 5, 6, 7, 8});
    st.words(3);  // something in the buffer
    std::vector<char> before(reinterpret_cast<char*>(st.s), reinterpret_cast<char*>(st.s) + kStateBytes[0]);
    vexa_serv_test_hide_cpu_features(VEXA_SERV_CPU_AES);
    EXPECT_EQ(__tqrCPUisAES(), 0);
    uint32_t w[8] = {0};
    double d[8] = {0};
    float f[8] = {0};
    const BrngProperties p = st.record();
    EXPECT_EQ(p.iBRng(st.s, 8, w), VEXA_RNG_NO_AES);
    EXPECT_EQ(p.dBRng(st.s, 8, d, 0.0, 1.0), VEXA_RNG_NO_AES);
    EXPECT_EQ(p.sBRng(st.s, 8, f, 0.0f, 1.0f), VEXA_RNG_NO_AES);
    EXPECT_EQ(__tqrSkipAheadStream(st.s, 5), VEXA_RNG_NO_AES);
    // Standard initialisation does not ask.
    StreamState* other = nullptr;
    EXPECT_EQ(__tqrNewStreamEx(&other, kArs5, 0, nullptr), 0);
    __tqrDeleteStream(&other);
    vexa_serv_test_hide_cpu_features(0);
    EXPECT_EQ(std::vector<char>(reinterpret_cast<char*>(st.s), reinterpret_cast<char*>(st.s) + kStateBytes[0]), before);
    for (uint32_t v : w) EXPECT_EQ(v, 0u);
}

}  // namespace

// Stream images of the counter-based generators: a saved and reloaded stream
// continues where the original does, buffer included, and an ARS5 image
// refuses to load without AES.
namespace {

TEST(CounterImages, ReloadedStreamsContinue) {
    for (int32_t id : {kPhilox, kArs5}) {
        if (id == kArs5 && !__tqrCPUisAES()) continue;
        Stream st(id, {3, 1, 4, 1, 5, 9, 2, 6});
        st.words(7);  // three words wait in the buffer
        std::vector<char> image(static_cast<std::size_t>(__tqrGetStreamSize(st.s)));
        ASSERT_EQ(__tqrSaveStreamM(st.s, image.data()), 0);
        StreamState* copy = nullptr;
        ASSERT_EQ(__tqrLoadStreamM(&copy, image.data()), 0);
        std::vector<uint32_t> a(50), b(50);
        st.record().iBRng(st.s, 50, a.data());
        st.record().iBRng(copy, 50, b.data());
        EXPECT_EQ(a, b);
        __tqrDeleteStream(&copy);
        if (id == kArs5) {
            vexa_serv_test_hide_cpu_features(VEXA_SERV_CPU_AES);
            EXPECT_EQ(__tqrLoadStreamM(&copy, image.data()), VEXA_RNG_NO_AES);
            vexa_serv_test_hide_cpu_features(0);
        }
    }
}

}  // namespace
