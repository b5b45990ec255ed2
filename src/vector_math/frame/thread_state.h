// The per-thread block of the vector-math kernels (mode, status, callback,
// interface pointer) and the internal routines that read and change it.
#pragma once

#include <cstdint>

#include "common/export.h"
#include "common/fp_frame.h"
#include "vexa/vector_math.h"

namespace vexa::vm {

struct ThreadBlock {
    const void* interface_ptr;   // start of the caller's whole first input vector, or null
    int32_t status;              // status of the most recent error-routine call
    VexaErrorCallBack callback;  // user error callback, or null
    uint64_t mode;               // 0 until initialised; only the low 32 bits carry fields
};

// Zero-initialised in every thread (no constructor, so no TLS init wrapper).
// Initial-exec: every kernel reads it, and a %fs/%gs-relative load costs far
// less than a call to __tls_get_addr per kernel call; the block is 24 bytes
// (16 on i386), well inside the static TLS reserve that a library loaded with
// dlopen draws on.
#define VEXA_TLS_FAST __attribute__((tls_model("initial-exec")))
extern VEXA_HIDDEN thread_local ThreadBlock g_thread VEXA_TLS_FAST;

VEXA_HIDDEN unsigned initialise_mode();

// The thread's mode, read from the environment on first use.
VEXA_INLINE unsigned current_mode() {
    uint64_t m = g_thread.mode;
    return m != 0 ? unsigned(m) : initialise_mode();
}

VEXA_HIDDEN unsigned set_mode(unsigned mode);

// The MXCSR control bits a kernel runs under in the thread's current mode:
// flush-to-zero and denormals-are-zero only under FLUSH_DENORMALS.
VEXA_INLINE unsigned wanted_mxcsr() {
    return (current_mode() & VEXA_VM_DENORMAL_MASK) == VEXA_VM_FLUSH_DENORMALS ? kMxcsrFlushDenormals : 0u;
}

// The floating-point frame of the vector kernels.
class KernelFrame : public MxcsrGuard {
public:
    VEXA_INLINE KernelFrame() : MxcsrGuard(wanted_mxcsr()) {}
};

}  // namespace vexa::vm
