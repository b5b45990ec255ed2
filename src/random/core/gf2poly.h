// Dense polynomials over GF(2): coefficient i is bit i % 64 of word i / 64.
// Products by Karatsuba's scheme down to a schoolbook base of carry-less
// 64-bit products (PCLMULQDQ when the processor has it, a portable product
// otherwise), squares by spreading the bits, and remainders modulo a fixed
// polynomial by Barrett's method with its reciprocal computed by Newton's
// iteration. Nothing here allocates: callers pass every buffer, sized by the
// *_words functions. Used by the skip-ahead of the twisters and by the
// programs and tests that derive and check their characteristic polynomials.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexa::rng::gf2 {

using Word = uint64_t;

constexpr int words_for(int bits) { return (bits + 63) / 64; }
inline bool bit(const Word* a, int i) { return ((a[i >> 6] >> (i & 63)) & 1u) != 0; }
inline void flip(Word* a, int i) { a[i >> 6] ^= Word(1) << (i & 63); }

// Whether the processor multiplies carry-less (PCLMULQDQ).
bool have_clmul();

// The 128-bit carry-less product of two words.
void clmul64(Word a, Word b, Word& lo, Word& hi, bool clmul);
// r[0, 2n) = a[0, n) b[0, n); r must not overlap a or b.
size_t mul_scratch_words(int n);
void mul(Word* r, const Word* a, const Word* b, int n, Word* scratch, bool clmul);
// r[0, 2n) = a[0, n)^2.
void square(Word* r, const Word* a, int n, bool clmul);
// a[0, na) ^= b[0, nb) x^shift, what falls past a's end dropped.
void add_shifted(Word* a, int na, const Word* b, int nb, int shift);
// r[0, nr) = bits [shift, shift + 64 nr) of a[0, na) (zero past its end).
void shift_down(Word* r, int nr, const Word* a, int na, int shift);

// Reduction modulo p of degree n >= 2, all residues in words_for(n) words.
struct Modulus {
    int n = 0;          // degree
    int words = 0;      // of a residue: words_for(n)
    int wide = 0;       // of p and the reciprocal: words_for(n + 1)
    const Word* p = nullptr;
    const Word* mu = nullptr;  // floor(x^(2n) / p)
    bool clmul = false;
    // A polynomial of few terms whose second-highest term lies at least 64
    // below its degree is reduced term by term instead, a chunk of bits of
    // the width of that gap at a time.
    const int32_t* exponents = nullptr;
    int nterms = 0;
    int gap = 0;
};
// Storage for p and mu, and the scratch of every operation below.
size_t modulus_words(int n);
size_t work_words(int n);
// p from the ascending exponents of its terms (the last one is the degree;
// the list must outlive m), or from its dense coefficients (degree n).
void make_modulus(Modulus& m, Word* storage, const int32_t* exponents, int nterms, Word* scratch, bool clmul);
void make_modulus_dense(Modulus& m, Word* storage, const Word* p, int n, Word* scratch, bool clmul);
// r = a mod p for a of 2 words_for(n) words and degree below 2n - 1 (a is
// overwritten).
void reduce(const Modulus& m, Word* r, Word* a, Word* scratch);
// r = r^2 mod p; r = r x mod p; r = r s mod p.
void square_mod(const Modulus& m, Word* r, Word* scratch);
void times_x_mod(const Modulus& m, Word* r);
void mul_mod(const Modulus& m, Word* r, const Word* s, Word* scratch);
// r = x^e mod p.
void power_of_x(const Modulus& m, Word* r, uint64_t e, Word* scratch);

// The shortest linear recurrence of the bits s[0, len) by the
// Berlekamp-Massey algorithm, as its characteristic polynomial
// c (s[k + L] = sum of s[k + i] over the terms x^i of c below x^L); returns
// its degree L. c needs words_for(len + 1) words, scratch 3 words_for(len + 1)
// + words_for(len) words.
size_t berlekamp_massey_words(int len);
int berlekamp_massey(Word* c, const Word* s, int len, Word* scratch);

}  // namespace vexa::rng::gf2
