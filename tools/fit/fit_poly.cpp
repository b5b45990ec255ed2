// Fits a kernel polynomial of tools/fit/polys.def and prints its coefficients
// beside the committed ones, with both errors:
//   fit_poly            every row
//   fit_poly NAME       one row
#include <cstdio>
#include <cstring>

#include "fit.h"

int main(int argc, char** argv) {
    using namespace vexa::tools;
    int found = 0;
    for (const KernelPolynomial& k : kernel_polynomials()) {
        const FitDefinition& d = k.definition;
        if (argc > 1 && std::strcmp(argv[1], d.name) != 0) continue;
        ++found;
        const std::vector<double> c = fit(d);
        std::printf("%s: degree %d on [%a, %a], %s, target 2^%.1f\n", d.name, d.degree, d.lo, d.hi,
                    d.single ? "float" : "double", d.target);
        for (std::size_t i = 0; i < c.size(); ++i)
            std::printf("  C%zu  fit %-24a committed %a\n", i, c[i], k.committed[i]);
        std::printf("  error: fit 2^%.2f, committed 2^%.2f\n", fit_error(d, c), fit_error(d, k.committed));
    }
    return found > 0 ? 0 : 1;
}
