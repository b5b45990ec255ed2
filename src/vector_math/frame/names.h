// Public name strings ("vdExp", "vcAdd", ...) of the built functions whose
// kernels report errors, generated from the catalogue; defined in tables.cpp.
#pragma once

#include "common/export.h"
#include "vexa/vector_math.h"

#define VMX_NAME_DECL_R(t, F) extern "C" VEXA_HIDDEN char vexa_vm_name_##t##F[];
#define VMX_NAME_DECL_N(t, F)
#define VM_FN(st, t, F, cls, pat, gl, gh, ge, wl, wh, we, rep) VMX_IF_##st(VMX_NAME_DECL_##rep(t, F))
#include "vexa/vm_catalogue.def"
#undef VM_FN

// The name string of function tF.
#define VM_NAME(tF) vexa_vm_name_##tF
