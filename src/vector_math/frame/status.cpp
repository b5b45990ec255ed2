// The thread's status word and error callback.
#include "vector_math/frame/thread_state.h"

using vexa::vm::g_thread;

namespace {

int set_status(int s) {
    int old = g_thread.status;
    g_thread.status = s;
    return old;
}

// Installing a callback turns the callback bit of the error mode on; removing
// it turns the bit off, which SetMode ignores when it was the field's only bit.
VexaErrorCallBack set_callback(VexaErrorCallBack cb) {
    VexaErrorCallBack old = g_thread.callback;
    unsigned m = vexa::vm::current_mode();
    g_thread.callback = cb;
    vexa::vm::set_mode(cb ? (m | VEXA_VM_ERRMODE_CALLBACK) : (m & ~VEXA_VM_ERRMODE_CALLBACK));
    return old;
}

}  // namespace

extern "C" {

VEXA_EXPORT int vexa_arx_kernel_GetErrStatus(void) { return g_thread.status; }
VEXA_EXPORT int _arxGetErrStatus(void) { return g_thread.status; }
VEXA_EXPORT int vexa_arx_kernel_SetErrStatus(int status) { return set_status(status); }
VEXA_EXPORT int _arxSetErrStatus(int status) { return set_status(status); }
VEXA_EXPORT int vexa_arx_kernel_ClearErrStatus(void) { return set_status(0); }
VEXA_EXPORT int _arxClearErrStatus(void) { return set_status(0); }

VEXA_EXPORT VexaErrorCallBack vexa_arx_kernel_SetErrorCallBack(VexaErrorCallBack cb) { return set_callback(cb); }
VEXA_EXPORT VexaErrorCallBack _arxSetErrorCallBack(VexaErrorCallBack cb) { return set_callback(cb); }
VEXA_EXPORT VexaErrorCallBack vexa_arx_kernel_GetErrorCallBack(void) { return g_thread.callback; }
VEXA_EXPORT VexaErrorCallBack _arxGetErrorCallBack(void) { return g_thread.callback; }
VEXA_EXPORT VexaErrorCallBack vexa_arx_kernel_ClearErrorCallBack(void) { return set_callback(nullptr); }
VEXA_EXPORT VexaErrorCallBack _arxClearErrorCallBack(void) { return set_callback(nullptr); }

}  // extern "C"
