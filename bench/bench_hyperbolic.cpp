// The hyperbolic family against SLEEF (u10, and u35 where it has one) and
// glibc's libmvec on the same inputs, for arrays of 1024 and 8192 elements
// (in cache) and 16M (streamed): Sinh, Cosh, Tanh and Asinh on x uniform in
// [-10, 10], Acosh on [1, 100], Atanh on [-1, 1].
// Compare times within one run: the ratios are what the figures mean.
#include <benchmark/benchmark.h>
#include <immintrin.h>
#include <sleef.h>

#include <random>
#include <string>
#include <vector>

#include "vexa/vector_math.h"

extern "C" {
__m256d _ZGVdN4v_sinh(__m256d);
__m256d _ZGVdN4v_cosh(__m256d);
__m256d _ZGVdN4v_tanh(__m256d);
__m256d _ZGVdN4v_asinh(__m256d);
__m256d _ZGVdN4v_acosh(__m256d);
__m256d _ZGVdN4v_atanh(__m256d);
__m256 _ZGVdN8v_sinhf(__m256);
__m256 _ZGVdN8v_coshf(__m256);
__m256 _ZGVdN8v_tanhf(__m256);
__m256 _ZGVdN8v_asinhf(__m256);
__m256 _ZGVdN8v_acoshf(__m256);
__m256 _ZGVdN8v_atanhf(__m256);
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

template <class V, V (*F)(V)> void peer_d(int n, const double* a, double* r) {
    for (int i = 0; i < n; i += 4) _mm256_storeu_pd(r + i, F(_mm256_loadu_pd(a + i)));
}
template <class V, V (*F)(V)> void peer_s(int n, const float* a, float* r) {
    for (int i = 0; i < n; i += 8) _mm256_storeu_ps(r + i, F(_mm256_loadu_ps(a + i)));
}

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

// The three slots of a catalogue function through its entry table.
template <class T, class K> void reg_slots(const std::string& fn, const K* ttab, double lo, double hi) {
    const char* who[3] = {"vexa_LA", "vexa_HA", "vexa_EP"};
    for (int s = 0; s < 3; ++s) reg(fn + "/" + who[s], run1<T>, ttab[s], lo, hi);
}

// SLEEF's vector types carry attributes its declarations do not match as
// template arguments: plain wrappers.
#define SLEEF(g)                                                                 \
    __m256d sleef_##g##_u10(__m256d x) { return Sleef_##g##d4_u10avx2(x); }      \
    __m256 sleef_##g##f_u10(__m256 x) { return Sleef_##g##f8_u10avx2(x); }
#define SLEEF35(g)                                                               \
    __m256d sleef_##g##_u35(__m256d x) { return Sleef_##g##d4_u35avx2(x); }      \
    __m256 sleef_##g##f_u35(__m256 x) { return Sleef_##g##f8_u35avx2(x); }
SLEEF(sinh) SLEEF(cosh) SLEEF(tanh) SLEEF(asinh) SLEEF(acosh) SLEEF(atanh)
SLEEF35(sinh) SLEEF35(cosh) SLEEF35(tanh)

#define ROW(F, g, lo, hi)                                                                         \
    reg_slots<double>("d" #F, vexa_arx_kernel_d##F##_ttab, lo, hi);                               \
    reg("d" #F "/sleef_u10", run1<double>, peer_d<__m256d, sleef_##g##_u10>, lo, hi);       \
    reg("d" #F "/libmvec", run1<double>, peer_d<__m256d, _ZGVdN4v_##g>, lo, hi);                  \
    reg_slots<float>("s" #F, vexa_arx_kernel_s##F##_ttab, lo, hi);                                \
    reg("s" #F "/sleef_u10", run1<float>, peer_s<__m256, sleef_##g##f_u10>, lo, hi);         \
    reg("s" #F "/libmvec", run1<float>, peer_s<__m256, _ZGVdN8v_##g##f>, lo, hi);
#define U35(F, g, lo, hi)                                                                         \
    reg("d" #F "/sleef_u35", run1<double>, peer_d<__m256d, sleef_##g##_u35>, lo, hi);       \
    reg("s" #F "/sleef_u35", run1<float>, peer_s<__m256, sleef_##g##f_u35>, lo, hi);

const bool kRegistered = [] {
    ROW(Sinh, sinh, -10.0, 10.0)
    U35(Sinh, sinh, -10.0, 10.0)
    ROW(Cosh, cosh, -10.0, 10.0)
    U35(Cosh, cosh, -10.0, 10.0)
    ROW(Tanh, tanh, -10.0, 10.0)
    U35(Tanh, tanh, -10.0, 10.0)
    ROW(Asinh, asinh, -10.0, 10.0)
    ROW(Acosh, acosh, 1.0, 100.0)
    ROW(Atanh, atanh, -1.0, 1.0)
    return true;
}();

}  // namespace
