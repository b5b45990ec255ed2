// Streaming quantiles: the rank guarantee (every answer's rank within eps * n
// of q * n) on random, sorted, reversed and adversarial streams fed in many
// small calls, both storages, a subset of variables and several threads;
// the checks in order; the buffers' life cycle and every allocation failed
// in turn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "support/ss_api.h"
#include "support/sweep.h"
#include "vexa/service.h"
#include "vexa/statistics.h"

namespace {

using vexa::test::Rng;

template <class T> using Api = vexa::test::SSApi<T>;

// Emulated and sanitized builds run shorter streams of the same shapes.
constexpr int kScale = VEXA_TEST_SCALE;

enum class Shape { Random, Sorted, Reversed, ZigZag, FewValues };

template <class T> std::vector<T> stream(Shape shape, std::size_t n, uint64_t seed) {
    Rng g(seed);
    std::vector<T> v(n);
    for (std::size_t j = 0; j < n; ++j) {
        switch (shape) {
            case Shape::Random: v[j] = T(g.uniform() * 1000 - 500); break;
            case Shape::Sorted: v[j] = T(j); break;
            case Shape::Reversed: v[j] = T(n - j); break;
            case Shape::ZigZag: v[j] = T(j % 2 ? double(j) : -double(j)); break;  // the extremes alternate and grow
            case Shape::FewValues: v[j] = T(int(g.next() % 3)); break;
        }
    }
    return v;
}

// p variables streamed into one task; the answers checked against all data seen.
template <class T> struct Stream {
    int32_t p, n = 0, storage, m;
    std::vector<T> orders, answers, eps;
    int32_t one = 1;
    std::vector<T> chunk;
    SSTask* task = nullptr;
    Stream(int32_t p_, int32_t storage_, T epsilon, std::vector<T> q)
        : p(p_), storage(storage_), m(int32_t(q.size())), orders(std::move(q)), answers(std::size_t(p_) * orders.size(), T(-1)), eps{epsilon} {
        EXPECT_EQ(Api<T>::new_task(&task, &p, &n, &storage, nullptr, nullptr, nullptr, 0), 0);
        task->n_obs = &n;
        task->x_storage = &storage;
        __tqriSSEditTask(task, 64, &m);
        Api<T>::edit(task, 65, orders.data());
        Api<T>::edit(task, 66, answers.data());
        __tqriSSEditTask(task, 62, &one);
        Api<T>::edit(task, 63, eps.data());
    }
    ~Stream() { __tqrSSDeleteTask(&task); }
    // Feeds observations [from, to) of every variable.
    int feed(const std::vector<std::vector<T>>& data, std::size_t from, std::size_t to, uint64_t method = 0x80,
             const ThreadingTable* tt = nullptr) {
        n = int32_t(to - from);
        chunk.assign(std::size_t(p) * (to - from) + 1, T(0));
        for (int i = 0; i < p; ++i)
            for (std::size_t j = from; j < to; ++j)
                chunk[storage == VEXA_SS_ROWS ? std::size_t(i) * (to - from) + (j - from) : (j - from) * std::size_t(p) + std::size_t(i)] =
                    data[std::size_t(i)][j];
        Api<T>::edit(task, 3, chunk.data());
        return Api<T>::stream(task, 0, int64_t(method), tt);
    }
};

// The answer's rank range among the first n values overlaps q n +- (eps n + 1.5).
template <class T> void expect_rank(const std::vector<T>& seen_sorted, T answer, T q, T eps, const std::string& what) {
    const double n = double(seen_sorted.size());
    const double lo = double(std::lower_bound(seen_sorted.begin(), seen_sorted.end(), answer) - seen_sorted.begin()) + 1;
    const double hi = double(std::upper_bound(seen_sorted.begin(), seen_sorted.end(), answer) - seen_sorted.begin());
    const double slack = double(eps) * n + 1.5;
    ASSERT_LE(lo, double(q) * n + slack) << what;
    ASSERT_GE(hi, double(q) * n - slack) << what;
}

template <class T> class StreamQuantiles : public testing::Test {};
using Types = testing::Types<double, float>;
TYPED_TEST_SUITE(StreamQuantiles, Types);

TYPED_TEST(StreamQuantiles, RankGuaranteeOverManySmallCalls) {
    using T = TypeParam;
    const std::vector<T> orders = {0, T(0.01), T(0.25), T(0.5), T(0.75), T(0.99), 1};
    for (T eps : {T(0.1), T(0.01), T(0.002)}) {
        for (Shape shape : {Shape::Random, Shape::Sorted, Shape::Reversed, Shape::ZigZag, Shape::FewValues}) {
            const std::size_t total = std::size_t(eps < T(0.005) ? 120000 : 40000) / kScale;
            const int32_t storage = shape == Shape::Sorted ? VEXA_SS_ROWS : VEXA_SS_COLUMNS;
            std::vector<std::vector<T>> data = {stream<T>(shape, total, 1), stream<T>(Shape::Random, total, 2)};
            Stream<T> s(2, storage, eps, orders);
            Rng g(uint64_t(eps * 1000) + uint64_t(shape));
            std::size_t at = 0, checks = 0;
            while (at < total) {
                const std::size_t step = std::min(total - at, std::size_t(1 + g.next() % 700));
                ASSERT_EQ(s.feed(data, at, at + step), 0);
                at += step;
                if (++checks % 37 != 0 && at != total) continue;
                for (int i = 0; i < 2; ++i) {
                    std::vector<T> seen(data[std::size_t(i)].begin(), data[std::size_t(i)].begin() + long(at));
                    std::sort(seen.begin(), seen.end());
                    for (int k = 0; k < s.m; ++k)
                        expect_rank(seen, s.answers[std::size_t(i * s.m + k)], orders[std::size_t(k)], eps,
                                    "eps " + std::to_string(eps) + " shape " + std::to_string(int(shape)) + " n " +
                                        std::to_string(at) + " var " + std::to_string(i) + " q " + std::to_string(orders[std::size_t(k)]));
                }
            }
        }
    }
}

TYPED_TEST(StreamQuantiles, SubsetAndThreadsGiveTheSameAnswers) {
    using T = TypeParam;
    const std::size_t total = 30000 / kScale;
    std::vector<std::vector<T>> data;
    for (int i = 0; i < 5; ++i) data.push_back(stream<T>(Shape::Random, total, uint64_t(10 + i)));
    const std::vector<T> orders = {T(0.5), T(0.1)};
    Stream<T> one(5, VEXA_SS_COLUMNS, T(0.01), orders), many(5, VEXA_SS_ROWS, T(0.01), orders);
    const int32_t sel[5] = {1, 0, 1, 1, 1};
    __tqriSSEditTask(one.task, 5, sel);
    __tqriSSEditTask(many.task, 5, sel);
    vexa_serv_set_max_threads(3);
    for (std::size_t at = 0; at < total; at += 1000) {
        ASSERT_EQ(one.feed(data, at, at + 1000, 0x40), 0);
        ASSERT_EQ(many.feed(data, at, at + 1000, 0x80, vexa_serv_threading_table()), 0);
    }
    vexa_serv_set_max_threads(2);
    EXPECT_EQ(one.answers, many.answers);
    EXPECT_EQ(one.answers[2], T(-1));  // variable 1 is not selected
    EXPECT_EQ(one.answers[3], T(-1));
    // Dropping a variable that has buffers is refused; none selected too.
    const int32_t drop[5] = {1, 0, 1, 0, 1}, none[5] = {0, 0, 0, 0, 0};
    __tqriSSEditTask(one.task, 5, drop);
    EXPECT_EQ(one.feed(data, 0, 10), -4004);
    __tqriSSEditTask(one.task, 5, none);
    EXPECT_EQ(one.feed(data, 0, 10), -4004);
}

TYPED_TEST(StreamQuantiles, ChecksInOrder) {
    using T = TypeParam;
    Stream<T> s(1, VEXA_SS_ROWS, T(0.1), {T(0.5)});
    std::vector<std::vector<T>> data = {stream<T>(Shape::Random, 10, 3)};
    auto run = [&](int32_t count) { s.n = count; return Api<T>::stream(s.task, 0, 0x80, nullptr); };
    EXPECT_EQ(Api<T>::stream(nullptr, 0, 0x80, nullptr), VEXA_SS_NO_TASK);
    int32_t neg = -1, two = 2, bad_storage = 5;
    EXPECT_EQ(run(0), 0);  // no observations: nothing to add
    EXPECT_EQ(run(-1), VEXA_SS_BAD_NOBS);
    s.task->x = nullptr;
    EXPECT_EQ(run(3), VEXA_SS_NO_X);
    Api<T>::edit(s.task, 3, data[0].data());
    s.task->x_storage = &bad_storage;
    EXPECT_EQ(run(3), VEXA_SS_BAD_STORAGE);
    s.task->x_storage = &s.storage;
    s.task->squantiles = nullptr;
    EXPECT_EQ(run(3), -4070);
    Api<T>::edit(s.task, 66, s.answers.data());
    s.task->squant_orders = nullptr;
    EXPECT_EQ(run(3), -4068);
    std::vector<T> out_of_range = {T(1.5)};
    Api<T>::edit(s.task, 65, out_of_range.data());
    EXPECT_EQ(run(3), -4069);
    Api<T>::edit(s.task, 65, s.orders.data());
    __tqriSSEditTask(s.task, 64, &neg);
    EXPECT_EQ(run(3), -4069);
    __tqriSSEditTask(s.task, 64, &s.m);
    s.task->squant_params_n = nullptr;
    EXPECT_EQ(run(3), -4064);
    __tqriSSEditTask(s.task, 62, &two);
    EXPECT_EQ(run(3), -4066);
    __tqriSSEditTask(s.task, 62, &s.one);
    s.task->squant_params = nullptr;
    EXPECT_EQ(run(3), -4065);
    std::vector<T> eps = {T(0)};
    Api<T>::edit(s.task, 63, eps.data());
    EXPECT_EQ(run(3), -4067);
    eps[0] = T(1.5);
    EXPECT_EQ(run(3), -4067);
    eps[0] = T(0.1);
    EXPECT_EQ(Api<T>::stream(s.task, 0, 0x1, nullptr), VEXA_SS_BAD_METHOD);
    ASSERT_EQ(run(10), 0);
    std::vector<T> seen = data[0];
    std::sort(seen.begin(), seen.end());
    expect_rank(seen, s.answers[0], T(0.5), T(0.1), "after the checks");
}

TYPED_TEST(StreamQuantiles, BuffersLiveInTheTaskAndEveryAllocationFails) {
    using T = TypeParam;
    const long base = vexa_serv_test_live_blocks();
    std::vector<std::vector<T>> data = {stream<T>(Shape::Random, 3000, 4), stream<T>(Shape::Random, 3000, 5)};
    {
        Stream<T> s(2, VEXA_SS_COLUMNS, T(0.05), {T(0.5)});
        ASSERT_EQ(s.feed(data, 0, 100), 0);
        EXPECT_NE(s.task->squant_state, nullptr);
        EXPECT_GT(vexa_serv_test_live_blocks(), base + 1);  // the task and its buffers
    }
    EXPECT_EQ(vexa_serv_test_live_blocks(), base);  // deletion released them
    // A first call and a call that crosses stages, each allocation failed in turn.
    for (std::size_t from : {std::size_t(0), std::size_t(100)}) {
        long allocations;
        {
            Stream<T> s(2, VEXA_SS_COLUMNS, T(0.05), {T(0.5)});
            if (from > 0) {
                ASSERT_EQ(s.feed(data, 0, from), 0);
            }
            const long before = vexa_serv_test_allocation_count();
            ASSERT_EQ(s.feed(data, from, 3000), 0);
            allocations = vexa_serv_test_allocation_count() - before;
        }
        EXPECT_GE(allocations, 3);
        for (long k = 1; k <= allocations; ++k) {
            {
                Stream<T> s(2, VEXA_SS_COLUMNS, T(0.05), {T(0.5)});
                if (from > 0) {
                    ASSERT_EQ(s.feed(data, 0, from), 0);
                }
                vexa_serv_test_fail_allocation(k);
                EXPECT_EQ(s.feed(data, from, 3000), VEXA_SS_MEMORY) << from << " " << k;
                vexa_serv_test_fail_allocation(0);
            }
            EXPECT_EQ(vexa_serv_test_live_blocks(), base) << from << " " << k;
        }
    }
}

}  // namespace
