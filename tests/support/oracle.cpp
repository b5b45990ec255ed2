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

struct Big {
    mpfr_t v;
    Big() { mpfr_init2(v, kPrec); }
    ~Big() { mpfr_clear(v); }
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
