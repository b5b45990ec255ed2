// The accuracy oracle: exact function values from MPFR and the error of a
// result in ulp of the target type.
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

namespace vexa::test {

enum class Fn { Exp, Ln, InvSqrt };

// Error of `got` for f(x) in ulp of double / float.
double ulp_error(Fn f, double x, double got);
double ulp_error(Fn f, float x, float got);
// Correct bits of a result with the given ulp error: 53 - 1 - log2(ulp)
// (24 - 1 - log2(ulp) for float), capped at 53 (24) and floored at 0; about
// -log2 of the relative error. Below the normal range the subnormal spacing
// counts, as for ulps.
double correct_bits_double(double ulp);
double correct_bits_float(double ulp);
// f(x) correctly rounded.
double correctly_rounded(Fn f, double x);
float correctly_rounded(Fn f, float x);

const char* name_of(Fn f);

}  // namespace vexa::test
