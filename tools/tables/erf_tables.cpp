// The error-function table: erf at the nodes j/128 as a packed double-double
// and 2^32 exp(-x^2) there (the double HA Erf kernel).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

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
    return w.finish();
}

}  // namespace vexa::tools
