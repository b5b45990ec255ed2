/* Random distributions: kernels that fill an array with values of a
 * distribution drawn from a stream. The front-end checks the parameters; a
 * kernel returns the status of the generator it draws from (0, or a negative
 * code of rng_status.def, with the array then unspecified), or VEXA_RNG_MEMORY
 * when a cache chunk cannot be made. Usable from C and C++.
 *
 * Continuous distributions, double (_tqrd...) and float (_tqrs...):
 *   Uniform      (a, b)               on [a, b); bit 30 of the method word
 *                                     clamps every value into [a, b]
 *   Gaussian     (a, sigma)           normal; method 0 Box-Muller, 1 Box-Muller
 *                                     giving both values of a pair, 2 inverse CDF
 *   Exponential  (a, beta)            a - beta ln u, never below a
 *   Laplace      (a, beta)            a -+ beta ln u1, the sign by u2
 *   Weibull      (alpha, a, beta)     a + beta (-ln u)^(1/alpha)
 *   Cauchy       (a, beta)            a + beta tan v, v uniform on [-pi/2, pi/2)
 *   Rayleigh     (a, beta)            a + beta sqrt(-ln u)
 *   Lognormal    (a, sigma, b, beta)  b + beta exp(N(a, sigma)); method 0 draws
 *                                     the normals by Gaussian method 1, any
 *                                     other by the inverse CDF
 *   Gumbel       (a, beta)            a + beta ln E, E standard exponential
 *   Gamma        (alpha, a, beta)     a + beta G, G standard gamma of shape alpha
 *   Beta         (p, q, a, beta)      a + beta B, B standard beta of shapes p, q
 *   GaussianMV   (d, storage, a, T)   n vectors of d values (vector after
 *                                     vector): a + the factor times d normals
 *                                     drawn by the Gaussian method of the
 *                                     method word; an unknown storage code
 *                                     leaves the normals as drawn
 *
 * Discrete distributions, into 32-bit integers (_tqri...):
 *   Bernoulli      (p)      1 with probability p: a float uniform u, 1 when
 *                           (float) p > u
 *   Uniform        (a, b)   a ... b - 1: the floor of a double uniform on [a, b)
 *   Geometric      (p)      P(k) = p (1 - p)^k: floor(ln u / ln(1 - p)) from
 *                           a float uniform, at most 2^31 - 1 (our choice)
 *   Binomial       (ntrial, p)  inversion when ntrial min(p, 1 - p) < 30, BTPE
 *                           otherwise (its set-up kept in chunk 5)
 *   Poisson        (lambda) method 0: inversion below 27, PTPE from 27 on (the
 *                           set-up in chunk 3); method 1: from 100 on a
 *                           normal approximation (float normals and the
 *                           Cornish-Fisher quantile), below 100 as method 0
 *   UniformBits    ()       the generator's integer output, n words of its size
 *   UniformBits32  ()       n 32-bit words of full uniform bits: the integer
 *                           output of MT19937, MT2203, SFMT19937, NONDETERM,
 *                           ARS5 and PHILOX4X32X10, bits 27-58 of MCG59's
 *                           states; VEXA_RNG_BAD_BITS_GENERATOR for the others
 *   UniformBits64  ()       n 64-bit words, each two such 32-bit words
 *
 * The Gaussian's inverse CDF on MCG31M1 and MCG59 streams runs on the
 * generators' vector engines and evaluates the inverse normal CDF in
 * registers (our choice of approximation): that of the CdfNormInv EP kernel,
 * a central polynomial in 2p - 1 on [1/4, 3/4] and in the tails a polynomial
 * in sqrt(-ln 2p) by rows, at least 28.5 correct bits: the accuracy of the
 * ErfInv EP kernel that the inverse-error-function path of other streams
 * uses. Neither generator gives 0 or 1, so no value is infinite.
 */
#ifndef VEXA_RNG_DISTRIBUTIONS_H
#define VEXA_RNG_DISTRIBUTIONS_H

#include "vexa/random.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Method words. */
#define VEXA_RNG_UNIFORM_STD 0
#define VEXA_RNG_UNIFORM_ACCURATE 0x40000000
#define VEXA_RNG_GAUSSIAN_BOXMULLER 0
#define VEXA_RNG_GAUSSIAN_BOXMULLER2 1
#define VEXA_RNG_GAUSSIAN_ICDF 2
#define VEXA_RNG_LOGNORMAL_BOXMULLER2 0
#define VEXA_RNG_LOGNORMAL_ICDF 1

/* Storage codes of the multivariate Gaussian's factor. */
#define VEXA_RNG_MV_FULL 0     /* d x d, read as upper triangular, column-major: x = T'z */
#define VEXA_RNG_MV_PACKED 1   /* lower triangle packed by columns: x = L z */
#define VEXA_RNG_MV_DIAGONAL 2 /* d values: x_j = T_j z_j */

#define VEXA_RNG_STRIP(...) __VA_ARGS__
#define RNG_CONTINUOUS(Name, params) \
    int _tqrdRng##Name(int method, StreamState* stream, int n, double* r, VEXA_RNG_STRIP params);
#define VEXA_T double
#include "vexa/rng_distributions.def"
#undef VEXA_T
#undef RNG_CONTINUOUS
#define RNG_CONTINUOUS(Name, params) \
    int _tqrsRng##Name(int method, StreamState* stream, int n, float* r, VEXA_RNG_STRIP params);
#define VEXA_T float
#include "vexa/rng_distributions.def"
#undef VEXA_T
#undef RNG_CONTINUOUS
#define RNG_DISCRETE(Name, params) int _tqriRng##Name(int method, StreamState* stream, int n, VEXA_RNG_STRIP params);
#include "vexa/rng_distributions.def"
#undef RNG_DISCRETE

#ifdef __cplusplus
}
#endif

#endif
