// How another subsystem calls a vector-math function: through the entry table
// of the function, in a chosen slot, under a chosen mode, with the calling
// thread's mode word and error callback restored exactly on every path out.
//
//   vm::call<vm::fn::Ln, double>(vm::Slot::EP, VEXA_VM_KEEP_DENORMALS, n, r, r);
//
//   {
//       vm::ModeScope frame(VEXA_VM_ERRMODE_CALLBACK, my_callback);  // for a whole kernel
//       ... vm::call<...>(...) ...
//   }
//
// A mode given here changes the fields it has bits in, as SetMode does; the
// restore puts back the caller's whole word.
#pragma once

#include "common/export.h"
#include "vector_math/frame/thread_state.h"
#include "vexa/vector_math.h"

namespace vexa::vm {

enum class Slot : int { LA = 0, HA = 1, EP = 2 };

// Tags of the built functions (fn::Exp, fn::InvSqrt, ...).
namespace fn {
#define VMX_TAG(t, F) struct F;
#define VM_FN(st, t, F, cls, pat, gl, gh, ge, wl, wh, we, rep) VMX_IF_##st(VMX_TAG(t, F))
#include "vexa/vm_catalogue.def"
#undef VM_FN
#undef VMX_TAG
}  // namespace fn

// The element type of a type letter.
using elem_s = float;
using elem_d = double;
using elem_c = VexaComplex8;
using elem_z = VexaComplex16;

// The entry table of function F for element type T: table((fn::F*)0, (T*)0).
#define VMX_TABLE(t, F, cls)                                                          \
    extern "C" VEXA_HIDDEN VexaVmFn_##cls##_##t* const vexa_vm_ttab_##t##F[3];        \
    VEXA_INLINE auto& table(fn::F*, elem_##t*) { return vexa_vm_ttab_##t##F; }
#define VM_FN(st, t, F, cls, pat, gl, gh, ge, wl, wh, we, rep) VMX_IF_##st(VMX_TABLE(t, F, cls))
#include "vexa/vm_catalogue.def"
#undef VM_FN
#undef VMX_TABLE

// The thread's mode (and, when given, its error callback) for a scope.
class ModeScope {
public:
    VEXA_INLINE explicit ModeScope(unsigned mode) : mode_(set_mode(mode)), callback_(g_thread.callback) {}
    VEXA_INLINE ModeScope(unsigned mode, VexaErrorCallBack callback) : ModeScope(mode) { g_thread.callback = callback; }
    VEXA_INLINE ~ModeScope() {
        g_thread.mode = mode_;
        g_thread.callback = callback_;
    }
    ModeScope(const ModeScope&) = delete;
    ModeScope& operator=(const ModeScope&) = delete;

private:
    unsigned mode_;
    VexaErrorCallBack callback_;
};

// F for element type T in the given slot, under `mode` for this call only.
template <class F, class T, class... Args> VEXA_INLINE void call(Slot slot, unsigned mode, Args... args) {
    ModeScope scope(mode);
    table(static_cast<F*>(nullptr), static_cast<T*>(nullptr))[int(slot)](args...);
}

}  // namespace vexa::vm
