// In-place radix sorts of 32f and 64f keys against std::sort, for 10^3, 10^5
// and 10^7 random keys. Every iteration first restores the unsorted keys; the
// copy alone is measured too, so it can be subtracted.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "vexa/primitives.h"

namespace {

template <class T> std::vector<T> keys(std::size_t n) {
    std::mt19937_64 g(42);
    std::uniform_real_distribution<double> u(-1e6, 1e6);
    std::vector<T> v(n);
    for (auto& x : v) x = T(u(g));
    return v;
}

enum class Kind { Vexa, Std, CopyOnly };

template <class T, Kind K> void BM_Sort(benchmark::State& st) {
    const std::size_t n = std::size_t(st.range(0));
    const std::vector<T> in = keys<T>(n);
    std::vector<T> work(n), buf(n);
    for (auto _ : st) {
        std::memcpy(work.data(), in.data(), n * sizeof(T));
        if constexpr (K == Kind::Vexa) {
            if constexpr (sizeof(T) == 4) vexa_dft_avx2_zubsSortRadixAscend_32f_I(work.data(), buf.data(), int(n));
            else vexa_dft_avx2_zubsSortRadixAscend_64f_I(work.data(), buf.data(), int(n));
        } else if constexpr (K == Kind::Std) {
            std::sort(work.begin(), work.end());
        }
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * long(n));
}

#define SIZES Arg(1000)->Arg(100000)->Arg(10000000)->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_Sort<float, Kind::Vexa>)->Name("sort32f/vexa_radix")->SIZES;
BENCHMARK(BM_Sort<float, Kind::Std>)->Name("sort32f/std_sort")->SIZES;
BENCHMARK(BM_Sort<float, Kind::CopyOnly>)->Name("sort32f/copy_only")->SIZES;
BENCHMARK(BM_Sort<double, Kind::Vexa>)->Name("sort64f/vexa_radix")->SIZES;
BENCHMARK(BM_Sort<double, Kind::Std>)->Name("sort64f/std_sort")->SIZES;
BENCHMARK(BM_Sort<double, Kind::CopyOnly>)->Name("sort64f/copy_only")->SIZES;

}  // namespace
