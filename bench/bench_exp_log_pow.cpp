// Expm1, Log10, Log1p, Pow and Powx against SLEEF (u10) and glibc's libmvec on
// the same inputs over each fast-path domain, for arrays of 1024 and 8192
// elements (in cache) and 16M elements (streamed):
//   Expm1  x uniform on [-10, 10] (the cancelling region and beyond)
//   Log10  x log-uniform on [1e-300, 1e300] (float [1e-37, 1e37])
//   Log1p  x = e^u - 1, u uniform on [-20, 20] (float [-15, 15])
//   Pow    x log-uniform on [0.01, 100] (float [0.1, 10]), y uniform on [-30, 30]
//   Powx   the same x, y = 2.5 broadcast (peers get the broadcast register)
// Compare times within one run: the ratios are what the figures mean.
#include <benchmark/benchmark.h>
#include <immintrin.h>
#include <sleef.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "vexa/vector_math.h"

extern "C" {
__m256d _ZGVdN4v_expm1(__m256d);
__m256d _ZGVdN4v_log10(__m256d);
__m256d _ZGVdN4v_log1p(__m256d);
__m256d _ZGVdN4vv_pow(__m256d, __m256d);
__m256 _ZGVdN8v_expm1f(__m256);
__m256 _ZGVdN8v_log10f(__m256);
__m256 _ZGVdN8v_log1pf(__m256);
__m256 _ZGVdN8vv_powf(__m256, __m256);
}

namespace {

enum class Dist { Uniform, LogUniform, ExpMinusOne };

template <class T> std::vector<T> inputs(std::size_t n, Dist d, double lo, double hi, unsigned seed) {
    std::mt19937_64 g(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<T> v(n);
    for (auto& x : v) {
        const double t = u(g);
        switch (d) {
            case Dist::Uniform: x = T(lo + t * (hi - lo)); break;
            case Dist::LogUniform: x = T(std::exp(std::log(lo) + t * (std::log(hi) - std::log(lo)))); break;
            case Dist::ExpMinusOne: x = T(std::expm1(lo + t * (hi - lo))); break;
        }
    }
    return v;
}

struct Domain {
    Dist d;
    double lo, hi;
};

// One-argument functions: vexa's kernels and the peers' register functions.
template <class T> using Unary = void (*)(int, const T*, T*);
template <__m256d (*F)(__m256d)> void peer_d(int n, const double* a, double* r) {
    for (int i = 0; i < n; i += 4) _mm256_storeu_pd(r + i, F(_mm256_loadu_pd(a + i)));
}
template <__m256 (*F)(__m256)> void peer_s(int n, const float* a, float* r) {
    for (int i = 0; i < n; i += 8) _mm256_storeu_ps(r + i, F(_mm256_loadu_ps(a + i)));
}
template <class T> void run1(benchmark::State& st, Unary<T> f, Domain s) {
    const std::size_t n = std::size_t(st.range(0));
    const std::vector<T> a = inputs<T>(n, s.d, s.lo, s.hi, 1);
    std::vector<T> r(n);
    for (auto _ : st) {
        f(int(n), a.data(), r.data());
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * long(n));
}

// Two arguments (Pow) and a broadcast exponent (Powx).
template <class T> using Binary = void (*)(int, const T*, const T*, T*);
template <class T> using Scalar = void (*)(int, const T*, T, T*);
template <__m256d (*F)(__m256d, __m256d)> void peer2_d(int n, const double* a, const double* b, double* r) {
    for (int i = 0; i < n; i += 4) _mm256_storeu_pd(r + i, F(_mm256_loadu_pd(a + i), _mm256_loadu_pd(b + i)));
}
template <__m256 (*F)(__m256, __m256)> void peer2_s(int n, const float* a, const float* b, float* r) {
    for (int i = 0; i < n; i += 8) _mm256_storeu_ps(r + i, F(_mm256_loadu_ps(a + i), _mm256_loadu_ps(b + i)));
}
template <__m256d (*F)(__m256d, __m256d)> void peerx_d(int n, const double* a, double b, double* r) {
    const __m256d y = _mm256_set1_pd(b);
    for (int i = 0; i < n; i += 4) _mm256_storeu_pd(r + i, F(_mm256_loadu_pd(a + i), y));
}
template <__m256 (*F)(__m256, __m256)> void peerx_s(int n, const float* a, float b, float* r) {
    const __m256 y = _mm256_set1_ps(b);
    for (int i = 0; i < n; i += 8) _mm256_storeu_ps(r + i, F(_mm256_loadu_ps(a + i), y));
}
template <class T> Domain pow_base() { return {Dist::LogUniform, sizeof(T) == 4 ? 0.1 : 0.01, sizeof(T) == 4 ? 10.0 : 100.0}; }
template <class T> void run2(benchmark::State& st, Binary<T> f) {
    const std::size_t n = std::size_t(st.range(0));
    const Domain s = pow_base<T>();
    const std::vector<T> a = inputs<T>(n, s.d, s.lo, s.hi, 1), b = inputs<T>(n, Dist::Uniform, -30, 30, 2);
    std::vector<T> r(n);
    for (auto _ : st) {
        f(int(n), a.data(), b.data(), r.data());
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * long(n));
}
template <class T> void runx(benchmark::State& st, Scalar<T> f) {
    const std::size_t n = std::size_t(st.range(0));
    const Domain s = pow_base<T>();
    const std::vector<T> a = inputs<T>(n, s.d, s.lo, s.hi, 1);
    std::vector<T> r(n);
    for (auto _ : st) {
        f(int(n), a.data(), T(2.5), r.data());
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * long(n));
}

template <class F, class... A> void reg(const std::string& name, F run, A... args) {
    benchmark::RegisterBenchmark(name.c_str(), run, args...)->Arg(1024)->Arg(8192)->Arg(16 << 20)->Unit(benchmark::kMicrosecond);
}

__m256d sleef_expm1(__m256d x) { return Sleef_expm1d4_u10avx2(x); }
__m256d sleef_log10(__m256d x) { return Sleef_log10d4_u10avx2(x); }
__m256d sleef_log1p(__m256d x) { return Sleef_log1pd4_u10avx2(x); }
__m256d sleef_pow(__m256d x, __m256d y) { return Sleef_powd4_u10avx2(x, y); }
__m256 sleef_expm1f(__m256 x) { return Sleef_expm1f8_u10avx2(x); }
__m256 sleef_log10f(__m256 x) { return Sleef_log10f8_u10avx2(x); }
__m256 sleef_log1pf(__m256 x) { return Sleef_log1pf8_u10avx2(x); }
__m256 sleef_powf(__m256 x, __m256 y) { return Sleef_powf8_u10avx2(x, y); }

const bool kRegistered = [] {
    // ---- double ----
    const Domain expm1_d{Dist::Uniform, -10, 10}, log10_d{Dist::LogUniform, 1e-300, 1e300}, log1p_d{Dist::ExpMinusOne, -20, 20};
    reg("dExpm1/vexa_HA", run1<double>, vexa_arx_kernel_dExpm1_S9HAynn, expm1_d);
    reg("dExpm1/vexa_LA", run1<double>, vexa_arx_kernel_dExpm1_S9LAynn, expm1_d);
    reg("dExpm1/vexa_EP", run1<double>, vexa_arx_kernel_dExpm1_S9EPnnn, expm1_d);
    reg("dExpm1/sleef_u10", run1<double>, peer_d<sleef_expm1>, expm1_d);
    reg("dExpm1/libmvec", run1<double>, peer_d<_ZGVdN4v_expm1>, expm1_d);
    reg("dLog10/vexa_HA", run1<double>, vexa_arx_kernel_dLog10_S9HAynn, log10_d);
    reg("dLog10/vexa_LA", run1<double>, vexa_arx_kernel_dLog10_S9LAynn, log10_d);
    reg("dLog10/vexa_EP", run1<double>, vexa_arx_kernel_dLog10_S9EPnnn, log10_d);
    reg("dLog10/sleef_u10", run1<double>, peer_d<sleef_log10>, log10_d);
    reg("dLog10/libmvec", run1<double>, peer_d<_ZGVdN4v_log10>, log10_d);
    reg("dLog1p/vexa_HA", run1<double>, vexa_arx_kernel_dLog1p_S9HAynn, log1p_d);
    reg("dLog1p/vexa_LA", run1<double>, vexa_arx_kernel_dLog1p_S9LAynn, log1p_d);
    reg("dLog1p/vexa_EP", run1<double>, vexa_arx_kernel_dLog1p_S9EPnnn, log1p_d);
    reg("dLog1p/sleef_u10", run1<double>, peer_d<sleef_log1p>, log1p_d);
    reg("dLog1p/libmvec", run1<double>, peer_d<_ZGVdN4v_log1p>, log1p_d);
    reg("dPow/vexa_HA", run2<double>, vexa_arx_kernel_dPow_S9HAynn);
    reg("dPow/vexa_LA", run2<double>, vexa_arx_kernel_dPow_S9LAynn);
    reg("dPow/vexa_EP", run2<double>, vexa_arx_kernel_dPow_S9EPnnn);
    reg("dPow/sleef_u10", run2<double>, peer2_d<sleef_pow>);
    reg("dPow/libmvec", run2<double>, peer2_d<_ZGVdN4vv_pow>);
    reg("dPowx/vexa_HA", runx<double>, vexa_arx_kernel_dPowx_S9HAynn);
    reg("dPowx/vexa_LA", runx<double>, vexa_arx_kernel_dPowx_S9LAynn);
    reg("dPowx/vexa_EP", runx<double>, vexa_arx_kernel_dPowx_S9EPnnn);
    reg("dPowx/sleef_u10", runx<double>, peerx_d<sleef_pow>);
    reg("dPowx/libmvec", runx<double>, peerx_d<_ZGVdN4vv_pow>);
    // ---- float ----
    const Domain expm1_s{Dist::Uniform, -10, 10}, log10_s{Dist::LogUniform, 1e-37, 1e37}, log1p_s{Dist::ExpMinusOne, -15, 15};
    reg("sExpm1/vexa_HA", run1<float>, vexa_arx_kernel_sExpm1_S9HAynn, expm1_s);
    reg("sExpm1/vexa_LA", run1<float>, vexa_arx_kernel_sExpm1_S9LAynn, expm1_s);
    reg("sExpm1/vexa_EP", run1<float>, vexa_arx_kernel_sExpm1_S9EPnnn, expm1_s);
    reg("sExpm1/sleef_u10", run1<float>, peer_s<sleef_expm1f>, expm1_s);
    reg("sExpm1/libmvec", run1<float>, peer_s<_ZGVdN8v_expm1f>, expm1_s);
    reg("sLog10/vexa_HA", run1<float>, vexa_arx_kernel_sLog10_S9HAynn, log10_s);
    reg("sLog10/vexa_LA", run1<float>, vexa_arx_kernel_sLog10_S9LAynn, log10_s);
    reg("sLog10/vexa_EP", run1<float>, vexa_arx_kernel_sLog10_S9EPnnn, log10_s);
    reg("sLog10/sleef_u10", run1<float>, peer_s<sleef_log10f>, log10_s);
    reg("sLog10/libmvec", run1<float>, peer_s<_ZGVdN8v_log10f>, log10_s);
    reg("sLog1p/vexa_HA", run1<float>, vexa_arx_kernel_sLog1p_S9HAynn, log1p_s);
    reg("sLog1p/vexa_LA", run1<float>, vexa_arx_kernel_sLog1p_S9LAynn, log1p_s);
    reg("sLog1p/vexa_EP", run1<float>, vexa_arx_kernel_sLog1p_S9EPnnn, log1p_s);
    reg("sLog1p/sleef_u10", run1<float>, peer_s<sleef_log1pf>, log1p_s);
    reg("sLog1p/libmvec", run1<float>, peer_s<_ZGVdN8v_log1pf>, log1p_s);
    reg("sPow/vexa_HA", run2<float>, vexa_arx_kernel_sPow_S9HAynn);
    reg("sPow/vexa_EP", run2<float>, vexa_arx_kernel_sPow_S9EPnnn);
    reg("sPow/sleef_u10", run2<float>, peer2_s<sleef_powf>);
    reg("sPow/libmvec", run2<float>, peer2_s<_ZGVdN8vv_powf>);
    reg("sPowx/vexa_HA", runx<float>, vexa_arx_kernel_sPowx_S9HAynn);
    reg("sPowx/vexa_LA", runx<float>, vexa_arx_kernel_sPowx_S9LAynn);
    reg("sPowx/vexa_EP", runx<float>, vexa_arx_kernel_sPowx_S9EPnnn);
    reg("sPowx/sleef_u10", runx<float>, peerx_s<sleef_powf>);
    reg("sPowx/libmvec", runx<float>, peerx_s<_ZGVdN8vv_powf>);
    return true;
}();

}  // namespace
