// Skip-ahead of a linear recurrence over GF(2): T^n s = g(T) s with
// g = x^n mod p, p the characteristic polynomial of the transition T (p(T) = 0
// on the state space). The remainder comes from x^n by repeated squaring, each
// square reduced modulo p; g(T) s is then evaluated either by Horner's scheme,
// one step and at most one state addition per coefficient, or by a sliding
// window of seven coefficients over a table of the 128 states h(T) s for
// every h of degree below 7: one step per coefficient and one addition per
// window. Every block is taken before the stream is touched, so that a
// failed allocation leaves it as it was.
#include <cstring>

#include "random/core/gf2poly.h"
#include "random/core/stream.h"

namespace {

using namespace vexa::rng;
using gf2::Word;

constexpr int kWindow = 7, kTable = 1 << kWindow;

struct Block {
    void* p = nullptr;
    ~Block() { vexa_serv_deallocate(p); }
    bool take(size_t bytes) {
        p = vexa_serv_allocate(bytes, kAlignment);
        return p != nullptr;
    }
};

// x^n mod p into coefficients, with the work memory in `work`.
void remainder(Word* coefficients, uint64_t n, const int32_t* poly, int nterms, Word* work) {
    const int degree = poly[nterms - 1];
    const bool clmul = gf2::have_clmul();
    Word* storage = work;
    Word* scratch = work + gf2::modulus_words(degree);
    gf2::Modulus m;
    gf2::make_modulus(m, storage, poly, nterms, scratch, clmul);
    gf2::power_of_x(m, coefficients, n, scratch);
}

size_t remainder_bytes(int degree) {
    return sizeof(Word) * (gf2::modulus_words(degree) + gf2::work_words(degree));
}
size_t coefficient_bytes(int degree) { return sizeof(Word) * size_t(gf2::words_for(degree)); }
size_t state_stride(int state_size) { return (size_t(state_size) + kAlignment - 1) / kAlignment * kAlignment; }

bool valid(const VexaSkipAheadOps* ops, int degree, const int32_t* poly, int nterms, int state_size) {
    return ops != nullptr && poly != nullptr && nterms >= 2 && degree >= 2 && poly[nterms - 1] == degree &&
           state_size > 0;
}

// The common part of both schemes: the remainder g, then evaluate(g) on the
// taken blocks, then the result stored back.
template <class Evaluate>
int skip(StreamState* s, const VexaSkipAheadOps* ops, uint64_t nskip, int degree, const int32_t* poly, int nterms,
         size_t state_bytes, Evaluate evaluate) {
    if (nskip == 0) return VEXA_RNG_OK;
    unsigned long long steps = 0;
    if (ops->adjust(s, nskip, &steps) != 0) return VEXA_RNG_OK;
    Block coefficients, work, states;
    if (!coefficients.take(coefficient_bytes(degree)) || !work.take(remainder_bytes(degree)) ||
        !states.take(state_bytes))
        return VEXA_RNG_MEMORY;
    auto* g = static_cast<Word*>(coefficients.p);
    remainder(g, steps, poly, nterms, static_cast<Word*>(work.p));
    const void* result = evaluate(g, static_cast<char*>(states.p));
    ops->store(s, result, nskip);
    return VEXA_RNG_OK;
}

}  // namespace

extern "C" {

VEXA_EXPORT int __tqrPolyRem(uint32_t* coefficients, unsigned long long nskip, const int32_t* poly, int nterms) {
    if (coefficients == nullptr || poly == nullptr || nterms < 2 || poly[nterms - 1] < 2) return VEXA_RNG_BAD_ARG;
    const int degree = poly[nterms - 1];
    Block g, work;
    if (!g.take(coefficient_bytes(degree)) || !work.take(remainder_bytes(degree))) return VEXA_RNG_MEMORY;
    remainder(static_cast<Word*>(g.p), nskip, poly, nterms, static_cast<Word*>(work.p));
    std::memcpy(coefficients, g.p, sizeof(uint32_t) * size_t((degree + 31) / 32));
    return VEXA_RNG_OK;
}

// work = s; then for each lower coefficient: work = T work (+ s).
VEXA_EXPORT int __tqr_SkipAheadHorner(StreamState* s, const VexaSkipAheadOps* ops, unsigned long long nskip,
                                      int degree, const int32_t* poly, int nterms, int state_size) {
    if (s == nullptr || !valid(ops, degree, poly, nterms, state_size)) return VEXA_RNG_BAD_ARG;
    const size_t stride = state_stride(state_size);
    return skip(s, ops, nskip, degree, poly, nterms, 2 * stride, [&](const Word* g, char* states) -> const void* {
        void* origin = states;
        void* work = states + stride;
        ops->load(origin, s);
        int top = degree - 1;
        while (top > 0 && !gf2::bit(g, top)) --top;
        std::memcpy(work, origin, size_t(state_size));
        for (int i = top - 1; i >= 0; --i) {
            ops->step(work);
            if (gf2::bit(g, i)) ops->add(work, origin);
        }
        if (top == 0 && !gf2::bit(g, 0)) ops->clear(work);  // g = 0: only for a reducible p
        return work;
    });
}

// g = sum over j of h_j(x) x^(7 j), deg h_j < 7: work = table[h_J], then for
// each lower window seven steps and the addition of table[h_j].
VEXA_EXPORT int __tqr_SkipAheadSWin(StreamState* s, const VexaSkipAheadOps* ops, unsigned long long nskip,
                                    int degree, const int32_t* poly, int nterms, int state_size) {
    if (s == nullptr || !valid(ops, degree, poly, nterms, state_size)) return VEXA_RNG_BAD_ARG;
    const size_t stride = state_stride(state_size);
    return skip(s, ops, nskip, degree, poly, nterms, kTable * stride,
                [&](const Word* g, char* states) -> const void* {
                    auto table = [&](int h) { return states + size_t(h) * stride; };
                    char* work = states;  // table[0], the zero polynomial, is never added
                    ops->load(table(1), s);
                    for (int h = 2; h < kTable; ++h) {
                        const int low = h & -h;
                        ops->clear(table(h));
                        if (low == h) {  // x^k s = T x^(k-1) s
                            ops->add(table(h), table(h >> 1));
                            ops->step(table(h));
                        } else {
                            ops->add(table(h), table(h - low));
                            ops->add(table(h), table(low));
                        }
                    }
                    auto window = [&](int j) {
                        int h = 0;
                        for (int k = 0; k < kWindow; ++k)
                            if (kWindow * j + k < degree && gf2::bit(g, kWindow * j + k)) h |= 1 << k;
                        return h;
                    };
                    int j = (degree - 1) / kWindow;
                    while (j > 0 && window(j) == 0) --j;
                    ops->clear(work);
                    if (window(j) != 0) ops->add(work, table(window(j)));
                    for (--j; j >= 0; --j) {
                        for (int k = 0; k < kWindow; ++k) ops->step(work);
                        if (const int h = window(j); h != 0) ops->add(work, table(h));
                    }
                    return work;
                });
}

}  // extern "C"
