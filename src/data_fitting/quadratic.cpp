// Quadratic splines. The standard spline (type 0) interpolates y[i], y[i+1]
// and a midpoint value w[i] per piece, the first midpoint given (bc[0]) and
// the others chosen so that the first derivative is continuous.
// The Subbotin spline (type 1) is not built yet: its entry checks run and a
// task that passes them is refused with -1002.
#include <cstdint>

#include "data_fitting/construct.h"
#include "vexa/service.h"

namespace {

using namespace vexa::df;

constexpr int64_t kFrameMidpoints = 4095;

template <class T> int standard(DfTask* t, const ThreadingTable* tt) {
    const int64_t nx = t->nx;
    const Grid<T> g(t);
    const Coefficients<T> c{t};
    const T first = static_cast<const T*>(t->bc)[0];
    int status = VEXA_DF_OK;
    auto body = [&](int64_t j, int) {
        // The midpoint values: in the frame for short partitions, else allocated.
        T frame[kFrameMidpoints + 1];
        T* w = frame;
        vexa::df::Buffer<T> heap;
        if (nx >= kFrameMidpoints) {
            if (!heap.allocate(nx + 1)) {
                __atomic_store_n(&status, VEXA_DF_MEMORY, __ATOMIC_RELAXED);
                return;
            }
            w = heap.p;
        }
        const Row<T> y(t, j);
        w[0] = first;
        for (int64_t i = 0; i + 2 < nx; ++i) {
            const T hi = g.width(i), hn = g.width(i + 1);
            w[i + 1] = T(0.25) * hn * ((T(3) * y[i + 1] + y[i]) / hi + (T(3) * y[i + 1] + y[i + 2]) / hn) - (hn / hi) * w[i];
        }
        for (int64_t i = 0; i + 1 < nx; ++i) {
            const T h = g.width(i);
            T* p = c.piece(j, i);
            p[0] = y[i];
            p[1] = (T(4) * w[i] - T(3) * y[i] - y[i + 1]) / h;
            p[2] = T(2) * (y[i] + y[i + 1] - T(2) * w[i]) / (h * h);
        }
    };
    for_functions(t, tt, nx * functions(t) >= 128, body);
    return status;
}

template <class T> int quadratic(DfTask* t, int64_t, const ThreadingTable* tt) {
    if (t == nullptr) return VEXA_DF_NO_TASK;
    if (!y_hint_ok(t->yhint)) return VEXA_DF_BAD_YHINT;
    if (t->s_type == 0) {
        if (t->bc_type != 128) return VEXA_DF_BAD_BC_TYPE;
        if (t->bc == nullptr) return VEXA_DF_NO_BC;
        if (t->y_table == nullptr) return VEXA_DF_NO_Y;
        if (t->coeff_table == nullptr) return VEXA_DF_NO_COEFF;
        return standard<T>(t, tt);
    }
    if (t->s_type == 1) {
        if (!(t->ic_type & 8)) return VEXA_DF_BAD_IC_TYPE;
        const int64_t b = t->bc_type;
        if (b == 12 || b == 36 || b == 24 || b == 48) return t->bc == nullptr ? VEXA_DF_NO_BC : VEXA_DF_BAD_METHOD;
        return VEXA_DF_BAD_BC_TYPE;  // 1, 2 and 64 have no Subbotin kernel either
    }
    return VEXA_DF_BAD_METHOD;
}

}  // namespace

extern "C" {
VEXA_EXPORT int vexa_df_kernel_dDFQuadraticSpline1D(DfTask* task, int64_t method, const ThreadingTable* service) {
    return quadratic<double>(task, method, service);
}
VEXA_EXPORT int vexa_df_kernel_sDFQuadraticSpline1D(DfTask* task, int64_t method, const ThreadingTable* service) {
    return quadratic<float>(task, method, service);
}
}
