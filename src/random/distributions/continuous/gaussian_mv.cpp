// Multivariate Gaussian: n vectors x = a + T z of dimension d, z standard
// normal by the Gaussian method of the method word, T the caller's factor:
//
//   full      x = T'z, T upper triangular in a d x d column-major array (the
//             lower triangle is not read). For d > 10 one BLAS trmm over the
//             d x n matrix of normals; for d <= 10 our own loop, a vector at
//             a time, from the last component down so that it runs in place.
//   packed    x = L z, L lower triangular packed by columns.
//   diagonal  x_j = T_j z_j.
//
// The logarithm callback is installed for the whole call (the Gaussian
// installs its own around its part). d = 1 is the univariate Gaussian with
// mean a[0] and deviation T[0]. An
// unknown storage code leaves the normals as drawn. Normals are drawn in
// pieces of whole vectors, so n d may exceed the range of an int.
#include "random/distributions/frame.h"
#include "vexa/service.h"

namespace vexa::rng::dist {
namespace {

constexpr int kSmallDimension = 10;  // the largest d without BLAS

template <class T> void trmm(int d, int count, const T* t, T* x) {
    const T one = T(1);
    if constexpr (sizeof(T) == 8) vexa_blas_xdtrmm("L", "U", "T", "N", &d, &count, &one, t, &d, x, &d);
    else vexa_blas_xstrmm("L", "U", "T", "N", &d, &count, &one, t, &d, x, &d);
}

// x = T'z for upper-triangular column-major T: x_j = sum_{i <= j} T(i, j) z_i.
template <class T> void upper_transposed(int d, int count, const T* t, T* x) {
    for (int v = 0; v < count; ++v, x += d)
        for (int j = d - 1; j >= 0; --j) {
            const T* col = t + std::size_t(j) * std::size_t(d);
            T sum = col[j] * x[j];
            for (int i = 0; i < j; ++i) sum = __builtin_fma(col[i], x[i], sum);
            x[j] = sum;
        }
}

// x = L z for L lower triangular packed by columns: L(i, j) at
// j (2d - j - 1) / 2 + i for i >= j.
template <class T> void lower_packed(int d, int count, const T* l, T* x) {
    for (int v = 0; v < count; ++v, x += d)
        for (int i = d - 1; i >= 0; --i) {
            T sum = T(0);
            std::size_t at = std::size_t(i);  // L(i, 0)
            for (int j = 0; j <= i; ++j) {
                sum = __builtin_fma(l[at], x[j], sum);
                at += std::size_t(d - j - 1);
            }
            x[i] = sum;
        }
}

template <class T> int gaussian(int method, StreamState* s, int n, T* r, T a, T sigma) {
    if constexpr (sizeof(T) == 8) return _tqrdRngGaussian(method, s, n, r, a, sigma);
    else return _tqrsRngGaussian(method, s, n, r, a, sigma);
}

template <class T> int gaussian_mv(int method, StreamState* s, int n, T* r, int d, int storage, const T* a, const T* t) {
    Frame frame(Consts<T>::kLnCallBack);
    if (d == 1) return gaussian(method, s, n, r, a[0], t[0]);
    if (n <= 0 || d <= 0) return gaussian(method, s, 0, r, T(0), T(1));
    // Vectors per piece: as many as keep the piece's values within an int.
    const int per_piece = d > (1 << 30) ? 1 : (1 << 30) / d;
    int st = VEXA_RNG_OK;
    for (int done = 0; done < n;) {
        const int count = n - done < per_piece ? n - done : per_piece;
        T* x = r + std::size_t(done) * std::size_t(d);
        if ((st = gaussian(method, s, count * d, x, T(0), T(1))) < 0) return st;
        done += count;
        switch (storage) {
            case VEXA_RNG_MV_FULL:
                if (d > kSmallDimension) trmm(d, count, t, x);
                else upper_transposed(d, count, t, x);
                break;
            case VEXA_RNG_MV_PACKED: lower_packed(d, count, t, x); break;
            case VEXA_RNG_MV_DIAGONAL:
                for (int v = 0; v < count; ++v)
                    for (int j = 0; j < d; ++j) x[std::size_t(v) * std::size_t(d) + std::size_t(j)] *= t[j];
                break;
            default: continue;  // the normals as drawn
        }
        for (int v = 0; v < count; ++v)
            for (int j = 0; j < d; ++j) x[std::size_t(v) * std::size_t(d) + std::size_t(j)] += a[j];
    }
    return st;
}

}  // namespace
}  // namespace vexa::rng::dist

extern "C" {
VEXA_EXPORT int _tqrdRngGaussianMV(int method, StreamState* s, int n, double* r, int d, int storage, const double* a,
                                   const double* t) {
    return vexa::rng::dist::gaussian_mv(method, s, n, r, d, storage, a, t);
}
VEXA_EXPORT int _tqrsRngGaussianMV(int method, StreamState* s, int n, float* r, int d, int storage, const float* a,
                                   const float* t) {
    return vexa::rng::dist::gaussian_mv(method, s, n, r, d, storage, a, t);
}
}
