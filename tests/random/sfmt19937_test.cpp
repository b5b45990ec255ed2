// SFMT19937 against its authors' published outputs of the initialisation by
// key array, against the plain 128-bit recurrence of tools/tables/twisters.h
// over a long run split into calls at random, the interval outputs against
// their formula, and skip-ahead against generating and discarding.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "support/sweep.h"
#include "twisters.h"
#include "vexa/random.h"
#include "vexa/service.h"

namespace {

constexpr int32_t kSfmt = 0xD00000;

std::vector<uint32_t> words(StreamState* s, int n) {
    std::vector<uint32_t> r(static_cast<std::size_t>(n));
    EXPECT_EQ(__tqriBRngSFMT19937(s, n, r.data()), 0);
    return r;
}

std::vector<uint32_t> plain(const std::vector<uint32_t>& key, int n) {
    vexa::tools::Sfmt g(key.empty() ? std::vector<uint32_t>{1} : key);
    std::vector<uint32_t> out;
    while (int(out.size()) < n) {
        for (int k = 0; k < vexa::tools::Sfmt::kN; ++k) g.step();
        out.insert(out.end(), g.w, g.w + 4 * vexa::tools::Sfmt::kN);
    }
    out.resize(static_cast<std::size_t>(n));
    return out;
}

StreamState* stream(const std::vector<uint32_t>& key) {
    StreamState* s = nullptr;
    EXPECT_EQ(__tqrNewStreamEx(&s, kSfmt, int(key.size()), key.data()), 0);
    return s;
}

TEST(Sfmt19937, PublishedKeyArrayOutputs) {
    std::ifstream in(std::string(VEXA_SHARED_DIR) + "/kat/sfmt19937.out.txt");
    ASSERT_TRUE(in.good());
    std::string line;
    while (std::getline(in, line) && line.rfind("init_by_array", 0) != 0) {
    }
    std::vector<uint32_t> want;
    unsigned long v;
    while (in >> v) want.push_back(uint32_t(v));
    ASSERT_EQ(want.size(), 1000u);
    StreamState* s = stream({0x1234, 0x5678, 0x9abc, 0xdef0});
    EXPECT_EQ(words(s, 1000), want);
    __tqrDeleteStream(&s);
}

TEST(Sfmt19937, OtherKeysAnySplitAndIntervals) {
    vexa::test::Rng rng(5);
    for (std::vector<uint32_t> key : {std::vector<uint32_t>{}, {4357}, std::vector<uint32_t>(700, 0x9E3779B9u)}) {
        const std::vector<uint32_t> want = plain(key, 20000);
        StreamState* s = stream(key);
        std::vector<uint32_t> got;
        while (got.size() < want.size()) {
            const int n = std::min<int>(int(rng.next() % 1500), int(want.size() - got.size()));
            const auto w = words(s, n);
            got.insert(got.end(), w.begin(), w.end());
        }
        EXPECT_EQ(got, want) << key.size();
        __tqrDeleteStream(&s);
    }
    StreamState *d = stream({9}), *f = stream({9});
    const std::vector<uint32_t> y = plain({9}, 1301);
    std::vector<double> rd(y.size());
    std::vector<float> rf(y.size());
    ASSERT_EQ(__tqrdBRngSFMT19937(d, int(y.size()), rd.data(), -1.0, 3.0), 0);
    ASSERT_EQ(__tqrsBRngSFMT19937(f, int(y.size()), rf.data(), 0.0f, 10.0f), 0);
    for (std::size_t i = 0; i < y.size(); ++i) {
        EXPECT_EQ(rd[i], std::fma(double(y[i]), 4.0 * 0x1p-32, -1.0)) << i;
        EXPECT_EQ(rf[i], std::fmaf(float(y[i]), 10.0f * 0x1p-32f, 0.0f)) << i;
    }
    EXPECT_EQ(__tqrLeapfrogStream(d, 0, 2), VEXA_RNG_NO_LEAPFROG);
    __tqrDeleteStream(&d);
    __tqrDeleteStream(&f);
}

// Skip-ahead by n from any position equals discarding n values: within the
// block, to its end, Horner's scheme below 19968, the sliding window above,
// with every remainder modulo the four words of a step.
TEST(Sfmt19937, SkipAheadEqualsDiscarding) {
    const std::vector<uint32_t> all = plain({3, 1}, 1000000 + 2000);
    for (long long n : {0LL, 1LL, 3LL, 621LL, 623LL, 624LL, 625LL, 1002LL, 19967LL, 19968LL, 19970LL, 1000001LL}) {
        for (int before : {0, 1, 2, 623, 624, 630}) {
            StreamState* s = stream({3, 1});
            words(s, before);
            ASSERT_EQ(__tqrSkipAheadStream(s, n), 0);
            const auto got = words(s, 700);
            EXPECT_TRUE(std::equal(got.begin(), got.end(), all.begin() + before + n)) << n << " after " << before;
            __tqrDeleteStream(&s);
        }
    }
}

TEST(Sfmt19937, LargeSkipsComposeAndSurviveFailedAllocations) {
    StreamState *a = stream({77}), *b = stream({77});
    words(a, 3);
    words(b, 3);
    ASSERT_EQ(__tqrSkipAheadStream(a, (1LL << 40) + 17), 0);
    ASSERT_EQ(__tqrSkipAheadStream(b, 1LL << 39), 0);
    ASSERT_EQ(__tqrSkipAheadStream(b, (1LL << 39) + 10), 0);
    words(b, 7);
    EXPECT_EQ(words(a, 1000), words(b, 1000));
    for (long k = 1;; ++k) {
        StreamState* copy = nullptr;
        ASSERT_EQ(__tqrCopyStream(&copy, a), 0);
        const long live = vexa_serv_test_live_blocks();
        vexa_serv_test_fail_allocation(k);
        const int status = __tqrSkipAheadStream(a, 5000000);
        vexa_serv_test_fail_allocation(0);
        EXPECT_EQ(vexa_serv_test_live_blocks(), live);
        if (status == 0) {
            __tqrDeleteStream(&copy);
            break;
        }
        EXPECT_EQ(status, VEXA_RNG_MEMORY);
        EXPECT_EQ(words(a, 700), words(copy, 700)) << k;
        __tqrDeleteStream(&copy);
    }
    __tqrDeleteStream(&a);
    __tqrDeleteStream(&b);
}

#ifndef __i386__  // four billion values: about a second natively, far too long emulated
// Skip-ahead by 2^32 + 17 equals generating and discarding as many values.
TEST(Sfmt19937, SkipOverFourBillionValues) {
    const uint32_t key = 2024;
    StreamState *a = nullptr, *b = nullptr;
    ASSERT_EQ(__tqrNewStreamEx(&a, kSfmt, 1, &key), 0);
    ASSERT_EQ(__tqrNewStreamEx(&b, kSfmt, 1, &key), 0);
    const long long n = (1LL << 32) + 17;
    ASSERT_EQ(__tqrSkipAheadStream(a, n), 0);
    std::vector<uint32_t> sink(1 << 20);
    for (long long left = n; left > 0;) {
        const int m = int(std::min<long long>(left, (long long)sink.size()));
        ASSERT_EQ(__tqriBRngSFMT19937(b, m, sink.data()), 0);
        left -= m;
    }
    std::vector<uint32_t> x(1000), y(1000);
    __tqriBRngSFMT19937(a, 1000, x.data());
    __tqriBRngSFMT19937(b, 1000, y.data());
    EXPECT_EQ(x, y);
    __tqrDeleteStream(&a);
    __tqrDeleteStream(&b);
}
#endif

}  // namespace
