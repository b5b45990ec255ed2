// Generated from the catalogue for every built function: the entry table
// (_ttab), the work-figure table (_ctab), the name string, and the four entry
// stubs, each a tail jump through one slot of the entry table that leaves the
// caller's arguments untouched.
#include "vector_math/frame/names.h"

#define VMX_STR_(x) #x
#define VMX_STR(x) VMX_STR_(x)

// ---- entry and work-figure tables -------------------------------------------
// The stubs jump through a hidden twin of each exported entry table, which the
// exported name aliases, so that they address it PC-relative.
#define VMX_TABLES(t, F, cls, pat, gl, gh, ge, wl, wh, we)                                              \
    extern "C" VEXA_HIDDEN VexaVmFn_##cls##_##t* const vexa_vm_ttab_##t##F[3] = {                       \
        VMX_SLOTS_##pat(t, F, gl, gh, ge)};                                                             \
    extern "C" VEXA_EXPORT VexaVmFn_##cls##_##t* const vexa_arx_kernel_##t##F##_ttab[3]                 \
        __attribute__((alias("vexa_vm_ttab_" #t #F)));                                                  \
    extern "C" VEXA_EXPORT const float vexa_arx_kernel_##t##F##_ctab[3] = {VMX_FIGS_##pat(wl, wh, we)}; \
    VMX_ASSERT_TABLES(t, F)
#if defined(__i386__)
#define VMX_ASSERT_TABLES(t, F)                                                                      \
    static_assert(sizeof(vexa_vm_ttab_##t##F) == 12 && sizeof(vexa_arx_kernel_##t##F##_ctab) == 12, \
                  "entry and work-figure tables are 12 bytes");
#else
#define VMX_ASSERT_TABLES(t, F)
#endif
#define VM_FN(st, t, F, cls, pat, gl, gh, ge, wl, wh, we, rep) \
    VMX_IF_##st(VMX_TABLES(t, F, cls, pat, gl, gh, ge, wl, wh, we))
#include "vexa/vm_catalogue.def"
#undef VM_FN

// ---- name strings (writable, as the error routines receive them) -------------
#define VMX_NAME_DEF_R(t, F) extern "C" { char vexa_vm_name_##t##F[] = "v" #t #F; }
#define VMX_NAME_DEF_N(t, F)
#define VM_FN(st, t, F, cls, pat, gl, gh, ge, wl, wh, we, rep) VMX_IF_##st(VMX_NAME_DEF_##rep(t, F))
#include "vexa/vm_catalogue.def"
#undef VM_FN

// ---- entry stubs ----------------------------------------------------------------
#if defined(__x86_64__)
#define VMX_JUMP(table, slot) "    jmp *" table "+" #slot "*8(%rip)\n"
#define VMX_PC_THUNK
#elif defined(__i386__)
// Position-independent: the GOT base from a PC thunk (ecx is free under cdecl),
// then an indirect jump through the table slot.
#define VMX_JUMP(table, slot)                         \
    "    call vexa_vm_pc_thunk_cx\n"                  \
    "    addl $_GLOBAL_OFFSET_TABLE_, %ecx\n"         \
    "    jmp *" table "@GOTOFF+" #slot "*4(%ecx)\n"
asm(".pushsection .text\n"
    "    .p2align 4\n"
    "    .hidden vexa_vm_pc_thunk_cx\n"
    "    .type vexa_vm_pc_thunk_cx,@function\n"
    "vexa_vm_pc_thunk_cx:\n"
    "    movl (%esp), %ecx\n"
    "    ret\n"
    "    .size vexa_vm_pc_thunk_cx,.-vexa_vm_pc_thunk_cx\n"
    ".popsection\n");
#else
#error "entry stubs are written for x86"
#endif

#define VMX_STUB(name, table, slot)      \
    asm(".pushsection .text\n"           \
        "    .p2align 4\n"               \
        "    .globl " name "\n"          \
        "    .type " name ",@function\n" \
        name ":\n"                       \
        VMX_JUMP(table, slot)            \
        "    .size " name ",.-" name "\n" \
        ".popsection\n");
#define VMX_STUBS(t, F)                                                             \
    VMX_STUB("_arx" #t #F, "vexa_vm_ttab_" #t #F, 1)                                \
    VMX_STUB("_arx" #t #F "_HA", "vexa_vm_ttab_" #t #F, 1)                          \
    VMX_STUB("_arx" #t #F "_" VMX_STR(VMX_LASFX_##t), "vexa_vm_ttab_" #t #F, 0)     \
    VMX_STUB("_arx" #t #F "_" VMX_STR(VMX_EPSFX_##t), "vexa_vm_ttab_" #t #F, 2)
#define VM_FN(st, t, F, cls, pat, gl, gh, ge, wl, wh, we, rep) VMX_IF_##st(VMX_STUBS(t, F))
#include "vexa/vm_catalogue.def"
#undef VM_FN
