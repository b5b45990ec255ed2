#include "mt2203_search.h"

#include <algorithm>
#include <immintrin.h>

#include <cstring>

#include "random/core/gf2poly.h"
#include "twisters.h"

namespace vexa::tools {

using namespace vexa::rng::gf2;

int mt2203_characteristic(uint32_t a, std::vector<uint64_t>& p) {
    Twister t{kMt2203Words, kMt2203Shift, kMt2203Low, a, mt_init_by_array(kMt2203Words, {0x2203u, a})};
    const std::vector<int32_t> e = characteristic_exponents(kMt2203Degree, [&] { return (t.next() & 1u) != 0; });
    p.assign(std::size_t(words_for(kMt2203Degree + 1)), 0);
    for (int32_t x : e) flip(p.data(), x);
    return e.back();
}

namespace {

// The degree of a (-1 for zero).
int top_bit(const Word* a, int words) {
    for (int i = words - 1; i >= 0; --i)
        if (a[i] != 0) return 64 * i + 63 - __builtin_clzll(a[i]);
    return -1;
}

// gcd(a, b) is 1, by Euclid's algorithm with remainders by shifted
// subtraction.
bool coprime(std::vector<Word> a, std::vector<Word> b) {
    int da = top_bit(a.data(), int(a.size())), db = top_bit(b.data(), int(b.size()));
    while (db >= 0) {
        while (da >= db) {
            add_shifted(a.data(), int(a.size()), b.data(), db / 64 + 1, da - db);
            da = top_bit(a.data(), int(a.size()));
        }
        std::swap(a, b);
        std::swap(da, db);
    }
    return da == 0;
}

}  // namespace

bool mt2203_primitive(uint32_t a) {
    std::vector<Word> p;
    if (mt2203_characteristic(a, p) != kMt2203Degree) return false;
    const int n = kMt2203Degree;
    std::vector<Word> storage(modulus_words(n)), scratch(work_words(n)), r(std::size_t(words_for(n))),
        q(std::size_t(words_for(n))), t(std::size_t(words_for(n)));
    Modulus m;
    make_modulus_dense(m, storage.data(), p.data(), n, scratch.data(), have_clmul());
    flip(r.data(), 1);  // r = x^(2^k), k = 0
    q[0] = 1;
    for (int k = 1; k <= 24; ++k) {  // q = product of x^(2^k) - x
        square_mod(m, r.data(), scratch.data());
        t = r;
        flip(t.data(), 1);
        mul_mod(m, q.data(), t.data(), scratch.data());
    }
    if (!coprime(p, std::vector<Word>(q.begin(), q.end()))) return false;
    for (int k = 25; k <= n; ++k) square_mod(m, r.data(), scratch.data());
    std::vector<Word> x(r.size());
    flip(x.data(), 1);
    return r == x;
}

uint32_t mt2203_search(int k, const std::vector<uint32_t>& used) {
    // SplitMix64 keyed by the set number.
    uint64_t s = 0x2203000000000000ull + uint64_t(k);
    for (;;) {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        const uint32_t a = uint32_t(z) | 0x80000000u;
        bool taken = false;
        for (uint32_t u : used) taken |= u == a;
        if (!taken && mt2203_primitive(a)) return a;
    }
}

}  // namespace vexa::tools

namespace vexa::tools {
namespace {

using vexa::rng::gf2::Word;

constexpr int kP = kMt2203Degree;
constexpr int kW = (kP + 1 + 63) / 64 + 2;  // words of a lattice entry (degree at most kP)

struct Entry {
    Word w[kW];
    int deg;
};


// a ^= q b z^shift for a 64-bit q, b of degree db: the product word by word
// (word m of q b is the low half of q b[m] and the high half of q b[m - 1]),
// each moved up by the shift's bits.
__attribute__((target("pclmul"))) inline void add_product(Word* a, const Word* b, int db, Word q, int shift) {
    const int ws = shift >> 6, bs = shift & 63, nb = db / 64 + 1;
    const __m128i qv = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&q));
    Word carry_hi = 0, prev = 0;  // high half of the last product; the last word of q b
    Word* t = a + ws;
    for (int m = 0; m <= nb; ++m) {
        Word lo = 0, hi = 0;
        if (m < nb) {
            alignas(16) Word out[2];
            _mm_store_si128(reinterpret_cast<__m128i*>(out),
                            _mm_clmulepi64_si128(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + m)), qv, 0x00));
            lo = out[0], hi = out[1];
        }
        const Word word = lo ^ carry_hi;  // word m of q b
        carry_hi = hi;
        t[m] ^= bs == 0 ? word : (word << bs) | (prev >> (64 - bs));
        prev = word;
    }
    if (bs != 0 && ws + nb + 1 < kW) t[nb + 1] ^= prev >> (64 - bs);
}

// The 64 bits of a ending at bit d (zeros below bit 0).
Word top64(const Word* a, int d) {
    const int lo = d - 63;
    if (lo < 0) return a[0] << (-lo);
    const int w = lo >> 6, s = lo & 63;
    return s == 0 ? a[w] : (a[w] >> s) | (a[w + 1] << (64 - s));
}

// h^-1 mod p by the extended Euclidean algorithm.
std::vector<Word> inverse_mod(const std::vector<Word>& h, const std::vector<Word>& p) {
    std::vector<Word> r0(p), r1(h), s0(kW, 0), s1(kW, 0);
    r0.resize(kW), r1.resize(kW);
    s1[0] = 1;
    int d0 = top_bit(r0.data(), kW), d1 = top_bit(r1.data(), kW);
    while (d1 >= 0) {
        while (d0 >= d1) {
            const int s = d0 - d1;
            add_shifted(r0.data(), kW, r1.data(), d1 / 64 + 1, s);
            const int ds1 = top_bit(s1.data(), kW);
            if (ds1 >= 0) add_shifted(s0.data(), kW, s1.data(), ds1 / 64 + 1, s);
            d0 = top_bit(r0.data(), kW);
        }
        std::swap(r0, r1), std::swap(s0, s1), std::swap(d0, d1);
    }
    return s0;  // r0 = 1
}

struct Lattice {
    int v = 0;
    std::vector<std::vector<Entry>> rows;  // rows[i][j]
    std::vector<int> deg, piv;             // of each row
    void measure(int i) {
        int d = -1, p = -1;
        for (int j = 0; j < v; ++j)
            if (rows[i][j].deg >= d) d = rows[i][j].deg, p = j;
        deg[i] = d, piv[i] = p;
    }
    // rows[i] += q rows[k], rows i and k sharing their pivot and row i of
    // the higher degree, q the quotient of their pivot entries to up to 64
    // leading terms: at least one leading term of row i's pivot entry
    // cancels, and no entry of row i exceeds its degree.
    void reduce(int i, int k) {
        const int shift = deg[i] - deg[k], t = shift < 63 ? shift : 63, p = piv[i];
        Word u = top64(rows[i][p].w, deg[i]);
        const Word r = top64(rows[k][p].w, deg[k]);
        Word q = 0;
        for (int b = 0; b <= t; ++b) {  // without branches: the bits are a coin toss
            const Word bit = (u >> (63 - b)) & 1u;
            q |= bit << (t - b);
            u ^= (r >> b) & (Word(0) - bit);
        }
        for (int j = 0; j < v; ++j) {
            const Entry& b = rows[k][j];
            if (b.deg < 0) continue;
            Entry& a = rows[i][j];
            add_product(a.w, b.w, b.deg, q, shift - t);
            a.deg = top_bit(a.w, std::min(kW, (std::max(a.deg, b.deg + shift) >> 6) + 2));
        }
        measure(i);
    }
    // Back to weak Popov form after row `moving` was added to rows with
    // distinct pivots: while it shares its pivot with a row, the one of the
    // two with the higher degree loses its leading term to the other and
    // becomes the moving one.
    void normalise(int moving) {
        std::vector<int> owner(std::size_t(v), -1);
        for (int i = 0; i < v; ++i)
            if (i != moving) owner[std::size_t(piv[i])] = i;
        for (;;) {
            const int other = owner[std::size_t(piv[moving])];
            if (other < 0) return;
            if (deg[moving] >= deg[other]) {
                reduce(moving, other);
            } else {
                owner[std::size_t(piv[moving])] = moving;
                reduce(other, moving);
                moving = other;
            }
        }
    }
};


// The lattice of one constant a, extended one output bit (dimension) at a
// time: the characteristic polynomial, its reduction, and kP untempered
// outputs from which any tempered bit sequence follows.
class Extension {
  public:
    explicit Extension(uint32_t a) {
        using namespace vexa::rng::gf2;
        mt2203_characteristic(a, p_);
        storage_.resize(modulus_words(kP));
        work_.resize(work_words(kP));
        make_modulus_dense(m_, storage_.data(), p_.data(), kP, work_.data(), have_clmul());
        Twister t{kMt2203Words, kMt2203Shift, kMt2203Low, a, mt_init_by_array(kMt2203Words, {0x5eedu})};
        raw_.resize(kP);
        for (auto& x : raw_) x = t.next();
    }

    // h of the sequence of output bit `bit` (31: the top) under masks b, c:
    // the polynomial part of p(z) times the sum of out(i) z^(-i-1), that is
    // bits kP and up of p times the sequence reversed.
    std::vector<Word> sequence(int bit, uint32_t b, uint32_t c) const {
        using namespace vexa::rng::gf2;
        const int n = words_for(kP + 1);
        std::vector<Word> seq(std::size_t(n), 0), prod(2 * std::size_t(n)), scratch(mul_scratch_words(n));
        for (int i = 0; i < kP; ++i) {
            uint32_t y = raw_[std::size_t(i)];
            y ^= y >> 12;
            y ^= (y << 7) & b;
            y ^= (y << 15) & c;
            y ^= y >> 18;
            if ((y >> bit) & 1u) flip(seq.data(), kP - 1 - i);
        }
        mul(prod.data(), p_.data(), seq.data(), n, scratch.data(), have_clmul());
        std::vector<Word> h(std::size_t(kW), 0);
        shift_down(h.data(), n, prod.data(), 2 * n, kP);
        return h;
    }

    struct State {
        Lattice L;
        std::vector<Word> inverse;  // of the first sequence, modulo p
    };

    // Adds the sequence h as the next dimension; returns k of the new
    // dimension count.
    int extend(State& st, const std::vector<Word>& h) {
        Lattice& L = st.L;
        if (L.v == 0) {  // one bit: the multiples of p
            L.rows.assign(32, std::vector<Entry>(32));
            for (auto& row : L.rows)
                for (auto& x : row) std::memset(&x, 0, sizeof x), x.deg = -1;
            L.deg.assign(32, -1);
            L.piv.assign(32, -1);
            std::memcpy(L.rows[0][0].w, p_.data(), sizeof(Word) * p_.size());
            L.rows[0][0].deg = kP;
            L.v = 1;
            L.measure(0);
            st.inverse = inverse_mod(h, p_);
            return kP;
        }
        // The new row (h h_0^-1 mod p, 0, ..., 0, 1).
        const int v = ++L.v;
        std::vector<Word> w(h.begin(), h.begin() + m_.words);
        mul_mod(m_, w.data(), st.inverse.data(), work_.data());
        Entry& first = L.rows[std::size_t(v - 1)][0];
        std::memcpy(first.w, w.data(), sizeof(Word) * std::size_t(m_.words));
        first.deg = top_bit(first.w, kW);
        Entry& last = L.rows[std::size_t(v - 1)][std::size_t(v - 1)];
        last.w[0] = 1;
        last.deg = 0;
        for (int i = 0; i < v; ++i) L.measure(i);
        L.normalise(v - 1);
        int k = kP;
        for (int i = 0; i < v; ++i) k = std::min(k, L.deg[std::size_t(i)]);
        return k;
    }

  private:
    std::vector<Word> p_, storage_, work_;
    vexa::rng::gf2::Modulus m_;
    std::vector<uint32_t> raw_;
};

}  // namespace

Equidistribution mt2203_equidistribution(uint32_t a, uint32_t b, uint32_t c) {
    Extension x(a);
    Extension::State st;
    Equidistribution e{};
    for (int v = 1; v <= 32; ++v) {
        e.k[v] = x.extend(st, x.sequence(32 - v, b, c));
        e.deficit += kP / v - e.k[v];
    }
    return e;
}

// Output bit q (from 14 up) depends on exactly b_q, c_q and b_(q-15) of the
// masks (through y ^= (y << 7) & b and y ^= (y << 15) & c); the bits below
// 14 also take bit q + 18, decided before. So the positions from the top
// down each decide the mask bits first met there, every candidate costing
// one more dimension on the lattice of the positions above. A beam of the
// kBeam best partial masks (largest sum of k over the positions so far,
// ties to the smaller masks) is carried down the positions.
void mt2203_tempering(uint32_t a, uint32_t& b, uint32_t& c) {
    constexpr std::size_t kBeam = 8;
    struct Partial {
        uint32_t b = 0, c = 0, decided = 0;
        int score = 0;
        Extension::State st;
    };
    Extension x(a);
    std::vector<Partial> beam(1);
    for (int q = 31; q >= 15; --q) {
        std::vector<Partial> next;
        for (const Partial& from : beam) {
            uint32_t free_b = 0;
            if ((from.decided & (1u << q)) == 0) free_b |= 1u << q;
            if (q - 15 >= 7) free_b |= 1u << (q - 15);
            for (uint32_t s = 0; s < 8; ++s) {  // bit 0: b_q, bit 1: c_q, bit 2: b_(q-15)
                if ((s & 1u) != 0 && (free_b & (1u << q)) == 0) continue;
                if ((s & 4u) != 0 && q - 15 < 7) continue;
                Partial t = from;
                t.b |= ((s & 1u) != 0 ? 1u << q : 0) | ((s & 4u) != 0 ? 1u << (q - 15) : 0);
                t.c |= (s & 2u) != 0 ? 1u << q : 0;
                t.decided |= free_b;
                t.score += x.extend(t.st, x.sequence(q, t.b, t.c));
                next.push_back(std::move(t));
            }
        }
        std::stable_sort(next.begin(), next.end(), [](const Partial& u, const Partial& w) { return u.score > w.score; });
        if (next.size() > kBeam) next.resize(kBeam);
        beam = std::move(next);
    }
    b = beam[0].b & 0xFFFFFF80u;  // bits below 7 and 15 never act
    c = beam[0].c & 0xFFFF8000u;
}

}  // namespace vexa::tools
