// Cubic splines: construction (nx = 10^3 and 10^6) and interpolation of 10^6
// random and 10^6 sorted sites (value, and value with two derivatives),
// against GSL's natural cubic spline with an accelerator and against a plain
// branchless binary search plus Horner loop.
#include <benchmark/benchmark.h>
#include <gsl/gsl_spline.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "vexa/data_fitting.h"
#include "vexa/service.h"

namespace {

struct Data {
    std::vector<double> x, y;
    explicit Data(int64_t n) : x(std::size_t(n)), y(std::size_t(n)) {
        std::mt19937_64 g(5);
        std::uniform_real_distribution<double> u(0.5, 1.5);
        double v = 0;
        for (int64_t i = 0; i < n; ++i) x[std::size_t(i)] = v += u(g), y[std::size_t(i)] = std::sin(v * 0.01);
    }
};
const Data& data(int64_t n) {
    static Data small(1000), large(1000000);
    return n == 1000 ? small : large;
}
std::vector<double> sites(const Data& d, bool sorted) {
    std::mt19937_64 g(9);
    std::uniform_real_distribution<double> u(d.x.front(), d.x.back());
    std::vector<double> s(1000000);
    for (auto& v : s) v = u(g);
    if (sorted) std::sort(s.begin(), s.end());
    return s;
}

struct VexaSpline {
    DfTask* t = nullptr;
    std::vector<double> c;
    explicit VexaSpline(const Data& d) : c(4 * d.x.size()) {
        vexa_df_kernel_dNewTask1D(&t, int64_t(d.x.size()), d.x.data(), 0, 1, d.y.data(), 0, 0);
        vexa_df_kernel_dEditPPSpline1D(t, 4, 2, 2, nullptr, 0, nullptr, c.data(), 0);
        vexa_df_kernel_dDFNaturalCubicSpline1D(t, 0, nullptr);
    }
    ~VexaSpline() { vexa_df_kernel_DeleteTask(&t); }
};

void BM_BuildVexa(benchmark::State& st) {
    const Data& d = data(st.range(0));
    VexaSpline s(d);
    for (auto _ : st) benchmark::DoNotOptimize(vexa_df_kernel_dDFNaturalCubicSpline1D(s.t, 0, nullptr));
    st.SetItemsProcessed(st.iterations() * st.range(0));
}
void BM_BuildGsl(benchmark::State& st) {
    const Data& d = data(st.range(0));
    gsl_spline* s = gsl_spline_alloc(gsl_interp_cspline, d.x.size());
    for (auto _ : st) benchmark::DoNotOptimize(gsl_spline_init(s, d.x.data(), d.y.data(), d.x.size()));
    gsl_spline_free(s);
    st.SetItemsProcessed(st.iterations() * st.range(0));
}

void BM_InterpVexa(benchmark::State& st, bool sorted, int nder) {
    const Data& d = data(1000000);
    VexaSpline s(d);
    const auto z = sites(d, sorted);
    std::vector<double> r(z.size() * std::size_t(nder));
    const int32_t flags[3] = {1, nder > 1, nder > 2};
    for (auto _ : st) {
        vexa_df_kernel_dDFInterpolate1D(s.t, 0, 0, int64_t(z.size()), z.data(), sorted ? 64 : 0, 3, flags, nullptr, r.data(), 16,
                                        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        vexa_serv_threading_table());
        benchmark::DoNotOptimize(r.data());
    }
    st.SetItemsProcessed(st.iterations() * int64_t(z.size()));
}
void BM_InterpGsl(benchmark::State& st, bool sorted, int nder) {
    const Data& d = data(1000000);
    gsl_spline* s = gsl_spline_alloc(gsl_interp_cspline, d.x.size());
    gsl_spline_init(s, d.x.data(), d.y.data(), d.x.size());
    gsl_interp_accel* a = gsl_interp_accel_alloc();
    const auto z = sites(d, sorted);
    std::vector<double> r(z.size() * std::size_t(nder));
    for (auto _ : st) {
        for (std::size_t k = 0; k < z.size(); ++k) {
            r[k * std::size_t(nder)] = gsl_spline_eval(s, z[k], a);
            if (nder > 1) r[k * 3 + 1] = gsl_spline_eval_deriv(s, z[k], a), r[k * 3 + 2] = gsl_spline_eval_deriv2(s, z[k], a);
        }
        benchmark::DoNotOptimize(r.data());
    }
    gsl_interp_accel_free(a);
    gsl_spline_free(s);
    st.SetItemsProcessed(st.iterations() * int64_t(z.size()));
}
// Branchless binary search and Horner over our coefficients, one thread.
void BM_InterpPlain(benchmark::State& st, bool sorted, int nder) {
    const Data& d = data(1000000);
    VexaSpline s(d);
    const auto z = sites(d, sorted);
    const double* x = d.x.data();
    const std::size_t n = d.x.size();
    std::vector<double> r(z.size() * std::size_t(nder));
    for (auto _ : st) {
        for (std::size_t k = 0; k < z.size(); ++k) {
            const double v = z[k];
            const double* base = x;
            std::size_t len = n;
            while (len > 1) {
                const std::size_t half = len / 2;
                base = base[half] <= v ? base + half : base;
                len -= half;
            }
            std::size_t i = std::size_t(base - x);
            if (i > n - 2) i = n - 2;
            const double t = v - x[i], *c = s.c.data() + 4 * i;
            r[k * std::size_t(nder)] = c[0] + t * (c[1] + t * (c[2] + t * c[3]));
            if (nder > 1) r[k * 3 + 1] = c[1] + t * (2 * c[2] + 3 * c[3] * t), r[k * 3 + 2] = 2 * c[2] + 6 * c[3] * t;
        }
        benchmark::DoNotOptimize(r.data());
    }
    st.SetItemsProcessed(st.iterations() * int64_t(z.size()));
}

BENCHMARK(BM_BuildVexa)->Name("spline_build/vexa_natural")->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildGsl)->Name("spline_build/gsl_cspline")->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
#define INTERP(kind, fn)                                                                                           \
    BENCHMARK_CAPTURE(fn, random_value, false, 1)->Name("spline_interp_random_value/" kind)->Unit(benchmark::kMillisecond)->UseRealTime(); \
    BENCHMARK_CAPTURE(fn, random_d2, false, 3)->Name("spline_interp_random_d2/" kind)->Unit(benchmark::kMillisecond)->UseRealTime(); \
    BENCHMARK_CAPTURE(fn, sorted_value, true, 1)->Name("spline_interp_sorted_value/" kind)->Unit(benchmark::kMillisecond)->UseRealTime(); \
    BENCHMARK_CAPTURE(fn, sorted_d2, true, 3)->Name("spline_interp_sorted_d2/" kind)->Unit(benchmark::kMillisecond)->UseRealTime();
INTERP("vexa", BM_InterpVexa)
INTERP("gsl", BM_InterpGsl)
INTERP("plain_bsearch_horner", BM_InterpPlain)

}  // namespace
