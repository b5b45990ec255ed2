// Exp (s, d). Every kernel reduces x = N ln2 / 2^q + r with N rounded by the
// shifter trick (the low bits of x * 2^q/ln2 + 1.5 * 2^m hold N), evaluates
// exp(r) by a short polynomial, scales by a table value 2^(j/2^q) and adds
// floor(N / 2^q) to the exponent. Lanes outside |x| <= 708.396 (d) or
// |x| <= 87.3365 (s) and NaNs go to the per-element routine, which decides
// overflow (3) and underflow (4).
//
//   dExp HA  q = 6, table kExp64 of 64 (T_j, t_j) pairs, degree 5 on |r| <= ln2/128,
//            two registers per step
//   dExp LA  q = 10, table kExp1024 of 1024 T_j, degree 3 on |r| <= ln2/2048
//            (also the EP slot)
//   sExp HA  q = 2, 4 entries selected in-register, degree 4 on |r| <= ln2/8
//   sExp LA  q = 0, degree 5 on |r| <= ln2/2
//   sExp EP  q = 0, one-constant reduction, degree 3 on |r| <= ln2/2
// Documented bounds per slot: include/vexa/vm_accuracy.def.
#include "vector_math/frame/kernel.h"
#include "vector_math/scalar/exp_scalar.h"
#include "vector_math/tables/exp_ln_tables.h"

namespace vexa::vm {
namespace {

using namespace simd;

constexpr double kShifterD = 6755399441055744.0;  // 1.5 * 2^52
constexpr uint64_t kExponentField = 0xFFF0000000000000ull;

struct DExpHA : RealUnary<double, 2, VM_NAME(dExp), vdexp_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        const V t = fma(x, broadcast(92.332482616893657), broadcast(kShifterD));
        const V n = t - broadcast(kShifterD);
        const __m256i ti = as_int(t);
        // Table index j and the exponent floor(N/64) in the exponent field.
        const __m128i idx = _mm_and_si128(low_words(ti), _mm_set1_epi32(63));
        const __m256i scale = and_bits(shl64<46>(ti), splat64(kExponentField));
        V r = fma(n, broadcast(-0.010830424696223417), x);
        r = fma(n, broadcast(-2.5728046223276691e-14), r);
        const V r2 = r * r;
        const V q = fma(r2, fma(r, broadcast(0.0083333341644141103), broadcast(0.041666723686623851)),
                        fma(r, broadcast(0.16666666666677971), broadcast(0.49999999999947747)));
        const V p = fma(r2, q, r);
        V tj, lo;
        lookup_pairs(tables::kExp64, idx, tj, lo);
        const V y = tj + fma(tj, p, lo);
        special = movemask(cmp_gt_or_nan(abs(x), broadcast(708.39599609374989)));
        return from_int<double>(add64(as_int(y), scale));
    }
};

struct DExpLA : RealUnary<double, 2, VM_NAME(dExp), vdexp_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        const V t = fma(x, broadcast(1477.3197218702985), broadcast(kShifterD));
        const V n = t - broadcast(kShifterD);
        const __m256i ti = as_int(t);
        const __m128i idx = _mm_and_si128(low_words(ti), _mm_set1_epi32(1023));
        const __m256i scale = and_bits(shl64<42>(ti), splat64(kExponentField));
        V r = fma(n, broadcast(-0.0006769015431018488), x);
        r = fma(n, broadcast(-4.1372278962981289e-13), r);
        const V p = fma(r * r, fma(r, broadcast(0.16666666666666669), broadcast(0.50000000357965391)), r);
        const V tj = lookup(tables::kExp1024, idx);
        const V y = fma(tj, p, tj);
        // The upper word of |x| from 0x4086232A (about 708.3956), infinities and NaNs.
        const __m256i hx = as_int(abs(x));
        special = movemask(from_int<double>(_mm256_cmpgt_epi64(hx, splat64(0x40862329FFFFFFFFull))));
        return from_int<double>(add64(as_int(y), scale));
    }
};

constexpr float kSExpLimit = 87.3365402f;  // bits 0x42AEAC4F

struct SExpHA : RealUnary<float, 2, VM_NAME(sExp), vsexp_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        // The shifter 1.5 * 2^23 + 508 leaves N + 508 (508 = 4 * 127, the bias) in the low bits.
        const V t = fma(x, broadcast(5.77078009f), broadcast(12583420.0f));
        const V n = t - broadcast(12583420.0f);
        const __m256i ti = as_int(t);
        V r = fma(n, broadcast(-0.173278809f), x);
        r = fma(n, broadcast(-7.98654582e-06f), r);
        // 2^(j/4) and its correction, selected per lane by the two low bits of N.
        const V tj = _mm256_permutevar_ps(_mm256_setr_ps(1.0f, 1.18920708f, 1.41421354f, 1.68179286f, 1.0f,
                                                         1.18920708f, 1.41421354f, 1.68179286f),
                                          ti);
        const V cj = _mm256_permutevar_ps(_mm256_setr_ps(0.0f, 3.19341815e-08f, 1.71142709e-08f, -1.47196051e-08f,
                                                         0.0f, 3.19341815e-08f, 1.71142709e-08f, -1.47196051e-08f),
                                          ti);
        const V r2 = r * r;
        const V q = fma(r2, broadcast(0.0416823104f), fma(r, broadcast(0.166729242f), broadcast(0.49999997f)));
        const V p = fma(r2, q, r);
        const V y = tj + fma(tj, p, cj);
        const V scale = from_int<float>(and_bits(shl32<21>(ti), splat32(0x7F800000u)));
        special = movemask(cmp_gt_or_nan(abs(x), broadcast(kSExpLimit)));
        return y * scale;
    }
};

template <bool Extended>
struct SExpShort : RealUnary<float, 2, VM_NAME(sExp), vsexp_cout_rare> {
    static VEXA_INLINE V fast(V x, unsigned& special) {
        const V t = fma(x, broadcast(1.44269502f), broadcast(12582912.0f));
        const V n = t - broadcast(12582912.0f);
        const __m256i ti = as_int(t);
        V p;
        if constexpr (Extended) {  // LA
            V r = fma(n, broadcast(-0.693145752f), x);
            r = fma(n, broadcast(-1.42860677e-06f), r);
            p = fma(r, broadcast(0.00829171948f), broadcast(0.0418735221f));
            p = fma(p, r, broadcast(0.166674316f));
            p = fma(p, r, broadcast(0.49999392f));
            p = fma(p, r, broadcast(0.999999881f));
            p = fma(p, r, broadcast(1.0f));
        } else {  // EP
            const V r = fma(n, broadcast(-0.693147182f), x);
            p = fma(r, broadcast(0.165419281f), broadcast(0.503705382f));
            p = fma(p, r, broadcast(1.00011802f));
            p = fma(p, r, broadcast(1.0f));
        }
        special = movemask(cmp_gt_or_nan(abs(x), broadcast(kSExpLimit)));
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
