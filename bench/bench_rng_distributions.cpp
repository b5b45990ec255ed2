// Continuous distributions: nanoseconds per value for 10^6 values, ours on an
// MT19937 stream (and the Gaussian's inverse CDF on MCG31M1, which takes the
// vector engines) against GSL's routines on its mt19937 and the standard
// library's distributions on std::mt19937. Names are DISTRIBUTION/WHO/SIZE
// for tools/bench_ratios.py. NumPy's figures come from
// bench/numpy_distributions.py.
#include <benchmark/benchmark.h>
#include <gsl/gsl_linalg.h>
#include <gsl/gsl_randist.h>
#include <gsl/gsl_rng.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "vexa/rng_distributions.h"
#include "vexa/service.h"

namespace {

constexpr int32_t kMt19937 = 0x800000, kMcg31 = 0x100000;

template <class T> void ours(benchmark::State& st, int32_t id, int (*kernel)(StreamState*, int, T*)) {
    const int n = int(st.range(0));
    StreamState* s = nullptr;
    const uint32_t seed = 7;
    __tqrNewStreamEx(&s, id, 1, &seed);
    std::vector<T> r(static_cast<std::size_t>(n));
    for (auto _ : st) {
        kernel(s, n, r.data());
        benchmark::DoNotOptimize(r.data());
    }
    __tqrDeleteStream(&s);
    st.SetItemsProcessed(st.iterations() * n);
}

void gsl(benchmark::State& st, double (*draw)(gsl_rng*)) {
    const int n = int(st.range(0));
    gsl_rng* g = gsl_rng_alloc(gsl_rng_mt19937);
    gsl_rng_set(g, 7);
    std::vector<double> r(static_cast<std::size_t>(n));
    for (auto _ : st) {
        for (double& x : r) x = draw(g);
        benchmark::DoNotOptimize(r.data());
    }
    gsl_rng_free(g);
    st.SetItemsProcessed(st.iterations() * n);
}

template <class D> void standard(benchmark::State& st, D dist) {
    const int n = int(st.range(0));
    std::mt19937 g(7);
    std::vector<double> r(static_cast<std::size_t>(n));
    for (auto _ : st) {
        for (double& x : r) x = dist(g);
        benchmark::DoNotOptimize(r.data());
    }
    st.SetItemsProcessed(st.iterations() * n);
}

constexpr int kN = 1000000;

template <class T> using Kernel = int (*)(StreamState*, int, T*);
template <class T> void add_ours(const char* name, int32_t id, Kernel<T> k) {
    benchmark::RegisterBenchmark((std::string(name) + "/vexa").c_str(), ours<T>, id, k)->Arg(kN);
}
void add_gsl(const char* name, const char* who, double (*draw)(gsl_rng*)) {
    benchmark::RegisterBenchmark((std::string(name) + "/" + who).c_str(), gsl, draw)->Arg(kN);
}

// Multivariate Gaussian at dimension d, 10^6 values: an upper-triangular
// factor (full storage), against GSL's routine with the same factor and
// against the two steps alone, the normals and the BLAS product.
std::vector<double> factor(int d) {
    std::vector<double> t(std::size_t(d) * std::size_t(d), 0.0);
    for (int j = 0; j < d; ++j)
        for (int i = 0; i <= j; ++i) t[std::size_t(i + j * d)] = i == j ? 1.0 + 0.1 * i : 0.3 / (1 + j - i);
    return t;
}
void mv_ours(benchmark::State& st) {
    const int d = int(st.range(0)), n = kN / d;
    StreamState* s = nullptr;
    const uint32_t seed = 7;
    __tqrNewStreamEx(&s, kMt19937, 1, &seed);
    const std::vector<double> t = factor(d), a(std::size_t(d), 1.0);
    std::vector<double> r(std::size_t(n) * std::size_t(d));
    for (auto _ : st) {
        _tqrdRngGaussianMV(1, s, n, r.data(), d, VEXA_RNG_MV_FULL, a.data(), t.data());
        benchmark::DoNotOptimize(r.data());
    }
    __tqrDeleteStream(&s);
    st.SetItemsProcessed(st.iterations() * n * d);
}
void mv_parts(benchmark::State& st) {
    const int d = int(st.range(0)), n = kN / d;
    StreamState* s = nullptr;
    const uint32_t seed = 7;
    __tqrNewStreamEx(&s, kMt19937, 1, &seed);
    const std::vector<double> t = factor(d);
    std::vector<double> r(std::size_t(n) * std::size_t(d));
    const double one = 1;
    for (auto _ : st) {
        _tqrdRngGaussian(1, s, n * d, r.data(), 0.0, 1.0);
        vexa_blas_xdtrmm("L", "U", "T", "N", &d, &n, &one, t.data(), &d, r.data(), &d);
        benchmark::DoNotOptimize(r.data());
    }
    __tqrDeleteStream(&s);
    st.SetItemsProcessed(st.iterations() * n * d);
}
void mv_gsl(benchmark::State& st) {
    const int d = int(st.range(0)), n = kN / d;
    gsl_rng* g = gsl_rng_alloc(gsl_rng_mt19937);
    const std::vector<double> t = factor(d);
    gsl_matrix* l = gsl_matrix_alloc(std::size_t(d), std::size_t(d));
    gsl_vector* mu = gsl_vector_alloc(std::size_t(d));
    gsl_vector* x = gsl_vector_alloc(std::size_t(d));
    gsl_vector_set_all(mu, 1.0);
    for (int i = 0; i < d; ++i)
        for (int j = 0; j < d; ++j) gsl_matrix_set(l, std::size_t(i), std::size_t(j), i >= j ? t[std::size_t(j + i * d)] : 0.0);
    for (auto _ : st) {
        for (int v = 0; v < n; ++v) gsl_ran_multivariate_gaussian(g, mu, l, x);
        benchmark::DoNotOptimize(x->data);
    }
    gsl_vector_free(x);
    gsl_vector_free(mu);
    gsl_matrix_free(l);
    gsl_rng_free(g);
    st.SetItemsProcessed(st.iterations() * n * d);
}

// Integer kernels and their GSL peers.
void ours_int(benchmark::State& st, int (*kernel)(StreamState*, int, int32_t*)) {
    const int n = int(st.range(0));
    StreamState* s = nullptr;
    const uint32_t seed = 7;
    __tqrNewStreamEx(&s, kMt19937, 1, &seed);
    std::vector<int32_t> r(static_cast<std::size_t>(n));
    for (auto _ : st) {
        kernel(s, n, r.data());
        benchmark::DoNotOptimize(r.data());
    }
    __tqrDeleteStream(&s);
    st.SetItemsProcessed(st.iterations() * n);
}
void gsl_int(benchmark::State& st, int32_t (*draw)(gsl_rng*)) {
    const int n = int(st.range(0));
    gsl_rng* g = gsl_rng_alloc(gsl_rng_mt19937);
    gsl_rng_set(g, 7);
    std::vector<int32_t> r(static_cast<std::size_t>(n));
    for (auto _ : st) {
        for (int32_t& x : r) x = draw(g);
        benchmark::DoNotOptimize(r.data());
    }
    gsl_rng_free(g);
    st.SetItemsProcessed(st.iterations() * n);
}
void add_ints(const char* name, int (*k)(StreamState*, int, int32_t*)) {
    benchmark::RegisterBenchmark((std::string(name) + "/vexa").c_str(), ours_int, k)->Arg(kN);
}
void add_gsl_int(const char* name, int32_t (*draw)(gsl_rng*)) {
    benchmark::RegisterBenchmark((std::string(name) + "/gsl").c_str(), gsl_int, draw)->Arg(kN);
}

const int registered = [] {
    add_ours<double>("dGamma0p5", kMt19937, [](StreamState* s, int n, double* r) { return _tqrdRngGamma(0, s, n, r, 0.5, 0.0, 1.0); });
    add_ours<double>("dGamma2p5", kMt19937, [](StreamState* s, int n, double* r) { return _tqrdRngGamma(0, s, n, r, 2.5, 0.0, 1.0); });
    add_ours<double>("dGamma100", kMt19937, [](StreamState* s, int n, double* r) { return _tqrdRngGamma(0, s, n, r, 100.0, 0.0, 1.0); });
    add_ours<double>("dBeta0p5_0p5", kMt19937, [](StreamState* s, int n, double* r) { return _tqrdRngBeta(0, s, n, r, 0.5, 0.5, 0.0, 1.0); });
    add_ours<double>("dBeta2_3", kMt19937, [](StreamState* s, int n, double* r) { return _tqrdRngBeta(0, s, n, r, 2.0, 3.0, 0.0, 1.0); });
    add_ours<double>("dBeta50_50", kMt19937, [](StreamState* s, int n, double* r) { return _tqrdRngBeta(0, s, n, r, 50.0, 50.0, 0.0, 1.0); });
    add_ints("iBinomial100_0p3", [](StreamState* s, int n, int32_t* r) { return _tqriRngBinomial(0, s, n, r, 100, 0.3); });
    add_ints("iBinomial1e6_0p3", [](StreamState* s, int n, int32_t* r) { return _tqriRngBinomial(0, s, n, r, 1000000, 0.3); });
    add_ints("iBinomial20_0p2", [](StreamState* s, int n, int32_t* r) { return _tqriRngBinomial(0, s, n, r, 20, 0.2); });
    add_ints("iPoisson5", [](StreamState* s, int n, int32_t* r) { return _tqriRngPoisson(0, s, n, r, 5.0); });
    add_ints("iPoisson100", [](StreamState* s, int n, int32_t* r) { return _tqriRngPoisson(0, s, n, r, 100.0); });
    add_ints("iPoisson100_normal", [](StreamState* s, int n, int32_t* r) { return _tqriRngPoisson(1, s, n, r, 100.0); });
    add_gsl_int("iPoisson5", [](gsl_rng* g) { return int32_t(gsl_ran_poisson(g, 5.0)); });
    add_gsl_int("iPoisson100", [](gsl_rng* g) { return int32_t(gsl_ran_poisson(g, 100.0)); });
    add_ints("iBernoulli0p3", [](StreamState* s, int n, int32_t* r) { return _tqriRngBernoulli(0, s, n, r, 0.3); });
    add_ints("iGeometric0p1", [](StreamState* s, int n, int32_t* r) { return _tqriRngGeometric(0, s, n, r, 0.1); });
    add_ints("iUniform0_1000", [](StreamState* s, int n, int32_t* r) { return _tqriRngUniform(0, s, n, r, 0, 1000); });
    add_gsl_int("iBinomial100_0p3", [](gsl_rng* g) { return int32_t(gsl_ran_binomial(g, 0.3, 100)); });
    add_gsl_int("iBinomial1e6_0p3", [](gsl_rng* g) { return int32_t(gsl_ran_binomial(g, 0.3, 1000000)); });
    add_gsl_int("iBinomial20_0p2", [](gsl_rng* g) { return int32_t(gsl_ran_binomial(g, 0.2, 20)); });
    add_gsl_int("iBernoulli0p3", [](gsl_rng* g) { return int32_t(gsl_ran_bernoulli(g, 0.3)); });
    add_gsl_int("iGeometric0p1", [](gsl_rng* g) { return int32_t(gsl_ran_geometric(g, 0.1)) - 1; });
    add_gsl_int("iUniform0_1000", [](gsl_rng* g) { return int32_t(gsl_rng_uniform_int(g, 1000)); });
    add_gsl("dGamma0p5", "gsl", [](gsl_rng* g) { return gsl_ran_gamma(g, 0.5, 1.0); });
    add_gsl("dGamma2p5", "gsl", [](gsl_rng* g) { return gsl_ran_gamma(g, 2.5, 1.0); });
    add_gsl("dGamma100", "gsl", [](gsl_rng* g) { return gsl_ran_gamma(g, 100.0, 1.0); });
    add_gsl("dBeta0p5_0p5", "gsl", [](gsl_rng* g) { return gsl_ran_beta(g, 0.5, 0.5); });
    add_gsl("dBeta2_3", "gsl", [](gsl_rng* g) { return gsl_ran_beta(g, 2.0, 3.0); });
    add_gsl("dBeta50_50", "gsl", [](gsl_rng* g) { return gsl_ran_beta(g, 50.0, 50.0); });
    for (int d : {10, 100}) {
        const std::string name = "dGaussianMV" + std::to_string(d);
        benchmark::RegisterBenchmark((name + "/vexa").c_str(), mv_ours)->Arg(d);
        benchmark::RegisterBenchmark((name + "/parts").c_str(), mv_parts)->Arg(d);
        benchmark::RegisterBenchmark((name + "/gsl").c_str(), mv_gsl)->Arg(d);
    }
    add_ours<double>("dGaussianBM2", kMt19937, [](StreamState* s, int n, double* r) { return _tqrdRngGaussian(1, s, n, r, 0.0, 1.0); });
    add_ours<double>("dGaussianBM", kMt19937, [](StreamState* s, int n, double* r) { return _tqrdRngGaussian(0, s, n, r, 0.0, 1.0); });
    add_ours<double>("dGaussianICDF", kMt19937, [](StreamState* s, int n, double* r) { return _tqrdRngGaussian(2, s, n, r, 0.0, 1.0); });
    add_ours<double>("dGaussianEngine", kMcg31, [](StreamState* s, int n, double* r) { return _tqrdRngGaussian(2, s, n, r, 0.0, 1.0); });
    add_ours<float>("sGaussianBM2", kMt19937, [](StreamState* s, int n, float* r) { return _tqrsRngGaussian(1, s, n, r, 0.0f, 1.0f); });
    add_ours<double>("dExponential", kMt19937, [](StreamState* s, int n, double* r) { return _tqrdRngExponential(0, s, n, r, 0.0, 1.0); });
    add_ours<float>("sExponential", kMt19937, [](StreamState* s, int n, float* r) { return _tqrsRngExponential(0, s, n, r, 0.0f, 1.0f); });
    add_ours<double>("dLaplace", kMt19937, [](StreamState* s, int n, double* r) { return _tqrdRngLaplace(0, s, n, r, 0.0, 1.0); });
    add_ours<double>("dWeibull", kMt19937, [](StreamState* s, int n, double* r) { return _tqrdRngWeibull(0, s, n, r, 2.5, 0.0, 1.0); });
    add_ours<double>("dCauchy", kMt19937, [](StreamState* s, int n, double* r) { return _tqrdRngCauchy(0, s, n, r, 0.0, 1.0); });
    add_ours<double>("dRayleigh", kMt19937, [](StreamState* s, int n, double* r) { return _tqrdRngRayleigh(0, s, n, r, 0.0, 1.0); });
    add_ours<double>("dLognormal", kMt19937, [](StreamState* s, int n, double* r) { return _tqrdRngLognormal(0, s, n, r, 0.0, 1.0, 0.0, 1.0); });
    add_ours<double>("dGumbel", kMt19937, [](StreamState* s, int n, double* r) { return _tqrdRngGumbel(0, s, n, r, 0.0, 1.0); });
    add_ours<double>("dUniform", kMt19937, [](StreamState* s, int n, double* r) { return _tqrdRngUniform(0, s, n, r, 0.0, 1.0); });
    // GSL's ziggurat and its polar Box-Muller are both peers of the Gaussian.
    add_gsl("dGaussianBM2", "gsl", [](gsl_rng* g) { return gsl_ran_gaussian_ziggurat(g, 1.0); });
    add_gsl("dGaussianBM2", "gsl_polar", [](gsl_rng* g) { return gsl_ran_gaussian(g, 1.0); });
    add_gsl("dExponential", "gsl", [](gsl_rng* g) { return gsl_ran_exponential(g, 1.0); });
    add_gsl("dLaplace", "gsl", [](gsl_rng* g) { return gsl_ran_laplace(g, 1.0); });
    add_gsl("dWeibull", "gsl", [](gsl_rng* g) { return gsl_ran_weibull(g, 1.0, 2.5); });
    add_gsl("dCauchy", "gsl", [](gsl_rng* g) { return gsl_ran_cauchy(g, 1.0); });
    add_gsl("dRayleigh", "gsl", [](gsl_rng* g) { return gsl_ran_rayleigh(g, 1.0); });
    add_gsl("dLognormal", "gsl", [](gsl_rng* g) { return gsl_ran_lognormal(g, 0.0, 1.0); });
    add_gsl("dGumbel", "gsl", [](gsl_rng* g) { return gsl_ran_gumbel1(g, 1.0, 1.0); });
    add_gsl("dUniform", "gsl", [](gsl_rng* g) { return gsl_rng_uniform(g); });
    benchmark::RegisterBenchmark("dGaussianBM2/std", standard<std::normal_distribution<double>>,
                                 std::normal_distribution<double>(0.0, 1.0))->Arg(kN);
    benchmark::RegisterBenchmark("dExponential/std", standard<std::exponential_distribution<double>>,
                                 std::exponential_distribution<double>(1.0))->Arg(kN);
    return 0;
}();

}  // namespace
