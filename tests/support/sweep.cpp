#include "support/sweep.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "support/kernels.h"
#include "vexa/vector_math.h"

namespace vexa::test {
namespace {

template <class T> constexpr int kMinBinade = sizeof(T) == 4 ? -149 : -1074;
template <class T> constexpr int kMaxBinade = sizeof(T) == 4 ? 127 : 1023;

// A random value with |x| in [2^e, 2^(e+1)) for e uniform in [lo, hi].
template <class T> T in_binades(Rng& g, int lo, int hi, bool negative) {
    const int e = lo + int(g.next() % uint64_t(hi - lo + 1));
    const double m = 1.0 + g.uniform();
    T x = T(std::ldexp(m, e));
    if (x == T(0)) x = std::numeric_limits<T>::denorm_min();
    return negative ? -x : x;
}

template <class T> void add_specials(std::vector<T>& v) {
    using L = std::numeric_limits<T>;
    for (T s : {T(0), -T(0), T(1), -T(1), L::infinity(), -L::infinity(), L::quiet_NaN(), L::denorm_min(),
                -L::denorm_min(), L::min(), -L::min(), L::max(), -L::max(), L::epsilon(), T(2), T(0.5)})
        v.push_back(s);
}

}  // namespace

template <class T> std::vector<T> sweep_inputs(Fn f, std::size_t count, uint64_t seed) {
    Rng g(seed);
    std::vector<T> v;
    v.reserve(count + 32);
    add_specials(v);
    const std::size_t dense = count / 4;
    const Domain d = domain_of(f, sizeof(T) == 4);
    if (d.shape == Shape::Signed) {
        // Every binade of |x| up to 2^top, both signs, inside (lo - 1, hi + 1);
        // dense around the points.
        while (v.size() < count - dense) {
            const bool neg = g.next() & 1;
            const T x = in_binades<T>(g, kMinBinade<T>, d.top, neg);
            if (std::fabs(double(x)) < (neg ? -d.lo + 1 : d.hi + 1)) v.push_back(x);
        }
        while (v.size() < count) {
            const double c = d.points[g.next() % d.points.size()];
            v.push_back(T(c + (g.uniform() - 0.5) * 0.02 * (1 + (g.next() % 3 == 0 ? 100 : 0))));
        }
    } else {
        // Positive numbers, every binade including the subnormals; dense near
        // 1, where the result is small.
        while (v.size() < count - dense) v.push_back(in_binades<T>(g, kMinBinade<T>, kMaxBinade<T>, false));
        const int digits = std::numeric_limits<T>::digits;
        while (v.size() < count) {
            const int k = 1 + int(g.next() % uint64_t(digits));
            const double e = std::ldexp(g.uniform(), -k);
            v.push_back(T(g.next() & 1 ? 1.0 + e : 1.0 - e));
        }
        // A few negative arguments and zeros, for the error path.
        for (int i = 0; i < 8; ++i) v[16 + i] = -v[16 + i];
    }
    v.resize(count);
    return v;
}

template <class T> Accuracy measure(Fn f, void (*k)(int, const T*, T*), const std::vector<T>& x) {
    std::vector<T> r(x.size());
    const unsigned mode = vexa_arx_kernel_SetMode(VEXA_VM_ERRMODE_IGNORE);
    k(int(x.size()), x.data(), r.data());
    vexa_arx_kernel_SetMode(mode);
    Accuracy a;
    a.count = x.size();
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double u = ulp_error(f, x[i], r[i]);
        if (u > a.max_ulp || std::isnan(u)) a.max_ulp = u, a.worst_x = double(x[i]);
        const double b = sizeof(T) == 4 ? correct_bits_float(u) : correct_bits_double(u);
        if (b < a.min_bits) a.min_bits = b, a.min_bits_x = double(x[i]);
    }
    return a;
}

template <class T> uint64_t digest(void (*k)(int, const T*, T*), const std::vector<T>& x) {
    std::vector<T> r(x.size());
    const unsigned mode = vexa_arx_kernel_SetMode(VEXA_VM_ERRMODE_IGNORE);
    k(int(x.size()), x.data(), r.data());
    vexa_arx_kernel_SetMode(mode);
    uint64_t h = 0xcbf29ce484222325ull;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(r.data());
    for (std::size_t i = 0; i < r.size() * sizeof(T); ++i) h = (h ^ p[i]) * 0x100000001b3ull;
    return h;
}

Accuracy measure_slot(const SlotKernel& k, std::size_t samples) {
    auto worse = [](Accuracy a, const Accuracy& b) {
        if (b.max_ulp > a.max_ulp || std::isnan(b.max_ulp)) a.max_ulp = b.max_ulp, a.worst_x = b.worst_x;
        if (b.min_bits < a.min_bits) a.min_bits = b.min_bits, a.min_bits_x = b.min_bits_x;
        a.count += b.count;
        return a;
    };
    if (k.type == 's') {
        auto* fn = reinterpret_cast<void (*)(int, const float*, float*)>(const_cast<void*>(k.kernel));
        return measure<float>(k.fn, fn, sweep_inputs<float>(k.fn, samples, 1234 + k.slot));
    }
    auto* fn = reinterpret_cast<void (*)(int, const double*, double*)>(const_cast<void*>(k.kernel));
    const Accuracy a = measure<double>(k.fn, fn, sweep_inputs<double>(k.fn, samples, 1234 + k.slot));
    const std::vector<double> hard = hard_inputs_of(k.fn);
    return hard.empty() ? a : worse(a, measure<double>(k.fn, fn, hard));
}

template std::vector<float> sweep_inputs<float>(Fn, std::size_t, uint64_t);
template std::vector<double> sweep_inputs<double>(Fn, std::size_t, uint64_t);
template Accuracy measure<float>(Fn, void (*)(int, const float*, float*), const std::vector<float>&);
template Accuracy measure<double>(Fn, void (*)(int, const double*, double*), const std::vector<double>&);
template uint64_t digest<float>(void (*)(int, const float*, float*), const std::vector<float>&);
template uint64_t digest<double>(void (*)(int, const double*, double*), const std::vector<double>&);

}  // namespace vexa::test
