// Default-family cubic splines: the caller gives the second derivatives at
// the inner points (ic[k] = M[k+1]); the end values come from the boundary
// conditions, and each piece follows from its two second derivatives.
// End values (our choices where the conditions do not give M directly): a
// free end 0; a second derivative bc; a first derivative d the M[0] of the
// end row 2 h M[0] + h M[1] = 6 (m[0] - d) (alike at the right); not-a-knot
// the M[0] that continues the third derivative through x[1]; periodic the
// common M[0] = M[n-1] that makes the first derivative continuous across the
// seam.
#include <cstdint>

#include "data_fitting/construct.h"
#include "vexa/service.h"

namespace {

using namespace vexa::df;

template <class T, class Lay, int B> int default_kernel(DfTask* t, const ThreadingTable* tt) {
    const int64_t n = t->nx, ny = functions(t);
    constexpr int b = B;
    const Grid<T> g(t, Lay::uniform_grid);
    const Coefficients<T> c{t};
    const T* ic = static_cast<const T*>(t->ic);
    const T* bc = static_cast<const T*>(t->bc);
    // One work array of 3 n - 2 values per worker: widths, slopes, second derivatives.
    const int threads = caller_threads(tt);
    const int workers = ny > 1 && n * ny >= 4096 && threads > 1 ? threads : 1;
    Buffer<T> work;
    if (!work.allocate((3 * n - 2) * workers)) return VEXA_DF_MEMORY;
    auto body = [&](int64_t j, int thread) {
        T* h = work.p + (3 * n - 2) * (thread < workers ? thread : 0);
        T* m = h + (n - 1);
        T* M = m + (n - 1);
        const Row<T> y(t, j, Lay::cols);
        widths(g, h, n);
        slopes(y, h, m, n, g.uniform);
        for (int64_t k = 0; k + 2 < n; ++k) M[k + 1] = ic[k];
        if constexpr (b == kPeriodic) {
            M[0] = M[n - 1] = -(T(6) * (m[n - 2] - m[0]) + h[0] * M[1] + h[n - 2] * M[n - 2]) / (T(2) * (h[0] + h[n - 2]));
        } else {
            if (b == kNotAKnot) M[0] = ((h[0] + h[1]) * M[1] - h[0] * M[2]) / h[1];
            else if (left_first(b)) M[0] = (T(6) * (m[0] - bc[0]) / h[0] - M[1]) / T(2);
            else if (left_second(b)) M[0] = bc[0];
            else M[0] = T(0);
            if (b == kNotAKnot) M[n - 1] = ((h[n - 3] + h[n - 2]) * M[n - 2] - h[n - 2] * M[n - 3]) / h[n - 3];
            else if (right_first(b)) M[n - 1] = (T(6) * (bc[1] - m[n - 2]) / h[n - 2] - M[n - 2]) / T(2);
            else if (right_second(b)) M[n - 1] = bc[1];
            else M[n - 1] = T(0);
        }
        write_pieces<T, true>(c.piece(j, 0), t->s_order, y, M, FromArrays<T>{m, h}, n);
    };
    for_functions(t, tt, workers > 1, body, workers);
    return VEXA_DF_OK;
}

#define VEXA_DF_DEFAULT_KERNEL(S, G, Bc)                                                              \
    template <class T> int _v1DCSDefault##S##G##Bc(DfTask* t, const ThreadingTable* tt) {            \
        return default_kernel<T, Layout<k##S, k##G>, k##Bc>(t, tt);                                   \
    }
VEXA_DF_LAYOUTS_BOUNDARIES(VEXA_DF_DEFAULT_KERNEL)
#define VEXA_DF_DEFAULT_ENTRY(S, G, Bc) _v1DCSDefault##S##G##Bc<T>,
template <class T> constexpr Kernel kDefaultKernels[] = {VEXA_DF_LAYOUTS_BOUNDARIES(VEXA_DF_DEFAULT_ENTRY)};

template <class T> int default_cubic(DfTask* t, int64_t, const ThreadingTable* tt) {
    if (t == nullptr) return VEXA_DF_NO_TASK;
    if (t->nx < 3) return VEXA_DF_BAD_NX;
    if (const int st = boundary_checks(t, false)) return st;
    if (t->ic == nullptr) return VEXA_DF_NO_IC;
    if (t->y_table == nullptr) return VEXA_DF_NO_Y;
    if (t->coeff_table == nullptr) return VEXA_DF_NO_COEFF;
    return kDefaultKernels<T>[7 * layout_index(t) + boundary_index(t->bc_type)](t, tt);
}

}  // namespace

extern "C" {
VEXA_EXPORT int vexa_df_kernel_dDFDefaultCubicSpline1D(DfTask* task, int64_t method, const ThreadingTable* service) {
    return default_cubic<double>(task, method, service);
}
VEXA_EXPORT int vexa_df_kernel_sDFDefaultCubicSpline1D(DfTask* task, int64_t method, const ThreadingTable* service) {
    return default_cubic<float>(task, method, service);
}
}
