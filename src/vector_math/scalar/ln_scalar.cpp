// The logarithm of one element in double. Near 1 (|x - 1| <= 2^-10 * 10) it is
// r + r^2 Q(r) with r = x - 1; elsewhere x = 2^k m, m in [1, 2), c a 10-bit
// reciprocal of m's 1/128 interval, r = c m - 1 exactly, and
// ln x = (k ln2_hi - ln c_hi) + (r + (k ln2_lo - ln c_lo + r^2 Q(r))), the high
// sum made error-free. The error stays below 0.51 ulp.
#include <cmath>

#include "vector_math/scalar/fp_bits.h"
#include "vector_math/scalar/ln_scalar.h"
#include "vector_math/tables/ln_tables.h"
#include "vector_math/tables/ln_data.h"

namespace vexa::vm {
namespace {

using namespace ln_data;

VEXA_INLINE double q_poly(double r) {
    double q = kRareC8;
    q = std::fma(q, r, kRareC7);
    q = std::fma(q, r, kRareC6);
    q = std::fma(q, r, kRareC5);
    q = std::fma(q, r, kRareC4);
    q = std::fma(q, r, kRareC3);
    return std::fma(q, r, kRareC2);
}

// ln of a positive normal double.
double ln_normal(double x, int k_extra) {
    if (k_extra == 0 && std::fabs(x - 1.0) <= kNearOne) {
        const double r = x - 1.0;
        return std::fma(r * r, q_poly(r), r);
    }
    const uint64_t b = bits_of(x);
    const int k = int(b >> 52) - 1023 + k_extra;
    const double m = double_of((b & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    const int i = int((b >> 45) & 127);
    const double c = tables::kLnRare[3 * i];
    const double r = std::fma(c, m, -1.0);
    const double a = k * kLn2Hi;  // exact
    const double t_hi = tables::kLnRare[3 * i + 1];
    const double hi = a + t_hi;
    const double err = (a - hi) + t_hi;  // |a| >= |t_hi| or a = 0
    const double lo = std::fma(r * r, q_poly(r), std::fma(double(k), kLn2Lo, tables::kLnRare[3 * i + 2]));
    return hi + (r + (lo + err));
}

}  // namespace

int vdln_cout_rare(const double* a, double* r) {
    const double x = *a;
    if (std::isnan(x) || x == INFINITY) {
        *r = x * x;
        return 0;
    }
    if (x == 0.0) {
        *r = pole_result();
        return VEXA_VM_STATUS_SING;
    }
    if (x < 0.0) {  // includes -inf
        *r = invalid_result();
        return VEXA_VM_STATUS_DOMAIN;
    }
    if (x < 2.2250738585072014e-308) {  // subnormal
        *r = ln_normal(x * 1152921504606846976.0, -60);
        return 0;
    }
    *r = ln_normal(x, 0);
    return 0;
}

int vsln_cout_rare(const float* a, float* r) {
    const float x = *a;
    if (std::isnan(x) || x == INFINITY) {
        *r = x + x;
        return 0;
    }
    if (x == 0.0f) {
        *r = static_cast<float>(pole_result());
        return VEXA_VM_STATUS_SING;
    }
    if (x < 0.0f) {
        *r = static_cast<float>(invalid_result());
        return VEXA_VM_STATUS_DOMAIN;
    }
    *r = static_cast<float>(ln_normal(double(x), 0));  // float subnormals are normal doubles
    return 0;
}

}  // namespace vexa::vm
