// Basic generators on [0, 1): nanoseconds per value for arrays of 1024 and
// 2^20 values, against a plain scalar loop of the same recurrence,
// std::minstd_rand, std::mt19937 with std::uniform_real_distribution (and
// its raw words), and GSL's mrg, r250, minstd and mt19937 generators; and the
// time of one skip-ahead of the twisters.
#include <benchmark/benchmark.h>
#include <gsl/gsl_rng.h>

#include <cstdint>
#include <random>
#include <vector>

#include "vexa/random.h"

namespace {

template <class T> void run(benchmark::State& st, int32_t id, bool integers) {
    const int n = int(st.range(0));
    StreamState* s = nullptr;
    const uint32_t seed = 7;
    __tqrNewStreamEx(&s, id, 1, &seed);
    BrngProperties p;
    __tqrGetBrngProperties(id, &p);
    std::vector<T> r(std::size_t(n) * (integers ? std::size_t(p.WordSize / 4) : 1));
    for (auto _ : st) {
        if constexpr (sizeof(T) == 8) p.dBRng(s, n, reinterpret_cast<double*>(r.data()), 0, 1);
        else if (integers) p.iBRng(s, n, reinterpret_cast<uint32_t*>(r.data()));
        else p.sBRng(s, n, reinterpret_cast<float*>(r.data()), 0, 1);
        benchmark::DoNotOptimize(r.data());
    }
    __tqrDeleteStream(&s);
    st.SetItemsProcessed(st.iterations() * n);
}

// The recurrences as a plain loop, one value at a time.
void scalar_mcg31(benchmark::State& st) {
    std::vector<double> r(std::size_t(st.range(0)));
    uint64_t x = 7;
    for (auto _ : st) {
        for (auto& v : r) v = double(x) * (1.0 / 2147483647.0), x = x * 1132489760u % 2147483647u;
        benchmark::DoNotOptimize(r.data());
    }
    st.SetItemsProcessed(st.iterations() * st.range(0));
}
void scalar_mcg59(benchmark::State& st) {
    std::vector<double> r(std::size_t(st.range(0)));
    uint64_t x = 7;
    for (auto _ : st) {
        for (auto& v : r) v = double(x) * 0x1p-59, x = x * 302875106592253ull & ((1ull << 59) - 1);
        benchmark::DoNotOptimize(r.data());
    }
    st.SetItemsProcessed(st.iterations() * st.range(0));
}
void scalar_mrg(benchmark::State& st) {
    std::vector<double> r(std::size_t(st.range(0)));
    int64_t s[6] = {7, 1, 1, 1, 1, 1};
    const int64_t m1 = 4294967087, m2 = 4294944443;
    for (auto _ : st) {
        for (auto& v : r) {
            int64_t p1 = (1403580 * s[1] - 810728 * s[0]) % m1;
            if (p1 < 0) p1 += m1;
            int64_t p2 = (527612 * s[5] - 1370589 * s[3]) % m2;
            if (p2 < 0) p2 += m2;
            s[0] = s[1], s[1] = s[2], s[2] = p1, s[3] = s[4], s[4] = s[5], s[5] = p2;
            v = double(p1 > p2 ? p1 - p2 : p1 - p2 + m1) * (1.0 / double(m1));
        }
        benchmark::DoNotOptimize(r.data());
    }
    st.SetItemsProcessed(st.iterations() * st.range(0));
}
void scalar_r250(benchmark::State& st) {
    std::vector<double> r(std::size_t(st.range(0)));
    uint32_t w[250];
    for (int i = 0; i < 250; ++i) w[i] = uint32_t(i * 2654435761u + 1);
    int i = 0, j = 103;
    for (auto _ : st) {
        for (auto& v : r) {
            const uint32_t x = w[i] ^ w[j];
            w[i] = x;
            i = i == 249 ? 0 : i + 1;
            j = j == 249 ? 0 : j + 1;
            v = double(x) * 0x1p-32;
        }
        benchmark::DoNotOptimize(r.data());
    }
    st.SetItemsProcessed(st.iterations() * st.range(0));
}
void scalar_wh(benchmark::State& st) {
    std::vector<double> r(std::size_t(st.range(0)));
    const uint32_t* m = _tqr_WH_M[0];
    const uint8_t* a = _tqr_WH_A[0];
    uint64_t x[4] = {1, 2, 3, 4};
    for (auto _ : st) {
        for (auto& v : r) {
            double u = double(x[0]) / m[0] + double(x[1]) / m[1] + double(x[2]) / m[2] + double(x[3]) / m[3];
            v = u - double(int(u));
            for (int c = 0; c < 4; ++c) x[c] = x[c] * a[c] % m[c];
        }
        benchmark::DoNotOptimize(r.data());
    }
    st.SetItemsProcessed(st.iterations() * st.range(0));
}

template <class E> void std_engine(benchmark::State& st) {
    std::vector<double> r(std::size_t(st.range(0)));
    E e(7);
    std::uniform_real_distribution<double> u(0, 1);
    for (auto _ : st) {
        for (auto& v : r) v = u(e);
        benchmark::DoNotOptimize(r.data());
    }
    st.SetItemsProcessed(st.iterations() * st.range(0));
}

// The raw 32-bit words of the standard engine and of GSL's generator.
void std_mt19937_words(benchmark::State& st) {
    std::vector<uint32_t> r(std::size_t(st.range(0)));
    std::mt19937 e(7);
    for (auto _ : st) {
        for (auto& v : r) v = uint32_t(e());
        benchmark::DoNotOptimize(r.data());
    }
    st.SetItemsProcessed(st.iterations() * st.range(0));
}

void gsl_words(benchmark::State& st, const gsl_rng_type* type) {
    std::vector<uint32_t> r(std::size_t(st.range(0)));
    gsl_rng* g = gsl_rng_alloc(type);
    gsl_rng_set(g, 7);
    for (auto _ : st) {
        for (auto& v : r) v = uint32_t(gsl_rng_get(g));
        benchmark::DoNotOptimize(r.data());
    }
    gsl_rng_free(g);
    st.SetItemsProcessed(st.iterations() * st.range(0));
}

// One skip-ahead by 2^range(0) values per iteration (Horner's scheme below
// the degree, the sliding window above it).
void skip_ahead(benchmark::State& st, int32_t id) {
    StreamState* s = nullptr;
    const uint32_t seed = 7;
    __tqrNewStreamEx(&s, id, 1, &seed);
    for (auto _ : st) benchmark::DoNotOptimize(__tqrSkipAheadStream(s, 1LL << st.range(0)));
    __tqrDeleteStream(&s);
}

void gsl(benchmark::State& st, const gsl_rng_type* type) {
    std::vector<double> r(std::size_t(st.range(0)));
    gsl_rng* g = gsl_rng_alloc(type);
    gsl_rng_set(g, 7);
    for (auto _ : st) {
        for (auto& v : r) v = gsl_rng_uniform(g);
        benchmark::DoNotOptimize(r.data());
    }
    gsl_rng_free(g);
    st.SetItemsProcessed(st.iterations() * st.range(0));
}

void vexa_double(benchmark::State& st, int32_t id) { run<double>(st, id, false); }
void vexa_float(benchmark::State& st, int32_t id) { run<float>(st, id, false); }
void vexa_int(benchmark::State& st, int32_t id) { run<uint32_t>(st, id, true); }

#define SIZES Arg(1024)->Arg(1 << 20)
BENCHMARK_CAPTURE(vexa_double, mcg31m1_d, 0x100000)->Name("rng/MCG31M1/vexa_double")->SIZES;
BENCHMARK_CAPTURE(vexa_float, mcg31m1_s, 0x100000)->Name("rng/MCG31M1/vexa_float")->SIZES;
BENCHMARK_CAPTURE(vexa_int, mcg31m1_i, 0x100000)->Name("rng/MCG31M1/vexa_int")->SIZES;
BENCHMARK(scalar_mcg31)->Name("rng/MCG31M1/scalar_loop")->SIZES;
BENCHMARK(std_engine<std::minstd_rand>)->Name("rng/MCG31M1/std_minstd_rand")->SIZES;
BENCHMARK_CAPTURE(gsl, minstd, gsl_rng_minstd)->Name("rng/MCG31M1/gsl_minstd")->SIZES;
BENCHMARK_CAPTURE(vexa_double, mcg59_d, 0x400000)->Name("rng/MCG59/vexa_double")->SIZES;
BENCHMARK_CAPTURE(vexa_int, mcg59_i, 0x400000)->Name("rng/MCG59/vexa_int")->SIZES;
BENCHMARK(scalar_mcg59)->Name("rng/MCG59/scalar_loop")->SIZES;
BENCHMARK_CAPTURE(vexa_double, mrg_d, 0x300000)->Name("rng/MRG32K3A/vexa_double")->SIZES;
BENCHMARK_CAPTURE(vexa_int, mrg_i, 0x300000)->Name("rng/MRG32K3A/vexa_int")->SIZES;
BENCHMARK(scalar_mrg)->Name("rng/MRG32K3A/scalar_loop")->SIZES;
BENCHMARK_CAPTURE(gsl, mrg, gsl_rng_mrg)->Name("rng/MRG32K3A/gsl_mrg")->SIZES;
BENCHMARK_CAPTURE(vexa_double, r250_d, 0x200000)->Name("rng/R250/vexa_double")->SIZES;
BENCHMARK_CAPTURE(vexa_int, r250_i, 0x200000)->Name("rng/R250/vexa_int")->SIZES;
BENCHMARK(scalar_r250)->Name("rng/R250/scalar_loop")->SIZES;
BENCHMARK_CAPTURE(gsl, r250, gsl_rng_r250)->Name("rng/R250/gsl_r250")->SIZES;
BENCHMARK_CAPTURE(vexa_double, wh_d, 0x500000)->Name("rng/WH/vexa_double")->SIZES;
BENCHMARK_CAPTURE(vexa_int, wh_i, 0x500000)->Name("rng/WH/vexa_int")->SIZES;
BENCHMARK(scalar_wh)->Name("rng/WH/scalar_loop")->SIZES;
BENCHMARK(std_engine<std::mt19937>)->Name("rng/std_mt19937_uniform_real")->SIZES;

}  // namespace
BENCHMARK_CAPTURE(vexa_double, mt19937_d, 0x800000)->Name("rng/MT19937/vexa_double")->SIZES;
BENCHMARK_CAPTURE(vexa_int, mt19937_i, 0x800000)->Name("rng/MT19937/vexa_int")->SIZES;
BENCHMARK_CAPTURE(gsl, mt19937, gsl_rng_mt19937)->Name("rng/MT19937/gsl_mt19937")->SIZES;
BENCHMARK_CAPTURE(gsl_words, mt19937, gsl_rng_mt19937)->Name("rng/MT19937/gsl_mt19937_int")->SIZES;
BENCHMARK(std_mt19937_words)->Name("rng/MT19937/std_mt19937_int")->SIZES;
BENCHMARK_CAPTURE(vexa_double, mt2203_d, 0x900000 + 17)->Name("rng/MT2203/vexa_double")->SIZES;
BENCHMARK_CAPTURE(vexa_int, mt2203_i, 0x900000 + 17)->Name("rng/MT2203/vexa_int")->SIZES;
BENCHMARK_CAPTURE(vexa_double, sfmt_d, 0xD00000)->Name("rng/SFMT19937/vexa_double")->SIZES;
BENCHMARK_CAPTURE(vexa_float, sfmt_s, 0xD00000)->Name("rng/SFMT19937/vexa_float")->SIZES;
BENCHMARK_CAPTURE(vexa_int, sfmt_i, 0xD00000)->Name("rng/SFMT19937/vexa_int")->SIZES;
BENCHMARK_CAPTURE(skip_ahead, mt19937, 0x800000)->Name("rng/MT19937/skip_ahead_2^")->Arg(14)->Arg(20)->Arg(60)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(skip_ahead, sfmt19937, 0xD00000)->Name("rng/SFMT19937/skip_ahead_2^")->Arg(14)->Arg(20)->Arg(60)->Unit(benchmark::kMicrosecond);
// NONDETERM is bound by the hardware instruction: reported as measured.
BENCHMARK_CAPTURE(vexa_int, trng_i, 0xE00000)->Name("rng/NONDETERM/vexa_int")->Arg(1024);
BENCHMARK_CAPTURE(vexa_double, trng_d, 0xE00000)->Name("rng/NONDETERM/vexa_double")->Arg(1024);
