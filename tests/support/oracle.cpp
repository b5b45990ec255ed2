#include "support/oracle.h"

#include <mpfr.h>

#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <cmath>
#include <limits>

namespace vexa::test {
namespace {

constexpr mpfr_prec_t kPrec = 128;

// An MPFR number of the oracle's precision, or of the given one.
struct Big {
    mpfr_t v;
    explicit Big(mpfr_prec_t p = kPrec) { mpfr_init2(v, p); }
    ~Big() { mpfr_clear(v); }
    Big(const Big&) = delete;
    Big& operator=(const Big&) = delete;
};

// 1/sqrt(x) with 1/sqrt(-0) = -inf, as 1/(-0); MPFR gives +inf for both zeros.
int oracle_rec_sqrt(mpfr_t y, const mpfr_t x, mpfr_rnd_t rnd) {
    if (mpfr_zero_p(x)) {
        mpfr_set_inf(y, mpfr_signbit(x) ? -1 : 1);
        return 0;
    }
    return mpfr_rec_sqrt(y, x, rnd);
}

using Unary = int (*)(mpfr_t, const mpfr_t, mpfr_rnd_t);
using Binary = int (*)(mpfr_t, const mpfr_t, const mpfr_t, mpfr_rnd_t);
struct Exact {
    Unary unary = nullptr;
    Binary binary = nullptr;
};
constexpr Exact exact(Unary f) { return {f, nullptr}; }
constexpr Exact exact(Binary f) { return {nullptr, f}; }

// 1/x.
int oracle_inv(mpfr_t y, const mpfr_t x, mpfr_rnd_t rnd) { return mpfr_ui_div(y, 1, x, rnd); }

// x^(-1/3), x^(2/3) (of |x|) and x^(3/2), in two steps at the oracle's precision.
int oracle_inv_cbrt(mpfr_t y, const mpfr_t x, mpfr_rnd_t rnd) {
    mpfr_cbrt(y, x, rnd);
    return mpfr_ui_div(y, 1, y, rnd);
}
int oracle_pow2o3(mpfr_t y, const mpfr_t x, mpfr_rnd_t rnd) {
    mpfr_cbrt(y, x, rnd);
    return mpfr_sqr(y, y, rnd);
}
int oracle_pow3o2(mpfr_t y, const mpfr_t x, mpfr_rnd_t rnd) {
    mpfr_t s;
    mpfr_init2(s, mpfr_get_prec(y));
    mpfr_sqrt(s, x, rnd);
    const int t = mpfr_mul(y, s, x, rnd);
    mpfr_clear(s);
    return t;
}

// The normal distribution function and the inverse error functions, at the
// working precision of y plus a margin (x and y may be the same variable).
// The inverses by Newton's method: a solution in double from the C library
// (on erf in the middle, on ln erfc in the tails, where erf's derivative
// vanishes), then a step in MPFR.
int oracle_cdf_norm(mpfr_t y, const mpfr_t x, mpfr_rnd_t rnd) {
    const mpfr_prec_t p = mpfr_get_prec(y) + 32;
    Big t(p), r(p);
    mpfr_sqrt_ui(r.v, 2, MPFR_RNDN);
    mpfr_div(t.v, x, r.v, MPFR_RNDN);
    mpfr_neg(t.v, t.v, MPFR_RNDN);
    mpfr_erfc(t.v, t.v, MPFR_RNDN);
    mpfr_div_2ui(t.v, t.v, 1, MPFR_RNDN);
    return mpfr_set(y, t.v, rnd);
}

// Newton's method at precision p from a start z within a few ulps of double
// (2^-50) of the root: quadratic convergence takes one step below 2^-100,
// which measures errors in ulps to 2^-45 ulp. step(z, d) sets d to the
// correction.
template <class Step> void polish(mpfr_t z, Step step, mpfr_prec_t p) {
    Big d(p);
    for (int it = 0; it < 1; ++it) {
        step(z, d.v);
        mpfr_add(z, z, d.v, MPFR_RNDN);
    }
}

// z >= 0 with erfc z = q, 0 < q <= 1/2, into z (precision p). The start: the
// same Newton iteration in double on ln erfc (from the C library, with the
// asymptotic series where erfc underflows).
double ln_erfc(double x) {
    if (x < 26.0) return std::log(std::erfc(x));
    const double u = 1 / (2 * x * x);
    return -x * x - std::log(x * 1.7724538509055160) + std::log1p(-u * (1 - 3 * u * (1 - 5 * u)));
}
void erfc_tail_root(mpfr_t z, const mpfr_t q, mpfr_prec_t p) {
    long e = 0;
    const double m = mpfr_get_d_2exp(&e, q, MPFR_RNDN);
    const double lq = std::log(m) + double(e) * 0.69314718055994531;  // ln q, also below the double range
    double x = std::sqrt(-lq);
    for (int it = 0; it < 40; ++it) {
        // g = ln erfc x - ln q, g' = -2/sqrt(pi) exp(-x^2 - ln erfc x).
        const double g = ln_erfc(x) - lq;
        const double gp = -1.1283791670955126 * std::exp(-x * x - ln_erfc(x));
        const double nx = x - g / gp;
        if (nx == x) break;
        x = nx;
    }
    mpfr_set_d(z, x, MPFR_RNDN);
    Big lqm(p), k(p);
    mpfr_log(lqm.v, q, MPFR_RNDN);
    mpfr_const_pi(k.v, MPFR_RNDN);
    mpfr_sqrt(k.v, k.v, MPFR_RNDN);
    mpfr_div_2ui(k.v, k.v, 1, MPFR_RNDN);  // sqrt(pi)/2
    polish(
        z,
        [&](mpfr_t zz, mpfr_t d) {
            // -g/g' = (ln erfc z - ln q) erfc z exp(z^2) sqrt(pi)/2.
            Big e(p), t(p);
            mpfr_erfc(e.v, zz, MPFR_RNDN);
            mpfr_log(d, e.v, MPFR_RNDN);
            mpfr_sub(d, d, lqm.v, MPFR_RNDN);
            mpfr_mul(d, d, e.v, MPFR_RNDN);
            mpfr_mul(d, d, k.v, MPFR_RNDN);
            mpfr_sqr(t.v, zz, MPFR_RNDN);
            mpfr_exp(t.v, t.v, MPFR_RNDN);
            mpfr_mul(d, d, t.v, MPFR_RNDN);
        },
        p);
}

// erfinv a for |a| <= 1/2, into z: from a double Newton solution on the C
// library's erf.
void erf_central_root(mpfr_t z, const mpfr_t a, mpfr_prec_t p) {
    if (mpfr_zero_p(a)) {
        mpfr_set(z, a, MPFR_RNDN);
        return;
    }
    long e = 0;
    const double m = mpfr_get_d_2exp(&e, a, MPFR_RNDN);  // a = m 2^e, kept in range for tiny a
    const double ad = std::ldexp(m, int(e) < -1000 ? 0 : int(e));
    const int shift = int(e) < -1000 ? int(e) : 0;      // tiny a: erfinv a = a sqrt(pi)/2 (1 + O(a^2))
    double x = ad * 0.88622692545275801;
    if (shift == 0)
        for (int it = 0; it < 40; ++it) {
            const double nx = x + (ad - std::erf(x)) * 0.88622692545275801 * std::exp(x * x);
            if (nx == x) break;
            x = nx;
        }
    mpfr_set_d(z, x, MPFR_RNDN);
    mpfr_mul_2si(z, z, shift, MPFR_RNDN);
    Big k(p);
    mpfr_const_pi(k.v, MPFR_RNDN);
    mpfr_sqrt(k.v, k.v, MPFR_RNDN);
    mpfr_div_2ui(k.v, k.v, 1, MPFR_RNDN);
    polish(
        z,
        [&](mpfr_t zz, mpfr_t d) {
            Big t(p);
            mpfr_erf(d, zz, MPFR_RNDN);
            mpfr_sub(d, a, d, MPFR_RNDN);
            mpfr_sqr(t.v, zz, MPFR_RNDN);
            mpfr_exp(t.v, t.v, MPFR_RNDN);
            mpfr_mul(d, d, t.v, MPFR_RNDN);
            mpfr_mul(d, d, k.v, MPFR_RNDN);
        },
        p);
}

// erfcinv q for any q (the ends and the outside as the library gives them).
void erfc_inverse(mpfr_t z, const mpfr_t q, mpfr_prec_t p) {
    if (mpfr_nan_p(q) || mpfr_sgn(q) < 0 || mpfr_cmp_ui(q, 2) > 0) {
        mpfr_set_nan(z);
        return;
    }
    if (mpfr_zero_p(q) || mpfr_cmp_ui(q, 2) == 0) {
        mpfr_set_inf(z, mpfr_zero_p(q) ? 1 : -1);
        return;
    }
    Big t(p);
    if (mpfr_cmp_d(q, 0.5) < 0) {
        erfc_tail_root(z, q, p);
    } else if (mpfr_cmp_d(q, 1.5) > 0) {
        mpfr_ui_sub(t.v, 2, q, MPFR_RNDN);
        erfc_tail_root(z, t.v, p);
        mpfr_neg(z, z, MPFR_RNDN);
    } else {
        mpfr_ui_sub(t.v, 1, q, MPFR_RNDN);
        erf_central_root(z, t.v, p);
    }
}

int oracle_erfc_inv(mpfr_t y, const mpfr_t x, mpfr_rnd_t rnd) {
    const mpfr_prec_t p = mpfr_get_prec(y) + 32;
    Big z(p);
    erfc_inverse(z.v, x, p);
    return mpfr_set(y, z.v, rnd);
}

int oracle_erf_inv(mpfr_t y, const mpfr_t x, mpfr_rnd_t rnd) {
    const mpfr_prec_t p = mpfr_get_prec(y) + 32;
    Big q(p), z(p);
    if (mpfr_nan_p(x) || mpfr_cmpabs_ui(x, 1) > 0) {
        mpfr_set_nan(z.v);
    } else if (mpfr_cmp_d(x, 0.5) <= 0 && mpfr_cmp_d(x, -0.5) >= 0) {
        erf_central_root(z.v, x, p);
        if (mpfr_zero_p(x)) mpfr_set(z.v, x, MPFR_RNDN);  // the sign of zero
    } else {
        // erfinv x = +-erfcinv(1 - |x|), 1 - |x| exact here.
        mpfr_abs(q.v, x, MPFR_RNDN);
        mpfr_ui_sub(q.v, 1, q.v, MPFR_RNDN);
        erfc_inverse(z.v, q.v, p);
        if (mpfr_sgn(x) < 0) mpfr_neg(z.v, z.v, MPFR_RNDN);
    }
    return mpfr_set(y, z.v, rnd);
}

int oracle_cdf_norm_inv(mpfr_t y, const mpfr_t x, mpfr_rnd_t rnd) {
    const mpfr_prec_t p = mpfr_get_prec(y) + 32;
    Big q(p), z(p), r(p);
    mpfr_mul_2ui(q.v, x, 1, MPFR_RNDN);
    if (mpfr_cmp_ui(x, 1) > 0) mpfr_set_nan(q.v);
    erfc_inverse(z.v, q.v, p);
    mpfr_sqrt_ui(r.v, 2, MPFR_RNDN);
    mpfr_mul(z.v, z.v, r.v, MPFR_RNDN);
    mpfr_neg(z.v, z.v, MPFR_RNDN);
    return mpfr_set(y, z.v, rnd);
}

// ln|Gamma(x)|: MPFR's lgamma without the sign (+inf at the poles).
int oracle_lgamma(mpfr_t y, const mpfr_t x, mpfr_rnd_t rnd) {
    int sign;
    return mpfr_lgamma(y, &sign, x, rnd);
}

// Double references of the functions without one in the C library: the
// oracle at 64 bits, rounded.
template <Unary F> double reference_of(double x) {
    Big t(64);
    mpfr_set_d(t.v, x, MPFR_RNDN);
    F(t.v, t.v, MPFR_RNDN);
    return mpfr_get_d(t.v, MPFR_RNDN);
}

// 1/sqrt(x) in double: two correctly rounded operations, within 2^-52.
double reference_rsqrt(double x) { return 1.0 / std::sqrt(x); }
double reference_inv(double x) { return 1.0 / x; }
double reference_sqrt(double x) { return std::sqrt(x); }
double reference_cbrt(double x) { return std::cbrt(x); }
double reference_inv_cbrt(double x) { return 1.0 / std::cbrt(x); }
double reference_pow2o3(double x) {
    const double c = std::cbrt(x);
    return c * c;
}
double reference_pow3o2(double x) { return x * std::sqrt(x); }

struct OracleRow {
    const char* name;
    int arity;
    Exact fn;
    double (*reference)(double);
    const char* domain;
    const char* hard;
};
enum { ONE = 1, TWO = 2, SCAL = 3, PAIR = 4 };

constexpr OracleRow kOracles[] = {
#define VM_ORACLE(F, arity, oracle, reference, domain, hard) {#F, arity, exact(oracle), reference, #domain, hard},
#include "vexa/vm_accuracy.def"
};

struct DomainRow {
    const char* name;
    Shape shape;
    int top[2];
    double lo[2], hi[2];
    std::vector<double> points[2];
};
#define SIGNED Shape::Signed
#define POSITIVE Shape::Positive
#define POWER Shape::Power
#define PERIODIC Shape::Periodic
#define VM_POINTS(...) std::vector<double>{__VA_ARGS__}
const DomainRow kDomains[] = {
#define VM_DOMAIN(name, shape, ft, flo, fhi, dt, dlo, dhi, fp, dp) {#name, shape, {ft, dt}, {flo, dlo}, {fhi, dhi}, {fp, dp}},
#include "vexa/vm_accuracy.def"
};
#undef SIGNED
#undef POSITIVE
#undef POWER
#undef PERIODIC
#undef VM_POINTS

void eval(Fn f, double x, Big& out) {
    mpfr_set_d(out.v, x, MPFR_RNDN);
    kOracles[int(f)].fn.unary(out.v, out.v, MPFR_RNDN);
}
void eval(Fn f, double x, double y, Big& out) {
    Big b;
    mpfr_set_d(out.v, x, MPFR_RNDN);
    mpfr_set_d(b.v, y, MPFR_RNDN);
    kOracles[int(f)].fn.binary(out.v, out.v, b.v, MPFR_RNDN);
}

template <class T> constexpr int kMantissa = std::numeric_limits<T>::digits;    // 24 or 53
template <class T> constexpr int kMinExp = std::numeric_limits<T>::min_exponent - 1;  // -126 or -1022
template <class T> constexpr int kMaxExp = std::numeric_limits<T>::max_exponent - 1;  // 127 or 1023

// Error of `got` against the exact value y.
template <class T> double ulp_err(const Big& y, T got) {
    if (mpfr_nan_p(y.v)) return std::isnan(got) ? 0.0 : INFINITY;
    if (std::isnan(got)) return INFINITY;
    // Exact infinity, or beyond the largest finite number.
    Big maxv;
    mpfr_set_d(maxv.v, double(std::numeric_limits<T>::max()), MPFR_RNDN);
    if (mpfr_inf_p(y.v) || mpfr_cmpabs(y.v, maxv.v) > 0) {
        if (std::isinf(got) && (got < 0) == (mpfr_sgn(y.v) < 0)) return 0.0;
        if (mpfr_inf_p(y.v)) return INFINITY;
        // Finite result for a value just past the largest: measure in ulps of max.
    }
    if (std::isinf(got)) return INFINITY;
    long e = 0;
    if (mpfr_zero_p(y.v)) e = kMinExp<T>;
    else {
        mpfr_get_d_2exp(&e, y.v, MPFR_RNDN);  // y = d * 2^e, 0.5 <= |d| < 1
        e -= 1;                               // 2^e <= |y| < 2^(e+1)
        if (e < kMinExp<T>) e = kMinExp<T>;
        if (e > kMaxExp<T>) e = kMaxExp<T>;
    }
    Big diff;
    mpfr_sub_d(diff.v, y.v, double(got), MPFR_RNDN);
    mpfr_abs(diff.v, diff.v, MPFR_RNDN);
    mpfr_mul_2si(diff.v, diff.v, -(e - kMantissa<T> + 1), MPFR_RNDN);
    return mpfr_get_d(diff.v, MPFR_RNDN);
}

template <class T> double bits_from_ulp(double u) {
    if (u == 0) return kMantissa<T>;
    if (!(u < INFINITY)) return 0.0;
    const double b = kMantissa<T> - 1 - std::log2(u);
    return b > kMantissa<T> ? kMantissa<T> : (b < 0 ? 0.0 : b);
}

template <class T> T rounded(Fn f, double x) {
    Big y;
    eval(f, x, y);
    if constexpr (sizeof(T) == 8) {
        return mpfr_get_d(y.v, MPFR_RNDN);
    } else {
        // Round to float's precision and range (subnormals included) in one step.
        mpfr_t r;
        mpfr_init2(r, 24);
        const mpfr_exp_t emin = mpfr_get_emin(), emax = mpfr_get_emax();
        mpfr_set_emin(-148);
        mpfr_set_emax(128);
        int t = mpfr_set(r, y.v, MPFR_RNDN);
        t = mpfr_check_range(r, t, MPFR_RNDN);
        mpfr_subnormalize(r, t, MPFR_RNDN);
        const float out = float(mpfr_get_d(r, MPFR_RNDN));
        mpfr_set_emin(emin);
        mpfr_set_emax(emax);
        mpfr_clear(r);
        return out;
    }
}

template <class T> double ulp_err(Fn f, double x, T got) {
    Big y;
    eval(f, x, y);
    return ulp_err<T>(y, got);
}
template <class T> double ulp_err(Fn f, double x1, double x2, T got) {
    Big y;
    eval(f, x1, x2, y);
    return ulp_err<T>(y, got);
}

}  // namespace

double ulp_error(Fn f, double x, double got) { return ulp_err<double>(f, x, got); }
double ulp_error(Fn f, float x, float got) { return ulp_err<float>(f, double(x), got); }
double ulp_error(Fn f, double x, double y, double got) { return ulp_err<double>(f, x, y, got); }
double ulp_error(Fn f, float x, float y, float got) { return ulp_err<float>(f, double(x), double(y), got); }
double correct_bits_double(double ulp) { return bits_from_ulp<double>(ulp); }
double correct_bits_float(double ulp) { return bits_from_ulp<float>(ulp); }
double correctly_rounded(Fn f, double x) { return rounded<double>(f, x); }
float correctly_rounded(Fn f, float x) { return rounded<float>(f, double(x)); }

const char* name_of(Fn f) { return kOracles[int(f)].name; }
int arity_of(Fn f) { return kOracles[int(f)].arity; }
Fn second_of(Fn f) {
    struct Row {
        Fn f, g;
    };
    static const Row rows[] = {
#define VM_SECOND(F, G) {Fn::F, Fn::G},
#include "vexa/vm_accuracy.def"
    };
    for (const Row& r : rows)
        if (r.f == f) return r.g;
    return f;
}
double reference(Fn f, double x) { return kOracles[int(f)].reference(x); }  // one-argument rows only

Domain domain_of(Fn f, bool is_float) {
    const int k = is_float ? 0 : 1;
    for (const DomainRow& d : kDomains)
        if (std::strcmp(d.name, kOracles[int(f)].domain) == 0) return {d.shape, d.top[k], d.lo[k], d.hi[k], d.points[k]};
    return {};
}

std::vector<double> hard_inputs_of(Fn f) {
    std::vector<double> v;
    const char* stem = kOracles[int(f)].hard;
    if (stem[0] == 0) return v;
    std::ifstream in(std::string(VEXA_SHARED_DIR) + "/hard-inputs/" + stem + ".wc");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        char* end = nullptr;
        const double x = std::strtod(line.c_str(), &end);
        if (end != line.c_str()) v.push_back(x);
    }
    return v;
}

std::vector<std::pair<double, double>> hard_pairs_of(Fn f) {
    std::vector<std::pair<double, double>> v;
    const char* stem = kOracles[int(f)].hard;
    if (stem[0] == 0) return v;
    std::ifstream in(std::string(VEXA_SHARED_DIR) + "/hard-inputs/" + stem + ".wc");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        char* end = nullptr;
        const double x = std::strtod(line.c_str(), &end);
        if (end == line.c_str() || *end != ',') continue;
        const char* second = end + 1;
        const double y = std::strtod(second, &end);
        if (end != second) v.push_back({x, y});
    }
    return v;
}

bool oracle_of(const std::string& name, Fn& f) {
    for (std::size_t i = 0; i < std::size(kOracles); ++i)
        if (name == kOracles[i].name) return f = Fn(i), true;
    return false;
}

}  // namespace vexa::test
