// The error callbacks the continuous distributions install while they run.
// Each writes its replacement into both result fields and returns 0, so the
// kernel stores the replacement and goes on; other statuses are left as the
// kernel reported them.
#include <cstdint>

#include "random/distributions/frame.h"

namespace {

using vexa::rng::dist::Consts;

constexpr int32_t kDomain = 1;    // argument outside the domain
constexpr int32_t kSingular = 2;  // singularity

void replace(ErrorContext* c, double value) { c->res1 = c->res2 = value; }

template <class T> int ln_callback(ErrorContext* c) {
    if (c->status == kSingular) replace(c, Consts<T>::kLnZero);
    return 0;
}

template <class T> int gaussian_callback(ErrorContext* c) {
    if (c->status == kSingular && c->arg1 == 0.0) replace(c, Consts<T>::kLnZero);
    else if (c->status == kSingular || c->status == kDomain)
        replace(c, c->arg1 < 0.0 ? -Consts<T>::kNormalEnd : Consts<T>::kNormalEnd);
    return 0;
}

}  // namespace

extern "C" {
VEXA_HIDDEN int _vdLnCallBack(ErrorContext* c) { return ln_callback<double>(c); }
VEXA_HIDDEN int _vsLnCallBack(ErrorContext* c) { return ln_callback<float>(c); }
VEXA_HIDDEN int _vdCallBack(ErrorContext* c) { return gaussian_callback<double>(c); }
VEXA_HIDDEN int _vsCallBack(ErrorContext* c) { return gaussian_callback<float>(c); }
}
