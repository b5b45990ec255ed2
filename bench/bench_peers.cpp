// The open peers the transcendental kernels are measured against, on the same
// inputs: SLEEF's AVX2 vector functions, glibc's libmvec and a scalar libm
// loop. Later kernels add their own rows beside these.
#include <benchmark/benchmark.h>
#include <immintrin.h>
#include <sleef.h>

#include <cmath>
#include <vector>

extern "C" __m256d _ZGVdN4v_exp(__m256d);
extern "C" __m256d _ZGVdN4v_log(__m256d);

namespace {

constexpr int kN = 4096;

std::vector<double> inputs(double lo, double hi) {
    std::vector<double> v(kN);
    for (int i = 0; i < kN; ++i) v[i] = lo + (hi - lo) * (i + 0.5) / kN;
    return v;
}

template <__m256d (*F)(__m256d)> void BM_Vector(benchmark::State& st, double lo, double hi) {
    const std::vector<double> a = inputs(lo, hi);
    std::vector<double> r(kN);
    for (auto _ : st) {
        for (int i = 0; i < kN; i += 4) _mm256_storeu_pd(&r[i], F(_mm256_loadu_pd(&a[i])));
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * kN);
}

template <double (*F)(double)> void BM_Scalar(benchmark::State& st, double lo, double hi) {
    const std::vector<double> a = inputs(lo, hi);
    std::vector<double> r(kN);
    for (auto _ : st) {
        for (int i = 0; i < kN; ++i) r[i] = F(a[i]);
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * kN);
}

__m256d sleef_exp_u10(__m256d x) { return Sleef_expd4_u10avx2(x); }
__m256d sleef_log_u10(__m256d x) { return Sleef_logd4_u10avx2(x); }
double libm_exp(double x) { return std::exp(x); }
double libm_log(double x) { return std::log(x); }

const bool kRegistered = [] {
    benchmark::RegisterBenchmark("dExp/sleef_u10", BM_Vector<sleef_exp_u10>, -700.0, 700.0);
    benchmark::RegisterBenchmark("dExp/libmvec", BM_Vector<_ZGVdN4v_exp>, -700.0, 700.0);
    benchmark::RegisterBenchmark("dExp/libm", BM_Scalar<libm_exp>, -700.0, 700.0);
    benchmark::RegisterBenchmark("dLn/sleef_u10", BM_Vector<sleef_log_u10>, 1e-300, 1e300);
    benchmark::RegisterBenchmark("dLn/libmvec", BM_Vector<_ZGVdN4v_log>, 1e-300, 1e300);
    benchmark::RegisterBenchmark("dLn/libm", BM_Scalar<libm_log>, 1e-300, 1e300);
    return true;
}();

}  // namespace
