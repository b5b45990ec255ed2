// Median and mean absolute deviation against brute force, on one and several
// threads and around the caller's mean; the weighted median against the
// ordinary median of the sample with each value repeated by its weight; the
// checks; every allocation of the deviation entry failed in turn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "support/ss_api.h"
#include "support/sweep.h"
#include "vexa/service.h"
#include "vexa/statistics.h"

namespace {

using vexa::test::Rng;

template <class T> using Api = vexa::test::SSApi<T>;

template <class T> T median(std::vector<T> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : v[n / 2 - 1] + (v[n / 2] - v[n / 2 - 1]) * T(0.5);
}
template <class T> long double mean(const std::vector<T>& v) {
    long double s = 0;
    for (T x : v) s += x;
    return s / v.size();
}

template <class T> struct Data {
    int32_t p, n, storage = VEXA_SS_COLUMNS;
    std::vector<T> x, w;
    std::vector<std::vector<T>> vars;
    SSTask* task = nullptr;
    Data(int32_t p_, int32_t n_, uint64_t seed, int distinct = 0) : p(p_), n(n_), x(std::size_t(p_ * n_)), w(std::size_t(n_)) {
        Rng g(seed);
        vars.assign(std::size_t(p), std::vector<T>(std::size_t(n)));
        for (int i = 0; i < p; ++i)
            for (int j = 0; j < n; ++j) {
                const T v = distinct ? T(int(g.next() % uint64_t(distinct))) : T(g.uniform() * 10 - 3);
                vars[std::size_t(i)][std::size_t(j)] = v;
                x[std::size_t(j * p + i)] = v;
            }
        for (auto& v : w) v = T(1 + g.next() % 4);
        EXPECT_EQ(Api<T>::new_task(&task, &p, &n, &storage, x.data(), w.data(), nullptr, 0), 0);
    }
    ~Data() { __tqrSSDeleteTask(&task); }
};

template <class T> class Deviation : public testing::Test {};
using Types = testing::Types<double, float>;
TYPED_TEST_SUITE(Deviation, Types);

TYPED_TEST(Deviation, MedianAndMeanAbsoluteDeviationAgainstBruteForce) {
    using T = TypeParam;
    const uint64_t both = (1ull << 33) | (1ull << 34);
    for (int32_t n : {1, 2, 7, 1000}) {
        Data<T> d(5, n, uint64_t(n), n == 1000 ? 0 : 3);
        std::vector<T> md(5, T(-1)), mn(5, T(-1));
        const int32_t sel[5] = {1, 1, 0, 1, 1};
        __tqriSSEditTask(d.task, 5, sel);
        ASSERT_EQ(Api<T>::edit(d.task, 76, md.data()), 0);
        ASSERT_EQ(Api<T>::edit(d.task, 77, mn.data()), 0);
        for (int threads : {1, 3}) {
            vexa_serv_set_max_threads(threads);
            ASSERT_EQ(Api<T>::mad(d.task, int64_t(both), 0x1, vexa_serv_threading_table()), 0);
            for (int i = 0; i < 5; ++i) {
                const auto& v = d.vars[std::size_t(i)];
                if (!sel[i]) {
                    EXPECT_EQ(md[std::size_t(i)], T(-1));
                    continue;
                }
                std::vector<T> dev(v.size()), adev(v.size());
                const T med = median(v);
                const long double m = mean(v);
                for (std::size_t j = 0; j < v.size(); ++j) dev[j] = std::fabs(v[j] - med), adev[j] = T(std::fabs(v[j] - T(m)));
                const T tol = 64 * std::numeric_limits<T>::epsilon() * 10;
                EXPECT_NEAR(md[std::size_t(i)], median(dev), tol) << n << " " << i;
                EXPECT_NEAR(mn[std::size_t(i)], T(mean(adev)), tol) << n << " " << i;
            }
        }
    }
    vexa_serv_set_max_threads(2);
}

TYPED_TEST(Deviation, MeanAbsoluteDeviationAroundTheCallersMeanAndTheChecks) {
    using T = TypeParam;
    Data<T> d(2, 50, 4);
    std::vector<T> mn(2), md(2), centre = {T(1), T(100)};
    const uint64_t mdb = 1ull << 33, mnb = 1ull << 34;
    EXPECT_EQ(Api<T>::mad(nullptr, int64_t(mnb), 1, nullptr), VEXA_SS_NO_TASK);
    EXPECT_EQ(Api<T>::mad(d.task, int64_t(mdb), 1, nullptr), -4082);
    EXPECT_EQ(Api<T>::mad(d.task, int64_t(mnb), 1, nullptr), -4083);
    Api<T>::edit(d.task, 77, mn.data());
    Api<T>::edit(d.task, 76, md.data());
    EXPECT_EQ(Api<T>::mad(d.task, int64_t(mnb), 0x100, nullptr), -4006);
    EXPECT_EQ(Api<T>::mad(d.task, int64_t(mnb), 0x2, nullptr), VEXA_SS_BAD_METHOD);
    EXPECT_EQ(Api<T>::mad(d.task, int64_t(mdb), 0x100, nullptr), VEXA_SS_BAD_METHOD);
    Api<T>::edit(d.task, 7, centre.data());
    ASSERT_EQ(Api<T>::mad(d.task, int64_t(mnb), 0x100, nullptr), 0);
    for (int i = 0; i < 2; ++i) {
        long double s = 0;
        for (T v : d.vars[std::size_t(i)]) s += std::fabs(v - centre[std::size_t(i)]);
        EXPECT_NEAR(mn[std::size_t(i)], T(s / 50), 1e-4 * (1 + s / 50));
    }
    // Every allocation (the work block, each one-variable task and its blocks).
    const long before = vexa_serv_test_allocation_count();
    ASSERT_EQ(Api<T>::mad(d.task, int64_t(mdb | mnb), 0x1, nullptr), 0);
    const long allocations = vexa_serv_test_allocation_count() - before;
    EXPECT_GE(allocations, 9);
    for (long k = 1; k <= allocations; ++k) {
        const long live = vexa_serv_test_live_blocks();
        vexa_serv_test_fail_allocation(k);
        EXPECT_EQ(Api<T>::mad(d.task, int64_t(mdb | mnb), 0x1, nullptr), VEXA_SS_MEMORY) << k;
        vexa_serv_test_fail_allocation(0);
        EXPECT_EQ(vexa_serv_test_live_blocks(), live) << k;
    }
}

TYPED_TEST(Deviation, WeightedMedianIsTheMedianOfTheRepeatedSample) {
    using T = TypeParam;
    for (int32_t n : {1, 2, 5, 6, 301}) {
        Data<T> d(3, n, uint64_t(n) + 40, n > 6 ? 50 : 0);
        std::vector<T> q(3, T(-1));
        EXPECT_EQ(Api<T>::wmedian(d.task), -4023);
        Api<T>::edit(d.task, 26, q.data());
        ASSERT_EQ(Api<T>::wmedian(d.task), 0);
        for (int i = 0; i < 3; ++i) {
            std::vector<T> repeated;
            for (int j = 0; j < n; ++j)
                repeated.insert(repeated.end(), std::size_t(d.w[std::size_t(j)]), d.vars[std::size_t(i)][std::size_t(j)]);
            EXPECT_EQ(q[std::size_t(i)], median(repeated)) << n << " " << i;
        }
        // Unit weights: the ordinary median, the even count averaging its middle pair.
        std::fill(d.w.begin(), d.w.end(), T(1));
        ASSERT_EQ(Api<T>::wmedian(d.task), 0);
        EXPECT_EQ(q[0], median(d.vars[0]));
    }
    Data<T> z(1, 4, 3);
    std::vector<T> q(1);
    Api<T>::edit(z.task, 26, q.data());
    std::fill(z.w.begin(), z.w.end(), T(0));
    ASSERT_EQ(Api<T>::wmedian(z.task), 0);
    EXPECT_TRUE(std::isnan(q[0]));
    const long live = vexa_serv_test_live_blocks();
    vexa_serv_test_fail_allocation(1);
    EXPECT_EQ(Api<T>::wmedian(z.task), VEXA_SS_MEMORY);
    EXPECT_EQ(vexa_serv_test_live_blocks(), live);
    z.task->weights = nullptr;
    EXPECT_EQ(Api<T>::wmedian(z.task), -4005);
}

}  // namespace
