// Geometric, P(k) = p (1 - p)^k: floor(ln u / ln(1 - p)) for float uniforms
// u. The logarithm is the float vector-math one of the HA slot, since the
// value is made from it (ln 0 becomes the logarithm callback's -103.28); the
// quotient is a product by 1 / ln(1 - p), made once, in double. Values beyond
// 2^31 - 1 (p below about 5e-8) are stored as 2^31 - 1 (our choice).
#include <immintrin.h>

#include <cmath>

#include "random/distributions/frame.h"

extern "C" VEXA_EXPORT int _tqriRngGeometric(int, StreamState* s, int n, int32_t* r, double p) {
    using namespace vexa;
    using namespace vexa::rng;
    dist::Frame frame(dist::Consts<float>::kLnCallBack);
    auto* u = reinterpret_cast<float*>(r);
    const int st = _tqrsRngUniform(0, s, n, u, 0.0f, 1.0f);
    if (st < 0) return st;
    dist::apply_ha<vm::fn::Ln>(n, u, u);
    const double rec = 1.0 / std::log1p(-p);
    const __m256d vr = simd::broadcast(rec), top = simd::broadcast(2147483647.0);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m256d l = _mm256_cvtps_pd(_mm_loadu_ps(u + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(r + i), _mm256_cvttpd_epi32(simd::min(top, simd::floor(l * vr))));
    }
    for (; i < n; ++i) r[i] = int32_t(std::fmin(2147483647.0, std::floor(double(u[i]) * rec)));
    return st;
}
