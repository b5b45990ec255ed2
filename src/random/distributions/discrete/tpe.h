// The triangle-parallelogram-exponential acceptance-rejection method of
// Kachitvichyanukul and Schmeiser (BTPE 1988 for the binomial; PTPE and H2PE
// are the same scheme for the Poisson and hypergeometric laws), for a
// log-concave law f on the integers lo .. hi with mode M, g = f / f(M):
//
//   the hat is, around xm = M + 1/2, the triangle 1 - |x - xm| / p1 on
//   [xl, xr] = [xm - p1, xm + p1] plus a band of height c over it, and
//   beyond xl and xr the exponentials c exp(-laml (xl - x)) and
//   c exp(-lamr (x - xr)). A point under the triangle is accepted at once;
//   any other is accepted when its height v is at most g(floor x).
//
// The published method takes p1, c, laml and lamr from formulas fitted to
// the law. Here the set-up starts from those formulas and then checks them
// against g itself, walking the integers from the mode: p1 shrinks until
// the triangle lies under g, c grows until the band covers g, and laml and
// lamr are the largest rates whose exponentials still cover g (g is
// log-concave, so the walk stops where the ratio turns). The sampler is
// therefore exact whatever the fitted formulas give (our choice).
//
// A Law supplies: lo, hi, mode; ratio(k) = f(k + 1) / f(k); log_g(y) =
// ln g(y) computed directly; spread (its standard deviation). The acceptance
// test reads g from a table around the mode, and computes it beyond.
#pragma once

#include <cmath>
#include <cstdint>

#include "random/distributions/frame.h"

namespace vexa::rng::dist {

struct TpeSetup {
    double xm, xl, xr, p1, c, laml, lamr, p2, p3, p4;
    double inv_c, inv_p1, inv_laml, inv_lamr;
    int32_t mode;
    int32_t first, count;  // the table of g: g(first .. first + count - 1)
};

// The table of g kept beside a set-up: the mode +- 7 standard deviations
// and 16 more, at most kTpeTable values; beyond it g is computed.
constexpr int32_t kTpeTable = 16383;
template <class Law> void tpe_table_range(const Law& law, TpeSetup& t) {
    const double w = std::fmin(std::ceil(7 * law.spread() + 16), double(kTpeTable / 2));
    const double first = std::fmax(double(law.lo()), t.mode - w), last = std::fmin(double(law.hi()), t.mode + w);
    t.first = int32_t(first);
    t.count = int32_t(last - first) + 1;
}
// g over the range, by the law's ratios from the mode outwards.
template <class Law> void tpe_fill_table(const Law& law, const TpeSetup& t, double* g) {
    const int32_t at = t.mode - t.first;
    g[at] = 1;
    for (int32_t j = at; j + 1 < t.count; ++j) g[j + 1] = g[j] * law.ratio(t.first + j);
    for (int32_t j = at; j > 0; --j) g[j - 1] = g[j] / law.ratio(t.first + j - 1);
}

// ln n! for n >= 0: a table below 16, Stirling's series with four terms
// above (absolute error below 1e-15 there).
inline double log_factorial(double n) {
    static constexpr double kTable[16] = {0.0,
                                          0.0,
                                          0.69314718055994531,
                                          1.791759469228055,
                                          3.1780538303479458,
                                          4.7874917427820458,
                                          6.5792512120101012,
                                          8.5251613610654147,
                                          10.604602902745251,
                                          12.801827480081469,
                                          15.104412573075516,
                                          17.502307845873887,
                                          19.987214495661885,
                                          22.552163853123425,
                                          25.19122118273868,
                                          27.89927138384089};
    if (n < 16) return kTable[int(n)];
    const double m = n + 1, r = 1 / (m * m);
    return (m - 0.5) * std::log(m) - m + 0.91893853320467274 +  // ln sqrt(2 pi)
           (1.0 / 12 - r * (1.0 / 360 - r * (1.0 / 1260 - r * (1.0 / 1680)))) / m;
}

// ln a! - ln b!, without the cancellation of the two large logarithms: for
// a, b >= 16 the Stirling forms are subtracted term by term.
inline double log_factorial_ratio(double a, double b) {
    if (a < 16 || b < 16) return log_factorial(a) - log_factorial(b);
    const double ma = a + 1, mb = b + 1, d = a - b;
    const double ra = 1 / (ma * ma), rb = 1 / (mb * mb);
    const double ca = (1.0 / 12 - ra * (1.0 / 360 - ra * (1.0 / 1260 - ra * (1.0 / 1680)))) / ma;
    const double cb = (1.0 / 12 - rb * (1.0 / 360 - rb * (1.0 / 1260 - rb * (1.0 / 1680)))) / mb;
    // (ma - 1/2) ln ma - (mb - 1/2) ln mb = d ln mb + (ma - 1/2) ln(ma / mb)
    return d * std::log(mb) + (ma - 0.5) * std::log1p(d / mb) - d + ca - cb;
}

// The set-up for the law, from the fitted p1 and c.
template <class Law> TpeSetup tpe_setup(const Law& law, double p1, double c) {
    const int32_t m = law.mode();
    const auto g_at = [&](int32_t k) { return std::exp(law.log_g(k)); };
    // The triangle under g: at each integer k of [xl, xr) the triangle's
    // largest height on [k, k + 1) is at the end nearer xm.
    for (;;) {
        const double xm = m + 0.5, xl = xm - p1, xr = xm + p1;
        bool under = true;
        for (int32_t k = int32_t(std::floor(xl)); k < xr && under; ++k) {
            const double nearest = k + 1 <= xm ? k + 1 : (k >= xm ? k : xm);
            const double g = k < law.lo() || k > law.hi() ? 0.0 : g_at(k);  // nothing outside the range
            under = 1 - std::fabs(nearest - xm) / p1 <= g;
        }
        if (under || p1 <= 1) break;
        p1 = std::floor(p1 * 0.9) + 0.5 < p1 ? std::floor(p1 * 0.9) + 0.5 : p1 - 1;
    }
    TpeSetup t{};
    t.mode = m;
    t.p1 = p1;
    t.xm = m + 0.5;
    t.xl = t.xm - p1;
    t.xr = t.xm + p1;
    // The band covers g over [xl, xr]: the hat's least height on [k, k + 1)
    // is at the end farther from xm; and it covers g at the junctions.
    for (int32_t k = int32_t(std::floor(t.xl)); k < t.xr; ++k) {
        if (k < law.lo() || k > law.hi()) continue;
        const double a = k < t.xl ? t.xl : double(k), b = k + 1 > t.xr ? t.xr : double(k + 1);
        const double farthest = std::fmax(std::fabs(a - t.xm), std::fabs(b - t.xm));
        const double need = g_at(k) - (1 - farthest / p1);
        if (need > c) c = need;
    }
    const int32_t kl = int32_t(std::floor(t.xl)), kr = int32_t(std::floor(t.xr));
    if (kl >= law.lo() && kl < t.xl && g_at(kl) > c) c = g_at(kl);
    if (kr <= law.hi() && g_at(kr) > c) c = g_at(kr);
    c *= 1 + 1e-12;
    t.c = c;
    // The tail rates: on [k, k + 1) left of xl the exponential is least at
    // k, so laml <= ln(c / g(k)) / (xl - k) for every k < xl; the bound is
    // unimodal in k for log-concave g, and the walk stops once it has risen
    // for a while.
    const auto tail_rate = [&](int32_t start, int32_t step, double edge) {
        double best = 1e300, previous = 1e300;
        int rising = 0;
        for (int32_t k = start; k >= law.lo() && k <= law.hi(); k += step) {
            const double dist = step < 0 ? edge - k : k + 1 - edge;
            if (dist <= 0) continue;
            const double lg = law.log_g(k);
            const double rate = (std::log(c) - lg) / dist;
            if (rate < best) best = rate;
            rising = rate > previous ? rising + 1 : 0;
            previous = rate;
            if (rising > 8 || lg < -745) break;
        }
        return best * (1 - 1e-12);
    };
    t.laml = tail_rate(int32_t(std::floor(t.xl)), -1, t.xl);
    t.lamr = tail_rate(int32_t(std::ceil(t.xr)) - 1, 1, t.xr);
    if (t.laml > 1e300) t.laml = 1;  // no integers left of xl: the tail is never accepted
    if (t.lamr > 1e300) t.lamr = 1;
    t.inv_c = 1 / c;
    t.inv_p1 = 1 / p1;
    t.inv_laml = 1 / t.laml;
    t.inv_lamr = 1 / t.lamr;
    t.p2 = p1 * (1 + 2 * c);
    t.p3 = t.p2 + c / t.laml;
    t.p4 = t.p3 + c / t.lamr;
    return t;
}

// One value; next() gives uniforms on [0, 1); g the set-up's table.
// A set-up read from a damaged image could reject everything: after 2^20
// rejections in a row (never, for a sound one) the mode is returned.
template <class Law, class Next> int32_t tpe_draw(const Law& law, const TpeSetup& t, const double* g, Next& next) {
    for (int tries = 0; tries < (1 << 20); ++tries) {
        const double u = next() * t.p4;
        double v = next();
        int32_t y;
        if (u <= t.p1) return int32_t(std::floor(t.xm - t.p1 * v + u));  // the triangle
        if (u <= t.p2) {  // the band
            const double x = t.xl + (u - t.p1) * t.inv_c;
            v = v * t.c + 1 - std::fabs(x - t.xm) * t.inv_p1;
            if (v > 1 || x < law.lo() || x >= law.hi() + 1.0) continue;
            y = int32_t(std::floor(x));
        } else if (u <= t.p3) {  // the left exponential
            if (v == 0) continue;
            const double x = t.xl + std::log(v) * t.inv_laml;
            if (x < law.lo()) continue;
            y = int32_t(std::floor(x));
            v = v * (u - t.p2) * t.laml;
        } else {  // the right exponential
            if (v == 0) continue;
            const double x = t.xr - std::log(v) * t.inv_lamr;
            if (x >= law.hi() + 1.0) continue;
            y = int32_t(std::floor(x));
            v = v * (u - t.p3) * t.lamr;
        }
        const uint32_t at = uint32_t(y - t.first);
        if (at < uint32_t(t.count) ? v <= g[at] : v <= 0 || std::log(v) <= law.log_g(y)) return y;
    }
    return t.mode;
}

}  // namespace vexa::rng::dist
