// Least-significant-digit radix sorts of keys (in place, through a buffer) and
// of index arrays. Each key is first mapped to an unsigned integer whose
// ascending order is the wanted order of the elements:
//   float  ascending: negative -> all bits inverted, else sign bit inverted;
//          descending: negative -> unchanged, else all bits but the sign inverted
//   signed ascending: sign bit inverted; descending: all bits but the sign inverted
//   unsigned ascending: unchanged; descending: all bits inverted
// Digits are 8 bits for 8- and 16-bit keys, 11, 11, 10 bits per 32-bit word
// otherwise; every pass walks its source in order, so equal keys keep their
// order (the sorts are stable). NaN keys sort by their transformed bit patterns.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "common/export.h"
#include "primitives/fill.h"
#include "vexa/primitives.h"

namespace {

template <class T> struct KeyOf;
template <> struct KeyOf<float> { using U = uint32_t; };
template <> struct KeyOf<double> { using U = uint64_t; };
template <> struct KeyOf<int32_t> { using U = uint32_t; };
template <> struct KeyOf<uint32_t> { using U = uint32_t; };
template <> struct KeyOf<int16_t> { using U = uint16_t; };
template <> struct KeyOf<uint16_t> { using U = uint16_t; };
template <> struct KeyOf<uint8_t> { using U = uint8_t; };

template <class U> constexpr U kTop = U(U(1) << (8 * sizeof(U) - 1));

template <class T, bool Desc> struct Transform {
    using U = typename KeyOf<T>::U;
    static VEXA_INLINE U to_key(U b) {
        if constexpr (std::is_floating_point_v<T>) {
            if constexpr (!Desc) return (b & kTop<U>) ? U(~b) : U(b ^ kTop<U>);
            else return (b & kTop<U>) ? b : U(b ^ U(~kTop<U>));
        } else if constexpr (std::is_signed_v<T>) {
            return Desc ? U(b ^ U(~kTop<U>)) : U(b ^ kTop<U>);
        } else {
            return Desc ? U(~b) : b;
        }
    }
    static VEXA_INLINE U from_key(U k) {
        if constexpr (std::is_floating_point_v<T>) {
            if constexpr (!Desc) return (k & kTop<U>) ? U(k ^ kTop<U>) : U(~k);
            else return (k & kTop<U>) ? k : U(k ^ U(~kTop<U>));
        } else {
            return to_key(k);  // the integer transforms are involutions
        }
    }
};

// Digit layout by key width: shift and width of every pass.
template <class U> struct Digits;
template <> struct Digits<uint8_t> {
    static constexpr int kPasses = 1;
    static constexpr int kShift[1] = {0};
    static constexpr int kBits[1] = {8};
};
template <> struct Digits<uint16_t> {
    static constexpr int kPasses = 2;
    static constexpr int kShift[2] = {0, 8};
    static constexpr int kBits[2] = {8, 8};
};
template <> struct Digits<uint32_t> {
    static constexpr int kPasses = 3;
    static constexpr int kShift[3] = {0, 11, 22};
    static constexpr int kBits[3] = {11, 11, 10};
};
template <> struct Digits<uint64_t> {
    static constexpr int kPasses = 6;
    static constexpr int kShift[6] = {0, 11, 22, 32, 43, 54};
    static constexpr int kBits[6] = {11, 11, 10, 11, 11, 10};
};

template <class U, int P> VEXA_INLINE uint32_t digit(U k) {
    using D = Digits<U>;
    return uint32_t(k >> D::kShift[P]) & ((1u << D::kBits[P]) - 1u);
}

// Histograms turned into running positions one below the first free slot.
template <class U> struct Counters {
    static constexpr int kPasses = Digits<U>::kPasses;
    static constexpr int kSize = sizeof(U) == 1 ? 256 : sizeof(U) == 2 ? 256 : 2048;
    int32_t c[kPasses][kSize];
    Counters() {
        vexa_dft_avx2_zubsZero_32s(&c[0][0], kPasses * kSize);
    }
    template <int P = 0> VEXA_INLINE void count(U k) {
        ++c[P][digit<U, P>(k)];
        if constexpr (P + 1 < kPasses) count<P + 1>(k);
    }
    void to_positions() {
        for (int p = 0; p < kPasses; ++p) {
            int32_t running = -1;
            for (int b = 0; b < kSize; ++b) {
                const int32_t n = c[p][b];
                c[p][b] = running;
                running += n;
            }
        }
    }
};

using Word8 = uint8_t __attribute__((may_alias));
using Word16 = uint16_t __attribute__((may_alias));
using Word32 = uint32_t __attribute__((may_alias));
using Word64 = uint64_t __attribute__((may_alias));
template <class U> struct Alias;
template <> struct Alias<uint8_t> { using type = Word8; };
template <> struct Alias<uint16_t> { using type = Word16; };
template <> struct Alias<uint32_t> { using type = Word32; };
template <> struct Alias<uint64_t> { using type = Word64; };

// Scatter pass P from src to dst; the last pass undoes the key transform.
template <class T, bool Desc, int P, class A>
VEXA_INLINE void scatter(const A* src, A* dst, int len, int32_t* pos) {
    using U = typename KeyOf<T>::U;
    constexpr bool kLast = P + 1 == Digits<U>::kPasses;
    for (int i = 0; i < len; ++i) {
        const U k = src[i];
        const int32_t at = ++pos[digit<U, P>(k)];
        dst[at] = kLast ? Transform<T, Desc>::from_key(k) : k;
    }
}

template <class T, bool Desc, int P, class A>
VEXA_INLINE void passes(A* a, A* b, int len, Counters<typename KeyOf<T>::U>& cnt) {
    scatter<T, Desc, P>(a, b, len, cnt.c[P]);
    if constexpr (P + 1 < Digits<typename KeyOf<T>::U>::kPasses) passes<T, Desc, P + 1>(b, a, len, cnt);
}

template <class T, bool Desc> int sort_in_place(T* data, T* buffer, int len) {
    if (data == nullptr || buffer == nullptr) return VEXA_PR_NULL;
    if (len < 1) return VEXA_PR_BAD_LENGTH;
    using U = typename KeyOf<T>::U;
    using A = typename Alias<U>::type;
    A* d = reinterpret_cast<A*>(data);
    A* b = reinterpret_cast<A*>(buffer);
    Counters<U> cnt;
    for (int i = 0; i < len; ++i) {
        const U k = Transform<T, Desc>::to_key(d[i]);
        d[i] = k;
        cnt.count(k);
    }
    cnt.to_positions();
    passes<T, Desc, 0>(d, b, len, cnt);
    if constexpr (Digits<U>::kPasses % 2 == 1) vexa::pr::copy_bytes(data, buffer, std::size_t(len) * sizeof(T));
    return VEXA_PR_OK;
}

// Counting sort of bytes: each value's run written in order.
template <bool Desc> int sort_bytes(uint8_t* data, int len) {
    if (data == nullptr) return VEXA_PR_NULL;
    if (len < 1) return VEXA_PR_BAD_LENGTH;
    int32_t count[256];
    vexa_dft_avx2_zubsZero_32s(count, 256);
    for (int i = 0; i < len; ++i) ++count[data[i]];
    std::size_t at = 0;
    for (int v = 0; v < 256; ++v) {
        const int value = Desc ? 255 - v : v;
        const uint8_t byte = uint8_t(value);
        if (count[value] != 0) vexa::pr::fill_pattern(data + at, &byte, 1, std::size_t(count[value]));
        at += std::size_t(count[value]);
    }
    return VEXA_PR_OK;
}

template <class T, bool Desc> struct IndexKeys {
    using U = typename KeyOf<T>::U;
    const unsigned char* src;
    std::ptrdiff_t stride;
    VEXA_INLINE U operator()(int32_t i) const {
        U b;
        std::memcpy(&b, src + std::ptrdiff_t(i) * stride, sizeof(U));
        return Transform<T, Desc>::to_key(b);
    }
};

template <class T, bool Desc, int P>
VEXA_INLINE void index_pass(const IndexKeys<T, Desc>& key, const int32_t* from, int32_t* to, int len,
                            int32_t* pos) {
    using U = typename KeyOf<T>::U;
    for (int i = 0; i < len; ++i) {
        const int32_t e = P == 0 ? i : from[i];
        to[++pos[digit<U, P>(key(e))]] = e;
    }
}

template <class T, bool Desc, int P>
VEXA_INLINE void index_passes(const IndexKeys<T, Desc>& key, int32_t* a, int32_t* b, int len,
                              Counters<typename KeyOf<T>::U>& cnt) {
    index_pass<T, Desc, P>(key, b, a, len, cnt.c[P]);
    if constexpr (P + 1 < Digits<typename KeyOf<T>::U>::kPasses) index_passes<T, Desc, P + 1>(key, b, a, len, cnt);
}

template <class T, bool Desc>
int sort_index(const T* src, int stride, int32_t* index, int32_t* buffer, int len) {
    if (src == nullptr || index == nullptr || buffer == nullptr) return VEXA_PR_NULL;
    if (len < 1 || stride < int(sizeof(T))) return VEXA_PR_BAD_LENGTH;
    using U = typename KeyOf<T>::U;
    const IndexKeys<T, Desc> key{reinterpret_cast<const unsigned char*>(src), stride};
    Counters<U> cnt;
    for (int i = 0; i < len; ++i) cnt.count(key(i));
    cnt.to_positions();
    // Passes alternate between the two arrays so that the last one writes index.
    constexpr bool kOdd = Digits<U>::kPasses % 2 == 1;
    index_passes<T, Desc, 0>(key, kOdd ? index : buffer, kOdd ? buffer : index, len, cnt);
    return VEXA_PR_OK;
}

}  // namespace

extern "C" {
#define PR_SORT(t, T)                                                                            \
    VEXA_EXPORT int vexa_dft_avx2_zubsSortRadixAscend_##t##_I(T* data, T* buffer, int len) {     \
        return sort_in_place<T, false>(data, buffer, len);                                        \
    }                                                                                            \
    VEXA_EXPORT int vexa_dft_avx2_zubsSortRadixDescend_##t##_I(T* data, T* buffer, int len) {    \
        return sort_in_place<T, true>(data, buffer, len);                                         \
    }
#define PR_SORT8(t, T)                                                                                              \
    VEXA_EXPORT int vexa_dft_avx2_zubsSortRadixAscend_##t##_I(T* data, int len) { return sort_bytes<false>(data, len); } \
    VEXA_EXPORT int vexa_dft_avx2_zubsSortRadixDescend_##t##_I(T* data, int len) { return sort_bytes<true>(data, len); }
#define PR_INDEX(t, T)                                                                                           \
    VEXA_EXPORT int vexa_dft_avx2_zubsSortRadixIndexAscend_##t(const T* src, int stride, int32_t* index,          \
                                                                int32_t* buffer, int len) {                      \
        return sort_index<T, false>(src, stride, index, buffer, len);                                            \
    }                                                                                                            \
    VEXA_EXPORT int vexa_dft_avx2_zubsSortRadixIndexDescend_##t(const T* src, int stride, int32_t* index,         \
                                                                 int32_t* buffer, int len) {                     \
        return sort_index<T, true>(src, stride, index, buffer, len);                                             \
    }
#include "vexa/primitives_catalogue.def"
}
