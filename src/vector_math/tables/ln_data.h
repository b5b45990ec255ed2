// Constants of the logarithm, shared by the vector kernels and the
// per-element routines: x = 2^k m, r = c m - 1 with c a short reciprocal
// from the table (ln_tables.h) or r = m - 1 (float), and
// ln x = k ln2 + (-ln c) + ln(1 + r), ln(1 + r) = r + r^2 P(r).
//
// Polynomial fits: the coefficients of P, each on the reduced interval of its
// kernel; beside each fit, its largest error on that interval relative to
// ln(1 + r) (measured in MPFR precision over 4001 points). Each fit's
// definition and the error it must keep are a row of tools/fit/polys.def,
// checked by tests/vector_math/poly_test.cpp.
#pragma once

namespace vexa::vm::ln_data {

// ---- double ----
// The rows from kStepRow on (m >= kStepFrom, above about sqrt 2) take the
// exponent one higher: k + 1 and -ln(2c).
constexpr int kStepRow = 425;
constexpr double kStepFrom = 1.0 + kStepRow / 1024.0;
constexpr double kLn2 = 0x1.62e42fefa39efp-1;  // ln2 in one constant (LA, EP)
constexpr double kLn2Hi = 0x1.62e42fefap-1;  // ln2, high part with trailing zeros: k times it is exact
constexpr double kLn2Lo = 0x1.cf79abc9ep-40;  // ln2 - kLn2Hi
constexpr double kExponentBias = 0x1.00000000003ffp+52;  // 2^52 + 1023: k from the biased exponent field as a double
// dLn LA: |r| <= 1.25 2^-10; fit error 2^-54.8 (the first two alone: 2^-31.0, the float Pow's)
constexpr double kC2 = -0x1.ffffffffff81fp-2;
constexpr double kC3 = 0x1.55555555543c5p-2;
constexpr double kLaC4 = -0x1.0000148058ee1p-2;
constexpr double kLaC5 = 0x1.9999cacdb4d0ap-3;
// dLn HA: the Taylor coefficients to r^6, |r| <= 1.25 2^-10; fit error 2^-60.9
constexpr double kHaC2 = -0x1p-1;
constexpr double kHaC3 = 0x1.5555555555555p-2;
constexpr double kHaC4 = -0x1p-2;
constexpr double kHaC5 = 0x1.999999999999ap-3;
constexpr double kHaC6 = -0x1.5555555555555p-3;
// Pow's logarithm: the Taylor series one term further, to r^7 (the r^2/2 term
// taken exactly); fit error 2^-70.7
constexpr double kPowC7 = 0x1.2492492492492p-3;  // 1/7
// dLog10: log10(1 + r) = r/ln10 + r^2 P(r), |r| <= 1.25 2^-10; HA degree 4 (fit error 2^-64.7),
// LA 3 (2^-55.0)
constexpr double kInvLn10Hi = 0x1.bcb7b1526e50ep-2;  // 1/ln10 in two parts
constexpr double kInvLn10Lo = 0x1.95355baaafad3p-57;
constexpr double kLg2Hi = 0x1.34413509f78p-2;  // log10(2), high part with trailing zeros: k times it is exact
constexpr double kLg2Lo = 0x1.fef311f12b358p-46;
constexpr double kLg2 = 0x1.34413509f79ffp-2;
constexpr double kL10HaC2 = -0x1.bcb7b1526e50ep-3;
constexpr double kL10HaC3 = 0x1.287a7636f3b05p-3;
constexpr double kL10HaC4 = -0x1.bcb7b1526cd1fp-4;
constexpr double kL10HaC5 = 0x1.63c64a02a8836p-4;
constexpr double kL10HaC6 = -0x1.287a996ef6b17p-4;
constexpr double kL10LaC2 = -0x1.bcb7b1526ddfdp-3;
constexpr double kL10LaC3 = 0x1.287a7636f3b4bp-3;
constexpr double kL10LaC4 = -0x1.bcb7d58362cc1p-4;
constexpr double kL10LaC5 = 0x1.63c6499435a03p-4;
// the per-element routine: |r| <= 2^-7 from the table, |x - 1| <= kNearOne directly; fit error 2^-62.6
constexpr double kNearOne = 0x1.4p-7;  // 10 * 2^-10
constexpr double kRareC2 = -0x1p-1;
constexpr double kRareC3 = 0x1.5555555555613p-2;
constexpr double kRareC4 = -0x1.0000000000262p-2;
constexpr double kRareC5 = 0x1.9999997b36c81p-3;
constexpr double kRareC6 = -0x1.555555228b38fp-3;
constexpr double kRareC7 = 0x1.249c02481059dp-3;
constexpr double kRareC8 = -0x1.000b405a2836dp-3;

// ---- float: m in [2/3, 4/3), r = m - 1 exactly, |r| <= 1/3 ----
constexpr float kSLn2Hi = 0x1.62e4p-1f;  // ln2, high part (HA)
constexpr float kSLn2Lo = 0x1.7f7d1cp-20f;  // ln2 - kSLn2Hi
constexpr float kSLn2 = 0x1.62e43p-1f;  // ln2 in one constant (LA, EP)
// sLn HA: degree 8, evaluated by Estrin's scheme; fit error 2^-27.4
constexpr float kSHaC2 = -0x1p-1f;
constexpr float kSHaC3 = 0x1.555506p-2f;
constexpr float kSHaC4 = -0x1.fffefp-3f;
constexpr float kSHaC5 = 0x1.99d028p-3f;
constexpr float kSHaC6 = -0x1.559dccp-3f;
constexpr float kSHaC7 = 0x1.1ed718p-3f;
constexpr float kSHaC8 = -0x1.f3113cp-4f;
constexpr float kSHaC9 = 0x1.1e66bap-3f;
constexpr float kSHaC10 = -0x1.08059p-3f;
// sLn LA: degree 6; fit error 2^-22.2
constexpr float kSLaC2 = -0x1p-1f;
constexpr float kSLaC3 = 0x1.555dcep-2f;
constexpr float kSLaC4 = -0x1.000c3ap-2f;
constexpr float kSLaC5 = 0x1.95f702p-3f;
constexpr float kSLaC6 = -0x1.5126bp-3f;
constexpr float kSLaC7 = 0x1.5b70d6p-3f;
constexpr float kSLaC8 = -0x1.36d444p-3f;
// sLn EP: degree 3; fit error 2^-13.3
constexpr float kSEpC2 = -0x1p-1f;
constexpr float kSEpC3 = 0x1.54e2cp-2f;
constexpr float kSEpC4 = -0x1.11d1fcp-2f;
constexpr float kSEpC5 = 0x1.c25266p-3f;

}  // namespace vexa::vm::ln_data
