// The accuracy oracle: exact function values from MPFR and the error of a
// result in ulp of the target type. The functions, their exact counterparts,
// their input domains and the documented bounds of their kernels come from
// the accuracy catalogue (vexa/vm_accuracy.def).
//
// Error convention: |result - exact| / ulp(exact), where ulp(y) is the spacing
// of the target type's numbers in the binade of y (2^(e - p + 1) for
// 2^e <= |y| < 2^(e+1)), and below the least normal number the fixed spacing of
// the subnormals (2^-149 for float, 2^-1074 for double). A correctly rounded
// result has an error of at most 0.5. Exact values beyond the largest finite
// number count as infinity: an infinite result of the right sign has error 0.
// NaN results are correct exactly when the exact value is undefined (NaN).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vexa::test {

// One entry per VM_ORACLE row, in catalogue order.
enum class Fn {
#define VM_ORACLE(F, arity, oracle, reference, domain, hard) F,
#include "vexa/vm_accuracy.def"
};

enum class Shape { Signed, Positive, Power, Periodic };

// A VM_DOMAIN row: the sweep of one type.
struct Domain {
    Shape shape;
    int top;                     // largest binade of |x| (SIGNED)
    double lo, hi;               // the kept interval is (lo - 1, hi + 1) (SIGNED)
    std::vector<double> points;  // where inputs are dense
};

// What the catalogue says of f.
const char* name_of(Fn f);
// 1 (one argument), 2 (two arrays), 3 (an array and a scalar second
// argument) or 4 (one argument, two results).
int arity_of(Fn f);
// The row measuring the second result of a two-result function.
Fn second_of(Fn f);
Domain domain_of(Fn f, bool is_float);
// The hard-to-round double arguments of f (empty when it has no file or the
// file cannot be read).
std::vector<double> hard_inputs_of(Fn f);
// f in double with a relative error below 2^-52 (one argument).
double reference(Fn f, double x);
// The hard-to-round argument pairs of a two-argument f ("x,y" lines).
std::vector<std::pair<double, double>> hard_pairs_of(Fn f);
// f for a function name ("Exp"), false when the catalogue has no oracle row.
bool oracle_of(const std::string& name, Fn& f);

// Error of `got` for f(x) (or f(x, y)) in ulp of double / float.
double ulp_error(Fn f, double x, double got);
double ulp_error(Fn f, float x, float got);
double ulp_error(Fn f, double x, double y, double got);
double ulp_error(Fn f, float x, float y, float got);
// Correct bits of a result with the given ulp error: 53 - 1 - log2(ulp)
// (24 - 1 - log2(ulp) for float), capped at 53 (24) and floored at 0; about
// -log2 of the relative error. Below the normal range the subnormal spacing
// counts, as for ulps.
double correct_bits_double(double ulp);
double correct_bits_float(double ulp);
// f(x) correctly rounded.
double correctly_rounded(Fn f, double x);
float correctly_rounded(Fn f, float x);

}  // namespace vexa::test
