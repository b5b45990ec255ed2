// The exact families and the division family: the rounding functions, Sqr,
// Frac, Modf and LinearFrac bit for bit against scalar references (random
// values over every binade, halves, signed zeros, infinities, NaN payloads,
// values at and beyond 2^52 / 2^23) in every slot; the statuses of Div, Inv
// and Sqrt per slot, with the EP kernels that report nothing; functions
// without statuses leave the status word alone; LinearFrac's floating-point
// frame (float under the vector-math frame, double under the caller's).
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "support/sweep.h"
#include "support/vm_test.h"
#include "vexa/vector_math.h"

namespace {

using vexa::test::in_fresh_thread;
using vexa::test::Rng;
using vexa::test::ScopedMxcsr;

template <class T> using Bits = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;
template <class T> Bits<T> bits(T x) {
    Bits<T> b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}
template <class T> T from_bits(Bits<T> b) {
    T x;
    std::memcpy(&x, &b, sizeof x);
    return x;
}

// Inputs that exercise rounding: every binade, halves and near-halves, signed
// zeros, infinities, quiet NaNs with payloads, the integers at and past 2^p.
template <class T> std::vector<T> rounding_inputs() {
    using L = std::numeric_limits<T>;
    Rng g(42);
    std::vector<T> v;
    for (int k = -6; k <= 6; ++k) {
        const T h = T(k) + T(0.5);
        v.insert(v.end(), {h, std::nextafter(h, T(0)), std::nextafter(h, T(100)), T(k)});
    }
    const T big = std::ldexp(T(1), L::digits - 1);  // 2^52 or 2^23: from here on every value is an integer
    v.insert(v.end(), {big, -big, big + T(1), big - T(0.5), -(big - T(0.5)), std::ldexp(T(1), L::digits), L::max(),
                       -L::max(), T(0), -T(0), L::infinity(), -L::infinity(), L::denorm_min(), -L::min(),
                       T(0.49999999999999994), T(-0.49999999999999994)});
    const Bits<T> quiet = bits(L::quiet_NaN());
    v.push_back(from_bits<T>(quiet | 0x1234));
    v.push_back(from_bits<T>((quiet | 0x55) ^ (Bits<T>(1) << (sizeof(T) * 8 - 1))));
    for (int i = 0; i < 2000; ++i) {
        const int e = int(g.next() % 80) - 40;
        const T x = T(std::ldexp(1.0 + g.uniform(), e));
        v.push_back(g.next() & 1 ? x : -x);
    }
    return v;
}

// The scalar reference of each function, and whether NaN outputs are compared
// by payload (they are: the instructions keep a quiet NaN's payload).
template <class T> T reference(const std::string& f, T a) {
    if (f == "Floor") return std::floor(a);
    if (f == "Ceil") return std::ceil(a);
    if (f == "Trunc") return std::trunc(a);
    if (f == "Rint") return std::rint(a);
    if (f == "NearbyInt") return std::nearbyint(a);
    if (f == "Round") return std::isnan(a) ? a : std::copysign(std::round(a), a);
    if (f == "Frac") return a - std::trunc(a);
    if (f == "Sqr") return a * a;
    return a;
}

template <class T> void expect_same(T got, T want, const std::string& what, T a) {
    if (std::isnan(want)) {
        ASSERT_TRUE(std::isnan(got)) << what << " of " << a;
        ASSERT_EQ(bits(got) | bits(std::numeric_limits<T>::quiet_NaN()), bits(want) | bits(std::numeric_limits<T>::quiet_NaN()))
            << what << ": NaN payload";
        return;
    }
    ASSERT_EQ(bits(got), bits(want)) << what << " of " << a << ": got " << got << " want " << want;
}

template <class T> struct Exact {
    const char* name;
    void (*const* ttab)(int, const T*, T*);
};
#define VMX_EXACT(t) \
    {"Floor", vexa_arx_kernel_##t##Floor_ttab}, {"Ceil", vexa_arx_kernel_##t##Ceil_ttab}, \
    {"Trunc", vexa_arx_kernel_##t##Trunc_ttab}, {"Rint", vexa_arx_kernel_##t##Rint_ttab}, \
    {"NearbyInt", vexa_arx_kernel_##t##NearbyInt_ttab}, {"Round", vexa_arx_kernel_##t##Round_ttab}, \
    {"Frac", vexa_arx_kernel_##t##Frac_ttab}, {"Sqr", vexa_arx_kernel_##t##Sqr_ttab}

template <class T> class Algebraic : public testing::Test {};
using Types = testing::Types<float, double>;
TYPED_TEST_SUITE(Algebraic, Types);

template <class T> std::vector<Exact<T>> exact_functions();
template <> std::vector<Exact<float>> exact_functions<float>() { return {VMX_EXACT(s)}; }
template <> std::vector<Exact<double>> exact_functions<double>() { return {VMX_EXACT(d)}; }

TYPED_TEST(Algebraic, ExactFunctionsMatchTheirScalarReferencesInEverySlot) {
    using T = TypeParam;
    const std::vector<T> x = rounding_inputs<T>();
    std::vector<T> r(x.size());
    for (const auto& f : exact_functions<T>()) {
        for (int slot = 0; slot < 3; ++slot) {
            f.ttab[slot](int(x.size()), x.data(), r.data());
            for (std::size_t i = 0; i < x.size(); ++i)
                expect_same(r[i], reference<T>(f.name, x[i]), std::string(f.name) + " slot " + std::to_string(slot), x[i]);
        }
    }
}

TYPED_TEST(Algebraic, RoundingOfHalvesAndZeros) {
    using T = TypeParam;
    auto one = [](auto ttab, T a) {
        T r;
        ttab[1](1, &a, &r);
        return r;
    };
    const auto round = sizeof(T) == 4 ? reinterpret_cast<void (*const*)(int, const T*, T*)>(vexa_arx_kernel_sRound_ttab)
                                      : reinterpret_cast<void (*const*)(int, const T*, T*)>(vexa_arx_kernel_dRound_ttab);
    const auto rint = sizeof(T) == 4 ? reinterpret_cast<void (*const*)(int, const T*, T*)>(vexa_arx_kernel_sRint_ttab)
                                     : reinterpret_cast<void (*const*)(int, const T*, T*)>(vexa_arx_kernel_dRint_ttab);
    EXPECT_EQ(one(round, T(2.5)), T(3));
    EXPECT_EQ(one(round, T(-2.5)), T(-3));
    EXPECT_EQ(one(round, T(0.5)), T(1));
    const T negzero = one(round, T(-0.4));
    EXPECT_TRUE(negzero == 0 && std::signbit(negzero));
    EXPECT_EQ(one(rint, T(2.5)), T(2));
    EXPECT_EQ(one(rint, T(3.5)), T(4));
}

template <class T> struct Modf;
template <> struct Modf<float> { static constexpr auto ttab = vexa_arx_kernel_sModf_ttab; };
template <> struct Modf<double> { static constexpr auto ttab = vexa_arx_kernel_dModf_ttab; };

TYPED_TEST(Algebraic, ModfGivesTheTruncationAndTheSignedFraction) {
    using T = TypeParam;
    const std::vector<T> x = rounding_inputs<T>();
    for (int slot = 0; slot < 3; ++slot) {
        std::vector<T> i(x.size()), f(x.size());
        Modf<T>::ttab[slot](int(x.size()), x.data(), i.data(), f.data());
        for (std::size_t k = 0; k < x.size(); ++k) {
            const T t = std::trunc(x[k]);
            expect_same(i[k], t, "Modf integer part", x[k]);
            expect_same(f[k], from_bits<T>(bits(T(x[k] - t)) | (bits(x[k]) & bits(T(-0.0)))), "Modf fraction", x[k]);
        }
        // In place: the integer part over the argument.
        std::vector<T> y = x;
        Modf<T>::ttab[slot](int(y.size()), y.data(), y.data(), f.data());
        for (std::size_t k = 0; k < x.size(); ++k) expect_same(y[k], T(std::trunc(x[k])), "Modf in place", x[k]);
    }
    const T a = T(-2);
    T r1, r2;
    Modf<T>::ttab[1](1, &a, &r1, &r2);
    EXPECT_TRUE(r2 == 0 && std::signbit(r2)) << "the fraction of -2 is -0";
}

// Statuses per slot: which elements report, in order, and what is stored.
struct Seen {
    int index, status;
};
std::vector<Seen> g_seen;
int collect(ErrorContext* c) {
    g_seen.push_back({c->index, c->status});
    return 0;
}

template <class T, class Call>
void expect_reports(const char* what, bool reports, int status, const std::vector<int>& at, Call call) {
    SCOPED_TRACE(what);
    in_fresh_thread([&] {
        vexa_arx_kernel_SetErrorCallBack(collect);
        g_seen.clear();
        vexa_arx_kernel_SetErrStatus(77);
        call();
        if (!reports) {
            EXPECT_TRUE(g_seen.empty());
            EXPECT_EQ(vexa_arx_kernel_GetErrStatus(), 77);
            return;
        }
        ASSERT_EQ(g_seen.size(), at.size());
        for (std::size_t k = 0; k < at.size(); ++k) {
            EXPECT_EQ(g_seen[k].index, at[k]);
            EXPECT_EQ(g_seen[k].status, status);
        }
        EXPECT_EQ(vexa_arx_kernel_GetErrStatus(), at.empty() ? 77 : status);
    });
}

template <class T> struct Division;
template <> struct Division<float> {
    static constexpr auto div = vexa_arx_kernel_sDiv_ttab;
    static constexpr auto inv = vexa_arx_kernel_sInv_ttab;
    static constexpr auto sqrt = vexa_arx_kernel_sSqrt_ttab;
    static constexpr bool div_ep_reports = false;
};
template <> struct Division<double> {
    static constexpr auto div = vexa_arx_kernel_dDiv_ttab;
    static constexpr auto inv = vexa_arx_kernel_dInv_ttab;
    static constexpr auto sqrt = vexa_arx_kernel_dSqrt_ttab;
    static constexpr bool div_ep_reports = true;
};

TYPED_TEST(Algebraic, DivisionReportsZeroDivisorsAndSqrtNegativeArguments) {
    using T = TypeParam;
    using D = Division<T>;
    const T inf = std::numeric_limits<T>::infinity(), nan = std::numeric_limits<T>::quiet_NaN();
    // Divisors: zeros of both signs (0/0 too) among ordinary ones, past a whole register.
    std::vector<T> a(19, T(3)), b(19, T(2));
    a[1] = T(-5), b[1] = T(0);
    a[7] = T(0), b[7] = T(-0.0);
    a[12] = nan, b[12] = T(0);
    a[18] = T(1), b[18] = T(-0.0);
    for (int slot = 0; slot < 3; ++slot) {
        std::vector<T> r(a.size());
        expect_reports<T>("Div", slot != 2 || D::div_ep_reports, VEXA_VM_STATUS_SING, {1, 7, 12, 18},
                          [&] { D::div[slot](int(a.size()), a.data(), b.data(), r.data()); });
        EXPECT_EQ(r[1], -inf);
        EXPECT_TRUE(std::isnan(r[7]) && std::isnan(r[12]));
        EXPECT_EQ(r[18], -inf);
        EXPECT_EQ(r[0], T(1.5));
        expect_reports<T>("Inv", slot != 2, VEXA_VM_STATUS_SING, {1, 7, 12, 18},
                          [&] { D::inv[slot](int(b.size()), b.data(), r.data()); });
        EXPECT_EQ(r[1], inf);
        EXPECT_EQ(r[7], -inf);
        EXPECT_EQ(r[0], T(0.5));
        // Sqrt: below zero is a domain error; -0 gives -0 and NaN gives NaN silently.
        const std::vector<T> s = {T(4), T(-1), T(-0.0), nan, -inf, T(2), inf, -std::numeric_limits<T>::denorm_min()};
        std::vector<T> q(s.size());
        expect_reports<T>("Sqrt", true, VEXA_VM_STATUS_DOMAIN, {1, 4, 7},
                          [&] { D::sqrt[slot](int(s.size()), s.data(), q.data()); });
        EXPECT_EQ(q[0], T(2));
        EXPECT_TRUE(std::isnan(q[1]) && std::isnan(q[3]) && std::isnan(q[4]) && std::isnan(q[7]));
        EXPECT_TRUE(q[2] == 0 && std::signbit(q[2]));
        EXPECT_EQ(q[6], inf);
    }
}

TYPED_TEST(Algebraic, FunctionsWithoutStatusesLeaveTheStatusWordAlone) {
    using T = TypeParam;
    const std::vector<T> x = rounding_inputs<T>();
    in_fresh_thread([&] {
        vexa_arx_kernel_SetErrorCallBack(collect);
        g_seen.clear();
        vexa_arx_kernel_SetErrStatus(77);
        std::vector<T> r(x.size()), r2(x.size());
        for (const auto& f : exact_functions<T>())
            for (int slot = 0; slot < 3; ++slot) f.ttab[slot](int(x.size()), x.data(), r.data());
        Modf<T>::ttab[0](int(x.size()), x.data(), r.data(), r2.data());
        EXPECT_EQ(vexa_arx_kernel_GetErrStatus(), 77);
        EXPECT_TRUE(g_seen.empty());
    });
}

template <class T> struct LinearFrac;
template <> struct LinearFrac<float> {
    static constexpr auto ttab = vexa_arx_kernel_sLinearFrac_ttab;
    static constexpr bool caller_rounding = false;
};
template <> struct LinearFrac<double> {
    static constexpr auto ttab = vexa_arx_kernel_dLinearFrac_ttab;
    static constexpr bool caller_rounding = true;
};

TYPED_TEST(Algebraic, LinearFracAgainstItsScalarFormulaAndAnExtendedReference) {
    using T = TypeParam;
    Rng g(3);
    const int n = 300;
    std::vector<T> a(n), b(n), r(n);
    for (int i = 0; i < n; ++i) a[i] = T(g.uniform() * 8 - 4), b[i] = T(g.uniform() * 8 - 4);
    const T sa = T(1.7), ta = T(-0.3), sb = T(0.9), tb = T(5.1);
    for (int slot = 0; slot < 3; ++slot) {
        LinearFrac<T>::ttab[slot](n, a.data(), b.data(), sa, ta, sb, tb, r.data());
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(bits(r[i]), bits(T(std::fma(sa, a[i], ta) / std::fma(sb, b[i], tb)))) << i;
            const long double exact = (static_cast<long double>(sa) * a[i] + ta) / (static_cast<long double>(sb) * b[i] + tb);
            const long double ulp = std::ldexp(1.0L, std::ilogb(r[i]) - std::numeric_limits<T>::digits + 1);
            EXPECT_LE(std::fabs(r[i] - exact), 3.0L * ulp) << i;  // three roundings, each half an ulp of its binade
        }
    }
    // The double kernel keeps the caller's rounding; the float kernel rounds to nearest under its frame.
    const volatile T ten = T(10);  // 1/10 rounds up to nearest
    const T nearest = T(1) / ten;
    const T x = T(1), y = T(1);
    T got;
    {
        ScopedMxcsr toward_zero((_mm_getcsr() & ~0x6000u) | 0x6000u);
        LinearFrac<T>::ttab[1](1, &x, &y, T(1), T(0), T(10), T(0), &got);
    }
    if (LinearFrac<T>::caller_rounding) EXPECT_LT(got, nearest);  // rounded toward zero it lies below
    else EXPECT_EQ(got, nearest);
}

}  // namespace

namespace {

template <class T> struct Roots;
template <> struct Roots<float> {
    static constexpr auto cbrt = vexa_arx_kernel_sCbrt_ttab;
    static constexpr auto inv_cbrt = vexa_arx_kernel_sInvCbrt_ttab;
    static constexpr auto pow2o3 = vexa_arx_kernel_sPow2o3_ttab;
    static constexpr auto pow3o2 = vexa_arx_kernel_sPow3o2_ttab;
    static constexpr bool inv_cbrt_ep_reports = false;
};
template <> struct Roots<double> {
    static constexpr auto cbrt = vexa_arx_kernel_dCbrt_ttab;
    static constexpr auto inv_cbrt = vexa_arx_kernel_dInvCbrt_ttab;
    static constexpr auto pow2o3 = vexa_arx_kernel_dPow2o3_ttab;
    static constexpr auto pow3o2 = vexa_arx_kernel_dPow3o2_ttab;
    static constexpr bool inv_cbrt_ep_reports = true;
};

// Special arguments of the root family in every slot: signs of zero and of
// negative arguments, infinities, NaNs, subnormals, and the statuses.
TYPED_TEST(Algebraic, RootFamilySpecialArgumentsAndStatuses) {
    using T = TypeParam;
    using R = Roots<T>;
    using L = std::numeric_limits<T>;
    const T inf = L::infinity(), nan = L::quiet_NaN(), tiny = L::denorm_min();
    const std::vector<T> x = {T(-8), T(0), T(-0.0), inf, -inf, nan, tiny, -tiny, T(27), T(1)};
    for (int slot = 0; slot < 3; ++slot) {
        std::vector<T> c(x.size()), i(x.size()), p(x.size()), q(x.size());
        // Relative tolerance: a few ulps; 26 bits (double) and 12 bits (float) in the EP slot.
        const T e = slot == 2 ? T(sizeof(T) == 8 ? 0x1p-26 : 0x1p-12) : T(8) * L::epsilon();
        expect_reports<T>("Cbrt", true, 0, {}, [&] { R::cbrt[slot](int(x.size()), x.data(), c.data()); });
        EXPECT_NEAR(c[0], T(-2), 2 * e);
        EXPECT_TRUE(c[1] == 0 && !std::signbit(c[1]) && c[2] == 0 && std::signbit(c[2]));
        EXPECT_TRUE(c[3] == inf && c[4] == -inf && std::isnan(c[5]));
        EXPECT_NEAR(c[6], T(std::cbrt(double(tiny))), T(std::cbrt(double(tiny))) * T(1e-6));
        EXPECT_LT(c[7], T(0));
        expect_reports<T>("InvCbrt", slot != 2 || R::inv_cbrt_ep_reports, VEXA_VM_STATUS_SING, {1, 2},
                          [&] { R::inv_cbrt[slot](int(x.size()), x.data(), i.data()); });
        EXPECT_TRUE(i[1] == inf && i[2] == -inf);
        EXPECT_TRUE(i[3] == 0 && !std::signbit(i[3]) && i[4] == 0 && std::signbit(i[4]) && std::isnan(i[5]));
        EXPECT_NEAR(i[8], T(1) / T(3), e);
        expect_reports<T>("Pow2o3", true, 0, {}, [&] { R::pow2o3[slot](int(x.size()), x.data(), p.data()); });
        EXPECT_NEAR(p[0], T(4), 4 * e);
        EXPECT_TRUE(p[2] == 0 && p[4] == inf && std::isnan(p[5]));
        EXPECT_NEAR(p[8], T(9), 9 * e);
        expect_reports<T>("Pow3o2", true, VEXA_VM_STATUS_DOMAIN, {0, 4, 7},
                          [&] { R::pow3o2[slot](int(x.size()), x.data(), q.data()); });
        EXPECT_TRUE(std::isnan(q[0]) && std::isnan(q[4]) && std::isnan(q[7]));
        EXPECT_TRUE(q[2] == 0 && !std::signbit(q[2]) && q[3] == inf && std::isnan(q[5]));
        EXPECT_EQ(q[9], T(1));
        EXPECT_NEAR(q[8], T(140.29611541307906), T(140.3) * T(2) * L::epsilon());
    }
}

}  // namespace

namespace {

template <class T> struct HypotApi;
template <> struct HypotApi<float> { static constexpr auto ttab = vexa_arx_kernel_sHypot_ttab; };
template <> struct HypotApi<double> { static constexpr auto ttab = vexa_arx_kernel_dHypot_ttab; };

// Hypot: C99's special values (an infinity wins over a NaN), signed zeros,
// and no spurious overflow or underflow at the ends of the range.
TYPED_TEST(Algebraic, HypotSpecialValuesAndRangeEnds) {
    using T = TypeParam;
    using L = std::numeric_limits<T>;
    const T inf = L::infinity(), nan = L::quiet_NaN();
    const T big = sizeof(T) == 4 ? T(1e30) : T(1e300), small = sizeof(T) == 4 ? T(1e-30) : T(1e-300);
    const std::vector<T> a = {inf, nan, -inf, nan, T(3), T(-0.0), big, small, L::denorm_min() * 3, T(-5), L::max()};
    const std::vector<T> b = {nan, -inf, T(1), T(1), T(-4), T(-0.0), big, small * 3, L::denorm_min() * 4, T(12), L::max()};
    for (int slot = 0; slot < 3; ++slot) {
        std::vector<T> r(a.size());
        expect_reports<T>("Hypot", true, 0, {}, [&] { HypotApi<T>::ttab[slot](int(a.size()), a.data(), b.data(), r.data()); });
        EXPECT_EQ(r[0], inf);
        EXPECT_EQ(r[1], inf);
        EXPECT_EQ(r[2], inf);
        EXPECT_TRUE(std::isnan(r[3]));
        EXPECT_EQ(r[4], T(5));
        EXPECT_TRUE(r[5] == 0 && !std::signbit(r[5]));
        EXPECT_NEAR(r[6], big * T(1.4142135623730951), big * T(4) * L::epsilon());
        EXPECT_NEAR(r[7], small * T(3.1622776601683795), small * T(4) * L::epsilon());
        EXPECT_EQ(r[8], L::denorm_min() * 5);
        EXPECT_EQ(r[9], T(13));
        EXPECT_EQ(r[10], inf);  // the exact value is past the range
    }
}

}  // namespace
