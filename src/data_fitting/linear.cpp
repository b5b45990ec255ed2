// Linear splines: piece i of every function is y[i] + (y[i+1] - y[i]) / h_i t.
#include <cstdint>

#include "data_fitting/construct.h"

namespace {

using namespace vexa::df;

template <class T, class L> int linear_kernel(DfTask* t, const ThreadingTable* tt) {
    const int64_t nx = t->nx, ny = functions(t);
    // Periodic: every function must close, before anything is written.
    if (t->bc_type == 64)
        for (int64_t j = 0; j < ny; ++j) {
            const Row<T> y(t, j, L::cols);
            if (!(y[0] == y[nx - 1])) return VEXA_DF_BAD_PERIODIC;
        }
    const T* x = xs<T>(t);
    const T scale = L::uniform_grid ? T(nx - 1) / (x[1] - x[0]) : T(0);
    const Coefficients<T> c{t};
    auto body = [&](int64_t j, int) {
        const Row<T> y(t, j, L::cols);
        T* out = c.piece(j, 0);
        for (int64_t i = 0; i + 1 < nx; ++i) {
            out[2 * i] = y[i];
            out[2 * i + 1] = L::uniform_grid ? (y[i + 1] - y[i]) * scale : (y[i + 1] - y[i]) / (x[i + 1] - x[i]);
        }
    };
    for_functions(t, tt, nx * ny >= 128, body);
    return VEXA_DF_OK;
}

#define VEXA_DF_LINEAR_KERNEL(S, G) \
    template <class T> int _v1DLSLinear##S##G(DfTask* t, const ThreadingTable* tt) { return linear_kernel<T, Layout<k##S, k##G>>(t, tt); }
VEXA_DF_LAYOUTS(VEXA_DF_LINEAR_KERNEL)
#define VEXA_DF_LINEAR_ENTRY(S, G) _v1DLSLinear##S##G<T>,
template <class T> constexpr Kernel kLinearKernels[] = {VEXA_DF_LAYOUTS(VEXA_DF_LINEAR_ENTRY)};

template <class T> int linear(DfTask* t, int64_t method, const ThreadingTable* tt) {
    if (t == nullptr) return VEXA_DF_NO_TASK;
    if (method != 0) return VEXA_DF_BAD_METHOD;
    if (t->nx < 2) return VEXA_DF_BAD_NX;
    if (!y_hint_ok(t->yhint)) return VEXA_DF_BAD_YHINT;
    if (t->y_table == nullptr) return VEXA_DF_NO_Y;
    if (t->coeff_table == nullptr) return VEXA_DF_NO_COEFF;
    return kLinearKernels<T>[layout_index(t)](t, tt);
}

}  // namespace

extern "C" {
VEXA_EXPORT int vexa_df_kernel_dDFLinearSpline1D(DfTask* task, int64_t method, const ThreadingTable* service) {
    return linear<double>(task, method, service);
}
VEXA_EXPORT int vexa_df_kernel_sDFLinearSpline1D(DfTask* task, int64_t method, const ThreadingTable* service) {
    return linear<float>(task, method, service);
}
}
