// Polynomial fits in MPFR for the kernels' reduced intervals.
//
// A fit approximates f on [lo, hi] in the form f(r) ~ head(r) + r^s P(r), P of
// degree d, minimising the largest error relative to scale(r) (the size of
// the value the kernel returns there). The forms in use:
//   EXPM1  f = exp(r) - 1, head r, s = 2, scale exp(r)
//   EXP    f = exp(r),     head 1, s = 1, scale exp(r)
//   LOG1P  f = ln(1 + r),  head r, s = 2, scale ln(1 + r)
//   EXPM1R f = exp(r) - 1, head r, s = 2, scale exp(r) - 1 (kernels returning
//          exp(r) - 1 itself, where the error counts against that value)
//   LOG10P f = log10(1 + r), head r / ln 10, s = 2, scale log10(1 + r)
// and the odd and even functions, whose P is a polynomial in r^2:
//   SIN    f = sin r,  head r,          s = 3, scale sin r
//   COS    f = cos r,  head 1 - r^2/2,  s = 4, scale cos r
//   ATAN   f = atan r, head r,          s = 3, scale atan r
//   ASIN   f = asin r, head r,          s = 3, scale asin r
//   SINH   f = sinh r, head r,          s = 3, scale sinh r
//   COSH   f = cosh r, head 1 + r^2/2,  s = 4, scale cosh r
//   ERF    f = erf r,  head 0,          s = 1, scale erf r
// and one in the shifted variable r = x - c (c = erf_data::kErfcCenter):
//   LNERFC f = ln erfc(x), head 0, s = 0, scale erf(x)/erfc(x): the error of
//          1 - e^f relative to erf x
// The fit is near-minimax: Lawson's iteratively reweighted least squares over
// Chebyshev points, in 256-bit arithmetic; its coefficients are then rounded
// to the kernel's precision, and the error reported is that of the rounded
// polynomial (evaluated exactly), the largest over 4001 points of [lo, hi].
#pragma once

#include <string>
#include <vector>

namespace vexa::tools {

enum class FitForm { Expm1, Exp, Log1p, Expm1Rel, Log10p, Sin, Cos, Atan, Asin, Sinh, Cosh, Erf, LnErfc };

struct FitDefinition {
    const char* name;
    FitForm form;
    double lo, hi;
    int degree;        // of P
    bool single;       // coefficients rounded to float, else to double
    double target;     // log2 of the error the kernel needs
};

// The coefficients of P (lowest order first), rounded.
std::vector<double> fit(const FitDefinition& d);
// log2 of the largest relative error of head + r^s P with these coefficients.
double fit_error(const FitDefinition& d, const std::vector<double>& coefficients);

// Each polynomial of the kernels with its definition and its committed
// coefficients (polys.def).
struct KernelPolynomial {
    FitDefinition definition;
    std::vector<double> committed;
};
const std::vector<KernelPolynomial>& kernel_polynomials();

}  // namespace vexa::tools
