// Piecewise polynomials for the floating-point table generators: Chebyshev
// interpolation in MPFR, the error of a fitted polynomial, and the comment
// line that records it in the generated file.
#pragma once

#include <functional>
#include <vector>

#include "mpfr_util.h"
#include "tables.h"

namespace vexa::tools {

using Fn = std::function<void(Big& out, const Big& v)>;

// The interpolant of f at the n Chebyshev points of [lo, hi] as monomial
// coefficients in v - c, c the middle; `exact`, when given, receives them
// unrounded.
std::vector<double> chebyshev_fit(const Fn& f, double lo, double hi, int n, std::vector<Big*>* exact = nullptr);

// log2 of the largest relative error of sum coef_j (v - c)^j against f over
// `points` points of [lo, hi] (the polynomial evaluated exactly; coef[0] may
// be given as a double-double by `head_lo`), c = center.
double fit_error(const Fn& f, double lo, double hi, double center, const std::vector<double>& coef,
                 double head_lo = 0, int points = 41);

// "// what row: 2^err" on a line of its own.
void comment_error(TableWriter& w, const char* what, int row, double err);

}  // namespace vexa::tools
