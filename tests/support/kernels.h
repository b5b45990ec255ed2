// The transcendental kernels of the built functions, one entry per entry-table
// slot, from the catalogue, with the oracle function that measures them.
#pragma once

#include <string>
#include <vector>

#include "support/oracle.h"
#include "vexa/vector_math.h"

namespace vexa::test {

// The documented bound of a kernel slot (a VM_BOUND row).
struct Bound {
    bool found = false;
    bool in_bits = false;  // at least `value` correct bits, else at most `value` ulp
    double value = 0;
    const char* source = "";
};

inline Bound bound_of(char type, const std::string& function, int slot) {
    struct Row {
        char t;
        const char* f;
        int slot;
        const char* source;
        bool bits;
        double bound;
    };
    enum { LA = 0, HA = 1, EP = 2, ULP = 0, BITS = 1 };
    static const Row rows[] = {
#define VM_BOUND(t, F, slot, source, unit, bound) {#t[0], #F, slot, source, unit == BITS, bound},
#include "vexa/vm_accuracy.def"
    };
    for (const Row& r : rows)
        if (r.t == type && function == r.f && r.slot == slot) return {true, r.bits, r.bound, r.source};
    return {};
}

struct SlotKernel {
    std::string function;  // "dExp"
    std::string base;      // "Exp"
    char type;             // 's' or 'd'
    int slot;              // 0 LA, 1 HA, 2 EP
    const void* kernel;
    std::string kernel_name;  // the exported name of the kernel in this slot
    bool has_oracle;
    Fn fn;
    Bound bound;
};

// Every slot of every built real function that reports errors or has an
// oracle row (the functions measured against MPFR; the exact ones have
// references of their own); `reports` marks the former, which must have one.
inline std::vector<SlotKernel> transcendental_slots() {
    std::vector<SlotKernel> out;
    auto add = [&](const char* t, const char* f, const void* const* ttab, const char* const (&names)[3], bool reports) {
        Fn fn;
        if (!reports && !oracle_of(f, fn)) return;
        for (int s = 0; s < 3; ++s) {
            SlotKernel k{std::string(t) + f, f, t[0], s, ttab[s], names[s], false, Fn::Exp, bound_of(t[0], f, s)};
            k.has_oracle = oracle_of(f, k.fn);
            out.push_back(k);
        }
    };
#define VMX_KSTR_(x) #x
#define VMX_KSTR(t, F, g, acc) VMX_KSTR_(vexa_arx_kernel_##t##F##_##g##acc)
#define VMX_SNAMES_K3(t, F, gl, gh, ge) {VMX_KSTR(t, F, gl, LAynn), VMX_KSTR(t, F, gh, HAynn), VMX_KSTR(t, F, ge, EPnnn)}
#define VMX_SNAMES_LHL(t, F, gl, gh, ge) {VMX_KSTR(t, F, gl, LAynn), VMX_KSTR(t, F, gh, HAynn), VMX_KSTR(t, F, gl, LAynn)}
#define VMX_SNAMES_HHE(t, F, gl, gh, ge) {VMX_KSTR(t, F, gh, HAynn), VMX_KSTR(t, F, gh, HAynn), VMX_KSTR(t, F, ge, EPnnn)}
#define VMX_SNAMES_K1(t, F, gl, gh, ge) {VMX_KSTR(t, F, gh, HAynn), VMX_KSTR(t, F, gh, HAynn), VMX_KSTR(t, F, gh, HAynn)}
#define VMX_SLOTS(t, F, pat, gl, gh, ge, reports)                                                           \
    {                                                                                                      \
        const char* const names[3] = VMX_SNAMES_##pat(t, F, gl, gh, ge);                                   \
        add(#t, #F, reinterpret_cast<const void* const*>(vexa_arx_kernel_##t##F##_ttab), names, reports); \
    }
#define VMX_SLOTS_R(t, F, pat, gl, gh, ge) VMX_SLOTS(t, F, pat, gl, gh, ge, true)
#define VMX_SLOTS_N(t, F, pat, gl, gh, ge) VMX_SLOTS(t, F, pat, gl, gh, ge, false)
#define VMX_REAL_s(rep, t, F, pat, gl, gh, ge) VMX_SLOTS_##rep(t, F, pat, gl, gh, ge)
#define VMX_REAL_d(rep, t, F, pat, gl, gh, ge) VMX_SLOTS_##rep(t, F, pat, gl, gh, ge)
#define VMX_REAL_c(rep, t, F, pat, gl, gh, ge)
#define VMX_REAL_z(rep, t, F, pat, gl, gh, ge)
#define VM_FN(st, t, F, cls, pat, gl, gh, ge, wl, wh, we, rep) VMX_IF_##st(VMX_REAL_##t(rep, t, F, pat, gl, gh, ge))
#include "vexa/vm_catalogue.def"
#undef VM_FN
    return out;
}

inline const char* slot_name(int slot) { return slot == 0 ? "LA" : slot == 1 ? "HA" : "EP"; }

// Whether a measurement meets a documented bound.
inline bool within(const Bound& b, double max_ulp, double min_bits) {
    return b.in_bits ? min_bits >= b.value : max_ulp <= b.value;
}

}  // namespace vexa::test
