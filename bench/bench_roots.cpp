// The root family and Hypot against SLEEF (u10, u05 for hypot, pow u10 with
// the constant exponent for Pow2o3, Pow3o2 and InvCbrt) and glibc's libmvec
// (cbrt, hypot, pow), on the same inputs, for 1024 and 8192 elements (in
// cache) and 16M (streamed). Ratios within one run are what the figures mean.
#include <benchmark/benchmark.h>
#include <immintrin.h>
#include <sleef.h>

#include <cmath>
#include <string>
#include <vector>

#include "vexa/vector_math.h"

extern "C" {
__m256d _ZGVdN4v_cbrt(__m256d);
__m256 _ZGVdN8v_cbrtf(__m256);
__m256d _ZGVdN4vv_hypot(__m256d, __m256d);
__m256 _ZGVdN8vv_hypotf(__m256, __m256);
__m256d _ZGVdN4vv_pow(__m256d, __m256d);
__m256 _ZGVdN8vv_powf(__m256, __m256);
}

namespace {

template <class T> using Fn1 = void (*)(int, const T*, T*);
template <class T> using Fn2 = void (*)(int, const T*, const T*, T*);

template <__m256d (*F)(__m256d)> void peer_d(int n, const double* a, double* r) {
    for (int i = 0; i < n; i += 4) _mm256_storeu_pd(r + i, F(_mm256_loadu_pd(a + i)));
}
template <__m256 (*F)(__m256)> void peer_s(int n, const float* a, float* r) {
    for (int i = 0; i < n; i += 8) _mm256_storeu_ps(r + i, F(_mm256_loadu_ps(a + i)));
}
template <__m256d (*F)(__m256d, __m256d)> void peer_d2(int n, const double* a, const double* b, double* r) {
    for (int i = 0; i < n; i += 4) _mm256_storeu_pd(r + i, F(_mm256_loadu_pd(a + i), _mm256_loadu_pd(b + i)));
}
template <__m256 (*F)(__m256, __m256)> void peer_s2(int n, const float* a, const float* b, float* r) {
    for (int i = 0; i < n; i += 8) _mm256_storeu_ps(r + i, F(_mm256_loadu_ps(a + i), _mm256_loadu_ps(b + i)));
}
// x^c for a constant c through a two-argument pow.
template <__m256d (*P)(__m256d, __m256d), int Num, int Den> __m256d pow_const_d(__m256d x) {
    return P(x, _mm256_set1_pd(double(Num) / Den));
}
template <__m256 (*P)(__m256, __m256), int Num, int Den> __m256 pow_const_s(__m256 x) {
    return P(x, _mm256_set1_ps(float(Num) / Den));
}

template <class T> std::vector<T> inputs(std::size_t n, uint64_t seed) {  // log-uniform on [1e-30, 1e30]
    std::vector<T> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        v[i] = T(std::exp(-69.0 + double(seed >> 11) * 0x1p-53 * 138.0));
    }
    return v;
}

template <class T> void run1(benchmark::State& st, Fn1<T> f) {
    const std::size_t n = std::size_t(st.range(0));
    const std::vector<T> a = inputs<T>(n, 1);
    std::vector<T> r(n);
    for (auto _ : st) {
        f(int(n), a.data(), r.data());
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * long(n));
}
template <class T> void run2(benchmark::State& st, Fn2<T> f) {
    const std::size_t n = std::size_t(st.range(0));
    const std::vector<T> a = inputs<T>(n, 1), b = inputs<T>(n, 2);
    std::vector<T> r(n);
    for (auto _ : st) {
        f(int(n), a.data(), b.data(), r.data());
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * long(n));
}
template <class T> void add1(const std::string& name, Fn1<T> f) {
    benchmark::RegisterBenchmark(name.c_str(), run1<T>, f)->Arg(1024)->Arg(8192)->Arg(16 << 20)->Unit(benchmark::kMicrosecond);
}
template <class T> void add2(const std::string& name, Fn2<T> f) {
    benchmark::RegisterBenchmark(name.c_str(), run2<T>, f)->Arg(1024)->Arg(8192)->Arg(16 << 20)->Unit(benchmark::kMicrosecond);
}

__m256d sleef_cbrt(__m256d x) { return Sleef_cbrtd4_u10avx2(x); }
__m256 sleef_cbrtf(__m256 x) { return Sleef_cbrtf8_u10avx2(x); }
__m256d sleef_hypot(__m256d x, __m256d y) { return Sleef_hypotd4_u05avx2(x, y); }
__m256 sleef_hypotf(__m256 x, __m256 y) { return Sleef_hypotf8_u05avx2(x, y); }
__m256d sleef_pow(__m256d x, __m256d y) { return Sleef_powd4_u10avx2(x, y); }
__m256 sleef_powf(__m256 x, __m256 y) { return Sleef_powf8_u10avx2(x, y); }

#define VEXA3(t, T, F)                                                            \
    add1<T>(#t #F "/vexa_HA", vexa_arx_kernel_##t##F##_ttab[1]);                  \
    add1<T>(#t #F "/vexa_LA", vexa_arx_kernel_##t##F##_ttab[0]);                  \
    add1<T>(#t #F "/vexa_EP", vexa_arx_kernel_##t##F##_ttab[2]);

const bool kRegistered = [] {
    VEXA3(d, double, Cbrt)
    add1<double>("dCbrt/sleef_u10", peer_d<sleef_cbrt>);
    add1<double>("dCbrt/libmvec", peer_d<_ZGVdN4v_cbrt>);
    VEXA3(s, float, Cbrt)
    add1<float>("sCbrt/sleef_u10", peer_s<sleef_cbrtf>);
    add1<float>("sCbrt/libmvec", peer_s<_ZGVdN8v_cbrtf>);
    VEXA3(d, double, InvCbrt)
    add1<double>("dInvCbrt/sleef_pow_u10", peer_d<pow_const_d<sleef_pow, -1, 3>>);
    add1<double>("dInvCbrt/libmvec_pow", peer_d<pow_const_d<_ZGVdN4vv_pow, -1, 3>>);
    VEXA3(s, float, InvCbrt)
    add1<float>("sInvCbrt/sleef_pow_u10", peer_s<pow_const_s<sleef_powf, -1, 3>>);
    add1<float>("sInvCbrt/libmvec_pow", peer_s<pow_const_s<_ZGVdN8vv_powf, -1, 3>>);
    VEXA3(d, double, Pow2o3)
    add1<double>("dPow2o3/sleef_pow_u10", peer_d<pow_const_d<sleef_pow, 2, 3>>);
    add1<double>("dPow2o3/libmvec_pow", peer_d<pow_const_d<_ZGVdN4vv_pow, 2, 3>>);
    VEXA3(s, float, Pow2o3)
    add1<float>("sPow2o3/sleef_pow_u10", peer_s<pow_const_s<sleef_powf, 2, 3>>);
    add1<float>("sPow2o3/libmvec_pow", peer_s<pow_const_s<_ZGVdN8vv_powf, 2, 3>>);
    VEXA3(d, double, Pow3o2)
    add1<double>("dPow3o2/sleef_pow_u10", peer_d<pow_const_d<sleef_pow, 3, 2>>);
    add1<double>("dPow3o2/libmvec_pow", peer_d<pow_const_d<_ZGVdN4vv_pow, 3, 2>>);
    VEXA3(s, float, Pow3o2)
    add1<float>("sPow3o2/sleef_pow_u10", peer_s<pow_const_s<sleef_powf, 3, 2>>);
    add1<float>("sPow3o2/libmvec_pow", peer_s<pow_const_s<_ZGVdN8vv_powf, 3, 2>>);
    add2<double>("dHypot/vexa_HA", vexa_arx_kernel_dHypot_ttab[1]);
    add2<double>("dHypot/vexa_LA", vexa_arx_kernel_dHypot_ttab[0]);
    add2<double>("dHypot/sleef_u05", peer_d2<sleef_hypot>);
    add2<double>("dHypot/libmvec", peer_d2<_ZGVdN4vv_hypot>);
    add2<float>("sHypot/vexa_HA", vexa_arx_kernel_sHypot_ttab[1]);
    add2<float>("sHypot/sleef_u05", peer_s2<sleef_hypotf>);
    add2<float>("sHypot/libmvec", peer_s2<_ZGVdN8vv_hypotf>);
    return true;
}();

}  // namespace
