// sAdd, dAdd, sAbs, dAbs against a plain compiler-vectorised loop and against
// the machine's memory bandwidth for the same access pattern, for arrays in
// L1 (4 KiB each), L2 (256 KiB each) and memory (64 MiB each). Items are
// elements; bytes count every array read or written once.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "vexa/vector_math.h"

namespace {

constexpr long kL1 = 4 << 10, kL2 = 256 << 10, kMem = 64 << 20;

template <class T> struct Arrays {
    explicit Arrays(long bytes) : n(bytes / long(sizeof(T))), a(n), b(n), r(n) {
        for (long i = 0; i < n; ++i) a[i] = T(i % 97) - T(48.5), b[i] = T(0.25) * T(i % 13);
    }
    long n;
    std::vector<T> a, b, r;
};

template <class T> void finish(benchmark::State& st, long n, int arrays) {
    st.SetItemsProcessed(st.iterations() * n);
    st.SetBytesProcessed(st.iterations() * n * long(sizeof(T)) * arrays);
}

template <class T, void (*K)(int, const T*, const T*, T*)> void BM_VexaAdd(benchmark::State& st) {
    Arrays<T> x(st.range(0));
    for (auto _ : st) {
        K(int(x.n), x.a.data(), x.b.data(), x.r.data());
        benchmark::ClobberMemory();
    }
    finish<T>(st, x.n, 3);
}

template <class T, void (*K)(int, const T*, T*)> void BM_VexaAbs(benchmark::State& st) {
    Arrays<T> x(st.range(0));
    for (auto _ : st) {
        K(int(x.n), x.a.data(), x.r.data());
        benchmark::ClobberMemory();
    }
    finish<T>(st, x.n, 2);
}

template <class T> __attribute__((noinline)) void plain_add(long n, const T* __restrict a, const T* __restrict b, T* __restrict r) {
    for (long i = 0; i < n; ++i) r[i] = a[i] + b[i];
}
template <class T> __attribute__((noinline)) void plain_abs(long n, const T* __restrict a, T* __restrict r) {
    for (long i = 0; i < n; ++i) r[i] = __builtin_fabs(a[i]);
}

template <class T> void BM_PlainAdd(benchmark::State& st) {
    Arrays<T> x(st.range(0));
    for (auto _ : st) {
        plain_add(x.n, x.a.data(), x.b.data(), x.r.data());
        benchmark::ClobberMemory();
    }
    finish<T>(st, x.n, 3);
}
template <class T> void BM_PlainAbs(benchmark::State& st) {
    Arrays<T> x(st.range(0));
    for (auto _ : st) {
        plain_abs(x.n, x.a.data(), x.r.data());
        benchmark::ClobberMemory();
    }
    finish<T>(st, x.n, 2);
}

// The bandwidth of the two patterns without arithmetic: copy (one read, one
// write) and two reads with one write (a 64-bit integer OR, which does no
// floating-point work), over the same byte counts.
void BM_BandwidthCopy(benchmark::State& st) {
    Arrays<double> x(st.range(0));
    for (auto _ : st) {
        std::memcpy(x.r.data(), x.a.data(), size_t(x.n) * sizeof(double));
        benchmark::ClobberMemory();
    }
    st.SetBytesProcessed(st.iterations() * x.n * 8 * 2);
}
__attribute__((noinline)) void or_arrays(long n, const long* __restrict a, const long* __restrict b, long* __restrict r) {
    for (long i = 0; i < n; ++i) r[i] = a[i] | b[i];
}
void BM_BandwidthTwoReadsOneWrite(benchmark::State& st) {
    const long n = st.range(0) / 8;
    std::vector<long> a(n, 1), b(n, 2), r(n);
    for (auto _ : st) {
        or_arrays(n, a.data(), b.data(), r.data());
        benchmark::ClobberMemory();
    }
    st.SetBytesProcessed(st.iterations() * n * 8 * 3);
}

#define SIZES Arg(kL1)->Arg(kL2)->Arg(kMem)
BENCHMARK(BM_VexaAdd<float, vexa_arx_kernel_sAdd_S9HAynn>)->Name("sAdd/vexa")->SIZES;
BENCHMARK(BM_PlainAdd<float>)->Name("sAdd/plain")->SIZES;
BENCHMARK(BM_VexaAdd<double, vexa_arx_kernel_dAdd_S9HAynn>)->Name("dAdd/vexa")->SIZES;
BENCHMARK(BM_PlainAdd<double>)->Name("dAdd/plain")->SIZES;
BENCHMARK(BM_VexaAbs<float, vexa_arx_kernel_sAbs_S9HAynn>)->Name("sAbs/vexa")->SIZES;
BENCHMARK(BM_PlainAbs<float>)->Name("sAbs/plain")->SIZES;
BENCHMARK(BM_VexaAbs<double, vexa_arx_kernel_dAbs_S9HAynn>)->Name("dAbs/vexa")->SIZES;
BENCHMARK(BM_PlainAbs<double>)->Name("dAbs/plain")->SIZES;
BENCHMARK(BM_BandwidthCopy)->Name("bandwidth/copy")->SIZES;
BENCHMARK(BM_BandwidthTwoReadsOneWrite)->Name("bandwidth/2r1w")->SIZES;

}  // namespace
