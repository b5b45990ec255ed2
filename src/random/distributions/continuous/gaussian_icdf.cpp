// Gaussian by the inverse CDF.
//
// Through the inverse error function: v uniform on [-1, 1), x = sqrt2 erfinv(v),
// result a + (sqrt2 sigma) erfinv(v). v = -1 is the function's singularity;
// the Gaussian callback makes it -5.8635847487551676 (float -3.832507).
//
// On the vector engines of MCG31M1 and MCG59 (double): the uniforms on (0, 1)
// stay in registers and go straight through the inverse normal CDF of the
// CdfNormInv EP kernel (see its file), at least 28.5 correct bits as the
// ErfInv EP kernel of the other path. The LA formulas (one Halley step in
// the tails) cost 2.5 times as much per value. Neither generator gives 0 or
// 1, so every value is finite. A stream without lane data gets
// VEXA_RNG_MEMORY.
#include "random/distributions/frame.h"
#include "random/distributions/continuous/gaussian.h"
#include "vector_math/special/erfc_core.h"

namespace vexa::rng::dist {
namespace {

template <class T> int icdf(StreamState* s, int n, T* r, T a, T sigma) {
    const int st = source::uniform(s, n, r, T(-1), T(1));
    if (st < 0) return st;
    apply<vm::fn::ErfInv>(n, r, r);
    const vec<T> va = simd::broadcast(a), vs = simd::broadcast(Consts<T>::kSqrt2 * sigma);
    map(n, r, [&](vec<T> x) { return simd::fma(x, vs, va); });
    return st;
}

int engine_icdf(StreamState* s, int n, double* r, double a, double sigma) {
    source::Engines engines(s);
    if (!engines.ready()) return VEXA_RNG_MEMORY;
    const __m256d va = simd::broadcast(a), vs = simd::broadcast(sigma);
    const auto normal = [&](__m256d u) {
        return simd::fma(vm::erfc_core::cdf_norm_inv<vm::Acc::EP>(u), vs, va);
    };
    blocked(n, r, [&](int i, int count) {
        __m256d u[4];
        if (count == 16) {
            engines.next16(u);
            for (int k = 0; k < 4; ++k) simd::storeu(r + i + 4 * k, normal(u[k]));
        } else if (count == 4) {
            engines.next4(u);
            simd::storeu(r + i, normal(u[0]));
        } else {
            engines.next1(u);
            r[i] = _mm256_cvtsd_f64(normal(u[0]));
        }
    });
    return VEXA_RNG_OK;
}

}  // namespace
}  // namespace vexa::rng::dist

using namespace vexa::rng::dist;

extern "C" {
VEXA_HIDDEN int _vdRngGaussianICDF(StreamState* s, int n, double* r, double a, double sigma) {
    return icdf(s, n, r, a, sigma);
}
VEXA_HIDDEN int _vsRngGaussianICDF(StreamState* s, int n, float* r, float a, float sigma) {
    return icdf(s, n, r, a, sigma);
}
VEXA_HIDDEN int _vrng_dnormal(StreamState* s, int n, double* r, double a, double sigma) {
    return engine_icdf(s, n, r, a, sigma);
}
}
