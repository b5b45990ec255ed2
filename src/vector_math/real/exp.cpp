// Exp (s, d). Every kernel reduces x = N ln2 / 2^q + r with N rounded by the
// shifter trick (the low bits of x * 2^q/ln2 + 1.5 * 2^m hold N), evaluates
// exp(r) by a short polynomial, scales by a table value 2^(j/2^q) and adds
// floor(N / 2^q) to the exponent. Lanes outside |x| <= 708.396 (d) or
// |x| <= 87.3365 (s) and NaNs go to the per-element routine, which decides
// overflow (3) and underflow (4).
//
//   dExp HA  q = 6, table kExp64 of 64 (T_j, t_j) pairs, degree 5 on |r| <= ln2/128,
//            two registers per step (exp_core.h, shared with Pow)
//   dExp LA  q = 10, table kExp1024 of 1024 T_j, degree 3 on |r| <= ln2/2048
//            (also the EP slot)
//   sExp HA  q = 2, 4 entries selected in-register, degree 4 on |r| <= ln2/8
//   sExp LA  q = 0, degree 5 on |r| <= ln2/2
//   sExp EP  q = 0, one-constant reduction, degree 3 on |r| <= ln2/2
// Documented bounds per slot: include/vexa/vm_accuracy.def.
#include "vector_math/real/exp_core.h"
#include "vector_math/scalar/exp_scalar.h"
#include "vector_math/tables/exp_data.h"

namespace vexa::vm {
namespace {

using namespace simd;
using namespace exp_data;


struct DExpHA : RealUnary<double, 2, VM_NAME(dExp), vdexp_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = movemask(cmp_gt_or_nan(abs(x), broadcast(kFastLimit)));
        return exp_core::exp64<false, 5>(x);
    }
};

struct DExpLA : RealUnary<double, 2, VM_NAME(dExp), vdexp_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        const exp_core::Reduced1024 d = exp_core::reduce1024(x);
        // The upper word of |x| from 0x4086232A (about 708.3956), infinities and NaNs.
        const __m256i hx = as_int(abs(x));
        special = movemask(from_int<double>(_mm256_cmpgt_epi64(hx, splat64(0x40862329FFFFFFFFull))));
        return exp_core::scaled(fma(d.tj, d.p, d.tj), d.field);
    }
};

struct SExpHA : RealUnary<float, 2, VM_NAME(sExp), vsexp_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        // The shifter leaves N + 508 (508 = 4 * 127, the bias) in the low bits.
        const V t = fma(x, broadcast(kSInvLn2N4), broadcast(kSShifterBiased));
        const V n = t - broadcast(kSShifterBiased);
        const __m256i ti = as_int(t);
        V r = fma(n, broadcast(-kSLn2N4Hi), x);
        r = fma(n, broadcast(-kSLn2N4Lo), r);
        // 2^(j/4) and its correction, selected per lane by the two low bits of N.
        const V tj = _mm256_permutevar_ps(
            _mm256_setr_ps(1.0f, kSRoot2_1, kSRoot2_2, kSRoot2_3, 1.0f, kSRoot2_1, kSRoot2_2, kSRoot2_3), ti);
        const V cj = _mm256_permutevar_ps(
            _mm256_setr_ps(0.0f, kSRoot2_1Lo, kSRoot2_2Lo, kSRoot2_3Lo, 0.0f, kSRoot2_1Lo, kSRoot2_2Lo, kSRoot2_3Lo),
            ti);
        const V r2 = r * r;
        const V q = fma(r2, broadcast(kSHaC4), fma(r, broadcast(kSHaC3), broadcast(kSHaC2)));
        const V p = fma(r2, q, r);
        const V y = tj + fma(tj, p, cj);
        const V scale = from_int<float>(and_bits(shl32<21>(ti), splat32(0x7F800000u)));
        special = movemask(cmp_gt_or_nan(abs(x), broadcast(kSFastLimit)));
        return y * scale;
    }
};

template <bool Extended>
struct SExpShort : RealUnary<float, 2, VM_NAME(sExp), vsexp_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        const V t = fma(x, broadcast(kSInvLn2), broadcast(kSShifter));
        const V n = t - broadcast(kSShifter);
        const __m256i ti = as_int(t);
        V p;
        if constexpr (Extended) {  // LA
            V r = fma(n, broadcast(-kSLn2Hi), x);
            r = fma(n, broadcast(-kSLn2Lo), r);
            p = fma(r, broadcast(kSLaC5), broadcast(kSLaC4));
            p = fma(p, r, broadcast(kSLaC3));
            p = fma(p, r, broadcast(kSLaC2));
            p = fma(p, r, broadcast(kSLaC1));
            p = fma(p, r, broadcast(1.0f));
        } else {  // EP
            const V r = fma(n, broadcast(-kSLn2), x);
            p = fma(r, broadcast(kSEpC3), broadcast(kSEpC2));
            p = fma(p, r, broadcast(kSEpC1));
            p = fma(p, r, broadcast(1.0f));
        }
        special = movemask(cmp_gt_or_nan(abs(x), broadcast(kSFastLimit)));
        return from_int<float>(add32(as_int(p), shl32<23>(ti)));
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dExp_S9HAynn(int n, const double* a, double* r) { unary<DExpHA>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dExp_S9LAynn(int n, const double* a, double* r) { unary<DExpLA>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sExp_S9HAynn(int n, const float* a, float* r) { unary<SExpHA>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sExp_S9LAynn(int n, const float* a, float* r) { unary<SExpShort<true>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sExp_S9EPnnn(int n, const float* a, float* r) { unary<SExpShort<false>>(n, a, r); }
}
