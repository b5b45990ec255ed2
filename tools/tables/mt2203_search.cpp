#include "mt2203_search.h"

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
