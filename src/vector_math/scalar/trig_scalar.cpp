// The exact reduction of huge arguments (Payne-Hanek) and the per-element
// routines of Sin, Cos, SinCos and Tan.
//
// |x| = m 2^e (m a 53-bit integer). Only |x| 2/pi mod 4 matters, so the words
// of 2/pi whose products with m are multiples of 4 are skipped; m times the
// next eight words (256 bits) gives the quadrant and at least 224 bits below
// the point, exact but for the skipped tail of 2/pi (below 2^-170). The
// fraction f, taken in [-1/2, 1/2], becomes a double-double and r = f pi/2.
// Integer arithmetic in 32-bit words, so both ABIs compute it identically.
#include "vector_math/scalar/trig_scalar.h"

#include <cmath>
#include <cstdint>

#include "vector_math/real/trig_core.h"
#include "vector_math/scalar/fp_bits.h"

namespace vexa::vm {
namespace {

constexpr int kWords = 8;             // words of 2/pi multiplied
constexpr int kLimbs = kWords + 2;    // limbs of the product

// The 32 bits of p starting at bit `pos` (0 <= pos, pos + 32 <= 32 kLimbs).
uint32_t bits_at(const uint32_t* p, int pos) {
    const int w = pos >> 5, sh = pos & 31;
    if (sh == 0) return p[w];
    const uint32_t high = w + 1 < kLimbs ? p[w + 1] << (32 - sh) : 0u;
    return (p[w] >> sh) | high;
}

}  // namespace

int reduce_pio2(double x, double& hi, double& lo) {
    const uint64_t b = bits_of(x);
    const int e = int((b >> 52) & 0x7FF) - 1075;
    const uint64_t m = (b & 0x000FFFFFFFFFFFFFull) | 0x0010000000000000ull;
    // First word whose product is not a multiple of 4: e - 32 (i + 1) < 2.
    const int i0 = e >= 2 ? (e - 2) / 32 : 0;
    uint32_t p[kLimbs] = {};
    const uint64_t m0 = m & 0xFFFFFFFFu, m1 = m >> 32;
    for (int j = 0; j < kWords; ++j) {
        const uint64_t w = tables::kTwoOverPi[i0 + j];
        const int at = kWords - 1 - j;  // the word's limb in the multiplier
        uint64_t t = m0 * w + p[at];
        p[at] = uint32_t(t);
        t = (t >> 32) + m1 * w + p[at + 1];
        p[at + 1] = uint32_t(t);
        t >>= 32;
        for (int k = at + 2; t != 0 && k < kLimbs; ++k) {
            t += p[k];
            p[k] = uint32_t(t);
            t >>= 32;
        }
    }
    // |x| 2/pi = p 2^-F: bit F is the units bit.
    const int f_bits = 32 * (i0 + kWords) - e;
    int n = int(bits_at(p, f_bits) & 3u);
    uint32_t fr[6];
    for (int k = 0; k < 6; ++k) fr[k] = bits_at(p, f_bits - 32 * (k + 1));
    bool negative = false;
    if (fr[0] & 0x80000000u) {  // fraction >= 1/2: round n up, f = fraction - 1
        n = (n + 1) & 3;
        negative = true;
        uint64_t carry = 1;
        for (int k = 5; k >= 0; --k) {
            carry += uint32_t(~fr[k]);
            fr[k] = uint32_t(carry);
            carry >>= 32;
        }
    }
    int k = 0;
    while (k < 2 && fr[k] == 0) ++k;  // |f| >= 2^-96: no double is nearer a multiple of pi/2
    const uint64_t top = (uint64_t(fr[k]) << 32) | fr[k + 1];
    const uint64_t rest = (uint64_t(fr[k + 2]) << 32) | fr[k + 3];
    const double d1 = double(top >> 11) * 0x1p11;  // exact
    const double d2 = double(top & 0x7FFu) + double(rest) * 0x1p-64;
    const double scale = std::ldexp(1.0, -64 - 32 * k);
    const double fh = (d1 + d2) * scale;
    const double fl = (d2 - ((d1 + d2) - d1)) * scale;
    // r = f pi/2 as a double-double.
    const double* pi = tables::kPiParts;
    const double rh = fh * pi[0];
    const double rl = std::fma(fh, pi[0], -rh) + std::fma(fh, pi[1], fl * pi[0]);
    hi = rh + rl;
    lo = (rh - hi) + rl;
    if (negative != std::signbit(x)) hi = -hi, lo = -lo;
    if (std::signbit(x)) n = (4 - n) & 3;
    return n;
}

int trig_rare(TrigFn f, double x, double& r) {
    if (std::isnan(x)) {
        r = x + x;
        return 0;
    }
    if (std::isinf(x)) {
        r = invalid_result();
        return VEXA_VM_STATUS_DOMAIN;
    }
    using namespace trig_core;
    double h, l;
    int n;
    if (std::fabs(x) < kFastLimit) {  // the kernels' own reduction (the lanes here are larger)
        const VReduced v = reduce<Acc::HA>(_mm256_set1_pd(x));
        h = _mm256_cvtsd_f64(v.hi), l = _mm256_cvtsd_f64(v.lo), n = _mm256_cvtsi256_si32(v.n) & 3;
    } else {
        n = reduce_pio2(x, h, l);
    }
    Parts<double> s, c;
    sin_cos_parts<Acc::HA>(h, l, &s, &c);
    switch (f) {
        case TrigFn::Sin: {
            const double v = (n & 1) ? c.hi + c.lo : s.hi + s.lo;
            r = (n & 2) ? -v : v;
            break;
        }
        case TrigFn::Cos: {
            const double v = (n & 1) ? s.hi + s.lo : c.hi + c.lo;
            r = ((n + 1) & 2) ? -v : v;
            break;
        }
        case TrigFn::Tan:
            r = (n & 1) ? -quotient<Acc::HA>(c, s) : quotient<Acc::HA>(s, c);
            break;
    }
    return 0;
}

namespace {
template <class T> int rare_of(TrigFn f, const T* a, T* r) {
    double v;
    const int status = trig_rare(f, double(*a), v);
    *r = T(v);
    return status;
}
}  // namespace

int vdsin_cout_rare(const double* a, double* r) { return rare_of(TrigFn::Sin, a, r); }
int vssin_cout_rare(const float* a, float* r) { return rare_of(TrigFn::Sin, a, r); }
int vdcos_cout_rare(const double* a, double* r) { return rare_of(TrigFn::Cos, a, r); }
int vscos_cout_rare(const float* a, float* r) { return rare_of(TrigFn::Cos, a, r); }
int vstan_cout_rare(const float* a, float* r) { return rare_of(TrigFn::Tan, a, r); }

int vdsincos_cout_rare(const double* a, double* r1, double* r2) {
    rare_of(TrigFn::Cos, a, r2);
    return rare_of(TrigFn::Sin, a, r1);
}
int vssincos_cout_rare(const float* a, float* r1, float* r2) {
    rare_of(TrigFn::Cos, a, r2);
    return rare_of(TrigFn::Sin, a, r1);
}

}  // namespace vexa::vm
