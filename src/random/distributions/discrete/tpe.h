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
// test reads g from a table around the mode, and computes it beyond. The
// candidates are made in blocks, in registers (tpe_fill). A set-up read
// from a damaged stream image could accept nothing: after 4096 blocks in a
// row without a value (never, for a sound set-up) the rest is the mode.
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
    int32_t unused;        // to 128 bytes on both ABIs
};
static_assert(sizeof(TpeSetup) == 128);

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
        if (under) break;
        if (p1 <= 1) {  // a triangle on [M, M + 1) alone lies under g(M) = 1
            p1 = 0.5;
            break;
        }
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

// A set-up and its table in a stream chunk, under the two numbers of the
// parameters it was made for (the first at offset 0 on both ABIs).
struct TpeChunk {
    double key[2];
    TpeSetup setup;
    double* table() { return reinterpret_cast<double*>(this + 1); }
    const double* table() const { return reinterpret_cast<const double*>(this + 1); }
};
static_assert(sizeof(TpeChunk) % 8 == 0);

// The chunk's set-up when it is whole (its table within the chunk, as one
// from a stream image may not have it), else null.
inline TpeChunk* tpe_whole(const StreamChunk* c) {
    if (c == nullptr || c->size < int32_t(sizeof(TpeChunk))) return nullptr;
    auto* b = static_cast<TpeChunk*>(c->data);
    const int32_t count = b->setup.count;
    const bool fits = count >= 0 && count <= kTpeTable && c->size >= int32_t(sizeof(TpeChunk)) + count * 8;
    return fits ? b : nullptr;
}

// The set-up of chunk `id` for the parameters (k0, k1): the kept one, or
// one made from the fitted p1 and c, in place when the chunk is large
// enough, else in a new chunk that replaces it. Null without memory.
template <class Law>
const TpeChunk* tpe_cached(StreamState* s, int32_t id, double k0, double k1, const Law& law, double p1, double c) {
    StreamChunk* record = chunk_record(s, id);
    TpeChunk* cache = tpe_whole(record);
    if (cache != nullptr && cache->key[0] == k0 && cache->key[1] == k1) return cache;
    TpeSetup t = tpe_setup(law, p1, c);
    tpe_table_range(law, t);
    const int32_t bytes = int32_t(sizeof(TpeChunk)) + t.count * int32_t(sizeof(double));
    if (cache == nullptr || record->size < bytes) {
        cache = static_cast<TpeChunk*>(replace_chunk(s, id, bytes));
        if (cache == nullptr) return nullptr;
    }
    cache->key[0] = k0;
    cache->key[1] = k1;
    cache->setup = t;
    tpe_fill_table(law, t, cache->table());
    return cache;
}

// n values into r (minus from `flip` when it is non-negative: flip - y), made
// from blocks of candidates: the regions, abscissae and heights of a block
// in registers, the test against the table by a gather, and only values
// beyond the table tested one by one. Runs inside a frame with the
// logarithm callback (ln 0 of a uniform leads far outside the range).
template <class Law>
int tpe_fill(StreamState* s, const Law& law, const TpeChunk& chunk, int n, int32_t* r, int32_t flip) {
    const TpeSetup& t = chunk.setup;
    const double* g = chunk.table();
    using simd::broadcast;
    alignas(32) double u[2 * kBlock], x[kBlock], h[kBlock], keep[kBlock];
    const __m256d one = broadcast(1.0), two = broadcast(2.0), p1 = broadcast(t.p1), p2 = broadcast(t.p2),
                  p3 = broadcast(t.p3), xm = broadcast(t.xm), xl = broadcast(t.xl), xr = broadcast(t.xr),
                  c = broadcast(t.c), inv_c = broadcast(t.inv_c), inv_p1 = broadcast(t.inv_p1),
                  laml = broadcast(t.laml), lamr = broadcast(t.lamr), inv_laml = broadcast(t.inv_laml),
                  inv_lamr = broadcast(t.inv_lamr), lo = broadcast(double(law.lo())),
                  end = broadcast(double(law.hi()) + 1), first = broadcast(double(t.first)),
                  count = broadcast(double(t.count));
    int st = VEXA_RNG_OK, empty = 0;
    for (int done = 0; done < n;) {
        if (empty == 4096) {
            for (; done < n; ++done) r[done] = flip >= 0 ? flip - t.mode : t.mode;
            break;
        }
        const int k = candidates(n - done, 12);
        if ((st = source::uniform(s, 2 * k, u, 0.0, 1.0)) < 0) return st;
        split_pairs(k, u, x, t.p4, u, 1.0);  // x: u p4, u: v
        apply_ha<vm::fn::Ln>(k, u, h);        // ln v
        registers<double>(k, [&](int i) {
            const __m256d uu = simd::load(x + i), v = simd::load(u + i), lv = simd::load(h + i);
            const __m256d tri = simd::cmp_not_gt(uu, p1), band = simd::cmp_not_gt(uu, p2),
                          left = simd::cmp_not_gt(uu, p3);
            const __m256d xt = xm - p1 * v + uu, xb = xl + (uu - p1) * inv_c, xlf = xl + lv * inv_laml,
                          xrt = xr - lv * inv_lamr;
            const __m256d xx = simd::select(tri, xt, simd::select(band, xb, simd::select(left, xlf, xrt)));
            const __m256d height = simd::select(
                band, v * c + one - simd::abs(xx - xm) * inv_p1,
                simd::select(left, v * (uu - p2) * laml, v * (uu - p3) * lamr));
            const __m256d y = simd::floor(xx);
            const __m256d in_range = simd::bit_and(simd::cmp_ge(xx, lo), simd::cmp_lt(xx, end));
            const __m256d at = y - first;
            const __m256d in_table = simd::bit_and(simd::cmp_ge(at, simd::zero<double>()), simd::cmp_lt(at, count));
            const __m128i index = _mm256_cvttpd_epi32(simd::bit_and(in_table, at));
            const __m256d gy = _mm256_mask_i32gather_pd(simd::zero<double>(), g, index, in_table, 8);
            // 1 accepted, 0 rejected, 2 to be tested beyond the table.
            const __m256d table_test = simd::bit_and(in_table, simd::cmp_not_gt(height, gy));
            __m256d verdict = simd::bit_and(simd::bit_or(tri, simd::bit_and(in_range, table_test)), one);
            verdict = simd::select(_mm256_andnot_pd(simd::bit_or(tri, in_table), in_range), two, verdict);
            simd::store(x + i, y);
            simd::store(h + i, height);
            simd::store(keep + i, verdict);
        });
        for (int i = 0; i < k; ++i)
            if (keep[i] == 2)
                keep[i] = h[i] > 0 && std::log(h[i]) <= law.log_g(int32_t(x[i])) ? 1 : 0;
        const int first_new = done;
        alignas(32) double accepted[kBlock];
        const int got = compact(k, x, keep, accepted, 0, n - done);
        for (int i = 0; i < got; ++i) r[first_new + i] = flip >= 0 ? flip - int32_t(accepted[i]) : int32_t(accepted[i]);
        done += got;
        empty = got == 0 ? empty + 1 : 0;
    }
    return st;
}

}  // namespace vexa::rng::dist
