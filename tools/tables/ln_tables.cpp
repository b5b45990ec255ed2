// The logarithm's tables: short reciprocals c of intervals of the mantissa
// and -ln c in high and low parts.
#include "mpfr_util.h"
#include "tables.h"

#include <cstdlib>
#include <string>

#include "vector_math/tables/ln_data.h"

namespace vexa::tools {

std::string generate_ln_tables() {
    TableWriter w("ln_tables.cpp", "vector_math/tables/ln_tables.h", "vexa::vm::tables");

    // Row j: c = k/1024, the reciprocal of the interval's midpoint rounded to
    // a multiple of 2^-10, and the exponent step e of the row (1 from row
    // kStepRow on, where m is above about sqrt 2).
    double c[1024], t_hi[2][1024], t_lo[2][1024];
    for (int j = 0; j < 1024; ++j) {
        Big k;
        mpfr_set_d(k.v, 1.0 + (j + 0.5) / 1024.0, MPFR_RNDN);
        mpfr_ui_div(k.v, 1024, k.v, MPFR_RNDN);
        mpfr_round(k.v, k.v);
        const double kk = mpfr_get_d(k.v, MPFR_RNDN);
        const bool step = j >= vm::ln_data::kStepRow;
        if (step != (kk < 724)) std::abort();  // the kernels' step threshold no longer matches the rows
        c[j] = kk / 1024.0;
        Big v;
        minus_ln(v, step ? kk / 512.0 : kk / 1024.0);
        split(v, t_hi[0][j], t_lo[0][j]);
        Big ln10;
        mpfr_set_ui(ln10.v, 10, MPFR_RNDN);
        mpfr_log(ln10.v, ln10.v, MPFR_RNDN);
        mpfr_div(v.v, v.v, ln10.v, MPFR_RNDN);
        split(v, t_hi[1][j], t_lo[1][j]);
    }
    const char* names[2] = {"kLnPairs[2 * 1024]", "kLog10Pairs[2 * 1024]"};
    const char* what[2] = {"-ln(2^e c)", "-log10(2^e c)"};
    for (int f = 0; f < 2; ++f) {
        const std::string pairs = std::string("Rows for m in [1 + j/1024, 1 + (j+1)/1024), j = 0..1023: c = k/1024, the reciprocal\n"
                                              "// of the interval's midpoint rounded to a multiple of 2^-10 (so that c m - 1 is exact), and\n"
                                              "// ") + what[f] + " rounded, with e = 1 from row 425 on (m above about sqrt 2, k < 724)\n"
                                              "// and 0 before it, so that arguments just below 1 cancel exactly.";
        w.begin(pairs.c_str(), names[f]);
        for (int j = 0; j < 1024; ++j) {
            w.value(c[j]);
            w.value(t_hi[f][j]);
        }
        w.end();
    }
    w.begin("The rounding errors of -ln(2^e c) and -log10(2^e c) in the rows above, as pairs: the\n"
            "// kernels address both tables with the same byte offset.",
            "kLogLo[2 * 1024]");
    for (int j = 0; j < 1024; ++j) {
        w.value(t_lo[0][j]);
        w.value(t_lo[1][j]);
    }
    w.end();

    w.begin(
        "Per-element logarithm: for m in [1 + i/128, 1 + (i+1)/128), i = 0..127, the reciprocal of\n"
        "// the interval's midpoint rounded to a multiple of 2^-9, and -ln of it in high and low parts.",
        "kLnRare[3 * 128]");
    for (int i = 0; i < 128; ++i) {
        Big mid;
        mpfr_set_d(mid.v, 1.0 + (i + 0.5) / 128.0, MPFR_RNDN);
        mpfr_ui_div(mid.v, 512, mid.v, MPFR_RNDN);
        mpfr_round(mid.v, mid.v);
        const double rcp = mpfr_get_d(mid.v, MPFR_RNDN) / 512.0;
        Big v;
        minus_ln(v, rcp);
        double hi, lo;
        split(v, hi, lo);
        w.value(rcp);
        w.value(hi);
        w.value(lo);
    }
    w.end();
    return w.finish();
}

}  // namespace vexa::tools
