// Quadratic splines. The standard spline (type 0) interpolates y[i], y[i+1]
// and a midpoint value w[i] per piece, the first midpoint given (bc[0]) and
// the others chosen so that the first derivative is continuous.
// The Subbotin spline (type 1) has its knots on a subgrid between the data
// points (see Subgrid): nx pieces, piece k through v[k] = s(t[k]), the data
// y[k] at x[k] inside it, and v[k+1]; its first derivative is continuous at
// the inner knots. The unknown knot values v[1..nx-1] solve one tridiagonal
// system per function (the end values are the data: t[0] = x[0], t[nx] =
// x[nx-1]); the end pieces take the boundary conditions (a first or second
// derivative at each end) as their third condition. Pieces hold c0 + c1 u +
// c2 u^2 with u = s - t[k]. Boundary types 1, 2 and 64 have no Subbotin
// kernel: -1014.
#include <cstdint>

#include "data_fitting/construct.h"
#include "vexa/service.h"

namespace {

using namespace vexa::df;

constexpr int64_t kFrameMidpoints = 4095;

template <class T, class L> int standard(DfTask* t, const ThreadingTable* tt) {
    const int64_t nx = t->nx;
    const Grid<T> g(t, L::uniform_grid);
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
        const Row<T> y(t, j, L::cols);
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

// An inner piece through (0, v0), (a, y) and (H, v1): its coefficients B, C.
template <class T> VEXA_INLINE void through(T v0, T y, T v1, T a, T H, T& B, T& C) {
    const T p = y - v0, r = v1 - v0;
    C = (r * a - p * H) / (a * H * (H - a));
    B = p / a - C * a;
}

template <class T, class Lay, bool UniformSubgrid, int Pair> int subbotin(DfTask* t, const ThreadingTable* tt) {
    const int64_t n = t->nx;
    const Grid<T> g(t, Lay::uniform_grid);
    Subgrid<T> sg(t, g);
    sg.ic_type = UniformSubgrid ? sg.ic_type | 4 : sg.ic_type & ~int64_t(4);
    if (!(t->ic_type & 4) && t->ic == nullptr) return VEXA_DF_NO_IC;
    for (int64_t k = 1; k < n; ++k)
        if (!(sg.knot(k) > g.at(k - 1) && sg.knot(k) < g.at(k))) return VEXA_DF_BAD_IC_TYPE;
    const T* bc = static_cast<const T*>(t->bc);
    constexpr bool left1 = left_first(Pair), right1 = right_first(Pair);
    int status = VEXA_DF_OK;
    auto body = [&](int64_t j, int) {
        Buffer<T> work;  // three diagonals and the right-hand side of the n - 1 knot values
        const int64_t N = n - 1;
        if (!work.allocate(4 * N)) {
            __atomic_store_n(&status, VEXA_DF_MEMORY, __ATOMIC_RELAXED);
            return;
        }
        T *dl = work.p, *d = dl + N, *du = d + N, *r = du + N;
        const Row<T> y(t, j, Lay::cols);
        const T v0 = y[0], vn = y[n - 1];
        // The slope at the right end of piece k and at the left end of piece
        // k + 1, as a v[k] + b v[k+1] + e (end pieces: with their conditions).
        struct Lin {
            T a, b, e;
        };
        auto right_slope = [&](int64_t k) -> Lin {
            const T H = sg.knot(k + 1) - sg.knot(k);
            if (k == 0) return left1 ? Lin{-T(2) / H, T(2) / H, -bc[0]} : Lin{-T(1) / H, T(1) / H, bc[0] * H / T(2)};
            // Linear in (v[k], v[k+1], y[k]): evaluate on unit vectors.
            const T a = g.at(k) - sg.knot(k);
            T B, C;
            Lin out;
            through(T(1), T(0), T(0), a, H, B, C), out.a = B + T(2) * C * H;
            through(T(0), T(0), T(1), a, H, B, C), out.b = B + T(2) * C * H;
            through(T(0), y[k], T(0), a, H, B, C), out.e = B + T(2) * C * H;
            return out;
        };
        auto left_slope = [&](int64_t k) -> Lin {
            const T H = sg.knot(k + 1) - sg.knot(k);
            if (k == n - 1) return right1 ? Lin{-T(2) / H, T(2) / H, -bc[1]} : Lin{-T(1) / H, T(1) / H, -bc[1] * H / T(2)};
            const T a = g.at(k) - sg.knot(k);
            T B, C;
            Lin out;
            through(T(1), T(0), T(0), a, H, B, C), out.a = B;
            through(T(0), T(0), T(1), a, H, B, C), out.b = B;
            through(T(0), y[k], T(0), a, H, B, C), out.e = B;
            return out;
        };
        // Knot k (1..n-1): right slope of piece k-1 = left slope of piece k; unknown v[k] at row k-1.
        for (int64_t k = 1; k < n; ++k) {
            const Lin L = right_slope(k - 1), R = left_slope(k);
            const int64_t row = k - 1;
            d[row] = L.b - R.a;
            T rhs = R.e - L.e;
            if (k - 1 >= 1) dl[row - 1] = L.a;
            else rhs -= L.a * v0;
            if (k + 1 <= n - 1) du[row] = -R.b;
            else rhs += R.b * vn;
            r[row] = rhs;
        }
        int info = 0;
        Tridiagonal<T>::factor_solve(int(N), dl, d, du, r, &info);
        if (info != 0) {
            __atomic_store_n(&status, VEXA_DF_SOLVER, __ATOMIC_RELAXED);
            return;
        }
        auto v = [&](int64_t k) { return k == 0 ? v0 : k == n ? vn : r[k - 1]; };
        for (int64_t k = 0; k < n; ++k) {
            const T H = sg.knot(k + 1) - sg.knot(k), vk = v(k), vk1 = v(k + 1);
            T B, C;
            if (k == 0 && left1) B = bc[0], C = (vk1 - vk - B * H) / (H * H);
            else if (k == 0) C = bc[0] / T(2), B = (vk1 - vk) / H - bc[0] * H / T(2);
            else if (k == n - 1 && right1) C = (bc[1] * H - (vk1 - vk)) / (H * H), B = bc[1] - T(2) * C * H;
            else if (k == n - 1) C = bc[1] / T(2), B = (vk1 - vk) / H - bc[1] * H / T(2);
            else through(vk, y[k], vk1, g.at(k) - sg.knot(k), H, B, C);
            T* p = static_cast<T*>(t->coeff_table[j]) + k * 3;
            p[0] = vk, p[1] = B, p[2] = C;
        }
    };
    for_functions(t, tt, n * functions(t) >= 4096, body);
    return status;
}

#define VEXA_DF_STD_KERNEL(S, G) \
    template <class T> int _v1DQSStd##S##G(DfTask* t, const ThreadingTable* tt) { return standard<T, Layout<k##S, k##G>>(t, tt); }
VEXA_DF_LAYOUTS(VEXA_DF_STD_KERNEL)
#define VEXA_DF_STD_ENTRY(S, G) _v1DQSStd##S##G<T>,
template <class T> constexpr Kernel kStdKernels[] = {VEXA_DF_LAYOUTS(VEXA_DF_STD_ENTRY)};

// The Subbotin kernels by subgrid (NoUniform: the knots from ic; Uniform:
// the midpoints), layout and boundary pair.
#define VEXA_DF_SUBB_PAIRS(X, Sub, S, G) X(Sub, S, G, 1st1st) X(Sub, S, G, 1st2nd) X(Sub, S, G, 2nd1st) X(Sub, S, G, 2nd2nd)
#define VEXA_DF_SUBB_LAYOUTS(X, Sub)                                                                   \
    VEXA_DF_SUBB_PAIRS(X, Sub, YRows, NoUniformGrid) VEXA_DF_SUBB_PAIRS(X, Sub, YRows, UniformGrid)   \
    VEXA_DF_SUBB_PAIRS(X, Sub, YCols, NoUniformGrid) VEXA_DF_SUBB_PAIRS(X, Sub, YCols, UniformGrid)
#define VEXA_DF_SUBB_ALL(X) VEXA_DF_SUBB_LAYOUTS(X, NoUniform) VEXA_DF_SUBB_LAYOUTS(X, Uniform)
constexpr bool kSubgridNoUniform = false, kSubgridUniform = true;
#define VEXA_DF_SUBB_KERNEL(Sub, S, G, B)                                                                      \
    template <class T> int _v1DQSSubb##Sub##Subgrid##S##G##B(DfTask* t, const ThreadingTable* tt) {          \
        return subbotin<T, Layout<k##S, k##G>, kSubgrid##Sub, k##B>(t, tt);                                   \
    }
VEXA_DF_SUBB_ALL(VEXA_DF_SUBB_KERNEL)
#define VEXA_DF_SUBB_ENTRY(Sub, S, G, B) _v1DQSSubb##Sub##Subgrid##S##G##B<T>,
template <class T> constexpr Kernel kSubbKernels[] = {VEXA_DF_SUBB_ALL(VEXA_DF_SUBB_ENTRY)};

template <class T> int quadratic(DfTask* t, int64_t, const ThreadingTable* tt) {
    if (t == nullptr) return VEXA_DF_NO_TASK;
    if (!y_hint_ok(t->yhint)) return VEXA_DF_BAD_YHINT;
    if (t->s_type == 0) {
        if (t->bc_type != 128) return VEXA_DF_BAD_BC_TYPE;
        if (t->bc == nullptr) return VEXA_DF_NO_BC;
        if (t->y_table == nullptr) return VEXA_DF_NO_Y;
        if (t->coeff_table == nullptr) return VEXA_DF_NO_COEFF;
        return kStdKernels<T>[layout_index(t)](t, tt);
    }
    if (t->s_type == 1) {
        if (!(t->ic_type & 8)) return VEXA_DF_BAD_IC_TYPE;
        const int64_t b = t->bc_type;
        if (b != 12 && b != 36 && b != 24 && b != 48) return VEXA_DF_BAD_BC_TYPE;
        if (t->bc == nullptr) return VEXA_DF_NO_BC;
        if (t->y_table == nullptr) return VEXA_DF_NO_Y;
        if (t->coeff_table == nullptr) return VEXA_DF_NO_COEFF;
        const int pair = boundary_index(b) - k1st1st;  // 0 .. 3
        return kSubbKernels<T>[((t->ic_type & 4) ? 16 : 0) + 4 * layout_index(t) + pair](t, tt);
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
