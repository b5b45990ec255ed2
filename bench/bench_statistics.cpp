// Basic statistics: mean and variance, and covariance, of 10^7 x 4 and
// 10^5 x 100 observations in both storages, against a plain two-pass loop
// and against the bandwidth floor of reading the matrix once.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "vexa/service.h"
#include "vexa/statistics.h"

namespace {

struct Data {
    int32_t p, n, storage;
    std::vector<double> x;
    Data(int32_t p_, int32_t n_, int32_t storage_) : p(p_), n(n_), storage(storage_), x(std::size_t(p_) * std::size_t(n_)) {
        std::mt19937_64 g(1);
        std::uniform_real_distribution<double> u(-1, 1);
        for (auto& v : x) v = 3 + u(g);
    }
};
const Data& data(int64_t p, int64_t storage) {
    static Data rows4(4, 10000000, VEXA_SS_ROWS), cols4(4, 10000000, VEXA_SS_COLUMNS), rows100(100, 100000, VEXA_SS_ROWS),
        cols100(100, 100000, VEXA_SS_COLUMNS);
    if (p == 4) return storage == VEXA_SS_ROWS ? rows4 : cols4;
    return storage == VEXA_SS_ROWS ? rows100 : cols100;
}

enum class What { MeanVariance, Covariance };

void BM_Vexa(benchmark::State& st, What what, int64_t method) {
    const Data& d = data(st.range(0), st.range(1));
    SSTask* task = nullptr;
    __tqrdSSNewTask(&task, &d.p, &d.n, &d.storage, d.x.data(), nullptr, nullptr, 0);
    std::vector<double> mean(std::size_t(d.p)), var(std::size_t(d.p)), raw2(std::size_t(d.p)),
        cov(std::size_t(d.p) * std::size_t(d.p));
    double acc[2];
    int32_t full = VEXA_SS_MATRIX_FULL;
    __tqrdSSEditTask(task, 7, mean.data());
    __tqrdSSEditTask(task, 8, raw2.data());
    __tqrdSSEditTask(task, 11, var.data());
    __tqrdSSEditTask(task, 19, cov.data());
    __tqriSSEditTask(task, 20, &full);
    __tqrdSSEditTask(task, 23, acc);
    const int64_t est = what == What::MeanVariance ? 0x11 : 0x1001;
    for (auto _ : st) {
        acc[0] = acc[1] = 0;
        _tqrdSSBasic(task, est, method, vexa_serv_threading_table());
        benchmark::DoNotOptimize(var.data());
    }
    __tqrSSDeleteTask(&task);
    st.SetBytesProcessed(st.iterations() * int64_t(d.x.size() * sizeof(double)));
}

// The two-pass loop a user would write: the means, then the deviations.
void BM_TwoPass(benchmark::State& st, What what) {
    const Data& d = data(st.range(0), st.range(1));
    const std::size_t p = std::size_t(d.p), n = std::size_t(d.n);
    const bool rows = d.storage == VEXA_SS_ROWS;
    std::vector<double> mean(p), c(what == What::MeanVariance ? p : p * p);
    for (auto _ : st) {
        std::fill(mean.begin(), mean.end(), 0.0);
        std::fill(c.begin(), c.end(), 0.0);
        for (std::size_t j = 0; j < n; ++j)
            for (std::size_t i = 0; i < p; ++i) mean[i] += d.x[rows ? i * n + j : j * p + i];
        for (auto& m : mean) m /= double(n);
        if (what == What::MeanVariance) {
            if (rows) {
                for (std::size_t i = 0; i < p; ++i)
                    for (std::size_t j = 0; j < n; ++j) {
                        const double e = d.x[i * n + j] - mean[i];
                        c[i] += e * e;
                    }
            } else {
                for (std::size_t j = 0; j < n; ++j)
                    for (std::size_t i = 0; i < p; ++i) {
                        const double e = d.x[j * p + i] - mean[i];
                        c[i] += e * e;
                    }
            }
        } else {
            std::vector<double> e(p);
            for (std::size_t j = 0; j < n; ++j) {
                for (std::size_t i = 0; i < p; ++i) e[i] = d.x[rows ? i * n + j : j * p + i] - mean[i];
                for (std::size_t i = 0; i < p; ++i)
                    for (std::size_t k = i; k < p; ++k) c[i * p + k] += e[i] * e[k];
            }
        }
        for (auto& v : c) v /= double(n - 1);
        benchmark::DoNotOptimize(c.data());
    }
    st.SetBytesProcessed(st.iterations() * int64_t(d.x.size() * sizeof(double)));
}

// The floor: one read of the matrix on every thread the statistics may use.
void BM_ReadOnce(benchmark::State& st) {
    const Data& d = data(st.range(0), st.range(1));
    const ThreadingTable* tt = vexa_serv_threading_table();
    struct Ctx {
        const uint64_t* x;
        std::size_t size;
        int threads;
        uint64_t sums[64];
    } ctx{reinterpret_cast<const uint64_t*>(d.x.data()), d.x.size(), tt->max_threads(), {}};
    for (auto _ : st) {
        tt->parallel_run(ctx.threads, &ctx, [](int i, int, int count, void* c) {
            auto& k = *static_cast<Ctx*>(c);
            const std::size_t step = k.size / std::size_t(count), b = std::size_t(i) * step,
                              e = i == count - 1 ? k.size : b + step;
            uint64_t s = 0;  // integer, so that the compiler vectorises the read fully
            for (std::size_t j = b; j < e; ++j) s ^= k.x[j];
            k.sums[i] = s;
        });
        benchmark::DoNotOptimize(ctx.sums);
    }
    st.SetBytesProcessed(st.iterations() * int64_t(d.x.size() * sizeof(double)));
}

#define SHAPES                                                                                                  \
    Args({4, VEXA_SS_ROWS})->Args({4, VEXA_SS_COLUMNS})->Args({100, VEXA_SS_ROWS})->Args({100, VEXA_SS_COLUMNS}) \
        ->Unit(benchmark::kMillisecond)->UseRealTime()
BENCHMARK_CAPTURE(BM_Vexa, meanvar_fast, What::MeanVariance, 0x1)->Name("basic_meanvar/vexa_fast")->SHAPES;
BENCHMARK_CAPTURE(BM_Vexa, meanvar_1p, What::MeanVariance, 0x2)->Name("basic_meanvar/vexa_onepass")->SHAPES;
BENCHMARK_CAPTURE(BM_TwoPass, meanvar, What::MeanVariance)->Name("basic_meanvar/two_pass_loop")->SHAPES;
BENCHMARK_CAPTURE(BM_Vexa, cov_fast, What::Covariance, 0x1)->Name("basic_cov/vexa_fast")->SHAPES;
BENCHMARK_CAPTURE(BM_Vexa, cov_1p, What::Covariance, 0x2)->Name("basic_cov/vexa_onepass")->SHAPES;
BENCHMARK_CAPTURE(BM_TwoPass, cov, What::Covariance)->Name("basic_cov/two_pass_loop")->SHAPES;
BENCHMARK(BM_ReadOnce)->Name("basic/read_once_floor")->SHAPES;

}  // namespace

namespace {

// Quantiles of 5 orders over 10^6 values, against std::nth_element on a copy
// (one selection per order, the next rank by a minimum scan, as a user would).
void BM_Quantiles(benchmark::State& st, bool vexa) {
    const int32_t p = 1, n = 1000000, storage = VEXA_SS_ROWS, m = 5;
    std::vector<double> x(1000000), copy(x.size()), q(5);
    std::mt19937_64 g(3);
    std::uniform_real_distribution<double> u(-1, 1);
    for (auto& v : x) v = u(g);
    const double orders[5] = {0.01, 0.25, 0.5, 0.75, 0.99};
    SSTask* task = nullptr;
    __tqrdSSNewTask(&task, &p, &n, &storage, x.data(), nullptr, nullptr, 0);
    __tqriSSEditTask(task, 24, &m);
    __tqrdSSEditTask(task, 25, orders);
    __tqrdSSEditTask(task, 26, q.data());
    for (auto _ : st) {
        if (vexa) {
            _tqrdSSQuantiles(task, 0x10000, 0x1, vexa_serv_threading_table());
        } else {
            copy = x;
            for (int k = 0; k < 5; ++k) {
                const double pos = (n - 1) * orders[k];
                const auto r = std::ptrdiff_t(pos);
                std::nth_element(copy.begin(), copy.begin() + r, copy.end());
                const double a = copy[std::size_t(r)], b = *std::min_element(copy.begin() + r + 1, copy.end());
                q[std::size_t(k)] = a + (b - a) * (pos - double(r));
            }
        }
        benchmark::DoNotOptimize(q.data());
    }
    __tqrSSDeleteTask(&task);
}
BENCHMARK_CAPTURE(BM_Quantiles, vexa, true)->Name("quantiles5_1e6/vexa")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Quantiles, nth_element, false)->Name("quantiles5_1e6/std_nth_element")->Unit(benchmark::kMillisecond);

}  // namespace
