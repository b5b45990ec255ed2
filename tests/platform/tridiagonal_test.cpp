// The stand-in's tridiagonal solvers against a long-double elimination: the
// one-call solver over lengths that take the sweep and every tail length of
// the partitioned path, factor-then-solve with several right-hand sides and
// the transposed system, and zero pivots anywhere in a long system.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "vexa/service.h"

namespace {

template <class T> struct Api;
template <> struct Api<double> {
    static void svb(int n, int nrhs, double* dl, double* d, double* du, double* b, int ldb, int* info) {
        ddtsvb_4dfl(&n, &nrhs, dl, d, du, b, &ldb, info);
    }
    static void trf(int n, double* dl, double* d, double* du, int* info) { ddttrfb_4dfl(&n, dl, d, du, info); }
    static void trs(const char* tr, int n, int nrhs, const double* dl, const double* d, const double* du, double* b,
                    int ldb, int* info) {
        ddttrsb_4dfl(tr, &n, &nrhs, dl, d, du, b, &ldb, info);
    }
};
template <> struct Api<float> {
    static void svb(int n, int nrhs, float* dl, float* d, float* du, float* b, int ldb, int* info) {
        sdtsvb_4dfl(&n, &nrhs, dl, d, du, b, &ldb, info);
    }
    static void trf(int n, float* dl, float* d, float* du, int* info) { sdttrfb_4dfl(&n, dl, d, du, info); }
    static void trs(const char* tr, int n, int nrhs, const float* dl, const float* d, const float* du, float* b,
                    int ldb, int* info) {
        sdttrsb_4dfl(tr, &n, &nrhs, dl, d, du, b, &ldb, info);
    }
};

// A diagonally dominant, unsymmetric system with spline-like widths.
template <class T> struct System {
    std::vector<T> dl, d, du, b;
    System(int n, unsigned seed) : dl(std::size_t(std::max(n - 1, 0))), d(std::size_t(n)), du(dl.size()), b(d.size()) {
        std::mt19937 g(seed);
        std::uniform_real_distribution<double> u(0.1, 2.0), v(-1.0, 1.0);
        for (int i = 0; i + 1 < n; ++i) dl[std::size_t(i)] = T(u(g)), du[std::size_t(i)] = T(u(g) * v(g));
        for (int i = 0; i < n; ++i) {
            const double side = (i > 0 ? std::fabs(double(dl[std::size_t(i - 1)])) : 0) +
                                (i + 1 < n ? std::fabs(double(du[std::size_t(i)])) : 0);
            d[std::size_t(i)] = T(side * (1.05 + u(g)) + 0.01);
            b[std::size_t(i)] = T(v(g) * 10);
        }
    }
    // x of A x = rhs (or A^T x = rhs) by long-double elimination.
    std::vector<long double> exact(const std::vector<T>& rhs, bool transposed = false) const {
        const std::size_t n = d.size();
        std::vector<long double> lo(n), di(n), up(n), x(rhs.begin(), rhs.end());
        for (std::size_t i = 0; i < n; ++i) {
            di[i] = d[i];
            if (i + 1 < n) lo[i + 1] = transposed ? du[i] : dl[i], up[i] = transposed ? dl[i] : du[i];
        }
        for (std::size_t i = 1; i < n; ++i) {
            const long double w = lo[i] / di[i - 1];
            di[i] -= w * up[i - 1];
            x[i] -= w * x[i - 1];
        }
        x[n - 1] /= di[n - 1];
        for (std::size_t i = n - 1; i-- > 0;) x[i] = (x[i] - up[i] * x[i + 1]) / di[i];
        return x;
    }
};

template <class T> double worst(const std::vector<T>& x, const std::vector<long double>& ref, std::size_t off = 0) {
    long double scale = 0, err = 0;
    for (std::size_t i = 0; i < ref.size(); ++i) {
        scale = std::max(scale, std::fabs(ref[i]));
        err = std::max(err, std::fabs(ref[i] - (long double)x[off + i]));
    }
    return double(err / scale);
}

template <class T> void one_call_matches(int max_n, double tol) {
    std::vector<int> sizes;
    for (int n = 1; n <= max_n; ++n) sizes.push_back(n);
    sizes.push_back(12007);  // two groups of blocks (doubles), one (floats)
    sizes.push_back(20011);  // several groups in both precisions
    sizes.push_back(70001);  // and a long tail
    for (int n : sizes) {
        System<T> s(n, unsigned(n));
        const auto ref = s.exact(s.b);
        int info = -1;
        Api<T>::svb(n, 1, s.dl.data(), s.d.data(), s.du.data(), s.b.data(), n, &info);
        ASSERT_EQ(info, 0) << n;
        ASSERT_LE(worst(s.b, ref), tol) << "n = " << n;
    }
}
TEST(Tridiagonal, OneCallSolvesEveryLength) {
    one_call_matches<double>(700, 1e-14);
    one_call_matches<float>(1200, 3e-6);
}

template <class T> void factored_matches(double tol) {
    for (int n : {1, 2, 5, 64, 333}) {
        const int nrhs = 3, ldb = n + 2;
        System<T> s(n, unsigned(7 * n));
        std::vector<T> rhs(std::size_t(ldb * nrhs));
        for (std::size_t i = 0; i < rhs.size(); ++i) rhs[i] = T(std::sin(double(i)) + 2);
        for (const char* tr : {"N", "T"}) {
            System<T> f = s;
            int info = -1;
            Api<T>::trf(n, f.dl.data(), f.d.data(), f.du.data(), &info);
            ASSERT_EQ(info, 0);
            std::vector<T> x = rhs;
            Api<T>::trs(tr, n, nrhs, f.dl.data(), f.d.data(), f.du.data(), x.data(), ldb, &info);
            ASSERT_EQ(info, 0);
            for (int r = 0; r < nrhs; ++r) {
                const std::vector<T> col(rhs.begin() + r * ldb, rhs.begin() + r * ldb + n);
                EXPECT_LE(worst(x, s.exact(col, *tr == 'T'), std::size_t(r * ldb)), tol) << n << tr;
                EXPECT_EQ(x[std::size_t(r * ldb + n)], rhs[std::size_t(r * ldb + n)]);  // past the column: untouched
            }
        }
        // The one-call solver with several right-hand sides.
        System<T> f = s;
        std::vector<T> x = rhs;
        int info = -1;
        Api<T>::svb(n, nrhs, f.dl.data(), f.d.data(), f.du.data(), x.data(), ldb, &info);
        ASSERT_EQ(info, 0);
        const std::vector<T> col(rhs.begin() + 2 * ldb, rhs.begin() + 2 * ldb + n);
        EXPECT_LE(worst(x, s.exact(col), std::size_t(2 * ldb)), tol);
    }
}
TEST(Tridiagonal, FactorThenSolveSeveralAndTransposed) {
    factored_matches<double>(1e-14);
    factored_matches<float>(3e-6);
}

// A zero row makes the system singular: whichever elimination meets it, the
// status is nonzero, for the row in a block, on a separator, in the tail or
// at either end.
template <class T> void zero_rows_fail(int n) {
    for (int k = 0; k < n; ++k) {
        System<T> s(n, 3);
        s.d[std::size_t(k)] = 0;
        if (k > 0) s.dl[std::size_t(k - 1)] = 0;
        if (k + 1 < n) s.du[std::size_t(k)] = 0;
        int info = 0;
        Api<T>::svb(n, 1, s.dl.data(), s.d.data(), s.du.data(), s.b.data(), n, &info);
        EXPECT_GT(info, 0) << "n = " << n << ", zero row " << k;
        EXPECT_LE(info, n);
        System<T> f(n, 3);
        f.d[std::size_t(k)] = 0;
        if (k > 0) f.dl[std::size_t(k - 1)] = 0;
        if (k + 1 < n) f.du[std::size_t(k)] = 0;
        info = 0;
        Api<T>::trf(n, f.dl.data(), f.d.data(), f.du.data(), &info);
        EXPECT_GT(info, 0) << "factor, n = " << n << ", zero row " << k;
    }
}
TEST(Tridiagonal, ZeroPivotsAreReported) {
    zero_rows_fail<double>(1);
    zero_rows_fail<double>(30);
    zero_rows_fail<double>(211);
    zero_rows_fail<float>(20);
    zero_rows_fail<float>(600);
}

}  // namespace
