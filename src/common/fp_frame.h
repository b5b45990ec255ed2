// MXCSR guard: sets the control bits a kernel needs and restores the caller's
// register exactly on scope exit, writing MXCSR only when it has to.
#pragma once

#include <immintrin.h>

#include "common/export.h"

namespace vexa {

// Bits under control: flush-to-zero (0x8000), rounding control (0x6000),
// denormals-are-zero (0x40). Rounding control 00 is round-to-nearest.
constexpr unsigned kMxcsrControlMask = 0xE040u;
constexpr unsigned kMxcsrFlushDenormals = 0x8040u;

class MxcsrGuard {
public:
    explicit VEXA_INLINE MxcsrGuard(unsigned wanted) : saved_(_mm_getcsr()) {
        changed_ = (saved_ & kMxcsrControlMask) != wanted;
        if (changed_) _mm_setcsr((saved_ & ~kMxcsrControlMask) | wanted);
    }
    VEXA_INLINE ~MxcsrGuard() {
        if (changed_) _mm_setcsr(saved_);
    }
    MxcsrGuard(const MxcsrGuard&) = delete;
    MxcsrGuard& operator=(const MxcsrGuard&) = delete;

private:
    unsigned saved_;
    bool changed_;
};

}  // namespace vexa
