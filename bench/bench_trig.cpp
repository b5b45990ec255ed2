// The trigonometric family against SLEEF (u10 and u35) and glibc's libmvec on
// the same inputs, for arrays of 1024 and 8192 elements (in cache) and 16M
// (streamed). Sin, Cos, SinCos and Tan on x uniform in [-10, 10] (names
// ending _10) and in [-1e5, 1e5] (_1e5); Asin and Acos on [-1, 1]; Atan on
// [-10, 10]; Atan2 with both arguments uniform in [-10, 10].
// Compare times within one run: the ratios are what the figures mean.
#include <benchmark/benchmark.h>
#include <immintrin.h>
#include <sleef.h>

#include <random>
#include <string>
#include <vector>

#include "vexa/vector_math.h"

extern "C" {
__m256d _ZGVdN4v_sin(__m256d);
__m256d _ZGVdN4v_cos(__m256d);
__m256d _ZGVdN4v_tan(__m256d);
__m256d _ZGVdN4v_asin(__m256d);
__m256d _ZGVdN4v_acos(__m256d);
__m256d _ZGVdN4v_atan(__m256d);
__m256d _ZGVdN4vv_atan2(__m256d, __m256d);
void _ZGVdN4vvv_sincos(__m256d, __m256i, __m256i);
__m256 _ZGVdN8v_sinf(__m256);
__m256 _ZGVdN8v_cosf(__m256);
__m256 _ZGVdN8v_tanf(__m256);
__m256 _ZGVdN8v_asinf(__m256);
__m256 _ZGVdN8v_acosf(__m256);
__m256 _ZGVdN8v_atanf(__m256);
__m256 _ZGVdN8vv_atan2f(__m256, __m256);
}

namespace {

template <class T> std::vector<T> uniform(std::size_t n, double lo, double hi, unsigned seed) {
    std::mt19937_64 g(seed);
    std::uniform_real_distribution<double> u(lo, hi);
    std::vector<T> v(n);
    for (auto& x : v) x = T(u(g));
    return v;
}

template <class T> using Unary = void (*)(int, const T*, T*);
template <class T> using Binary = void (*)(int, const T*, const T*, T*);
template <class T> using Pair = void (*)(int, const T*, T*, T*);

template <class V> struct Lanes;
template <> struct Lanes<__m256d> {
    using T = double;
    static constexpr int n = 4;
    static __m256d load(const double* p) { return _mm256_loadu_pd(p); }
    static void store(double* p, __m256d v) { _mm256_storeu_pd(p, v); }
};
template <> struct Lanes<__m256> {
    using T = float;
    static constexpr int n = 8;
    static __m256 load(const float* p) { return _mm256_loadu_ps(p); }
    static void store(float* p, __m256 v) { _mm256_storeu_ps(p, v); }
};
template <class V, V (*F)(V)> void peer1(int n, const typename Lanes<V>::T* a, typename Lanes<V>::T* r) {
    for (int i = 0; i < n; i += Lanes<V>::n) Lanes<V>::store(r + i, F(Lanes<V>::load(a + i)));
}
template <class V, V (*F)(V, V)>
void peer2(int n, const typename Lanes<V>::T* a, const typename Lanes<V>::T* b, typename Lanes<V>::T* r) {
    for (int i = 0; i < n; i += Lanes<V>::n) Lanes<V>::store(r + i, F(Lanes<V>::load(a + i), Lanes<V>::load(b + i)));
}

// SinCos peers: SLEEF returns both in a struct; libmvec's double variant
// writes through a vector of pointers, one per lane.
#define SLEEF_SINCOS(name, call, T, V, load, store, L)           \
    void name(int n, const T* a, T* s, T* c) {                     \
        for (int i = 0; i < n; i += L) {                           \
            const auto r = call(load(a + i));                      \
            store(s + i, r.x), store(c + i, r.y);                  \
        }                                                          \
    }
SLEEF_SINCOS(sleef_sincos_d10, Sleef_sincosd4_u10avx2, double, __m256d, _mm256_loadu_pd, _mm256_storeu_pd, 4)
SLEEF_SINCOS(sleef_sincos_d35, Sleef_sincosd4_u35avx2, double, __m256d, _mm256_loadu_pd, _mm256_storeu_pd, 4)
SLEEF_SINCOS(sleef_sincos_s10, Sleef_sincosf8_u10avx2, float, __m256, _mm256_loadu_ps, _mm256_storeu_ps, 8)
SLEEF_SINCOS(sleef_sincos_s35, Sleef_sincosf8_u35avx2, float, __m256, _mm256_loadu_ps, _mm256_storeu_ps, 8)
void mvec_sincos_d(int n, const double* a, double* s, double* c) {
    const __m256i step = _mm256_set_epi64x(24, 16, 8, 0);
    for (int i = 0; i < n; i += 4) {
        const __m256i ps = _mm256_add_epi64(_mm256_set1_epi64x(reinterpret_cast<long long>(s + i)), step);
        const __m256i pc = _mm256_add_epi64(_mm256_set1_epi64x(reinterpret_cast<long long>(c + i)), step);
        _ZGVdN4vvv_sincos(_mm256_loadu_pd(a + i), ps, pc);
    }
}

template <class T> void run1(benchmark::State& st, Unary<T> f, double lo, double hi) {
    const std::size_t n = std::size_t(st.range(0));
    const std::vector<T> a = uniform<T>(n, lo, hi, 1);
    std::vector<T> r(n);
    for (auto _ : st) {
        f(int(n), a.data(), r.data());
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * long(n));
}
template <class T> void run2(benchmark::State& st, Binary<T> f) {
    const std::size_t n = std::size_t(st.range(0));
    const std::vector<T> a = uniform<T>(n, -10, 10, 1), b = uniform<T>(n, -10, 10, 2);
    std::vector<T> r(n);
    for (auto _ : st) {
        f(int(n), a.data(), b.data(), r.data());
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * long(n));
}
template <class T> void run_pair(benchmark::State& st, Pair<T> f, double lo, double hi) {
    const std::size_t n = std::size_t(st.range(0));
    const std::vector<T> a = uniform<T>(n, lo, hi, 1);
    std::vector<T> r1(n), r2(n);
    for (auto _ : st) {
        f(int(n), a.data(), r1.data(), r2.data());
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * long(n));
}

template <class F, class... A> void reg(const std::string& name, F run, A... args) {
    benchmark::RegisterBenchmark(name.c_str(), run, args...)->Arg(1024)->Arg(8192)->Arg(16 << 20)->Unit(benchmark::kMicrosecond);
}

// The three slots of a catalogue function through its entry table.
template <class T, class K> void reg_slots(const std::string& fn, const K* ttab, auto run, auto... args) {
    const char* who[3] = {"vexa_LA", "vexa_HA", "vexa_EP"};
    for (int s = 0; s < 3; ++s) reg(fn + "/" + who[s], run, ttab[s], args...);
}

#define SLEEF_D(f) \
    __m256d sleef_##f##_u10(__m256d x) { return Sleef_##f##d4_u10avx2(x); } \
    __m256d sleef_##f##_u35(__m256d x) { return Sleef_##f##d4_u35avx2(x); } \
    __m256 sleef_##f##f_u10(__m256 x) { return Sleef_##f##f8_u10avx2(x); } \
    __m256 sleef_##f##f_u35(__m256 x) { return Sleef_##f##f8_u35avx2(x); }
SLEEF_D(sin)
SLEEF_D(cos)
SLEEF_D(tan)
SLEEF_D(asin)
SLEEF_D(acos)
SLEEF_D(atan)
__m256d sleef_atan2_u10(__m256d y, __m256d x) { return Sleef_atan2d4_u10avx2(y, x); }
__m256d sleef_atan2_u35(__m256d y, __m256d x) { return Sleef_atan2d4_u35avx2(y, x); }
__m256 sleef_atan2f_u10(__m256 y, __m256 x) { return Sleef_atan2f8_u10avx2(y, x); }
__m256 sleef_atan2f_u35(__m256 y, __m256 x) { return Sleef_atan2f8_u35avx2(y, x); }

#define UNARY_ROW(F, g, lo, hi, tag)                                                                   \
    reg_slots<double>("d" #F tag, vexa_arx_kernel_d##F##_ttab, run1<double>, lo, hi);                  \
    reg("d" #F tag "/sleef_u10", run1<double>, peer1<__m256d, sleef_##g##_u10>, lo, hi);               \
    reg("d" #F tag "/sleef_u35", run1<double>, peer1<__m256d, sleef_##g##_u35>, lo, hi);               \
    reg("d" #F tag "/libmvec", run1<double>, peer1<__m256d, _ZGVdN4v_##g>, lo, hi);                    \
    reg_slots<float>("s" #F tag, vexa_arx_kernel_s##F##_ttab, run1<float>, lo, hi);                    \
    reg("s" #F tag "/sleef_u10", run1<float>, peer1<__m256, sleef_##g##f_u10>, lo, hi);                \
    reg("s" #F tag "/sleef_u35", run1<float>, peer1<__m256, sleef_##g##f_u35>, lo, hi);                \
    reg("s" #F tag "/libmvec", run1<float>, peer1<__m256, _ZGVdN8v_##g##f>, lo, hi);

const bool kRegistered = [] {
    for (const double range : {10.0, 1e5}) {
        const std::string tag = range == 10.0 ? "_10" : "_1e5";
        const double lo = -range, hi = range;
#define PERIODIC_ROW(F, g)                                                                                   \
    reg_slots<double>("d" #F + tag, vexa_arx_kernel_d##F##_ttab, run1<double>, lo, hi);                     \
    reg("d" #F + tag + "/sleef_u10", run1<double>, peer1<__m256d, sleef_##g##_u10>, lo, hi);               \
    reg("d" #F + tag + "/sleef_u35", run1<double>, peer1<__m256d, sleef_##g##_u35>, lo, hi);               \
    reg("d" #F + tag + "/libmvec", run1<double>, peer1<__m256d, _ZGVdN4v_##g>, lo, hi);                    \
    reg_slots<float>("s" #F + tag, vexa_arx_kernel_s##F##_ttab, run1<float>, lo, hi);                       \
    reg("s" #F + tag + "/sleef_u10", run1<float>, peer1<__m256, sleef_##g##f_u10>, lo, hi);                \
    reg("s" #F + tag + "/sleef_u35", run1<float>, peer1<__m256, sleef_##g##f_u35>, lo, hi);                \
    reg("s" #F + tag + "/libmvec", run1<float>, peer1<__m256, _ZGVdN8v_##g##f>, lo, hi);
        PERIODIC_ROW(Sin, sin)
        PERIODIC_ROW(Cos, cos)
        PERIODIC_ROW(Tan, tan)
        reg_slots<double>("dSinCos" + tag, vexa_arx_kernel_dSinCos_ttab, run_pair<double>, lo, hi);
        reg("dSinCos" + tag + "/sleef_u10", run_pair<double>, sleef_sincos_d10, lo, hi);
        reg("dSinCos" + tag + "/sleef_u35", run_pair<double>, sleef_sincos_d35, lo, hi);
        reg("dSinCos" + tag + "/libmvec", run_pair<double>, mvec_sincos_d, lo, hi);
        reg_slots<float>("sSinCos" + tag, vexa_arx_kernel_sSinCos_ttab, run_pair<float>, lo, hi);
        reg("sSinCos" + tag + "/sleef_u10", run_pair<float>, sleef_sincos_s10, lo, hi);
        reg("sSinCos" + tag + "/sleef_u35", run_pair<float>, sleef_sincos_s35, lo, hi);
#undef PERIODIC_ROW
    }
    UNARY_ROW(Asin, asin, -1.0, 1.0, "")
    UNARY_ROW(Acos, acos, -1.0, 1.0, "")
    UNARY_ROW(Atan, atan, -10.0, 10.0, "")
    reg_slots<double>("dAtan2", vexa_arx_kernel_dAtan2_ttab, run2<double>);
    reg("dAtan2/sleef_u10", run2<double>, peer2<__m256d, sleef_atan2_u10>);
    reg("dAtan2/sleef_u35", run2<double>, peer2<__m256d, sleef_atan2_u35>);
    reg("dAtan2/libmvec", run2<double>, peer2<__m256d, _ZGVdN4vv_atan2>);
    reg_slots<float>("sAtan2", vexa_arx_kernel_sAtan2_ttab, run2<float>);
    reg("sAtan2/sleef_u10", run2<float>, peer2<__m256, sleef_atan2f_u10>);
    reg("sAtan2/sleef_u35", run2<float>, peer2<__m256, sleef_atan2f_u35>);
    reg("sAtan2/libmvec", run2<float>, peer2<__m256, _ZGVdN8vv_atan2f>);
    return true;
}();

}  // namespace
