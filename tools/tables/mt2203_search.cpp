#include "mt2203_search.h"

#include <algorithm>
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

int degree_of(const std::vector<Word>& a) {
    for (int i = 64 * int(a.size()) - 1; i >= 0; --i)
        if (bit(a.data(), i)) return i;
    return -1;
}

// gcd(a, b) is 1, by Euclid's algorithm with remainders by shifted
// subtraction.
bool coprime(std::vector<Word> a, std::vector<Word> b) {
    int da = degree_of(a), db = degree_of(b);
    while (db >= 0) {
        while (da >= db) {
            const int s = da - db, ws = s >> 6, bs = s & 63;
            for (int i = int(a.size()) - 1; i >= ws; --i) {
                const Word lo = b[i - ws], below = i - ws - 1 >= 0 ? b[i - ws - 1] : 0;
                a[i] ^= bs == 0 ? lo : (lo << bs) | (below >> (64 - bs));
            }
            while (da >= 0 && !bit(a.data(), da)) --da;
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

int top_bit(const Word* a, int words) {
    for (int i = words - 1; i >= 0; --i)
        if (a[i] != 0) return 64 * i + 63 - __builtin_clzll(a[i]);
    return -1;
}

// a ^= b z^shift, b of degree db.
void add_shifted(Word* a, const Word* b, int db, int shift) {
    const int ws = shift >> 6, bs = shift & 63, nb = db / 64 + 1;
    for (int i = 0; i < nb; ++i) {
        a[i + ws] ^= b[i] << bs;
        if (bs != 0 && i + ws + 1 < kW) a[i + ws + 1] ^= b[i] >> (64 - bs);
    }
}

// a ^= q b z^shift for a 64-bit q, b of degree db.
void add_product(Word* a, const Word* b, int db, Word q, int shift) {
    const int ws = shift >> 6, bs = shift & 63, nb = db / 64 + 1;
    const bool clmul = vexa::rng::gf2::have_clmul();
    for (int i = 0; i < nb; ++i) {
        Word lo, hi;
        vexa::rng::gf2::clmul64(b[i], q, lo, hi, clmul);
        Word* t = a + i + ws;
        if (bs == 0) {
            t[0] ^= lo, t[1] ^= hi;
        } else {
            t[0] ^= lo << bs;
            t[1] ^= (lo >> (64 - bs)) | (hi << bs);
            if (i + ws + 2 < kW) t[2] ^= hi >> (64 - bs);
        }
    }
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
            add_shifted(r0.data(), r1.data(), d1, s);
            const int ds1 = top_bit(s1.data(), kW);
            if (ds1 >= 0) add_shifted(s0.data(), s1.data(), ds1, s);
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
        for (int b = 0; b <= t; ++b)
            if ((u >> (63 - b)) & 1u) {
                q |= Word(1) << (t - b);
                u ^= r >> b;
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

}  // namespace

Equidistribution mt2203_equidistribution(uint32_t a, uint32_t b, uint32_t c) {
    using namespace vexa::rng::gf2;
    std::vector<Word> p;
    mt2203_characteristic(a, p);
    const int n = words_for(kP + 1);
    // Bit j (from the top) of kP outputs, reversed: bit kP - 1 - i of seq[j]
    // is bit j of output i.
    Twister t{kMt2203Words, kMt2203Shift, kMt2203Low, a, mt_init_by_array(kMt2203Words, {0x5eedu})};
    std::vector<std::vector<Word>> seq(32, std::vector<Word>(std::size_t(n), 0));
    for (int i = 0; i < kP; ++i) {
        uint32_t y = t.next();
        y ^= y >> 12;
        y ^= (y << 7) & b;
        y ^= (y << 15) & c;
        y ^= y >> 18;
        for (int j = 0; j < 32; ++j)
            if ((y >> (31 - j)) & 1u) flip(seq[std::size_t(j)].data(), kP - 1 - i);
    }
    // h_j = the polynomial part of p(z) (sum of out_j(i) z^(-i-1)): bits kP
    // and up of p times the reversed sequence.
    std::vector<Word> prod(2 * std::size_t(n)), scratch(mul_scratch_words(n));
    std::vector<std::vector<Word>> h(32);
    for (int j = 0; j < 32; ++j) {
        mul(prod.data(), p.data(), seq[std::size_t(j)].data(), n, scratch.data(), have_clmul());
        h[std::size_t(j)].assign(std::size_t(kW), 0);
        shift_down(h[std::size_t(j)].data(), n, prod.data(), 2 * n, kP);
    }
    const std::vector<Word> inv = inverse_mod(h[0], p);
    std::vector<Word> storage(modulus_words(kP)), work(work_words(kP));
    Modulus m;
    make_modulus_dense(m, storage.data(), p.data(), kP, work.data(), have_clmul());

    Equidistribution e{};
    Lattice L;
    L.rows.assign(32, std::vector<Entry>(32));
    L.deg.assign(32, -1);
    L.piv.assign(32, -1);
    for (auto& row : L.rows)
        for (auto& x : row) std::memset(&x, 0, sizeof x), x.deg = -1;
    // v = 1: the multiples of p.
    std::memcpy(L.rows[0][0].w, p.data(), sizeof(Word) * std::size_t(n));
    L.rows[0][0].deg = kP;
    L.v = 1;
    L.measure(0);
    e.k[1] = kP;
    for (int v = 2; v <= 32; ++v) {
        // The new row (h_(v-1) h_0^-1 mod p, 0, ..., 0, 1).
        std::vector<Word> w(h[std::size_t(v - 1)].begin(), h[std::size_t(v - 1)].begin() + m.words);
        mul_mod(m, w.data(), inv.data(), work.data());
        Entry& first = L.rows[std::size_t(v - 1)][0];
        std::memcpy(first.w, w.data(), sizeof(Word) * std::size_t(m.words));
        first.deg = top_bit(first.w, kW);
        Entry& last = L.rows[std::size_t(v - 1)][std::size_t(v - 1)];
        last.w[0] = 1;
        last.deg = 0;
        L.v = v;
        for (int i = 0; i < v; ++i) L.measure(i);
        L.normalise(v - 1);
        int k = kP;
        for (int i = 0; i < v; ++i) k = std::min(k, L.deg[i]);
        e.k[v] = k;
    }
    for (int v = 1; v <= 32; ++v) e.deficit += kP / v - e.k[v];
    return e;
}

void mt2203_tempering(uint32_t a, uint32_t& b, uint32_t& c) {
    b = c = 0;
    auto eval = [&](uint32_t bb, uint32_t cc) { return mt2203_equidistribution(a, bb, cc); };
    Equidistribution best = eval(b, c);
    for (int v = 1; v <= 25; ++v) {  // position 32 - v: b down to bit 7, c down to bit 15
        const int q = 32 - v;
        const uint32_t bit = 1u << q;
        uint32_t bb = b, cc = c;
        for (int s = 1; s < 4; ++s) {
            if ((s & 2) != 0 && q < 15) continue;
            const uint32_t tb = (b & ~bit) | ((s & 1) != 0 ? bit : 0), tc = (c & ~bit) | ((s & 2) != 0 ? bit : 0);
            const Equidistribution e = eval(tb, tc);
            int d_e = 0, d_best = 0;
            for (int u = 1; u <= v; ++u) d_e += kP / u - e.k[u], d_best += kP / u - best.k[u];
            if (e.k[v] > best.k[v] || (e.k[v] == best.k[v] && d_e < d_best)) best = e, bb = tb, cc = tc;
        }
        b = bb, c = cc;
    }
    for (bool better = true; better;) {
        better = false;
        for (int q = 31; q >= 7; --q)
            for (int which = 0; which < 2; ++which) {
                if (which == 1 && q < 15) continue;
                const uint32_t tb = which == 0 ? b ^ (1u << q) : b, tc = which == 1 ? c ^ (1u << q) : c;
                const Equidistribution e = eval(tb, tc);
                if (e.deficit < best.deficit) best = e, b = tb, c = tc, better = true;
            }
    }
}

}  // namespace vexa::tools
