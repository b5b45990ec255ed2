// MT19937 against the published outputs of the initialisation by key array,
// against a plain word-by-word recurrence written here (other keys, the
// one-word default), any split of a run into calls, the interval outputs
// against their formula, and skip-ahead against generating and discarding.
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
#include "vexa/service.h"

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

// Skip-ahead by n from every kind of position equals generating n values
// and keeping what follows: inside the block, to its end, Horner's scheme
// below 19937 and the sliding window from there.
TEST(Mt19937, SkipAheadEqualsDiscarding) {
    const uint32_t key[2] = {7, 8};
    const std::vector<uint32_t> all = plain({7, 8}, 1000000 + 2 * 624 + 64);
    for (long long n : {0LL, 1LL, 300LL, 623LL, 624LL, 1000LL, 19936LL, 19937LL, 20000LL, 1000000LL}) {
        for (int before : {0, 1, 624, 1000}) {
            StreamState* s = nullptr;
            ASSERT_EQ(__tqrNewStreamEx(&s, kMt, 2, key), 0);
            words(s, before);
            ASSERT_EQ(__tqrSkipAheadStream(s, n), 0);
            const auto got = words(s, 64);
            EXPECT_TRUE(std::equal(got.begin(), got.end(), all.begin() + before + n)) << n << " after " << before;
            __tqrDeleteStream(&s);
        }
    }
}

// Large skips compose: 2^40 + 17 at once equals 2^39 twice and then 17
// generated values, and 2^63 + 2^62 equals three skips of 2^62.
TEST(Mt19937, LargeSkipsCompose) {
    const uint32_t key = 99;
    StreamState *a = nullptr, *b = nullptr;
    ASSERT_EQ(__tqrNewStreamEx(&a, kMt, 1, &key), 0);
    ASSERT_EQ(__tqrNewStreamEx(&b, kMt, 1, &key), 0);
    words(a, 5);
    words(b, 5);
    ASSERT_EQ(__tqrSkipAheadStream(a, (1LL << 40) + 17), 0);
    ASSERT_EQ(__tqrSkipAheadStream(b, 1LL << 39), 0);
    ASSERT_EQ(__tqrSkipAheadStream(b, 1LL << 39), 0);
    words(b, 17);
    EXPECT_EQ(words(a, 700), words(b, 700));
    // Counts beyond 2^63 arrive as negative numbers and are taken unsigned.
    ASSERT_EQ(__tqrSkipAheadStream(a, (long long)((1ULL << 63) + (1ULL << 62))), 0);
    for (int k = 0; k < 3; ++k) ASSERT_EQ(__tqrSkipAheadStream(b, 1LL << 62), 0);
    EXPECT_EQ(words(a, 700), words(b, 700));
    __tqrDeleteStream(&a);
    __tqrDeleteStream(&b);
}

// Every allocation of either scheme may fail: VEXA_RNG_MEMORY, the stream
// unchanged, nothing left allocated.
TEST(Mt19937, SkipAheadWithoutMemoryLeavesTheStream) {
    const uint32_t key = 3;
    for (long long n : {5000LL, 1000000LL}) {
        for (long k = 1;; ++k) {
            StreamState *s = nullptr, *copy = nullptr;
            ASSERT_EQ(__tqrNewStreamEx(&s, kMt, 1, &key), 0);
            words(s, 100);
            ASSERT_EQ(__tqrCopyStream(&copy, s), 0);
            const long live = vexa_serv_test_live_blocks();
            vexa_serv_test_fail_allocation(k);
            const int status = __tqrSkipAheadStream(s, n);
            vexa_serv_test_fail_allocation(0);
            EXPECT_EQ(vexa_serv_test_live_blocks(), live);
            if (status == 0) {
                EXPECT_GT(k, 1);
                __tqrDeleteStream(&s);
                __tqrDeleteStream(&copy);
                break;
            }
            EXPECT_EQ(status, VEXA_RNG_MEMORY);
            EXPECT_EQ(words(s, 900), words(copy, 900)) << k;
            __tqrDeleteStream(&s);
            __tqrDeleteStream(&copy);
        }
    }
}

#ifndef __i386__  // four billion values: about a second natively, far too long emulated
// Skip-ahead by 2^32 + 17 equals generating and discarding as many values.
TEST(Mt19937, SkipOverFourBillionValues) {
    const uint32_t key = 2024;
    StreamState *a = nullptr, *b = nullptr;
    ASSERT_EQ(__tqrNewStreamEx(&a, kMt, 1, &key), 0);
    ASSERT_EQ(__tqrNewStreamEx(&b, kMt, 1, &key), 0);
    const long long n = (1LL << 32) + 17;
    ASSERT_EQ(__tqrSkipAheadStream(a, n), 0);
    std::vector<uint32_t> sink(1 << 20);
    for (long long left = n; left > 0;) {
        const int m = int(std::min<long long>(left, (long long)sink.size()));
        ASSERT_EQ(__tqriBRngMT19937(b, m, sink.data()), 0);
        left -= m;
    }
    std::vector<uint32_t> x(1000), y(1000);
    __tqriBRngMT19937(a, 1000, x.data());
    __tqriBRngMT19937(b, 1000, y.data());
    EXPECT_EQ(x, y);
    __tqrDeleteStream(&a);
    __tqrDeleteStream(&b);
}
#endif

}  // namespace
