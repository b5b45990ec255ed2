// The counter-based generators: PHILOX4X32X10 words and doubles on [0, 1)
// against Random123's scalar philox4x32 loop (the same bijection, one block
// at a time), ARS5 words against Random123's scalar ars4x32 at five rounds;
// nanoseconds per value for 1024 and 2^20 values.
#include <benchmark/benchmark.h>

#include <Random123/ars.h>
#include <Random123/philox.h>

#include <cstdint>
#include <vector>

#include "vexa/random.h"

namespace {

template <class T> void run(benchmark::State& st, int32_t id) {
    const int n = int(st.range(0));
    StreamState* s = nullptr;
    const uint32_t seed = 7;
    __tqrNewStreamEx(&s, id, 1, &seed);
    BrngProperties p;
    __tqrGetBrngProperties(id, &p);
    std::vector<T> r(static_cast<std::size_t>(n));
    for (auto _ : st) {
        if constexpr (sizeof(T) == 8) p.dBRng(s, n, reinterpret_cast<double*>(r.data()), 0, 1);
        else p.iBRng(s, n, reinterpret_cast<uint32_t*>(r.data()));
        benchmark::DoNotOptimize(r.data());
    }
    __tqrDeleteStream(&s);
    st.SetItemsProcessed(st.iterations() * n);
}

void random123_philox_words(benchmark::State& st) {
    std::vector<uint32_t> r(static_cast<std::size_t>(st.range(0)));
    r123::Philox4x32 g;
    r123::Philox4x32::ctr_type c = {{0, 0, 0, 0}};
    const r123::Philox4x32::key_type k = {{7, 0}};
    for (auto _ : st) {
        for (std::size_t i = 0; i < r.size(); i += 4) {
            const auto b = g(c, k);
            c.incr();
            r[i] = b[0], r[i + 1] = b[1], r[i + 2] = b[2], r[i + 3] = b[3];
        }
        benchmark::DoNotOptimize(r.data());
    }
    st.SetItemsProcessed(st.iterations() * st.range(0));
}

void random123_philox_doubles(benchmark::State& st) {
    std::vector<double> r(static_cast<std::size_t>(st.range(0)));
    r123::Philox4x32 g;
    r123::Philox4x32::ctr_type c = {{0, 0, 0, 0}};
    const r123::Philox4x32::key_type k = {{7, 0}};
    for (auto _ : st) {
        for (std::size_t i = 0; i < r.size(); i += 4) {
            const auto b = g(c, k);
            c.incr();
            for (int j = 0; j < 4; ++j) r[i + j] = double(b[j]) * 0x1p-32;
        }
        benchmark::DoNotOptimize(r.data());
    }
    st.SetItemsProcessed(st.iterations() * st.range(0));
}

void random123_ars5_words(benchmark::State& st) {
    std::vector<uint32_t> r(static_cast<std::size_t>(st.range(0)));
    ars4x32_ctr_t c = {{0, 0, 0, 0}};
    const ars4x32_key_t k = {{7, 0, 0, 0}};
    for (auto _ : st) {
        for (std::size_t i = 0; i < r.size(); i += 4) {
            const ars4x32_ctr_t b = ars4x32_R(5, c, k);
            ++c.v[0];
            r[i] = b.v[0], r[i + 1] = b.v[1], r[i + 2] = b.v[2], r[i + 3] = b.v[3];
        }
        benchmark::DoNotOptimize(r.data());
    }
    st.SetItemsProcessed(st.iterations() * st.range(0));
}

#define SIZES Arg(1024)->Arg(1 << 20)
void vexa_int(benchmark::State& st, int32_t id) { run<uint32_t>(st, id); }
void vexa_double(benchmark::State& st, int32_t id) { run<double>(st, id); }

BENCHMARK_CAPTURE(vexa_int, philox_i, 0x1000000)->Name("rng/PHILOX4X32X10/vexa_int")->SIZES;
BENCHMARK_CAPTURE(vexa_double, philox_d, 0x1000000)->Name("rng/PHILOX4X32X10/vexa_double")->SIZES;
BENCHMARK_CAPTURE(vexa_int, ars5_i, 0xF00000)->Name("rng/ARS5/vexa_int")->SIZES;
BENCHMARK_CAPTURE(vexa_double, ars5_d, 0xF00000)->Name("rng/ARS5/vexa_double")->SIZES;
BENCHMARK(random123_philox_words)->Name("rng/PHILOX4X32X10/random123_int")->SIZES;
BENCHMARK(random123_philox_doubles)->Name("rng/PHILOX4X32X10/random123_double")->SIZES;
BENCHMARK(random123_ars5_words)->Name("rng/ARS5/random123_int")->SIZES;

}  // namespace
