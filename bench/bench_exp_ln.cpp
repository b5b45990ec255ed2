// Exp and Ln kernels against SLEEF (u10 and u35), glibc's libmvec and a
// scalar libm loop, on the same inputs spread over the fast-path domain, for
// arrays of 1024 and 8192 elements (in cache) and 16M elements (streamed).
// Compare times within one run: the ratios are what the figures mean.
#include <benchmark/benchmark.h>
#include <immintrin.h>
#include <sleef.h>

#include <cmath>
#include <string>
#include <vector>

#include "vexa/vector_math.h"

extern "C" {
__m256d _ZGVdN4v_exp(__m256d);
__m256d _ZGVdN4v_log(__m256d);
__m256 _ZGVdN8v_expf(__m256);
__m256 _ZGVdN8v_logf(__m256);
}

namespace {

template <class T> using ArrayFn = void (*)(int, const T*, T*);

// A peer's register function applied to a whole array (n a multiple of 8).
template <__m256d (*F)(__m256d)> void peer_d(int n, const double* a, double* r) {
    for (int i = 0; i < n; i += 4) _mm256_storeu_pd(r + i, F(_mm256_loadu_pd(a + i)));
}
template <__m256 (*F)(__m256)> void peer_s(int n, const float* a, float* r) {
    for (int i = 0; i < n; i += 8) _mm256_storeu_ps(r + i, F(_mm256_loadu_ps(a + i)));
}
template <class T, T (*F)(T)> void scalar_loop(int n, const T* a, T* r) {
    for (int i = 0; i < n; ++i) r[i] = F(a[i]);
}

__m256d sleef_exp_u10(__m256d x) { return Sleef_expd4_u10avx2(x); }
__m256d sleef_log_u10(__m256d x) { return Sleef_logd4_u10avx2(x); }
__m256d sleef_log_u35(__m256d x) { return Sleef_logd4_u35avx2(x); }
__m256 sleef_expf_u10(__m256 x) { return Sleef_expf8_u10avx2(x); }
__m256 sleef_logf_u10(__m256 x) { return Sleef_logf8_u10avx2(x); }
__m256 sleef_logf_u35(__m256 x) { return Sleef_logf8_u35avx2(x); }
double libm_exp(double x) { return std::exp(x); }
double libm_log(double x) { return std::log(x); }
float libm_expf(float x) { return std::exp(x); }
float libm_logf(float x) { return std::log(x); }

// Inputs: uniform on [lo, hi] for Exp, log-uniform on [lo, hi] for Ln.
template <class T> std::vector<T> inputs(std::size_t n, bool log_uniform, double lo, double hi) {
    std::vector<T> v(n);
    uint64_t s = 0x12345678;
    for (std::size_t i = 0; i < n; ++i) {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        const double u = double(s >> 11) * 0x1p-53;
        v[i] = T(log_uniform ? std::exp(std::log(lo) + u * (std::log(hi) - std::log(lo))) : lo + u * (hi - lo));
    }
    return v;
}

template <class T> void run(benchmark::State& st, ArrayFn<T> f, bool log_uniform, double lo, double hi) {
    const std::size_t n = std::size_t(st.range(0));
    const std::vector<T> a = inputs<T>(n, log_uniform, lo, hi);
    std::vector<T> r(n);
    for (auto _ : st) {
        f(int(n), a.data(), r.data());
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * long(n));
}

template <class T> void add(const std::string& name, ArrayFn<T> f, bool log_uniform, double lo, double hi) {
    benchmark::RegisterBenchmark(name.c_str(), run<T>, f, log_uniform, lo, hi)
        ->Arg(1024)
        ->Arg(8192)
        ->Arg(16 << 20)
        ->Unit(benchmark::kMicrosecond);
}

const bool kRegistered = [] {
    // dExp on the fast path |x| <= 708
    add<double>("dExp/vexa_HA", vexa_arx_kernel_dExp_S9HAynn, false, -700, 700);
    add<double>("dExp/vexa_LA", vexa_arx_kernel_dExp_S9LAynn, false, -700, 700);
    add<double>("dExp/sleef_u10", peer_d<sleef_exp_u10>, false, -700, 700);
    add<double>("dExp/libmvec", peer_d<_ZGVdN4v_exp>, false, -700, 700);
    add<double>("dExp/libm", scalar_loop<double, libm_exp>, false, -700, 700);
    // dLn on positive normal numbers
    add<double>("dLn/vexa_HA", vexa_arx_kernel_dLn_S9HAynn, true, 1e-300, 1e300);
    add<double>("dLn/vexa_LA", vexa_arx_kernel_dLn_S9LAynn, true, 1e-300, 1e300);
    add<double>("dLn/vexa_EP", vexa_arx_kernel_dLn_S9EPnnn, true, 1e-300, 1e300);
    add<double>("dLn/sleef_u10", peer_d<sleef_log_u10>, true, 1e-300, 1e300);
    add<double>("dLn/sleef_u35", peer_d<sleef_log_u35>, true, 1e-300, 1e300);
    add<double>("dLn/libmvec", peer_d<_ZGVdN4v_log>, true, 1e-300, 1e300);
    add<double>("dLn/libm", scalar_loop<double, libm_log>, true, 1e-300, 1e300);
    // sExp on |x| <= 87
    add<float>("sExp/vexa_HA", vexa_arx_kernel_sExp_S9HAynn, false, -87, 87);
    add<float>("sExp/vexa_LA", vexa_arx_kernel_sExp_S9LAynn, false, -87, 87);
    add<float>("sExp/vexa_EP", vexa_arx_kernel_sExp_S9EPnnn, false, -87, 87);
    add<float>("sExp/sleef_u10", peer_s<sleef_expf_u10>, false, -87, 87);
    add<float>("sExp/libmvec", peer_s<_ZGVdN8v_expf>, false, -87, 87);
    add<float>("sExp/libm", scalar_loop<float, libm_expf>, false, -87, 87);
    // sLn on positive normal numbers
    add<float>("sLn/vexa_HA", vexa_arx_kernel_sLn_S9HAynn, true, 1e-37, 1e37);
    add<float>("sLn/vexa_LA", vexa_arx_kernel_sLn_S9LAynn, true, 1e-37, 1e37);
    add<float>("sLn/vexa_EP", vexa_arx_kernel_sLn_S9EPnnn, true, 1e-37, 1e37);
    add<float>("sLn/sleef_u10", peer_s<sleef_logf_u10>, true, 1e-37, 1e37);
    add<float>("sLn/sleef_u35", peer_s<sleef_logf_u35>, true, 1e-37, 1e37);
    add<float>("sLn/libmvec", peer_s<_ZGVdN8v_logf>, true, 1e-37, 1e37);
    add<float>("sLn/libm", scalar_loop<float, libm_logf>, true, 1e-37, 1e37);
    return true;
}();

}  // namespace
