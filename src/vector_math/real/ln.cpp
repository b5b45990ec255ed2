// Ln (s, d).
//
// dLn: x = 2^k m with m in [1, 2) from the bit pattern; the ten leading bits
// of m select a table row with c = k'/1024, the reciprocal of the row's
// interval rounded to a multiple of 2^-10, so r = c m - 1 is exact by one FMA
// (|r| <= 1.25 * 2^-10). For k' < 724 (m above about sqrt 2) the exponent is
// taken one higher and the row holds -ln(2c), which keeps |-ln c| <= ln2/2 and
// makes arguments just below 1 cancel exactly. (A table of reciprocals rather
// than a reciprocal instruction: the same c on every processor and emulator,
// and no division on the critical path.)
//   HA  ln x = (k L1 + T_hi) + (r + (k L2 + T_lo + r^2 P(r))), error-free high sum,
//       P of degree 4, two registers per step
//   LA  ln x = k ln2 + (T + (r + r^2 P(r)))
//   EP  ln x = k ln2 + (T + (r - r^2/2 + r^3/3))
// sLn: x = 2^k m with m in [2/3, 4/3), r = m - 1 exactly,
//   ln x = k ln2 + r + r^2 P(r) with P of degree 8 (HA, split ln2),
//   degree 6 (LA) or degree 3 (EP).
// Zero, negative, subnormal, infinite and NaN arguments go to the per-element
// routine. Documented bounds per slot: include/vexa/vm_accuracy.def.
#include "vector_math/frame/kernel.h"
#include "vector_math/scalar/ln_scalar.h"
#include "vector_math/tables/ln_tables.h"
#include "vector_math/tables/ln_data.h"

namespace vexa::vm {
namespace {

using namespace simd;
using namespace ln_data;

enum class Acc { HA, LA, EP };

template <Acc A>
struct DLn : RealUnary<double, 2, VM_NAME(dLn), vdln_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        const __m256i xi = as_int(x);
        const V m = from_int<double>(or_bits(and_bits(xi, splat64(0x000FFFFFFFFFFFFFull)), splat64(0x3FF0000000000000ull)));
        // k + 1023 + 2^52 as a double, from the biased exponent.
        const V kb = from_int<double>(or_bits(shr64<52>(xi), splat64(0x4330000000000000ull)));
        // The row of m's ten leading mantissa bits: c, exponent step, -ln(2^step c).
        const __m128i j = _mm_and_si128(low_words(shr64<42>(xi)), _mm_set1_epi32(1023));
        V row[4];
        lookup_rows(tables::kLnRows, j, row);
        const V r = fma(row[0], m, broadcast(-1.0));  // exact: c has 10 bits
        const V k = (kb - broadcast(kExponentBias)) + row[1];
        const V r2 = r * r;
        V result;
        if constexpr (A == Acc::EP) {
            const V poly = fma(r2, fma(r, broadcast(kC3), broadcast(kC2)), r);
            result = fma(k, broadcast(kLn2), row[2] + poly);
        } else {
            const V p = fma(r2, fma(r, broadcast(kLaC5), broadcast(kLaC4)), fma(r, broadcast(kC3), broadcast(kC2)));
            if constexpr (A == Acc::LA) {
                result = fma(k, broadcast(kLn2), row[2] + fma(r2, p, r));
            } else {
                // One term more than LA (the Taylor series of (ln(1 + r) - r) / r^2 to r^4):
                // where the result is about r, the truncation error r^5/7 must stay far
                // below half an ulp.
                const V p = fma(r2 * r2, broadcast(kHaC6),
                                fma(r2, fma(r, broadcast(kHaC5), broadcast(kHaC4)), fma(r, broadcast(kHaC3), broadcast(kHaC2))));
                const V a = k * broadcast(kLn2Hi);  // exact: the constant ends in zeros
                const V hi = a + row[2];
                const V err = (a - hi) + row[2];  // |a| >= |T_hi| whenever k != 0
                const V lo = fma(r2, p, fma(k, broadcast(kLn2Lo), row[3]));
                result = hi + (r + (lo + err));
            }
        }
        special = not_positive_normal(x);
        return result;
    }
};

template <Acc A>
struct SLn : RealUnary<float, A == Acc::HA ? 1 : 2, VM_NAME(sLn), vsln_cout_rare> {
    using V = simd::vec<float>;
    static VEXA_INLINE V fast(V x, unsigned& special) {
        const __m256i xi = as_int(x);
        const __m256i off = sub32(xi, splat32(0x3F2AAAABu));  // 0.666666687
        const __m256i ki = sra32<23>(off);
        const V m = from_int<float>(sub32(xi, shl32<23>(ki)));
        const V k = _mm256_cvtepi32_ps(ki);
        const V r = m - broadcast(1.0f);
        const V r2 = r * r;
        V result;
        if constexpr (A == Acc::HA) {
            // P of degree 8 by Estrin's scheme in r^2 and r^4.
            const V r4 = r2 * r2;
            const V p01 = fma(r, broadcast(kSHaC3), broadcast(kSHaC2));
            const V p23 = fma(r, broadcast(kSHaC5), broadcast(kSHaC4));
            const V p45 = fma(r, broadcast(kSHaC7), broadcast(kSHaC6));
            const V p67 = fma(r, broadcast(kSHaC9), broadcast(kSHaC8));
            const V p03 = fma(r2, p23, p01);
            const V p47 = fma(r2, p67, p45);
            const V p = fma(r4, fma(r4, broadcast(kSHaC10), p47), p03);
            // k ln2_hi + r + r^2 p summed with its rounding errors carried
            // (products split by fused multiply-adds, sums by fast two-sums:
            // |k ln2_hi| >= |r| when k != 0 and |r| > |r^2 p|), so the result
            // is rounded once, about half an ulp.
            const V r2l = fma(r, r, -r2);
            const V prod = r2 * p, prodl = fma(r2, p, -prod);
            const V s1 = r + prod, e1 = prod - (s1 - r);
            const V hi = k * broadcast(kSLn2Hi);  // exact: the constant ends in zeros
            const V s2 = hi + s1;
            const V e2 = select(cmp_eq(k, zero<float>()), zero<float>(), s1 - (s2 - hi));
            const V lo = fma(k, broadcast(kSLn2Lo), fma(r2l, p, prodl) + e1);
            result = s2 + (e2 + lo);
        } else if constexpr (A == Acc::LA) {
            V p = fma(r, broadcast(kSLaC8), broadcast(kSLaC7));
            p = fma(p, r, broadcast(kSLaC6));
            p = fma(p, r, broadcast(kSLaC5));
            p = fma(p, r, broadcast(kSLaC4));
            p = fma(p, r, broadcast(kSLaC3));
            p = fma(p, r, broadcast(kSLaC2));
            result = fma(k, broadcast(kSLn2), fma(r2, p, r));
        } else {
            V p = fma(r, broadcast(kSEpC5), broadcast(kSEpC4));
            p = fma(p, r, broadcast(kSEpC3));
            p = fma(p, r, broadcast(kSEpC2));
            result = fma(k, broadcast(kSLn2), fma(r2, p, r));
        }
        special = not_positive_normal(x);
        return result;
    }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dLn_S9HAynn(int n, const double* a, double* r) { unary<DLn<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dLn_S9LAynn(int n, const double* a, double* r) { unary<DLn<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_dLn_S9EPnnn(int n, const double* a, double* r) { unary<DLn<Acc::EP>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sLn_S9HAynn(int n, const float* a, float* r) { unary<SLn<Acc::HA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sLn_S9LAynn(int n, const float* a, float* r) { unary<SLn<Acc::LA>>(n, a, r); }
VEXA_EXPORT void vexa_arx_kernel_sLn_S9EPnnn(int n, const float* a, float* r) { unary<SLn<Acc::EP>>(n, a, r); }
}
