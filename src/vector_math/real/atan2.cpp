// Atan2 (s, d): atan(|y|/|x|) by the octant reduction of atan_core.h on
// a = |y|, b = |x| (no quotient is rounded before the reduction), taken from
// pi where x is negative (its sign bit: x = -0 counts), then the sign of y.
//   d HA  head and tail throughout, pi - atan summed error-free
//   d LA, d EP  rounded u, P of degree 9 and 4
//   s HA  in double on the d EP formulas (error far below an ulp of float)
//   s LA, EP  in float (u rounded, P of degree 3 or 1) where both |x| and |y|
//         lie in [2^-100, 2^100]; other registers as HA
// Lanes with |x| or |y| outside [2^-511, 2^511] (zeros, subnormals,
// infinities, NaN; for float only two zeros, infinities and NaN) go to the
// per-element routine: the C99 special values, and finite pairs scaled by a
// common power of two (or, when their exponents are more than 1000 apart, the
// limit y/x, +-pi or +-pi/2). No status. Documented bounds per slot:
// include/vexa/vm_accuracy.def.
#include <cmath>

#include "vector_math/real/atan_core.h"

namespace vexa::vm {
namespace {

using namespace simd;
using trig_core::Parts;

template <Acc A> VEXA_INLINE __m256d atan2_of(__m256d y, __m256d x) {
    const double* pi = tables::kPiParts;
    const Parts<__m256d> r = atan_core::atan_ratio<A>(abs(y), abs(x));
    __m256d hi, lo;
    if constexpr (A == Acc::HA) {
        __m256d e;
        const __m256d s = two_sum(broadcast(pi[10]), -r.hi, e);
        hi = select(x, s, r.hi);  // the sign bit of x selects
        lo = select(x, e + (broadcast(pi[11]) - r.lo), r.lo);
    } else {
        hi = select(x, broadcast(pi[10]) - r.hi, r.hi);
        lo = select(x, broadcast(pi[11]) - r.lo, r.lo);
    }
    return bit_xor(hi + lo, sign_of(y));
}

// atan2 of one pair in double with the C99 special values.
double atan2_rare(double y, double x) {
    const double pi = tables::kPiParts[10], pio2 = tables::kPiParts[6], pio4 = tables::kPiParts[4];
    const double sy = std::signbit(y) ? -1.0 : 1.0;
    if (std::isnan(x) || std::isnan(y)) return x + y;
    if (y == 0) return std::signbit(x) ? sy * pi : y;
    if (std::isinf(y)) return sy * (std::isinf(x) ? (x > 0 ? pio4 : tables::kPiParts[8]) : pio2);
    if (x == 0) return sy * pio2;
    if (std::isinf(x)) return x > 0 ? sy * 0.0 : sy * pi;
    const int ey = std::ilogb(y), ex = std::ilogb(x);
    if (ey - ex > 1000) return sy * pio2;
    if (ex - ey > 1000) return x > 0 ? y / x : sy * pi;
    const int k = ey > ex ? ey : ex;
    const __m256d r = atan2_of<Acc::HA>(broadcast(std::ldexp(y, -k)), broadcast(std::ldexp(x, -k)));
    return _mm256_cvtsd_f64(r);
}

int vdatan2_cout_rare(const double* a, const double* b, double* r) {
    *r = atan2_rare(*a, *b);
    return 0;
}
int vsatan2_cout_rare(const float* a, const float* b, float* r) {
    *r = float(atan2_rare(double(*a), double(*b)));
    return 0;
}

template <Acc A> struct DAtan2 : RealKernel<double, 2, 2, true> {
    using V = __m256d;
    static VEXA_INLINE V fast(V y, V x, unsigned& special) {
        const V lo = broadcast(0x1p-511), hi = broadcast(0x1p511);
        const V ay = abs(y), ax = abs(x);
        special = movemask(bit_or(bit_or(cmp_lt(ay, lo), cmp_gt_or_nan(ay, hi)),
                                  bit_or(cmp_lt(ax, lo), cmp_gt_or_nan(ax, hi))));
        return atan2_of<A>(y, x);
    }
    static int rare(const double* a, const double* b, double* r) { return vdatan2_cout_rare(a, b, r); }
    static const char* name() { return VM_NAME(dAtan2); }
};

template <Acc A, Acc D = Acc::EP> struct SAtan2 : RealKernel<float, 2, 1, true> {
    using V = __m256;
    static VEXA_INLINE V fast(V y, V x, unsigned& special) {
        const V big = broadcast(std::numeric_limits<float>::max()), zero = _mm256_setzero_ps();
        special = movemask(bit_or(bit_and(cmp_eq(y, zero), cmp_eq(x, zero)),
                                  bit_or(cmp_gt_or_nan(abs(y), big), cmp_gt_or_nan(abs(x), big))));
        if constexpr (A == Acc::HA) {
            return in_double(y, x);
        } else {
            // In float; lanes where a + b could overflow or an operand is
            // subnormal in double.
            const V ay = abs(y), ax = abs(x);
            const V lo = broadcast(0x1p-100f), hi = broadcast(0x1p100f);
            const V outside_range = bit_or(bit_or(cmp_lt(ay, lo), cmp_gt_or_nan(ay, hi)),
                                           bit_or(cmp_lt(ax, lo), cmp_gt_or_nan(ax, hi)));
            __m256 base_lo;
            const __m256 r = atan_core::atan_ratio_float<A>(ay, ax, base_lo);
            const __m256 pi_hi = broadcast(trig_core::head_of(tables::kPiParts[10]));
            const __m256 pi_lo = broadcast(trig_core::tail_of(tables::kPiParts[10]));
            const __m256 in_float = bit_xor(select(x, (pi_hi - r) + pi_lo, r), sign_of(y));
            if (__builtin_expect(movemask(outside_range) == 0, 1)) return in_float;
            return select(outside_range, in_double(y, x), in_float);
        }
    }
    static VEXA_INLINE __m256 in_double(__m256 y, __m256 x) {
        const __m256d lo = atan2_of<D>(low_doubles(y),
                                       low_doubles(x));
        const __m256d hi = atan2_of<D>(high_doubles(y),
                                       high_doubles(x));
        return join(narrow(lo), narrow(hi));
    }
    static int rare(const float* a, const float* b, float* r) { return vsatan2_cout_rare(a, b, r); }
    static const char* name() { return VM_NAME(sAtan2); }
};

}  // namespace
}  // namespace vexa::vm

using namespace vexa::vm;

extern "C" {
VEXA_EXPORT void vexa_arx_kernel_dAtan2_S9HAynn(int n, const double* a, const double* b, double* r) {
    binary<DAtan2<Acc::HA>>(n, a, b, r);
}
VEXA_EXPORT void vexa_arx_kernel_dAtan2_S9LAynn(int n, const double* a, const double* b, double* r) {
    binary<DAtan2<Acc::LA>>(n, a, b, r);
}
VEXA_EXPORT void vexa_arx_kernel_dAtan2_S9EPnnn(int n, const double* a, const double* b, double* r) {
    binary<DAtan2<Acc::EP>>(n, a, b, r);
}
VEXA_EXPORT void vexa_arx_kernel_sAtan2_S9HAynn(int n, const float* a, const float* b, float* r) {
    binary<SAtan2<Acc::HA>>(n, a, b, r);
}
VEXA_EXPORT void vexa_arx_kernel_sAtan2_S9LAynn(int n, const float* a, const float* b, float* r) {
    binary<SAtan2<Acc::LA>>(n, a, b, r);
}
VEXA_EXPORT void vexa_arx_kernel_sAtan2_S9EPnnn(int n, const float* a, const float* b, float* r) {
    binary<SAtan2<Acc::EP>>(n, a, b, r);
}
}
