// The exponential's tables: 2^(j/2^q) for the reductions of the kernels.
#include "mpfr_util.h"
#include "tables.h"

namespace vexa::tools {

std::string generate_exp_tables() {
    TableWriter w("exp_tables.cpp", "vector_math/tables/exp_tables.h", "vexa::vm::tables");

    w.begin("2^(j/64) rounded to double and the rounding error, pairs for j = 0..63.", "kExp64[128]");
    for (int j = 0; j < 64; ++j) {
        Big v;
        two_pow(v, j, 64);
        double hi, lo;
        split(v, hi, lo);
        w.value(hi);
        w.value(lo);
    }
    w.end();

    w.begin("2^(j/1024) rounded to double, j = 0..1023.", "kExp1024[1024]");
    for (int j = 0; j < 1024; ++j) {
        Big v;
        two_pow(v, j, 1024);
        w.value(mpfr_get_d(v.v, MPFR_RNDN));
    }
    w.end();
    return w.finish();
}

}  // namespace vexa::tools
