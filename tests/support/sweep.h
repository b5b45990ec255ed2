// Input sweeps over a function's domain and the measured accuracy of a kernel
// on them. Inputs come from a fixed-seed generator of our own, so both ABIs
// see the same values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/oracle.h"

namespace vexa::test {

// splitmix64: a small deterministic generator.
class Rng {
public:
    explicit Rng(uint64_t seed) : s_(seed) {}
    uint64_t next() {
        uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return double(next() >> 11) * 0x1p-53; }  // [0, 1)

private:
    uint64_t s_;
};

// `count` inputs for f: log-uniform magnitudes over every binade of the domain,
// dense sampling where the function is delicate (near 1 for Ln; near the
// overflow and underflow thresholds for Exp), and the special values.
template <class T> std::vector<T> sweep_inputs(Fn f, std::size_t count, uint64_t seed);

struct Accuracy {
    double max_ulp = 0;
    double worst_x = 0;
    double worst_y = 0;  // second argument of two-argument functions
    double min_bits = 1000;
    double min_bits_x = 0;
    std::size_t count = 0;
};

// Runs kernel k over x (with errors ignored) and measures every result.
template <class T> Accuracy measure(Fn f, void (*k)(int, const T*, T*), const std::vector<T>& x);

template <class T>
Accuracy measure(Fn f, void (*k)(int, const T*, const T*, T*), const std::vector<T>& x, const std::vector<T>& y);

// FNV-1a digest of the kernel's results on x: equal digests on both ABIs mean
// bit-identical results.
template <class T> uint64_t digest(void (*k)(int, const T*, T*), const std::vector<T>& x);
template <class T> uint64_t digest(void (*k)(int, const T*, const T*, T*), const std::vector<T>& x, const std::vector<T>& y);

struct SlotKernel;
// The digest of a slot's kernel on `count` inputs of its domain (pairs for
// two-argument functions).
uint64_t digest_slot(const SlotKernel& k, std::size_t count);

// A slot's kernel over its domain sweep (`samples` inputs, seed by slot; for
// two arguments, two sweeps of the domain) and, for double kernels, over the
// function's hard-to-round arguments.
Accuracy measure_slot(const SlotKernel& k, std::size_t samples);
// A float slot's kernel over every input (all 2^32 bit patterns) on `threads`
// threads: errors against the double reference of its function (an upper
// bound where the binade is in doubt), and every error within reach of the
// largest, and every result the reference cannot judge (beyond the float
// range), settled by the oracle. The maximum is therefore the oracle's, over
// all inputs.
Accuracy exhaustive_float(const SlotKernel& k, int threads);

}  // namespace vexa::test
