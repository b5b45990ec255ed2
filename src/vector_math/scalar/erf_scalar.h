// Per-element routines of the complementary error function, the normal
// distribution function and the inverse error functions: the lanes their
// range tests leave (infinities, NaN, the underflow of Erfc and CdfNorm in
// double, the ends and the outside of the inverses' domains) with their
// special results and statuses.
#pragma once

#include "common/export.h"

namespace vexa::vm {

// Erfc: NaN gives x + x, +inf +0 and -inf 2 (status 0); finite x from the
// range limit 27.2421875 (d) gives +0 with status 4 (erfc x < 2^-1075 from
// 27.226017111108366 on).
VEXA_HIDDEN int vderfc_cout_rare(const double* a, double* r);
VEXA_HIDDEN int vserfc_cout_rare(const float* a, float* r);
// CdfNorm: NaN gives x + x, -inf +0 and +inf 1 (status 0); finite x below
// the range limit -38.4921875 (d) gives +0 with status 4.
VEXA_HIDDEN int vdcdfnorm_cout_rare(const double* a, double* r);
VEXA_HIDDEN int vscdfnorm_cout_rare(const float* a, float* r);
// ErfInv: +-1 gives +-inf (status 2); |x| above 1 NaN (status 1); NaN x + x.
VEXA_HIDDEN int vderfinv_cout_rare(const double* a, double* r);
VEXA_HIDDEN int vserfinv_cout_rare(const float* a, float* r);
// ErfcInv: 0 gives +inf, 2 gives -inf (status 2); below 0, above 2 and the
// infinities NaN (status 1); NaN x + x.
VEXA_HIDDEN int vderfcinv_cout_rare(const double* a, double* r);
VEXA_HIDDEN int vserfcinv_cout_rare(const float* a, float* r);
// CdfNormInv: 0 gives -inf, 1 gives +inf (status 2); below 0, above 1 and
// the infinities NaN (status 1); NaN x + x.
VEXA_HIDDEN int vdcdfnorminv_cout_rare(const double* a, double* r);
VEXA_HIDDEN int vscdfnorminv_cout_rare(const float* a, float* r);

}  // namespace vexa::vm
