// Dense GF(2) polynomial arithmetic (see gf2poly.h).
#include "random/core/gf2poly.h"

#include <immintrin.h>

#include <cstring>

namespace vexa::rng::gf2 {
namespace {

constexpr int kBase = 12;           // schoolbook below this many words
constexpr int kSparseTerms = 1000;  // term-by-term reduction up to this many terms
constexpr int kChunkWords = 16;     // of one chunk of that reduction
constexpr int kSlack = 4;           // words past a square that the reduction may touch

// a b as a 128-bit carry-less product, without the instruction.
inline void clmul_soft(Word a, Word b, Word& lo, Word& hi) {
    Word l = 0, h = 0;
    for (int i = 0; i < 64; ++i) {
        const Word m = Word(0) - ((b >> i) & 1u);
        l ^= (a << i) & m;
        if (i != 0) h ^= (a >> (64 - i)) & m;
    }
    lo = l;
    hi = h;
}

// 64-bit words in and out of vector registers on both ABIs.
__attribute__((target("pclmul"))) inline __m128i load1(const Word* p) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}

// The schoolbook product by columns: column k sums a[i] b[k - i] in one
// register, whose low word goes to r[k] and high word to r[k + 1].
__attribute__((target("pclmul"))) void base_clmul(Word* r, const Word* a, const Word* b, int n) {
    __m128i prev = _mm_setzero_si128();
    for (int k = 0; k < 2 * n - 1; ++k) {
        const int lo = k < n ? 0 : k - n + 1, hi = k < n ? k : n - 1;
        __m128i acc = _mm_setzero_si128();
        for (int i = lo; i <= hi; ++i) acc = _mm_xor_si128(acc, _mm_clmulepi64_si128(load1(a + i), load1(b + k - i), 0x00));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(r + k), _mm_xor_si128(acc, _mm_srli_si128(prev, 8)));
        prev = acc;
    }
    _mm_storel_epi64(reinterpret_cast<__m128i*>(r + 2 * n - 1), _mm_srli_si128(prev, 8));
}

void base_soft(Word* r, const Word* a, const Word* b, int n) {
    std::memset(r, 0, sizeof(Word) * 2 * n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            Word lo, hi;
            clmul_soft(a[i], b[j], lo, hi);
            r[i + j] ^= lo;
            r[i + j + 1] ^= hi;
        }
}

void karatsuba(Word* r, const Word* a, const Word* b, int n, Word* t, bool clmul) {
    if (n <= kBase) {
        if (clmul)
            base_clmul(r, a, b, n);
        else
            base_soft(r, a, b, n);
        return;
    }
    const int h = (n + 1) / 2, l = n - h;  // low halves of h words, high of l <= h
    Word *sa = t, *sb = t + h, *mid = t + 2 * h, *rest = t + 4 * h;
    karatsuba(r, a, b, h, rest, clmul);
    karatsuba(r + 2 * h, a + h, b + h, l, rest, clmul);
    for (int i = 0; i < h; ++i) {
        sa[i] = a[i] ^ (i < l ? a[h + i] : 0);
        sb[i] = b[i] ^ (i < l ? b[h + i] : 0);
    }
    karatsuba(mid, sa, sb, h, rest, clmul);
    for (int i = 0; i < 2 * h; ++i) mid[i] ^= r[i] ^ (i < 2 * l ? r[2 * h + i] : 0);
    const int top = 2 * n - h < 2 * h ? 2 * n - h : 2 * h;  // the middle term fits the product
    for (int i = 0; i < top; ++i) r[h + i] ^= mid[i];
}

// The bits of a byte spread to the even positions of 16 bits.
struct SpreadTable {
    uint16_t v[256];
    constexpr SpreadTable() : v() {
        for (int b = 0; b < 256; ++b) {
            uint16_t s = 0;
            for (int i = 0; i < 8; ++i) s = uint16_t(s | (((b >> i) & 1) << (2 * i)));
            v[b] = s;
        }
    }
};
constexpr SpreadTable kSpread;

Word spread32(uint32_t x) {
    return Word(kSpread.v[x & 0xFF]) | Word(kSpread.v[(x >> 8) & 0xFF]) << 16 |
           Word(kSpread.v[(x >> 16) & 0xFF]) << 32 | Word(kSpread.v[x >> 24]) << 48;
}

__attribute__((target("pclmul"))) void square_clmul(Word* r, const Word* a, int n) {
    for (int i = n - 1; i >= 0; --i) {  // downwards, so that r may be a
        const __m128i x = load1(a + i);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(r + 2 * i), _mm_clmulepi64_si128(x, x, 0x00));
    }
}

// r = bit-reversal of bits [0, n] of a (bit i of r = bit n - i of a).
void reverse(Word* r, const Word* a, int n) {
    std::memset(r, 0, sizeof(Word) * words_for(n + 1));
    for (int i = 0; i <= n; ++i)
        if (bit(a, n - i)) flip(r, i);
}

void mask_to(Word* a, int words, int bits) {
    for (int i = 0; i < words; ++i) {
        const int lo = 64 * i;
        if (lo >= bits)
            a[i] = 0;
        else if (bits - lo < 64)
            a[i] &= (Word(1) << (bits - lo)) - 1;
    }
}

}  // namespace

bool have_clmul() { return __builtin_cpu_supports("pclmul"); }

namespace {
__attribute__((target("pclmul"))) void clmul_hw(Word a, Word b, Word& lo, Word& hi) {
    const __m128i p = _mm_clmulepi64_si128(load1(&a), load1(&b), 0x00);
    alignas(16) Word out[2];
    _mm_store_si128(reinterpret_cast<__m128i*>(out), p);
    lo = out[0], hi = out[1];
}
}  // namespace

void clmul64(Word a, Word b, Word& lo, Word& hi, bool clmul) {
    if (clmul)
        clmul_hw(a, b, lo, hi);
    else
        clmul_soft(a, b, lo, hi);
}

size_t mul_scratch_words(int n) {
    size_t s = 0;
    while (n > kBase) {
        const int h = (n + 1) / 2;
        s += 4 * size_t(h);
        n = h;
    }
    return s;
}

void mul(Word* r, const Word* a, const Word* b, int n, Word* scratch, bool clmul) {
    karatsuba(r, a, b, n, scratch, clmul);
}

void square(Word* r, const Word* a, int n, bool clmul) {
    if (clmul) {
        square_clmul(r, a, n);
        return;
    }
    for (int i = n - 1; i >= 0; --i) {
        const Word x = a[i];
        r[2 * i + 1] = spread32(uint32_t(x >> 32));
        r[2 * i] = spread32(uint32_t(x));
    }
}

void add_shifted(Word* a, int na, const Word* b, int nb, int shift) {
    const int ws = shift >> 6, bs = shift & 63;
    for (int i = 0; i < nb && i + ws < na; ++i) {
        a[i + ws] ^= b[i] << bs;
        if (bs != 0 && i + ws + 1 < na) a[i + ws + 1] ^= b[i] >> (64 - bs);
    }
}

void shift_down(Word* r, int nr, const Word* a, int na, int shift) {
    const int w = shift >> 6, s = shift & 63;
    for (int i = 0; i < nr; ++i) {
        const Word lo = w + i < na ? a[w + i] : 0, hi = w + i + 1 < na ? a[w + i + 1] : 0;
        r[i] = s == 0 ? lo : (lo >> s) | (hi << (64 - s));
    }
}

size_t modulus_words(int n) { return 2 * size_t(words_for(n + 1)); }

size_t work_words(int n) {
    const int wide = words_for(n + 1);
    return 8 * size_t(wide) + 2 * size_t(words_for(n)) + kSlack + mul_scratch_words(wide);
}

void make_modulus_dense(Modulus& m, Word* storage, const Word* p, int n, Word* scratch, bool clmul) {
    m.n = n;
    m.words = words_for(n);
    m.wide = words_for(n + 1);
    m.clmul = clmul;
    Word* pp = storage;
    Word* mu = storage + m.wide;
    m.p = pp;
    m.mu = mu;
    std::memcpy(pp, p, sizeof(Word) * m.wide);
    mask_to(pp, m.wide, n + 1);
    // The reversed reciprocal: rev(mu) = rev(p)^-1 mod x^(n+1), by Newton's
    // iteration v <- v^2 rev(p) (the characteristic-2 form of v (2 - v rev(p))),
    // doubling the precision each time.
    Word* rp = scratch;                   // wide
    Word* v = rp + m.wide;                // wide
    Word* sq = v + m.wide;                // 2 wide
    Word* prod = sq + 2 * m.wide;         // 3 wide
    Word* rest = prod + 3 * m.wide;       // mul scratch
    reverse(rp, pp, n);
    std::memset(v, 0, sizeof(Word) * m.wide);
    v[0] = 1;
    for (int prec = 1; prec < n + 1;) {
        const int next = 2 * prec < n + 1 ? 2 * prec : n + 1;
        const int k = words_for(next);
        square(sq, v, k, clmul);
        mask_to(sq, k, next);
        std::memcpy(prod, rp, sizeof(Word) * k);  // rev(p) truncated as well
        mask_to(prod, k, next);
        mul(prod + k, sq, prod, k, rest, clmul);  // lands in prod[k, 3k): room since 3k <= 4 wide
        std::memcpy(v, prod + k, sizeof(Word) * k);
        mask_to(v, k, next);
        prec = next;
    }
    reverse(mu, v, n);
}

void make_modulus(Modulus& m, Word* storage, const int32_t* exponents, int nterms, Word* scratch, bool clmul) {
    const int n = exponents[nterms - 1];
    const int wide = words_for(n + 1);
    const int gap = nterms >= 2 ? n - exponents[nterms - 2] : n;
    if (nterms <= kSparseTerms && gap >= 64) {
        m = Modulus{};
        m.n = n;
        m.words = words_for(n);
        m.wide = wide;
        m.clmul = clmul;
        m.exponents = exponents;
        m.nterms = nterms;
        m.gap = gap < 64 * kChunkWords ? gap : 64 * kChunkWords;
        Word* p = storage;
        std::memset(p, 0, sizeof(Word) * wide);
        for (int i = 0; i < nterms; ++i) flip(p, exponents[i]);
        m.p = p;
        return;
    }
    Word* p = scratch;
    std::memset(p, 0, sizeof(Word) * wide);
    for (int i = 0; i < nterms; ++i) flip(p, exponents[i]);
    // p is read before the Newton steps use the scratch behind it.
    make_modulus_dense(m, storage, p, n, scratch + wide, clmul);
}

namespace {

// a ^= c x^shift for c of k words, four words at a time; c[-1] and
// c[k, k + 4) must be zero, and a must have room for four words past the top.
void add_shifted4(Word* a, const Word* c, int k, int shift) {
    const int w = shift >> 6;
    const __m128i up = _mm_cvtsi32_si128(shift & 63), down = _mm_cvtsi32_si128(64 - (shift & 63));
    for (int i = 0; i <= k; i += 4) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c + i));
        const __m256i below = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c + i - 1));
        __m256i* dst = reinterpret_cast<__m256i*>(a + w + i);
        const __m256i moved = _mm256_or_si256(_mm256_sll_epi64(v, up), _mm256_srl_epi64(below, down));
        _mm256_storeu_si256(dst, _mm256_xor_si256(_mm256_loadu_si256(dst), moved));
    }
}

// x^n = the lower terms: the bits from the top down to n, a chunk of at most
// gap bits at a time, each chunk moved down by every lower term; a chunk
// never reaches its own bits.
void reduce_sparse(const Modulus& m, Word* r, Word* a) {
    Word buffer[kChunkWords + 8] = {};
    Word* chunk = buffer + 1;
    for (int top = 2 * m.n - 2; top >= m.n;) {
        const int lo = top - m.gap + 1 > m.n ? top - m.gap + 1 : m.n;
        const int width = top - lo + 1, k = words_for(width);
        shift_down(chunk, k, a, 2 * m.words, lo);
        mask_to(chunk, k + 4, width);
        for (int i = 0; i < k; ++i) {  // clear the chunk's bits
            const int b = lo + 64 * i, bits = width - 64 * i < 64 ? width - 64 * i : 64;
            const Word mask = bits == 64 ? ~Word(0) : (Word(1) << bits) - 1;
            const int w = b >> 6, s = b & 63;
            a[w] &= ~(mask << s);
            if (s != 0 && s + bits > 64) a[w + 1] &= ~(mask >> (64 - s));
        }
        // Terms taken eight apart, so that one addition does not load what the
        // previous one has just stored.
        for (int first = 0; first < 8; ++first)
            for (int t = first; t < m.nterms - 1; t += 8) add_shifted4(a, chunk, k, lo - m.n + m.exponents[t]);
        top = lo - 1;
    }
    std::memcpy(r, a, sizeof(Word) * m.words);
    mask_to(r, m.words, m.n);
}

}  // namespace

void reduce(const Modulus& m, Word* r, Word* a, Word* scratch) {
    if (m.exponents != nullptr) {
        reduce_sparse(m, r, a);
        return;
    }
    const int W = m.wide;
    Word* hi = scratch;         // wide: a div x^n
    Word* t = hi + W;           // 2 wide: hi mu
    Word* q = t + 2 * W;        // wide: the quotient
    Word* qp = q + W;           // 2 wide: q p
    Word* rest = qp + 2 * W;
    shift_down(hi, W, a, 2 * m.words, m.n);
    mul(t, hi, m.mu, W, rest, m.clmul);
    shift_down(q, W, t, 2 * W, m.n);
    mul(qp, q, m.p, W, rest, m.clmul);
    for (int i = 0; i < m.words; ++i) r[i] = a[i] ^ qp[i];
    mask_to(r, m.words, m.n);
}

void square_mod(const Modulus& m, Word* r, Word* scratch) {
    Word* sq = scratch + work_words(m.n) - 2 * size_t(m.words) - kSlack;
    std::memset(sq + 2 * m.words, 0, sizeof(Word) * kSlack);
    square(sq, r, m.words, m.clmul);
    reduce(m, r, sq, scratch);
}

void mul_mod(const Modulus& m, Word* r, const Word* s, Word* scratch) {
    Word* prod = scratch + work_words(m.n) - 2 * size_t(m.words) - kSlack;
    std::memset(prod + 2 * m.words, 0, sizeof(Word) * kSlack);
    mul(prod, r, s, m.words, scratch, m.clmul);  // the product's scratch is below the reduction's
    reduce(m, r, prod, scratch);
}

void times_x_mod(const Modulus& m, Word* r) {
    Word carry = 0;
    for (int i = 0; i < m.words; ++i) {
        const Word next = r[i] >> 63;
        r[i] = (r[i] << 1) | carry;
        carry = next;
    }
    const bool top = (m.n & 63) == 0 ? carry != 0 : bit(r, m.n);
    if (top) {
        for (int i = 0; i < m.words; ++i) r[i] ^= m.p[i];
        mask_to(r, m.words, m.n);
    }
}

void power_of_x(const Modulus& m, Word* r, uint64_t e, Word* scratch) {
    std::memset(r, 0, sizeof(Word) * m.words);
    int top = 63;
    while (top > 0 && ((e >> top) & 1u) == 0) --top;
    // The leading bits whose value stays below n need no reduction.
    uint64_t lead = 0;
    int b = top;
    while (b >= 0 && ((lead << 1) | ((e >> b) & 1u)) < uint64_t(m.n)) {
        lead = (lead << 1) | ((e >> b) & 1u);
        --b;
    }
    flip(r, int(lead));
    for (; b >= 0; --b) {
        square_mod(m, r, scratch);
        if ((e >> b) & 1u) times_x_mod(m, r);
    }
}

size_t berlekamp_massey_words(int len) { return 3 * size_t(words_for(len + 1)) + words_for(len); }

int berlekamp_massey(Word* c, const Word* s, int len, Word* scratch) {
    const int W = words_for(len + 1);
    Word* C = scratch;
    Word* B = C + W;
    Word* T = B + W;
    Word* rev = T + W;  // bit j: s[len - 1 - j]
    std::memset(scratch, 0, sizeof(Word) * berlekamp_massey_words(len));
    for (int j = 0; j < len; ++j)
        if (bit(s, len - 1 - j)) flip(rev, j);
    const int nrev = words_for(len);
    C[0] = B[0] = 1;
    int L = 0, shift = 1;
    for (int k = 0; k < len; ++k) {
        // d = sum over i <= L of C_i s[k - i]: C against rev from bit len - 1 - k.
        const int off = len - 1 - k, w = off >> 6, sh = off & 63;
        Word acc = 0;
        for (int i = 0; i <= (L >> 6); ++i) {
            const Word lo = w + i < nrev ? rev[w + i] : 0, hi = w + i + 1 < nrev ? rev[w + i + 1] : 0;
            acc ^= C[i] & (sh == 0 ? lo : (lo >> sh) | (hi << (64 - sh)));
        }
        if ((__builtin_popcountll(acc) & 1) == 0) {
            ++shift;
            continue;
        }
        const bool grow = 2 * L <= k;
        if (grow) std::memcpy(T, C, sizeof(Word) * W);
        add_shifted(C, W, B, W, shift);
        if (grow) {
            L = k + 1 - L;
            std::memcpy(B, T, sizeof(Word) * W);
            shift = 1;
        } else {
            ++shift;
        }
    }
    // The characteristic polynomial is the connection polynomial reversed.
    std::memset(c, 0, sizeof(Word) * W);
    for (int i = 0; i <= L; ++i)
        if (bit(C, L - i)) flip(c, i);
    return L;
}

}  // namespace vexa::rng::gf2
