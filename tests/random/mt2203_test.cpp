// MT2203: every set's stream against the plain 69-word twister of
// tools/tables/twisters.h with that set's constant and masks (quoted sets and
// a sample, any split of a run into calls, the interval outputs), the
// refusals, and the table itself: the quoted sets as given, constants
// distinct, and for a sample of generated sets the search rule's constant,
// maximal period and (natively) the masks the tempering search gives, with
// an equidistribution deficit at most twice the quoted sets'.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "mt2203_search.h"
#include "support/sweep.h"
#include "twisters.h"
#include "vexa/random.h"

namespace {

using namespace vexa::tools;

constexpr int32_t kBase = 0x900000;

#ifdef __i386__  // the searches are slow under emulation
constexpr int kSample = 1;
#else
constexpr int kSample = 4;
#endif

std::vector<uint32_t> plain(int set, const std::vector<uint32_t>& key, int n) {
    const uint32_t* p = _tqr_mt2203_table[set];
    Twister t{kMt2203Words, kMt2203Shift, kMt2203Low, p[0], mt_init_by_array(kMt2203Words, key.empty() ? std::vector<uint32_t>{1} : key)};
    std::vector<uint32_t> out(static_cast<std::size_t>(n));
    for (auto& y : out) {
        y = t.next();
        y ^= y >> 12;
        y ^= (y << 7) & p[1];
        y ^= (y << 15) & p[2];
        y ^= y >> 18;
    }
    return out;
}

std::vector<int> sample_sets() {
    std::vector<int> sets = {0, 1, 6023};
    vexa::test::Rng rng(2203);
    for (int k = 0; k < kSample; ++k) sets.push_back(2 + int(rng.next() % 6021));
    return sets;
}

TEST(Mt2203, StreamsFollowTheirSets) {
    vexa::test::Rng rng(7);
    for (int set : sample_sets()) {
        const std::vector<uint32_t> key = {uint32_t(set), 5, 6};
        const std::vector<uint32_t> want = plain(set, key, 3000);
        StreamState* s = nullptr;
        ASSERT_EQ(__tqrNewStreamEx(&s, kBase + set, 3, key.data()), 0);
        std::vector<uint32_t> got;
        while (got.size() < want.size()) {
            const int n = std::min<int>(int(rng.next() % 200), int(want.size() - got.size()));
            std::vector<uint32_t> w(static_cast<std::size_t>(n));
            ASSERT_EQ(__tqriBRngMT2203(s, n, w.data()), 0);
            got.insert(got.end(), w.begin(), w.end());
        }
        EXPECT_EQ(got, want) << set;
        __tqrDeleteStream(&s);
    }
    // The one-word default key, the interval outputs, set 6023's constant in the state.
    StreamState *d = nullptr, *f = nullptr;
    ASSERT_EQ(__tqrNewStreamEx(&d, kBase + 6023, 0, nullptr), 0);
    ASSERT_EQ(__tqrNewStreamEx(&f, kBase + 6023, 0, nullptr), 0);
    EXPECT_EQ(reinterpret_cast<const uint32_t*>(d)[296 / 4], 0xE8761D4Bu);
    const std::vector<uint32_t> y = plain(6023, {}, 500);
    std::vector<double> rd(y.size());
    std::vector<float> rf(y.size());
    ASSERT_EQ(__tqrdBRngMT2203(d, int(y.size()), rd.data(), 2.0, 3.0), 0);
    ASSERT_EQ(__tqrsBRngMT2203(f, int(y.size()), rf.data(), -1.0f, 1.0f), 0);
    for (std::size_t i = 0; i < y.size(); ++i) {
        EXPECT_EQ(rd[i], std::fma(double(y[i]), 0x1p-32, 2.0)) << i;
        EXPECT_EQ(rf[i], std::fmaf(float(y[i]), 2.0f * 0x1p-32f, -1.0f)) << i;
    }
    EXPECT_EQ(__tqrLeapfrogStream(d, 0, 2), VEXA_RNG_NO_LEAPFROG);
    EXPECT_EQ(__tqrSkipAheadStream(d, 10), VEXA_RNG_NO_SKIPAHEAD);
    __tqrDeleteStream(&d);
    __tqrDeleteStream(&f);
    StreamState* none = nullptr;
    EXPECT_EQ(__tqrNewStreamEx(&none, kBase + 6024, 0, nullptr), VEXA_RNG_INVALID_BRNG);
}

TEST(Mt2203, TableFollowsItsRule) {
    const uint32_t quoted[3][3] = {{0xAF81055Fu, 0xDD7EEF80u, 0xEFD78000u},
                                   {0x832604E1u, 0x66AD7F80u, 0xEBD58000u},
                                   {0xE8761D4Bu, 0x72967680u, 0xEFEB0000u}};
    for (int j = 0; j < 3; ++j)
        for (int w = 0; w < 3; ++w) EXPECT_EQ(_tqr_mt2203_table[j == 2 ? 6023 : j][w], quoted[j][w]);
    std::set<uint32_t> constants;
    for (int k = 0; k < VEXA_MT2203_SETS; ++k) {
        EXPECT_TRUE(constants.insert(_tqr_mt2203_table[k][0]).second) << k;
        EXPECT_EQ(_tqr_mt2203_table[k][1] & 0x7Fu, 0u) << k;
        EXPECT_EQ(_tqr_mt2203_table[k][2] & 0x7FFFu, 0u) << k;
    }
    [[maybe_unused]] int worst_quoted = 0;
    for (int k : {0, 1, 6023}) {
        EXPECT_TRUE(mt2203_primitive(_tqr_mt2203_table[k][0])) << k;
#ifndef __i386__
        const auto* p = _tqr_mt2203_table[k];
        worst_quoted = std::max(worst_quoted, mt2203_equidistribution(p[0], p[1], p[2]).deficit);
#endif
    }
    for (int k : sample_sets()) {
        if (k < 2 || k == 6023) continue;
        const uint32_t* p = _tqr_mt2203_table[k];
        std::vector<uint32_t> used = {quoted[0][0], quoted[1][0], quoted[2][0]};
        for (int j = 2; j < k; ++j) used.push_back(_tqr_mt2203_table[j][0]);
        EXPECT_EQ(mt2203_search(k, used), p[0]) << k;  // primitive, by the search itself
#ifndef __i386__
        uint32_t b, c;
        mt2203_tempering(p[0], b, c);
        EXPECT_EQ(b, p[1]) << k;
        EXPECT_EQ(c, p[2]) << k;
        EXPECT_LE(mt2203_equidistribution(p[0], p[1], p[2]).deficit, 2 * worst_quoted) << k;  // untempered: 4586
#endif
    }
}

}  // namespace
