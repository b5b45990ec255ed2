// SinCos against Sin and Cos, the C99 special values of Atan2, and the exact
// reduction of huge arguments against the fast one where both apply.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "support/sweep.h"
#include "support/vm_test.h"
#include "vexa/vector_math.h"

namespace {

using vexa::test::in_fresh_thread;

int g_calls = 0;
int count_calls(ErrorContext*) { return ++g_calls, 0; }

template <class T> std::vector<T> mixed_inputs() {
    vexa::test::Rng g(11);
    std::vector<T> x = {T(0), -T(0), T(1e-30), T(1.5707963267948966), T(3.141592653589793), T(-1e5),
                        std::numeric_limits<T>::max(), std::numeric_limits<T>::infinity(),
                        std::numeric_limits<T>::quiet_NaN(), -std::numeric_limits<T>::infinity()};
    while (x.size() < 333) {
        const int e = int(g.next() % (sizeof(T) == 4 ? 140u : 1100u)) - 20;
        x.push_back(T(std::ldexp(1 + g.uniform(), std::min(e, sizeof(T) == 4 ? 127 : 1023)) * (g.next() & 1 ? 1 : -1)));
    }
    return x;
}

// SinCos writes exactly what HA Sin and Cos write (the LA and EP Sin and Cos
// use a reduction of their own), and in every slot an infinity gives two
// NaNs and a single status.
template <class T>
void check_sincos(void (*const* sincos)(int, const T*, T*, T*), void (*const* sin)(int, const T*, T*),
                  void (*const* cos)(int, const T*, T*)) {
    const std::vector<T> x = mixed_inputs<T>();
    const int n = int(x.size());
    for (int slot = 0; slot < 3; ++slot) {
        in_fresh_thread([&] {
            std::vector<T> s(x.size()), c(x.size()), s1(x.size()), c1(x.size());
            vexa_arx_kernel_SetErrorCallBack(count_calls);
            g_calls = 0;
            sincos[slot](n, x.data(), s.data(), c.data());
            EXPECT_EQ(g_calls, 2) << "one status per infinite argument";
            EXPECT_EQ(vexa_arx_kernel_GetErrStatus(), VEXA_VM_STATUS_DOMAIN);
            sin[slot](n, x.data(), s1.data());
            cos[slot](n, x.data(), c1.data());
            for (std::size_t i = 0; i < x.size() && slot == 1; ++i) {
                EXPECT_EQ(std::memcmp(&s[i], &s1[i], sizeof(T)), 0) << "sin " << x[i] << " slot " << slot;
                EXPECT_EQ(std::memcmp(&c[i], &c1[i], sizeof(T)), 0) << "cos " << x[i] << " slot " << slot;
            }
        });
    }
}

TEST(Trigonometric, SinCosIsSinAndCos) {
    check_sincos<double>(vexa_arx_kernel_dSinCos_ttab, vexa_arx_kernel_dSin_ttab, vexa_arx_kernel_dCos_ttab);
    check_sincos<float>(vexa_arx_kernel_sSinCos_ttab, vexa_arx_kernel_sSin_ttab, vexa_arx_kernel_sCos_ttab);
}

// C99 Annex F: atan2 at zeros, infinities and NaN, in every slot, without a status.
template <class T> void check_atan2(void (*const* atan2)(int, const T*, const T*, T*)) {
    const T inf = std::numeric_limits<T>::infinity(), nan = std::numeric_limits<T>::quiet_NaN();
    const T pi = T(3.141592653589793), pio2 = T(1.5707963267948966), pio4 = T(0.7853981633974483),
            tpio4 = T(2.356194490192345);
    struct C {
        T y, x, want;
    };
    const std::vector<C> cases = {
        {T(0), T(0), T(0)},      {-T(0), T(0), -T(0)},    {T(0), -T(0), pi},       {-T(0), -T(0), -pi},
        {T(0), T(2), T(0)},      {-T(0), T(2), -T(0)},    {T(0), T(-2), pi},       {-T(0), T(-2), -pi},
        {T(3), T(0), pio2},      {T(3), -T(0), pio2},     {T(-3), T(0), -pio2},    {T(-3), -T(0), -pio2},
        {T(5), inf, T(0)},       {T(-5), inf, -T(0)},     {T(5), -inf, pi},        {T(-5), -inf, -pi},
        {inf, T(7), pio2},       {-inf, T(-7), -pio2},    {inf, inf, pio4},        {-inf, inf, -pio4},
        {inf, -inf, tpio4},      {-inf, -inf, -tpio4},    {nan, T(1), nan},        {T(1), nan, nan},
        {T(1), T(1), pio4},      {T(-1), T(-1), -tpio4},  {std::numeric_limits<T>::denorm_min(), T(1), std::numeric_limits<T>::denorm_min()},
        {T(1), std::numeric_limits<T>::denorm_min(), pio2},
        {std::numeric_limits<T>::max(), std::numeric_limits<T>::max(), pio4},
        {std::numeric_limits<T>::denorm_min(), -std::numeric_limits<T>::max(), pi},
    };
    std::vector<T> y, x, r(cases.size());
    for (const C& c : cases) y.push_back(c.y), x.push_back(c.x);
    for (int slot = 0; slot < 3; ++slot) {
        in_fresh_thread([&] {
            atan2[slot](int(y.size()), y.data(), x.data(), r.data());
            EXPECT_EQ(vexa_arx_kernel_GetErrStatus(), 0);
            for (std::size_t i = 0; i < cases.size(); ++i) {
                const C& c = cases[i];
                if (std::isnan(c.want)) {
                    EXPECT_TRUE(std::isnan(r[i])) << c.y << ", " << c.x;
                } else {
                    EXPECT_EQ(r[i], c.want) << c.y << ", " << c.x << " slot " << slot;
                    EXPECT_EQ(std::signbit(r[i]), std::signbit(c.want)) << c.y << ", " << c.x;
                }
            }
        });
    }
}

TEST(Trigonometric, Atan2SpecialValues) {
    check_atan2<double>(vexa_arx_kernel_dAtan2_ttab);
    check_atan2<float>(vexa_arx_kernel_sAtan2_ttab);
}

// Near the fast reduction's limit 2^40 both reductions meet: arguments just
// below it (fast path) and just above (exact reduction) keep the HA bound,
// and an array of huge arguments is reduced the same whatever its neighbours.
TEST(Trigonometric, BothReductionsAgreeAcrossTheirBoundary) {
    vexa::test::Rng g(5);
    std::vector<double> x;
    for (int i = 0; i < 400; ++i) x.push_back(std::ldexp(1 + g.uniform(), 39 + i % 2) * (i % 3 ? 1 : -1));
    std::vector<double> r(x.size()), r1(1);
    vexa::test::Fn sin_fn;
    ASSERT_TRUE(vexa::test::oracle_of("Sin", sin_fn));
    vexa_arx_kernel_dSin_ttab[1](int(x.size()), x.data(), r.data());
    for (std::size_t i = 0; i < x.size(); ++i) {
        EXPECT_LE(vexa::test::ulp_error(sin_fn, x[i], r[i]), 0.75) << x[i];
        vexa_arx_kernel_dSin_ttab[1](1, &x[i], r1.data());
        EXPECT_EQ(r1[0], r[i]);
    }
}

}  // namespace
