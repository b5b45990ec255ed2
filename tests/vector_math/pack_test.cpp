// Pack and unpack of s, d, c and z against plain loops, under both integer
// widths: strides (unit, large, zero, negative), index and mask vectors
// (64-bit masks set only in their high half), counts read from the low half
// under the 32-bit width, counts of zero and below, untouched positions, bit
// patterns (NaN payloads) kept, arrays against guard pages, every slot and
// entry stub.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "support/guarded.h"
#include "support/sweep.h"
#include "vexa/vector_math.h"

namespace {

using vexa::test::GuardedBuffer;
using vexa::test::Rng;

template <class T> struct Api;
#define VMX_PACK_API(t, T)                                                                                \
    template <> struct Api<T> {                                                                           \
        static constexpr auto packi = vexa_arx_kernel_##t##PackI_ttab;                                    \
        static constexpr auto packv = vexa_arx_kernel_##t##PackV_ttab;                                    \
        static constexpr auto packm = vexa_arx_kernel_##t##PackM_ttab;                                    \
        static constexpr auto unpacki = vexa_arx_kernel_##t##UnpackI_ttab;                                \
        static constexpr auto unpackv = vexa_arx_kernel_##t##UnpackV_ttab;                                \
        static constexpr auto unpackm = vexa_arx_kernel_##t##UnpackM_ttab;                                \
        static constexpr VexaVmFn_PACKI_##t* stubs[4] = {_arx##t##PackI, _arx##t##PackI_HA,               \
                                                          VMX_CAT(_arx##t##PackI_, VMX_LASFX_##t),        \
                                                          VMX_CAT(_arx##t##PackI_, VMX_EPSFX_##t)};       \
    };
VMX_PACK_API(s, float)
VMX_PACK_API(d, double)
VMX_PACK_API(c, VexaComplex8)
VMX_PACK_API(z, VexaComplex16)

// Elements as random bit patterns (NaNs with payloads among them).
template <class T> std::vector<T> random_elements(Rng& g, std::size_t n) {
    std::vector<T> v(n);
    for (T& e : v)
        for (std::size_t b = 0; b < sizeof(T); b += 4) {
            const uint32_t w = uint32_t(g.next());
            std::memcpy(reinterpret_cast<char*>(&e) + b, &w, 4);
        }
    return v;
}
template <class T> bool same(const T& a, const T& b) { return std::memcmp(&a, &b, sizeof(T)) == 0; }

// An integer vector of either width, as the kernels read it.
struct Ints {
    std::vector<int32_t> w32;
    std::vector<int64_t> w64;
    const void* data(int width) const {
        return width == 1 ? static_cast<const void*>(w32.data()) : static_cast<const void*>(w64.data());
    }
};
Ints ints(const std::vector<int64_t>& v) {
    Ints r;
    for (int64_t x : v) r.w32.push_back(int32_t(x)), r.w64.push_back(x);
    return r;
}

template <class T> class Pack : public testing::Test {};
using Types = testing::Types<float, double, VexaComplex8, VexaComplex16>;
TYPED_TEST_SUITE(Pack, Types);

TYPED_TEST(Pack, StridedIndexedAndMaskedAgainstPlainLoops) {
    using T = TypeParam;
    using A = Api<T>;
    Rng g(11 + sizeof(T));
    const int64_t n = 77;
    const std::vector<T> src = random_elements<T>(g, 400);
    const T sentinel = random_elements<T>(g, 1)[0];
    for (int width : {1, 0}) {
        for (int slot = 0; slot < 3; ++slot) {
            // PackI and UnpackI: increments 1, 5, 0 and -3 (the pointer placed at the last position).
            for (int64_t inc : {1, 5, 0, -3}) {
                const int64_t base = inc < 0 ? -inc * (n - 1) : 0;
                std::vector<T> y(std::size_t(n), sentinel);
                A::packi[slot](n, src.data() + base, inc, y.data(), width);
                for (int64_t i = 0; i < n; ++i)
                    ASSERT_TRUE(same(y[std::size_t(i)], src[std::size_t(base + i * inc)])) << inc << " " << i;
                if (inc == 0) continue;
                std::vector<T> z(src.size(), sentinel), want(src.size(), sentinel);
                A::unpacki[slot](n, src.data(), z.data() + base, inc, width);
                for (int64_t i = 0; i < n; ++i) want[std::size_t(base + i * inc)] = src[std::size_t(i)];
                for (std::size_t i = 0; i < z.size(); ++i) ASSERT_TRUE(same(z[i], want[i])) << inc << " " << i;
            }
            // PackV and UnpackV: a permutation of distinct positions.
            std::vector<int64_t> idx;
            for (int64_t i = 0; i < n; ++i) idx.push_back((i * 37 + 11) % 397);
            const Ints iv = ints(idx);
            std::vector<T> y(std::size_t(n), sentinel), z(src.size(), sentinel), want(src.size(), sentinel);
            A::packv[slot](n, src.data(), iv.data(width), y.data(), width);
            A::unpackv[slot](n, src.data(), z.data(), iv.data(width), width);
            for (int64_t i = 0; i < n; ++i) {
                ASSERT_TRUE(same(y[std::size_t(i)], src[std::size_t(idx[std::size_t(i)])]));
                want[std::size_t(idx[std::size_t(i)])] = src[std::size_t(i)];
            }
            for (std::size_t i = 0; i < z.size(); ++i) ASSERT_TRUE(same(z[i], want[i])) << i;
            // PackM and UnpackM: a 64-bit mask entry set only in its high half counts as set.
            std::vector<int64_t> mask;
            for (int64_t i = 0; i < n; ++i) mask.push_back(g.next() % 3 == 0 ? 0 : (i % 4 == 1 ? int64_t(1) << 40 : 1));
            const Ints mv = ints(mask);
            std::vector<T> p(std::size_t(n), sentinel), u(std::size_t(n), sentinel);
            A::packm[slot](n, src.data(), mv.data(width), p.data(), width);
            A::unpackm[slot](n, src.data(), u.data(), mv.data(width), width);
            int64_t j = 0;
            for (int64_t i = 0; i < n; ++i) {
                const bool set = width == 1 ? mv.w32[std::size_t(i)] != 0 : mask[std::size_t(i)] != 0;
                if (set) {
                    ASSERT_TRUE(same(p[std::size_t(j)], src[std::size_t(i)])) << i;
                    ASSERT_TRUE(same(u[std::size_t(i)], src[std::size_t(j)])) << i;
                    ++j;
                } else {
                    ASSERT_TRUE(same(u[std::size_t(i)], sentinel)) << "UnpackM wrote an unmasked position " << i;
                }
            }
            for (int64_t i = j; i < n; ++i) ASSERT_TRUE(same(p[std::size_t(i)], sentinel)) << "PackM wrote past " << j;
        }
    }
}

TYPED_TEST(Pack, CountsUnderEachWidth) {
    using T = TypeParam;
    using A = Api<T>;
    Rng g(5);
    const std::vector<T> src = random_elements<T>(g, 16);
    const T sentinel = random_elements<T>(g, 1)[0];
    auto moved = [&](long long n, int width) {
        std::vector<T> y(16, sentinel);
        A::packi[1](n, src.data(), 1, y.data(), width);
        int k = 0;
        while (k < 16 && !same(y[std::size_t(k)], sentinel)) ++k;
        return k;
    };
    EXPECT_EQ(moved(0, 1), 0);
    EXPECT_EQ(moved(-4, 1), 0);
    EXPECT_EQ(moved(-4, 0), 0);
    EXPECT_EQ(moved((1ll << 32) + 5, 1), 5);          // high half ignored under the 32-bit width
    EXPECT_EQ(moved(0xFFFFFFFFll, 1), 0);             // -1 as a 32-bit value
    EXPECT_EQ(moved((1ll << 32) - 4 - (1ll << 33), 0), 0);  // negative as a 64-bit value
    EXPECT_EQ(moved(7, 0), 7);
    // The increment is read from its low half too: 2^32 + 2 steps by 2.
    std::vector<T> y(4, sentinel);
    A::packi[1](4, src.data(), (1ll << 32) + 2, y.data(), 1);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(same(y[std::size_t(i)], src[std::size_t(2 * i)]));
}

// Arrays ending at (or starting right after) an inaccessible page: nothing
// outside the addressed positions is read or written; every stub reaches the kernel.
TYPED_TEST(Pack, TouchesOnlyTheAddressedPositions) {
    using T = TypeParam;
    using A = Api<T>;
    Rng g(9);
    for (int64_t n : {1, 2, 3, 8, 33}) {
        for (bool tail : {true, false}) {
            GuardedBuffer ga(std::size_t(n) * 2 * sizeof(T), tail), gy(std::size_t(n) * sizeof(T), !tail);
            T* a = ga.as<T>();
            const std::vector<T> v = random_elements<T>(g, std::size_t(2 * n));
            std::memcpy(a, v.data(), v.size() * sizeof(T));
            for (auto* stub : A::stubs) {
                stub(n, a, 2, gy.as<T>(), 1);
                for (int64_t i = 0; i < n; ++i) ASSERT_TRUE(same(gy.as<T>()[i], v[std::size_t(2 * i)]));
            }
            A::unpacki[0](n, gy.as<T>(), a + (2 * n - 1), -2, 0);  // backwards into the guarded array
            for (int64_t i = 0; i < n; ++i) ASSERT_TRUE(same(a[2 * n - 1 - 2 * i], gy.as<T>()[i]));
        }
    }
}

}  // namespace
