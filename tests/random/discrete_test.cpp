// The discrete distributions: each kernel against its rule applied here to
// the uniforms of a copy of the stream, the laws by chi-square against the
// exact probabilities, the ends of the parameter ranges, and the bit
// generators' dispatch by generator.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "support/rng_stream.h"
#include "vexa/rng_distributions.h"
#include "vexa/service.h"

namespace {

constexpr int32_t kMcg31 = 0x100000, kMcg59 = 0x400000, kMt19937 = 0x800000, kPhilox = 0x1000000;
constexpr int kLawSize = 1000000 / VEXA_TEST_SCALE;

struct Stream : vexa::test::RngStream {
    explicit Stream(int32_t id = kMt19937, uint32_t seed = 11) : RngStream(id, seed) {}
    explicit Stream(StreamState* adopted) : RngStream(adopted) {}
    Stream copy() const { return Stream(RngStream::copy().release()); }
};

// Chi-square of the counts against pmf over the values first .. first +
// cells - 1, the two end cells also taking the values beyond them (their
// expectations summed out to where the terms vanish); cells with an
// expectation below 20 merged into their neighbour. Returns (statistic,
// degrees of freedom).
std::pair<double, int> chi_square(const std::vector<int32_t>& x, const std::function<double(long long)>& pmf, int cells,
                                  long long first = 0) {
    std::vector<double> count(std::size_t(cells), 0), expect(std::size_t(cells), 0);
    for (int32_t v : x) count[std::size_t(std::min<long long>(std::max<long long>(v - first, 0), cells - 1))] += 1;
    for (int k = 0; k < cells; ++k) expect[std::size_t(k)] = pmf(first + k);
    for (long long v = first - 1; v >= 0 && v > first - 100000; --v) expect[0] += pmf(v);
    for (long long v = first + cells, t = 0; t < 100000; ++v, ++t) {
        const double f = pmf(v);
        expect[std::size_t(cells - 1)] += f;
        if (f < 1e-30 && t > 10) break;
    }
    double stat = 0, o = 0, e = 0;
    int df = -1;
    for (int k = 0; k < cells; ++k) {
        o += count[std::size_t(k)];
        e += expect[std::size_t(k)] * double(x.size());
        if (e >= 20 || k == cells - 1) {
            if (e > 0) stat += (o - e) * (o - e) / e, ++df;
            o = e = 0;
        }
    }
    return {stat, df};
}
// The statistic exceeds df + 5 sqrt(2 df) + 10 with probability below 10^-5
// for the df of these tests (normal approximation with a margin for the
// chi-square's right skew).
void expect_law(const std::string& what, const std::vector<int32_t>& x, const std::function<double(long long)>& pmf,
                int cells, long long first = 0) {
    const auto [stat, df] = chi_square(x, pmf, cells, first);
    EXPECT_LT(stat, df + 5 * std::sqrt(2.0 * df) + 10) << what << " df " << df;
}

TEST(Discrete, Bernoulli) {
    for (double p : {0.0, 1.0, 0.3, 1e-7}) {
        Stream s;
        Stream c = s.copy();
        std::vector<int32_t> x(5000);
        ASSERT_EQ(_tqriRngBernoulli(0, s.s, 5000, x.data(), p), 0);
        std::vector<float> u(5000);
        ASSERT_EQ(c.record().sBRng(c.s, 5000, u.data(), 0.0f, 1.0f), 0);
        for (int i = 0; i < 5000; ++i) ASSERT_EQ(x[i], float(p) > u[i] ? 1 : 0) << p << " " << i;
    }
    Stream s;
    std::vector<int32_t> x(kLawSize);
    ASSERT_EQ(_tqriRngBernoulli(0, s.s, kLawSize, x.data(), 0.3), 0);
    expect_law("bernoulli", x, [](long long k) { return k == 0 ? 0.7 : k == 1 ? 0.3 : 0.0; }, 2);
}

TEST(Discrete, UniformIntegers) {
    Stream s;
    std::vector<int32_t> x(3000);
    ASSERT_EQ(_tqriRngUniform(0, s.s, 3000, x.data(), 0, 1), 0);
    for (int32_t v : x) ASSERT_EQ(v, 0);
    Stream c = s.copy();
    ASSERT_EQ(_tqriRngUniform(0, s.s, 3000, x.data(), -5, 7), 0);
    std::vector<double> u(3000);
    ASSERT_EQ(c.record().dBRng(c.s, 3000, u.data(), -5.0, 7.0), 0);
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(x[i], int32_t(std::floor(u[i]))) << i;
    // The extremes of the 32-bit range.
    ASSERT_EQ(_tqriRngUniform(0, s.s, 3000, x.data(), INT32_MIN, INT32_MAX), 0);
    for (int32_t v : x) ASSERT_LT(v, INT32_MAX);
    std::vector<int32_t> y(kLawSize);
    ASSERT_EQ(_tqriRngUniform(0, s.s, kLawSize, y.data(), 3, 40), 0);
    for (int32_t& v : y) v -= 3;
    expect_law("uniform", y, [](long long k) { return k < 37 ? 1.0 / 37 : 0.0; }, 37);
}

TEST(Discrete, Geometric) {
    for (double p : {1e-4, 0.01, 0.3, 0.999, 1.0}) {
        Stream s;
        std::vector<int32_t> x(kLawSize);
        ASSERT_EQ(_tqriRngGeometric(0, s.s, kLawSize, x.data(), p), 0);
        if (p == 1.0) {
            for (int32_t v : x) ASSERT_EQ(v, 0);
            continue;
        }
        const int cells = int(std::min(2000.0, 8 / p));
        expect_law("geometric", x, [p](long long k) { return p * std::pow(1 - p, double(k)); }, cells);
    }
    // Tiny p: values far beyond 2^31 are stored as 2^31 - 1.
    Stream s;
    std::vector<int32_t> x(1000);
    ASSERT_EQ(_tqriRngGeometric(0, s.s, 1000, x.data(), 1e-12), 0);
    int top = 0;
    for (int32_t v : x) top += v == INT32_MAX;
    EXPECT_GT(top, 900);
}

// ln of the binomial probability, in long double.
double binomial_pmf(long long n, double p, long long k) {
    if (k < 0 || k > n) return 0;
    const long double l = std::lgamma((long double)n + 1) - std::lgamma((long double)k + 1) -
                          std::lgamma((long double)(n - k) + 1) + k * std::log((long double)p) +
                          (n - k) * std::log1p(-(long double)p);
    return double(std::exp(l));
}

// Both sides of the switch at n min(p, 1 - p) = 30, both sides of p = 1/2,
// and large and tiny parameters.
TEST(Discrete, BinomialLaws) {
    const struct {
        int32_t n;
        double p;
    } cases[] = {{100, 0.299}, {100, 0.3}, {40, 0.95}, {1000, 0.9}, {50, 0.5}, {1000000, 0.3}, {1000000000, 1e-8},
                 {2000000000, 0.5}, {7, 0.2}};
    for (const auto& c : cases) {
        Stream s;
        std::vector<int32_t> x(kLawSize);
        ASSERT_EQ(_tqriRngBinomial(0, s.s, kLawSize, x.data(), c.n, c.p), 0);
        const double mean = c.n * c.p, sd = std::sqrt(mean * (1 - c.p));
        const long long first = std::max(0LL, (long long)(mean - 6 * sd));
        const int cells = int(std::min<long long>(c.n + 1 - first, (long long)(12 * sd) + 2));
        expect_law("binomial " + std::to_string(c.n) + " " + std::to_string(c.p), x,
                   [&](long long k) { return binomial_pmf(c.n, c.p, k); }, cells, first);
    }
    // The ends: p = 0 and p = 1.
    Stream s;
    std::vector<int32_t> x(100);
    ASSERT_EQ(_tqriRngBinomial(0, s.s, 100, x.data(), 17, 0.0), 0);
    for (int32_t v : x) ASSERT_EQ(v, 0);
    ASSERT_EQ(_tqriRngBinomial(0, s.s, 100, x.data(), 17, 1.0), 0);
    for (int32_t v : x) ASSERT_EQ(v, 17);
}

// The set-up of the acceptance-rejection path lives in chunk 5: kept for the
// same parameters, remade for others; its allocations made to fail in turn
// give VEXA_RNG_MEMORY and leave nothing behind.
TEST(Discrete, BinomialSetupChunk) {
    for (long k = 1;; ++k) {
        const long live = vexa_serv_test_live_blocks();
        int st;
        {
            Stream s;
            int32_t r[10];
            vexa_serv_test_fail_allocation(k);
            st = _tqriRngBinomial(0, s.s, 10, r, 1000, 0.25);
            vexa_serv_test_fail_allocation(0);
        }
        EXPECT_EQ(vexa_serv_test_live_blocks(), live) << k;
        if (st == 0) break;
        EXPECT_EQ(st, VEXA_RNG_MEMORY);
        ASSERT_LT(k, 5);
    }
    Stream s;
    std::vector<int32_t> r(1000);
    ASSERT_EQ(_tqriRngBinomial(0, s.s, 1000, r.data(), 1000, 0.25), 0);
    void* chunk = __tqrSearchChunk(s.s, 5);
    ASSERT_NE(chunk, nullptr);
    const long before = vexa_serv_test_allocation_count();
    ASSERT_EQ(_tqriRngBinomial(0, s.s, 1000, r.data(), 1000, 0.25), 0);
    EXPECT_EQ(vexa_serv_test_allocation_count(), before);
    ASSERT_EQ(_tqriRngBinomial(0, s.s, 1000, r.data(), 1000, 0.75), 0);
    EXPECT_EQ(__tqrSearchChunk(s.s, 5), chunk);
    double p;
    std::memcpy(&p, chunk, sizeof p);  // the chunk starts with the p it was made for
    EXPECT_EQ(p, 0.75);
    for (int32_t v : r) ASSERT_TRUE(v >= 0 && v <= 1000);
}

double poisson_pmf(double lambda, long long k) {
    if (k < 0) return 0;
    return double(std::exp(k * std::log((long double)lambda) - lambda - std::lgamma((long double)k + 1)));
}

// Both sides of the switches at 27 (inversion, PTPE) and 100 (the normal
// approximation of method 1, whose CDF stays within 1.3e-4 of the law's).
TEST(Discrete, PoissonLaws) {
    const struct {
        int method;
        double lambda;
    } cases[] = {{0, 0.5}, {0, 5}, {0, 26.99}, {0, 27}, {0, 99}, {0, 100}, {0, 1e4}, {0, 1e6},
                 {1, 3}, {1, 99}, {1, 100}, {1, 1e4}};
    for (const auto& c : cases) {
        Stream s;
        std::vector<int32_t> x(kLawSize);
        ASSERT_EQ(_tqriRngPoisson(c.method, s.s, kLawSize, x.data(), c.lambda), 0);
        const double sd = std::sqrt(c.lambda);
        const long long first = std::max(0LL, (long long)(c.lambda - 6 * sd));
        expect_law("poisson " + std::to_string(c.method) + " " + std::to_string(c.lambda), x,
                   [&](long long k) { return poisson_pmf(c.lambda, k); }, int(12 * sd) + 12, first);
    }
}

// The set-up (a table below 27, PTPE's from 27 on) lives in chunk 3: kept
// for the same lambda, remade for another; its allocations made to fail in
// turn give VEXA_RNG_MEMORY and leave nothing behind.
TEST(Discrete, PoissonSetupChunk) {
    for (double lambda : {4.0, 300.0}) {
        for (long k = 1;; ++k) {
            const long live = vexa_serv_test_live_blocks();
            int st;
            {
                Stream s;
                int32_t r[10];
                vexa_serv_test_fail_allocation(k);
                st = _tqriRngPoisson(0, s.s, 10, r, lambda);
                vexa_serv_test_fail_allocation(0);
            }
            EXPECT_EQ(vexa_serv_test_live_blocks(), live) << k;
            if (st == 0) break;
            EXPECT_EQ(st, VEXA_RNG_MEMORY);
            ASSERT_LT(k, 5);
        }
        Stream s;
        std::vector<int32_t> r(100);
        ASSERT_EQ(_tqriRngPoisson(0, s.s, 100, r.data(), lambda), 0);
        const long before = vexa_serv_test_allocation_count();
        ASSERT_EQ(_tqriRngPoisson(0, s.s, 100, r.data(), lambda), 0);
        EXPECT_EQ(vexa_serv_test_allocation_count(), before);
        double kept;
        ASSERT_EQ(_tqriRngPoisson(0, s.s, 100, r.data(), lambda * 1.5), 0);
        std::memcpy(&kept, __tqrSearchChunk(s.s, 3), sizeof kept);  // the lambda it was made for
        EXPECT_EQ(kept, lambda * 1.5);
    }
}

TEST(Discrete, UniformBitsByGenerator) {
    // The raw words, for any generator.
    for (int32_t id : {kMcg31, kMcg59, kMt19937}) {
        Stream s(id);
        Stream c = s.copy();
        const int words = id == kMcg59 ? 2 : 1;
        std::vector<uint32_t> a(std::size_t(100 * words)), b(std::size_t(100 * words));
        ASSERT_EQ(_tqriRngUniformBits(0, s.s, 100, a.data()), 0);
        ASSERT_EQ(c.record().iBRng(c.s, 100, b.data()), 0);
        EXPECT_EQ(a, b);
    }
    // Full 32-bit words: refused where the words are not full.
    for (int32_t id : {kMcg31, 0x200000, 0x300000, 0x500000}) {
        Stream s(id);
        uint32_t w[4];
        uint64_t d[4];
        EXPECT_EQ(_tqriRngUniformBits32(0, s.s, 4, w), VEXA_RNG_BAD_BITS_GENERATOR) << std::hex << id;
        EXPECT_EQ(_tqriRngUniformBits64(0, s.s, 4, d), VEXA_RNG_BAD_BITS_GENERATOR) << std::hex << id;
    }
    // The integer output where it is full; 64-bit words are two of them.
    for (int32_t id : {kMt19937, kPhilox}) {
        Stream s(id);
        Stream c = s.copy();
        std::vector<uint32_t> w(300), ref(300 + 600);
        std::vector<uint64_t> d(300);
        ASSERT_EQ(_tqriRngUniformBits32(0, s.s, 300, w.data()), 0);
        ASSERT_EQ(_tqriRngUniformBits64(0, s.s, 300, d.data()), 0);
        ASSERT_EQ(c.record().iBRng(c.s, 900, ref.data()), 0);
        EXPECT_EQ(w, std::vector<uint32_t>(ref.begin(), ref.begin() + 300));
        for (int i = 0; i < 300; ++i) ASSERT_EQ(d[i], ref[300 + 2 * i] | uint64_t(ref[301 + 2 * i]) << 32);
    }
    // MCG59: bits 27-58 of each state, across passes of 2048.
    Stream s(kMcg59);
    Stream c = s.copy();
    std::vector<uint32_t> w(5000);
    std::vector<uint64_t> states(5000);
    ASSERT_EQ(_tqriRngUniformBits32(0, s.s, 5000, w.data()), 0);
    ASSERT_EQ(c.record().iBRng(c.s, 5000, reinterpret_cast<uint32_t*>(states.data())), 0);
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(w[i], uint32_t(states[i] >> 27)) << i;
    std::vector<uint64_t> d(100);
    ASSERT_EQ(_tqriRngUniformBits64(0, s.s, 100, d.data()), 0);
    ASSERT_EQ(c.record().iBRng(c.s, 200, reinterpret_cast<uint32_t*>(states.data())), 0);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(d[i], (states[2 * i] >> 27) | (states[2 * i + 1] >> 27) << 32) << i;
}

TEST(Discrete, GeneratorStatusReturnedUnchanged) {
    static double buffer[4];
    StreamState* raw = nullptr;
    ASSERT_EQ(__tqrdNewAbstractStream(&raw, 4, buffer, 0.0, 1.0,
                                      [](StreamState*, int*, double*, int*, int*, int*) { return 1; }),
              0);
    Stream s(raw);
    int32_t r[8];
    EXPECT_EQ(_tqriRngBernoulli(0, s.s, 8, r, 0.5), VEXA_RNG_ABSTRACT_TYPE);
    EXPECT_EQ(_tqriRngGeometric(0, s.s, 8, r, 0.5), VEXA_RNG_ABSTRACT_TYPE);
    EXPECT_EQ(_tqriRngUniformBits(0, s.s, 8, reinterpret_cast<uint32_t*>(r)), VEXA_RNG_ABSTRACT_TYPE);
}

}  // namespace
