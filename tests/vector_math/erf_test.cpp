// The complementary and inverse error functions where the random sweeps are
// thin: the inverses next to the ends of their domains (probabilities down
// to the smallest subnormal, arguments an ulp from 1 and from 2), erfc deep in
// its tail down to the underflow, and the symmetries the kernels must keep.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "support/oracle.h"
#include "vexa/vector_math.h"

namespace {

using vexa::test::Fn;
template <class T> using Table = void (*const*)(int, const T*, T*);

// Every slot of f on x against the oracle: at most `ulp` in the HA slot, at
// most `la_ulp` in the LA slot, at least `ep_bits` correct bits in the EP slot.
template <class T> void check_near(const char* name, Table<T> ttab, Fn f, const std::vector<T>& x, double ulp,
                                   double ep_bits, double la_ulp = 1.0) {
    std::vector<T> r(x.size());
    for (int slot = 0; slot < 3; ++slot) {
        SCOPED_TRACE(std::string(name) + " slot " + std::to_string(slot));
        ttab[slot](int(x.size()), x.data(), r.data());
        int bad = 0;
        for (std::size_t i = 0; i < x.size(); ++i) {
            const double e = vexa::test::ulp_error(f, x[i], r[i]);
            const bool ok = slot == 2 ? (sizeof(T) == 8 ? vexa::test::correct_bits_double(e)
                                                        : vexa::test::correct_bits_float(e)) >= ep_bits
                                      : e <= (slot == 0 ? la_ulp : ulp);
            if (!ok && ++bad <= 3) ADD_FAILURE() << "x=" << x[i] << " gave " << r[i] << ", " << e << " ulp";
        }
    }
}

// Under the emulator every fifth binade (the oracle is emulated too).
#ifdef VEXA_SLOW_EMULATION
constexpr int kBinadeStep = 5;
#else
constexpr int kBinadeStep = 1;
#endif

// 2^-e for every e down to the smallest subnormal, and the values k ulps
// below `end` (k = 1, 2, 3, ... then growing geometrically).
template <class T> std::vector<T> tails(T end) {
    std::vector<T> x;
    const int digits = std::numeric_limits<T>::digits, lowest = std::numeric_limits<T>::min_exponent - digits;
    for (int e = -2; e >= lowest; e -= kBinadeStep) x.push_back(std::ldexp(T(1), e) * T(1.37));
    x.push_back(std::numeric_limits<T>::denorm_min());
    for (double k = 1; k < 1e6; k = k < 8 ? k + 1 : k * 1.7) x.push_back(end - T(k) * std::ldexp(T(1), -digits + 1));
    return x;
}

TEST(ErfInverses, NearTheEndsOfTheirDomains) {
    // Arguments next to 1 (ErfInv, CdfNormInv) and next to 2 (ErfcInv), and
    // tail probabilities down to the subnormals.
    auto plus_minus = [](std::vector<double> v) {
        const std::size_t n = v.size();
        for (std::size_t i = 0; i < n; ++i) v.push_back(-v[i]);
        return v;
    };
    check_near<double>("dErfInv", vexa_arx_kernel_dErfInv_ttab, Fn::ErfInv, plus_minus(tails(1.0)), 1.0, 26, 3.0);
    check_near<double>("dErfcInv", vexa_arx_kernel_dErfcInv_ttab, Fn::ErfcInv, tails(2.0), 1.0, 26, 3.0);
    check_near<double>("dCdfNormInv", vexa_arx_kernel_dCdfNormInv_ttab, Fn::CdfNormInv, tails(1.0), 1.0, 26, 3.0);
    check_near<float>("sErfInv", vexa_arx_kernel_sErfInv_ttab, Fn::ErfInv, tails(1.0f), 1.0, 11);
    check_near<float>("sErfcInv", vexa_arx_kernel_sErfcInv_ttab, Fn::ErfcInv, tails(2.0f), 1.0, 11);
    check_near<float>("sCdfNormInv", vexa_arx_kernel_sCdfNormInv_ttab, Fn::CdfNormInv, tails(1.0f), 1.0, 11);
}

TEST(ErfInverses, ErfcDeepInItsTail) {
    // From where exp(-x^2) leaves the normal range to the underflow of erfc
    // (and of CdfNorm at -sqrt2 times that), results subnormal.
    std::vector<double> x, nx;
    for (double v = 26.0; v < 27.226; v += 0.0031) x.push_back(v);
    for (double v = -36.8; v > -38.4854; v -= 0.0043) nx.push_back(v);
    check_near<double>("dErfc", vexa_arx_kernel_dErfc_ttab, Fn::Erfc, x, 1.0, 26);
    check_near<double>("dCdfNorm", vexa_arx_kernel_dCdfNorm_ttab, Fn::CdfNorm, nx, 1.0, 26);
}

template <class T> bool same_bits(T a, T b) { return std::memcmp(&a, &b, sizeof(T)) == 0; }

TEST(ErfInverses, SymmetriesHoldBitForBit) {
    // erfinv(-y) = -erfinv(y), erfcinv(2 - q) = -erfcinv(q) and
    // CdfNormInv(1 - p) = -CdfNormInv(p) wherever 2 - q and 1 - p are exact.
    std::vector<double> y, ny, q, q2, p, p1;
    for (double v = 1e-300; v < 1; v *= 1.37) {
        y.push_back(v), ny.push_back(-v);
        if (v < 0.25) p.push_back(v), p1.push_back(1 - v);
    }
    for (double v = 0.5; v < 1; v += 0.0137) q.push_back(v), q2.push_back(2 - v);
    std::vector<double> a(y.size()), b(y.size());
    for (int slot = 0; slot < 3; ++slot) {
        SCOPED_TRACE("slot " + std::to_string(slot));
        auto check = [&](Table<double> t, const std::vector<double>& u, const std::vector<double>& v) {
            a.resize(u.size()), b.resize(u.size());
            t[slot](int(u.size()), u.data(), a.data());
            t[slot](int(v.size()), v.data(), b.data());
            int bad = 0;
            for (std::size_t i = 0; i < u.size(); ++i)
                if (!same_bits(a[i], -b[i]) && ++bad <= 3)
                    ADD_FAILURE() << u[i] << ": " << a[i] << " vs " << b[i];
        };
        check(vexa_arx_kernel_dErfInv_ttab, y, ny);
        check(vexa_arx_kernel_dErfcInv_ttab, q, q2);
        // 1 - p is exact only where p keeps no bits below ulp(1)/2.
        std::vector<double> pe, pe1;
        for (std::size_t i = 0; i < p.size(); ++i)
            if (1 - p1[i] == p[i]) pe.push_back(p[i]), pe1.push_back(p1[i]);
        check(vexa_arx_kernel_dCdfNormInv_ttab, pe, pe1);
    }
}

}  // namespace
