// Constants of the exponential, shared by the vector kernels and the
// per-element routines: x = N ln2 / 2^q + r with N = round(x 2^q / ln2) by the
// shifter trick, ln2 / 2^q split in a high part with trailing zeros (N times
// it is exact) and a low part; exp(r) by a polynomial; 2^(j/2^q) from a table
// (exp_tables.h); the exponent from the high bits of N.
//
// Polynomial fits: the coefficients of exp(r) - 1 = r + r^2 P(r) (or of
// exp(r) itself), each on the reduced interval of its kernel; beside each fit,
// its largest error on that interval relative to exp(r) (measured in MPFR
// precision over 4001 points). Each fit's definition and the error it must
// keep are a row of tools/fit/polys.def, checked by tests/vector_math/poly_test.cpp.
#pragma once

namespace vexa::vm::exp_data {

// ---- double, q = 6 (dExp HA and the per-element routine) ----
constexpr double kInvLn2N64 = 0x1.71547652b82fep+6;  // 64 / ln2
constexpr double kLn2N64Hi = 0x1.62e42fefap-7;  // ln2 / 64, high part: 36 bits, N times it exact for |N| < 2^17
constexpr double kLn2N64Lo = 0x1.cf79abc9e3b3ap-46;  // ln2 / 64 - kLn2N64Hi
constexpr double kShifter = 0x1.8p+52;  // 1.5 * 2^52: x * 2^q/ln2 + it holds N in its low bits
// dExp HA: exp(r) - 1 = r + r^2 (C2 + C3 r + r^2 (C4 + C5 r)), |r| <= ln2/128; fit error 2^-59.3
constexpr double kHaC2 = 0x1.fffffffffdb3bp-2;
constexpr double kHaC3 = 0x1.555555555653ep-3;
constexpr double kHaC4 = 0x1.555573f218b93p-5;
constexpr double kHaC5 = 0x1.111112d9f549bp-7;
// the per-element routine: one degree more, |r| <= ln2/128; fit error 2^-70.2
constexpr double kRareC2 = 0x1p-1;
constexpr double kRareC3 = 0x1.55555555548f8p-3;
constexpr double kRareC4 = 0x1.5555555558fccp-5;
constexpr double kRareC5 = 0x1.111123aaf20d3p-7;
constexpr double kRareC6 = 0x1.6c16a1c2a3ffdp-10;
// the fast-path limit: |x| above it (or NaN) goes to the per-element routine
constexpr double kFastLimit = 0x1.6232affffffffp+9;

// the result thresholds: above kOverflow +inf, below kSubnormal subnormal, below kZero +0
constexpr double kOverflow = 0x1.62e42fefa39efp+9;
constexpr double kSubnormal = -0x1.6232bdd7abcd2p+9;
constexpr double kZero = -0x1.74910d52d3051p+9;

// ---- double, q = 10 (dExp LA) ----
constexpr double kInvLn2N1024 = 0x1.71547652b82fep+10;  // 1024 / ln2
constexpr double kLn2N1024Hi = 0x1.62e42fecp-11;  // ln2 / 1024, high part
constexpr double kLn2N1024Lo = 0x1.d1cf79abc9e3bp-42;  // ln2 / 1024 - kLn2N1024Hi
// exp(r) - 1 = r + r^2 (C2 + C3 r), |r| <= ln2/2048; fit error 2^-52.7
constexpr double kLaC2 = 0x1.0000001ebfbep-1;
constexpr double kLaC3 = 0x1.5555555555556p-3;

// ---- expm1, double ----
// dExpm1 HA for |x| < 1/16, without reduction: exp(x) - 1 = x + x^2 P(x), P
// of degree 7; fit error 2^-62.2
constexpr double kM1SmallHa[] = {0x1p-1,                0x1.5555555555555p-3, 0x1.55555555559a7p-5,
                                 0x1.1111111110b21p-7,  0x1.6c16c14cef92dp-10, 0x1.a01a01bc5bc1ep-13,
                                 0x1.a02466ebeaebp-16,  0x1.71df3bf457004p-19};

// ---- float ----
constexpr float kSFastLimit = 0x1.5d589ep+6f;  // bits 0x42AEAC4F
constexpr float kSOverflow = 0x1.62e42ep+6f;  // the result thresholds, as for double
constexpr float kSSubnormal = -0x1.5d589ep+6f;
constexpr float kSZero = -0x1.9fe368p+6f;
// sExp HA, q = 2: the shifter 1.5 * 2^23 + 508 leaves N + 508 (508 = 4 * 127) in the low bits
constexpr float kSInvLn2N4 = 0x1.715476p+2f;  // 4 / ln2
constexpr float kSShifterBiased = 0x1.8003f8p+23f;
constexpr float kSLn2N4Hi = 0x1.62ep-3f;  // ln2 / 4, high part
constexpr float kSLn2N4Lo = 0x1.0bfbe8p-17f;
constexpr float kSHaC2 = 0x1.fffffep-2f;  // exp(r) - 1 = r + r^2 (C2 + C3 r + C4 r^2), |r| <= ln2/8; fit error 2^-26.9
constexpr float kSHaC3 = 0x1.557624p-3f;
constexpr float kSHaC4 = 0x1.557624p-5f;
constexpr float kSRoot2_1 = 0x1.306fep+0f;  // 2^(1/4), 2^(2/4), 2^(3/4) and their rounding errors
constexpr float kSRoot2_2 = 0x1.6a09e6p+0f;
constexpr float kSRoot2_3 = 0x1.ae89fap+0f;
constexpr float kSRoot2_1Lo = 0x1.125002p-25f;
constexpr float kSRoot2_2Lo = 0x1.26055cp-26f;
constexpr float kSRoot2_3Lo = -0x1.f9c304p-27f;
// sExp LA and EP, q = 0
constexpr float kSInvLn2 = 0x1.715476p+0f;
constexpr float kSShifter = 0x1.8p+23f;  // 1.5 * 2^23
constexpr float kSLn2Hi = 0x1.62e4p-1f;  // ln2, high part (LA)
constexpr float kSLn2Lo = 0x1.7f7d1cp-20f;
constexpr float kSLaC1 = 0x1.fffffcp-1f;  // exp(r) = 1 + r (C1 + r (C2 + ... + C5 r)), |r| <= ln2/2; fit error 2^-22.6
constexpr float kSLaC2 = 0x1.fffe68p-2f;
constexpr float kSLaC3 = 0x1.555958p-3f;
constexpr float kSLaC4 = 0x1.570724p-5f;
constexpr float kSLaC5 = 0x1.0fb3fcp-7f;
constexpr float kSLn2 = 0x1.62e43p-1f;  // ln2 in one constant (EP)
constexpr float kSEpC1 = 0x1.0007bcp+0f;  // exp(r) = 1 + r (C1 + r (C2 + C3 r)), |r| <= ln2/2; fit error 2^-12.7
constexpr float kSEpC2 = 0x1.01e5acp-1f;
constexpr float kSEpC3 = 0x1.52c758p-3f;
// sExpm1, errors relative to exp(r) - 1: HA, q = 2, |r| <= ln2/8, degree 4;
// LA and EP, q = 0, |r| <= ln2/2; fit errors 2^-30.0 (HA), 2^-25.8 (LA), 2^-15.6 (EP)
constexpr float kSM1HaC2 = 0x1.fffffep-2f;
constexpr float kSM1HaC3 = 0x1.555556p-3f;
constexpr float kSM1HaC4 = 0x1.55709ap-5f;
constexpr float kSM1HaC5 = 0x1.111508p-7f;
constexpr float kSM1LaC2 = 0x1.fffffep-2f;
constexpr float kSM1LaC3 = 0x1.5554bp-3f;
constexpr float kSM1LaC4 = 0x1.555674p-5f;
constexpr float kSM1LaC5 = 0x1.122768p-7f;
constexpr float kSM1LaC6 = 0x1.6bec04p-10f;
constexpr float kSM1EpC2 = 0x1.00022ap-1f;
constexpr float kSM1EpC3 = 0x1.57084ap-3f;
constexpr float kSM1EpC4 = 0x1.54de7ep-5f;

}  // namespace vexa::vm::exp_data
