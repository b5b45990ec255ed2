// Every search method against the brute-force rule (the number of points at
// or below the site, the last point itself in cell nx - 1) on random, sorted,
// duplicate and boundary sites, nx from 2 to 10^5, inline and threaded, 32-
// and 64-bit cells; the data hint's statuses; the user callback protocol.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "support/sweep.h"
#include "vexa/data_fitting.h"
#include "vexa/service.h"

namespace {

using vexa::test::Rng;

template <class T> int64_t brute(const std::vector<T>& x, T s) {
    if (s == x.back()) return int64_t(x.size()) - 1;
    return std::upper_bound(x.begin(), x.end(), s) - x.begin();
}

template <class T> struct Api;
template <> struct Api<double> {
    static constexpr auto new_task = vexa_df_kernel_dNewTask1D;
    static constexpr auto search = vexa_df_kernel_dDFSearch1D;
};
template <> struct Api<float> {
    static constexpr auto new_task = vexa_df_kernel_sNewTask1D;
    static constexpr auto search = vexa_df_kernel_sDFSearch1D;
};

template <class T> std::vector<T> sites_for(const std::vector<T>& x, std::size_t n, uint64_t seed) {
    Rng g(seed);
    const T lo = x.front(), hi = x.back(), w = hi - lo;
    std::vector<T> s;
    for (T v : {lo - w, lo, hi, hi + w}) s.push_back(v);  // the boundary sites
    for (std::size_t k = 0; k < 8 && k < x.size(); ++k) s.push_back(x[std::size_t(g.next() % x.size())]);
    while (s.size() < n) s.push_back(T(lo - w * 0.1 + g.uniform() * w * 1.2));
    s.push_back(s[5]);  // a duplicate
    return s;
}

template <class T> class Search : public testing::Test {};
using Types = testing::Types<double, float>;
TYPED_TEST_SUITE(Search, Types);

TYPED_TEST(Search, EveryMethodGivesTheBruteForceCell) {
    using T = TypeParam;
    vexa_serv_set_max_threads(3);
    const ThreadingTable* tt = vexa_serv_threading_table();
    for (int64_t nx : {2, 3, 41, 700, 100000}) {
        std::vector<T> x(static_cast<std::size_t>(nx));
        Rng g{uint64_t(nx)};
        T v = 0;
        for (auto& p : x) p = v += T(0.5 + g.uniform());
        for (std::size_t nsite : {std::size_t(13), std::size_t(9000)}) {
            const std::vector<T> sites = sites_for(x, nsite, nsite + uint64_t(nx));
            std::vector<T> sorted = sites;
            std::sort(sorted.begin(), sorted.end());
            struct Case {
                const char* name;
                int64_t xhint, sitehint;
                std::vector<T> datahint;
            };
            const Case cases[] = {{"hybrid", 0, 0, {}}, {"hybrid hint", 1, 0, {0, 0, 0, 0, 0}},
                                  {"quasi-uniform", 2, 0, {}}, {"sorted", 0, 64, {}},
                                  {"peak", 0, 0, {0, 1, 0, 0, T(nx / 3)}}, {"peak at nx", 0, 0, {0, 1, 0, 0, T(nx)}}};
            for (const Case& c : cases) {
                DfTask* t = nullptr;
                ASSERT_EQ(Api<T>::new_task(&t, nx, x.data(), c.xhint, 0, nullptr, 0, 0), 0);
                const std::vector<T>& s = c.sitehint == 64 ? sorted : sites;
                std::vector<int32_t> cell(s.size(), -7);
                ASSERT_EQ(Api<T>::search(t, int64_t(s.size()), s.data(), c.sitehint, c.datahint.empty() ? nullptr : c.datahint.data(),
                                         cell.data(), nullptr, nullptr, tt), 0);
                for (std::size_t k = 0; k < s.size(); ++k)
                    ASSERT_EQ(cell[k], brute(x, s[k])) << c.name << " nx " << nx << " site " << k << " " << s[k];
                vexa_df_kernel_DeleteTask(&t);
            }
        }
    }
    vexa_serv_set_max_threads(2);
}

TYPED_TEST(Search, UniformPartitionUniformSitesAndWideCells) {
    using T = TypeParam;
    const T ends[2] = {T(-1), T(3)};
    DfTask* t = nullptr;
    ASSERT_EQ(Api<T>::new_task(&t, 9, ends, 4, 0, nullptr, 0, 1), 0);  // 64-bit cells
    const T sites[6] = {T(-2), T(-1), T(-0.75), T(2.9), T(3), T(4)};
    int64_t cell[6];
    ASSERT_EQ(Api<T>::search(t, 6, sites, 0, nullptr, cell, nullptr, nullptr, nullptr), 0);
    const int64_t want[6] = {0, 1, 1, 8, 8, 9};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(cell[k], want[k]) << k;
    vexa_df_kernel_DeleteTask(&t);
    // Uniform sites (hint 4): the two ends stand for nsite sites a + k h.
    std::vector<T> x(50);
    for (int i = 0; i < 50; ++i) x[std::size_t(i)] = T(i * i);
    ASSERT_EQ(Api<T>::new_task(&t, 50, x.data(), 0, 0, nullptr, 0, 0), 0);
    for (int64_t nsite : {2, 31, 32, 10001}) {
        const T ab[2] = {T(-10), T(2500)};
        std::vector<int32_t> c(static_cast<std::size_t>(nsite));
        ASSERT_EQ(Api<T>::search(t, nsite, ab, 4, nullptr, c.data(), nullptr, nullptr, vexa_serv_threading_table()), 0);
        const T h = (ab[1] - ab[0]) / T(nsite - 1);
        for (int64_t k = 0; k < nsite; ++k) {
            const T s = k == nsite - 1 ? ab[1] : std::fma(T(k), h, ab[0]);
            ASSERT_EQ(c[std::size_t(k)], brute(x, s)) << nsite << " " << k;
        }
    }
    // A data hint that names no method.
    const T bad1[5] = {0, 2, 0, 0, 0}, bad2[5] = {0, 1, 0, 0, 51};
    int32_t c1;
    EXPECT_EQ(Api<T>::search(t, 1, x.data(), 0, bad1, &c1, nullptr, nullptr, nullptr), VEXA_DF_BAD_DATAHINT);
    EXPECT_EQ(Api<T>::search(t, 1, x.data(), 0, bad2, &c1, nullptr, nullptr, nullptr), VEXA_DF_BAD_DATAHINT);
    vexa_df_kernel_DeleteTask(&t);
}

// The callback sets some cells for good and guesses the others.
template <class T> int guess(const int64_t* n, const T* sites, int64_t* cells, int32_t* flags, void* params) {
    const int mode = *static_cast<int*>(params);
    if (mode < 0) return -77;
    for (int64_t k = 0; k < *n; ++k) {
        cells[k] = k % 7;  // a poor guess, refined by the walk
        if (mode == 1000) cells[k] = 3, flags[k] = 1;
    }
    (void)sites;
    return mode;
}

TYPED_TEST(Search, UserCallbackProtocol) {
    using T = TypeParam;
    std::vector<T> x(40);
    for (int i = 0; i < 40; ++i) x[std::size_t(i)] = T(i);
    DfTask* t = nullptr;
    ASSERT_EQ(Api<T>::new_task(&t, 40, x.data(), 0, 0, nullptr, 0, 0), 0);
    const std::vector<T> s = sites_for(x, 600, 3);
    std::vector<int32_t> c(s.size());
    for (int mode : {0, 5, 1000, -1}) {
        const int st = Api<T>::search(t, int64_t(s.size()), s.data(), 0, nullptr, c.data(), guess<T>, &mode, nullptr);
        if (mode < 0) {
            EXPECT_EQ(st, -77);
            continue;
        }
        EXPECT_EQ(st, mode == 1000 ? 0 : mode);
        for (std::size_t k = 0; k < s.size(); ++k) ASSERT_EQ(c[k], mode == 1000 ? 3 : brute(x, s[k])) << mode << " " << k;
    }
    vexa_df_kernel_DeleteTask(&t);
}

}  // namespace
