// Poisson (lambda), by the method of the method word:
//
//   0  PTPE (`_viRngPoissonPtpe`): below lambda = 27 inversion, from
//      f(0) = e^-lambda by the vector exponential of the HA slot, its table
//      for the last lambda kept in chunk 3; from 27 on the acceptance-
//      rejection scheme of tpe.h (Schmeiser and Kachitvichyanukul, 1981)
//      from p1 = floor(2.195 sqrt(lambda) - 2.2) + 1/2 and c = 0.133 + 8.56
//      / (6.83 + lambda), its set-up and table in chunk 3.
//   1  the normal approximation (`_viRngPoissonPoisNorm`): from lambda = 100
//      on, float standard normals z by the inverse CDF, then the
//      Cornish-Fisher expansion of the quantile with the continuity
//      correction, floor(lambda + sqrt(lambda) z + (z^2 - 1) / 6 +
//      (z^3 - 7 z) / (72 sqrt(lambda)) + 1/2), at least 0: its CDF is within
//      1.3e-4 of the Poisson CDF at lambda = 100, 1.2e-5 at 1000 (our
//      choice of correction). Below 100 it takes the exact methods of 0
//      (our choice for those branches).
#include <cmath>

#include "random/distributions/discrete/inversion.h"
#include "random/distributions/discrete/tpe.h"

namespace vexa::rng::dist {
namespace {

constexpr int32_t kPoissonChunk = 3;
constexpr double kInversionBelow = 27, kNormalFrom = 100;

struct PoissonLaw {
    double lambda, ln_lambda;
    int32_t m;
    explicit PoissonLaw(double l) : lambda(l), ln_lambda(std::log(l)), m(int32_t(std::floor(l))) {}
    int32_t lo() const { return 0; }
    int32_t hi() const { return 2147483646; }
    int32_t mode() const { return m; }
    double spread() const { return std::sqrt(lambda); }
    double ratio(int32_t k) const { return lambda / double(k + 1); }
    double log_g(int32_t y) const { return (double(y) - m) * ln_lambda - log_factorial_ratio(y, m); }
};

// The inversion table in chunk 3, beside the lambda it was made for (the
// second number 0 where a PTPE set-up has 1).
struct InversionChunk {
    double lambda, kind;
    Inversion<128> table;
};

// Whole and sound: a table from a stream image must not lead a search out.
bool sound(const StreamChunk* c, double lambda) {
    if (c == nullptr || c->size < int32_t(sizeof(InversionChunk))) return false;
    const auto* b = static_cast<const InversionChunk*>(c->data);
    if (b->kind != 0 || b->lambda != lambda || b->table.last < 0 || b->table.last >= 128) return false;
    if (!(b->table.cdf[b->table.last] > 1)) return false;
    for (int32_t g : b->table.guide)
        if (g < 0 || g > b->table.last) return false;
    return true;
}

int inversion(StreamState* s, int n, int32_t* r, double lambda) {
    StreamChunk* record = chunk_record(s, kPoissonChunk);
    if (!sound(record, lambda)) {
        InversionChunk* c = record != nullptr && record->size >= int32_t(sizeof(InversionChunk))
                                ? static_cast<InversionChunk*>(record->data)
                                : nullptr;
        if (c == nullptr) {
            c = static_cast<InversionChunk*>(replace_chunk(s, kPoissonChunk, int32_t(sizeof(InversionChunk))));
            if (c == nullptr) return VEXA_RNG_MEMORY;
        }
        double f0;
        const double minus = -lambda;
        vm::call<vm::fn::Exp, double>(vm::Slot::HA, VEXA_VM_KEEP_DENORMALS, 1, &minus, &f0);
        c->table.build(f0, [&](int32_t k) { return lambda / double(k + 1); }, 2147483646);
        c->lambda = lambda;
        c->kind = 0;
        record = chunk_record(s, kPoissonChunk);
    }
    return invert(s, static_cast<const InversionChunk*>(record->data)->table, n, r, -1);
}

int ptpe(StreamState* s, int n, int32_t* r, double lambda) {
    if (lambda < kInversionBelow) return inversion(s, n, r, lambda);
    const PoissonLaw law(lambda);
    const double p1 = std::floor(2.195 * std::sqrt(lambda) - 2.2) + 0.5;
    const TpeChunk* c = tpe_cached(s, kPoissonChunk, lambda, 1.0, law, p1, 0.133 + 8.56 / (6.83 + lambda));
    if (c == nullptr) return VEXA_RNG_MEMORY;
    Frame frame(Consts<double>::kLnCallBack);
    return tpe_fill(s, law, *c, n, r, -1);
}

int normal(StreamState* s, int n, int32_t* r, double lambda) {
    if (lambda < kNormalFrom) return ptpe(s, n, r, lambda);
    auto* z = reinterpret_cast<float*>(r);
    const int st = _tqrsRngGaussian(VEXA_RNG_GAUSSIAN_ICDF, s, n, z, 0.0f, 1.0f);
    if (st < 0) return st;
    const double root = std::sqrt(lambda), third = 1.0 / (72 * root);
    for (int i = 0; i < n; ++i) {
        const double x = z[i];
        const double k = std::floor(lambda + root * x + (x * x - 1) * (1.0 / 6) + (x * x - 7) * x * third + 0.5);
        r[i] = k <= 0 ? 0 : k >= 2147483647.0 ? 2147483647 : int32_t(k);
    }
    return st;
}

}  // namespace
}  // namespace vexa::rng::dist

using namespace vexa::rng::dist;

extern "C" {
VEXA_HIDDEN int _viRngPoissonPtpe(StreamState* s, int n, int32_t* r, double lambda) { return ptpe(s, n, r, lambda); }
VEXA_HIDDEN int _viRngPoissonPoisNorm(StreamState* s, int n, int32_t* r, double lambda) {
    return normal(s, n, r, lambda);
}

VEXA_EXPORT int _tqriRngPoisson(int method, StreamState* s, int n, int32_t* r, double lambda) {
    using Method = int(StreamState*, int, int32_t*, double);
    static Method* const kMethods[2] = {_viRngPoissonPtpe, _viRngPoissonPoisNorm};
    if (method < 0 || method > 1) return VEXA_RNG_BAD_ARG;
    if (n <= 0) return VEXA_RNG_OK;
    if (!(lambda > 0)) {  // the front-end's to reject; all zeros rather than a crash
        for (int i = 0; i < n; ++i) r[i] = 0;
        return VEXA_RNG_OK;
    }
    // Means beyond 2^30 leave too little room below 2^31 for the exact
    // methods' integer walk; the normal approximation clamps (our choice).
    if (lambda > 1073741824.0) return normal(s, n, r, lambda);
    return kMethods[method](s, n, r, lambda);
}
}
