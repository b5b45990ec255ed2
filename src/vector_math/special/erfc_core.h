// The complementary error function and the inverse error functions in
// double, shared by Erfc, CdfNorm, ErfInv, ErfcInv and CdfNormInv (the float
// kernels run them in double lanes).
//
// erfc x, x < 1: 1 - (+-erf|x|) from the erf table's parts (erf_core.h):
//   erf|x| = H + 2^-32 S with H = erf(x_j) from the table, so
//   erfc x = (1 -+ H) -+ 2^-32 S, 1 -+ H split exactly by Fast2Sum. The
//   rounding of 2^-32 S is small against erfc x (the part is at most 1/32 of
//   it); the table's erf(x_j), good to 2^-62 of erf, bounds the method to
//   erfc x above 1/8, so from x = 1 on:
// erfc x, 1 <= x <= 27.5: exp(-x^2) F(x), F = erfcx by a polynomial of
//   degree 9 in x - center on sixteenths of binades (tables::vderfc_tail, F's
//   constant term a double-double), x^2 = ph + pl exact, exp(-ph - pl) =
//   2^E (T + t) from the exponential's reduction; the product
//   (T + t)(F0 + Fl) is rounded once. Everything is scaled by 2^600 so that
//   results down to the subnormals are rounded only at the end.
//
// The inverse, x >= 0 from q = erfc x or y = erf x:
//   |y| <= 1/2: x = y (c0 + t R(t)), t = y^2, c0 = sqrt(pi)/2 a double-double
//     (R of degree 15 to 2^-61); EP: y P(t) with P of degree 6 (2^-30).
//   q < 1/2: s = sqrt(-ln q), x0 = a polynomial of degree 7 in s - center
//     on half binades of s (2^-30; tables::vderfinv_data), then for HA and
//     LA one Halley step on erfc x - q:
//       d = (erfc x0 - q) / erfc'(x0), x = x0 - d (1 - x0 d)
//     (erfc'' = -2x erfc', so this is Halley's step to second order in d).
//     The residual erfc x0 - q is computed from the exact parts of erfc
//     below 1 and in the scaled form above, so the step adds only its own
//     rounding: x comes back as x0 + xl. EP keeps x0. (Without the step,
//     polynomials of degree 15 reach only about 2^-53, 3.6 ulp with the
//     logarithm's and the evaluation's roundings: LA takes the step too.)
#pragma once

#include "vector_math/real/exp_core.h"
#include "vector_math/real/log_core.h"
#include "vector_math/special/erf_core.h"
#include "vector_math/tables/erf_tables.h"

namespace vexa::vm::erfc_core {

using namespace simd;
using D = vec<double>;

constexpr double kTailStart = 1.0;           // erfc by exp(-x^2) F(x) from here
constexpr double kTailEnd = 27.5;            // past erfc's underflow at 27.226 and erfcinv(2^-1074)
constexpr double kUp = 0x1p600, kDown = 0x1p-600;
constexpr double kTwoOverSqrtPi = 1.1283791670955126;
constexpr double kSqrtPiOver2 = 0.88622692545275801;
constexpr double kSqrt2Hi = 1.4142135623730951, kSqrt2Lo = -9.6672933134529135e-17;
constexpr double kInvSqrt2Hi = 0.70710678118654757, kInvSqrt2Lo = -4.8336466567264567e-17;

// Four table rows (the lanes' own, at byte offsets off): chunk(c, r) sets
// r[k] to element 4c + k of each lane's row. Polynomials run from the top
// chunk down, so that only one chunk is live at a time.
struct Rows {
    Offsets o;
    const double* t;
    VEXA_INLINE Rows(const double* table, __m128i off) : o(off), t(table) {}
    VEXA_INLINE void chunk(int c, D (&r)[4]) const {
        r[0] = loadu(o.at(t, 0) + 4 * c);
        r[1] = loadu(o.at(t, 1) + 4 * c);
        r[2] = loadu(o.at(t, 2) + 4 * c);
        r[3] = loadu(o.at(t, 3) + 4 * c);
        transpose(r);
    }
};

// sum c_j u^j over row elements first..last (first + j holding c_j), from
// the top chunk down, as two interleaved Horner chains in u^2 (even and odd
// j) for half the latency.
VEXA_INLINE D horner_rows(const Rows& rows, int first, int last, D u) {
    const D u2 = u * u;
    D even = zero<double>(), odd = zero<double>(), r[4];
    bool started_even = false, started_odd = false;
    for (int c = last / 4; c >= first / 4; --c) {
        rows.chunk(c, r);
        for (int k = 3; k >= 0; --k) {
            const int i = 4 * c + k;
            if (i > last || i < first) continue;
            if ((i - first) % 2 == 0) {
                even = started_even ? fma(even, u2, r[k]) : r[k];
                started_even = true;
            } else {
                odd = started_odd ? fma(odd, u2, r[k]) : r[k];
                started_odd = true;
            }
        }
    }
    return fma(odd, u, even);
}

// erfc x = hi + lo for x < 1 (the sum carries erf's table error, 2^-62 of erf).
template <Acc A> VEXA_INLINE void near(D x, D& hi, D& lo) {
    const D s = sign_of(x);
    const erf_core::Parts p = erf_core::erf_parts<A>(abs(x));
    const D sh = bit_or(p.h, s);
    hi = broadcast(1.0) - sh;
    const D e = (broadcast(1.0) - hi) - sh;
    lo = fnma(bit_or(broadcast(0x1p-32), s), p.sum, e);
}

// erfc x 2^600 = fma(eh, f0, low) (rounded once) for 1 <= x <= 27.5 (x is
// clamped into it; callers may add a correction to low before the rounding)
// and exp(-x^2) 2^600 = ex for |x| <= 27.5.
struct Tail {
    D eh, f0, low, ex;
    VEXA_INLINE D erfc() const { return fma(eh, f0, low); }
};
template <Acc A> VEXA_INLINE Tail tail(D x) {
    const D xc = _mm256_min_pd(_mm256_max_pd(x, broadcast(kTailStart)), broadcast(kTailEnd));
    const D xe = _mm256_min_pd(abs(x), broadcast(kTailEnd));  // exp(-x^2) for every lane up to the end
    const D ph = xe * xe, pl = fma(xe, xe, -ph);
    const exp_core::Reduced64 r = exp_core::reduce64<true, A == Acc::EP ? 3 : 6>(-ph, -pl);
    const D scale = exp_core::pow2_of(add64(r.field, splat64(600ull << 52)));
    const D eh = r.tj * scale, el = fma(r.tj, r.p, r.lo) * scale;
    const __m128i row = _mm_sub_epi32(low_words(shr64<48>(as_int(xc))), _mm_set1_epi32(0x3FF0));
    const Rows rows(tables::vderfc_tail, _mm_mullo_epi32(row, _mm_set1_epi32(tables::kErfcTailStride * 8)));
    D head[4];  // center, F0 hi, F0 lo, c_1
    rows.chunk(0, head);
    const D t = xc - head[0];
    // c_1 .. c_9 at elements 3 .. 11: F - F0 = t (c_1 + t (...)).
    const D f = horner_rows(rows, 3, 2 + tables::kErfcTailDegree, t);
    const D fl = fma(t, f, head[2]);
    return {eh, head[1], fma(eh, fl, el * (head[1] + fl)), eh + el};
}

// erfc x for finite x below 27.25 (other lanes: whatever the formulas give).
template <Acc A> VEXA_INLINE D erfc(D x) {
    D hi, lo;
    near<A>(x, hi, lo);
    const D r = hi + lo;
    const D far = _mm256_cmp_pd(x, broadcast(kTailStart), _CMP_GE_OQ);
    if (movemask(far) == 0) return r;
    return select(far, tail<A>(x).erfc() * broadcast(kDown), r);
}

// CdfNorm: erfc(a)/2 for a = -x/sqrt2 carried as ah + al, the low part
// entering through erfc's derivative (erfc(ah + al) = erfc ah - 2/sqrt(pi)
// exp(-ah^2) al to far below an ulp).
template <Acc A> VEXA_INLINE D cdf_norm(D x) {
    const D ah = x * broadcast(-kInvSqrt2Hi);
    const D al = fma(x, broadcast(-kInvSqrt2Hi), -ah) + x * broadcast(-kInvSqrt2Lo);
    D hi, lo;
    near<A>(ah, hi, lo);
    const D far = _mm256_cmp_pd(ah, broadcast(kTailStart), _CMP_GE_OQ);
    // exp(-ah^2) to a few bits suffices for the correction (ah^2 clamped
    // where the correction is nothing against erfc = 2).
    const D a2 = ah * ah;
    const D ex = bit_and(exp_core::exp64<false, 2>(-_mm256_min_pd(a2, broadcast(700.0))), cmp_lt(a2, broadcast(700.0)));
    const D r = fma(broadcast(-kTwoOverSqrtPi) * ex, al, lo) + hi;
    if (movemask(far) == 0) return r * broadcast(0.5);
    const Tail tl = tail<A>(ah);
    const D tr = fma(tl.eh, tl.f0, fma(broadcast(-kTwoOverSqrtPi) * tl.ex, al, tl.low)) * broadcast(0.5 * kDown);
    return select(far, tr, r * broadcast(0.5));
}

// ---- the inverse ---------------------------------------------------------------

// erfinv y for |y| <= 1/2 (the sign of y) as y c0 + m, c0 the double-double
// head (HA, LA; EP: c0 = 0 and m the whole value). The sum rounds once as
// fma(y, c0, m), also into the subnormals; as a pair it is x = xh + xl.
struct Central {
    D y, c0, m;
    VEXA_INLINE D value() const { return fma(y, c0, m); }
    VEXA_INLINE void pair(D& xh, D& xl) const {
        xh = y * c0;
        xl = fma(y, c0, -xh) + m;
    }
};
template <Acc A> VEXA_INLINE Central inverse_central(D y) {
    using tables::vderfinv_data;
    const D t = y * y;
    if constexpr (A == Acc::EP) {
        D p = broadcast(vderfinv_data[tables::kErfInvCentralEp + tables::kErfInvCentralEpDegree]);
        for (int j = tables::kErfInvCentralEpDegree - 1; j >= 0; --j)
            p = fma(p, t, broadcast(vderfinv_data[tables::kErfInvCentralEp + j]));
        return {y, zero<double>(), y * p};
    } else {
        constexpr int n = tables::kErfInvCentralDegree;  // row: c0 hi, c0 lo, R's n coefficients
        D r = broadcast(vderfinv_data[n + 1]);
        for (int j = n; j >= 2; --j) r = fma(r, t, broadcast(vderfinv_data[j]));
        return {y, broadcast(vderfinv_data[0]), y * fma(t, r, broadcast(vderfinv_data[1]))};
    }
}

// x = xh + xl >= 0 with erfc x = q, for 0 < q < 1/2.
template <Acc A> VEXA_INLINE void inverse_tail(D q, D& xh, D& xl) {
    const D tiny = cmp_lt(q, broadcast(0x1p-1000));  // the subnormals, scaled up first
    const D qs = select(tiny, q * broadcast(0x1p64), q);
    const D l = log_core::ln_of_sum<Acc::LA, true>(qs, zero<double>(), bit_and(tiny, broadcast(-64.0)));
    const D s = sqrt(-l);
    __m128i row = _mm_sub_epi32(low_words(shr64<51>(as_int(s))), _mm_set1_epi32(0x3FE0 >> 3));
    row = _mm_min_epi32(_mm_max_epi32(row, _mm_setzero_si128()), _mm_set1_epi32(tables::kErfInvTailRows - 1));
    const Rows rows(tables::vderfinv_data + tables::kErfInvTail,
                    _mm_mullo_epi32(row, _mm_set1_epi32(tables::kErfInvTailStride * 8)));
    D head[4];
    rows.chunk(0, head);
    const D x0 = horner_rows(rows, 1, 1 + tables::kErfInvTailDegree, s - head[0]);  // the center, then a_0 ..
    xh = x0;
    if constexpr (A == Acc::EP) {
        xl = zero<double>();
    } else {
        // The residual (erfc x0 - q) 2^600 and exp(-x0^2) 2^600.
        D hi, lo;
        near<A>(x0, hi, lo);
        D diff = ((hi - q) + lo) * broadcast(kUp);
        D ex;
        const D far = _mm256_cmp_pd(x0, broadcast(kTailStart), _CMP_GE_OQ);
        if (movemask(far) == 0) {
            ex = exp_core::exp64<false, 3>(-(x0 * x0)) * broadcast(kUp);
        } else {
            const Tail tl = tail<A>(x0);
            diff = select(far, fnma(qs, select(tiny, broadcast(kUp * 0x1p-64), broadcast(kUp)), tl.erfc()), diff);
            ex = tl.ex;
        }
        const D d = broadcast(-kSqrtPiOver2) * diff / ex;
        xl = -(d * fnma(x0, d, broadcast(1.0)));
    }
}

// The three inverses over the whole open domain (the ends and the outside go
// to the per-element routines): central lanes by inverse_central, the others
// by inverse_tail on the exact tail probability.
template <Acc A> VEXA_INLINE D erf_inv(D y) {
    const D ay = abs(y);
    D xh, xl;
    // Tiny y scaled up by 2^64 first, so that the head's low part counts.
    const D tiny = cmp_lt(ay, broadcast(0x1p-900));
    const D central = bit_or(inverse_central<A>(select(tiny, y * broadcast(0x1p64), y)).value() *
                                 select(tiny, broadcast(0x1p-64), broadcast(1.0)),
                             sign_of(y));  // -0 stays -0
    const D outer = cmp_gt_or_nan(ay, broadcast(0.5));
    if (movemask(outer) == 0) return central;
    inverse_tail<A>(broadcast(1.0) - ay, xh, xl);  // 1 - |y| exact from 1/2 on
    return select(outer, bit_or(xh + xl, sign_of(y)), central);
}

template <Acc A> VEXA_INLINE D erfc_inv(D q) {
    D xh, xl;
    const D central = inverse_central<A>(broadcast(1.0) - q).value();  // erfcinv q = erfinv(1 - q), exact from 1/2 to 3/2
    const D upper = cmp_gt_or_nan(q, broadcast(1.5));
    const D outer = bit_or(cmp_lt(q, broadcast(0.5)), upper);
    if (movemask(outer) == 0) return central;
    inverse_tail<A>(select(upper, broadcast(2.0) - q, q), xh, xl);  // erfcinv(2 - q) = -erfcinv q
    return select(outer, bit_xor(xh + xl, bit_and(upper, broadcast(-0.0))), central);
}

// sqrt2 (xh + xl) rounded once.
VEXA_INLINE D times_sqrt2(D xh, D xl) {
    return fma(xh, broadcast(kSqrt2Hi), fma(xh, broadcast(kSqrt2Lo), xl * broadcast(kSqrt2Hi)));
}

// CdfNormInv p = sqrt2 erfinv(2p - 1) = -sqrt2 erfcinv(2p).
template <Acc A> VEXA_INLINE D cdf_norm_inv(D p) {
    const D two_p = p + p;
    D xh, xl;
    inverse_central<A>(two_p - broadcast(1.0)).pair(xh, xl);  // 2p - 1 exact from 1/4 to 3/4
    const D central = times_sqrt2(xh, xl);
    const D upper = cmp_gt_or_nan(p, broadcast(0.75));
    const D outer = bit_or(cmp_lt(p, broadcast(0.25)), upper);
    if (movemask(outer) == 0) return central;
    inverse_tail<A>(select(upper, broadcast(2.0) - two_p, two_p), xh, xl);
    return select(outer, bit_xor(times_sqrt2(xh, xl), _mm256_andnot_pd(upper, broadcast(-0.0))), central);
}

}  // namespace vexa::vm::erfc_core
