// The error path of the vector kernels: the per-type error routines, the name
// copier and the standard handler (errno and numbered messages).
#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "vector_math/frame/thread_state.h"
#include "vexa/service.h"

using vexa::vm::g_thread;

namespace {

// Message numbers of the service layer's catalogue.
enum Message : int {
    kMsgBadArgument = 735,     // status -1: (name, index)
    kMsgNoAccess = 736,        // status -2: (name)
    kMsgDomain = 737,          // statuses 1..4: (name)
    kMsgUnknownStatus = 741,   // any other status: (name)
    kMsgOneArgOneRes = 742,    // 742 arg1, 743 res1
    kMsgOneArgTwoRes = 744,    // 744 arg1, 745 res1, 746 res2
    kMsgTwoArgOneRes = 747,    // 747 arg1, 748 arg2, 749 res1
    kMsgTwoArgTwoRes = 750,    // 750 arg1, 751 arg2, 752 res1, 753 res2
};
constexpr int kChannelStderr = 1;

bool has_elements(int status) { return status != VEXA_VM_STATUS_BADARG && status != VEXA_VM_STATUS_ACCESS; }

int errno_of(int status) {
    switch (status) {
        case -2: return EACCES;
        case -1: return EINVAL;
        case 0: return 0;
        case 1: return EDOM;
        case 2:
        case 3:
        case 4: return ERANGE;
        default: return EFAULT;
    }
}

template <class E> struct Element;
template <> struct Element<float> {
    static double re(const float& e) { return e; }
    static double im(const float&) { return 0.0; }
    static void put(float& e, double re, double) { e = static_cast<float>(re); }
};
template <> struct Element<double> {
    static double re(const double& e) { return e; }
    static double im(const double&) { return 0.0; }
    static void put(double& e, double re, double) { e = re; }
};
template <> struct Element<VexaComplex8> {
    static double re(const VexaComplex8& e) { return e.re; }
    static double im(const VexaComplex8& e) { return e.im; }
    static void put(VexaComplex8& e, double re, double im) {
        e.re = static_cast<float>(re);
        e.im = static_cast<float>(im);
    }
};
template <> struct Element<VexaComplex16> {
    static double re(const VexaComplex16& e) { return e.re; }
    static double im(const VexaComplex16& e) { return e.im; }
    static void put(VexaComplex16& e, double re, double im) {
        e.re = re;
        e.im = im;
    }
};

}  // namespace

extern "C" {

// Copies at most 64 characters of `src` into `dst`, with a NUL when fewer were
// copied; returns the number of characters copied.
VEXA_HIDDEN int _arxCreateFuncNameStr(const char*, const char* src, char* dst) {
    constexpr int kMax = 64;
    int n = 0;
    if (src != nullptr)
        for (; n < kMax && src[n] != '\0'; ++n) dst[n] = src[n];
    if (n < kMax) dst[n] = '\0';
    return n;
}

VEXA_HIDDEN void _arxStdErrorHandler(const ErrorContext* ctx) {
    const unsigned mode = vexa::vm::current_mode();
    if (mode & VEXA_VM_ERRMODE_ERRNO) errno = errno_of(ctx->status);
    if (!(mode & VEXA_VM_ERRMODE_STDERR)) return;

    char name[65];
    for (int i = 0; i < ctx->func_name_len; ++i) name[i] = ctx->func_name[i];
    name[ctx->func_name_len] = '\0';

    switch (ctx->status) {
        case VEXA_VM_STATUS_BADARG: vexa_serv_print(kChannelStderr, kMsgBadArgument, 2, name, ctx->index); return;
        case VEXA_VM_STATUS_ACCESS: vexa_serv_print(kChannelStderr, kMsgNoAccess, 1, name); return;
        case VEXA_VM_STATUS_OK: return;
        case 1:
        case 2:
        case 3:
        case 4: vexa_serv_print(kChannelStderr, kMsgDomain + ctx->status - 1, 1, name); break;
        default: vexa_serv_print(kChannelStderr, kMsgUnknownStatus, 1, name); break;
    }
    // One argument when arg2 repeats arg1 or is 0; one result likewise.
    const bool two_args = !(ctx->arg2 == ctx->arg1 || ctx->arg2 == 0.0);
    const bool two_res = !(ctx->res2 == ctx->res1 || ctx->res2 == 0.0);
    const double values[4] = {ctx->arg1, ctx->arg2, ctx->res1, ctx->res2};
    int first;
    int which[4];
    int count = 0;
    which[count++] = 0;
    if (two_args) which[count++] = 1;
    which[count++] = 2;
    if (two_res) which[count++] = 3;
    if (!two_args) first = two_res ? kMsgOneArgTwoRes : kMsgOneArgOneRes;
    else first = two_res ? kMsgTwoArgTwoRes : kMsgTwoArgOneRes;
    for (int k = 0; k < count; ++k) vexa_serv_print(kChannelStderr, first + k, 2, ctx->index, values[which[k]]);
}

}  // extern "C"

namespace {

template <class E>
void error_routine(int status, int idx, const E* a1, const E* a2, E* r1, E* r2, const char* name) {
    g_thread.status = status;
    const unsigned mode = vexa::vm::current_mode();
    if ((mode & VEXA_VM_ERRMODE_MASK) == VEXA_VM_ERRMODE_IGNORE) return;

    ErrorContext ctx{};
    ctx.status = status;
    ctx.index = idx;
    if (g_thread.interface_ptr != nullptr) {
        const std::intptr_t bytes = reinterpret_cast<std::intptr_t>(a1) -
                                    reinterpret_cast<std::intptr_t>(g_thread.interface_ptr);
        ctx.index = static_cast<int32_t>(idx + bytes / static_cast<std::intptr_t>(sizeof(E)));
    }
    ctx.func_name_len = _arxCreateFuncNameStr(nullptr, name, ctx.func_name);

    using El = Element<E>;
    const bool elements = has_elements(status);
    if (elements) {
        ctx.arg1 = El::re(a1[idx]);
        ctx.arg1_im = El::im(a1[idx]);
        ctx.arg2 = El::re(a2[idx]);
        ctx.arg2_im = El::im(a2[idx]);
        ctx.res1 = El::re(r1[idx]);
        ctx.res1_im = El::im(r1[idx]);
        ctx.res2 = El::re(r2[idx]);
        ctx.res2_im = El::im(r2[idx]);
    }
    if ((mode & 0xF000u) && g_thread.callback != nullptr) {
        if (g_thread.callback(&ctx) != 0) return;
    }
    if ((mode >> 8) & 0xFu) _arxStdErrorHandler(&ctx);
    if (elements) {
        // res2 first, so that res1 stays when both results are the same array.
        El::put(r2[idx], ctx.res2, ctx.res2_im);
        El::put(r1[idx], ctx.res1, ctx.res1_im);
    }
}

}  // namespace

extern "C" {

VEXA_EXPORT void vexa_arx_kernel_sError(int status, int idx, const float* a1, const float* a2, float* r1,
                                        float* r2, const char* name) {
    error_routine(status, idx, a1, a2, r1, r2, name);
}
VEXA_EXPORT void vexa_arx_kernel_dError(int status, int idx, const double* a1, const double* a2, double* r1,
                                        double* r2, const char* name) {
    error_routine(status, idx, a1, a2, r1, r2, name);
}
VEXA_EXPORT void vexa_arx_kernel_cError(int status, int idx, const VexaComplex8* a1, const VexaComplex8* a2,
                                        VexaComplex8* r1, VexaComplex8* r2, const char* name) {
    error_routine(status, idx, a1, a2, r1, r2, name);
}
VEXA_EXPORT void vexa_arx_kernel_zError(int status, int idx, const VexaComplex16* a1, const VexaComplex16* a2,
                                        VexaComplex16* r1, VexaComplex16* r2, const char* name) {
    error_routine(status, idx, a1, a2, r1, r2, name);
}

}  // extern "C"
