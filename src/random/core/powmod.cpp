// Modular powers by binary exponentiation (square and multiply, low bit
// first), and the jump of a third-order linear recurrence by n steps.
#include <cstdint>

#include "common/export.h"
#include "vexa/random.h"

namespace {

// The companion matrix of x_t = r0 x_{t-1} + r1 x_{t-2} + r2 x_{t-3} (mod m),
// acting on the state (x_{t-3}, x_{t-2}, x_{t-1}).
struct Matrix {
    uint64_t e[3][3];
};

Matrix multiply(const Matrix& a, const Matrix& b, uint64_t m) {
    Matrix c{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            uint64_t s = 0;
            for (int k = 0; k < 3; ++k) s += a.e[i][k] * b.e[k][j] % m;  // each term below 2^32
            c.e[i][j] = s % m;
        }
    return c;
}

}  // namespace

extern "C" {

VEXA_EXPORT uint32_t __tqriPowMod(uint32_t a, uint64_t n, uint32_t m) {
    uint64_t result = 1 % m, base = a % m;
    for (; n != 0; n >>= 1) {
        if (n & 1) result = result * base % m;
        base = base * base % m;
    }
    return uint32_t(result);
}

VEXA_EXPORT uint32_t __tqriPowMod2P31M1(uint32_t a, uint64_t n) { return __tqriPowMod(a, n, 0x7FFFFFFFu); }

VEXA_EXPORT uint64_t __tqriPowMod2P59(uint64_t a, uint64_t n) {
    constexpr uint64_t kMask = (uint64_t(1) << 59) - 1;
    uint64_t result = 1, base = a & kMask;
    for (; n != 0; n >>= 1) {
        if (n & 1) result = result * base & kMask;
        base = base * base & kMask;
    }
    return result;
}

VEXA_EXPORT void __tqriVect3PowMod(uint32_t v[3], const uint32_t row[3], uint32_t m, uint64_t n) {
    Matrix step{{{0, 1, 0}, {0, 0, 1}, {row[2] % m, row[1] % m, row[0] % m}}};
    Matrix power{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    for (; n != 0; n >>= 1) {
        if (n & 1) power = multiply(power, step, m);
        step = multiply(step, step, m);
    }
    uint64_t out[3];
    for (int i = 0; i < 3; ++i) {
        uint64_t s = 0;
        for (int k = 0; k < 3; ++k) s += power.e[i][k] * v[k] % m;
        out[i] = s % m;
    }
    for (int i = 0; i < 3; ++i) v[i] = uint32_t(out[i]);
}

}  // extern "C"
