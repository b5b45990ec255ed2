// Pow and Powx: the special values of C99 Annex F and the statuses in every
// slot, signs for odd integer exponents, overflow and underflow at both
// precisions; Powx agrees bit for bit with Pow on a broadcast exponent; the
// error routine sees failing elements in order with their positions.
#include <gtest/gtest.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "support/sweep.h"
#include "support/vm_test.h"
#include "vexa/vector_math.h"

namespace {

using vexa::test::in_fresh_thread;

enum class Want { Exact, Near, NaN, Subnormal };

template <class T> struct Case {
    T x, y;
    Want want;
    T value;
    int status;
};

template <class T> bool matches(T r, const Case<T>& c) {
    switch (c.want) {
        case Want::Exact: return r == c.value && std::signbit(r) == std::signbit(c.value);
        case Want::Near: return std::fabs(r - c.value) <= std::fabs(c.value) * T(1e-3);
        case Want::NaN: return std::isnan(r);
        case Want::Subnormal: return r > 0 && r < std::numeric_limits<T>::min();
    }
    return false;
}

std::vector<int> g_statuses, g_indices;
int collect(ErrorContext* c) {
    g_statuses.push_back(c->status);
    g_indices.push_back(c->index);
    return 0;
}

template <class T> std::vector<Case<T>> common_cases() {
    const T inf = std::numeric_limits<T>::infinity(), nan = std::numeric_limits<T>::quiet_NaN();
    return {
        {T(2), T(3), Want::Near, T(8), 0},  // exact in HA and LA, within EP's bits
        {nan, T(0), Want::Exact, T(1), 0},
        {nan, -T(0), Want::Exact, T(1), 0},
        {T(1), nan, Want::Exact, T(1), 0},
        {T(1), inf, Want::Exact, T(1), 0},
        {T(-1), inf, Want::Exact, T(1), 0},
        {T(-1), -inf, Want::Exact, T(1), 0},
        {nan, T(2), Want::NaN, 0, 0},
        {T(2), nan, Want::NaN, 0, 0},
        {T(0.5), inf, Want::Exact, T(0), 0},
        {T(0.5), -inf, Want::Exact, inf, 0},
        {T(2), inf, Want::Exact, inf, 0},
        {T(-2), -inf, Want::Exact, T(0), 0},
        {T(0), T(-1), Want::Exact, inf, 2},
        {-T(0), T(-1), Want::Exact, -inf, 2},
        {-T(0), T(-2), Want::Exact, inf, 2},
        {T(0), -inf, Want::Exact, inf, 2},
        {-T(0), T(0.5), Want::Exact, T(0), 0},
        {-T(0), T(3), Want::Exact, -T(0), 0},
        {T(0), T(3), Want::Exact, T(0), 0},
        {-inf, T(3), Want::Exact, -inf, 0},
        {-inf, T(-3), Want::Exact, -T(0), 0},
        {-inf, T(2), Want::Exact, inf, 0},
        {-inf, T(-0.5), Want::Exact, T(0), 0},
        {inf, T(-1), Want::Exact, T(0), 0},
        {inf, T(0.5), Want::Exact, inf, 0},
        {T(-2), T(0.5), Want::NaN, 0, 1},
        {T(-8), T(1) / T(3), Want::NaN, 0, 1},
        {T(-2), T(3), Want::Exact, T(-8), 0},
        {T(-2), T(2), Want::Exact, T(4), 0},
        {T(-2), T(-1), Want::Exact, T(-0.5), 0},
        {T(4), T(0.5), Want::Near, T(2), 0},
        {T(10), T(400), Want::Exact, inf, 3},
        {T(-10), T(401), Want::Exact, -inf, 3},
        {T(10), T(-400), Want::Exact, T(0), 4},
        {T(-10), T(-401), Want::Exact, -T(0), 4},
    };
}

std::vector<Case<double>> double_cases() {
    std::vector<Case<double>> c = common_cases<double>();
    c.insert(c.end(), {{2.0, -1074.0, Want::Exact, 4.9406564584124654e-324, 4},
                       {2.0, -1060.0, Want::Subnormal, 0, 4},
                       {2.0, 1023.0, Want::Exact, 0x1p1023, 0},
                       {2.0, 1024.0, Want::Exact, INFINITY, 3},
                       {-2.0, 1023.0, Want::Exact, -0x1p1023, 0},
                       {1e-310, 0.5, Want::Near, 1e-155, 0},
                       {1.0000000000000002, 1e300, Want::Exact, INFINITY, 3},
                       {0.99999999999999989, 1e17, Want::Near, 1.5078657172714957e-05, 0}});
    return c;
}

std::vector<Case<float>> float_cases() {
    std::vector<Case<float>> c = common_cases<float>();
    c.insert(c.end(), {{2.0f, -149.0f, Want::Exact, 1.4e-45f, 4},
                       {2.0f, -140.0f, Want::Subnormal, 0, 4},
                       {2.0f, 127.0f, Want::Exact, 0x1p127f, 0},
                       {2.0f, 128.0f, Want::Exact, INFINITY, 3},
                       {10.0f, 39.0f, Want::Exact, INFINITY, 3},
                       {2.0f, -1060.0f, Want::Exact, 0.0f, 4},
                       {1e-40f, 0.5f, Want::Near, 1e-20f, 0}});
    return c;
}

int errno_for(int status) { return status == 0 ? 0 : status == 1 ? EDOM : ERANGE; }

// Pow: one call over all the cases per slot; the callback sees the failing
// elements in order.
template <class T>
void check_pow(const char* name, void (*const* ttab)(int, const T*, const T*, T*), const std::vector<Case<T>>& cases) {
    for (int slot = 0; slot < 3; ++slot) {
        SCOPED_TRACE(std::string(name) + " slot " + std::to_string(slot));
        in_fresh_thread([&] {
            vexa_arx_kernel_SetErrorCallBack(collect);
            g_statuses.clear(), g_indices.clear();
            std::vector<T> x, y, r(cases.size());
            for (const auto& c : cases) x.push_back(c.x), y.push_back(c.y);
            errno = 0;
            ttab[slot](int(x.size()), x.data(), y.data(), r.data());
            std::vector<int> want_status, want_index;
            int last = 0;
            for (std::size_t i = 0; i < cases.size(); ++i) {
                EXPECT_TRUE(matches(r[i], cases[i])) << cases[i].x << "^" << cases[i].y << " gave " << r[i];
                if (cases[i].status) want_status.push_back(cases[i].status), want_index.push_back(int(i)), last = cases[i].status;
            }
            EXPECT_EQ(g_statuses, want_status);
            EXPECT_EQ(g_indices, want_index);
            EXPECT_EQ(vexa_arx_kernel_GetErrStatus(), last);
            EXPECT_EQ(errno, errno_for(last));
        });
    }
}

// Powx: each case as a call of its own with the case's exponent.
template <class T>
void check_powx(const char* name, void (*const* ttab)(int, const T*, T, T*), const std::vector<Case<T>>& cases) {
    for (int slot = 0; slot < 3; ++slot) {
        SCOPED_TRACE(std::string(name) + " slot " + std::to_string(slot));
        in_fresh_thread([&] {
            vexa_arx_kernel_SetErrorCallBack(collect);
            for (const auto& c : cases) {
                g_statuses.clear();
                vexa_arx_kernel_SetErrStatus(0);
                T r;
                ttab[slot](1, &c.x, c.y, &r);
                EXPECT_TRUE(matches(r, c)) << c.x << "^" << c.y << " gave " << r;
                EXPECT_EQ(g_statuses, c.status ? std::vector<int>{c.status} : std::vector<int>{}) << c.x << "^" << c.y;
                EXPECT_EQ(vexa_arx_kernel_GetErrStatus(), c.status);
            }
        });
    }
}

TEST(Pow, SpecialValuesAndStatuses) {
    check_pow<double>("dPow", vexa_arx_kernel_dPow_ttab, double_cases());
    check_pow<float>("sPow", vexa_arx_kernel_sPow_ttab, float_cases());
    check_powx<double>("dPowx", vexa_arx_kernel_dPowx_ttab, double_cases());
    check_powx<float>("sPowx", vexa_arx_kernel_sPowx_ttab, float_cases());
}

// Powx on a run of bases is Pow with the exponent broadcast, bit for bit, in
// the slots where both hold the same accuracy (sPow's LA slot holds its HA
// kernel, so sPowx LA is compared with nothing).
template <class T>
void check_powx_is_pow(void (*const* pow)(int, const T*, const T*, T*), void (*const* powx)(int, const T*, T, T*)) {
    vexa::test::Rng g(7);
    std::vector<T> x(203), y(203), r1(203), r2(203);
    for (int trial = 0; trial < 40; ++trial) {
        const T e = T((g.uniform() - 0.5) * (trial % 4 == 0 ? 400 : 8));
        for (std::size_t i = 0; i < x.size(); ++i) x[i] = T(std::ldexp(1 + g.uniform(), int(g.next() % 40) - 20)), y[i] = e;
        for (int slot : {1, 2}) {
            pow[slot](int(x.size()), x.data(), y.data(), r1.data());
            powx[slot](int(x.size()), x.data(), e, r2.data());
            for (std::size_t i = 0; i < x.size(); ++i)
                ASSERT_EQ(std::memcmp(&r1[i], &r2[i], sizeof(T)), 0) << x[i] << "^" << e << " slot " << slot;
        }
    }
}

TEST(Pow, PowxIsPowWithTheExponentBroadcast) {
    vexa::test::ScopedMode quiet(VEXA_VM_ERRMODE_IGNORE);
    check_powx_is_pow<double>(vexa_arx_kernel_dPow_ttab, vexa_arx_kernel_dPowx_ttab);
    check_powx_is_pow<float>(vexa_arx_kernel_sPow_ttab, vexa_arx_kernel_sPowx_ttab);
}

}  // namespace
