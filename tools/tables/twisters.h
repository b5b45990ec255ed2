// Plain word-by-word twisters, the definitions the generated tables are
// derived from: MT19937, the 69-word MT2203 family and SFMT19937 as their
// authors publish them, and the characteristic polynomial of a linear
// recurrence from one bit of its output by Berlekamp-Massey.
#pragma once

#include <cstdint>
#include <vector>

#include "random/core/gf2poly.h"

namespace vexa::tools {

// A 32-bit twister of n words: x[k + n] = x[k + m] ^ (y >> 1) ^ (a if y odd),
// y = upper(x[k]) | lower(x[k + 1]), upper taking the top 32 - r bits.
struct Twister {
    int n, m, r;
    uint32_t a;
    std::vector<uint32_t> x;
    int i = 0;  // x[i] is the oldest word
    uint32_t next() {
        const uint32_t upper = ~0u << r;
        const uint32_t y = (x[i] & upper) | (x[(i + 1) % n] & ~upper);
        x[i] = x[(i + m) % n] ^ (y >> 1) ^ ((y & 1u) != 0 ? a : 0u);
        const uint32_t out = x[i];
        i = (i + 1) % n;
        return out;
    }
};

// The published initialisation by key array over n words.
inline std::vector<uint32_t> mt_init_by_array(int n, const std::vector<uint32_t>& key) {
    std::vector<uint32_t> mt(static_cast<std::size_t>(n));
    mt[0] = 19650218u;
    for (int i = 1; i < n; ++i) mt[i] = 1812433253u * (mt[i - 1] ^ (mt[i - 1] >> 30)) + uint32_t(i);
    int i = 1, j = 0;
    const int len = int(key.size());
    for (int k = n > len ? n : len; k > 0; --k) {
        mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1664525u)) + key[j] + uint32_t(j);
        if (++i >= n) mt[0] = mt[n - 1], i = 1;
        if (++j >= len) j = 0;
    }
    for (int k = n - 1; k > 0; --k) {
        mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1566083941u)) - uint32_t(i);
        if (++i >= n) mt[0] = mt[n - 1], i = 1;
    }
    mt[0] = 0x80000000u;
    return mt;
}

inline Twister mt19937(const std::vector<uint32_t>& key) { return {624, 397, 31, 0x9908B0DFu, mt_init_by_array(624, key)}; }

// SFMT19937: 156 words of 128 bits, w[k + 156] = a ^ (a << 8) ^ ((b >> 11) & mask)
// ^ (c >> 8) ^ (d << 18) with a = w[k], b = w[k + 122], c = w[k + 154],
// d = w[k + 155]; 128-bit shifts by whole bytes, 32-bit shifts per word.
struct Sfmt {
    static constexpr int kN = 156, kPos = 122;
    static constexpr uint32_t kMask[4] = {0xdfffffefu, 0xddfecb7fu, 0xbffaffffu, 0xbffffff6u};
    static constexpr uint32_t kParity[4] = {0x00000001u, 0x00000000u, 0x00000000u, 0x13c9e684u};
    uint32_t w[kN * 4];
    int i = 0;  // 128-bit word i is the oldest

    // The 128-bit word shifted by one byte, up or down (words little-endian).
    static void shl8(uint32_t* r, const uint32_t* a) {
        for (int k = 3; k > 0; --k) r[k] = (a[k] << 8) | (a[k - 1] >> 24);
        r[0] = a[0] << 8;
    }
    static void shr8(uint32_t* r, const uint32_t* a) {
        for (int k = 0; k < 3; ++k) r[k] = (a[k] >> 8) | (a[k + 1] << 24);
        r[3] = a[3] >> 8;
    }
    // One 128-bit step; the new word replaces the oldest.
    void step() {
        uint32_t* a = w + 4 * i;
        const uint32_t* b = w + 4 * ((i + kPos) % kN);
        const uint32_t* c = w + 4 * ((i + kN - 2) % kN);
        const uint32_t* d = w + 4 * ((i + kN - 1) % kN);
        uint32_t x[4], y[4];
        shl8(x, a);
        shr8(y, c);
        for (int k = 0; k < 4; ++k) a[k] ^= x[k] ^ ((b[k] >> 11) & kMask[k]) ^ y[k] ^ (d[k] << 18);
        i = (i + 1) % kN;
    }
    // The published initialisation by key array with its period certification.
    explicit Sfmt(const std::vector<uint32_t>& key) {
        constexpr int size = kN * 4, lag = 11, mid = (size - lag) / 2;
        auto f1 = [](uint32_t x) { return (x ^ (x >> 27)) * 1664525u; };
        auto f2 = [](uint32_t x) { return (x ^ (x >> 27)) * 1566083941u; };
        for (auto& v : w) v = 0x8b8b8b8bu;
        const int len = int(key.size());
        int count = len + 1 > size ? len + 1 : size;
        uint32_t r = f1(w[0] ^ w[mid] ^ w[size - 1]);
        w[mid] += r;
        r += uint32_t(len);
        w[mid + lag] += r;
        w[0] = r;
        --count;
        int k = 1, j = 0;
        for (; j < count && j < len; ++j) {
            r = f1(w[k] ^ w[(k + mid) % size] ^ w[(k + size - 1) % size]);
            w[(k + mid) % size] += r;
            r += key[j] + uint32_t(k);
            w[(k + mid + lag) % size] += r;
            w[k] = r;
            k = (k + 1) % size;
        }
        for (; j < count; ++j) {
            r = f1(w[k] ^ w[(k + mid) % size] ^ w[(k + size - 1) % size]);
            w[(k + mid) % size] += r;
            r += uint32_t(k);
            w[(k + mid + lag) % size] += r;
            w[k] = r;
            k = (k + 1) % size;
        }
        for (j = 0; j < size; ++j) {
            r = f2(w[k] + w[(k + mid) % size] + w[(k + size - 1) % size]);
            w[(k + mid) % size] ^= r;
            r -= uint32_t(k);
            w[(k + mid + lag) % size] ^= r;
            w[k] = r;
            k = (k + 1) % size;
        }
        uint32_t inner = 0;
        for (int q = 0; q < 4; ++q) inner ^= w[q] & kParity[q];
        for (int q = 16; q > 0; q >>= 1) inner ^= inner >> q;
        if ((inner & 1u) == 0) {
            for (int q = 0; q < 4; ++q)
                for (uint32_t bitv = 1; bitv != 0; bitv <<= 1)
                    if ((bitv & kParity[q]) != 0) {
                        w[q] ^= bitv;
                        q = 4;
                        break;
                    }
        }
    }
};

// The ascending exponents of the characteristic polynomial of a recurrence
// from 2 degree bits of its output (get() returns the next bit).
template <class Bit> std::vector<int32_t> characteristic_exponents(int degree, Bit get) {
    using namespace vexa::rng::gf2;
    const int len = 2 * degree;
    std::vector<Word> s(static_cast<std::size_t>(words_for(len))), c(static_cast<std::size_t>(words_for(len + 1))),
        scratch(berlekamp_massey_words(len));
    for (int k = 0; k < len; ++k)
        if (get()) flip(s.data(), k);
    const int L = berlekamp_massey(c.data(), s.data(), len, scratch.data());
    std::vector<int32_t> e;
    for (int k = 0; k <= L; ++k)
        if (bit(c.data(), k)) e.push_back(k);
    return e;
}

}  // namespace vexa::tools
