// The logarithm's tables: short reciprocals c of intervals of the mantissa
// and -ln c in high and low parts.
#include "mpfr_util.h"
#include "tables.h"

namespace vexa::tools {

std::string generate_ln_tables() {
    TableWriter w("ln_tables.cpp", "vector_math/tables/ln_tables.h", "vexa::vm::tables");

    w.begin(
        "Logarithm rows for m in [1 + j/1024, 1 + (j+1)/1024), j = 0..1023: c = k/1024, the reciprocal\n"
        "// of the interval's midpoint rounded to a multiple of 2^-10 (so that c m - 1 is exact); the\n"
        "// exponent step e (1 when k < 724, m above about sqrt 2, else 0); and -ln(2^e c) as high and\n"
        "// low parts, so that |-ln(2^e c)| <= ln(2)/2 and arguments just below 1 cancel exactly.",
        "kLnRows[4 * 1024]");
    for (int j = 0; j < 1024; ++j) {
        Big k;
        mpfr_set_d(k.v, 1.0 + (j + 0.5) / 1024.0, MPFR_RNDN);
        mpfr_ui_div(k.v, 1024, k.v, MPFR_RNDN);
        mpfr_round(k.v, k.v);
        const double kk = mpfr_get_d(k.v, MPFR_RNDN);
        const bool step = kk < 724;
        Big v;
        minus_ln(v, step ? kk / 512.0 : kk / 1024.0);
        double hi, lo;
        split(v, hi, lo);
        w.value(kk / 1024.0);
        w.value(step ? 1.0 : 0.0);
        w.value(hi);
        w.value(lo);
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
