// Order statistics against direct computations: selection and sorting,
// quantiles (every storage, a subset of variables, one and several threads),
// order statistics, sorting, minimum and maximum with accumulation; the checks
// in order; every allocation failed in turn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <cstdint>
#include <vector>

#include "support/ss_api.h"
#include "support/sweep.h"
#include "vexa/service.h"
#include "vexa/statistics.h"

namespace {

using vexa::test::Rng;

template <class T> std::vector<T> random_values(std::size_t n, uint64_t seed, int distinct = 0) {
    Rng g(seed);
    std::vector<T> v(n);
    for (auto& x : v) x = distinct ? T(int(g.next() % uint64_t(distinct))) : T(g.uniform() * 200 - 100);
    return v;
}

template <class T> using Q = vexa::test::SSApi<T>;

template <class T> class Order : public testing::Test {};
using Types = testing::Types<double, float>;
TYPED_TEST_SUITE(Order, Types);

TYPED_TEST(Order, SelectAndSortAgreeWithTheStandardLibrary) {
    using T = TypeParam;
    for (std::size_t n : {std::size_t(1), std::size_t(2), std::size_t(3), std::size_t(8), std::size_t(57), std::size_t(4000)}) {
        for (int distinct : {0, 3}) {
            std::vector<T> v = random_values<T>(n, n * 3 + distinct, distinct), want = v;
            std::sort(want.begin(), want.end());
            std::vector<T> s = v;
            Q<T>::sort(int(n), s.data());
            EXPECT_EQ(s, want) << n;
            std::vector<T> rev(want.rbegin(), want.rend());
            Q<T>::sort(int(n), rev.data());
            EXPECT_EQ(rev, want);
            for (std::size_t k : {std::size_t(0), n / 2, n - 1}) {
                std::vector<T> a = v;
                EXPECT_EQ(Q<T>::select(int(n), a.data(), int(k)), want[k]);
                for (std::size_t i = 0; i < k; ++i) ASSERT_LE(a[i], a[k]);
                for (std::size_t i = k + 1; i < n; ++i) ASSERT_GE(a[i], a[k]);
            }
        }
    }
}

// Sorting by nothing but partitioning steps on a stack of ranges: each step
// leaves its middle in place and the two sides it reports still to sort.
TYPED_TEST(Order, PartitioningStepsSortAndReportTheirSides) {
    using T = TypeParam;
    for (int distinct : {0, 2}) {
        std::vector<T> v = random_values<T>(777, 5 + distinct, distinct), want = v;
        std::sort(want.begin(), want.end());
        std::vector<std::pair<int, int>> todo = {{0, 776}};
        while (!todo.empty()) {
            const auto [l, r] = todo.back();
            todo.pop_back();
            const uint64_t res = Q<T>::step(777, v.data(), l, r);
            const int low = int32_t(uint32_t(res)), high = int32_t(uint32_t(res >> 32));
            ASSERT_GE(low, l - 1);
            ASSERT_LE(high, r + 1);
            for (int k = low + 1; k < high; ++k) {
                for (int i = l; i <= low; ++i) ASSERT_LE(v[std::size_t(i)], v[std::size_t(k)]);
                for (int i = high; i <= r; ++i) ASSERT_GE(v[std::size_t(i)], v[std::size_t(k)]);
            }
            if (low > l) todo.push_back({l, low});
            if (high < r) todo.push_back({high, r});
        }
        EXPECT_EQ(v, want);
    }
}

// A task over p variables and n observations in the given storage.
template <class T> struct Fixture {
    int32_t p, n, storage;
    std::vector<T> x;  // variable i, observation j at (storage)
    std::vector<std::vector<T>> vars;
    SSTask* task = nullptr;
    Fixture(int32_t p_, int32_t n_, int32_t storage_, uint64_t seed) : p(p_), n(n_), storage(storage_), x(std::size_t(p_) * n_) {
        for (int i = 0; i < p; ++i) {
            vars.push_back(random_values<T>(std::size_t(n), seed + i, i % 2 ? 0 : 5));
            for (int j = 0; j < n; ++j) x[at(i, j)] = vars[i][j];
        }
        EXPECT_EQ(Q<T>::new_task(&task, &p, &n, &storage, x.data(), nullptr, nullptr, 0), 0);
    }
    ~Fixture() { __tqrSSDeleteTask(&task); }
    std::size_t at(int i, int j) const { return storage == VEXA_SS_ROWS ? std::size_t(i) * n + j : std::size_t(j) * p + i; }
};

template <class T> T reference_quantile(std::vector<T> v, T q) {
    std::sort(v.begin(), v.end());
    const T pos = T(v.size() - 1) * q;
    const std::size_t k = std::size_t(pos);
    const T a = v[k], b = v[std::min(k + 1, v.size() - 1)];
    return a + (b - a) * (pos - T(k));
}

TYPED_TEST(Order, QuantilesAndOrderStatisticsMatchAFullSort) {
    using T = TypeParam;
    const std::vector<T> orders = {0, T(0.1), T(0.25), T(0.5), T(0.9), 1};
    const int32_t m = int32_t(orders.size());
    for (int32_t storage : {VEXA_SS_ROWS, VEXA_SS_COLUMNS}) {
        for (int32_t n : {1, 2, 101, 3000}) {
            Fixture<T> f(5, n, storage, uint64_t(n));
            std::vector<T> q(std::size_t(5 * m), T(-7)), os(f.x.size(), T(-7));
            int32_t os_storage = storage == VEXA_SS_ROWS ? VEXA_SS_COLUMNS : VEXA_SS_ROWS;
            const int32_t sel[5] = {1, 0, 1, 1, 0};
            ASSERT_EQ(__tqriSSEditTask(f.task, 5, sel), 0);
            ASSERT_EQ(__tqriSSEditTask(f.task, 24, &m), 0);
            ASSERT_EQ(Q<T>::edit(f.task, 25, orders.data()), 0);
            ASSERT_EQ(Q<T>::edit(f.task, 26, q.data()), 0);
            ASSERT_EQ(Q<T>::edit(f.task, 27, os.data()), 0);
            ASSERT_EQ(__tqriSSEditTask(f.task, 44, &os_storage), 0);
            for (int threads : {1, 2, 4}) {
                vexa_serv_set_max_threads(threads);
                ASSERT_EQ(Q<T>::quantiles(f.task, 0x30000, 0x1, vexa_serv_threading_table()), 0);
                for (int i = 0; i < 5; ++i) {
                    for (int k = 0; k < m; ++k) {
                        const T got = q[std::size_t(i * m + k)];
                        if (sel[i]) {
                            // The same formula; the test may fuse its multiply-add.
                            const T want = reference_quantile(f.vars[i], orders[k]);
                            EXPECT_NEAR(got, want, 4 * std::numeric_limits<T>::epsilon() * (1 + std::fabs(want)));
                        } else {
                            EXPECT_EQ(got, T(-7));
                        }
                    }
                    std::vector<T> sorted = f.vars[i];
                    std::sort(sorted.begin(), sorted.end());
                    for (int j = 0; j < n; ++j) {
                        const std::size_t o = os_storage == VEXA_SS_ROWS ? std::size_t(i) * n + j : std::size_t(j) * 5 + i;
                        ASSERT_EQ(os[o], sel[i] ? sorted[std::size_t(j)] : T(-7));
                    }
                }
            }
        }
    }
    vexa_serv_set_max_threads(2);
}

// One or two orders go by selection instead of a sort: the same values.
TYPED_TEST(Order, QuantilesBySelection) {
    using T = TypeParam;
    for (int32_t n : {1, 2, 3, 1001}) {
        Fixture<T> f(3, n, VEXA_SS_COLUMNS, uint64_t(n) + 77);
        for (const std::vector<T>& orders : {std::vector<T>{T(0.5)}, std::vector<T>{0, 1}, std::vector<T>{T(0.37), T(0.999)}}) {
            const int32_t m = int32_t(orders.size());
            std::vector<T> q(std::size_t(3 * m));
            __tqriSSEditTask(f.task, 24, &m);
            Q<T>::edit(f.task, 25, orders.data());
            Q<T>::edit(f.task, 26, q.data());
            ASSERT_EQ(Q<T>::quantiles(f.task, 0x10000, 0x1, nullptr), 0);
            for (int i = 0; i < 3; ++i)
                for (int k = 0; k < m; ++k) {
                    const T want = reference_quantile(f.vars[i], orders[std::size_t(k)]);
                    EXPECT_NEAR(q[std::size_t(i * m + k)], want, 4 * std::numeric_limits<T>::epsilon() * (1 + std::fabs(want)));
                }
        }
    }
}

TYPED_TEST(Order, QuantileChecksInOrderAndAllocationFailures) {
    using T = TypeParam;
    Fixture<T> f(3, 50, VEXA_SS_ROWS, 5);
    const ThreadingTable* tt = vexa_serv_threading_table();
    EXPECT_EQ(Q<T>::quantiles(nullptr, 0x10000, 1, tt), VEXA_SS_NO_TASK);
    EXPECT_EQ(Q<T>::quantiles(f.task, 0x10000, 1, tt), -4023);
    std::vector<T> q(9), bad = {T(0.5), T(1.5), 0};
    int32_t m = 3, neg = -1;
    Q<T>::edit(f.task, 26, q.data());
    EXPECT_EQ(Q<T>::quantiles(f.task, 0x10000, 1, tt), -4021);
    Q<T>::edit(f.task, 25, bad.data());
    EXPECT_EQ(Q<T>::quantiles(f.task, 0x10000, 1, tt), -4022);
    __tqriSSEditTask(f.task, 24, &neg);
    EXPECT_EQ(Q<T>::quantiles(f.task, 0x10000, 1, tt), -4022);
    __tqriSSEditTask(f.task, 24, &m);
    EXPECT_EQ(Q<T>::quantiles(f.task, 0x10000, 1, tt), -4022);  // 1.5 is outside [0, 1]
    bad[1] = T(0.75);
    EXPECT_EQ(Q<T>::quantiles(f.task, 0x20000, 1, tt), -4024);
    EXPECT_EQ(Q<T>::quantiles(f.task, 0x10000, 0x2, tt), VEXA_SS_BAD_METHOD);
    // Every allocation failed in turn: the memory status and no block left.
    const long before = vexa_serv_test_allocation_count();
    ASSERT_EQ(Q<T>::quantiles(f.task, 0x10000, 1, tt), 0);
    const long allocations = vexa_serv_test_allocation_count() - before;
    EXPECT_GE(allocations, 1);
    for (long k = 1; k <= allocations; ++k) {
        const long live = vexa_serv_test_live_blocks();
        vexa_serv_test_fail_allocation(k);
        EXPECT_EQ(Q<T>::quantiles(f.task, 0x10000, 1, tt), VEXA_SS_MEMORY);
        EXPECT_EQ(vexa_serv_test_live_blocks(), live);
    }
    vexa_serv_test_fail_allocation(0);
}

TYPED_TEST(Order, MinmaxAccumulatesFromTheCallersValues) {
    using T = TypeParam;
    Fixture<T> f(4, 33, VEXA_SS_COLUMNS, 9);
    std::vector<T> mn(4, T(1e30)), mx(4, T(-1e30));
    EXPECT_EQ(Q<T>::minmax(f.task, 0x400, 1, nullptr), -4015);
    Q<T>::edit(f.task, 16, mn.data());
    EXPECT_EQ(Q<T>::minmax(f.task, 0xC00, 1, nullptr), -4016);
    Q<T>::edit(f.task, 17, mx.data());
    EXPECT_EQ(Q<T>::minmax(f.task, 0xC00, 0x4, nullptr), VEXA_SS_BAD_METHOD);
    ASSERT_EQ(Q<T>::minmax(f.task, 0xC00, 2, nullptr), 0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(mn[std::size_t(i)], *std::min_element(f.vars[i].begin(), f.vars[i].end()));
        EXPECT_EQ(mx[std::size_t(i)], *std::max_element(f.vars[i].begin(), f.vars[i].end()));
    }
    mn[0] = T(-1000);  // a starting value below every observation stays
    ASSERT_EQ(Q<T>::minmax(f.task, 0x400, 1, nullptr), 0);
    EXPECT_EQ(mn[0], T(-1000));
}

TYPED_TEST(Order, SortingInEveryStorageAndInPlace) {
    using T = TypeParam;
    Fixture<T> f(3, 40, VEXA_SS_ROWS, 11);
    std::vector<T> y(f.x.size());
    int32_t cols = VEXA_SS_COLUMNS, rows = VEXA_SS_ROWS;
    EXPECT_EQ(Q<T>::sorting(f.task, 0, 0x100000, nullptr), -4084);
    Q<T>::edit(f.task, 78, y.data());
    EXPECT_EQ(Q<T>::sorting(f.task, 0, 0x100000, nullptr), VEXA_SS_NO_STORAGE);
    __tqriSSEditTask(f.task, 79, &cols);
    EXPECT_EQ(Q<T>::sorting(f.task, 0, 0x1, nullptr), VEXA_SS_BAD_METHOD);
    ASSERT_EQ(Q<T>::sorting(f.task, 0, 0x100000, nullptr), 0);
    for (int i = 0; i < 3; ++i) {
        std::vector<T> s = f.vars[i];
        std::sort(s.begin(), s.end());
        for (int j = 0; j < 40; ++j) ASSERT_EQ(y[std::size_t(j) * 3 + i], s[std::size_t(j)]);
    }
    // In place: storages must agree and no subset may be selected.
    Q<T>::edit(f.task, 78, f.x.data());
    EXPECT_EQ(Q<T>::sorting(f.task, 0, 0x100000, nullptr), VEXA_SS_NO_STORAGE);
    __tqriSSEditTask(f.task, 79, &rows);
    const int32_t sel[3] = {1, 1, 1};
    __tqriSSEditTask(f.task, 5, sel);
    EXPECT_EQ(Q<T>::sorting(f.task, 0, 0x100000, nullptr), -4085);
    f.task->indices = nullptr;
    ASSERT_EQ(Q<T>::sorting(f.task, 0, 0x100000, nullptr), 0);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(std::is_sorted(f.x.begin() + i * 40, f.x.begin() + (i + 1) * 40));
    const long live = vexa_serv_test_live_blocks();
    vexa_serv_test_fail_allocation(1);
    EXPECT_EQ(Q<T>::sorting(f.task, 0, 0x100000, nullptr), VEXA_SS_MEMORY);
    EXPECT_EQ(vexa_serv_test_live_blocks(), live);
}

}  // namespace
