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

// The chunk: this header, then the set-up's table of g.
struct BinomialChunk {
    double p;  // first, at the same offset on both ABIs
    int32_t ntrial;
    TpeSetup setup;
    double* table() { return reinterpret_cast<double*>(this + 1); }
};
static_assert(sizeof(BinomialChunk) % 8 == 0);
constexpr int32_t kBinomialChunk = 5;

// Uniforms from the stream 1024 at a time; a failed refill leaves its
// status and hands out 1/2 until the caller stops.
class Uniforms {
public:
    explicit Uniforms(StreamState* s) : s_(s) {}
    double operator()() {
        if (at_ == kSize) {
            at_ = 0;
            const int st = source::uniform(s_, kSize, u_, 0.0, 1.0);
            if (st < 0) {
                status_ = st;
                for (double& x : u_) x = 0.5;
            }
        }
        return u_[at_++];
    }
    int status() const { return status_; }

private:
    static constexpr int kSize = 1024;
    StreamState* s_;
    int at_ = kSize, status_ = VEXA_RNG_OK;
    double u_[kSize];
};

int inversion(StreamState* s, int n, int32_t* r, int32_t ntrial, double sp, bool flip) {
    constexpr int kTable = 512, kGuide = 64;
    double cdf[kTable], f0;
    const double q = 1 - sp;
    vm::call<vm::fn::Powx, double>(vm::Slot::HA, VEXA_VM_KEEP_DENORMALS, 1, &q, double(ntrial), &f0);
    const double ratio = sp / q;
    double f = f0, sum = f0;
    int last = 0;
    cdf[0] = sum;
    while (last + 1 < kTable && last < ntrial && sum < 1) {
        f *= double(ntrial - last) / double(last + 1) * ratio;
        sum += f;
        cdf[++last] = sum;
    }
    cdf[last] = 2;  // the table ends here: every u < 1 stops at the last entry
    int32_t guide[kGuide];
    for (int j = 0, k = 0; j < kGuide; ++j) {
        while (cdf[k] <= double(j) / kGuide) ++k;
        guide[j] = k;
    }
    Uniforms u(s);
    for (int i = 0; i < n; ++i) {
        const double x = u();
        int32_t k = guide[int(x * kGuide)];
        while (cdf[k] <= x) ++k;
        r[i] = flip ? ntrial - k : k;
    }
    return u.status();
}

// The chunk's set-up when it is whole (its table within the chunk, as an
// image from outside may not have it), else null.
BinomialChunk* whole(const StreamChunk* c) {
    if (c == nullptr || c->size < int32_t(sizeof(BinomialChunk))) return nullptr;
    auto* b = static_cast<BinomialChunk*>(c->data);
    const int32_t count = b->setup.count;
    const bool fits = count >= 0 && count <= kTpeTable && c->size >= int32_t(sizeof(BinomialChunk)) + count * 8;
    return fits ? b : nullptr;
}

int btpe(StreamState* s, int n, int32_t* r, int32_t ntrial, double p, double sp, bool flip) {
    const BinomialLaw law(ntrial, sp);
    StreamChunk* record = chunk_record(s, kBinomialChunk);
    BinomialChunk* cache = whole(record);
    if (cache == nullptr || cache->ntrial != ntrial || cache->p != p) {
        const double q = 1 - sp;
        const double p1 = std::floor(2.195 * std::sqrt(double(ntrial) * sp * q) - 4.6 * q) + 0.5;
        TpeSetup t = tpe_setup(law, p1, 0.134 + 20.5 / (15.3 + law.m));
        tpe_table_range(law, t);
        const int32_t bytes = int32_t(sizeof(BinomialChunk)) + t.count * int32_t(sizeof(double));
        if (cache == nullptr || record->size < bytes) {  // a chunk of the new size
            auto* fresh = static_cast<BinomialChunk*>(vexa_serv_allocate(std::size_t(bytes), kAlignment));
            if (fresh == nullptr) return VEXA_RNG_MEMORY;
            __tqrDeleteChunksById(s, kBinomialChunk);
            if (__tqrAddChunk(s, kBinomialChunk, nullptr, fresh, bytes) != VEXA_RNG_OK) {
                vexa_serv_deallocate(fresh);
                return VEXA_RNG_MEMORY;
            }
            cache = fresh;
        }
        cache->p = p;
        cache->ntrial = ntrial;
        cache->setup = t;
        tpe_fill_table(law, t, cache->table());
    }
    return tpe_fill(s, law, cache->setup, cache->table(), n, r, flip ? ntrial : -1);
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
