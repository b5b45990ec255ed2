// Constants of the trigonometric and inverse trigonometric kernels, shared by
// the vector kernels and the per-element routines. Polynomial fits (rows of
// tools/fit/polys.def, checked by tests/vector_math/poly_test.cpp), each with
// its largest error on its interval relative to the function:
//   sin r = r + r^3 P(r^2), cos r = 1 - r^2/2 + r^4 P(r^2), tan r = r + r^3 P(r^2)
//     on |r| <= pi/4 (and a little past it: the rounded quotient may land there)
//   atan r = r + r^3 P(r^2) on |r| <= tan(pi/8)
//   asin r = r + r^3 P(r^2) on |r| <= 1/2
#pragma once

namespace vexa::vm::trig_data {

constexpr double kPio4Fit = 0x1.922p-1;      // pi/4 and a little more
constexpr double kPio2Fit = 0x1.922p+0;     // pi/2 and a little more
constexpr double kTanPi8Fit = 0x1.a8279ap-2;  // tan(pi/8) and a little more
// dSinHA: fit error 2^-57.14
constexpr double kSinHa[] = {
    -0x1.5555555555555p-3, 0x1.111111111110bp-7, -0x1.a01a01a018a6dp-13,
    0x1.71de3a53308a8p-19, -0x1.ae64528d7c9dep-26, 0x1.61208c4677e29p-33,
    -0x1.aaa2465503ae8p-41,
};
// dCosHA: fit error 2^-59.55
constexpr double kCosHa[] = {
    0x1.5555555555555p-5, -0x1.6c16c16c16c0fp-10, 0x1.a01a01a018ccap-16,
    -0x1.27e4fb75eb8a5p-22, 0x1.1eed8c90c8b01p-29, -0x1.9393241bce022p-37,
    0x1.aabd17268cea4p-45,
};
// dSinLA: fit error 2^-56.36
constexpr double kSinLa[] = {
    -0x1.5555555555548p-3, 0x1.111111110f7dp-7, -0x1.a01a019bfdee8p-13,
    0x1.71de3567d2784p-19, -0x1.ae5e5a908f211p-26, 0x1.5d8fd14f44d8p-33,
};
// dCosLA: fit error 2^-59.67
constexpr double kCosLa[] = {
    0x1.555555555554bp-5, -0x1.6c16c16c14f91p-10, 0x1.a01a019c8449cp-16,
    -0x1.27e4f7eac0b09p-22, 0x1.1ee9d7b21a50fp-29, -0x1.8fa49890f6262p-37,
};
// dSinEP: fit error 2^-37.50
constexpr double kSinEp[] = {
    -0x1.5555554c71cecp-3, 0x1.1111086a5de46p-7, -0x1.a00f7f250de8ap-13,
    0x1.6cd1f1a6b8a5ap-19,
};
// dCosEP: fit error 2^-42.93
constexpr double kCosEp[] = {
    0x1.5555554ed9793p-5, -0x1.6c16b82a09cc3p-10, 0x1.a010dec95da05p-16,
    -0x1.241e9ac46eef8p-22,
};
// dAtanHA: fit error 2^-58.30
constexpr double kAtanHa[] = {
    -0x1.5555555555554p-2, 0x1.999999999964bp-3, -0x1.249249247568fp-3,
    0x1.c71c71b747684p-4, -0x1.745d14b94706p-4, 0x1.3b136e23c78bp-4,
    -0x1.110c724552cf5p-4, 0x1.e171f6aea7563p-5, -0x1.ab7d4cbd11a29p-5,
    0x1.70ec9be32a1aep-5, -0x1.12368ae31d5e5p-5, 0x1.f1e55328bb94dp-7,
};
// dAtanLA: fit error 2^-54.63
constexpr double kAtanLa[] = {
    -0x1.5555555555318p-2, 0x1.999999994977dp-3, -0x1.249249057e455p-3,
    0x1.c71c65d0037cp-4, -0x1.745bc33aefcbp-4, 0x1.3afc3600c8f96p-4,
    -0x1.100534b0ba8b5p-4, 0x1.d25538f18ffd1p-5, -0x1.6518ec81982ffp-5,
    0x1.5c5267f333316p-6,
};
// dAtanEP: fit error 2^-30.47
constexpr double kAtanEp[] = {
    -0x1.55554928253d9p-2, 0x1.9991961f79aaep-3, -0x1.23b5232b0708cp-3,
    0x1.b1ec34703d8f6p-4, -0x1.f1ed9e09379f5p-5,
};
// dAsinHA: fit error 2^-59.17
constexpr double kAsinHa[] = {
    0x1.5555555555577p-3, 0x1.333333332e103p-4, 0x1.6db6db7214182p-5,
    0x1.f1c71a946c359p-6, 0x1.6e8bdeed0ad9bp-6, 0x1.1c49ef917f297p-6,
    0x1.ca1f9e9b9a755p-7, 0x1.758509401b03dp-7, 0x1.613f254cb9044p-7,
    0x1.e5d0fb6b1c0f8p-9, 0x1.63a6de806569ep-6, -0x1.580b640ea9bf7p-6,
    0x1.0b4adbb7b64ep-5,
};
// dAsinLA: fit error 2^-55.74
constexpr double kAsinLa[] = {
    0x1.555555555539p-3, 0x1.333333336e7b4p-4, 0x1.6db6db427d5d4p-5,
    0x1.f1c72c3820873p-6, 0x1.6e89f45257e52p-6, 0x1.1c6be0ad1b0eap-6,
    0x1.c6fdd357e6603p-7, 0x1.8ec290fe51df5p-7, 0x1.abd2c36d5882p-8,
    0x1.3ff279206de9ep-6, -0x1.09cfe849e0976p-6, 0x1.056c5d9598ecdp-5,
};
// dAsinEP: fit error 2^-31.76
constexpr double kAsinEp[] = {
    0x1.55554c5fd63e3p-3, 0x1.33387c8d852fdp-4, 0x1.6caed43c857bfp-5,
    0x1.04919085d20e8p-5, 0x1.d92090cc4b812p-7, 0x1.335572e6dbf3fp-5,
};
// dSinWideLA: fit error 2^-54.56
constexpr double kSinWideLa[] = {
    -0x1.5555555555555p-3, 0x1.1111111111111p-7, -0x1.a01a01a019fdbp-13,
    0x1.71de3a5569d11p-19, -0x1.ae64567d535b5p-26, 0x1.6124604e21265p-33,
    -0x1.ae7eb7e149c93p-41, 0x1.94fe2fdd2ff7dp-49, -0x1.26760f10c1969p-57,
};
// dSinWideEP: fit error 2^-35.31
constexpr double kSinWideEp[] = {
    -0x1.5555554769649p-3, 0x1.11110c49ff0dp-7, -0x1.a017d99f50e15p-13,
    0x1.71707ffd49082p-19, -0x1.9a6883bc2de48p-26,
};
// sSinWideLA: fit error 2^-26.62
constexpr double kSSinWideLa[] = {
    -0x1.55554cp-3, 0x1.110ed4p-7, -0x1.9f6ffep-13,
    0x1.5dbdecp-19,
};
// sSinWideEP: fit error 2^-19.76
constexpr double kSSinWideEp[] = {
    -0x1.555112p-3, 0x1.10713p-7, -0x1.84dbc6p-13,
};
// sAtanLA: fit error 2^-25.45
constexpr double kSAtanLa[] = {
    -0x1.555454p-2, 0x1.9924bcp-3, -0x1.1c3702p-3,
    0x1.49e16ep-4,
};
// sAtanEP: fit error 2^-15.44
constexpr double kSAtanEp[] = {
    -0x1.53cc3cp-2, 0x1.5cdc22p-3,
};
// sAsinLA: fit error 2^-27.33
constexpr double kSAsinLa[] = {
    0x1.5555c8p-3, 0x1.3301e4p-4, 0x1.747e4p-5,
    0x1.8c289cp-6, 0x1.596cdcp-5,
};
// sAsinEP: fit error 2^-19.13
constexpr double kSAsinEp[] = {
    0x1.559be6p-3, 0x1.268072p-4, 0x1.06954p-4,
};

}  // namespace vexa::vm::trig_data
