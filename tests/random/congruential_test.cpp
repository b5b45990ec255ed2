// The congruential and shift-register generators against plain recurrences
// written here and published first values; any split of a run into calls,
// leapfrog, skip-ahead and copies against one long run; a digest of every
// output type that both ABIs must reproduce bit for bit; a statistical smoke
// check per generator.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/sweep.h"
#include "vexa/random.h"
#include "vexa/rng_engines.h"
#include "vexa/service.h"

namespace {

using vexa::test::Rng;

constexpr int32_t kMcg31 = 0x100000, kR250 = 0x200000, kMrg = 0x300000, kMcg59 = 0x400000, kWh = 0x500000;

struct Stream {
    StreamState* s = nullptr;
    Stream(int32_t id, std::vector<uint32_t> seeds) {
        EXPECT_EQ(__tqrNewStreamEx(&s, id, int(seeds.size()), seeds.data()), 0) << std::hex << id;
    }
    explicit Stream(StreamState* copy) : s(copy) {}
    ~Stream() { __tqrDeleteStream(&s); }
    Stream(const Stream&) = delete;
    std::vector<uint32_t> words(int n, int per_value = 1) {
        std::vector<uint32_t> r(static_cast<std::size_t>(n * per_value));
        EXPECT_EQ(record().iBRng(s, n, r.data()), 0);
        return r;
    }
    std::vector<double> doubles(int n, double a = 0, double b = 1) {
        std::vector<double> r(static_cast<std::size_t>(n));
        EXPECT_EQ(record().dBRng(s, n, r.data(), a, b), 0);
        return r;
    }
    std::vector<float> floats(int n, float a = 0, float b = 1) {
        std::vector<float> r(static_cast<std::size_t>(n));
        EXPECT_EQ(record().sBRng(s, n, r.data(), a, b), 0);
        return r;
    }
    BrngProperties record() const {
        BrngProperties p{};
        EXPECT_EQ(__tqrGetBrngProperties(s->brng, &p), 0);
        return p;
    }
};

int words_per_value(int32_t id) { return id == kMcg59 ? 2 : id >= kWh && id < kWh + 273 ? 4 : 1; }

// ---- plain recurrences -----------------------------------------------------

std::vector<uint32_t> mcg31_states(uint32_t x, int n) {
    std::vector<uint32_t> r;
    for (int i = 0; i < n; ++i, x = uint32_t(uint64_t(x) * 1132489760u % 2147483647u)) r.push_back(x);
    return r;
}
std::vector<uint64_t> mcg59_states(uint64_t x, int n) {
    std::vector<uint64_t> r;
    for (int i = 0; i < n; ++i, x = x * 302875106592253ull & ((1ull << 59) - 1)) r.push_back(x);
    return r;
}
// MRG32k3a as usually written, signed 64-bit arithmetic; returns x1 - x2 per step.
std::vector<int64_t> mrg_differences(std::vector<int64_t> s, int n) {
    const int64_t m1 = 4294967087, m2 = 4294944443;
    std::vector<int64_t> r;
    for (int i = 0; i < n; ++i) {
        int64_t p1 = (1403580 * s[1] - 810728 * s[0]) % m1;
        if (p1 < 0) p1 += m1;
        int64_t p2 = (527612 * s[5] - 1370589 * s[3]) % m2;
        if (p2 < 0) p2 += m2;
        s = {s[1], s[2], p1, s[4], s[5], p2};
        r.push_back(p1 - p2);
    }
    return r;
}
std::vector<uint32_t> r250_words(uint32_t seed, int n) {
    std::vector<uint32_t> x(250);
    uint64_t v = seed == 0 ? 1 : seed;
    for (int t = 0; t < 250; ++t) v = v * 69069 % (1ull << 32), x[std::size_t(t)] = uint32_t(v);
    for (int q = 0; q < 32; ++q) {
        uint32_t& w = x[std::size_t(3 + 7 * q)];
        w = (w & (0xFFFFFFFFu >> q)) | (0x80000000u >> q);
    }
    for (int t = 0; t < n; ++t) x.push_back(x[x.size() - 147] ^ x[x.size() - 250]);
    return std::vector<uint32_t>(x.begin() + 250, x.end());
}

TEST(Congruential, IntegerOutputsMatchPlainRecurrences) {
    const int n = 3001;
    {
        Stream g(kMcg31, {0});  // 0 starts from 1
        EXPECT_EQ(g.words(n), mcg31_states(1, n));
        Stream h(kMcg31, {2147483647u});
        EXPECT_EQ(h.words(2), (std::vector<uint32_t>{1, 1132489760u}));
    }
    {
        Stream g(kMcg59, {12345, 0xFFFFFFFFu});
        const auto w = g.words(n, 2);
        const auto want = mcg59_states(12345 + (uint64_t(0x7FFFFFF) << 32), n);
        for (int i = 0; i < n; ++i) ASSERT_EQ(w[std::size_t(2 * i)] | uint64_t(w[std::size_t(2 * i + 1)]) << 32, want[std::size_t(i)]);
        Stream one(kMcg59, {7});
        EXPECT_EQ(one.words(1, 2), (std::vector<uint32_t>{7, 0}));
    }
    {
        Stream g(kMrg, {1, 2, 3, 4, 5, 6});
        const auto w = g.words(n);
        const auto d = mrg_differences({1, 2, 3, 4, 5, 6}, n);
        for (int i = 0; i < n; ++i) ASSERT_EQ(int64_t(w[std::size_t(i)]), d[std::size_t(i)] > 0 ? d[std::size_t(i)] : d[std::size_t(i)] + 4294967087) << i;
        Stream zeros(kMrg, {0, 0, 0, 0, 0, 0}), one(kMrg, {9});
        EXPECT_EQ(std::vector<uint32_t>(reinterpret_cast<uint32_t*>(zeros.s) + 4, reinterpret_cast<uint32_t*>(zeros.s) + 10),
                  (std::vector<uint32_t>{1, 0, 0, 1, 0, 0}));
        EXPECT_EQ(std::vector<uint32_t>(reinterpret_cast<uint32_t*>(one.s) + 4, reinterpret_cast<uint32_t*>(one.s) + 10),
                  (std::vector<uint32_t>{9, 1, 1, 1, 1, 1}));
    }
    {
        Stream g(kR250, {0}), h(kR250, {1});
        EXPECT_EQ(g.words(n), r250_words(1, n));  // 0 seeds as 1
        EXPECT_EQ(h.words(100), r250_words(1, 100));
        // 250 seeds or more are the state as given.
        std::vector<uint32_t> seeds(250);
        for (uint32_t t = 0; t < 250; ++t) seeds[t] = t * 2654435761u;
        Stream full(kR250, seeds);
        const auto w = full.words(400);
        for (int t = 0; t < 400; ++t) {
            const uint32_t older = t < 250 ? seeds[std::size_t(t)] : w[std::size_t(t - 250)];
            const uint32_t recent = t + 103 < 250 ? seeds[std::size_t(t + 103)] : w[std::size_t(t + 103 - 250)];
            ASSERT_EQ(w[std::size_t(t)], older ^ recent) << t;
        }
    }
    for (int set : {0, 1, 100, 272}) {
        Stream g(kWh + set, {11, 22, 33, 44});
        const auto w = g.words(n, 4);
        uint64_t x[4] = {11, 22, 33, 44};
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < 4; ++j) {
                ASSERT_EQ(w[std::size_t(4 * i + j)], x[j]) << set << " " << i;
                x[j] = x[j] * _tqr_WH_A[set][j] % _tqr_WH_M[set][j];
            }
    }
    EXPECT_EQ(_tqr_WH_M[272][0], 16766363u);
}

TEST(Congruential, RealOutputsAndPublishedValues) {
    // MRG32k3a from the usual seed, 12345 in all six words, by hand: x1 =
    // 592852 * 12345 mod m1 = 3023790853, x2 = -842977 * 12345 mod m2 =
    // 2478282264, so the first output is z = 545508589 and z / m1 =
    // 0.12701112207614923.
    Stream mrg(kMrg, {12345, 12345, 12345, 12345, 12345, 12345}), mrg_words(kMrg, {12345, 12345, 12345, 12345, 12345, 12345});
    EXPECT_EQ(mrg_words.words(1)[0], 545508589u);
    EXPECT_DOUBLE_EQ(mrg.doubles(1)[0], 545508589.0 / 4294967087.0);
    // The MCGs' doubles and floats are their states scaled, in [a, b).
    Stream g(kMcg31, {42}), h(kMcg31, {42});
    const auto d = g.doubles(1000, -2, 3);
    const auto f = h.floats(1000, -2, 3);
    const auto x = mcg31_states(42, 1000);
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(d[std::size_t(i)], std::fma(double(x[std::size_t(i)]), 5.0 / 2147483647.0, -2.0));
        EXPECT_EQ(f[std::size_t(i)], std::fma(float(x[std::size_t(i)]), 5.0f * 0x1p-31f, -2.0f));
    }
    Stream g59(kMcg59, {42});
    const auto d59 = g59.doubles(1000);
    const auto x59 = mcg59_states(42, 1000);
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(d59[std::size_t(i)], double(x59[std::size_t(i)]) * 0x1p-59);
}

// Every generator and output type: one long call against many short ones of
// every size across the vector blocks, mixing types where the state allows.
TEST(Congruential, AnySplitOfARunGivesTheSameSequence) {
    for (int32_t id : {kMcg31, kMcg59, kMrg, kR250, kWh + 3}) {
        const int n = 2000;
        Stream whole(id, {2024}), parts(id, {2024});
        const auto want_d = whole.doubles(n);
        std::vector<double> got;
        Rng r{uint64_t(id)};
        while (int(got.size()) < n) {
            const int k = std::min(n - int(got.size()), int(r.next() % 40));
            const auto piece = parts.doubles(k);
            got.insert(got.end(), piece.begin(), piece.end());
        }
        EXPECT_EQ(got, want_d) << std::hex << id;
        // Integer, float and double calls share one sequence.
        Stream a(id, {77}), b(id, {77});
        const int per = words_per_value(id);
        const auto w = a.words(300, per);
        std::vector<uint32_t> mixed = b.words(13, per);
        b.doubles(0);
        const auto rest = b.words(287, per);
        mixed.insert(mixed.end(), rest.begin(), rest.end());
        EXPECT_EQ(mixed, w) << std::hex << id;
        Stream c(id, {77}), e(id, {77});
        const auto f = c.floats(300);
        auto g = e.floats(100);
        e.words(0);
        const auto more = e.floats(200);
        g.insert(g.end(), more.begin(), more.end());
        EXPECT_EQ(g, f);
    }
}

TEST(Congruential, LeapfrogSkipAheadAndCopies) {
    for (int32_t id : {kMcg31, kMcg59, kWh + 9}) {
        Stream base(id, {5});
        const auto all = base.doubles(600);
        for (int k : {0, 1, 2}) {
            Stream part(id, {5});
            ASSERT_EQ(__tqrLeapfrogStream(part.s, k, 3), 0);
            const auto got = part.doubles(200);
            for (int i = 0; i < 200; ++i) ASSERT_EQ(got[std::size_t(i)], all[std::size_t(3 * i + k)]) << std::hex << id << " " << k;
        }
    }
    for (int32_t id : {kMcg31, kMcg59, kMrg, kWh + 200}) {
        const int per = words_per_value(id);
        Stream base(id, {5, 6, 7});
        const auto all = base.words(1000, per);
        for (long long k : {0LL, 1LL, 17LL, 999LL}) {
            Stream skipped(id, {5, 6, 7});
            ASSERT_EQ(__tqrSkipAheadStream(skipped.s, k), 0);
            const auto v = skipped.words(1, per);
            for (int j = 0; j < per; ++j) ASSERT_EQ(v[std::size_t(j)], all[std::size_t(k * per + j)]) << std::hex << id << " " << k;
        }
        // Far skips compose: 2^31 twice is 2^32, 2^39 twice is 2^40.
        for (long long k : {1LL << 31, 1LL << 39}) {
            Stream once(id, {5, 6, 7}), twice(id, {5, 6, 7});
            ASSERT_EQ(__tqrSkipAheadStream(once.s, 2 * k), 0);
            ASSERT_EQ(__tqrSkipAheadStream(twice.s, k), 0);
            ASSERT_EQ(__tqrSkipAheadStream(twice.s, k), 0);
            EXPECT_EQ(once.words(3, per), twice.words(3, per)) << std::hex << id;
        }
    }
    // MCG31M1 skipped by 2^31 and 2^40 against the state from modular powers here.
    auto pow_mod = [](uint64_t a, uint64_t e, uint64_t m) {
        uint64_t r = 1;
        for (a %= m; e; e >>= 1, a = a * a % m)
            if (e & 1) r = r * a % m;
        return r;
    };
    for (long long k : {1LL << 31, 1LL << 40}) {
        Stream g(kMcg31, {5});
        ASSERT_EQ(__tqrSkipAheadStream(g.s, k), 0);
        EXPECT_EQ(g.words(1)[0], uint32_t(5 * pow_mod(1132489760, uint64_t(k), 2147483647) % 2147483647));
    }
    // A copy continues identically, its lane data with it.
    for (int32_t id : {kMcg31, kMcg59, kMrg, kR250, kWh}) {
        Stream g(id, {99});
        g.doubles(37);
        StreamState* copy = nullptr;
        ASSERT_EQ(__tqrCopyStream(&copy, g.s), 0);
        Stream c(copy);
        EXPECT_EQ(__tqrGetNumChunks(c.s), __tqrGetNumChunks(g.s));
        EXPECT_EQ(c.doubles(100), g.doubles(100)) << std::hex << id;
    }
    // No leapfrog for MRG32K3A and R250, no skip-ahead for R250; unknown methods.
    Stream mrg(kMrg, {1}), r250(kR250, {1}), mcg(kMcg31, {1});
    EXPECT_EQ(__tqrLeapfrogStream(mrg.s, 0, 2), VEXA_RNG_NO_LEAPFROG);
    EXPECT_EQ(__tqrLeapfrogStream(r250.s, 0, 2), VEXA_RNG_NO_LEAPFROG);
    EXPECT_EQ(__tqrSkipAheadStream(r250.s, 5), VEXA_RNG_NO_SKIPAHEAD);
    EXPECT_EQ(__tqrBRngMCG31M1InitStream(7, mcg.s, 0, nullptr), VEXA_RNG_BAD_METHOD);
    // The MCGs' real outputs need their lane data.
    __tqrDeleteChunks(mcg.s);
    double d;
    EXPECT_EQ(__tqrdBRngMCG31M1(mcg.s, 1, &d, 0, 1), VEXA_RNG_MEMORY);
    EXPECT_EQ(__tqrSkipAheadStream(mcg.s, 1), VEXA_RNG_MEMORY);
}

// The engines continue a stream's sequence in registers: every size, mixed
// across calls, both kinds and both types, directly and through the
// property table and the generic engines.
TEST(Congruential, EnginesGiveTheStreamsValues) {
    const int sizes[6] = {1, 2, 4, 8, 16, 32};
    for (int kind = 0; kind < 2; ++kind) {
        const int32_t id = kind == 0 ? kMcg31 : kMcg59;
        const VexaEngineProperty& row = vexa_tqr_sub_kernel_vrng_coreavx2_engine_property[kind];
        EXPECT_EQ(row.kind, kind);
        Stream ref(id, {4242}), ref_f(id, {4242}), s(id, {4242});
        const auto want = ref.doubles(4000, -1, 2);
        const auto want_f = ref_f.floats(4000, -1, 2);
        const void* lanes_data = __tqrSearchChunk(s.s, 14);
        ASSERT_NE(lanes_data, nullptr);
        __m256i lanes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(static_cast<const char*>(lanes_data) + 32));
        __m256i lanes_f = lanes;
        const __m256d scale = _mm256_set1_pd(3 * row.double_scale[0]), shift = _mm256_set1_pd(-1);
        const __m256 scale_f = _mm256_set1_ps(3 * row.float_scale[0]), shift_f = _mm256_set1_ps(-1);
        Rng pick{uint64_t(kind) + 5};
        for (int at = 0, at_f = 0, call = 0; at + 32 <= 4000 && at_f + 32 <= 4000; ++call) {
            const int slot = int(pick.next() % 6), n = sizes[slot];
            alignas(32) double d[32];
            alignas(32) float f[32];
            auto* engine = call % 2 ? row.double_engine[slot] : nullptr;
            if (engine != nullptr) engine(lanes_data, &lanes, scale, shift, reinterpret_cast<__m256d*>(d));
            else {
                static VexaEngineDouble* const generic[6] = {
                    vexa_tqr_sub_kernel_vrng_coreavx2_engine1_double, vexa_tqr_sub_kernel_vrng_coreavx2_engine2_double,
                    vexa_tqr_sub_kernel_vrng_coreavx2_engine4_double, vexa_tqr_sub_kernel_vrng_coreavx2_engine8_double,
                    vexa_tqr_sub_kernel_vrng_coreavx2_engine16_double, vexa_tqr_sub_kernel_vrng_coreavx2_engine32_double};
                generic[slot](lanes_data, &lanes, scale, shift, reinterpret_cast<__m256d*>(d));
            }
            row.float_engine[slot](lanes_data, &lanes_f, scale_f, shift_f, reinterpret_cast<__m256*>(f));
            for (int k = 0; k < n; ++k) {
                ASSERT_EQ(d[k], want[std::size_t(at + k)]) << kind << " n " << n << " at " << at;
                ASSERT_EQ(f[k], want_f[std::size_t(at_f + k)]) << kind << " n " << n << " at " << at_f;
            }
            at += n, at_f += n;
        }
    }
    // Without lane data the generic engine gives the shift.
    alignas(32) double d[4];
    __m256i lanes = _mm256_setzero_si256();
    vexa_tqr_sub_kernel_vrng_coreavx2_engine4_double(nullptr, &lanes, _mm256_set1_pd(1), _mm256_set1_pd(7),
                                                     reinterpret_cast<__m256d*>(d));
    EXPECT_EQ(d[3], 7.0);
}

// FNV-1a of the bytes of every output type of every generator: the i386 and
// x86-64 builds must both give these.
uint64_t digest(const void* p, std::size_t bytes, uint64_t h = 1469598103934665603ull) {
    for (std::size_t i = 0; i < bytes; ++i) h = (h ^ static_cast<const unsigned char*>(p)[i]) * 1099511628211ull;
    return h;
}

TEST(Congruential, BothBuildsGiveTheseDigests) {
    struct Want {
        int32_t id;
        uint64_t words, doubles, floats;
    };
    const Want kWant[] = {
#include "random/congruential_digests.inc"
    };
    for (const Want& w : kWant) {
        Stream a(w.id, {31337, 4, 5, 6}), b(w.id, {31337, 4, 5, 6}), c(w.id, {31337, 4, 5, 6});
        const auto x = a.words(5000, words_per_value(w.id));
        const auto d = b.doubles(5000, -1, 7);
        const auto f = c.floats(5000, -1, 7);
        const uint64_t got[3] = {digest(x.data(), x.size() * 4), digest(d.data(), d.size() * 8), digest(f.data(), f.size() * 4)};
        if (std::getenv("VEXA_PRINT_DIGESTS") != nullptr)
            std::printf("    {0x%X, 0x%016llXull, 0x%016llXull, 0x%016llXull},\n", unsigned(w.id), (unsigned long long)got[0],
                        (unsigned long long)got[1], (unsigned long long)got[2]);
        EXPECT_EQ(got[0], w.words) << std::hex << w.id;
        EXPECT_EQ(got[1], w.doubles) << std::hex << w.id;
        EXPECT_EQ(got[2], w.floats) << std::hex << w.id;
    }
}

// Uniformity (chi-square over 64 cells) and lag-1 correlation of a few
// hundred thousand doubles: a broken recurrence fails both by far.
TEST(Congruential, StatisticalSmoke) {
#ifdef __i386__
    const int n = 200000;
#else
    const int n = 2000000;
#endif
    for (int32_t id : {kMcg31, kMcg59, kMrg, kR250, kWh, kWh + 272}) {
        Stream g(id, {123456789});
        const auto u = g.doubles(n);
        std::vector<double> cells(64);
        double sum = 0, sum2 = 0, lag = 0;
        for (int i = 0; i < n; ++i) {
            ASSERT_TRUE(u[std::size_t(i)] >= 0 && u[std::size_t(i)] < 1);
            cells[std::size_t(u[std::size_t(i)] * 64)] += 1;
            sum += u[std::size_t(i)], sum2 += u[std::size_t(i)] * u[std::size_t(i)];
            if (i > 0) lag += u[std::size_t(i)] * u[std::size_t(i - 1)];
        }
        double chi2 = 0;
        for (double c : cells) chi2 += (c - n / 64.0) * (c - n / 64.0) / (n / 64.0);
        const double mean = sum / n, var = sum2 / n - mean * mean;
        const double corr = (lag / (n - 1) - mean * mean) / var;
        EXPECT_LT(chi2, 120) << std::hex << id;  // 63 degrees of freedom: p < 1e-5
        EXPECT_LT(std::fabs(corr), 5 / std::sqrt(double(n))) << std::hex << id;
    }
}

}  // namespace
