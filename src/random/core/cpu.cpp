// The processor checks of the generators that need special instructions:
// cpuid leaf 1, less the features the service layer says to treat as absent.
#include <cpuid.h>

#include "common/export.h"
#include "vexa/random.h"
#include "vexa/service.h"

namespace {

// cpuid is slow (a trap under a hypervisor): leaf 1 is read once.
struct Leaf1 {
    unsigned ecx = 0, edx = 0;
    Leaf1() {
        unsigned eax, ebx;
        if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) ecx = edx = 0;
    }
};
const Leaf1& leaf1() {
    static const Leaf1 l;
    return l;
}

}  // namespace

extern "C" {

// SSE2 (EDX bit 26) and AES (ECX bit 25).
VEXA_EXPORT int __tqrCPUisAES(void) {
    if ((vexa_serv_hidden_cpu_features() & VEXA_SERV_CPU_AES) != 0) return 0;
    const Leaf1& l = leaf1();
    return ((l.edx >> 26) & 1u) != 0 && ((l.ecx >> 25) & 1u) != 0 ? 1 : 0;
}

// RDRAND: ECX bit 30.
VEXA_EXPORT int __tqrCPUisRDRAND(void) {
    if ((vexa_serv_hidden_cpu_features() & VEXA_SERV_CPU_RDRAND) != 0) return 0;
    return ((leaf1().ecx >> 30) & 1u) != 0 ? 1 : 0;
}

}  // extern "C"
