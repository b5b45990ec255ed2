// Expm1 (s, d), on the exponential's reduction (exp.cpp):
// exp(x) - 1 = 2^E T_j (1 + p) - 1 with p = exp(r) - 1 = r + r^2 P(r), whose
// error counts against exp(r) - 1 itself where E = j = 0 (the result is p).
//   dExpm1  HA  |x| < 1/16: x + x^2 P(x) with P of degree 7, no reduction;
//               otherwise q = 6 with the table of 64 (T_j, t_j) pairs, P of
//               degree 3 in r, st = 2^E T_j and s + (st p + (2^E t_j + e))
//               with s + e = st - 1 error-free. A register of lanes all on
//               one side takes one path only.
//           LA  q = 6 on every lane, st p + ((st - 1) + 2^E t_j) by one FMA, P
//               of degree 4 (its error counts against exp(r) - 1 where
//               E = j = 0 and the result is p)
//           EP  q = 10 with the table of 1024 T_j and no correction (its
//               error is below 2^-41 of the result where j != 0), P of degree 1
//   sExpm1  HA  q = 2, 2^(j/4) and its correction selected in-register, P of
//               degree 3, every lane through ha_sum below (st - 1 and its sum
//               with st p error-free, the roundings of r and p carried)
//           LA  q = 0, 2^N p + (2^N - 1) by one FMA, P of degree 4
//           EP  as LA with ln2 in one constant and P of degree 2
// Lanes outside |x| <= 708.396 (d) or |x| <= 87.3365 (s), NaNs and subnormal
// arguments (whose results are subnormal: status 4) go to the per-element
// routine. Documented bounds per slot: include/vexa/vm_accuracy.def.

#include "vector_math/real/exp_core.h"
#include "vector_math/scalar/exp_scalar.h"
#include "vector_math/tables/exp_data.h"

namespace vexa::vm {
namespace {

using namespace simd;
using namespace exp_data;


// Lanes above the fast-path limit, NaN, or subnormal.
template <class V> VEXA_INLINE unsigned expm1_special(V x, elem<V> limit) {
    using T = elem<V>;
    const V ax = abs(x);
    return movemask(bit_or(cmp_gt_or_nan(ax, broadcast(limit)),
                           bit_and(cmp_lt(ax, broadcast(std::numeric_limits<T>::min())), cmp_lt(zero<T>(), ax))));
}

// st (1 + p) - 1 + lo for st = 2^E T_j (sExpm1 HA), with the two places where the
// rounding would cost most made error-free: st - 1 (a TwoSum) and the sum of
// that with st p, which cancel against each other when x is small but E or j
// is not (x = -0.0057: st - 1 = -0.0108, st p = +0.0051); lo holds the
// callers' small terms, among them the rounding errors of r and p.
template <class V> VEXA_INLINE V ha_sum(V st, V p, V lo) {
    using T = elem<V>;
    V e1, e2;
    const V s = two_sum(st, broadcast(T(-1)), e1);
    const V tp = st * p;
    const V tp_err = fma(st, p, -tp);
    const V s2 = two_sum(s, tp, e2);
    return s2 + (e2 + (e1 + (tp_err + lo)));
}

struct DExpm1HA : RealUnary<double, 2, VM_NAME(dExpm1), vdexpm1_cout_rare> {
    // |x| >= 1/16: what cancels is st - 1, made error-free; the roundings of r
    // and p cost at most about 0.2 ulp there.
    static VEXA_INLINE V large(V x) {
        const exp_core::Parts p = exp_core::expm1_large(x);
        return p.hi + p.lo;
    }
    static VEXA_INLINE V small(V x) { return fma(x * x, exp_core::expm1_small_poly(x), x); }
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = expm1_special(x, kFastLimit);
        const V near0 = cmp_lt(abs(x), broadcast(0.0625));
        const unsigned m = movemask(near0);
        if (__builtin_expect(m == 0, 1)) return large(x);
        if (m == 0xF) return keep_sign(small(x), x);
        return keep_sign(select(near0, small(x), large(x)), x);
    }
};

struct DExpm1LA : RealUnary<double, 2, VM_NAME(dExpm1), vdexpm1_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = expm1_special(x, kFastLimit);
        return keep_sign(exp_core::expm1_la(x), x);
    }
};

struct DExpm1EP : RealUnary<double, 2, VM_NAME(dExpm1), vdexpm1_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        special = expm1_special(x, kFastLimit);
        return keep_sign(exp_core::expm1_ep(x), x);
    }
};

struct SExpm1HA : RealUnary<float, 2, VM_NAME(sExpm1), vsexpm1_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        // The shifter leaves N + 508 (508 = 4 * 127, the bias) in the low bits.
        const V t = fma(x, broadcast(kSInvLn2N4), broadcast(kSShifterBiased));
        const V n = t - broadcast(kSShifterBiased);
        const __m256i ti = as_int(t);
        const V r1 = fma(n, broadcast(-kSLn2N4Hi), x);  // exact
        const V nl = n * broadcast(kSLn2N4Lo);
        const V r = r1 - nl;
        const V r_err = (r1 - r) - nl;  // carried, as for double
        const V tj = _mm256_permutevar_ps(
            _mm256_setr_ps(1.0f, kSRoot2_1, kSRoot2_2, kSRoot2_3, 1.0f, kSRoot2_1, kSRoot2_2, kSRoot2_3), ti);
        const V cj = _mm256_permutevar_ps(
            _mm256_setr_ps(0.0f, kSRoot2_1Lo, kSRoot2_2Lo, kSRoot2_3Lo, 0.0f, kSRoot2_1Lo, kSRoot2_2Lo, kSRoot2_3Lo),
            ti);
        const V r2 = r * r;
        const V q = fma(r2, fma(r, broadcast(kSM1HaC5), broadcast(kSM1HaC4)), fma(r, broadcast(kSM1HaC3), broadcast(kSM1HaC2)));
        const V t2 = r2 * q;
        const V p = r + t2;
        const V p_err = (r - p) + t2;  // |r| > |t2|
        const V scale = from_int<float>(and_bits(shl32<21>(ti), splat32(0x7F800000u)));
        special = expm1_special(x, kSFastLimit);
        const V st = scale * tj;
        // The corrections c_j are relative (2^(j/4) = T_j (1 + c_j)): st c_j (1 + p).
        return keep_sign(ha_sum(st, p, st * ((r_err + p_err) + fma(cj, p, cj))), x);
    }
};

template <Acc A>
struct SExpm1Short : RealUnary<float, 2, VM_NAME(sExpm1), vsexpm1_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        const V t = fma(x, broadcast(kSInvLn2), broadcast(kSShifter));
        const V n = t - broadcast(kSShifter);
        const __m256i ti = as_int(t);
        V r, q;
        if constexpr (A == Acc::LA) {
            r = fma(n, broadcast(-kSLn2Hi), x);
            r = fma(n, broadcast(-kSLn2Lo), r);
            q = fma(r, broadcast(kSM1LaC6), broadcast(kSM1LaC5));
            q = fma(q, r, broadcast(kSM1LaC4));
            q = fma(q, r, broadcast(kSM1LaC3));
            q = fma(q, r, broadcast(kSM1LaC2));
        } else {
            r = fma(n, broadcast(-kSLn2), x);
            q = fma(r, broadcast(kSM1EpC4), broadcast(kSM1EpC3));
            q = fma(q, r, broadcast(kSM1EpC2));
        }
        const V p = fma(r * r, q, r);
        const V scale = from_int<float>(shl32<23>(add32(ti, splat32(127))));  // 2^N
        special = expm1_special(x, kSFastLimit);
        return keep_sign(fma(scale, p, scale - broadcast(1.0f)), x);
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dExpm1_S9HAynn(int n, const double* a, double* r) { unary<DExpm1HA>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dExpm1_S9LAynn(int n, const double* a, double* r) { unary<DExpm1LA>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dExpm1_S9EPnnn(int n, const double* a, double* r) { unary<DExpm1EP>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sExpm1_S9HAynn(int n, const float* a, float* r) { unary<SExpm1HA>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sExpm1_S9LAynn(int n, const float* a, float* r) { unary<SExpm1Short<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sExpm1_S9EPnnn(int n, const float* a, float* r) { unary<SExpm1Short<Acc::EP>>(n, a, r); }
}
