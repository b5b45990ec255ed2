// Uniform bits: the generator's integer output as it is, and 32- and 64-bit
// words of full uniform bits, by the stream's registry index: the integer
// output of the generators whose words are full 32-bit uniform words, bits
// 27-58 of each MCG59 state (its 32 best bits), and
// VEXA_RNG_BAD_BITS_GENERATOR for the others (MCG31M1, R250, MRG32K3A, WH,
// the quasi-random and the abstract streams, and registered generators,
// whose words we cannot vouch for: our choice). A 64-bit word is two
// consecutive 32-bit words, the first in its low half.
#include <cstdint>

#include "random/distributions/frame.h"

namespace vexa::rng {
namespace {

// MCG59's states in passes of 2048, each giving bits 27-58.
int mcg59_bits(StreamState* s, int n, uint32_t* r) {
    constexpr int kPass = 2048;
    alignas(32) uint64_t x[kPass];
    int st = VEXA_RNG_OK;
    for (int done = 0; done < n; done += kPass) {
        const int k = n - done < kPass ? n - done : kPass;
        if ((st = source::words(s, k, reinterpret_cast<uint32_t*>(x))) < 0) return st;
        for (int i = 0; i < k; ++i) r[done + i] = uint32_t(x[i] >> 27);
    }
    return st;
}

using Bits = int (*)(StreamState*, int, uint32_t*);

// The routine of each built-in registry index.
Bits routine_of(int32_t index) {
    switch (index) {
        case registry_index::MCG59: return mcg59_bits;
        case registry_index::MT19937:
        case registry_index::MT2203:
        case registry_index::SFMT19937:
        case registry_index::TRNG:
        case registry_index::ARS5:
        case registry_index::PHILOX4X32X10: return source::words;
        default: return nullptr;
    }
}

int bits32(StreamState* s, long long n, uint32_t* r) {
    const Bits f = routine_of(source::registry_index_of(s));
    if (f == nullptr) return VEXA_RNG_BAD_BITS_GENERATOR;
    // In pieces that an int can count.
    constexpr long long kPiece = 1 << 30;
    int st = VEXA_RNG_OK;
    for (long long done = 0; done < n; done += kPiece) {
        const int k = int(n - done < kPiece ? n - done : kPiece);
        if ((st = f(s, k, r + done)) < 0) return st;
    }
    return st;
}

}  // namespace
}  // namespace vexa::rng

using namespace vexa::rng;

extern "C" {
VEXA_EXPORT int _tqriRngUniformBits(int, StreamState* s, int n, uint32_t* r) { return source::words(s, n, r); }
VEXA_EXPORT int _tqriRngUniformBits32(int, StreamState* s, int n, uint32_t* r) { return bits32(s, n, r); }
VEXA_EXPORT int _tqriRngUniformBits64(int, StreamState* s, int n, uint64_t* r) {
    return bits32(s, 2LL * (n > 0 ? n : 0), reinterpret_cast<uint32_t*>(r));
}
}
