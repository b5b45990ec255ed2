// Gamma, beta and the multivariate Gaussian, both types:
// - laws: Kolmogorov-Smirnov against the exact CDFs (Boost's regularized
//   incomplete gamma and beta functions) at shapes on both sides of every
//   branch point, counting each value for the whole interval that rounds to
//   it (so that a float gamma of shape 0.01, a third of whose values are
//   below the smallest float, is judged fairly); and the same sample must
//   fail against a 3% change of scale;
// - the gamma's set-up chunk reused, recomputed and under allocation failure;
// - the multivariate Gaussian's storage forms against each other and against
//   the univariate kernel, and its sample moments against a and T'T.
#include <gtest/gtest.h>

#include <algorithm>
#include <boost/math/special_functions/beta.hpp>
#include <boost/math/special_functions/gamma.hpp>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "support/rng_stream.h"
#include "vexa/rng_distributions.h"
#include "vexa/service.h"
#include "vexa/vector_math.h"

namespace {

constexpr int32_t kMt19937 = 0x800000, kMcg59 = 0x400000;
constexpr int kLawSize = 1000000 / VEXA_TEST_SCALE;
// The exact CDFs in double arithmetic: Boost otherwise works in long double,
// which the emulator of the i386 build runs slowly.
using Double = boost::math::policies::policy<boost::math::policies::promote_double<false>>;
double gamma_p(double a, double x) { return boost::math::gamma_p(a, x, Double()); }
double ibeta(double a, double b, double x) { return boost::math::ibeta(a, b, x, Double()); }

struct Stream : vexa::test::RngStream {
    explicit Stream(int32_t id = kMt19937, uint32_t seed = 5) : RngStream(id, seed) {}
    explicit Stream(StreamState* adopted) : RngStream(adopted) {}
    Stream copy() const { return Stream(RngStream::copy().release()); }
};

template <class T> int gamma(StreamState* s, int n, T* r, double alpha, double a, double beta) {
    if constexpr (sizeof(T) == 8) return _tqrdRngGamma(0, s, n, r, alpha, a, beta);
    else return _tqrsRngGamma(0, s, n, r, float(alpha), float(a), float(beta));
}
template <class T> int beta(StreamState* s, int n, T* r, double p, double q, double a, double b) {
    if constexpr (sizeof(T) == 8) return _tqrdRngBeta(0, s, n, r, p, q, a, b);
    else return _tqrsRngBeta(0, s, n, r, float(p), float(q), float(a), float(b));
}
template <class T> int gaussian_mv(int method, StreamState* s, int n, T* r, int d, int storage, const T* a, const T* t) {
    if constexpr (sizeof(T) == 8) return _tqrdRngGaussianMV(method, s, n, r, d, storage, a, t);
    else return _tqrsRngGaussianMV(method, s, n, r, d, storage, a, t);
}
template <class T> int gaussian(int method, StreamState* s, int n, T* r, double a, double sigma) {
    if constexpr (sizeof(T) == 8) return _tqrdRngGaussian(method, s, n, r, a, sigma);
    else return _tqrsRngGaussian(method, s, n, r, float(a), float(sigma));
}

// sqrt(n) D of a sorted sample of T against cdf, each value standing for the
// interval of reals that round to it. The CDF is evaluated at 10^4 order
// statistics only (the exact functions are slow), which understates sqrt(n) D
// by at most sqrt(n) / 10^4 = 0.1 at 10^6 values.
template <class T> double ks(const std::vector<T>& x, const std::function<double(long double)>& cdf) {
    const std::size_t n = x.size(), step = std::max<std::size_t>(1, n / 10000);
    double d = 0;
    for (std::size_t k = 0; k < n; k += step) {
        const T v = x[k];
        const double below = double(std::lower_bound(x.begin(), x.end(), v) - x.begin());
        const double through = double(std::upper_bound(x.begin(), x.end(), v) - x.begin());
        // Midpoints in long double, which holds them for double values.
        const long double lo = ((long double)v + std::nextafter(v, -std::numeric_limits<T>::infinity())) / 2;
        const long double hi = ((long double)v + std::nextafter(v, std::numeric_limits<T>::infinity())) / 2;
        d = std::max({d, through / double(n) - cdf(hi), cdf(lo) - below / double(n)});
    }
    return d * std::sqrt(double(n));
}

// sqrt(n) D exceeds 2.4 with probability 2 exp(-11.52) = 2e-5 for a correct
// kernel; with the 0.1 the checkpoints may miss, a correct sample stays
// below 2.5 as often. The sample must also exceed 2.5 against the
// distribution of a shape parameter changed by 30 / sqrt(n) (3% at 10^6
// values), where such a change moves the law by more than a few standard
// errors of D (not for the extreme shapes).
template <class T> void law(const std::string& what, std::vector<T> x,
                            const std::function<double(long double, double)>& cdf,
                            double shape, bool check_power) {
    std::sort(x.begin(), x.end());
    const double changed = shape * (1 + 30 / std::sqrt(double(x.size())));
    EXPECT_LT(ks(x, [&](long double v) { return cdf(v, shape); }), 2.5) << what;
    if (check_power) EXPECT_GT(ks(x, [&](long double v) { return cdf(v, changed); }), 2.5) << what << " changed";
}

template <class T> void gamma_laws() {
    for (double alpha : {0.01, 0.599, 0.6, 0.99, 1.0, 1.01, 2.5, 100.0, 1e5}) {
        Stream s;
        std::vector<T> x(kLawSize);
        ASSERT_EQ(gamma(s.s, kLawSize, x.data(), alpha, 0.5, 2.0), 0) << alpha;
        law<T>("gamma " + std::to_string(alpha), x,
               [](long double v, double shape) {
                   return v <= 0.5 ? 0.0 : gamma_p(shape, double((v - 0.5L) / 2));
               },
               double(T(alpha)), true);
    }
}
TEST(Gamma, DoubleLaws) { gamma_laws<double>(); }
TEST(Gamma, FloatLaws) { gamma_laws<float>(); }

template <class T> void beta_laws() {
    const double shapes[][2] = {{0.5, 0.5}, {0.3, 0.9}, {0.5, 1e-3},  // case 1
                                {0.5, 2},   {1e-3, 2},                // case 2
                                {3, 0.4},                             // case 3
                                {2, 3},     {50, 50},   {1.5, 40},    // case 4
                                {1, 1},     {1, 3},                   // case 5
                                {0.7, 1},   {4, 1}};                  // case 6
    for (const auto& pq : shapes) {
        Stream s;
        std::vector<T> x(kLawSize);
        const double p = double(T(pq[0])), q = double(T(pq[1]));
        ASSERT_EQ(beta(s.s, kLawSize, x.data(), p, q, -1.0, 3.0), 0);
        // The power check changes p, which moves the law unless a shape is tiny.
        law<T>("beta " + std::to_string(p) + " " + std::to_string(q), x,
               [&](long double v, double shape) {
                   // Near 1 through the complement, 1 - u held exactly.
                   const double u = double((v + 1) / 3), w = double((2 - v) / 3);
                   if (u <= 0 || w <= 0) return u <= 0 ? 0.0 : 1.0;
                   return u <= 0.5 ? ibeta(shape, q, u) : 1 - ibeta(q, shape, w);
               },
               p, p > 0.01 && q > 0.01);
    }
}
TEST(Beta, DoubleLaws) { beta_laws<double>(); }
TEST(Beta, FloatLaws) { beta_laws<float>(); }

// Shape 1 is the exponential kernel, value for value.
TEST(Gamma, ShapeOneIsTheExponential) {
    Stream s;
    Stream c = s.copy();
    std::vector<double> g(999), e(999);
    ASSERT_EQ(_tqrdRngGamma(0, s.s, 999, g.data(), 1.0, 0.25, 3.0), 0);
    ASSERT_EQ(_tqrdRngExponential(0, c.s, 999, e.data(), 0.25, 3.0), 0);
    EXPECT_EQ(g, e);
}

// Beta (1, 1) is 1 - u.
TEST(Beta, OneOneIsTheComplementOfTheUniform) {
    Stream s;
    Stream c = s.copy();
    std::vector<double> b(777), u(777);
    ASSERT_EQ(_tqrdRngBeta(0, s.s, 777, b.data(), 1.0, 1.0, 0.0, 1.0), 0);
    ASSERT_EQ(_tqrdRngUniform(0, c.s, 777, u.data(), 0.0, 1.0), 0);
    for (int i = 0; i < 777; ++i) EXPECT_NEAR(b[i], 1 - u[i], 4e-16) << i;
}

// The set-up of shapes above 1 lives in chunk 7 (float: 8): reused for the
// same shape, recomputed for another; every allocation of the first call made
// to fail in turn gives VEXA_RNG_MEMORY and leaves nothing behind.
TEST(Gamma, SetupChunk) {
    for (int type = 0; type < 2; ++type) {
        const int32_t id = type == 0 ? 7 : 8;
        const auto call = [&](StreamState* s, double alpha) {
            double d[8];
            float f[8];
            return type == 0 ? gamma<double>(s, 8, d, alpha, 0, 1) : gamma<float>(s, 8, f, alpha, 0, 1);
        };
        for (long k = 1;; ++k) {
            const long live = vexa_serv_test_live_blocks();
            int st;
            {
                Stream s;
                vexa_serv_test_fail_allocation(k);
                st = call(s.s, 2.5);
                vexa_serv_test_fail_allocation(0);
            }
            EXPECT_EQ(vexa_serv_test_live_blocks(), live) << k;
            if (st == 0) break;
            EXPECT_EQ(st, VEXA_RNG_MEMORY) << k;
            ASSERT_LT(k, 10);
        }
        Stream s;
        ASSERT_EQ(call(s.s, 2.5), 0);
        void* chunk = __tqrSearchChunk(s.s, id);
        ASSERT_NE(chunk, nullptr);
        const long before = vexa_serv_test_allocation_count();
        ASSERT_EQ(call(s.s, 2.5), 0);
        EXPECT_EQ(vexa_serv_test_allocation_count(), before);
        ASSERT_EQ(call(s.s, 7.0), 0);
        EXPECT_EQ(__tqrSearchChunk(s.s, id), chunk);
        EXPECT_EQ(type == 0 ? static_cast<double*>(chunk)[0] : static_cast<float*>(chunk)[0], 7.0);
    }
}

// A generator's failure comes back unchanged.
TEST(GammaBeta, GeneratorStatusReturnedUnchanged) {
    const vexa::test::RngStream s = vexa::test::failing_real_stream();
    double r[64];
    const double one[3] = {1, 1, 1};
    for (double alpha : {0.3, 0.8, 1.0, 4.0}) EXPECT_EQ(_tqrdRngGamma(0, s.s, 8, r, alpha, 0, 1), VEXA_RNG_ABSTRACT_TYPE);
    for (double p : {0.5, 1.0, 3.0}) EXPECT_EQ(_tqrdRngBeta(0, s.s, 8, r, p, 2.0, 0, 1), VEXA_RNG_ABSTRACT_TYPE);
    EXPECT_EQ(_tqrdRngGaussianMV(1, s.s, 8, r, 3, 2, one, one), VEXA_RNG_ABSTRACT_TYPE);
}

// The caller's mode and callback come back from every branch.
int caller_callback(ErrorContext*) { return 0; }
TEST(GammaBeta, CallersModeAndCallbackRestored) {
    const unsigned before = vexa_arx_kernel_SetMode(VEXA_VM_LA | VEXA_VM_ERRMODE_CALLBACK | VEXA_VM_FLUSH_DENORMALS);
    const unsigned want = vexa_arx_kernel_GetMode();
    const VexaErrorCallBack old = vexa_arx_kernel_SetErrorCallBack(caller_callback);
    Stream s;
    double r[300];
    const double ones[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (double alpha : {0.01, 0.7, 1.0, 3.0}) EXPECT_EQ(_tqrdRngGamma(0, s.s, 300, r, alpha, 0, 1), 0);
    for (double p : {0.5, 1.0, 3.0}) EXPECT_EQ(_tqrdRngBeta(0, s.s, 300, r, p, 0.5, 0, 1), 0);
    EXPECT_EQ(_tqrdRngBeta(0, s.s, 300, r, 3.0, 3.0, 0, 1), 0);
    EXPECT_EQ(_tqrdRngGaussianMV(1, s.s, 100, r, 3, VEXA_RNG_MV_FULL, ones, ones), 0);
    EXPECT_EQ(vexa_arx_kernel_GetMode(), want);
    EXPECT_EQ(vexa_arx_kernel_GetErrorCallBack(), caller_callback);
    vexa_arx_kernel_SetErrorCallBack(old);
    vexa_arx_kernel_SetMode(before);
}

// ---- multivariate Gaussian ----------------------------------------------------

// An upper-triangular factor in a full column-major array (junk below the
// diagonal, which must not be read) and the same one as the lower triangle
// of its transpose packed by columns.
template <class T> struct Factor {
    int d;
    std::vector<T> full, packed;
    explicit Factor(int d_) : d(d_), full(std::size_t(d_ * d_), T(1e30)) {
        for (int j = 0; j < d; ++j)
            for (int i = 0; i <= j; ++i) full[std::size_t(i + j * d)] = i == j ? T(1 + 0.1 * i) : T(std::sin(1.0 + i + 3 * j) / 3);
        for (int j = 0; j < d; ++j)  // column j of L = row j of T
            for (int i = j; i < d; ++i) packed.push_back(full[std::size_t(j + i * d)]);
    }
    // (T'T)(i, j)
    double covariance(int i, int j) const {
        double c = 0;
        for (int k = 0; k <= std::min(i, j); ++k) c += double(full[std::size_t(k + i * d)]) * double(full[std::size_t(k + j * d)]);
        return c;
    }
};

template <class T> void mv_forms(int d) {
    Factor<T> f(d);
    std::vector<T> mean(static_cast<std::size_t>(d));
    for (int j = 0; j < d; ++j) mean[std::size_t(j)] = T(j) - T(2.5);
    const int n = std::max(200, 20000 / d) / (VEXA_TEST_SCALE > 1 ? 4 : 1);
    const std::size_t total = std::size_t(n) * std::size_t(d);
    for (int method = 0; method < 3; ++method) {
        Stream s(kMcg59);
        Stream c1 = s.copy(), c2 = s.copy();
        std::vector<T> full(total), packed(total), normals(total);
        ASSERT_EQ(gaussian_mv(method, s.s, n, full.data(), d, VEXA_RNG_MV_FULL, mean.data(), f.full.data()), 0);
        ASSERT_EQ(gaussian_mv(method, c1.s, n, packed.data(), d, VEXA_RNG_MV_PACKED, mean.data(), f.packed.data()), 0);
        ASSERT_EQ(gaussian<T>(method, c2.s, int(total), normals.data(), 0, 1), 0);
        const double tol = sizeof(T) == 8 ? 1e-12 : 2e-4;
        for (std::size_t k = 0; k < total; ++k) {
            ASSERT_NEAR(double(full[k]), double(packed[k]), tol * (1 + std::fabs(double(full[k])))) << d << " " << k;
            // The product by hand from the same normals.
            const int v = int(k / std::size_t(d)), j = int(k % std::size_t(d));
            double x = mean[std::size_t(j)];
            for (int i = 0; i <= j; ++i) x += double(f.full[std::size_t(i + j * d)]) * double(normals[std::size_t(v * d + i)]);
            ASSERT_NEAR(double(full[k]), x, tol * (1 + std::fabs(x))) << d << " " << k;
        }
    }
}
TEST(GaussianMV, FullAndPackedAgreeWithTheProduct) {
    for (int d : {2, 3, 10, 11, 100}) {
        mv_forms<double>(d);
        mv_forms<float>(d);
    }
}

TEST(GaussianMV, DimensionOneDiagonalAndUnknownStorage) {
    for (int method = 0; method < 3; ++method) {
        Stream s;
        Stream c = s.copy();
        std::vector<double> x(1000), y(1000);
        const double a = 3, t = 0.5, ones[4] = {1, 1, 1, 1}, zeros[4] = {0, 0, 0, 0};
        ASSERT_EQ(_tqrdRngGaussianMV(method, s.s, 1000, x.data(), 1, VEXA_RNG_MV_FULL, &a, &t), 0);
        ASSERT_EQ(_tqrdRngGaussian(method, c.s, 1000, y.data(), a, t), 0);
        EXPECT_EQ(x, y);
        for (int storage : {VEXA_RNG_MV_DIAGONAL, 7}) {
            std::vector<double> z(1000);
            ASSERT_EQ(_tqrdRngGaussianMV(method, s.s, 250, x.data(), 4, storage, storage == 7 ? ones : zeros, ones), 0);
            ASSERT_EQ(_tqrdRngGaussian(method, c.s, 1000, z.data(), 0, 1), 0);
            EXPECT_EQ(x, z) << storage;
        }
    }
}

// Sample mean and covariance against a and T'T: each within 6 standard
// errors (a false alarm below 10^-5 over all the entries of d = 100).
TEST(GaussianMV, SampleMoments) {
    for (int d : {3, 10, 11, 100}) {
        Factor<double> f(d);
        std::vector<double> mean(static_cast<std::size_t>(d));
        for (int j = 0; j < d; ++j) mean[std::size_t(j)] = 0.5 * j;
        const int n = (d == 100 ? 20000 : 100000) / VEXA_TEST_SCALE;
        std::vector<double> x(std::size_t(n) * std::size_t(d));
        Stream s;
        ASSERT_EQ(_tqrdRngGaussianMV(1, s.s, n, x.data(), d, VEXA_RNG_MV_FULL, mean.data(), f.full.data()), 0);
        std::vector<double> m(static_cast<std::size_t>(d), 0.0), cov(std::size_t(d * d), 0);
        for (int v = 0; v < n; ++v)
            for (int j = 0; j < d; ++j) m[std::size_t(j)] += x[std::size_t(v * d + j)] / n;
        for (int v = 0; v < n; ++v) {
            const double* xv = &x[std::size_t(v) * std::size_t(d)];
            for (int i = 0; i < d; ++i)
                for (int j = 0; j <= i; ++j) cov[std::size_t(i * d + j)] += (xv[i] - m[std::size_t(i)]) * (xv[j] - m[std::size_t(j)]);
        }
        for (int i = 0; i < d; ++i) {
            const double sii = f.covariance(i, i);
            EXPECT_NEAR(m[std::size_t(i)], mean[std::size_t(i)], 6 * std::sqrt(sii / n)) << d << " " << i;
            for (int j = 0; j <= i; ++j) {
                const double sij = f.covariance(i, j), sjj = f.covariance(j, j);
                EXPECT_NEAR(cov[std::size_t(i * d + j)] / (n - 1), sij, 6 * std::sqrt((sii * sjj + sij * sij) / n))
                    << d << " " << i << " " << j;
            }
        }
    }
}

}  // namespace
