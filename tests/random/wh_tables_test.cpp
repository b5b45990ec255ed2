// The Wichmann-Hill tables: the committed values are those the rule gives,
// and every set meets the rule (four distinct primes below 2^24, each with a
// multiplier below 256 that is a primitive root of it, so every component
// has the full period), with the reciprocal table 1/m.
#include <gtest/gtest.h>

#include <set>

#include "vexa/random.h"
#include "wh_sets.h"

namespace {

using namespace vexa::tools;

TEST(WichmannHill, TablesFollowTheirRule) {
    const auto sets = wh_sets();
    std::set<uint32_t> moduli;
    for (int k = 0; k < VEXA_WH_SETS; ++k) {
        for (int j = 0; j < 4; ++j) {
            const uint32_t m = _tqr_WH_M[k][j], a = _tqr_WH_A[k][j];
            EXPECT_EQ(m, sets[std::size_t(k)].m[j]) << k;
            EXPECT_EQ(a, sets[std::size_t(k)].a[j]) << k;
            EXPECT_LT(m, 1u << 24);
            EXPECT_TRUE(is_prime(m)) << k << " " << m;
            EXPECT_TRUE(is_primitive_root(a, m)) << k << " " << m << " " << a;
            EXPECT_TRUE(moduli.insert(m).second) << "modulus used twice: " << m;
            EXPECT_EQ(_tqrdWH_IM_Tab[k][j], 1.0 / m);
        }
    }
    // The sets that are given.
    EXPECT_EQ(_tqr_WH_M[1][3], 16770209u);
    EXPECT_EQ(_tqr_WH_A[0][1], 117u);
    EXPECT_EQ(_tqr_WH_M[272][3], 16766231u);
    EXPECT_EQ(_tqr_WH_A[272][0], 126u);
}

}  // namespace
