// The special functions against SLEEF (u10) and glibc's libmvec on the same
// inputs, for arrays of 1024 and 8192 elements (in cache) and 16M
// (streamed): Erf on x uniform in [-4, 4].
// Compare times within one run: the ratios are what the figures mean.
#include <benchmark/benchmark.h>
#include <immintrin.h>
#include <sleef.h>

#include <random>
#include <string>
#include <vector>

#include "vexa/vector_math.h"

extern "C" {
__m256d _ZGVdN4v_erf(__m256d);
__m256 _ZGVdN8v_erff(__m256);
}

namespace {

template <class T> std::vector<T> uniform(std::size_t n, double lo, double hi) {
    std::mt19937_64 g(1);
    std::uniform_real_distribution<double> u(lo, hi);
    std::vector<T> v(n);
    for (auto& x : v) x = T(u(g));
    return v;
}

template <class T> using Unary = void (*)(int, const T*, T*);

template <__m256d (*F)(__m256d)> void peer_d(int n, const double* a, double* r) {
    for (int i = 0; i < n; i += 4) _mm256_storeu_pd(r + i, F(_mm256_loadu_pd(a + i)));
}
template <__m256 (*F)(__m256)> void peer_s(int n, const float* a, float* r) {
    for (int i = 0; i < n; i += 8) _mm256_storeu_ps(r + i, F(_mm256_loadu_ps(a + i)));
}
// SLEEF's vector types carry attributes its declarations do not match as
// template arguments: plain wrappers.
__m256d sleef_erf(__m256d x) { return Sleef_erfd4_u10avx2(x); }
__m256 sleef_erff(__m256 x) { return Sleef_erff8_u10avx2(x); }

template <class T> void run1(benchmark::State& st, Unary<T> f, double lo, double hi) {
    const std::size_t n = std::size_t(st.range(0));
    const std::vector<T> a = uniform<T>(n, lo, hi);
    std::vector<T> r(n);
    for (auto _ : st) {
        f(int(n), a.data(), r.data());
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * long(n));
}

template <class F, class... A> void reg(const std::string& name, F run, A... args) {
    benchmark::RegisterBenchmark(name.c_str(), run, args...)->Arg(1024)->Arg(8192)->Arg(16 << 20)->Unit(benchmark::kMicrosecond);
}

template <class T, class K> void reg_slots(const std::string& fn, const K* ttab, double lo, double hi) {
    const char* who[3] = {"vexa_LA", "vexa_HA", "vexa_EP"};
    for (int s = 0; s < 3; ++s) reg(fn + "/" + who[s], run1<T>, ttab[s], lo, hi);
}

const bool kRegistered = [] {
    reg_slots<double>("dErf", vexa_arx_kernel_dErf_ttab, -4.0, 4.0);
    reg("dErf/sleef_u10", run1<double>, peer_d<sleef_erf>, -4.0, 4.0);
    reg("dErf/libmvec", run1<double>, peer_d<_ZGVdN4v_erf>, -4.0, 4.0);
    reg_slots<float>("sErf", vexa_arx_kernel_sErf_ttab, -4.0, 4.0);
    reg("sErf/sleef_u10", run1<float>, peer_s<sleef_erff>, -4.0, 4.0);
    reg("sErf/libmvec", run1<float>, peer_s<_ZGVdN8v_erff>, -4.0, 4.0);
    return true;
}();

}  // namespace
