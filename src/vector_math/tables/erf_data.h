// Constants of the float error-function kernels (LA, EP). Polynomial fits
// (rows of tools/fit/polys.def, checked by tests/vector_math/poly_test.cpp):
//   erf x = x P(x^2) on |x| <= kSmall, relative error
//   ln erfc x = P(x - kErfcCenter) on kSmall <= x <= kTop, its error weighted
//   as the error it makes in erf = 1 - e^P, relative to erf
#pragma once

namespace vexa::vm::erf_data {

constexpr float kSmall = 0.9375f;
constexpr float kTop = 4.0f;           // float erf rounds to 1 from 3.92 on
constexpr double kErfcCenter = 2.46875;  // the middle of [kSmall, kTop]

// sErfLA: fit error 2^-24.06
constexpr float kSErfLa[] = {0x1.20dd74p+0f, -0x1.8126d4p-2f, 0x1.ce17aap-4f, -0x1.b66346p-6f, 0x1.465088p-8f, -0x1.365b04p-11f};
// sLnErfcLA: fit error 2^-25.74
constexpr float kSLnErfcLa[] = {-0x1.e8fd64p+2f, -0x1.52cc4ep+2f, -0x1.e2beb4p-1f, -0x1.6c9432p-7f, 0x1.259544p-9f, -0x1.cb7accp-12f, 0x1.20333ep-14f, -0x1.657498p-16f};
// sErfEP: fit error 2^-15.81
constexpr float kSErfEp[] = {0x1.20dc2ep+0f, -0x1.80713cp-2f, 0x1.bdd826p-4f, -0x1.3ad1c8p-6f};
// sLnErfcEP: fit error 2^-18.27
constexpr float kSLnErfcEp[] = {-0x1.e9609ep+2f, -0x1.5467fcp+2f, -0x1.f48ffp-1f, -0x1.e59ee6p-6f};

}  // namespace vexa::vm::erf_data
