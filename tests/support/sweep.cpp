#include "support/sweep.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <thread>
#include <cstring>
#include <limits>
#include <mpfr.h>

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

// In every binade [2^e, 2^(e+1)) from e = 0 up, the positive T nearest to a
// multiple of pi/2: x = m 2^(e-p+1) with m in [2^(p-1), 2^p), and
// x 2/pi = m beta mod 1 with beta = frac(2^(e-p+1) 2/pi). The denominators q
// of the convergents of beta are the best multipliers; the candidates are
// their smallest multiples j q inside the binade's range of m.
template <class T> const std::vector<T>& near_pio2_multiples() {
    static const std::vector<T> list = [] {
        constexpr int p = std::numeric_limits<T>::digits;
        std::vector<T> out;
        mpfr_t two_over_pi, beta, x, t, best;
        mpfr_inits2(2600, two_over_pi, beta, x, t, best, (mpfr_ptr)nullptr);
        mpfr_const_pi(two_over_pi, MPFR_RNDN);
        mpfr_ui_div(two_over_pi, 2, two_over_pi, MPFR_RNDN);
        const uint64_t lo = uint64_t(1) << (p - 1), hi = uint64_t(1) << p;
        for (int e = 0; e <= kMaxBinade<T>; ++e) {
            mpfr_mul_2si(beta, two_over_pi, e - p + 1, MPFR_RNDN);
            mpfr_frac(beta, beta, MPFR_RNDN);
            uint64_t q_prev = 0, q = 1, best_m = 0;
            mpfr_set_ui(best, 1, MPFR_RNDN);
            mpfr_set(x, beta, MPFR_RNDN);
            for (int step = 0; step < 80 && q < hi; ++step) {
                // the candidate of this convergent's denominator
                const uint64_t m = q * ((lo + q - 1) / q);
                if (m < hi) {
                    mpfr_mul_ui(t, beta, (unsigned long)(m >> 32), MPFR_RNDN);
                    mpfr_mul_2ui(t, t, 32, MPFR_RNDN);
                    mpfr_t u;
                    mpfr_init2(u, 2600);
                    mpfr_mul_ui(u, beta, (unsigned long)(m & 0xFFFFFFFFu), MPFR_RNDN);
                    mpfr_add(t, t, u, MPFR_RNDN);
                    mpfr_clear(u);
                    mpfr_frac(t, t, MPFR_RNDN);
                    if (mpfr_cmp_d(t, 0.5) > 0) mpfr_ui_sub(t, 1, t, MPFR_RNDN);
                    if (mpfr_cmp(t, best) < 0) mpfr_set(best, t, MPFR_RNDN), best_m = m;
                }
                // next partial quotient
                if (mpfr_zero_p(x)) break;
                mpfr_ui_div(x, 1, x, MPFR_RNDN);
                mpfr_floor(t, x);
                const double a = mpfr_get_d(t, MPFR_RNDN);
                mpfr_sub(x, x, t, MPFR_RNDN);
                if (a > double(hi)) break;
                const uint64_t next = uint64_t(a) * q + q_prev;
                q_prev = q, q = next;
            }
            if (best_m != 0) out.push_back(T(std::ldexp(double(best_m), e - p + 1)));
        }
        mpfr_clears(two_over_pi, beta, x, t, best, (mpfr_ptr)nullptr);
        return out;
    }();
    return list;
}

}  // namespace

template <class T> std::vector<T> sweep_inputs(Fn f, std::size_t count, uint64_t seed) {
    Rng g(seed);
    std::vector<T> v;
    v.reserve(count + 32);
    add_specials(v);
    const std::size_t dense = count / 4;
    const Domain d = domain_of(f, sizeof(T) == 4);
    if (d.shape == Shape::Periodic)
        for (T x : near_pio2_multiples<T>()) v.push_back(g.next() & 1 ? -x : x);
    if (d.shape == Shape::Signed || d.shape == Shape::Periodic) {
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

namespace {
// x^y pairs (the POWER shape). Only exact operations (no library
// logarithms), so both ABIs draw the same pairs; ln x is estimated from the
// binade and the mantissa (within 0.06), which is all the ranges need.
template <class T> double approx_ln(T x) {
    int e;
    const double m = std::frexp(std::fabs(double(x)), &e);  // [0.5, 1)
    return (e - 1 + (2 * m - 1)) * 0.6931471805599453;
}
// 2^t for real t, approximately: (1 + frac) 2^floor, exact operations only.
double approx_exp2(double t) {
    const double f = std::floor(t);
    return std::ldexp(1.0 + (t - f), int(f));
}
}  // namespace

// The pairs come in runs of `run` equal y (for a scalar exponent; 1 otherwise).
template <class T> void power_pairs(std::size_t count, uint64_t seed, std::size_t run, std::vector<T>& xs, std::vector<T>& ys) {
    Rng g(seed);
    using L = std::numeric_limits<T>;
    const double lmax = (sizeof(T) == 4 ? 88.72283905206835 : 709.782712893384) * 1.02;  // ln max, and a little past
    const int digits = L::digits;
    xs.clear(), ys.clear();
    const T special[] = {T(0), -T(0), T(1), T(-1), T(2), T(-2), T(0.5), L::infinity(), -L::infinity(), L::quiet_NaN(),
                         T(3), T(-0.5)};
    // The special values against each other.
    for (T y : special)
        for (std::size_t i = 0; i < std::max(run, std::size(special)); ++i)
            xs.push_back(special[i % std::size(special)]), ys.push_back(y);
    while (xs.size() % run != 0) xs.push_back(T(2)), ys.push_back(ys.back());
    T y = 1;
    while (xs.size() < count) {
        const std::size_t kind = (xs.size() / run) % 10;
        const bool new_y = run == 1 || xs.size() % run == 0;
        auto pick_y = [&](double v) {
            if (new_y) y = T(v);
        };
        T x;
        switch (kind) {
            case 0: case 1: case 2: case 3: {  // x anywhere, y scaled so the result is near the range
                x = in_binades<T>(g, kMinBinade<T>, kMaxBinade<T>, false);
                const double l = std::fabs(approx_ln(x));
                pick_y((2 * g.uniform() - 1) * lmax / (l > 1e-30 ? l : 1.0));
                break;
            }
            case 4: {  // x near 1, large y
                const double d = std::ldexp(g.uniform() + 0.5, -1 - int(g.next() % uint64_t(digits)));
                x = T(g.next() & 1 ? 1.0 + d : 1.0 - d);
                pick_y((2 * g.uniform() - 1) * lmax / d);
                break;
            }
            case 5: case 6: {  // integer and half-integer y, x of either sign scaled to it
                const bool wide = g.next() % 8 == 0;
                double n = double(g.next() % (wide ? (1u << 20) : 65u));
                if (kind == 6) n += 0.5;
                pick_y(g.next() & 1 ? -n : n);
                const double ay = std::fabs(double(y));
                const double b = lmax / 0.6931471805599453 / (ay > 1 ? ay : 1.0);
                x = T(approx_exp2((2 * g.uniform() - 1) * b));
                if (kind == 5 && (g.next() & 1)) x = -x;
                break;
            }
            case 7: {  // huge y, x within a few ulps of 1
                pick_y(std::ldexp(1 + g.uniform(), 20 + int(g.next() % uint64_t(kMaxBinade<T> - 20))) *
                       (g.next() & 1 ? 1 : -1));
                const double d = std::ldexp(double(g.next() % 4), -digits);
                x = T(g.next() & 1 ? 1.0 + d : 1.0 - d / 2);
                break;
            }
            case 8: {  // tiny y, x anywhere
                pick_y(double(in_binades<T>(g, kMinBinade<T>, -1, g.next() & 1)));
                x = in_binades<T>(g, kMinBinade<T>, kMaxBinade<T>, false);
                break;
            }
            default: {  // both over every binade and sign: overflow, underflow, domain errors
                pick_y(double(in_binades<T>(g, kMinBinade<T>, 12, g.next() & 1)));
                x = in_binades<T>(g, kMinBinade<T>, kMaxBinade<T>, g.next() % 4 == 0);
                break;
            }
        }
        xs.push_back(x);
        ys.push_back(y);
    }
    xs.resize(count), ys.resize(count);
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

template <class T>
Accuracy measure(Fn f, void (*k)(int, const T*, const T*, T*), const std::vector<T>& x, const std::vector<T>& y) {
    std::vector<T> r(x.size());
    const unsigned mode = vexa_arx_kernel_SetMode(VEXA_VM_ERRMODE_IGNORE);
    k(int(x.size()), x.data(), y.data(), r.data());
    vexa_arx_kernel_SetMode(mode);
    Accuracy a;
    a.count = x.size();
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double u = ulp_error(f, x[i], y[i], r[i]);
        if (u > a.max_ulp || std::isnan(u)) a.max_ulp = u, a.worst_x = double(x[i]), a.worst_y = double(y[i]);
        const double b = sizeof(T) == 4 ? correct_bits_float(u) : correct_bits_double(u);
        if (b < a.min_bits) a.min_bits = b, a.min_bits_x = double(x[i]);
    }
    return a;
}

namespace {
template <class T> uint64_t fnv(const std::vector<T>& r) {
    uint64_t h = 0xcbf29ce484222325ull;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(r.data());
    for (std::size_t i = 0; i < r.size() * sizeof(T); ++i) h = (h ^ p[i]) * 0x100000001b3ull;
    return h;
}
}  // namespace

template <class T> uint64_t digest(void (*k)(int, const T*, T*), const std::vector<T>& x) {
    std::vector<T> r(x.size());
    const unsigned mode = vexa_arx_kernel_SetMode(VEXA_VM_ERRMODE_IGNORE);
    k(int(x.size()), x.data(), r.data());
    vexa_arx_kernel_SetMode(mode);
    return fnv(r);
}
template <class T>
uint64_t digest(void (*k)(int, const T*, const T*, T*), const std::vector<T>& x, const std::vector<T>& y) {
    std::vector<T> r(x.size());
    const unsigned mode = vexa_arx_kernel_SetMode(VEXA_VM_ERRMODE_IGNORE);
    k(int(x.size()), x.data(), y.data(), r.data());
    vexa_arx_kernel_SetMode(mode);
    return fnv(r);
}

namespace {
// The second argument's sweep of a two-argument function: the same domain, another seed.
constexpr uint64_t kSecondSeed = 1000003;

template <class T> using Unary = void (*)(int, const T*, T*);
template <class T> using Binary = void (*)(int, const T*, const T*, T*);
// The worse of two measurements, over both input sets.
void fold_in(Accuracy& a, const Accuracy& b) {
    if (b.max_ulp > a.max_ulp || std::isnan(b.max_ulp)) a.max_ulp = b.max_ulp, a.worst_x = b.worst_x, a.worst_y = b.worst_y;
    if (b.min_bits < a.min_bits) a.min_bits = b.min_bits, a.min_bits_x = b.min_bits_x;
    a.count += b.count;
}

template <class F> F as(const SlotKernel& k) { return reinterpret_cast<F>(const_cast<void*>(k.kernel)); }

template <class T> using Scalar = void (*)(int, const T*, T, T*);
template <class T> using Pair = void (*)(int, const T*, T*, T*);
// Both results of a two-result kernel on x, the second measured against its own row.
template <class T> Accuracy measure_pair(Fn f, Pair<T> k, const std::vector<T>& x) {
    std::vector<T> r1(x.size()), r2(x.size());
    const unsigned mode = vexa_arx_kernel_SetMode(VEXA_VM_ERRMODE_IGNORE);
    k(int(x.size()), x.data(), r1.data(), r2.data());
    vexa_arx_kernel_SetMode(mode);
    Accuracy a;
    a.count = x.size();
    const Fn g = second_of(f);
    for (std::size_t i = 0; i < x.size(); ++i) {
        for (const double u : {ulp_error(f, x[i], r1[i]), ulp_error(g, x[i], r2[i])}) {
            if (u > a.max_ulp || std::isnan(u)) a.max_ulp = u, a.worst_x = double(x[i]);
            const double b = sizeof(T) == 4 ? correct_bits_float(u) : correct_bits_double(u);
            if (b < a.min_bits) a.min_bits = b, a.min_bits_x = double(x[i]);
        }
    }
    return a;
}
// Pairs for a two-argument function: the POWER pairs, or two sweeps of the
// domain. A scalar second argument comes in runs of kRun equal values, one
// call per run.
constexpr std::size_t kRun = 64;
template <class T> void pairs_for(Fn f, std::size_t count, uint64_t seed, std::vector<T>& x, std::vector<T>& y) {
    if (domain_of(f, sizeof(T) == 4).shape == Shape::Power) {
        power_pairs<T>(count, seed, arity_of(f) == 3 ? kRun : 1, x, y);
    } else {
        x = sweep_inputs<T>(f, count, seed);
        y = sweep_inputs<T>(f, count, seed + kSecondSeed);
    }
}
// The results of a scalar-exponent kernel over runs of equal y.
template <class T> std::vector<T> run_scalar(Scalar<T> k, const std::vector<T>& x, const std::vector<T>& y) {
    std::vector<T> r(x.size());
    const unsigned mode = vexa_arx_kernel_SetMode(VEXA_VM_ERRMODE_IGNORE);
    for (std::size_t i = 0; i < x.size(); i += kRun) {
        const std::size_t n = std::min(kRun, x.size() - i);
        k(int(n), x.data() + i, y[i], r.data() + i);
    }
    vexa_arx_kernel_SetMode(mode);
    return r;
}
template <class T> Accuracy measure_typed(const SlotKernel& k, std::size_t samples) {
    const uint64_t seed = 1234 + uint64_t(k.slot);
    if (arity_of(k.fn) == 3) {
        std::vector<T> x, y;
        pairs_for<T>(k.fn, samples, seed, x, y);
        const std::vector<T> r = run_scalar<T>(as<Scalar<T>>(k), x, y);
        Accuracy a;
        a.count = x.size();
        for (std::size_t i = 0; i < x.size(); ++i) {
            const double u = ulp_error(k.fn, x[i], y[i], r[i]);
            if (u > a.max_ulp || std::isnan(u)) a.max_ulp = u, a.worst_x = double(x[i]), a.worst_y = double(y[i]);
            const double b = sizeof(T) == 4 ? correct_bits_float(u) : correct_bits_double(u);
            if (b < a.min_bits) a.min_bits = b, a.min_bits_x = double(x[i]);
        }
        return a;
    }
    if (arity_of(k.fn) == 2) {
        std::vector<T> x, y;
        pairs_for<T>(k.fn, samples, seed, x, y);
        Accuracy a = measure<T>(k.fn, as<Binary<T>>(k), x, y);
        if constexpr (sizeof(T) == 8) {
            const auto hard = hard_pairs_of(k.fn);
            if (!hard.empty()) {
                std::vector<double> hx, hy;
                for (const auto& p : hard) hx.push_back(p.first), hy.push_back(p.second);
                fold_in(a, measure<T>(k.fn, as<Binary<T>>(k), hx, hy));
            }
        }
        return a;
    }
    if (arity_of(k.fn) == 4) {
        Accuracy a = measure_pair<T>(k.fn, as<Pair<T>>(k), sweep_inputs<T>(k.fn, samples, seed));
        if constexpr (sizeof(T) == 8) {
            const std::vector<double> hard = hard_inputs_of(k.fn);
            if (!hard.empty()) fold_in(a, measure_pair<T>(k.fn, as<Pair<T>>(k), hard));
        }
        return a;
    }
    const std::vector<T> x = sweep_inputs<T>(k.fn, samples, seed);
    Accuracy a = measure<T>(k.fn, as<Unary<T>>(k), x);
    if constexpr (sizeof(T) == 8) {
        const std::vector<double> hard = hard_inputs_of(k.fn);
        if (!hard.empty()) {
            fold_in(a, measure<T>(k.fn, as<Unary<T>>(k), hard));
        }
    }
    return a;
}
template <class T> uint64_t digest_typed(const SlotKernel& k, std::size_t count) {
    if (arity_of(k.fn) == 4) {
        const std::vector<T> x = sweep_inputs<T>(k.fn, count, 99);
        std::vector<T> r(2 * x.size());
        const unsigned mode = vexa_arx_kernel_SetMode(VEXA_VM_ERRMODE_IGNORE);
        as<Pair<T>>(k)(int(x.size()), x.data(), r.data(), r.data() + x.size());
        vexa_arx_kernel_SetMode(mode);
        return fnv(r);
    }
    if (arity_of(k.fn) >= 2) {
        std::vector<T> x, y;
        pairs_for<T>(k.fn, count, 99, x, y);
        if (arity_of(k.fn) == 3) return fnv(run_scalar<T>(as<Scalar<T>>(k), x, y));
        return digest<T>(as<Binary<T>>(k), x, y);
    }
    return digest<T>(as<Unary<T>>(k), sweep_inputs<T>(k.fn, count, 99));
}
}  // namespace

uint64_t digest_slot(const SlotKernel& k, std::size_t count) {
    return k.type == 's' ? digest_typed<float>(k, count) : digest_typed<double>(k, count);
}

Accuracy measure_slot(const SlotKernel& k, std::size_t samples) {
    return k.type == 's' ? measure_typed<float>(k, samples) : measure_typed<double>(k, samples);
}

namespace {

// Error of r for float x against the double reference y (never below the
// error against the exact value by more than 2^-28 ulp), or -1 where the
// reference cannot decide and the oracle must.
double reference_error(double y, float r) {
    if (std::isnan(y)) return std::isnan(r) ? 0.0 : INFINITY;
    if (std::isnan(r)) return INFINITY;
    const double ay = std::fabs(y);
    if (ay > FLT_MAX) {
        // Beyond the range an infinity of the right sign is exact; anything
        // else, or a value too near the largest float to be sure, goes to the oracle.
        const bool beyond = ay > double(FLT_MAX) * (1 + 0x1p-50);
        return beyond && std::isinf(r) && std::signbit(r) == std::signbit(y) ? 0.0 : -1;
    }
    if (std::isinf(r)) return INFINITY;
    int e = 0;
    const double m = std::frexp(ay, &e);  // ay = m 2^e, 0.5 <= m < 1
    e -= 1;
    // Just above a power of two the exact value may lie in the binade below,
    // whose ulp is half: measure in that one, an upper bound of the error.
    if (m < 0.5 + 0x1p-48) e -= 1;
    if (ay == 0 || e < -126) e = -126;
    return std::fabs(double(r) - y) * std::ldexp(1.0, 23 - e);
}

}  // namespace

Accuracy exhaustive_float(const SlotKernel& k, int threads) {
    auto* fn = reinterpret_cast<void (*)(int, const float*, float*)>(const_cast<void*>(k.kernel));
    auto* pair = reinterpret_cast<void (*)(int, const float*, float*, float*)>(const_cast<void*>(k.kernel));
    const bool two = arity_of(k.fn) == 4;
    const Fn second = second_of(k.fn);
    constexpr uint64_t kChunk = 1u << 16, kChunks = (uint64_t(1) << 32) / kChunk;
    std::atomic<uint64_t> next{0};
    auto part = std::vector<Accuracy>(std::size_t(threads));
    auto work = [&](int t) {
        const unsigned mode = vexa_arx_kernel_SetMode(VEXA_VM_ERRMODE_IGNORE);
        std::vector<float> x(kChunk), r(kChunk), r2(kChunk);
        Accuracy& a = part[std::size_t(t)];
        for (uint64_t c; (c = next.fetch_add(1)) < kChunks;) {
            for (uint64_t i = 0; i < kChunk; ++i) {
                const uint32_t bits = uint32_t(c * kChunk + i);
                std::memcpy(&x[i], &bits, 4);
            }
            if (two) pair(int(kChunk), x.data(), r.data(), r2.data());
            else fn(int(kChunk), x.data(), r.data());
            for (int o = 0; o < (two ? 2 : 1); ++o) {
                const Fn f = o == 0 ? k.fn : second;
                const std::vector<float>& res = o == 0 ? r : r2;
                for (uint64_t i = 0; i < kChunk; ++i) {
                    double u = reference_error(reference(f, double(x[i])), res[i]);
                    // Settle with the oracle what the reference cannot, and whatever may be the largest.
                    if (u < 0 || (u > 0 && u > a.max_ulp - 0x1p-20)) u = ulp_error(f, x[i], res[i]);
                    if (u > a.max_ulp) a.max_ulp = u, a.worst_x = double(x[i]);
                }
            }
        }
        vexa_arx_kernel_SetMode(mode);
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(work, t);
    work(0);
    for (auto& th : pool) th.join();
    Accuracy all;
    for (const Accuracy& a : part)
        if (a.max_ulp > all.max_ulp) all.max_ulp = a.max_ulp, all.worst_x = a.worst_x;
    all.min_bits = correct_bits_float(all.max_ulp);
    all.min_bits_x = all.worst_x;
    all.count = std::size_t(uint64_t(1) << 32);
    return all;
}

template std::vector<float> sweep_inputs<float>(Fn, std::size_t, uint64_t);
template std::vector<double> sweep_inputs<double>(Fn, std::size_t, uint64_t);
template Accuracy measure<float>(Fn, void (*)(int, const float*, float*), const std::vector<float>&);
template Accuracy measure<double>(Fn, void (*)(int, const double*, double*), const std::vector<double>&);
template uint64_t digest<float>(void (*)(int, const float*, float*), const std::vector<float>&);
template Accuracy measure<float>(Fn, void (*)(int, const float*, const float*, float*), const std::vector<float>&,
                                 const std::vector<float>&);
template Accuracy measure<double>(Fn, void (*)(int, const double*, const double*, double*),
                                  const std::vector<double>&, const std::vector<double>&);
template uint64_t digest<double>(void (*)(int, const double*, double*), const std::vector<double>&);

}  // namespace vexa::test
