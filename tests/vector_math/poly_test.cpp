// The kernels' polynomials (tools/fit/polys.def): every committed fit meets
// the error its definition allows, and the fitter reaches, from the
// definition alone, an error within one bit of the committed fit, so a new
// kernel's fit can come from it.
#include <gtest/gtest.h>

#include "fit.h"

namespace {

using namespace vexa::tools;

TEST(Polynomials, EveryCommittedFitMeetsItsTarget) {
    for (const KernelPolynomial& k : kernel_polynomials()) {
        const double e = fit_error(k.definition, k.committed);
        std::printf("  %-9s committed error 2^%.2f, target 2^%.1f\n", k.definition.name, e, k.definition.target);
        EXPECT_LE(e, k.definition.target) << k.definition.name;
    }
}

TEST(Polynomials, TheFitterMatchesTheCommittedFits) {
#ifdef VEXA_SLOW_EMULATION
    GTEST_SKIP() << "the fits take minutes under emulation; the native run checks them";
#endif
    for (const KernelPolynomial& k : kernel_polynomials()) {
        const std::vector<double> c = fit(k.definition);
        ASSERT_EQ(c.size(), k.committed.size());
        EXPECT_LE(fit_error(k.definition, c), fit_error(k.definition, k.committed) + 1.0) << k.definition.name;
    }
}

}  // namespace
