// LGamma and TGamma where the random sweeps are thin: ln|Gamma| at and
// around its zeros (1, 2 and the thirty on the negative axis, where the
// reflected terms cancel), both functions an ulp or a few from the poles,
// Gamma up to its overflow and through the subnormals on the negative axis,
// and the exact factorials.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

#include "support/oracle.h"
#include "vexa/vector_math.h"

namespace {

using vexa::test::Fn;
template <class T> using Table = void (*const*)(int, const T*, T*);

// The LA and HA slots of f on x (they hold one kernel, so the EP slot is
// the LA one): at most `ulp` against the oracle.
template <class T> void check(const char* name, Table<T> ttab, Fn f, const std::vector<T>& x, double ulp) {
    std::vector<T> r(x.size());
    for (int slot = 0; slot < 2; ++slot) {
        SCOPED_TRACE(std::string(name) + " slot " + std::to_string(slot));
        ttab[slot](int(x.size()), x.data(), r.data());
        int bad = 0;
        for (std::size_t i = 0; i < x.size(); ++i) {
            const double e = vexa::test::ulp_error(f, x[i], r[i]);
            if (!(e <= ulp) && ++bad <= 3) ADD_FAILURE() << "x=" << x[i] << " gave " << r[i] << ", " << e << " ulp";
        }
    }
}

#ifdef VEXA_SLOW_EMULATION
constexpr int kSteps = 8;
#else
constexpr int kSteps = 40;
#endif

// x0 and its neighbours k ulps away, k = 1, 2, 3, ... growing geometrically up
// to `reach` (relative to x0), on both sides.
std::vector<double> around(double x0, double reach) {
    std::vector<double> x{x0};
    const double ulp = std::nextafter(std::fabs(x0), INFINITY) - std::fabs(x0);
    const double growth = std::pow(reach * std::fabs(x0) / ulp, 1.0 / kSteps);
    for (double k = 1; k * ulp < reach * std::fabs(x0); k = k < 4 ? k + 1 : std::ceil(k * growth)) {
        x.push_back(x0 + k * ulp);
        x.push_back(x0 - k * ulp);
    }
    return x;
}

// The zeros of ln|Gamma| from -17 to -2 (to double precision), on (-n-1, -n)
// the one nearer -n first.
const double kNegativeZeros[] = {
    -2.4570247382208006, -2.7476826467274126, -3.1435808883499800, -3.9552942848585979, -4.0393618397405369,
    -4.9915446405600477, -5.0082181683225935, -5.9986074800808756, -6.0013852944531551, -6.9998015078906377,
    -7.0001983334073248, -7.9999751970958207, -8.0000248002706820, -8.9999972442509775, -9.0000027557148226,
    -9.9999997244266292, -10.000000275573014, -10.999999974947890, -11.000000025052107, -11.999999997912324,
    -12.000000002087676, -12.999999999839410, -13.000000000160590, -13.999999999988529, -14.000000000011471,
    -14.999999999999235, -15.000000000000764, -15.999999999999952, -16.000000000000048, -16.999999999999996,
};

TEST(LGamma, AroundItsZeros) {
    std::vector<double> x;
    for (double z : {1.0, 2.0}) {
        const std::vector<double> a = around(z, 0.1);
        x.insert(x.end(), a.begin(), a.end());
    }
    // Around every negative zero out to past the edge of its own polynomial
    // (a quarter of its distance to the pole, or 2^-6), where the reflection
    // takes over.
    for (double z : kNegativeZeros) {
        const double pole = std::round(z);
        const std::vector<double> a = around(z, std::min(0.5 * std::fabs(z - pole), 0.03) / std::fabs(z));
        x.insert(x.end(), a.begin(), a.end());
    }
    check<double>("dLGamma", vexa_arx_kernel_dLGamma_ttab, Fn::LGamma, x, 0.75);
    std::vector<float> xf;
    for (double v : x) xf.push_back(float(v));
    check<float>("sLGamma", vexa_arx_kernel_sLGamma_ttab, Fn::LGamma, xf, 0.51);
}

TEST(Gamma, NextToThePolesAndTheThresholds) {
    // A few ulps from the poles 0, -1, ..., -30 and on the negative axis far
    // out, where Gamma becomes subnormal and then 0; up to the overflow.
    std::vector<double> x;
    for (int n = 0; n <= 30; ++n) {
        for (double k : {1.0, 2.0, 3.0, 1000.0, 1e9}) {
            const double ulp = n == 0 ? 0x1p-60 : std::nextafter(double(n), INFINITY) - n;
            x.push_back(-n + k * ulp);
            x.push_back(-n - k * ulp);
        }
    }
    for (double v = -186.0; v < -168.0; v += 0.37) x.push_back(v);
    for (double v : around(171.62437695630272, 1e-3)) x.push_back(v);
    for (double v : around(2.5563481638716906e305, 1e-12)) x.push_back(v);
    check<double>("dTGamma", vexa_arx_kernel_dTGamma_ttab, Fn::TGamma, x, 0.53);
    check<double>("dLGamma", vexa_arx_kernel_dLGamma_ttab, Fn::LGamma, x, 0.75);
    std::vector<float> xf;
    for (double v : x)
        if (std::fabs(v) < 60) xf.push_back(float(v));
    for (float v = -46.0f; v < -33.0f; v += 0.173f) xf.push_back(v);
    for (float v = 35.0f; v < 35.1f; v += 0.003f) xf.push_back(v);
    check<float>("sTGamma", vexa_arx_kernel_sTGamma_ttab, Fn::TGamma, xf, 0.51);
    check<float>("sLGamma", vexa_arx_kernel_sLGamma_ttab, Fn::LGamma, xf, 0.51);
}

TEST(Gamma, FactorialsAreExact) {
    std::vector<double> x, r(23);
    for (int n = 1; n <= 23; ++n) x.push_back(n);
    for (int slot = 0; slot < 3; ++slot) {
        vexa_arx_kernel_dTGamma_ttab[slot](23, x.data(), r.data());
        double f = 1;
        for (int n = 1; n <= 23; ++n) {
            EXPECT_EQ(r[n - 1], f) << "Gamma(" << n << ")";  // (n-1)! exact up to 22!, 22! * 23 rounded once
            f *= n;
        }
    }
    std::vector<float> xf, rf(12);
    for (int n = 1; n <= 12; ++n) xf.push_back(float(n));
    vexa_arx_kernel_sTGamma_ttab[1](12, xf.data(), rf.data());
    float ff = 1;
    for (int n = 1; n <= 12; ++n) {
        EXPECT_EQ(rf[n - 1], ff) << "Gamma(" << n << ")";  // 11! is exact in float
        ff *= float(n);
    }
}

TEST(Gamma, ReflectionKeepsTheSignPattern) {
    // Gamma alternates in sign between the negative poles, ln|Gamma| does not
    // care: Gamma(x) Gamma(1 - x) = pi / sin(pi x) checked to a few ulps.
    std::vector<double> x;
    for (double v = -20.0 + 1.0 / 64; v < 0; v += 0.25) x.push_back(v);
    std::vector<double> g(x.size()), h(x.size()), y(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) y[i] = 1.0 - x[i];  // exact here
    vexa_arx_kernel_dTGamma_ttab[1](int(x.size()), x.data(), g.data());
    vexa_arx_kernel_dTGamma_ttab[1](int(y.size()), y.data(), h.data());
    for (std::size_t i = 0; i < x.size(); ++i) {
        // sin(pi x) = (-1)^n sin(pi f) with f = x - n exact
        const double n = std::nearbyint(x[i]), f = x[i] - n;
        const double want = M_PI / (std::sin(M_PI * f) * (std::fmod(n, 2.0) != 0 ? -1.0 : 1.0));
        EXPECT_NEAR(g[i] * h[i] / want, 1.0, 1e-14) << "x=" << x[i];
        EXPECT_EQ(std::signbit(g[i]), int(std::floor(x[i])) % 2 != 0) << "x=" << x[i];
    }
}

}  // namespace
