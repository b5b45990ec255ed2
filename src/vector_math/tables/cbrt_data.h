// Constants of the cube-root family (real/cbrt.cpp), shared by the vector
// kernels and the per-element routines.
#pragma once

namespace vexa::vm::cbrt_data {

constexpr double kExponentBias = 0x1.00000000003ffp+52;  // 2^52 + 1023: e from the exponent field as a double
constexpr double kScaleShifter = 0x1.00000000003ffp+52;  // 2^52 + 1023: k + it holds k + 1023 in the low bits
constexpr double kThird = 0x1.5555555555555p-2;         // 1/3 rounded down: floor(e/3) with a small bias
constexpr double kInvCbrt2 = 0x1.965fea53d6e3dp-1;      // 2^(-1/3)
constexpr double kInvCbrt4 = 0x1.428a2f98d728bp-1;      // 2^(-2/3)
// m^(-1/3) ~ C0 + C1 u + ... + C5 u^5, u = m - 1.5, m in [1, 2): a weighted
// least-squares fit, relative error 1.5e-5 (2^-16); only a starting value.
constexpr double kC0 = 0x1.bf465f4386becp-1;
constexpr double kC1 = -0x1.8d9554a2baa2ep-3;
constexpr double kC2 = 0x1.6045e88f5720cp-4;
constexpr double kC3 = -0x1.6ce5b3dd57d97p-5;
constexpr double kC4 = 0x1.cbca79bcc1fdep-6;
constexpr double kC5 = -0x1.0cb588ec2da1cp-6;

}  // namespace vexa::vm::cbrt_data
