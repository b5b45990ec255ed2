// GF(2) polynomial arithmetic: products and reductions against bit-by-bit
// definitions, both product paths (carry-less instruction and portable),
// both reductions (term by term and Barrett's), x^n mod p through its
// composition law, Berlekamp-Massey on a recurrence of known polynomial, and
// the twisters' committed characteristic polynomials: MT19937's irreducible
// (so the period is 2^19937 - 1), SFMT19937's equal to its authors'.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "random/core/gf2poly.h"
#include "support/sweep.h"
#include "vexa/random.h"
#include "vexa/service.h"

namespace {

using namespace vexa::rng::gf2;
using Poly = std::vector<Word>;

Poly random_poly(vexa::test::Rng& rng, int words) {
    Poly p(static_cast<std::size_t>(words));
    for (auto& w : p) w = (Word(rng.next()) << 32) | rng.next();
    return p;
}

Poly naive_mul(const Poly& a, const Poly& b) {
    Poly r(a.size() + b.size());
    for (int i = 0; i < 64 * int(a.size()); ++i)
        if (bit(a.data(), i))
            for (int j = 0; j < 64 * int(b.size()); ++j)
                if (bit(b.data(), j)) flip(r.data(), i + j);
    return r;
}

Poly naive_mod(Poly a, const std::vector<int32_t>& e) {
    const int n = e.back();
    for (int i = 64 * int(a.size()) - 1; i >= n; --i)
        if (bit(a.data(), i))
            for (int32_t x : e) flip(a.data(), i - n + x);
    a.resize(static_cast<std::size_t>(words_for(n)));
    return a;
}

std::vector<int32_t> exponents(const Word* p, int n) {
    std::vector<int32_t> e;
    for (int i = 0; i <= n; ++i)
        if (bit(p, i)) e.push_back(i);
    return e;
}

// One polynomial taken as a sparse list and as dense coefficients.
struct Reducer {
    Modulus m;
    Poly storage, scratch;
    Reducer(const std::vector<int32_t>& e, bool dense, bool clmul)
        : storage(modulus_words(e.back())), scratch(work_words(e.back()) + 2 * words_for(e.back() + 1)) {
        if (dense) {
            Poly p(static_cast<std::size_t>(words_for(e.back() + 1)));
            for (int32_t x : e) flip(p.data(), x);
            make_modulus_dense(m, storage.data(), p.data(), e.back(), scratch.data(), clmul);
        } else {
            make_modulus(m, storage.data(), e.data(), int(e.size()), scratch.data(), clmul);
        }
    }
    Poly power(uint64_t n) {
        Poly r(static_cast<std::size_t>(m.words));
        power_of_x(m, r.data(), n, scratch.data());
        return r;
    }
};

TEST(Gf2Poly, ProductsOnBothPaths) {
    vexa::test::Rng rng(1);
    for (bool clmul : {false, true}) {
        if (clmul && !have_clmul()) continue;
        for (int n : {1, 2, 7, 12, 13, 25, 40, 97}) {
            const Poly a = random_poly(rng, n), b = random_poly(rng, n);
            Poly r(2 * std::size_t(n)), scratch(mul_scratch_words(n));
            mul(r.data(), a.data(), b.data(), n, scratch.data(), clmul);
            EXPECT_EQ(r, naive_mul(a, b)) << n << " " << clmul;
            square(r.data(), a.data(), n, clmul);
            EXPECT_EQ(r, naive_mul(a, a)) << n << " " << clmul;
        }
    }
}

// Reductions of random squares, by a sparse polynomial with a wide gap below
// its degree (term by term) and by a dense one (Barrett), both paths.
TEST(Gf2Poly, ReductionsAgreeWithLongDivision) {
    vexa::test::Rng rng(2);
    const std::vector<int32_t> sparse = {0, 3, 70, 111, 200, 333, 701};
    std::vector<int32_t> dense = {0};  // about a third of the terms
    for (int i = 1; i < 1000; ++i)
        if (rng.next() % 3 == 0) dense.push_back(i);
    dense.push_back(1000);
    for (const std::vector<int32_t>* e : {&sparse, const_cast<const std::vector<int32_t>*>(&dense)})
        for (bool as_dense : {false, true})
            for (bool clmul : {false, true}) {
                if (clmul && !have_clmul()) continue;
                Reducer red(*e, as_dense, clmul);
                EXPECT_EQ(red.m.exponents != nullptr, e == &sparse && !as_dense);
                for (int k = 0; k < 5; ++k) {
                    Poly a = random_poly(rng, red.m.words);
                    a.back() &= e->back() % 64 == 0 ? ~Word(0) : (Word(1) << (e->back() % 64)) - 1;
                    const Poly want = naive_mod(naive_mul(a, a), *e);
                    square_mod(red.m, a.data(), red.scratch.data());
                    EXPECT_EQ(a, want) << e->back() << " " << as_dense << " " << clmul;
                }
                // x^n for small n, then x^a x^b = x^(a + b).
                Poly xn(static_cast<std::size_t>(words_for(e->back() + 1)));
                flip(xn.data(), e->back() + 1);
                EXPECT_EQ(red.power(uint64_t(e->back() + 1)), naive_mod(xn, *e));
                const uint64_t a = 123456789012345ull, b = 987654321ull;
                Poly xa = red.power(a);
                const Poly xb = red.power(b);
                mul_mod(red.m, xa.data(), xb.data(), red.scratch.data());
                EXPECT_EQ(xa, red.power(a + b));
            }
}

// The exported remainder equals the reducer's, and x^degree mod p is p's
// lower terms.
TEST(Gf2Poly, ExportedRemainder) {
    const int n = 19937;
    std::vector<uint32_t> g((n + 31) / 32);
    ASSERT_EQ(__tqrPolyRem(g.data(), n, _tqr_mt19937_poly, VEXA_MT19937_POLY_TERMS), 0);
    std::vector<uint32_t> want(g.size());
    for (int i = 0; i + 1 < VEXA_MT19937_POLY_TERMS; ++i)
        want[_tqr_mt19937_poly[i] / 32] ^= 1u << (_tqr_mt19937_poly[i] % 32);
    EXPECT_EQ(g, want);
    const std::vector<int32_t> e(_tqr_mt19937_poly, _tqr_mt19937_poly + VEXA_MT19937_POLY_TERMS);
    Reducer red(e, false, have_clmul());
    const Poly x = red.power(1ull << 50);
    ASSERT_EQ(__tqrPolyRem(g.data(), 1ull << 50, _tqr_mt19937_poly, VEXA_MT19937_POLY_TERMS), 0);
    EXPECT_EQ(0, std::memcmp(g.data(), x.data(), g.size() * 4));
    EXPECT_EQ(__tqrPolyRem(g.data(), 5, _tqr_mt19937_poly, 1), VEXA_RNG_BAD_ARG);
    vexa_serv_test_fail_allocation(2);
    EXPECT_EQ(__tqrPolyRem(g.data(), 5, _tqr_mt19937_poly, VEXA_MT19937_POLY_TERMS), VEXA_RNG_MEMORY);
    vexa_serv_test_fail_allocation(0);
}

TEST(Gf2Poly, BerlekampMasseyFindsTheRecurrence) {
    // s[k + 89] = s[k + 38] + s[k]: x^89 + x^38 + 1, a primitive trinomial.
    const int len = 400;
    Poly s(static_cast<std::size_t>(words_for(len))), c(static_cast<std::size_t>(words_for(len + 1))),
        scratch(berlekamp_massey_words(len));
    vexa::test::Rng rng(3);
    for (int k = 0; k < 89; ++k)
        if (rng.next() & 1u) flip(s.data(), k);
    for (int k = 89; k < len; ++k)
        if (bit(s.data(), k - 89) != bit(s.data(), k - 51)) flip(s.data(), k);
    const int L = berlekamp_massey(c.data(), s.data(), len, scratch.data());
    EXPECT_EQ(L, 89);
    EXPECT_EQ(exponents(c.data(), L), (std::vector<int32_t>{0, 38, 89}));
}

// p of prime degree n is irreducible when x^(2^n) = x mod p and p(1) = 1.
TEST(Gf2Poly, TwisterPolynomials) {
    const std::vector<int32_t> mt(_tqr_mt19937_poly, _tqr_mt19937_poly + VEXA_MT19937_POLY_TERMS);
    EXPECT_EQ(mt.back(), 19937);
    EXPECT_EQ((std::vector<int32_t>(mt.begin(), mt.begin() + 5)), (std::vector<int32_t>{0, 1189, 1416, 1585, 1643}));
    EXPECT_EQ(mt.size() % 2, 1u);  // an odd number of terms: p(1) = 1
    Reducer red(mt, false, have_clmul());
    Poly x(static_cast<std::size_t>(red.m.words));
    flip(x.data(), 1);
    Poly r = x;
    for (int k = 0; k < 19937; ++k) square_mod(red.m, r.data(), red.scratch.data());
    EXPECT_EQ(r, x);

    std::ifstream in(std::string(VEXA_SHARED_DIR) + "/kat/sfmt19937.characteristic.txt");
    std::string line;
    ASSERT_TRUE(std::getline(in, line) && std::getline(in, line));
    std::vector<int32_t> want;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const int v = line[i] <= '9' ? line[i] - '0' : line[i] - 'a' + 10;
        for (int b = 0; b < 4; ++b)
            if ((v >> b) & 1) want.push_back(int32_t(4 * i) + b);
    }
    EXPECT_EQ(std::vector<int32_t>(_tqr_sfmt19937_poly, _tqr_sfmt19937_poly + VEXA_SFMT19937_POLY_TERMS), want);
    EXPECT_EQ((std::vector<int32_t>(_tqr_sfmt19937_poly, _tqr_sfmt19937_poly + 5)),
              (std::vector<int32_t>{0, 1041, 1195, 1197, 1232}));
}

}  // namespace
