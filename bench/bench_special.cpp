// The special functions against SLEEF (u10) and glibc's libmvec on the same
// inputs, for arrays of 1024 and 8192 elements (in cache) and 16M
// (streamed): Erf on x uniform in [-4, 4], Erfc on [-2, 10] (float [-2, 9]),
// CdfNorm on [-10, 5]; the inverses on their whole domains (uniform) against
// Boost.Math's scalar erf_inv, erfc_inv and the normal quantile (double
// arithmetic, no promotion to long double), CdfNorm also against glibc's
// scalar erfc; LGamma and TGamma on [-10, 30] against SLEEF and glibc's
// scalar lgamma and tgamma.
// Compare times within one run: the ratios are what the figures mean.
#include <benchmark/benchmark.h>
#include <immintrin.h>
#include <sleef.h>

#include <boost/math/distributions/normal.hpp>
#include <boost/math/special_functions/erf.hpp>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "vexa/vector_math.h"

extern "C" {
__m256d _ZGVdN4v_erf(__m256d);
__m256 _ZGVdN8v_erff(__m256);
__m256d _ZGVdN4v_erfc(__m256d);
__m256 _ZGVdN8v_erfcf(__m256);
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
__m256d sleef_erfc(__m256d x) { return Sleef_erfcd4_u15avx2(x); }
__m256 sleef_erfcf(__m256 x) { return Sleef_erfcf8_u15avx2(x); }
__m256d sleef_lgamma(__m256d x) { return Sleef_lgammad4_u10avx2(x); }
__m256 sleef_lgammaf(__m256 x) { return Sleef_lgammaf8_u10avx2(x); }
__m256d sleef_tgamma(__m256d x) { return Sleef_tgammad4_u10avx2(x); }
__m256 sleef_tgammaf(__m256 x) { return Sleef_tgammaf8_u10avx2(x); }

// Scalar peers, one element at a time.
using NoPromotion = boost::math::policies::policy<boost::math::policies::promote_double<false>,
                                                  boost::math::policies::promote_float<false>>;
template <class T, T (*F)(T)> void scalar(int n, const T* a, T* r) {
    for (int i = 0; i < n; ++i) r[i] = F(a[i]);
}
template <class T> T boost_erf_inv(T x) { return boost::math::erf_inv(x, NoPromotion()); }
template <class T> T boost_erfc_inv(T x) { return boost::math::erfc_inv(x, NoPromotion()); }
template <class T> T boost_quantile(T p) {
    return boost::math::quantile(boost::math::normal_distribution<T, NoPromotion>(), p);
}
template <class T> T boost_cdf(T x) { return boost::math::cdf(boost::math::normal_distribution<T, NoPromotion>(), x); }
double glibc_cdf(double x) { return 0.5 * std::erfc(-x * 0.7071067811865476); }
float glibc_cdff(float x) { return 0.5f * erfcf(-x * 0.70710678f); }
double glibc_lgamma(double x) { return std::lgamma(x); }
float glibc_lgammaf(float x) { return lgammaf(x); }
double glibc_tgamma(double x) { return std::tgamma(x); }
float glibc_tgammaf(float x) { return tgammaf(x); }

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

    reg_slots<double>("dErfc", vexa_arx_kernel_dErfc_ttab, -2.0, 10.0);
    reg("dErfc/sleef_u15", run1<double>, peer_d<sleef_erfc>, -2.0, 10.0);
    reg("dErfc/libmvec", run1<double>, peer_d<_ZGVdN4v_erfc>, -2.0, 10.0);
    reg_slots<float>("sErfc", vexa_arx_kernel_sErfc_ttab, -2.0, 9.0);
    reg("sErfc/sleef_u15", run1<float>, peer_s<sleef_erfcf>, -2.0, 9.0);
    reg("sErfc/libmvec", run1<float>, peer_s<_ZGVdN8v_erfcf>, -2.0, 9.0);

    reg_slots<double>("dCdfNorm", vexa_arx_kernel_dCdfNorm_ttab, -10.0, 5.0);
    reg("dCdfNorm/glibc_erfc", run1<double>, scalar<double, glibc_cdf>, -10.0, 5.0);
    reg("dCdfNorm/boost", run1<double>, scalar<double, boost_cdf<double>>, -10.0, 5.0);
    reg_slots<float>("sCdfNorm", vexa_arx_kernel_sCdfNorm_ttab, -10.0, 5.0);
    reg("sCdfNorm/glibc_erfc", run1<float>, scalar<float, glibc_cdff>, -10.0, 5.0);

    reg_slots<double>("dErfInv", vexa_arx_kernel_dErfInv_ttab, -1.0, 1.0);
    reg("dErfInv/boost", run1<double>, scalar<double, boost_erf_inv<double>>, -1.0, 1.0);
    reg_slots<float>("sErfInv", vexa_arx_kernel_sErfInv_ttab, -1.0, 1.0);
    reg("sErfInv/boost", run1<float>, scalar<float, boost_erf_inv<float>>, -1.0, 1.0);
    reg_slots<double>("dErfcInv", vexa_arx_kernel_dErfcInv_ttab, 0.0, 2.0);
    reg("dErfcInv/boost", run1<double>, scalar<double, boost_erfc_inv<double>>, 0.0, 2.0);
    reg_slots<double>("dCdfNormInv", vexa_arx_kernel_dCdfNormInv_ttab, 0.0, 1.0);
    reg("dCdfNormInv/boost", run1<double>, scalar<double, boost_quantile<double>>, 0.0, 1.0);
    reg_slots<float>("sCdfNormInv", vexa_arx_kernel_sCdfNormInv_ttab, 0.0, 1.0);
    reg("sCdfNormInv/boost", run1<float>, scalar<float, boost_quantile<float>>, 0.0, 1.0);

    // The gamma functions on [-10, 30] (negative arguments take the
    // reflection), against SLEEF and glibc's scalar loop.
    reg_slots<double>("dLGamma", vexa_arx_kernel_dLGamma_ttab, -10.0, 30.0);
    reg("dLGamma/sleef_u10", run1<double>, peer_d<sleef_lgamma>, -10.0, 30.0);
    reg("dLGamma/glibc", run1<double>, scalar<double, glibc_lgamma>, -10.0, 30.0);
    reg_slots<float>("sLGamma", vexa_arx_kernel_sLGamma_ttab, -10.0, 30.0);
    reg("sLGamma/sleef_u10", run1<float>, peer_s<sleef_lgammaf>, -10.0, 30.0);
    reg("sLGamma/glibc", run1<float>, scalar<float, glibc_lgammaf>, -10.0, 30.0);
    reg_slots<double>("dTGamma", vexa_arx_kernel_dTGamma_ttab, -10.0, 30.0);
    reg("dTGamma/sleef_u10", run1<double>, peer_d<sleef_tgamma>, -10.0, 30.0);
    reg("dTGamma/glibc", run1<double>, scalar<double, glibc_tgamma>, -10.0, 30.0);
    reg_slots<float>("sTGamma", vexa_arx_kernel_sTGamma_ttab, -10.0, 30.0);
    reg("sTGamma/sleef_u10", run1<float>, peer_s<sleef_tgammaf>, -10.0, 30.0);
    reg("sTGamma/glibc", run1<float>, scalar<float, glibc_tgammaf>, -10.0, 30.0);
    return true;
}();

}  // namespace
