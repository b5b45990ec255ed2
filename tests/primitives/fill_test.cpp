// Copy, set and zero of every type, below and above the 2 MiB split, at
// unaligned starts, without writing outside the array; statuses.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "vexa/primitives.h"

namespace {

template <class T> struct Fill;
#define PR_FILL(t, T)                                                                             \
    template <> struct Fill<T> {                                                                  \
        static int copy(const T* s, T* d, int n) { return vexa_dft_avx2_zubsCopy_##t(s, d, n); }  \
        static int set(T v, T* d, int n) { return vexa_dft_avx2_zubsSet_##t(v, d, n); }           \
        static int zero(T* d, int n) { return vexa_dft_avx2_zubsZero_##t(d, n); }                 \
    };
#include "vexa/primitives_catalogue.def"

template <class T> T pattern(int k) {
    T v;
    unsigned char bytes[sizeof(T)];
    for (std::size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<unsigned char>(0x11 * (k + 1) + 3 * i);
    std::memcpy(&v, bytes, sizeof(T));
    return v;
}
template <class T> bool eq(const T& a, const T& b) { return std::memcmp(&a, &b, sizeof(T)) == 0; }

template <class T> class Fills : public testing::Test {};
using Types = testing::Types<uint8_t, int16_t, VexaComplex16s, float, VexaComplex8, int32_t, VexaComplex32s, double,
                             VexaComplex16, int64_t, VexaComplex64s>;
TYPED_TEST_SUITE(Fills, Types);

TYPED_TEST(Fills, EveryElementAndNothingElse) {
    using T = TypeParam;
    const int big = int((3u << 20) / sizeof(T)) + 5;  // above 2 MiB
    for (int n : {1, 7, 33, 1000, big}) {
        for (int offset : {0, 1, 3}) {
            std::vector<T> dst(std::size_t(n + offset + 2), pattern<T>(9));
            std::vector<T> src(static_cast<std::size_t>(n));
            for (int i = 0; i < n; ++i) src[std::size_t(i)] = pattern<T>(i % 5);
            T* d = dst.data() + offset;
            ASSERT_EQ(Fill<T>::copy(src.data(), d, n), 0);
            for (int i = 0; i < n; ++i) ASSERT_TRUE(eq(d[i], src[std::size_t(i)])) << "copy n=" << n << " i=" << i;
            ASSERT_EQ(Fill<T>::set(pattern<T>(6), d, n), 0);
            for (int i = 0; i < n; ++i) ASSERT_TRUE(eq(d[i], pattern<T>(6))) << "set n=" << n << " i=" << i;
            ASSERT_EQ(Fill<T>::zero(d, n), 0);
            for (int i = 0; i < n; ++i) ASSERT_TRUE(eq(d[i], T{})) << "zero n=" << n << " i=" << i;
            for (int i = 0; i < offset; ++i) EXPECT_TRUE(eq(dst[std::size_t(i)], pattern<T>(9)));
            EXPECT_TRUE(eq(dst[std::size_t(n + offset)], pattern<T>(9)));
            EXPECT_TRUE(eq(dst[std::size_t(n + offset + 1)], pattern<T>(9)));
        }
    }
}

TYPED_TEST(Fills, StatusesWriteNothing) {
    using T = TypeParam;
    T d[2] = {pattern<T>(1), pattern<T>(1)};
    EXPECT_EQ(Fill<T>::copy(nullptr, d, 2), VEXA_PR_NULL);
    EXPECT_EQ(Fill<T>::copy(d, nullptr, 0), VEXA_PR_NULL);
    EXPECT_EQ(Fill<T>::set(pattern<T>(2), nullptr, 2), VEXA_PR_NULL);
    EXPECT_EQ(Fill<T>::zero(nullptr, -1), VEXA_PR_NULL);
    EXPECT_EQ(Fill<T>::copy(d, d + 1, 0), VEXA_PR_BAD_LENGTH);
    EXPECT_EQ(Fill<T>::set(pattern<T>(2), d, -4), VEXA_PR_BAD_LENGTH);
    EXPECT_EQ(Fill<T>::zero(d, 0), VEXA_PR_BAD_LENGTH);
    EXPECT_TRUE(eq(d[0], pattern<T>(1)) && eq(d[1], pattern<T>(1)));
}

}  // namespace
