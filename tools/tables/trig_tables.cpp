// The trigonometric tables: the bits of 2/pi for the exact reduction of huge
// arguments, and pi/2 and its multiples split into doubles.
#include <cstdio>
#include <string>

#include "mpfr_util.h"
#include "tables.h"
#include "vector_math/tables/trig_tables.h"

namespace vexa::tools {

std::string generate_trig_tables() {
    TableWriter w("trig_tables.cpp", "vector_math/tables/trig_tables.h", "vexa::vm::tables");

    // pi/2 in three parts, each the rounded rest of the ones before: C1 + C2 + C3
    // is pi/2 within 2^-160.
    mpfr_t pi;
    mpfr_init2(pi, 2048);
    mpfr_const_pi(pi, MPFR_RNDN);
    w.begin("pi/2 = C1 + C2 + C3 + O(2^-160): each part the rounded rest of the ones before (C1 + C2 is\n"
            "// pi/2 as a double-double); then pi/4, pi/2, 3pi/4 and pi as (high, low) pairs.",
            "kPiParts[12]");
    {
        Big rest;
        mpfr_div_2ui(rest.v, pi, 1, MPFR_RNDN);
        for (int k = 0; k < 3; ++k) {
            const double c = mpfr_get_d(rest.v, MPFR_RNDN);
            w.value(c);
            mpfr_sub_d(rest.v, rest.v, c, MPFR_RNDN);
        }
        w.value(0.0);
        for (int q = 1; q <= 4; ++q) {
            Big v;
            mpfr_mul_ui(v.v, pi, unsigned(q), MPFR_RNDN);
            mpfr_div_2ui(v.v, v.v, 2, MPFR_RNDN);
            double hi, lo;
            split(v, hi, lo);
            w.value(hi);
            w.value(lo);
        }
    }
    w.end();

    // pi in three floats, each the rounded rest of the ones before.
    w.begin("pi = P1 + P2 + P3 + O(2^-72) in floats (held as doubles), each the rounded rest of the ones\n"
            "// before: the float reduction's constants (halved for pi/2, exactly).",
            "kPiFloatParts[4]");
    {
        Big rest;
        mpfr_set(rest.v, pi, MPFR_RNDN);
        for (int k = 0; k < 3; ++k) {
            const float c = mpfr_get_flt(rest.v, MPFR_RNDN);
            w.value(double(c));
            mpfr_sub_d(rest.v, rest.v, double(c), MPFR_RNDN);
        }
        w.value(0.0);
    }
    w.end();

    // 2/pi in 32-bit words: 2/pi = sum of word i times 2^(-32 (i + 1)).
    mpfr_t v;
    mpfr_init2(v, 2048);
    mpfr_ui_div(v, 2, pi, MPFR_RNDN);
    w.s += "\n// 2/pi = sum of kTwoOverPi[i] 2^(-32 (i + 1)), i = 0.." + std::to_string(vm::tables::kTwoOverPiWords - 1) +
           ": enough bits for any double argument\n// (1024 bits of integer part, 180 below the point).\n"
           "alignas(64) const uint32_t kTwoOverPi[kTwoOverPiWords] = {\n";
    char buf[32];
    for (int i = 0; i < vm::tables::kTwoOverPiWords; ++i) {
        mpfr_mul_2ui(v, v, 32, MPFR_RNDN);
        const unsigned long word = mpfr_get_ui(v, MPFR_RNDZ);
        mpfr_sub_ui(v, v, word, MPFR_RNDN);
        std::snprintf(buf, sizeof buf, "%s0x%08lx,%s", i % 6 == 0 ? "    " : " ", word, i % 6 == 5 ? "\n" : "");
        w.s += buf;
    }
    if (vm::tables::kTwoOverPiWords % 6 != 0) w.s += "\n";
    w.s += "};\n";
    mpfr_clear(v);

    // Float arguments x = m 2^(E - 150), m a 24-bit integer, E the biased
    // exponent: x 2/pi = m c_E (mod 4) with c_E = 2^(E - 150) 2/pi mod 4, in
    // three parts: 27 bits down to 2^-25, 27 bits down to 2^-52, then the
    // rounded rest, so that m times either of the first two is exact.
    w.begin("Row E (the biased exponent of a float): 2^(E - 150) 2/pi mod 4 as hi (multiple of 2^-25,\n"
            "// below 4), mid (multiple of 2^-52, below 2^-25) and lo (rounded), and a zero to fill the row.",
            "kFloatTwoOverPi[4 * 256]");
    {
        Big c, part;
        mpfr_t big_two_over_pi;
        mpfr_init2(big_two_over_pi, 2048);
        mpfr_ui_div(big_two_over_pi, 2, pi, MPFR_RNDN);
        for (int e = 0; e < 256; ++e) {
            mpfr_t t;
            mpfr_init2(t, 2048);
            mpfr_mul_2si(t, big_two_over_pi, e - 150, MPFR_RNDN);
            mpfr_div_2ui(t, t, 2, MPFR_RNDN);
            mpfr_frac(t, t, MPFR_RNDN);
            mpfr_mul_2ui(t, t, 2, MPFR_RNDN);  // in [0, 4)
            for (int k = 0; k < 2; ++k) {
                const int scale = k == 0 ? 25 : 52;
                mpfr_mul_2ui(t, t, scale, MPFR_RNDN);
                mpfr_set(part.v, t, MPFR_RNDN);
                mpfr_rint_floor(part.v, part.v, MPFR_RNDN);
                mpfr_sub(t, t, part.v, MPFR_RNDN);
                mpfr_div_2ui(t, t, scale, MPFR_RNDN);
                mpfr_div_2ui(part.v, part.v, scale, MPFR_RNDN);
                w.value(mpfr_get_d(part.v, MPFR_RNDN));
            }
            w.value(mpfr_get_d(t, MPFR_RNDN));
            w.value(0.0);
            mpfr_clear(t);
        }
        mpfr_clear(big_two_over_pi);
    }
    w.end();
    mpfr_clear(pi);
    return w.finish();
}

}  // namespace vexa::tools
