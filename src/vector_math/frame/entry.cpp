// Frame entry points the front-end calls around the kernels.
#include "vector_math/frame/thread_state.h"

extern "C" {

// This library serves processors with AVX2 and FMA: generation 0 of the front-end's list.
VEXA_EXPORT int dll_cpu_version(void) { return 0; }

// Slot of the entry tables for the thread's accuracy (LA 0, HA 1, EP 2; -1 when unset).
VEXA_EXPORT int vexa_arx_kernel_GetTTableIndex(void) {
    return int(vexa::vm::current_mode() & VEXA_VM_ACCURACY_MASK) - 1;
}

VEXA_EXPORT int vexa_arx_kernel_GetTTableIndexM(int, int mode) {
    return int(unsigned(mode) & VEXA_VM_ACCURACY_MASK) - 1;
}

VEXA_EXPORT const void* vexa_arx_kernel_SetInterfInputVectorPointer(const void* p) {
    vexa::vm::g_thread.interface_ptr = p;
    return p;
}

VEXA_EXPORT const void* _arxSetInterfInputVectorPointer(const void* p) {
    return vexa_arx_kernel_SetInterfInputVectorPointer(p);
}

}  // extern "C"
