// Running moments of a set of variables: the arrays one thread keeps (means,
// raw moments, central sums, the upper triangle of the cross products, the
// weight sums W and W2), how they are laid out in one block, and the merge of
// two partial states into one. Basic statistics keep one per thread and merge
// threads 1..T-1 into thread 0 in order.
#pragma once

#include <cstdint>

#include "common/export.h"

namespace vexa::ss::moments {

// What the kernels maintain: bits of the state arrays.
enum : uint32_t { sMean = 1, sRaw2 = 2, sRaw3 = 4, sRaw4 = 8, sM2 = 16, sM3 = 32, sM4 = 64, sCP = 128 };

template <class T> struct State {
    T* mean;
    T* raw[5];  // raw[2..4]
    T* m[5];    // m[2..4]: central sums
    T* scratch;  // p values: deviations of one observation, the diagonal for the correlation
    T* cp;       // p*p or null
    T acc[2];    // W, W2
};

// Arrays of P values each: a multiple of 16, so that every array starts aligned,
// with room for a whole register read from the last variable on.
VEXA_INLINE int64_t padded(int64_t p) { return (p + 15) / 16 * 16 + 16; }
constexpr int kArrays = 8;  // mean, raw2..4, m2..4, scratch

template <class T> VEXA_INLINE void bind(State<T>& s, T* base, int64_t p, bool cp) {
    const int64_t P = padded(p);
    s.mean = base;
    for (int k = 2; k <= 4; ++k) s.raw[k] = base + P * (k - 1);
    for (int k = 2; k <= 4; ++k) s.m[k] = base + P * (k + 2);
    s.scratch = base + P * 7;
    s.cp = cp ? base + P * kArrays : nullptr;
    s.acc[0] = s.acc[1] = T(0);
}
template <class T> VEXA_INLINE int64_t state_values(int64_t p, bool cp) {
    return padded(p) * kArrays + (cp ? padded(p * p) : 0);
}

// Folds partial B into total A (in that order: CP, M4, M3, M2, means).
template <class T> void merge(State<T>& A, const State<T>& B, int64_t p, int64_t v0, int64_t v1, uint32_t bits) {
    const T WA = A.acc[0], WB = B.acc[0];
    if (WB == T(0)) return;
    const T W = WA + WB, c = WA == T(0) ? T(0) : WA * WB / W;
    const T fa = WA / W, fb = WB / W;
    for (int64_t i = v0; i < v1; ++i) A.scratch[i] = B.mean[i] - A.mean[i];
    const T* d = A.scratch;
    if (bits & sCP)
        for (int64_t i = v0; i < v1; ++i)
            for (int64_t j = i; j < v1; ++j) A.cp[i * p + j] += B.cp[i * p + j] + c * d[i] * d[j];
    for (int64_t i = v0; i < v1; ++i) {
        const T di = d[i], d2 = di * di;
        if (bits & sM4)
            A.m[4][i] += B.m[4][i] + d2 * d2 * WA * WB * (WA * WA - WA * WB + WB * WB) / (W * W * W) +
                         T(6) * d2 * (WA * WA * B.m[2][i] + WB * WB * A.m[2][i]) / (W * W) +
                         T(4) * di * (WA * B.m[3][i] - WB * A.m[3][i]) / W;
        if (bits & sM3)
            A.m[3][i] += B.m[3][i] + d2 * di * WA * WB * (WA - WB) / (W * W) +
                         T(3) * di * (WA * B.m[2][i] - WB * A.m[2][i]) / W;
        if (bits & sM2) A.m[2][i] += B.m[2][i] + c * d2;
        A.mean[i] = fa * A.mean[i] + fb * B.mean[i];
        for (int k = 2; k <= 4; ++k)
            if (bits & (sRaw2 << (k - 2))) A.raw[k][i] = fa * A.raw[k][i] + fb * B.raw[k][i];
    }
    A.acc[0] = W;
    A.acc[1] += B.acc[1];
}

}  // namespace vexa::ss::moments
