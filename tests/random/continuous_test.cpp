// The continuous distributions, both types:
// - each kernel against its transformation recomputed here in long double
//   from the same uniforms (drawn again from a copy of the stream), within
//   the accuracy of the vector-math slot the kernel uses; this pins the
//   method, the order of the uniforms and the blocking;
// - each kernel's law: Kolmogorov-Smirnov against the exact CDF, which must
//   also reject the same sample under a small shift or change of scale;
// - the second Box-Muller method's pending pair across calls and copies, and
//   its chunk under allocation failure;
// - the engine path of congruential streams, the error callbacks' values at
//   u = 0 and v = -1, a failing generator's status, and the caller's mode
//   and callback restored.
#include <gtest/gtest.h>

#include <algorithm>
#include <boost/math/special_functions/erf.hpp>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/rng_stream.h"
#include "vexa/rng_distributions.h"
#include "vexa/service.h"
#include "vexa/vector_math.h"

namespace {

using LD = long double;
constexpr int32_t kMcg31 = 0x100000, kR250 = 0x200000, kMcg59 = 0x400000, kMt19937 = 0x800000;
// Law tests draw 10^6 values natively, fewer under emulation and the sanitizers.
constexpr int kLawSize = 1000000 / VEXA_TEST_SCALE;

// A stream whose uniforms come back in long double.
struct Stream : vexa::test::RngStream {
    explicit Stream(int32_t id, uint32_t seed = 20261208) : RngStream(id, seed) {}
    explicit Stream(StreamState* adopted) : RngStream(adopted) {}
    Stream copy() const { return Stream(RngStream::copy().release()); }
    template <class T> std::vector<LD> uniforms(int n, T a, T b) {
        const std::vector<T> r = RngStream::uniforms<T>(n, a, b);
        return std::vector<LD>(r.begin(), r.end());
    }
};

// ---- the kernels by name, both types ------------------------------------
template <class T> struct K;
#define KERNEL_ROW(Name, params) \
    static int Name(int m, StreamState* s, int n, T* r, auto... p) { return call_##Name(m, s, n, r, p...); }
template <> struct K<double> {
    using T = double;
#define RNG_CONTINUOUS(Name, params) static constexpr auto call_##Name = _tqrdRng##Name;
#include "vexa/rng_distributions.def"
#undef RNG_CONTINUOUS
#define RNG_CONTINUOUS KERNEL_ROW
#include "vexa/rng_distributions.def"
#undef RNG_CONTINUOUS
};
template <> struct K<float> {
    using T = float;
#define RNG_CONTINUOUS(Name, params) static constexpr auto call_##Name = _tqrsRng##Name;
#include "vexa/rng_distributions.def"
#undef RNG_CONTINUOUS
#define RNG_CONTINUOUS KERNEL_ROW
#include "vexa/rng_distributions.def"
#undef RNG_CONTINUOUS
};
#undef KERNEL_ROW

// The replacement values of the callbacks, and the kernels' constants.
template <class T> LD ln_zero() { return sizeof(T) == 8 ? LD(-744.4400719213812) : LD(-103.2789306640625f); }
template <class T> LD normal_end() { return sizeof(T) == 8 ? LD(5.8635847487551676) : LD(3.832507f); }
template <class T> T half_pi() { return T(1.5707963267948966); }
template <class T> LD two_pi() { return LD(T(6.283185307179586)); }

LD log_or(LD u, LD zero) { return u == 0 ? zero : std::log(u); }
LD normal_quantile(LD p) { return -std::sqrt(LD(2)) * boost::math::erfc_inv(2 * p); }

// One distribution: its kernel, its transformation of the copy's uniforms,
// its exact CDF, and the scale of its values.
template <class T> struct Case {
    std::string name;
    std::function<int(StreamState*, int, T*)> kernel;
    std::function<std::vector<LD>(Stream&, int)> reference;
    std::function<double(double)> cdf;
    LD location, scale;
    LD tolerance = 1;  // in units of the slot accuracy below
};

template <class T> std::vector<Case<T>> cases() {
    using Kt = K<T>;
    std::vector<Case<T>> c;
    const LD lz = ln_zero<T>();
    auto exp_ref = [lz](Stream& s, int n, LD a, LD beta) {
        std::vector<LD> u = s.uniforms<T>(n, 0, 1);
        for (LD& x : u) x = std::max(a, a - beta * log_or(x, lz));
        return u;
    };
    c.push_back({"Uniform", [](StreamState* s, int n, T* r) { return Kt::Uniform(0, s, n, r, -2.0, 3.0); },
                 [](Stream& s, int n) { return s.uniforms<T>(n, -2, 3); },
                 [](double x) -> double { return std::clamp((x + 2) / 5, double(0), double(1)); }, -2, 5, 0});
    c.push_back({"Exponential", [](StreamState* s, int n, T* r) { return Kt::Exponential(0, s, n, r, 1.5, 2.0); },
                 [=](Stream& s, int n) { return exp_ref(s, n, 1.5, 2); },
                 [](double x) -> double { return x < 1.5 ? double(0) : -std::expm1(-(x - 1.5) / 2); }, 1.5, 2});
    c.push_back({"Laplace", [](StreamState* s, int n, T* r) { return Kt::Laplace(0, s, n, r, -1.0, 0.5); },
                 [lz](Stream& s, int n) {
                     std::vector<LD> u = s.uniforms<T>(2 * n, 0, 1), r(std::size_t(n), 0);
                     for (int i = 0; i < n; ++i) {
                         const LD l = log_or(u[2 * i], lz);
                         r[i] = u[2 * i + 1] <= 0.5 ? -1 - 0.5 * l : -1 + 0.5 * l;
                     }
                     return r;
                 },
                 [](double x) -> double { return x < -1 ? std::exp((x + 1) / 0.5) / 2 : 1 - std::exp(-(x + 1) / 0.5) / 2; }, -1, 0.5});
    c.push_back({"Weibull", [](StreamState* s, int n, T* r) { return Kt::Weibull(0, s, n, r, 2.5, 0.25, 3.0); },
                 [lz](Stream& s, int n) {
                     std::vector<LD> u = s.uniforms<T>(n, 0, 1);
                     for (LD& x : u) x = std::max(LD(0.25), 0.25 + 3 * std::pow(-log_or(x, lz), LD(1) / LD(T(2.5))));
                     return u;
                 },
                 [](double x) -> double { return x < 0.25 ? double(0) : -std::expm1(-std::pow((x - 0.25) / 3, double(2.5))); }, 0.25, 3});
    c.push_back({"Cauchy", [](StreamState* s, int n, T* r) { return Kt::Cauchy(0, s, n, r, 4.0, 0.75); },
                 [](Stream& s, int n) {
                     std::vector<LD> v = s.uniforms<T>(n, -half_pi<T>(), half_pi<T>());
                     for (LD& x : v) x = 4 + 0.75 * std::tan(x);
                     return v;
                 },
                 [](double x) -> double { return 0.5 + std::atan((x - 4) / 0.75) / std::acos(double(-1)); }, 4, 0.75});
    c.push_back({"Rayleigh", [](StreamState* s, int n, T* r) { return Kt::Rayleigh(0, s, n, r, -0.5, 1.25); },
                 [lz](Stream& s, int n) {
                     std::vector<LD> u = s.uniforms<T>(n, 0, 1);
                     for (LD& x : u) x = std::max(LD(-0.5), -0.5 + 1.25 * std::sqrt(-log_or(x, lz)));
                     return u;
                 },
                 [](double x) -> double { return x < -0.5 ? double(0) : -std::expm1(-std::pow((x + 0.5) / 1.25, 2)); }, -0.5, 1.25});
    c.push_back({"Gumbel", [](StreamState* s, int n, T* r) { return Kt::Gumbel(0, s, n, r, 2.0, 0.5); },
                 [=](Stream& s, int n) {
                     std::vector<LD> e = exp_ref(s, n, 0, 1);
                     for (LD& x : e) x = 2 + 0.5 * std::log(x);
                     return e;
                 },
                 [](double x) -> double { return -std::expm1(-std::exp((x - 2) / 0.5)); }, 2, 0.5, 2});
    // The Gaussian's methods; Box-Muller pairs are (even, odd) uniforms.
    auto box_muller = [lz](Stream& s, int n, bool both) {
        const int pairs = both ? (n + 1) / 2 : n;
        std::vector<LD> u = s.uniforms<T>(2 * pairs, 0, 1), r;
        for (int i = 0; i < pairs; ++i) {
            const LD q = std::sqrt(-2 * log_or(u[2 * i], lz)), t = LD(T(two_pi<T>() * u[2 * i + 1]));
            r.push_back(1 + 2 * q * std::sin(t));
            if (both) r.push_back(1 + 2 * q * std::cos(t));
        }
        r.resize(std::size_t(n));
        return r;
    };
    auto normal_cdf = [](double x) -> double { return std::erfc(-(x - 1) / 2 / std::sqrt(double(2))) / 2; };
    c.push_back({"Gaussian BoxMuller", [](StreamState* s, int n, T* r) { return Kt::Gaussian(0, s, n, r, 1.0, 2.0); },
                 [=](Stream& s, int n) { return box_muller(s, n, false); }, normal_cdf, 1, 2, 2});
    c.push_back({"Gaussian BoxMuller2", [](StreamState* s, int n, T* r) { return Kt::Gaussian(1, s, n, r, 1.0, 2.0); },
                 [=](Stream& s, int n) { return box_muller(s, n, true); }, normal_cdf, 1, 2, 2});
    c.push_back({"Gaussian ICDF", [](StreamState* s, int n, T* r) { return Kt::Gaussian(2, s, n, r, 1.0, 2.0); },
                 [](Stream& s, int n) {
                     std::vector<LD> v = s.uniforms<T>(n, -1, 1);
                     for (LD& x : v)
                         x = 1 + LD(T(std::sqrt(T(2)) * T(2))) * (x == -1 ? -normal_end<T>() : boost::math::erf_inv(x));
                     return v;
                 },
                 normal_cdf, 1, 2, 2});
    c.push_back({"Lognormal", [](StreamState* s, int n, T* r) { return Kt::Lognormal(0, s, n, r, 0.5, 0.25, -1.0, 2.0); },
                 [=](Stream& s, int n) {
                     std::vector<LD> g = box_muller(s, n, true);
                     for (LD& x : g) x = -1 + 2 * std::exp(0.5 + 0.25 * (x - 1) / 2);
                     return g;
                 },
                 [](double x) -> double { return x <= -1 ? double(0) : std::erfc(-(std::log((x + 1) / 2) - 0.5) / 0.25 / std::sqrt(double(2))) / 2; },
                 -1, 2, 4});
    return c;
}

// The documented accuracy of the EP slot (26 correct bits for double, 11 for
// float), widened for the three or four steps a transformation chains.
template <class T> LD slot_accuracy() { return sizeof(T) == 8 ? LD(0x1p-23) : LD(0x1p-8); }

template <class T> std::vector<T> draw(const Case<T>& c, StreamState* s, int n, int& status) {
    std::vector<T> r(std::size_t(n) + 1);
    // Start one element in, so the kernels also meet an unaligned array.
    status = c.kernel(s, n, r.data() + 1);
    return std::vector<T>(r.begin() + 1, r.end());
}

template <class T> void exactness() {
    for (const Case<T>& c : cases<T>()) {
        for (int32_t id : {kMt19937, kR250}) {
            Stream s(id);
            Stream copy = s.copy();
            const int n = 2500;  // two full passes of 1024 and a ragged end
            int st;
            const std::vector<T> got = draw(c, s.s, n, st);
            ASSERT_EQ(st, 0) << c.name;
            const std::vector<LD> want = c.reference(copy, n);
            int bad = 0;
            for (int i = 0; i < n && bad < 5; ++i) {
                const LD tol = c.tolerance * slot_accuracy<T>() * (std::fabs(want[i]) + c.scale);
                if (!(std::fabs(LD(got[i]) - want[i]) <= tol)) {
                    ++bad;
                    ADD_FAILURE() << c.name << " generator " << std::hex << id << std::dec << " value " << i << ": "
                                  << double(got[i]) << " want " << double(want[i]);
                }
            }
        }
    }
}
TEST(Continuous, DoubleKernelsFollowTheirTransformations) { exactness<double>(); }
TEST(Continuous, FloatKernelsFollowTheirTransformations) { exactness<float>(); }

// sqrt(n) D for the sorted sample against cdf.
template <class T> LD ks(const std::vector<T>& x, const std::function<double(double)>& cdf) {
    const LD n = LD(x.size());
    LD d = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const LD f = cdf(double(x[i]));
        d = std::max({d, LD(i + 1) / n - f, f - LD(i) / n});
    }
    return d * std::sqrt(n);
}

// sqrt(n) D exceeds 2.5 with probability 2 exp(-12.5) = 7.5e-6 for a correct
// kernel (Kolmogorov's limit law); at the fixed seeds the test is
// deterministic. The same sample must exceed it against the distribution
// shifted by 15 / sqrt(n) scale units, or scaled by 1 + 30 / sqrt(n): at
// 10^6 values a 1.5% shift or a 3% scale error fails the test.
template <class T> void law() {
    const int n = kLawSize;
    const LD threshold = 2.5, shift = 15 / std::sqrt(LD(n)), stretch = 1 + 30 / std::sqrt(LD(n));
    for (const Case<T>& c : cases<T>()) {
        Stream s(kMt19937, 7);
        int st;
        std::vector<T> x = draw(c, s.s, n, st);
        ASSERT_EQ(st, 0);
        std::sort(x.begin(), x.end());
        EXPECT_LT(ks(x, c.cdf), threshold) << c.name;
        const auto shifted = [&](double v) { return c.cdf(double(v - shift * c.scale)); };
        const auto scaled = [&](double v) { return c.cdf(double(c.location + (v - c.location) / stretch)); };
        EXPECT_GT(ks(x, shifted), threshold) << c.name << " shifted";
        EXPECT_GT(ks(x, scaled), threshold) << c.name << " scaled";
    }
}
TEST(Continuous, DoubleLaws) { law<double>(); }
TEST(Continuous, FloatLaws) { law<float>(); }

// ---- Box-Muller with pairs ----------------------------------------------
template <class T> void pairs_split_anyhow() {
    Stream whole(kMt19937);
    std::vector<Stream> parts;
    for (int k = 0; k < 3; ++k) parts.push_back(whole.copy());
    std::vector<T> want(3000);
    ASSERT_EQ(K<T>::Gaussian(1, whole.s, 3000, want.data(), 0.5, 3.0), 0);
    const std::vector<std::vector<int>> splits = {{3, 5, 2992}, {1, 1, 1, 1023, 1025, 949}, {1023, 1, 1976}};
    for (std::size_t k = 0; k < splits.size(); ++k) {
        std::vector<T> got(3000);
        int at = 0;
        for (int m : splits[k]) {
            ASSERT_EQ(K<T>::Gaussian(1, parts[k].s, m, got.data() + at, 0.5, 3.0), 0);
            at += m;
        }
        EXPECT_EQ(got, want) << "split " << k;
    }
    // A copy made while a pair is pending continues it.
    Stream s(kMt19937, 99);
    T first[3], a[5], b[5];
    ASSERT_EQ(K<T>::Gaussian(1, s.s, 3, first, 0.0, 1.0), 0);
    Stream c = s.copy();
    ASSERT_EQ(K<T>::Gaussian(1, s.s, 5, a, 0.0, 1.0), 0);
    ASSERT_EQ(K<T>::Gaussian(1, c.s, 5, b, 0.0, 1.0), 0);
    EXPECT_EQ(std::vector<T>(a, a + 5), std::vector<T>(b, b + 5));
}
TEST(Continuous, PairsDoNotDependOnTheSplit) {
    pairs_split_anyhow<double>();
    pairs_split_anyhow<float>();
}

// The chunk of the pending pair: every allocation of its creation made to
// fail in turn gives VEXA_RNG_MEMORY and leaves nothing allocated; then it works.
TEST(Continuous, PendingPairChunkFailure) {
    for (int type = 0; type < 2; ++type) {
        for (long k = 1;; ++k) {
            Stream s(kMt19937);
            const long live = vexa_serv_test_live_blocks();
            double d[3];
            float f[3];
            vexa_serv_test_fail_allocation(k);
            const int st = type == 0 ? _tqrdRngGaussian(1, s.s, 3, d, 0, 1) : _tqrsRngGaussian(1, s.s, 3, f, 0, 1);
            vexa_serv_test_fail_allocation(0);
            if (st == 0) {
                EXPECT_GT(k, 1);
                break;
            }
            EXPECT_EQ(st, VEXA_RNG_MEMORY);
            EXPECT_EQ(vexa_serv_test_live_blocks(), live);
            EXPECT_EQ(__tqrSearchChunk(s.s, type == 0 ? 2 : 1), nullptr);
            ASSERT_LT(k, 10);
        }
    }
}

// ---- the engine path -------------------------------------------------------
TEST(Continuous, InverseCdfOnEnginesOfCongruentialStreams) {
    for (int32_t id : {kMcg31, kMcg59}) {
        Stream s(id);
        // Integer output first: the engines must start where it left the stream.
        std::vector<uint32_t> words(37 * (id == kMcg59 ? 2 : 1));
        BrngProperties p{};
        __tqrGetBrngProperties(id, &p);
        ASSERT_EQ(p.iBRng(s.s, 37, words.data()), 0);
        Stream copy = s.copy();
        const int n = 1000;
        std::vector<double> got(n + 3);
        ASSERT_EQ(_tqrdRngGaussian(2, s.s, n, got.data() + 3, -1.0, 0.5), 0);
        const std::vector<LD> u = copy.uniforms<double>(n, 0, 1);
        for (int i = 0; i < n; ++i) {
            const LD want = -1 + 0.5 * normal_quantile(u[i]);
            ASSERT_NEAR(double(got[i + 3]), double(want), double(slot_accuracy<double>() * (std::fabs(want) + 1))) << i;
        }
        // The stream goes on after the values the engines took.
        EXPECT_EQ(s.uniforms<double>(9, 0, 1), copy.uniforms<double>(9, 0, 1));
        // Without its lane data the stream cannot take the path.
        __tqrDeleteChunksById(s.s, 14);
        EXPECT_EQ(_tqrdRngGaussian(2, s.s, 4, got.data(), 0, 1), VEXA_RNG_MEMORY);
    }
}

// ---- exact inputs through an abstract stream ----------------------------
std::vector<double> g_values;
std::size_t g_next = 0;
template <class T> int feed(StreamState*, int* n, T* buffer, int*, int* nmax, int* idx) {
    for (int j = 0; j < *nmax; ++j) buffer[(*idx + j) % *n] = T(g_values[g_next++ % g_values.size()]);
    return *nmax;
}
template <class T> Stream abstract(std::vector<double> values) {
    g_values = std::move(values);
    g_next = 0;
    static T buffer[16];
    StreamState* s = nullptr;
    if constexpr (sizeof(T) == 8) EXPECT_EQ(__tqrdNewAbstractStream(&s, 16, buffer, 0.0, 1.0, feed<double>), 0);
    else EXPECT_EQ(__tqrsNewAbstractStream(&s, 16, buffer, 0.0f, 1.0f, feed<float>), 0);
    return Stream(s);
}

template <class T> void exact_inputs() {
    using Kt = K<T>;
    const T lz = T(ln_zero<T>());
    T r[4];
    // u = 0: the logarithm callback's value, not an infinity.
    ASSERT_EQ(Kt::Exponential(0, abstract<T>({0.0}).s, 2, r, 1.0, 2.0), 0);
    EXPECT_EQ(r[0], T(1) - T(2) * lz);
    // Laplace: u2 = 1/2 takes a - beta ln u1.
    ASSERT_EQ(Kt::Laplace(0, abstract<T>({0.25, 0.5, 0.25, 0.75}).s, 2, r, 1.0, 2.0), 0);
    EXPECT_NEAR(r[0], 1 - 2 * std::log(0.25), 1e-3);
    EXPECT_NEAR(r[1], 1 + 2 * std::log(0.25), 1e-3);
    // Box-Muller with u1 = 0, and the inverse CDF at v = -1 (u = 0).
    ASSERT_EQ(Kt::Gaussian(0, abstract<T>({0.0, 0.25}).s, 1, r, 0.0, 1.0), 0);
    EXPECT_NEAR(r[0], std::sqrt(-2 * lz), 1e-3 * std::sqrt(-2 * lz));
    ASSERT_EQ(Kt::Gaussian(2, abstract<T>({0.0}).s, 1, r, 0.0, 1.0), 0);
    EXPECT_EQ(r[0], T(-normal_end<T>()) * T(std::sqrt(T(2))));
    // Weibull with alpha = 1 is the exponential bit for bit.
    Stream s(kMt19937);
    Stream c = s.copy();
    std::vector<T> w(777), e(777);
    ASSERT_EQ(Kt::Weibull(0, s.s, 777, w.data(), 1.0, 0.5, 2.0), 0);
    ASSERT_EQ(Kt::Exponential(0, c.s, 777, e.data(), 0.5, 2.0), 0);
    EXPECT_EQ(w, e);
    // The accurate uniform clamps into [a, b]: an interval one ulp wide, and
    // values the stream hands out beyond its own bounds.
    const T a = 1, b = std::nextafter(T(1), T(2));
    std::vector<T> u(1000), plain(1000);
    const std::vector<double> feed_values = {0.9999999, 1.5, -0.25, 0.5};
    ASSERT_EQ(Kt::Uniform(VEXA_RNG_UNIFORM_ACCURATE, abstract<T>(feed_values).s, 1000, u.data(), a, b), 0);
    for (T x : u) EXPECT_TRUE(x >= a && x <= b) << x;
    ASSERT_EQ(Kt::Uniform(0, abstract<T>(feed_values).s, 1000, plain.data(), a, b), 0);
    EXPECT_GT(*std::max_element(plain.begin(), plain.end()), b);
}
TEST(Continuous, CallbackValuesAndExactInputs) {
    exact_inputs<double>();
    exact_inputs<float>();
}

// A generator's failure comes back unchanged: an integer abstract stream has
// no real-valued output.
TEST(Continuous, GeneratorStatusReturnedUnchanged) {
    const vexa::test::RngStream s = vexa::test::failing_real_stream();
    for (const auto& c : cases<double>()) {
        double r[8];
        EXPECT_EQ(c.kernel(s.s, 8, r), VEXA_RNG_ABSTRACT_TYPE) << c.name;
    }
    for (const auto& c : cases<float>()) {
        float r[8];
        EXPECT_EQ(c.kernel(s.s, 8, r), VEXA_RNG_ABSTRACT_TYPE) << c.name;
    }
}

// The caller's mode and callback survive every kernel, including singular
// logarithms inside, and the caller's callback is not the one called for them.
int g_caller_calls = 0;
int caller_callback(ErrorContext*) { return ++g_caller_calls, 0; }
TEST(Continuous, CallersModeAndCallbackRestored) {
    const unsigned mode = VEXA_VM_HA | VEXA_VM_ERRMODE_CALLBACK | VEXA_VM_ERRMODE_ERRNO | VEXA_VM_FLUSH_DENORMALS;
    const unsigned before = vexa_arx_kernel_SetMode(mode);
    const unsigned want = vexa_arx_kernel_GetMode();
    const VexaErrorCallBack old = vexa_arx_kernel_SetErrorCallBack(caller_callback);
    for (const auto& c : cases<double>()) {
        double r[64];
        Stream s = abstract<double>({0.0, 0.5, 0.0, 0.25});
        EXPECT_EQ(c.kernel(s.s, 64, r), 0) << c.name;
        for (double x : r) EXPECT_TRUE(std::isfinite(x)) << c.name;
        EXPECT_EQ(vexa_arx_kernel_GetMode(), want) << c.name;
        EXPECT_EQ(vexa_arx_kernel_GetErrorCallBack(), caller_callback) << c.name;
    }
    for (const auto& c : cases<float>()) {
        float r[64];
        Stream s = abstract<float>({0.0, 0.5, 0.0, 0.25});
        EXPECT_EQ(c.kernel(s.s, 64, r), 0) << c.name;
        EXPECT_EQ(vexa_arx_kernel_GetMode(), want) << c.name;
        EXPECT_EQ(vexa_arx_kernel_GetErrorCallBack(), caller_callback) << c.name;
    }
    EXPECT_EQ(g_caller_calls, 0);
    vexa_arx_kernel_SetErrorCallBack(old);
    vexa_arx_kernel_SetMode(before);
}

// Threads, each with its own stream and its own mode and callback, run the
// kernels at once: every thread gets the values of a lone run, and keeps
// its mode and callback.
int thread_callback(ErrorContext*) { return 0; }
TEST(Continuous, ThreadsKeepTheirOwnModes) {
    const auto run = [](uint32_t seed, std::vector<double>& out) {
        Stream s(kMt19937, seed);
        out.assign(3000, 0);
        for (int k = 0; k < 3; ++k) {
            _tqrdRngGaussian(k, s.s, 500, out.data() + 1000 * k, 0, 1);
            _tqrdRngExponential(0, s.s, 500, out.data() + 1000 * k + 500, 0, 1);
        }
    };
    std::vector<double> want[2], got[2];
    run(1, want[0]);
    run(2, want[1]);
    bool kept[2] = {false, false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([&, t] {
            const unsigned mode = t == 0 ? VEXA_VM_LA | VEXA_VM_ERRMODE_IGNORE : VEXA_VM_HA | VEXA_VM_ERRMODE_CALLBACK;
            vexa_arx_kernel_SetMode(mode);
            vexa_arx_kernel_SetErrorCallBack(t == 0 ? nullptr : thread_callback);
            const unsigned before = vexa_arx_kernel_GetMode();
            for (int rep = 0; rep < 20; ++rep) run(uint32_t(t + 1), got[t]);
            kept[t] = vexa_arx_kernel_GetMode() == before &&
                      vexa_arx_kernel_GetErrorCallBack() == (t == 0 ? nullptr : thread_callback);
        });
    for (auto& th : threads) th.join();
    for (int t = 0; t < 2; ++t) {
        EXPECT_EQ(got[t], want[t]) << t;
        EXPECT_TRUE(kept[t]) << t;
    }
}

}  // namespace
