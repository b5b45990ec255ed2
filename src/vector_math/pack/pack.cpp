// Pack and unpack (s, d, c, z): gather a strided, indexed or masked source
// into a contiguous array, or scatter a contiguous array into a strided,
// indexed or masked destination. One portable kernel per function in all
// three slots; elements move as whole bit patterns (NaN payloads and signs
// unchanged); no floating-point frame, no status.
//
// Integer width: the last argument 1 selects 32-bit counts, increments,
// indices and masks (the count and increment still take 8-byte slots, of
// which the low 32 bits are read as signed values); any other value selects
// 64-bit ones. Offsets are element index times increment, formed in 64 bits;
// on the 32-bit ABI their low 32 bits address memory. A negative or zero
// increment is applied as given (the caller places the pointer).
//
// Unit increments copy the whole block at once when source and destination do
// not overlap; overlapping calls keep the element order of the plain loop.
#include <cstdint>
#include <cstring>

#include "common/export.h"
#include "vexa/vector_math.h"

namespace vexa::vm {
namespace {

// An element as its bits: integers of its size (which the compiler may
// vectorise, gathers included), a pair of them for z.
struct Bits16 {
    uint64_t lo, hi;
};
template <int Bytes> struct BitsOf;
template <> struct BitsOf<4> { using type = uint32_t; };
template <> struct BitsOf<8> { using type = uint64_t; };
template <> struct BitsOf<16> { using type = Bits16; };
template <int Bytes> using Bits = typename BitsOf<Bytes>::type;

template <class E> VEXA_INLINE const E* at(const E* p, int64_t k) {
    return reinterpret_cast<const E*>(reinterpret_cast<uintptr_t>(p) + uintptr_t(k * int64_t(sizeof(E))));
}
template <class E> VEXA_INLINE E* at(E* p, int64_t k) {
    return reinterpret_cast<E*>(reinterpret_cast<uintptr_t>(p) + uintptr_t(k * int64_t(sizeof(E))));
}

// The count or increment of an 8-byte slot under the width flag.
VEXA_INLINE int64_t slot_value(long long v, int width) {
    return width == 1 ? int64_t(int32_t(uint32_t(uint64_t(v)))) : int64_t(v);
}

// Entry k of an index vector, and whether mask entry k is set.
template <class I> VEXA_INLINE int64_t index_at(const void* v, int64_t k) { return int64_t(static_cast<const I*>(v)[k]); }
template <class I> VEXA_INLINE bool mask_at(const void* v, int64_t k) { return static_cast<const I*>(v)[k] != 0; }

VEXA_INLINE bool disjoint(const void* a, const void* b, std::size_t bytes) {
    const uintptr_t x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
    return x + bytes <= y || y + bytes <= x;
}

template <class E> void pack_i(int64_t n, const E* a, int64_t inc, E* y) {
    if (inc == 1 && disjoint(a, y, std::size_t(n) * sizeof(E))) {
        std::memcpy(y, a, std::size_t(n) * sizeof(E));
        return;
    }
    for (int64_t i = 0; i < n; ++i) y[i] = *at(a, i * inc);
}
template <class E> void unpack_i(int64_t n, const E* a, E* y, int64_t inc) {
    if (inc == 1 && disjoint(a, y, std::size_t(n) * sizeof(E))) {
        std::memcpy(y, a, std::size_t(n) * sizeof(E));
        return;
    }
    for (int64_t i = 0; i < n; ++i) *at(y, i * inc) = a[i];
}
template <class E, class I> void pack_v(int64_t n, const E* a, const void* ia, E* y) {
    for (int64_t i = 0; i < n; ++i) y[i] = *at(a, index_at<I>(ia, i));
}
template <class E, class I> void unpack_v(int64_t n, const E* a, E* y, const void* iy) {
    for (int64_t i = 0; i < n; ++i) *at(y, index_at<I>(iy, i)) = a[i];
}
template <class E, class I> void pack_m(int64_t n, const E* a, const void* ma, E* y) {
    for (int64_t i = 0, j = 0; i < n; ++i)
        if (mask_at<I>(ma, i)) y[j++] = a[i];
}
template <class E, class I> void unpack_m(int64_t n, const E* a, E* y, const void* my) {
    for (int64_t i = 0, j = 0; i < n; ++i)
        if (mask_at<I>(my, i)) y[i] = a[j++];
}

// The six kernels of one element size, with the width flag resolved.
template <class T> struct Pack {
    using E = Bits<int(sizeof(T))>;
    static const E* in(const T* p) { return reinterpret_cast<const E*>(p); }
    static E* out(T* p) { return reinterpret_cast<E*>(p); }

    static void packi(long long n, const T* a, long long inca, T* y, int width) {
        const int64_t m = slot_value(n, width);
        if (m > 0) pack_i(m, in(a), slot_value(inca, width), out(y));
    }
    static void unpacki(long long n, const T* a, T* y, long long incy, int width) {
        const int64_t m = slot_value(n, width);
        if (m > 0) unpack_i(m, in(a), out(y), slot_value(incy, width));
    }
    static void packv(long long n, const T* a, const void* ia, T* y, int width) {
        const int64_t m = slot_value(n, width);
        if (m <= 0) return;
        if (width == 1) pack_v<E, int32_t>(m, in(a), ia, out(y));
        else pack_v<E, int64_t>(m, in(a), ia, out(y));
    }
    static void unpackv(long long n, const T* a, T* y, const void* iy, int width) {
        const int64_t m = slot_value(n, width);
        if (m <= 0) return;
        if (width == 1) unpack_v<E, int32_t>(m, in(a), out(y), iy);
        else unpack_v<E, int64_t>(m, in(a), out(y), iy);
    }
    static void packm(long long n, const T* a, const void* ma, T* y, int width) {
        const int64_t m = slot_value(n, width);
        if (m <= 0) return;
        if (width == 1) pack_m<E, int32_t>(m, in(a), ma, out(y));
        else pack_m<E, int64_t>(m, in(a), ma, out(y));
    }
    static void unpackm(long long n, const T* a, T* y, const void* my, int width) {
        const int64_t m = slot_value(n, width);
        if (m <= 0) return;
        if (width == 1) unpack_m<E, int32_t>(m, in(a), out(y), my);
        else unpack_m<E, int64_t>(m, in(a), out(y), my);
    }
};

}  // namespace
}  // namespace vexa::vm

using vexa::vm::Pack;

#define VMX_PACK_KERNELS(t, T)                                                                                    \
    VEXA_EXPORT void vexa_arx_kernel_##t##PackI_PXHAynn(long long n, const T* a, long long inca, T* y, int w) {   \
        Pack<T>::packi(n, a, inca, y, w);                                                                         \
    }                                                                                                             \
    VEXA_EXPORT void vexa_arx_kernel_##t##PackV_PXHAynn(long long n, const T* a, const void* ia, T* y, int w) {   \
        Pack<T>::packv(n, a, ia, y, w);                                                                           \
    }                                                                                                             \
    VEXA_EXPORT void vexa_arx_kernel_##t##PackM_PXHAynn(long long n, const T* a, const void* ma, T* y, int w) {   \
        Pack<T>::packm(n, a, ma, y, w);                                                                           \
    }                                                                                                             \
    VEXA_EXPORT void vexa_arx_kernel_##t##UnpackI_PXHAynn(long long n, const T* a, T* y, long long incy, int w) { \
        Pack<T>::unpacki(n, a, y, incy, w);                                                                       \
    }                                                                                                             \
    VEXA_EXPORT void vexa_arx_kernel_##t##UnpackV_PXHAynn(long long n, const T* a, T* y, const void* iy, int w) { \
        Pack<T>::unpackv(n, a, y, iy, w);                                                                         \
    }                                                                                                             \
    VEXA_EXPORT void vexa_arx_kernel_##t##UnpackM_PXHAynn(long long n, const T* a, T* y, const void* my, int w) { \
        Pack<T>::unpackm(n, a, y, my, w);                                                                         \
    }

extern "C" {
VMX_PACK_KERNELS(s, float)
VMX_PACK_KERNELS(d, double)
VMX_PACK_KERNELS(c, VexaComplex8)
VMX_PACK_KERNELS(z, VexaComplex16)
}
