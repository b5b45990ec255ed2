// Radix sorts against std::stable_sort of the same keys in the same order,
// for every type and direction, on random, sorted, reversed and
// duplicate-heavy data with the special floating-point values; index sorts are
// stable permutations; statuses and the untouched arrays on bad arguments.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <vector>

#include "support/sweep.h"
#include "vexa/primitives.h"

namespace {

using vexa::test::Rng;

// The order the sorts promise, on bit patterns for floats: -0 before +0,
// NaNs by their patterns (kept out of the comparison data below).
template <class T> bool before(T a, T b, bool desc) {
    if constexpr (std::is_floating_point_v<T>) {
        if (a == b && std::signbit(a) != std::signbit(b)) return desc ? !std::signbit(a) : std::signbit(a);
    }
    return desc ? b < a : a < b;
}

template <class T> std::vector<std::vector<T>> data_sets(std::size_t n) {
    Rng g(n * 7 + sizeof(T));
    std::vector<T> random(n), dups(n);
    for (std::size_t i = 0; i < n; ++i) {
        const uint64_t r = g.next();
        if constexpr (std::is_floating_point_v<T>) {
            random[i] = T(std::ldexp(g.uniform() - 0.5, int(r % 200) - 100));
            dups[i] = T(int(r % 7) - 3);
        } else {
            random[i] = T(r);
            dups[i] = T(r % 5);
        }
    }
    if constexpr (std::is_floating_point_v<T>) {
        using L = std::numeric_limits<T>;
        const T specials[] = {T(-0.0), T(0.0), L::infinity(), -L::infinity(), L::denorm_min(), -L::denorm_min(),
                              L::max(), L::lowest(), L::min(), T(-0.0), T(0.0)};
        for (std::size_t i = 0; i < std::size(specials) && i < n; ++i) random[(i * 37) % n] = specials[i];
    }
    std::vector<T> sorted = random, reversed = random;
    std::sort(sorted.begin(), sorted.end(), [](T a, T b) { return before(a, b, false); });
    std::sort(reversed.begin(), reversed.end(), [](T a, T b) { return before(a, b, true); });
    return {random, sorted, reversed, dups};
}

template <class T> bool same(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

template <class T> struct Sorts;
#define PR_SORT(t, T)                                                                    \
    template <> struct Sorts<T> {                                                        \
        static int sort(bool d, T* x, T* b, int n) {                                     \
            return d ? vexa_dft_avx2_zubsSortRadixDescend_##t##_I(x, b, n)               \
                     : vexa_dft_avx2_zubsSortRadixAscend_##t##_I(x, b, n);               \
        }                                                                                \
    };
#define PR_SORT8(t, T)                                                                   \
    template <> struct Sorts<T> {                                                        \
        static int sort(bool d, T* x, T*, int n) {                                       \
            return d ? vexa_dft_avx2_zubsSortRadixDescend_##t##_I(x, n)                  \
                     : vexa_dft_avx2_zubsSortRadixAscend_##t##_I(x, n);                  \
        }                                                                                \
    };
#include "vexa/primitives_catalogue.def"

template <class T> struct IndexSorts { static constexpr bool kHas = false; };
#define PR_INDEX(t, T)                                                                          \
    template <> struct IndexSorts<T> {                                                          \
        static constexpr bool kHas = true;                                                      \
        static int sort(bool d, const T* s, int stride, int32_t* ix, int32_t* b, int n) {       \
            return d ? vexa_dft_avx2_zubsSortRadixIndexDescend_##t(s, stride, ix, b, n)         \
                     : vexa_dft_avx2_zubsSortRadixIndexAscend_##t(s, stride, ix, b, n);         \
        }                                                                                       \
    };
#include "vexa/primitives_catalogue.def"

template <class T> class RadixSort : public testing::Test {};
using Types = testing::Types<float, double, int32_t, uint32_t, int16_t, uint16_t, uint8_t>;
TYPED_TEST_SUITE(RadixSort, Types);

TYPED_TEST(RadixSort, AgreesWithStableSortInBothDirections) {
    using T = TypeParam;
    for (std::size_t n : {std::size_t(1), std::size_t(2), std::size_t(3), std::size_t(100), std::size_t(5000)}) {
        for (const std::vector<T>& in : data_sets<T>(n)) {
            for (bool desc : {false, true}) {
                std::vector<T> want = in, got = in, buf(n);
                std::stable_sort(want.begin(), want.end(), [&](T a, T b) { return before(a, b, desc); });
                ASSERT_EQ(Sorts<T>::sort(desc, got.data(), buf.data(), int(n)), 0);
                EXPECT_TRUE(same(got, want)) << "n=" << n << " desc=" << desc;
            }
        }
    }
}

TYPED_TEST(RadixSort, IndexSortsAreStablePermutations) {
    using T = TypeParam;
    if constexpr (IndexSorts<T>::kHas) {
        for (std::size_t n : {std::size_t(1), std::size_t(7), std::size_t(3000)}) {
            for (const std::vector<T>& in : data_sets<T>(n)) {
                // Keys interleaved with other data: a stride of two elements.
                std::vector<T> strided(2 * n, T(99));
                for (std::size_t i = 0; i < n; ++i) strided[2 * i] = in[i];
                for (bool desc : {false, true}) {
                    std::vector<int32_t> want(n), got(n, -1), buf(n);
                    std::iota(want.begin(), want.end(), 0);
                    std::stable_sort(want.begin(), want.end(), [&](int32_t a, int32_t b) { return before(in[a], in[b], desc); });
                    const std::vector<T> before_call = strided;
                    ASSERT_EQ(IndexSorts<T>::sort(desc, strided.data(), int(2 * sizeof(T)), got.data(), buf.data(), int(n)), 0);
                    EXPECT_EQ(got, want) << "n=" << n << " desc=" << desc;
                    EXPECT_TRUE(same(strided, before_call));  // the source is not changed
                }
            }
        }
    }
}

TEST(RadixSortStatuses, PointersFirstThenLengthAndStride) {
    float x[4] = {3, 1, 2, 0}, b[4];
    int32_t ix[4] = {-1, -1, -1, -1}, ib[4];
    EXPECT_EQ(vexa_dft_avx2_zubsSortRadixAscend_32f_I(nullptr, b, 0), VEXA_PR_NULL);
    EXPECT_EQ(vexa_dft_avx2_zubsSortRadixAscend_32f_I(x, nullptr, 4), VEXA_PR_NULL);
    EXPECT_EQ(vexa_dft_avx2_zubsSortRadixDescend_64f_I(nullptr, nullptr, -1), VEXA_PR_NULL);
    EXPECT_EQ(vexa_dft_avx2_zubsSortRadixAscend_32f_I(x, b, 0), VEXA_PR_BAD_LENGTH);
    EXPECT_EQ(vexa_dft_avx2_zubsSortRadixAscend_8u_I(nullptr, 5), VEXA_PR_NULL);
    uint8_t bytes[3] = {2, 1, 0};
    EXPECT_EQ(vexa_dft_avx2_zubsSortRadixAscend_8u_I(bytes, -3), VEXA_PR_BAD_LENGTH);
    EXPECT_EQ(vexa_dft_avx2_zubsSortRadixIndexAscend_32f(x, 0, ix, ib, 4), VEXA_PR_BAD_LENGTH);
    EXPECT_EQ(vexa_dft_avx2_zubsSortRadixIndexAscend_32f(x, 2, ix, ib, 4), VEXA_PR_BAD_LENGTH);
    EXPECT_EQ(vexa_dft_avx2_zubsSortRadixIndexAscend_16s(reinterpret_cast<int16_t*>(x), 1, ix, ib, 4), VEXA_PR_BAD_LENGTH);
    EXPECT_EQ(vexa_dft_avx2_zubsSortRadixIndexDescend_8u(bytes, 0, ix, ib, 3), VEXA_PR_BAD_LENGTH);
    EXPECT_EQ(vexa_dft_avx2_zubsSortRadixIndexAscend_32f(x, 4, ix, nullptr, 4), VEXA_PR_NULL);
    EXPECT_EQ(vexa_dft_avx2_zubsSortRadixIndexAscend_32u(nullptr, 4, ix, ib, 4), VEXA_PR_NULL);
    // Nothing was written by the failing calls.
    EXPECT_EQ(x[0], 3.0f);
    EXPECT_EQ(bytes[0], 2);
    EXPECT_EQ(ix[0], -1);
    // One element: unchanged, success.
    EXPECT_EQ(vexa_dft_avx2_zubsSortRadixDescend_32f_I(x, b, 1), 0);
    EXPECT_EQ(x[0], 3.0f);
}

TEST(RadixSortOrder, FloatKeysNegativeFirstAndMinusZeroBeforePlusZero) {
    std::vector<float> x = {0.0f, -0.0f, -1.0f, 2.0f, -INFINITY, -3.0f, 1e-45f, -1e-45f, INFINITY}, b(x.size());
    ASSERT_EQ(vexa_dft_avx2_zubsSortRadixAscend_32f_I(x.data(), b.data(), int(x.size())), 0);
    const std::vector<float> want = {-INFINITY, -3.0f, -1.0f, -1e-45f, -0.0f, 0.0f, 1e-45f, 2.0f, INFINITY};
    EXPECT_TRUE(same(x, want));
    EXPECT_TRUE(std::signbit(x[4]) && !std::signbit(x[5]));
}

}  // namespace
