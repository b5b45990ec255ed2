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
// the third derivative through x[1] (x[n-2]), with three points the one
// cubic through them with the derivative d[1]; periodic, d[0] = d[n-1] by the
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

// The end-point rules: d[0] (Left) or d[n-1] (Right) from the widths h, the
// slopes m, the inner derivatives d next to the end and the end's boundary
// value v.
template <class T> struct Ends {
    const T *h, *m, *d;
    int64_t n;
};
template <class T> T _vCubicSpline1DBCNotSetLeft(const Ends<T>& e) { return (T(3) * e.m[0] - e.m[1]) / T(2); }
template <class T> T _vCubicSpline1DBCNotSetRight(const Ends<T>& e) {
    return (T(3) * e.m[e.n - 2] - e.m[e.n - 3]) / T(2);
}
template <class T> T _vCubicSpline1DBCNotAKnotLeft(const Ends<T>& e) {
    const T r = e.h[0] / e.h[1];
    return T(2) * e.m[0] - e.d[1] + r * r * (e.d[1] + e.d[2] - T(2) * e.m[1]);
}
template <class T> T _vCubicSpline1DBCNotAKnotRight(const Ends<T>& e) {
    const int64_t n = e.n;
    const T r = e.h[n - 2] / e.h[n - 3];
    return T(2) * e.m[n - 2] - e.d[n - 2] + r * r * (e.d[n - 3] + e.d[n - 2] - T(2) * e.m[n - 3]);
}
template <class T> T _vCubicSpline1DBC2ndDerLeft(const Ends<T>& e, T v) {
    return (T(3) * e.m[0] - e.d[1]) / T(2) - e.h[0] * v / T(4);
}
template <class T> T _vCubicSpline1DBC2ndDerRight(const Ends<T>& e, T v) {
    return (T(3) * e.m[e.n - 2] - e.d[e.n - 2]) / T(2) + e.h[e.n - 2] * v / T(4);
}
template <class T> T _vCubicSpline1DBCFreeEndLeft(const Ends<T>& e) { return _vCubicSpline1DBC2ndDerLeft(e, T(0)); }
template <class T> T _vCubicSpline1DBCFreeEndRight(const Ends<T>& e) { return _vCubicSpline1DBC2ndDerRight(e, T(0)); }
template <class T> T _vCubicSpline1DBC1stDerLeft(const Ends<T>&, T v) { return v; }
template <class T> T _vCubicSpline1DBC1stDerRight(const Ends<T>&, T v) { return v; }
// Across the seam: the slopes of the last pieces before it and of the first
// after it, by the family's inner rule; both ends get the same derivative.
template <class T, Family F> T seam(const Ends<T>& e) {
    const int64_t n = e.n;
    if constexpr (F == kAkima) return akima(e.m[n - 3], e.m[n - 2], e.m[0], e.m[1]);
    else return (e.h[0] * e.m[n - 2] + e.h[n - 2] * e.m[0]) / (e.h[0] + e.h[n - 2]);
}
template <class T, Family F> T _vCubicSpline1DBCPeriodicLeft(const Ends<T>& e) { return seam<T, F>(e); }
template <class T, Family F> T _vCubicSpline1DBCPeriodicRight(const Ends<T>& e) { return seam<T, F>(e); }

template <class T, Family F, class Lay> int local_kernel(DfTask* t, const ThreadingTable* tt, int b) {
    const int64_t n = t->nx, ny = functions(t);
    const Grid<T> g(t, Lay::uniform_grid);
    const Coefficients<T> c{t};
    const T* bc = static_cast<const T*>(t->bc);
    const T* ic = static_cast<const T*>(t->ic);
    const int threads = caller_threads(tt);
    const int workers = ny > 1 && n * ny >= 4096 && threads > 1 ? threads : 1;
    Buffer<T> work;  // widths, slopes and derivatives per worker
    if (!work.allocate((3 * n) * workers)) return VEXA_DF_MEMORY;
    auto body = [&](int64_t j, int thread) {
        T* h = work.p + 3 * n * (thread < workers ? thread : 0);
        T* m = h + n;
        T* d = m + n;
        const Row<T> y(t, j, Lay::cols);
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
        const Ends<T> e{h, m, d, n};
        switch (b) {
            case kNotSet:
                d[0] = _vCubicSpline1DBCNotSetLeft(e), d[n - 1] = _vCubicSpline1DBCNotSetRight(e);
                break;
            case kPeriodic:
                d[0] = _vCubicSpline1DBCPeriodicLeft<T, F>(e), d[n - 1] = _vCubicSpline1DBCPeriodicRight<T, F>(e);
                break;
            case kNotAKnot:
                if (n == 3) {
                    // Both conditions sit at x[1]: one cubic over the two pieces,
                    // through the three points with the derivative d[1].
                    const T P = (d[1] - m[0]) / h[0], Q = (m[1] - d[1]) / h[1];
                    const T b3 = (Q - P) / (h[0] + h[1]), a2 = P + b3 * h[0];
                    d[0] = d[1] - T(2) * a2 * h[0] + T(3) * b3 * h[0] * h[0];
                    d[2] = d[1] + T(2) * a2 * h[1] + T(3) * b3 * h[1] * h[1];
                } else {
                    d[0] = _vCubicSpline1DBCNotAKnotLeft(e), d[n - 1] = _vCubicSpline1DBCNotAKnotRight(e);
                }
                break;
            case kFreeEnd:
                d[0] = _vCubicSpline1DBCFreeEndLeft(e), d[n - 1] = _vCubicSpline1DBCFreeEndRight(e);
                break;
            default:
                d[0] = left_first(b) ? _vCubicSpline1DBC1stDerLeft(e, bc[0]) : _vCubicSpline1DBC2ndDerLeft(e, bc[0]);
                d[n - 1] = right_first(b) ? _vCubicSpline1DBC1stDerRight(e, bc[1]) : _vCubicSpline1DBC2ndDerRight(e, bc[1]);
        }
        write_pieces<T, false>(c.piece(j, 0), t->s_order, y, d, FromArrays<T>{m, h}, n);
    };
    for_functions(t, tt, workers > 1, body, workers);
    return VEXA_DF_OK;
}

// The kernels of each family by layout, the boundary index an argument.
using LocalKernel = int (*)(DfTask*, const ThreadingTable*, int);
#define VEXA_DF_LOCAL_KERNELS(Name, F)                                                                        \
    VEXA_DF_LOCAL_KERNEL(Name, F, YRows, NoUniformGrid) VEXA_DF_LOCAL_KERNEL(Name, F, YRows, UniformGrid)    \
    VEXA_DF_LOCAL_KERNEL(Name, F, YCols, NoUniformGrid) VEXA_DF_LOCAL_KERNEL(Name, F, YCols, UniformGrid)    \
    template <class T>                                                                                       \
    constexpr LocalKernel k##Name##Kernels[] = {_v1DCS##Name##YRowsNoUniformGrid<T>, _v1DCS##Name##YRowsUniformGrid<T>, \
                                                _v1DCS##Name##YColsNoUniformGrid<T>, _v1DCS##Name##YColsUniformGrid<T>};
#define VEXA_DF_LOCAL_KERNEL(Name, F, S, G)                                                                   \
    template <class T> int _v1DCS##Name##S##G(DfTask* t, const ThreadingTable* tt, int b) {                  \
        return local_kernel<T, F, Layout<k##S, k##G>>(t, tt, b);                                             \
    }
VEXA_DF_LOCAL_KERNELS(Akima, kAkima)
VEXA_DF_LOCAL_KERNELS(Bessel, kBessel)
VEXA_DF_LOCAL_KERNELS(Hermite, kHermite)

template <class T, Family F> int local_cubic(DfTask* t, int64_t, const ThreadingTable* tt) {
    if (t == nullptr) return VEXA_DF_NO_TASK;
    const int64_t min_points = F == kAkima ? 5 : F == kBessel ? 4 : 3;
    if (t->nx < min_points) return VEXA_DF_BAD_NX;
    if (const int st = boundary_checks(t, true)) return st;
    if (F == kHermite && t->ic == nullptr) return VEXA_DF_NO_IC;
    if (t->y_table == nullptr) return VEXA_DF_NO_Y;
    if (t->coeff_table == nullptr) return VEXA_DF_NO_COEFF;
    const LocalKernel* table = F == kAkima ? kAkimaKernels<T> : F == kBessel ? kBesselKernels<T> : kHermiteKernels<T>;
    return table[layout_index(t)](t, tt, boundary_index(t->bc_type));
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
