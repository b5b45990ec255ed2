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

namespace vexa::tools {

// The dimensions of equidistribution k(1), ..., k(32) of the top v bits of the
// tempered outputs of the set (a, b, c) (k[0] unused), by the lattice method:
// with the characteristic polynomial P irreducible, bit j of the output is a
// sequence h_j / P (h_j of degree below 2203), and the top v bits of k
// successive outputs are equidistributed exactly when the z^i h_j (i < k,
// j < v) are independent modulo P, that is when every nonzero
// (c_0, ..., c_(v-1)) with sum c_j h_j = 0 mod P has an entry of degree at
// least k. k(v) is the least such degree: the degree of a shortest vector of
// that lattice, read off a basis reduced to weak Popov form (Mulders and
// Storjohann), extended by one dimension per bit.
struct Equidistribution {
    int k[33];
    int deficit;  // sum over v of floor(2203 / v) - k(v)
};
Equidistribution mt2203_equidistribution(uint32_t a, uint32_t b, uint32_t c);

// The tempering masks for the constant a, chosen for equidistribution: b
// over bits 31..7 and c over bits 31..15 (the shifts by 7 and 15 make the
// others void). Output bit q depends only on b_q, c_q and b_(q-15) (and on
// bit q + 18 below bit 14), so the bit positions from the top down each
// decide the mask bits first met there, every candidate setting costing one
// more dimension of the lattice; a beam of the 8 best partial masks (by the
// sum of k(v) so far) is carried down, and the best at the bottom is taken.
void mt2203_tempering(uint32_t a, uint32_t& b, uint32_t& c);

}  // namespace vexa::tools
