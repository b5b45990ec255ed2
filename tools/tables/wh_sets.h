// The rule of the Wichmann-Hill parameter sets: four primes below 2^24 a set,
// all distinct, each with a multiplier below 128 that is a primitive root of
// its modulus (so that every component has the full period m - 1 and a x
// stays below 2^31). Sets 0, 1 and 272 are given; the others take, in
// order, the next primes below those of set 1, passing over the primes of set
// 272, each with its largest primitive root below 128.
#pragma once

#include <cstdint>
#include <vector>

namespace vexa::tools {

inline bool is_prime(uint32_t n) {
    if (n < 2) return false;
    for (uint32_t d = 2; d * d <= n; ++d)
        if (n % d == 0) return false;
    return true;
}

inline uint64_t pow_mod(uint64_t a, uint64_t n, uint64_t m) {
    uint64_t r = 1 % m;
    for (a %= m; n; n >>= 1, a = a * a % m)
        if (n & 1) r = r * a % m;
    return r;
}

inline bool is_primitive_root(uint32_t a, uint32_t m) {
    if (a % m == 0) return false;
    uint32_t rest = m - 1;
    for (uint32_t q = 2; q * q <= rest; ++q) {
        if (rest % q) continue;
        if (pow_mod(a, (m - 1) / q, m) == 1) return false;
        while (rest % q == 0) rest /= q;
    }
    return rest == 1 || pow_mod(a, (m - 1) / rest, m) != 1;
}

struct WhSet {
    uint32_t m[4];
    uint32_t a[4];
};

constexpr WhSet kGivenSets[3] = {
    {{16770647, 16770643, 16770623, 16770617}, {125, 117, 127, 126}},
    {{16770311, 16770283, 16770263, 16770209}, {127, 126, 125, 123}},
    {{16766363, 16766359, 16766327, 16766231}, {126, 127, 125, 124}},
};

inline uint32_t largest_root_below_128(uint32_t m) {
    for (uint32_t a = 127; a >= 2; --a)
        if (is_primitive_root(a, m)) return a;
    return 0;
}

// All 273 sets by the rule.
inline std::vector<WhSet> wh_sets() {
    std::vector<WhSet> sets(273);
    sets[0] = kGivenSets[0], sets[1] = kGivenSets[1], sets[272] = kGivenSets[2];
    auto given = [](uint32_t p) {
        for (const WhSet& s : kGivenSets)
            for (uint32_t m : s.m)
                if (m == p) return true;
        return false;
    };
    uint32_t p = kGivenSets[1].m[3];
    for (int set = 2; set < 272; ++set)
        for (int c = 0; c < 4; ++c) {
            do --p;
            while (!is_prime(p) || given(p) || largest_root_below_128(p) == 0);
            sets[std::size_t(set)].m[c] = p;
            sets[std::size_t(set)].a[c] = largest_root_below_128(p);
        }
    return sets;
}

}  // namespace vexa::tools
