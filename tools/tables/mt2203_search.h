// The search for MT2203 parameter sets: twist constants a of the 69-word,
// r = 5 twister whose characteristic polynomial (degree 2203, from the
// output bits by Berlekamp-Massey) is primitive. 2^2203 - 1 is a Mersenne
// prime, so a polynomial of degree 2203 is primitive exactly when it is
// irreducible, that is when x^(2^2203) = x modulo it. Candidates first pass
// a sieve: no factor of degree up to 24, from the gcd with the product of
// x^(2^k) - x, k <= 24.
#pragma once

#include <cstdint>
#include <vector>

namespace vexa::tools {

constexpr int kMt2203Words = 69, kMt2203Shift = 34, kMt2203Low = 5, kMt2203Degree = 2203;

// The characteristic polynomial of the twister with constant a, as dense
// coefficients (words_for(2204) words); returns its degree.
int mt2203_characteristic(uint32_t a, std::vector<uint64_t>& p);
// Whether the twister with constant a has the maximal period 2^2203 - 1.
bool mt2203_primitive(uint32_t a);
// The constant of set k found by the search (deterministic in k): the first
// candidate with the top bit set, from a counter-based stream keyed by k,
// that is primitive and not in `used`.
uint32_t mt2203_search(int k, const std::vector<uint32_t>& used);

}  // namespace vexa::tools
