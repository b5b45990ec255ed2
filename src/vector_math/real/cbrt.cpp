// The cube-root family (s, d): Cbrt, InvCbrt and Pow2o3, one core.
//
// |x| = 2^e m, m in [1, 2), e = 3q + j (j in 0..2), t = 2^j m in [1, 8):
//   r ~ t^(-1/3): a degree-5 polynomial in m - 1.5 times 2^(-j/3) (relative
//     error 2^-16), then a Newton step r += r (1 - t r^3) / 3, which squares
//     the error (2^-31; InvCbrt LA takes a second);
//   y = t r^2 ~ t^(1/3), and a correction c = (t - y^3) r^2 / 3 with the
//     residual t - y^3 exact (products split by fused multiply-adds): a Newton
//     step on y, so that y + c is t^(1/3) to about 2^-60;
//   Cbrt = (y + c) 2^q, InvCbrt = (r + r (1 - r y - c r)) 2^-q,
//   Pow2o3 = (y^2 + 2 y c) 2^2q; the sign of x goes back on Cbrt and InvCbrt.
// Double kernels: HA takes the correction with the exact residual (error near
// half an ulp), LA with a rounded residual (about an ulp; InvCbrt LA takes r
// after its second step), EP takes y, r and y^2 as they are.
// Float kernels run the same scheme in float lanes (below); the kernels of
// generation W7 (sCbrt LA and EP, sInvCbrt EP) run under the caller's
// floating-point settings and report nothing.
// Zero, subnormal, infinite and NaN arguments go to the per-element routine,
// which scales subnormals into the normal range and runs the same core.
// Documented bounds per slot: include/vexa/vm_accuracy.def.
#include "vector_math/frame/kernel.h"
#include "vector_math/scalar/fp_bits.h"
#include "vector_math/tables/cbrt_data.h"

#include <cfloat>
#include <cmath>
#include <limits>

namespace vexa::vm {
namespace {

using namespace simd;
using namespace cbrt_data;

constexpr char kSilent[] = "";  // Pow2o3 reports nothing and has no name string

enum class Fn { Cbrt, InvCbrt, Pow2o3 };

// The function of positive normal doubles, every lane.
template <Fn F, Acc A> VEXA_INLINE __m256d core(__m256d x) {
    const __m256i xi = as_int(x);
    const __m256d m = from_int<double>(or_bits(and_bits(xi, splat64(0x000FFFFFFFFFFFFFull)), splat64(0x3FF0000000000000ull)));
    // e from the exponent field, q = floor(e / 3) (the small bias keeps exact multiples exact), j = e - 3q.
    const __m256d e = from_int<double>(or_bits(shr64<52>(xi), splat64(0x4330000000000000ull))) - broadcast(kExponentBias);
    const __m256d q = round<1>(fma(e, broadcast(kThird), broadcast(0x1p-20)));
    const __m256d j = fma(q, broadcast(-3.0), e);
    const __m256d j1 = cmp_eq(j, broadcast(1.0)), j2 = cmp_eq(j, broadcast(2.0));
    const __m256d two_j = select(j2, broadcast(4.0), select(j1, broadcast(2.0), broadcast(1.0)));
    const __m256d inv_root_2j = select(j2, broadcast(kInvCbrt4), select(j1, broadcast(kInvCbrt2), broadcast(1.0)));
    const __m256d t = m * two_j;
    // Starting value and Newton steps for t^(-1/3).
    const __m256d u = m - broadcast(1.5);
    __m256d p = fma(u, broadcast(kC5), broadcast(kC4));
    p = fma(p, u, broadcast(kC3));
    p = fma(p, u, broadcast(kC2));
    p = fma(p, u, broadcast(kC1));
    p = fma(p, u, broadcast(kC0));
    __m256d r = p * inv_root_2j;
    // One step leaves r within 2^-31, which the correction of y (a Newton step
    // of its own) squares away; InvCbrt LA, which returns r as it is, takes two.
    constexpr int kSteps = F == Fn::InvCbrt && A == Acc::LA ? 2 : 1;
    for (int s = 0; s < kSteps; ++s) {
        const __m256d r3 = r * r * r;
        r = fma(r * fma(-t, r3, broadcast(1.0)), broadcast(1.0 / 3.0), r);
    }
    // 2^q, 2^-q or 2^2q from the exponent bits.
    const __m256d k = F == Fn::Cbrt ? q : F == Fn::InvCbrt ? -q : q + q;
    const __m256d scale = from_int<double>(shl64<52>(as_int(k + broadcast(kScaleShifter))));
    const __m256d y = t * (r * r);
    if constexpr (A == Acc::EP) {
        if constexpr (F == Fn::Cbrt) return y * scale;
        else if constexpr (F == Fn::InvCbrt) return r * scale;
        else return (y * y) * scale;
    } else if constexpr (A == Acc::LA) {
        // The correction with a rounded residual: about one ulp.
        const __m256d c = (t - y * y * y) * (r * r) * broadcast(1.0 / 3.0);
        if constexpr (F == Fn::Cbrt) return (y + c) * scale;
        else if constexpr (F == Fn::InvCbrt) return r * scale;
        else return fma(y, y, (y + y) * c) * scale;
    } else {
        // The exact residual t - y^3: y^2 = y2 + y2l, y2 y = y3 + y3l, both splits exact.
        const __m256d y2 = y * y, y2l = fma(y, y, -y2);
        const __m256d y3 = y2 * y, y3l = fma(y2, y, -y3);
        const __m256d res = (t - y3) - fma(y2l, y, y3l);
        const __m256d c = res * (r * r) * broadcast(1.0 / 3.0);
        if constexpr (F == Fn::Cbrt) return (y + c) * scale;
        else if constexpr (F == Fn::InvCbrt) return fma(r, fma(-r, y, broadcast(1.0)) - c * r, r) * scale;
        else return fma(y, y, (y + y) * c) * scale;
    }
}

// The same scheme in float lanes for positive normal floats: the polynomial
// start, one Newton step (r within a few float ulps), then y = t r^2 and
// the correction, with the exact residual for HA (about half an ulp) and a
// rounded one for LA (InvCbrt LA takes r); EP skips both (14 bits).
template <Fn F, Acc A> VEXA_INLINE __m256 core(__m256 x) {
    const __m256i xi = as_int(x);
    const __m256 m = from_int<float>(or_bits(and_bits(xi, splat32(0x007FFFFFu)), splat32(0x3F800000u)));
    const __m256 e = _mm256_cvtepi32_ps(shr32<23>(xi)) - broadcast(127.0f);
    const __m256 q = round<1>(fma(e, broadcast(float(kThird)), broadcast(0x1p-10f)));
    const __m256 j = fma(q, broadcast(-3.0f), e);
    const __m256 j1 = cmp_eq(j, broadcast(1.0f)), j2 = cmp_eq(j, broadcast(2.0f));
    const __m256 two_j = select(j2, broadcast(4.0f), select(j1, broadcast(2.0f), broadcast(1.0f)));
    const __m256 inv_root_2j =
        select(j2, broadcast(float(kInvCbrt4)), select(j1, broadcast(float(kInvCbrt2)), broadcast(1.0f)));
    const __m256 t = m * two_j;
    const __m256 u = m - broadcast(1.5f);
    __m256 p = fma(u, broadcast(float(kC5)), broadcast(float(kC4)));
    p = fma(p, u, broadcast(float(kC3)));
    p = fma(p, u, broadcast(float(kC2)));
    p = fma(p, u, broadcast(float(kC1)));
    p = fma(p, u, broadcast(float(kC0)));
    __m256 r = p * inv_root_2j;
    if constexpr (A != Acc::EP) r = fma(r * fma(-t, r * r * r, broadcast(1.0f)), broadcast(1.0f / 3.0f), r);
    const __m256 k = F == Fn::Cbrt ? q : F == Fn::InvCbrt ? -q : q + q;
    const __m256 scale = from_int<float>(shl32<23>(_mm256_cvtps_epi32(k + broadcast(127.0f))));
    const __m256 y = t * (r * r);
    if constexpr (A == Acc::EP) {
        if constexpr (F == Fn::Cbrt) return y * scale;
        else if constexpr (F == Fn::InvCbrt) return r * scale;
        else return (y * y) * scale;
    } else if constexpr (A == Acc::LA) {
        const __m256 c = (t - y * y * y) * (r * r) * broadcast(1.0f / 3.0f);
        if constexpr (F == Fn::Cbrt) return (y + c) * scale;
        else if constexpr (F == Fn::InvCbrt) return r * scale;
        else return fma(y, y, (y + y) * c) * scale;
    } else {
        const __m256 y2 = y * y, y2l = fma(y, y, -y2);
        const __m256 y3 = y2 * y, y3l = fma(y2, y, -y3);
        const __m256 res = (t - y3) - fma(y2l, y, y3l);
        const __m256 c = res * (r * r) * broadcast(1.0f / 3.0f);
        if constexpr (F == Fn::Cbrt) return (y + c) * scale;
        else if constexpr (F == Fn::InvCbrt) return fma(r, fma(-r, y, broadcast(1.0f)) - c * r, r) * scale;
        else return fma(y, y, (y + y) * c) * scale;
    }
}

template <Fn F> constexpr bool kSigned = F != Fn::Pow2o3;

template <Fn F, class T> int rare_element(const T* a, T* r);

template <Fn F, Acc A, const char* Name> struct DCbrt : RealUnary<double, 2, Name, rare_element<F, double>> {
    static VEXA_INLINE __m256d fast(__m256d x, unsigned& special) {
        const __m256d ax = abs(x);
        special = not_positive_normal(ax);
        const __m256d v = core<F, A>(ax);
        return kSigned<F> ? bit_or(v, sign_of(x)) : v;
    }
};

template <Fn F, Acc A, bool Report, const char* Name> struct SCbrt : RealUnary<float, 1, Name, rare_element<F, float>> {
    static constexpr bool kRare = Report || F != Fn::InvCbrt;
    static constexpr bool kFrame = Report;  // generation W7: the caller's settings
    static VEXA_INLINE __m256 fast(__m256 x, unsigned& special) {
        const __m256 ax = abs(x);
        special = not_positive_normal(ax);
        const __m256 v = core<F, A>(ax);
        if constexpr (F == Fn::InvCbrt && !Report) {
            // No per-element routine: zeros, infinities, NaNs and subnormals take their results here.
            const __m256 inf = broadcast(std::numeric_limits<float>::infinity());
            __m256 w = select(cmp_lt(ax, broadcast(FLT_MIN)), wide_inv_cbrt(ax), v);
            w = select(cmp_eq(ax, zero<float>()), inf, w);
            w = select(cmp_eq(ax, inf), zero<float>(), w);
            w = select(cmp_gt_or_nan(ax, inf), x + x, w);
            return bit_or(w, sign_of(x));
        }
        return kSigned<F> ? bit_or(v, sign_of(x)) : v;
    }
    // InvCbrt of subnormal floats, scaled by 2^24 into the normal range.
    static VEXA_INLINE __m256 wide_inv_cbrt(__m256 ax) {
        return core<Fn::InvCbrt, A>(ax * broadcast(0x1p24f)) * broadcast(0x1p8f);
    }
};

// Zeros, infinities, NaNs; subnormal doubles scaled by 2^54 into the normal range.
template <Fn F, class T> int rare_element(const T* a, T* r) {
    const T x = *a;
    const T ax = std::fabs(x);
    T v;
    int status = VEXA_VM_STATUS_OK;
    if (std::isnan(x)) {
        v = x + x;
    } else if (ax == T(0)) {
        if (F == Fn::InvCbrt) v = T(1) / ax, status = VEXA_VM_STATUS_SING;  // +inf, division by zero raised
        else v = T(0);
    } else if (std::isinf(x)) {
        v = F == Fn::InvCbrt ? T(0) : ax;
    } else if constexpr (sizeof(T) == 8) {  // subnormal: scaled by 2^54 into the normal range
        const __m256d w = core<F, Acc::HA>(_mm256_set1_pd(double(ax) * 0x1p54));
        const double back = F == Fn::Cbrt ? 0x1p-18 : F == Fn::InvCbrt ? 0x1p18 : 0x1p-36;
        v = T(_mm256_cvtsd_f64(w) * back);
    } else {  // subnormal float: scaled by 2^24
        const __m256 w = core<F, Acc::HA>(_mm256_set1_ps(ax * 0x1p24f));
        const float back = F == Fn::Cbrt ? 0x1p-8f : F == Fn::InvCbrt ? 0x1p8f : 0x1p-16f;
        v = _mm256_cvtss_f32(w) * back;
    }
    *r = kSigned<F> ? std::copysign(v, x) : v;
    return status;
}

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

#define VMX_DCBRT(F, g, acc, A, name)                                                \
    VEXA_EXPORT void vexa_arx_kernel_d##F##_##g##acc(int n, const double* a, double* r) { \
        unary<DCbrt<Fn::F, Acc::A, name>>(n, a, r);                                       \
    }
#define VMX_SCBRT(F, g, acc, A, report, name)                                          \
    VEXA_EXPORT void vexa_arx_kernel_s##F##_##g##acc(int n, const float* a, float* r) { \
        unary<SCbrt<Fn::F, Acc::A, report, name>>(n, a, r);                             \
    }

extern "C" {
VMX_DCBRT(Cbrt, S9, LAynn, LA, VM_NAME(dCbrt))
VMX_DCBRT(Cbrt, S9, HAynn, HA, VM_NAME(dCbrt))
VMX_DCBRT(Cbrt, S9, EPnnn, EP, VM_NAME(dCbrt))
VMX_DCBRT(InvCbrt, S9, LAynn, LA, VM_NAME(dInvCbrt))
VMX_DCBRT(InvCbrt, S9, HAynn, HA, VM_NAME(dInvCbrt))
VMX_DCBRT(InvCbrt, S9, EPnnn, EP, VM_NAME(dInvCbrt))
VMX_DCBRT(Pow2o3, S9, LAynn, LA, kSilent)
VMX_DCBRT(Pow2o3, S9, HAynn, HA, kSilent)
VMX_DCBRT(Pow2o3, S9, EPnnn, EP, kSilent)
VMX_SCBRT(Cbrt, W7, LAynn, LA, false, VM_NAME(sCbrt))
VMX_SCBRT(Cbrt, S9, HAynn, HA, true, VM_NAME(sCbrt))
VMX_SCBRT(Cbrt, W7, EPnnn, EP, false, VM_NAME(sCbrt))
VMX_SCBRT(InvCbrt, S9, LAynn, LA, true, VM_NAME(sInvCbrt))
VMX_SCBRT(InvCbrt, S9, HAynn, HA, true, VM_NAME(sInvCbrt))
VMX_SCBRT(InvCbrt, W7, EPnnn, EP, false, VM_NAME(sInvCbrt))
VMX_SCBRT(Pow2o3, S9, LAynn, LA, true, kSilent)
VMX_SCBRT(Pow2o3, S9, HAynn, HA, true, kSilent)
VMX_SCBRT(Pow2o3, S9, EPnnn, EP, true, kSilent)
}
