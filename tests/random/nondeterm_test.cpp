// NONDETERM: values from the hardware instruction (a statistical smoke
// check), the retry limit from the seeds, and the refusals through the
// service layer's hook: the instruction missing (-1130) and failing on every
// attempt (-1131, nothing written).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "vexa/random.h"
#include "vexa/service.h"

namespace {

constexpr int32_t kTrng = 0xE00000;

uint32_t retry_limit(std::vector<uint32_t> seeds) {
    StreamState* s = nullptr;
    EXPECT_EQ(__tqrNewStreamEx(&s, kTrng, int(seeds.size()), seeds.data()), 0);
    uint32_t limit;
    std::memcpy(&limit, reinterpret_cast<char*>(s) + 20, 4);
    __tqrDeleteStream(&s);
    return limit;
}

TEST(Nondeterm, RetryLimitFromTheSeeds) {
    EXPECT_EQ(retry_limit({7, 0}), 10u);
    EXPECT_EQ(retry_limit({7}), 10u);
    EXPECT_EQ(retry_limit({}), 10u);
    EXPECT_EQ(retry_limit({7, 3}), 3u);
}

TEST(Nondeterm, ValuesLookRandom) {
    if (!__tqrCPUisRDRAND()) GTEST_SKIP() << "no RDRAND";
    StreamState* s = nullptr;
    ASSERT_EQ(__tqrNewStreamEx(&s, kTrng, 0, nullptr), 0);
    const int n = 20000;
    std::vector<uint32_t> w(n);
    std::vector<double> d(n);
    std::vector<float> f(n);
    ASSERT_EQ(__tqriBRngTRNG(s, n, w.data()), 0);
    ASSERT_EQ(__tqrdBRngTRNG(s, n, d.data(), -1.0, 3.0), 0);
    ASSERT_EQ(__tqrsBRngTRNG(s, n, f.data(), 0.0f, 1.0f), 0);
    // Each bit of the words set about half the time (5 sigma), the doubles'
    // and floats' means near the middle, all inside their intervals.
    for (int bit = 0; bit < 32; ++bit) {
        int ones = 0;
        for (uint32_t v : w) ones += int((v >> bit) & 1u);
        EXPECT_NEAR(ones, n / 2, 5 * std::sqrt(n / 4.0)) << "bit " << bit;
    }
    double md = 0, mf = 0;
    for (int i = 0; i < n; ++i) {
        EXPECT_TRUE(d[i] >= -1.0 && d[i] < 3.0);
        EXPECT_TRUE(f[i] >= 0.0f && f[i] < 1.0f);
        md += d[i], mf += f[i];
    }
    EXPECT_NEAR(md / n, 1.0, 5 * 4.0 / std::sqrt(12.0 * n));
    EXPECT_NEAR(mf / n, 0.5, 5 / std::sqrt(12.0 * n));
    EXPECT_EQ(__tqrLeapfrogStream(s, 0, 2), VEXA_RNG_NO_LEAPFROG);
    EXPECT_EQ(__tqrSkipAheadStream(s, 5), VEXA_RNG_NO_SKIPAHEAD);
    __tqrDeleteStream(&s);
}

TEST(Nondeterm, RefusalsThroughTheHook) {
    StreamState* s = nullptr;
    const uint32_t seeds[2] = {0, 4};
    ASSERT_EQ(__tqrNewStreamEx(&s, kTrng, 2, seeds), 0);
    uint32_t w[4] = {0};
    double d[4] = {0};
    float f[4] = {0};
    vexa_serv_test_hide_cpu_features(VEXA_SERV_CPU_RDRAND);
    EXPECT_EQ(__tqrCPUisRDRAND(), 0);
    EXPECT_EQ(__tqriBRngTRNG(s, 4, w), VEXA_RNG_NO_HW_RNG);
    EXPECT_EQ(__tqrdBRngTRNG(s, 4, d, 0, 1), VEXA_RNG_NO_HW_RNG);
    EXPECT_EQ(__tqrsBRngTRNG(s, 4, f, 0, 1), VEXA_RNG_NO_HW_RNG);
    // Every attempt failing: the retry limit (4) runs out before the first value.
    vexa_serv_test_hide_cpu_features(VEXA_SERV_CPU_RDRAND_FAILS);
    if (__tqrCPUisRDRAND()) {
        EXPECT_EQ(__tqriBRngTRNG(s, 4, w), VEXA_RNG_HW_RNG_FAILED);
        EXPECT_EQ(__tqrdBRngTRNG(s, 4, d, 0, 1), VEXA_RNG_HW_RNG_FAILED);
        EXPECT_EQ(__tqrsBRngTRNG(s, 4, f, 0, 1), VEXA_RNG_HW_RNG_FAILED);
    }
    vexa_serv_test_hide_cpu_features(0);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(w[i] == 0 && d[i] == 0 && f[i] == 0);
    __tqrDeleteStream(&s);
}

}  // namespace
