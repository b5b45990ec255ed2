// The error-function table: erf at the nodes j/128 as a packed double-double
// and 2^32 exp(-x^2) there (the double HA Erf kernel).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "chebyshev.h"
#include "mpfr_util.h"
#include "tables.h"
#include "vector_math/tables/erf_tables.h"

namespace vexa::tools {
namespace {

uint64_t bits_of(double d) {
    uint64_t b;
    std::memcpy(&b, &d, 8);
    return b;
}

// A_j for erf(x_j) = e: H (a double below e) and the 9 free top bits f of
// the word, c = the word's top 32 bits = f 2^23 + (H 2^-1016's bits 32..54),
// chosen so that H (1 + c 2^-84) is nearest e (within H 2^-62). The
// correction is positive, so H starts at e rounded down, and steps down an ulp
// where the fixed low bits of c already exceed what e - H needs.
uint64_t packed(const Big& e) {
    double h = mpfr_get_d(e.v, MPFR_RNDD);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const uint64_t word = bits_of(h * 0x1p-1016);  // exact: a power-of-two scaling into the low 55 bits
        const uint64_t fixed = (word >> 32) & 0x7FFFFFu;
        // Wanted c: (e - h)/h 2^84.
        Big c;
        mpfr_sub_d(c.v, e.v, h, MPFR_RNDN);
        mpfr_div_d(c.v, c.v, h, MPFR_RNDN);
        mpfr_mul_2ui(c.v, c.v, 84, MPFR_RNDN);
        mpfr_sub_ui(c.v, c.v, fixed, MPFR_RNDN);
        mpfr_div_2ui(c.v, c.v, 23, MPFR_RNDN);
        const long f = mpfr_get_si(c.v, MPFR_RNDN);
        if (f >= 0 && f < 512) return (uint64_t(f) << 55) | word;
        h = std::nextafter(h, 0.0);
    }
    std::fprintf(stderr, "erf table: no packing\n");
    return 0;
}


// erfcx x = exp(x^2) erfc x.
void erfcx(Big& out, const Big& x) {
    Big e;
    mpfr_erfc(out.v, x.v, MPFR_RNDN);
    mpfr_sqr(e.v, x.v, MPFR_RNDN);
    mpfr_exp(e.v, e.v, MPFR_RNDN);
    mpfr_mul(out.v, out.v, e.v, MPFR_RNDN);
}

// The x >= 0 with ln erfc x = -s^2, by Newton's method on ln erfc.
void erfc_inverse_of_s(Big& x, const Big& s) {
    Big g, d, e, sq;
    mpfr_set(x.v, s.v, MPFR_RNDN);
    mpfr_sqr(sq.v, s.v, MPFR_RNDN);
    bool done = false;
    for (int it = 0; it < 60; ++it) {
        // g = ln erfc x + s^2, g' = -2/sqrt(pi) exp(-x^2) / erfc x.
        mpfr_erfc(e.v, x.v, MPFR_RNDN);
        mpfr_log(g.v, e.v, MPFR_RNDN);
        mpfr_add(g.v, g.v, sq.v, MPFR_RNDN);
        mpfr_sqr(d.v, x.v, MPFR_RNDN);
        mpfr_neg(d.v, d.v, MPFR_RNDN);
        mpfr_exp(d.v, d.v, MPFR_RNDN);
        mpfr_div(d.v, d.v, e.v, MPFR_RNDN);
        Big k;
        mpfr_const_pi(k.v, MPFR_RNDN);
        mpfr_sqrt(k.v, k.v, MPFR_RNDN);
        mpfr_mul(g.v, g.v, k.v, MPFR_RNDN);
        mpfr_div_2ui(g.v, g.v, 1, MPFR_RNDN);
        mpfr_div(g.v, g.v, d.v, MPFR_RNDN);  // -g/g'
        mpfr_add(x.v, x.v, g.v, MPFR_RNDN);
        // Quadratic convergence: the step after |g| < 2^-130 x is the last.
        if (done) break;
        done = mpfr_zero_p(g.v) || mpfr_get_exp(g.v) < mpfr_get_exp(x.v) - 130;
    }
}

// erfinv y for 0 < y < 1, by Newton's method on erf.
void erfinv(Big& x, const Big& y) {
    Big e, d, k;
    mpfr_const_pi(k.v, MPFR_RNDN);
    mpfr_sqrt(k.v, k.v, MPFR_RNDN);
    mpfr_div_2ui(k.v, k.v, 1, MPFR_RNDN);  // sqrt(pi)/2
    mpfr_mul(x.v, y.v, k.v, MPFR_RNDN);
    bool done = false;
    for (int it = 0; it < 60; ++it) {
        mpfr_erf(e.v, x.v, MPFR_RNDN);
        mpfr_sub(e.v, y.v, e.v, MPFR_RNDN);
        mpfr_sqr(d.v, x.v, MPFR_RNDN);
        mpfr_exp(d.v, d.v, MPFR_RNDN);
        mpfr_mul(e.v, e.v, d.v, MPFR_RNDN);
        mpfr_mul(e.v, e.v, k.v, MPFR_RNDN);
        mpfr_add(x.v, x.v, e.v, MPFR_RNDN);
        if (done) break;
        done = mpfr_zero_p(e.v) || mpfr_get_exp(e.v) < mpfr_get_exp(x.v) - 130;
    }
}


}  // namespace

std::string generate_erf_tables() {
    TableWriter w("erf_tables.cpp", "vector_math/tables/erf_tables.h", "vexa::vm::tables");
    w.s += "\n// Row j: A_j (erf(j/128) packed: H_j 2^-1016 in the low 55 bits, c_j in the top 32, erf = H_j (1 +\n"
           "// c_j 2^-84) to about 2^-62) and B_j = 2^32 exp(-(j/128)^2); rows 0 to 3 (the node 0): 0 and 2^32.\n"
           "alignas(64) const uint64_t vderf_data[2 * kErfRows] = {\n";
    char buf[64];
    for (int j = 0; j < vm::tables::kErfRows; ++j) {
        uint64_t a = 0;
        double b = 0x1p32;
        if (j >= 4) {
            Big x, e;
            mpfr_set_si(x.v, j, MPFR_RNDN);
            mpfr_div_2ui(x.v, x.v, 7, MPFR_RNDN);
            mpfr_erf(e.v, x.v, MPFR_RNDN);
            a = packed(e);
            mpfr_sqr(x.v, x.v, MPFR_RNDN);
            mpfr_neg(x.v, x.v, MPFR_RNDN);
            mpfr_exp(x.v, x.v, MPFR_RNDN);
            mpfr_mul_2ui(x.v, x.v, 32, MPFR_RNDN);
            b = mpfr_get_d(x.v, MPFR_RNDN);
        }
        std::snprintf(buf, sizeof buf, "    0x%016llx, 0x%016llx,%s", (unsigned long long)a,
                      (unsigned long long)bits_of(b), "\n");
        w.s += buf;
    }
    w.s += "};\n";

    using namespace vm::tables;
    // erfc's tail: F = erfcx on the sixteenths of the binades 1 to 16 (the
    // last one up to 27.5, past the underflow of erfc and its inverse at 2^-1074).
    w.begin("The tail of erfc: per row the center, erfcx(center) hi and lo, then the coefficients of (x - center)^k;\n"
            "// the relative error of each polynomial in the comment before its row.",
            "vderfc_tail[kErfcTailRows * kErfcTailStride]");
    for (int k = 0; k < kErfcTailRows; ++k) {
        const double base = std::ldexp(1.0, k / 16);
        const double lo = base * (1 + (k % 16) / 16.0), hi = std::min(lo + base / 16, 27.5);
        if (lo >= 27.5) {  // rows past 27.5: never read
            for (int j = 0; j < kErfcTailStride; ++j) w.value(0.0);
            continue;
        }
        std::vector<Big> exact(static_cast<std::size_t>(kErfcTailDegree + 1));
        std::vector<Big*> ptr;
        for (auto& b : exact) ptr.push_back(&b);
        const std::vector<double> c = chebyshev_fit(erfcx, lo, hi, kErfcTailDegree + 1, &ptr);
        Big rest;
        mpfr_sub_d(rest.v, exact[0].v, c[0], MPFR_RNDN);
        const double c0_lo = mpfr_get_d(rest.v, MPFR_RNDN);
        comment_error(w, "row", k, fit_error(erfcx, lo, hi, (lo + hi) / 2, c, c0_lo));
        w.value((lo + hi) / 2);
        w.value(c[0]);
        w.value(c0_lo);
        for (int j = 1; j <= kErfcTailDegree; ++j) w.value(c[std::size_t(j)]);
        for (int j = kErfcTailDegree + 3; j < kErfcTailStride; ++j) w.value(0.0);
    }
    w.end();

    w.begin("The inverse error function: the central polynomials, then per tail row the center and the\n"
            "// coefficients of (s - center)^k; the relative errors in the comments.",
            "vderfinv_data[kErfInvTail + kErfInvTailRows * kErfInvTailStride]");
    {
        // R(t) = (erfinv(sqrt t) / sqrt t - c0) / t on [0, 1/4].
        Big c0;
        mpfr_const_pi(c0.v, MPFR_RNDN);
        mpfr_sqrt(c0.v, c0.v, MPFR_RNDN);
        mpfr_div_2ui(c0.v, c0.v, 1, MPFR_RNDN);
        double c0h, c0l;
        split(c0, c0h, c0l);
        const Fn ratio = [](Big& out, const Big& t) {
            Big y;
            mpfr_sqrt(y.v, t.v, MPFR_RNDN);
            erfinv(out, y);
            mpfr_div(out.v, out.v, y.v, MPFR_RNDN);
        };
        const Fn r = [&](Big& out, const Big& t) {
            ratio(out, t);
            mpfr_sub(out.v, out.v, c0.v, MPFR_RNDN);
            mpfr_div(out.v, out.v, t.v, MPFR_RNDN);
        };
        // The fits are in t - 1/8; the kernels want powers of t: shift back.
        auto in_t = [](const Fn& f, int n) {
            Big t;
            std::vector<Big> exact(static_cast<std::size_t>(n));
            std::vector<Big*> ptr;
            for (auto& b : exact) ptr.push_back(&b);
            chebyshev_fit(f, 0.0, 0.25, n, &ptr);
            // p(t - 1/8) expanded: coefficient of t^j = sum_k a_k C(k, j) (-1/8)^(k-j).
            std::vector<double> out;
            for (int j = 0; j < n; ++j) {
                Big sum, term;
                mpfr_set_zero(sum.v, 1);
                for (int k = j; k < n; ++k) {
                    double binom = 1;
                    for (int i = 0; i < j; ++i) binom = binom * (k - i) / (i + 1);
                    mpfr_mul_d(term.v, exact[std::size_t(k)].v, binom, MPFR_RNDN);
                    mpfr_mul_2si(term.v, term.v, -3 * (k - j), MPFR_RNDN);
                    if ((k - j) % 2) mpfr_neg(term.v, term.v, MPFR_RNDN);
                    mpfr_add(sum.v, sum.v, term.v, MPFR_RNDN);
                }
                out.push_back(mpfr_get_d(sum.v, MPFR_RNDN));
            }
            return out;
        };
        const std::vector<double> rc = in_t(r, kErfInvCentralDegree);
        const std::vector<double> ep = in_t(ratio, kErfInvCentralEpDegree + 1);
        // Errors: of c0 + t R(t) and of P(t), relative, over t in [0, 1/4].
        std::vector<double> full{c0h};
        for (double v : rc) full.push_back(v);
        comment_error(w, "central", 0, fit_error(ratio, 1e-6, 0.25, 0.0, full, c0l));
        w.value(c0h);
        w.value(c0l);
        for (double v : rc) w.value(v);
        comment_error(w, "central EP", 0, fit_error(ratio, 1e-6, 0.25, 0.0, ep));
        for (double v : ep) w.value(v);
        for (int j = kErfInvCentralEp + kErfInvCentralEpDegree + 1; j < kErfInvTail; ++j) w.value(0.0);
    }
    for (int k = 0; k < kErfInvTailRows; ++k) {
        const double base = std::ldexp(1.0, k / 2 - 1);
        const double lo = base * (1 + (k % 2) / 2.0), hi = std::min(lo + base / 2, 27.3);
        const Fn f = [](Big& out, const Big& s) { erfc_inverse_of_s(out, s); };
        const std::vector<double> c = chebyshev_fit(f, lo, hi, kErfInvTailDegree + 1);
        comment_error(w, "tail", k, fit_error(f, lo, hi, (lo + hi) / 2, c, 0, 41));
        w.value((lo + hi) / 2);
        for (double v : c) w.value(v);
        for (int j = kErfInvTailDegree + 2; j < kErfInvTailStride; ++j) w.value(0.0);
    }
    w.end();
    return w.finish();
}

}  // namespace vexa::tools
