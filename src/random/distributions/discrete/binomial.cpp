// Binomial (ntrial, p). With s = min(p, 1 - p) (values for p > 1/2 are
// ntrial minus those for 1 - p) and m = ntrial s:
//
//   m < 30   inversion: f(0) = (1 - s)^ntrial by the vector power kernel of
//            the HA slot, the cumulative table by f(k + 1) = f(k) (ntrial - k)
//            / (k + 1) s / (1 - s) up to 512 entries (the mass beyond is
//            below 1e-80), searched from a guide table of 64 cells (Chen and
//            Asau, 1974), about two steps a value.
//   m >= 30  BTPE (Kachitvichyanukul and Schmeiser, 1988) in the exact form
//            of tpe.h, from p1 = floor(2.195 sqrt(m (1 - s)) - 4.6 (1 - s))
//            + 1/2 and c = 0.134 + 20.5 / (15.3 + mode); the set-up for
//            (ntrial, p) with its table of g kept in chunk 5, which is
//            deleted and made anew for other parameters.
#include <cmath>

#include "random/distributions/discrete/inversion.h"
#include "random/distributions/discrete/tpe.h"

namespace vexa::rng::dist {
namespace {

struct BinomialLaw {
    int32_t n;
    double s, lsq;  // s <= 1/2, ln(s / (1 - s))
    int32_t m;
    BinomialLaw(int32_t n_, double s_) : n(n_), s(s_), lsq(std::log(s_ / (1 - s_))) {
        m = int32_t(std::floor((double(n) + 1) * s));
        if (m > n) m = n;
    }
    int32_t lo() const { return 0; }
    int32_t hi() const { return n; }
    int32_t mode() const { return m; }
    double spread() const { return std::sqrt(double(n) * s * (1 - s)); }
    double ratio(int32_t k) const { return double(n - k) / double(k + 1) * (s / (1 - s)); }
    double log_g(int32_t y) const {
        return log_factorial_ratio(m, y) + log_factorial_ratio(double(n) - m, double(n) - y) + (double(y) - m) * lsq;
    }
};

constexpr int32_t kBinomialChunk = 5;

int inversion(StreamState* s, int n, int32_t* r, int32_t ntrial, double sp, bool flip) {
    double f0;
    const double q = 1 - sp, ratio = sp / q;
    vm::call<vm::fn::Powx, double>(vm::Slot::HA, VEXA_VM_KEEP_DENORMALS, 1, &q, double(ntrial), &f0);
    Inversion<512> table;
    table.build(f0, [&](int32_t k) { return double(ntrial - k) / double(k + 1) * ratio; }, ntrial);
    return invert(s, table, n, r, flip ? ntrial : -1);
}

int btpe(StreamState* s, int n, int32_t* r, int32_t ntrial, double p, double sp, bool flip) {
    const BinomialLaw law(ntrial, sp);
    const double q = 1 - sp;
    const double p1 = std::floor(2.195 * std::sqrt(double(ntrial) * sp * q) - 4.6 * q) + 0.5;
    const TpeChunk* c = tpe_cached(s, kBinomialChunk, p, double(ntrial), law, p1, 0.134 + 20.5 / (15.3 + law.m));
    if (c == nullptr) return VEXA_RNG_MEMORY;
    return tpe_fill(s, law, *c, n, r, flip ? ntrial : -1);
}

}  // namespace
}  // namespace vexa::rng::dist

extern "C" VEXA_EXPORT int _tqriRngBinomial(int, StreamState* s, int n, int32_t* r, int32_t ntrial, double p) {
    using namespace vexa::rng::dist;
    const bool flip = p > 0.5;
    const double sp = flip ? 1 - p : p;
    if (n <= 0) return VEXA_RNG_OK;
    if (ntrial <= 0 || sp <= 0) {  // every value is 0 (ntrial when flipped)
        for (int i = 0; i < n; ++i) r[i] = flip ? ntrial : 0;
        return VEXA_RNG_OK;
    }
    if (double(ntrial) * sp < 30) return inversion(s, n, r, ntrial, sp, flip);
    Frame frame(Consts<double>::kLnCallBack);
    return btpe(s, n, r, ntrial, p, sp, flip);
}
