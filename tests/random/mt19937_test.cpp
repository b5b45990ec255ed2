// MT19937 against the published outputs of the initialisation by key array,
// against a plain word-by-word recurrence written here (other keys, the
// one-word default), any split of a run into calls, and the interval
// outputs against their formula.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/sweep.h"
#include "vexa/random.h"

namespace {

constexpr int32_t kMt = 0x800000;

std::vector<uint32_t> words(StreamState* s, int n) {
    std::vector<uint32_t> r(static_cast<std::size_t>(n));
    EXPECT_EQ(__tqriBRngMT19937(s, n, r.data()), 0);
    return r;
}

// The generator one word at a time, from its definition.
std::vector<uint32_t> plain(std::vector<uint32_t> key, int n) {
    if (key.empty()) key = {1};
    uint32_t mt[624];
    mt[0] = 19650218u;
    for (int i = 1; i < 624; ++i) mt[i] = 1812433253u * (mt[i - 1] ^ (mt[i - 1] >> 30)) + uint32_t(i);
    std::size_t i = 1, j = 0;
    for (std::size_t k = std::max<std::size_t>(624, key.size()); k > 0; --k) {
        mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1664525u)) + key[j] + uint32_t(j);
        if (++i >= 624) mt[0] = mt[623], i = 1;
        if (++j >= key.size()) j = 0;
    }
    for (int k = 623; k > 0; --k) {
        mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1566083941u)) - uint32_t(i);
        if (++i >= 624) mt[0] = mt[623], i = 1;
    }
    mt[0] = 0x80000000u;
    std::vector<uint32_t> out;
    int pos = 624;
    while (int(out.size()) < n) {
        if (pos == 624) {
            for (int k = 0; k < 624; ++k) {
                const uint32_t y = (mt[k] & 0x80000000u) | (mt[(k + 1) % 624] & 0x7FFFFFFFu);
                mt[k] = mt[(k + 397) % 624] ^ (y >> 1) ^ ((y & 1u) ? 0x9908B0DFu : 0u);
            }
            pos = 0;
        }
        uint32_t y = mt[pos++];
        y ^= y >> 11;
        y ^= (y << 7) & 0x9D2C5680u;
        y ^= (y << 15) & 0xEFC60000u;
        out.push_back(y ^ (y >> 18));
    }
    return out;
}

TEST(Mt19937, PublishedKeyArrayOutputs) {
    std::ifstream in(std::string(VEXA_SHARED_DIR) + "/kat/mt19937.init_by_array.txt");
    ASSERT_TRUE(in.good());
    std::vector<uint32_t> want;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream f(line);
        unsigned long v;
        while (f >> v) want.push_back(uint32_t(v));
    }
    ASSERT_EQ(want.size(), 2000u);
    StreamState* s = nullptr;
    const uint32_t key[4] = {0x123, 0x234, 0x345, 0x456};
    ASSERT_EQ(__tqrNewStreamEx(&s, kMt, 4, key), 0);
    EXPECT_EQ(words(s, 2000), want);
    __tqrDeleteStream(&s);
}

TEST(Mt19937, OtherKeysAndAnySplit) {
    vexa::test::Rng rng(11);
    for (std::vector<uint32_t> key : {std::vector<uint32_t>{}, {5489}, {1, 2, 3}, std::vector<uint32_t>(700, 0xDEADBEEFu)}) {
        const std::vector<uint32_t> want = plain(key, 3000);
        StreamState* s = nullptr;
        ASSERT_EQ(__tqrNewStreamEx(&s, kMt, int(key.size()), key.data()), 0);
        std::vector<uint32_t> got;
        while (got.size() < want.size()) {
            const int n = std::min<int>(int(rng.next() % 700), int(want.size() - got.size()));
            const auto w = words(s, n);
            got.insert(got.end(), w.begin(), w.end());
        }
        EXPECT_EQ(got, want) << key.size();
        __tqrDeleteStream(&s);
    }
}

TEST(Mt19937, IntervalOutputsAndRefusals) {
    const uint32_t key = 42;
    StreamState *w = nullptr, *d = nullptr, *f = nullptr;
    ASSERT_EQ(__tqrNewStreamEx(&w, kMt, 1, &key), 0);
    ASSERT_EQ(__tqrNewStreamEx(&d, kMt, 1, &key), 0);
    ASSERT_EQ(__tqrNewStreamEx(&f, kMt, 1, &key), 0);
    const int n = 1301;
    const std::vector<uint32_t> y = words(w, n);
    std::vector<double> rd(n);
    std::vector<float> rf(n);
    ASSERT_EQ(__tqrdBRngMT19937(d, n, rd.data(), -2.0, 6.0), 0);
    ASSERT_EQ(__tqrsBRngMT19937(f, n, rf.data(), 1.0f, 2.0f), 0);
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(rd[i], std::fma(double(y[i]), 8.0 * 0x1p-32, -2.0)) << i;
        EXPECT_EQ(rf[i], std::fmaf(float(y[i]), 0x1p-32f, 1.0f)) << i;
    }
    EXPECT_EQ(__tqrLeapfrogStream(w, 0, 2), VEXA_RNG_NO_LEAPFROG);
    __tqrDeleteStream(&w);
    __tqrDeleteStream(&d);
    __tqrDeleteStream(&f);
}

}  // namespace
