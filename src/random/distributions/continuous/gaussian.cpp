// Gaussian: the dispatcher. It installs the Gaussian callback for the whole
// call and runs the method of the method word from its table; a stream of
// MCG31M1 or MCG59 reaches the inverse CDF on the vector engines instead of
// the inverse-error-function one (double only).
#include "random/distributions/frame.h"
#include "random/distributions/continuous/gaussian.h"

namespace {

VexadGaussianMethod* const kDoubleMethods[4] = {_vdRngGaussianBoxMuller, _vdRngGaussianBoxMuller2,
                                                _vdRngGaussianICDF, _vrng_dnormal};
VexasGaussianMethod* const kFloatMethods[3] = {_vsRngGaussianBoxMuller, _vsRngGaussianBoxMuller2,
                                               _vsRngGaussianICDF};
// Method index to table entry on engine streams.
constexpr int kEngineEntry[3] = {0, 1, 3};

// Method words outside 0..2 are the front-end's to reject.
bool known(int method) { return method >= 0 && method <= 2; }

}  // namespace

using namespace vexa::rng;

extern "C" {
VEXA_EXPORT int _tqrdRngGaussian(int method, StreamState* s, int n, double* r, double a, double sigma) {
    if (!known(method)) return VEXA_RNG_BAD_ARG;
    dist::Frame frame(dist::Consts<double>::kGaussianCallBack);
    const int entry = source::has_engines(s) ? kEngineEntry[method] : method;
    return kDoubleMethods[entry](s, n, r, a, sigma);
}
VEXA_EXPORT int _tqrsRngGaussian(int method, StreamState* s, int n, float* r, float a, float sigma) {
    if (!known(method)) return VEXA_RNG_BAD_ARG;
    dist::Frame frame(dist::Consts<float>::kGaussianCallBack);
    return kFloatMethods[method](s, n, r, a, sigma);
}
}
