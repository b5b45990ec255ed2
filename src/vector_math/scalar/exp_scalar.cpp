// The exponential of one element in double: N = round(x * 64/ln2), x = N*ln2/64
// + r with ln2/64 in two parts, exp(r) - 1 by a degree-6 polynomial, and
// 2^(j/64) (j = N mod 64) from the table with its rounding error, so that the
// result is (T + (T*p + t)) * 2^floor(N/64) with an error below 0.52 ulp.
#include <cfloat>
#include <cmath>

#include "vector_math/scalar/exp_scalar.h"
#include "vector_math/scalar/fp_bits.h"
#include "vector_math/tables/exp_data.h"
#include "vector_math/tables/exp_tables.h"

namespace vexa::vm {
using namespace exp_data;

// exp(x + xl) = (hi + lo) * 2^e for |x| below the overflow threshold and
// |xl| <= 2^-40 |x|.
void exp_parts(double x, double xl, double& hi, double& lo, int& e) {
    const double t = std::fma(x, kInvLn2N64, kShifter);
    const double n = t - kShifter;
    const int32_t nn = int32_t(uint32_t(bits_of(t)));  // the low word of t holds N
    const int j = nn & 63;
    e = nn >> 6;  // arithmetic: floor(N / 64)
    double r = std::fma(-n, kLn2N64Hi, x);
    r = std::fma(-n, kLn2N64Lo, r) + xl;
    const double r2 = r * r;
    const double q = std::fma(
        r2, std::fma(r, std::fma(r, kRareC6, kRareC5), kRareC4), std::fma(r, kRareC3, kRareC2));
    const double p = std::fma(r2, q, r);
    hi = tables::kExp64[2 * j];
    lo = std::fma(hi, p, tables::kExp64[2 * j + 1]);
}

// (hi + lo) 2^e rounded once, for hi + lo in [1/2, 2] and any e from -2000 to
// 1100: +inf (overflow raised) above the range, subnormal results rounded
// once from the extended sum, 0 below.
double exp_assemble(double hi, double lo, int e) {
    if (e > 1023) return (hi + lo) * pow2(e - 1023) * pow2(1023);  // 2^e not representable: in two steps
    if (e < -1021) {
        // Possibly subnormal: scale the extended sum exactly and round once.
        const long double s = (static_cast<long double>(hi) + lo) * 0x1p-1000L;
        return static_cast<double>(s * static_cast<long double>(pow2(e + 1000)));
    }
    return (hi + lo) * pow2(e);
}

int vdexp_cout_rare(const double* a, double* r) {
    const double x = *a;
    const int biased = int((bits_of(x) >> 52) & 0x7FF);
    if (biased == 0x7FF) {  // infinity or NaN
        *r = (x == -INFINITY) ? 0.0 : x * x;
        return 0;
    }
    if (biased < 971) {  // |x| < 2^-52
        *r = 1.0 + x;
        return 0;
    }
    if (x > kOverflow) {
        *r = overflow_result();
        return VEXA_VM_STATUS_OVERFLOW;
    }
    if (x < kZero) {
        *r = underflow_result();
        return VEXA_VM_STATUS_UNDERFLOW;
    }
    double hi, lo;
    int e;
    exp_parts(x, 0.0, hi, lo, e);
    if (x < kSubnormal) {
        // Subnormal result: scale the extended sum exactly and round once.
        const long double s = (static_cast<long double>(hi) + lo) * 0x1p-1000L;
        *r = static_cast<double>(s * static_cast<long double>(pow2(e + 1000)));
        return VEXA_VM_STATUS_UNDERFLOW;
    }
    if (e > 1023) {  // 2^e not representable: one less, then double
        *r = (hi + lo) * pow2(e - 1) * 2.0;
        return 0;
    }
    *r = (hi + lo) * pow2(e);
    return 0;
}

int vsexp_cout_rare(const float* a, float* r) {
    const float x = *a;
    if (std::isnan(x)) {
        *r = x + x;
        return 0;
    }
    if (x == INFINITY || x == -INFINITY) {
        *r = x > 0 ? x : 0.0f;
        return 0;
    }
    if (x > kSOverflow) {
        *r = overflow_result<float>();
        return VEXA_VM_STATUS_OVERFLOW;
    }
    if (x < kSZero) {
        *r = underflow_result<float>();
        return VEXA_VM_STATUS_UNDERFLOW;
    }
    double hi, lo;
    int e;
    exp_parts(double(x), 0.0, hi, lo, e);
    *r = static_cast<float>((hi + lo) * pow2(e));  // a normal double: one rounding to float
    return x < kSSubnormal ? VEXA_VM_STATUS_UNDERFLOW : VEXA_VM_STATUS_OK;
}

namespace {

// exp(x) - 1 in double for -745 < x <= 709.78 with x not tiny: the
// exponential's parts, 2^e hi - 1 formed first where it is exact (|x| < 2,
// where 2^e hi lies in [1/4, 8)), so that small results keep their bits.
double expm1_of(double x) {
    if (x < -40.0) return -1.0 + 0x1p-60;  // rounds to -1 with the inexact flag
    if (std::fabs(x) < 0x1p-54) return x + 0x1p-60 * x * x;
    double hi, lo;
    int e;
    exp_parts(x, 0.0, hi, lo, e);
    if (std::fabs(x) < 2.0) {
        const double s = pow2(e);
        return (s * hi - 1.0) + s * lo;
    }
    if (e > 1023) return (hi + lo) * pow2(e - 1) * 2.0 - 1.0;
    return (hi + lo) * pow2(e) - 1.0;
}

}  // namespace

int vdexpm1_cout_rare(const double* a, double* r) {
    const double x = *a;
    if (std::isnan(x) || x == INFINITY) {
        *r = x + x;
        return 0;
    }
    if (x == -INFINITY) {
        *r = -1.0;
        return 0;
    }
    if (x == 0.0) {
        *r = x;
        return 0;
    }
    if (std::fabs(x) < 2.2250738585072014e-308) {  // the result is the argument, subnormal
        volatile double tiny = x;
        *r = tiny * (1.0 + 0x1p-60);
        return VEXA_VM_STATUS_UNDERFLOW;
    }
    if (x > kOverflow) {
        *r = overflow_result();
        return VEXA_VM_STATUS_OVERFLOW;
    }
    *r = expm1_of(x);
    return 0;
}

int vsexpm1_cout_rare(const float* a, float* r) {
    const float x = *a;
    if (std::isnan(x) || x == INFINITY) {
        *r = x + x;
        return 0;
    }
    if (x == -INFINITY) {
        *r = -1.0f;
        return 0;
    }
    if (x == 0.0f) {
        *r = x;
        return 0;
    }
    if (std::fabs(x) < FLT_MIN) {
        volatile float tiny = x;
        *r = tiny * (1.0f + 0x1p-30f);
        return VEXA_VM_STATUS_UNDERFLOW;
    }
    if (x > kSOverflow) {
        *r = overflow_result<float>();
        return VEXA_VM_STATUS_OVERFLOW;
    }
    *r = static_cast<float>(expm1_of(double(x)));  // about 2^-52 relative: one rounding to float
    return 0;
}

}  // namespace vexa::vm
