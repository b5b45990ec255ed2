// x^y of one element: the special cases of C99 Annex F in order, then
// exp(y ln|x|) with ln|x| in double-double (the rows of the vector logarithm,
// the Taylor series of ln(1 + r) to r^7 with the r^2/2 term exact) and the
// product y ln|x| carried into the exponential's reduced argument.
#include <cfloat>
#include <cmath>

#include "vector_math/scalar/exp_scalar.h"
#include "vector_math/scalar/fp_bits.h"
#include "vector_math/scalar/pow_scalar.h"
#include "vector_math/tables/ln_data.h"
#include "vector_math/tables/ln_tables.h"

namespace vexa::vm {

using namespace ln_data;

LogReduced log_reduce(double x, int k_extra) {
    const uint64_t b = bits_of(x);
    const double m = double_of((b & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    const int j = int((b >> 42) & 1023);
    const int k = int(b >> 52) - 1023 + k_extra + (m >= kStepFrom ? 1 : 0);
    return {k, j, std::fma(tables::kLnPairs[2 * j], m, -1.0)};  // r exact
}

void pow_log(double x, int k_extra, double& hi_out, double& lo_out) {
    const LogReduced red = log_reduce(x, k_extra);
    const int k = red.k, j = red.j;
    const double r = red.r;
    const double t = tables::kLnPairs[2 * j + 1];
    const double a = k * kLn2Hi;  // exact
    const double hi = a + t;
    const double err = (a - hi) + t;  // |a| >= |t| whenever k != 0
    // hi + r - r^2/2, both sums error-free.
    const double s1 = hi + r, b1 = s1 - hi, e1 = (hi - (s1 - b1)) + (r - b1);
    const double r2 = r * r, r2_err = std::fma(r, r, -r2);
    const double h = -0.5 * r2;  // exact
    const double s2 = s1 + h, b2 = s2 - s1, e2 = (s1 - (s2 - b2)) + (h - b2);
    double p = std::fma(r, kPowC7, kHaC6);
    p = std::fma(p, r, kHaC5);
    p = std::fma(p, r, kHaC4);
    p = std::fma(p, r, kHaC3);
    const double low = std::fma(r2 * r, p, std::fma(double(k), kLn2Lo, tables::kLogLo[2 * j])) +
                       ((err + (e1 + e2)) - 0.5 * r2_err);
    hi_out = s2 + low;
    lo_out = (s2 - hi_out) + low;
}

namespace {

bool is_integer(double y) { return std::trunc(y) == y; }
bool is_odd_integer(double y) { return std::fabs(y) < 0x1p53 && is_integer(y) && std::fmod(y, 2.0) != 0.0; }

// |x|^y in double for finite non-zero x and finite non-zero y; +inf or 0
// (the flags raised) beyond the range.
double pow_magnitude(double x, double y) {
    x = std::fabs(x);
    double hi, lo;
    if (x < DBL_MIN)
        pow_log(x * 0x1p60, -60, hi, lo);
    else
        pow_log(x, 0, hi, lo);
    const double ph = y * hi;
    const double pl = std::fma(y, hi, -ph) + y * lo;
    if (ph > 710.0) return overflow_result();
    if (ph < -746.0) return underflow_result();
    double eh, el;
    int e;
    exp_parts(ph, pl, eh, el, e);
    return exp_assemble(eh, el, e);
}

// The special cases; false for finite non-zero x and finite non-zero y not
// covered by them (a negative x then has an integer y).
template <class T> bool pow_special(T x, T y, T* r, int& status) {
    status = 0;
    const T inf = std::numeric_limits<T>::infinity();
    if (y == T(0) || x == T(1)) {
        *r = T(1);
        return true;
    }
    if (std::isnan(x) || std::isnan(y)) {
        *r = x + y;
        return true;
    }
    if (std::isinf(y)) {
        const T ax = std::fabs(x);
        if (ax == T(1)) *r = T(1);
        else if ((ax < T(1)) == (y > 0)) *r = T(0);
        else *r = inf;
        if (x == T(0) && y < 0) status = VEXA_VM_STATUS_SING;  // a pole reached by a zero base
        return true;
    }
    const bool odd = is_odd_integer(double(y));
    if (x == T(0)) {
        if (y < 0) {
            *r = odd ? std::copysign(inf, x) : inf;
            volatile T zero = T(0);
            (void)(T(1) / zero);  // division by zero raised
            status = VEXA_VM_STATUS_SING;
        } else {
            *r = odd ? x : T(0);
        }
        return true;
    }
    if (std::isinf(x)) {
        const T mag = y > 0 ? inf : T(0);
        *r = (x < 0 && odd) ? -mag : mag;
        return true;
    }
    if (x < 0 && !is_integer(double(y))) {
        *r = static_cast<T>(invalid_result());
        status = VEXA_VM_STATUS_DOMAIN;
        return true;
    }
    return false;
}

}  // namespace

int vdpow_cout_rare(const double* a, const double* b, double* r) {
    const double x = *a, y = *b;
    int status;
    if (pow_special(x, y, r, status)) return status;
    double v = pow_magnitude(x, y);
    if (x < 0 && is_odd_integer(y)) v = -v;
    *r = v;
    if (std::isinf(v)) return VEXA_VM_STATUS_OVERFLOW;
    if (std::fabs(v) < DBL_MIN) return VEXA_VM_STATUS_UNDERFLOW;
    return 0;
}

int vspow_cout_rare(const float* a, const float* b, float* r) {
    const float x = *a, y = *b;
    int status;
    if (pow_special(x, y, r, status)) return status;
    double v = pow_magnitude(double(x), double(y));
    if (x < 0 && is_odd_integer(double(y))) v = -v;
    const float f = static_cast<float>(v);  // one rounding; overflow raised beyond the range
    *r = f;
    if (std::isinf(f)) return VEXA_VM_STATUS_OVERFLOW;
    if (std::fabs(f) < FLT_MIN) return VEXA_VM_STATUS_UNDERFLOW;
    return 0;
}

int vdpowx_cout_rare(const double* a, const double* b, double* r) { return vdpow_cout_rare(a, b, r); }
int vspowx_cout_rare(const float* a, const float* b, float* r) { return vspow_cout_rare(a, b, r); }

}  // namespace vexa::vm
