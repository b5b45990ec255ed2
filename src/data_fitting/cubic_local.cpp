// Local cubic splines: each piece is the cubic Hermite interpolant of its
// end values and first derivatives d[i], the inner d[i] estimated locally.
//   Akima (1970): d[i] = (|m[i+1] - m[i]| m[i-1] + |m[i-1] - m[i-2]| m[i]) /
//     (|m[i+1] - m[i]| + |m[i-1] - m[i-2]|), the mean of m[i-1] and m[i] when
//     both weights vanish; the slopes past the ends continue linearly
//     (m[-1] = 2 m[0] - m[1], and so on).
//   Bessel: the derivative at x[i] of the parabola through the points i-1,
//     i, i+1: (h[i] m[i-1] + h[i-1] m[i]) / (h[i-1] + h[i]).
//   Hermite: the caller's first derivatives, ic[k] = d[k+1] (internal
//     conditions required, -1013 without them).
// End rules: not set, d[0] = (3 m[0] - m[1]) / 2 (Akima's continued slopes);
// a first derivative, d = bc; a second derivative s'' (free end: 0), the d
// that gives the end piece that curvature; not-a-knot, the d that continues
// the third derivative through x[1] (x[n-2]); periodic, d[0] = d[n-1] by the
// family's inner rule across the seam (Akima's weights when their sum is at
// least 1e-10, else the mean of the two slopes; Bessel and Hermite the
// parabola across the seam).
#include <cmath>
#include <cstdint>

#include "data_fitting/construct.h"
#include "vexa/service.h"

namespace {

using namespace vexa::df;

enum Family { kAkima, kBessel, kHermite };

template <class T> VEXA_INLINE T akima(T m_2, T m_1, T m0, T m1) {
    const T w1 = std::fabs(m1 - m0), w2 = std::fabs(m_1 - m_2);
    if (w1 + w2 < T(1e-10)) return (m_1 + m0) / T(2);
    return (w1 * m_1 + w2 * m0) / (w1 + w2);
}

// Slope i with the Akima continuation past both ends.
template <class T> VEXA_INLINE T slope(const T* m, int64_t n, int64_t i) {
    if (i >= 0 && i <= n - 2) return m[i];
    if (i == -1) return T(2) * m[0] - m[1];
    if (i == -2) return T(3) * m[0] - T(2) * m[1];
    if (i == n - 1) return T(2) * m[n - 2] - m[n - 3];
    return T(3) * m[n - 2] - T(2) * m[n - 3];  // n
}

template <class T, Family F> int local_cubic(DfTask* t, int64_t, const ThreadingTable* tt) {
    if (t == nullptr) return VEXA_DF_NO_TASK;
    const int64_t min_points = F == kAkima ? 5 : F == kBessel ? 4 : 3;
    if (t->nx < min_points) return VEXA_DF_BAD_NX;
    if (const int st = boundary_checks(t, true)) return st;
    if (F == kHermite && t->ic == nullptr) return VEXA_DF_NO_IC;
    if (t->y_table == nullptr) return VEXA_DF_NO_Y;
    if (t->coeff_table == nullptr) return VEXA_DF_NO_COEFF;
    const int64_t n = t->nx, ny = functions(t);
    const int b = boundary_index(t->bc_type);
    const Grid<T> g(t);
    const Coefficients<T> c{t};
    const T* bc = static_cast<const T*>(t->bc);
    const T* ic = static_cast<const T*>(t->ic);
    const int threads = tt != nullptr && tt->max_threads != nullptr ? tt->max_threads() : 1;
    const int workers = ny > 1 && n * ny >= 4096 && threads > 1 ? threads : 1;
    Buffer<T> work;  // widths, slopes and derivatives per worker
    if (!work.allocate((3 * n) * workers)) return VEXA_DF_MEMORY;
    auto body = [&](int64_t j, int thread) {
        T* h = work.p + 3 * n * (thread < workers ? thread : 0);
        T* m = h + n;
        T* d = m + n;
        const Row<T> y(t, j);
        widths(g, h, n);
        slopes(y, h, m, n);
        for (int64_t i = 1; i + 1 < n; ++i) {
            if constexpr (F == kAkima)
                d[i] = akima(slope(m, n, i - 2), slope(m, n, i - 1), m[i], slope(m, n, i + 1));
            else if constexpr (F == kBessel)
                d[i] = (h[i] * m[i - 1] + h[i - 1] * m[i]) / (h[i - 1] + h[i]);
            else
                d[i] = ic[i - 1];
        }
        // The ends, from the inner derivatives next to them.
        switch (b) {
            case kNotSet:
                d[0] = (T(3) * m[0] - m[1]) / T(2);
                d[n - 1] = (T(3) * m[n - 2] - m[n - 3]) / T(2);
                break;
            case kPeriodic: {
                T seam;
                if constexpr (F == kAkima) seam = akima(m[n - 3], m[n - 2], m[0], m[1]);
                else seam = (h[0] * m[n - 2] + h[n - 2] * m[0]) / (h[0] + h[n - 2]);
                d[0] = d[n - 1] = seam;
                break;
            }
            case kNotAKnot: {
                const T r0 = h[0] / h[1], r1 = h[n - 2] / h[n - 3];
                d[0] = T(2) * m[0] - d[1] + r0 * r0 * (d[1] + d[2] - T(2) * m[1]);
                d[n - 1] = T(2) * m[n - 2] - d[n - 2] + r1 * r1 * (d[n - 3] + d[n - 2] - T(2) * m[n - 3]);
                break;
            }
            default: {
                // First derivative given, or the one that gives the end piece its second derivative.
                const T left2 = b == kFreeEnd ? T(0) : left_second(b) ? bc[0] : T(0);
                const T right2 = b == kFreeEnd ? T(0) : right_second(b) ? bc[1] : T(0);
                d[0] = left_first(b) ? bc[0] : (T(3) * m[0] - d[1]) / T(2) - h[0] * left2 / T(4);
                d[n - 1] = right_first(b) ? bc[1] : (T(3) * m[n - 2] - d[n - 2]) / T(2) + h[n - 2] * right2 / T(4);
            }
        }
        write_pieces<T, false>(c.piece(j, 0), t->s_order, y, d, FromArrays<T>{m, h}, n);
    };
    for_functions(t, tt, workers > 1, body, workers);
    return VEXA_DF_OK;
}

}  // namespace

extern "C" {
#define VEXA_DF_LOCAL(Name, F)                                                                                     \
    VEXA_EXPORT int vexa_df_kernel_dDF##Name##CubicSpline1D(DfTask* task, int64_t method,                        \
                                                            const ThreadingTable* service) {                     \
        return local_cubic<double, F>(task, method, service);                                                      \
    }                                                                                                              \
    VEXA_EXPORT int vexa_df_kernel_sDF##Name##CubicSpline1D(DfTask* task, int64_t method,                        \
                                                            const ThreadingTable* service) {                     \
        return local_cubic<float, F>(task, method, service);                                                       \
    }
VEXA_DF_LOCAL(Akima, kAkima)
VEXA_DF_LOCAL(Bessel, kBessel)
VEXA_DF_LOCAL(Hermite, kHermite)
}
