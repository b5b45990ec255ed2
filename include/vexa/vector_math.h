/* Vector math: per-thread mode, status and error callback; the error routines;
 * the frame entry points; and, generated from vm_catalogue.def, the entry
 * tables, work-figure tables, kernels and entry stubs of every built function.
 * Usable from C and C++. */
#ifndef VEXA_VECTOR_MATH_H
#define VEXA_VECTOR_MATH_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VexaComplex8 { float re, im; } VexaComplex8;    /* type letter c */
typedef struct VexaComplex16 { double re, im; } VexaComplex16; /* type letter z */

/* The record built for one failing element and handed to the user callback.
 * Fields follow each other without gaps (4-byte packing) on every ABI. */
#pragma pack(push, 4)
typedef struct ErrorContext {
    int32_t status;        /* status code of the element */
    int32_t index;         /* position in the caller's whole vector */
    double arg1, arg2;     /* arguments (real parts); one-argument functions repeat arg1 */
    double res1, res2;     /* results (real parts); one-result functions repeat res1 */
    char func_name[64];    /* public function name, NUL-terminated when shorter than 64 */
    int32_t func_name_len; /* characters copied into func_name */
    double arg1_im, arg2_im, res1_im, res2_im; /* imaginary parts (complex functions) */
} ErrorContext;
#pragma pack(pop)

/* Return 0 to let the library go on (standard handler, results written back),
 * non-zero to stop handling this element. */
typedef int (*VexaErrorCallBack)(ErrorContext* context);

/* One row of the mode token table. */
typedef struct VexaModeToken {
    const char* text;
    int32_t length;
    uint32_t value_lo;
    uint32_t value_hi;
} VexaModeToken;

/* Mode word fields. */
#define VEXA_VM_ACCURACY_MASK 0xFu
#define VEXA_VM_LA 0x1u
#define VEXA_VM_HA 0x2u
#define VEXA_VM_EP 0x3u
#define VEXA_VM_ERRMODE_MASK 0xFF00u
#define VEXA_VM_ERRMODE_IGNORE 0x100u
#define VEXA_VM_ERRMODE_ERRNO 0x200u
#define VEXA_VM_ERRMODE_STDERR 0x400u
#define VEXA_VM_ERRMODE_EXCEPT 0x800u
#define VEXA_VM_ERRMODE_CALLBACK 0x1000u
#define VEXA_VM_ERRMODE_DEFAULT 0x1A00u
#define VEXA_VM_DENORMAL_MASK 0x3C0000u
#define VEXA_VM_FLUSH_DENORMALS 0x280000u
#define VEXA_VM_KEEP_DENORMALS 0x140000u
#define VEXA_VM_DEFAULT_MODE 0x1A02u

/* Per-element statuses (catalogue vm_status.def). */
enum VexaVmStatus {
#define VM_STATUS(name, code, meaning) VEXA_VM_STATUS_##name = code,
#include "vexa/vm_status.def"
#undef VM_STATUS
};

extern const VexaModeToken mapModeS_N[13];

int dll_cpu_version(void);
int vexa_arx_kernel_GetTTableIndex(void);
int vexa_arx_kernel_GetTTableIndexM(int unused, int mode);
const void* vexa_arx_kernel_SetInterfInputVectorPointer(const void* p);
const void* _arxSetInterfInputVectorPointer(const void* p);

unsigned vexa_arx_kernel_GetMode(void);
unsigned _arxGetMode(void);
unsigned vexa_arx_kernel_SetMode(unsigned mode);
unsigned _arxSetMode(unsigned mode);
long long vexa_arx_kernel_ReadEnvVarMode(void);
int vexa_arx_kernel_GetErrStatus(void);
int _arxGetErrStatus(void);
int vexa_arx_kernel_SetErrStatus(int status);
int _arxSetErrStatus(int status);
int vexa_arx_kernel_ClearErrStatus(void);
int _arxClearErrStatus(void);
VexaErrorCallBack vexa_arx_kernel_SetErrorCallBack(VexaErrorCallBack cb);
VexaErrorCallBack _arxSetErrorCallBack(VexaErrorCallBack cb);
VexaErrorCallBack vexa_arx_kernel_GetErrorCallBack(void);
VexaErrorCallBack _arxGetErrorCallBack(void);
VexaErrorCallBack vexa_arx_kernel_ClearErrorCallBack(void);
VexaErrorCallBack _arxClearErrorCallBack(void);

void vexa_arx_kernel_sError(int status, int idx, const float* a1, const float* a2, float* r1,
                            float* r2, const char* name);
void vexa_arx_kernel_dError(int status, int idx, const double* a1, const double* a2, double* r1,
                            double* r2, const char* name);
void vexa_arx_kernel_cError(int status, int idx, const VexaComplex8* a1, const VexaComplex8* a2,
                            VexaComplex8* r1, VexaComplex8* r2, const char* name);
void vexa_arx_kernel_zError(int status, int idx, const VexaComplex16* a1,
                            const VexaComplex16* a2, VexaComplex16* r1, VexaComplex16* r2,
                            const char* name);

/* ---- generated from the catalogue -------------------------------------- */

#define VMX_CAT_(a, b) a##b
#define VMX_CAT(a, b) VMX_CAT_(a, b)
#define VMX_IF_B(...) __VA_ARGS__
#define VMX_IF_P(...)

#define VMX_T_s float
#define VMX_T_d double
#define VMX_T_c VexaComplex8
#define VMX_T_z VexaComplex16
#define VMX_R_s float
#define VMX_R_d double
#define VMX_R_c float
#define VMX_R_z double
/* entry-stub suffixes of the LA and EP slots */
#define VMX_LASFX_s 21
#define VMX_LASFX_c 21
#define VMX_LASFX_d 50
#define VMX_LASFX_z 50
#define VMX_EPSFX_s 11
#define VMX_EPSFX_c 11
#define VMX_EPSFX_d 26
#define VMX_EPSFX_z 26

/* parameter lists of the signature classes */
#define VMX_PARAMS_ONE(t) (int n, const VMX_T_##t* a, VMX_T_##t* r)
#define VMX_PARAMS_TWO(t) (int n, const VMX_T_##t* a, const VMX_T_##t* b, VMX_T_##t* r)
#define VMX_PARAMS_ONE2(t) (int n, const VMX_T_##t* a, VMX_T_##t* r1, VMX_T_##t* r2)
#define VMX_PARAMS_C2R(t) (int n, const VMX_T_##t* a, VMX_R_##t* r)
#define VMX_PARAMS_R2C(t) (int n, const VMX_R_##t* a, VMX_T_##t* r)
#define VMX_PARAMS_SCAL(t) (int n, const VMX_T_##t* a, VMX_T_##t b, VMX_T_##t* r)
#define VMX_PARAMS_LFRAC(t)                                                                  \
    (int n, const VMX_T_##t* a, const VMX_T_##t* b, VMX_T_##t scalea, VMX_T_##t shifta,      \
     VMX_T_##t scaleb, VMX_T_##t shiftb, VMX_T_##t* r)
#define VMX_PARAMS_PACKI(t) (long long n, const VMX_T_##t* a, long long inca, VMX_T_##t* y, int width)
#define VMX_PARAMS_PACKV(t) (long long n, const VMX_T_##t* a, const void* ia, VMX_T_##t* y, int width)
#define VMX_PARAMS_PACKM(t) (long long n, const VMX_T_##t* a, const void* ma, VMX_T_##t* y, int width)
#define VMX_PARAMS_UNPACKI(t) (long long n, const VMX_T_##t* a, VMX_T_##t* y, long long incy, int width)
#define VMX_PARAMS_UNPACKV(t) (long long n, const VMX_T_##t* a, VMX_T_##t* y, const void* iy, int width)
#define VMX_PARAMS_UNPACKM(t) (long long n, const VMX_T_##t* a, VMX_T_##t* y, const void* my, int width)

/* VexaVmFn_<class>_<t>: the kernel function type of a class and type letter */
#define VMX_CLASSES(X, t) X(ONE, t) X(TWO, t) X(ONE2, t) X(C2R, t) X(R2C, t) X(SCAL, t) X(LFRAC, t) \
    X(PACKI, t) X(PACKV, t) X(PACKM, t) X(UNPACKI, t) X(UNPACKV, t) X(UNPACKM, t)
#define VMX_FN_TYPE(cls, t) typedef void VexaVmFn_##cls##_##t VMX_PARAMS_##cls(t);
VMX_CLASSES(VMX_FN_TYPE, s)
VMX_CLASSES(VMX_FN_TYPE, d)
VMX_CLASSES(VMX_FN_TYPE, c)
VMX_CLASSES(VMX_FN_TYPE, z)

#define VMX_KNAME(t, F, g, acc) vexa_arx_kernel_##t##F##_##g##acc
/* X(t, F, cls, generation, accuracy-and-options) once per distinct kernel */
#define VMX_KERNELS_K3(X, t, F, cls, gl, gh, ge) X(t, F, cls, gl, LAynn) X(t, F, cls, gh, HAynn) X(t, F, cls, ge, EPnnn)
#define VMX_KERNELS_LHL(X, t, F, cls, gl, gh, ge) X(t, F, cls, gl, LAynn) X(t, F, cls, gh, HAynn)
#define VMX_KERNELS_HHE(X, t, F, cls, gl, gh, ge) X(t, F, cls, gh, HAynn) X(t, F, cls, ge, EPnnn)
#define VMX_KERNELS_K1(X, t, F, cls, gl, gh, ge) X(t, F, cls, gh, HAynn)
/* the kernels in slots LA, HA, EP */
#define VMX_SLOTS_K3(t, F, gl, gh, ge) VMX_KNAME(t, F, gl, LAynn), VMX_KNAME(t, F, gh, HAynn), VMX_KNAME(t, F, ge, EPnnn)
#define VMX_SLOTS_LHL(t, F, gl, gh, ge) VMX_KNAME(t, F, gl, LAynn), VMX_KNAME(t, F, gh, HAynn), VMX_KNAME(t, F, gl, LAynn)
#define VMX_SLOTS_HHE(t, F, gl, gh, ge) VMX_KNAME(t, F, gh, HAynn), VMX_KNAME(t, F, gh, HAynn), VMX_KNAME(t, F, ge, EPnnn)
#define VMX_SLOTS_K1(t, F, gl, gh, ge) VMX_KNAME(t, F, gh, HAynn), VMX_KNAME(t, F, gh, HAynn), VMX_KNAME(t, F, gh, HAynn)
/* the work figures in slots LA, HA, EP */
#define VMX_FIGS_K3(wl, wh, we) wl, wh, we
#define VMX_FIGS_LHL(wl, wh, we) wl, wh, wl
#define VMX_FIGS_HHE(wl, wh, we) wh, wh, we
#define VMX_FIGS_K1(wl, wh, we) wh, wh, wh

#define VMX_DECL_KERNEL(t, F, cls, g, acc) extern VexaVmFn_##cls##_##t VMX_KNAME(t, F, g, acc);
#define VMX_DECL_ROW(t, F, cls, pat, gl, gh, ge)                                  \
    VMX_KERNELS_##pat(VMX_DECL_KERNEL, t, F, cls, gl, gh, ge)                     \
    extern VexaVmFn_##cls##_##t* const vexa_arx_kernel_##t##F##_ttab[3];          \
    extern const float vexa_arx_kernel_##t##F##_ctab[3];                          \
    extern VexaVmFn_##cls##_##t _arx##t##F, _arx##t##F##_HA,                      \
        VMX_CAT(_arx##t##F##_, VMX_LASFX_##t), VMX_CAT(_arx##t##F##_, VMX_EPSFX_##t);
#define VM_FN(st, t, F, cls, pat, gl, gh, ge, wl, wh, we, rep) VMX_IF_##st(VMX_DECL_ROW(t, F, cls, pat, gl, gh, ge))
#include "vm_catalogue.def"
#undef VM_FN

#ifdef __cplusplus
}
#endif

#if defined(__i386__)
#ifdef __cplusplus
#define VMX_STATIC_ASSERT static_assert
#else
#define VMX_STATIC_ASSERT _Static_assert
#endif
#include <stddef.h>
VMX_STATIC_ASSERT(sizeof(ErrorContext) == 140, "ErrorContext layout");
VMX_STATIC_ASSERT(offsetof(ErrorContext, index) == 4, "ErrorContext layout");
VMX_STATIC_ASSERT(offsetof(ErrorContext, arg1) == 8, "ErrorContext layout");
VMX_STATIC_ASSERT(offsetof(ErrorContext, arg2) == 16, "ErrorContext layout");
VMX_STATIC_ASSERT(offsetof(ErrorContext, res1) == 24, "ErrorContext layout");
VMX_STATIC_ASSERT(offsetof(ErrorContext, res2) == 32, "ErrorContext layout");
VMX_STATIC_ASSERT(offsetof(ErrorContext, func_name) == 40, "ErrorContext layout");
VMX_STATIC_ASSERT(offsetof(ErrorContext, func_name_len) == 104, "ErrorContext layout");
VMX_STATIC_ASSERT(offsetof(ErrorContext, arg1_im) == 108, "ErrorContext layout");
VMX_STATIC_ASSERT(offsetof(ErrorContext, res2_im) == 132, "ErrorContext layout");
VMX_STATIC_ASSERT(sizeof(VexaModeToken) == 16, "mode token row layout");
VMX_STATIC_ASSERT(sizeof(VexaComplex8) == 8 && sizeof(VexaComplex16) == 16, "complex elements");
#undef VMX_STATIC_ASSERT
#endif

#endif
