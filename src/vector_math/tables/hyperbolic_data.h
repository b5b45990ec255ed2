// Constants of the hyperbolic kernels. Polynomial fits (rows of
// tools/fit/polys.def, checked by tests/vector_math/poly_test.cpp), each with
// its largest error on its interval relative to the function:
//   sinh r = r + r^3 P(r^2), cosh r = 1 + r^2/2 + r^4 P(r^2)
//   double: sinh on |r| <= 1/4 (the small arguments of Sinh and Tanh)
//   sinh and cosh on |r| <= ln 2 (r = |x| - N ln 2, N = floor(|x|/ln 2)): in
//   float, in double for the float HA kernels, and in double for the double
//   LA kernels of Sinh and Cosh
#pragma once

namespace vexa::vm::hyperbolic_data {

constexpr double kSmallLimit = 0.25;  // double Sinh and Tanh: below it, the polynomial
constexpr double kLn2Fit = 0x1.63p-1;  // ln 2 and a little more
constexpr double kLn2Hi = 0x1.62e42fefap-1;        // 36 bits: N kLn2Hi is exact for N < 2^17
constexpr double kLn2Lo = 0x1.cf79abc9e3b3ap-40;  // ln 2 - kLn2Hi
constexpr double kInvLn2 = 0x1.71547652b82fep+0;
constexpr float kSLn2Hi = 0x1.62ep-1f;       // 12 bits: n kSLn2Hi is exact for n < 2^12
constexpr float kSLn2Lo = 0x1.0bfbe8p-15f;   // ln 2 - kSLn2Hi
constexpr float kSInvLn2 = 0x1.715476p+0f;
constexpr double kTanhOne = 20.0;            // double tanh rounds to +-1 from 19.06 on
constexpr float kSTanhOne = 9.5f;            // float tanh from 9.02 on
constexpr float kSOverflow = 89.4159927368164f;  // float sinh and cosh overflow from here
constexpr double kBig = 0x1p28;              // Asinh, Acosh: from here ln 2|x| (the 1 under the root is below 2^-57 relative)
constexpr float kSBig = 0x1p12f;

// dSinhHA: fit error 2^-60.10
// dSinhWideLA: fit error 2^-57.32
constexpr double kSinhWideLa[] = {0x1.5555555555553p-3, 0x1.1111111111816p-7, 0x1.a01a019e9dbc1p-13, 0x1.71de3ca490552p-19, 0x1.ae60b662a38fbp-26, 0x1.63f0409778c45p-33};
// dCoshWideLA: fit error 2^-56.16
constexpr double kCoshWideLa[] = {0x1.5555555555f59p-5, 0x1.6c16c16a68871p-10, 0x1.a01a04e10080cp-16, 0x1.27e2114f2b113p-22, 0x1.2162c7e5d6be9p-29};
constexpr double kSinhHa[] = {0x1.5555555555555p-3, 0x1.1111111110f24p-7, 0x1.a01a01a251f46p-13, 0x1.71de287f73f52p-19, 0x1.aee67d0a7c038p-26};
// sSinhHA: fit error 2^-39.40
constexpr double kSSinhHa[] = {0x1.555555522d29ep-3, 0x1.11111516c21a2p-7, 0x1.a013a74e234e5p-13, 0x1.75d00cd3fa736p-19};
// sCoshHA: fit error 2^-35.24
constexpr double kSCoshHa[] = {0x1.55555a4578235p-5, 0x1.6c109554ba532p-10, 0x1.a4dd5dbb17d1bp-16};
// sSinhLA: fit error 2^-27.90
constexpr float kSSinhLa[] = {0x1.55555cp-3f, 0x1.110b22p-7f, 0x1.a5722p-13f};
// sCoshLA: fit error 2^-25.43
constexpr float kSCoshLa[] = {0x1.554e8p-5f, 0x1.70f152p-10f};
// sSinhEP: fit error 2^-20.21
constexpr float kSSinhEp[] = {0x1.554b08p-3f, 0x1.156d1p-7f};
// sCoshEP: fit error 2^-16.11
constexpr float kSCoshEp[] = {0x1.5a3952p-5f};

}  // namespace vexa::vm::hyperbolic_data
