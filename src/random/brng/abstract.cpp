// The abstract streams IABSTRACT, DABSTRACT and SABSTRACT: numbers the caller
// supplies through a circular buffer and a refill callback. The state holds
// the buffer size, the position of the next value, how many entries have
// been delivered (all of them at creation, so that the first output call
// refills), the bounds of the buffered values (d, s), the buffer and the
// callback. An output call delivers what the buffer holds, and while values
// are still needed asks the callback for more: with the buffer drained, the
// free space is the whole buffer, idx the position after the last value
// delivered and nmin the smaller of the free space and the remaining need.
// The interval outputs map x to a' + (x - a)(b' - a')/(b - a) by one fused
// multiply-add. Only the routine of the stream's own type delivers; the
// others refuse with -1122.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "random/core/stream.h"

namespace {

using namespace vexa::rng;

// Packed to 4 bytes: on i386 the fields sit at the published offsets (the
// double bounds at 28 and 36); on a 64-bit build the pointers widen in place.
#pragma pack(push, 4)
template <class T, class Callback> struct AbstractState;
template <class Callback> struct AbstractState<uint32_t, Callback> {
    StreamState head;
    int32_t size, position, delivered;
    uint32_t* buffer;
    Callback* callback;
};
template <class T, class Callback> struct AbstractState {
    StreamState head;
    int32_t size, position, delivered;
    T a, b;
    T* buffer;
    Callback* callback;
};
#pragma pack(pop)

using IState = AbstractState<uint32_t, VexaiAbstractCallback>;
using DState = AbstractState<double, VexadAbstractCallback>;
using SState = AbstractState<float, VexasAbstractCallback>;
static_assert(sizeof(IState) == registry_size::iAbstract);
static_assert(sizeof(DState) == registry_size::dAbstract);
static_assert(sizeof(SState) == registry_size::sAbstract);
#if defined(__i386__)
static_assert(offsetof(IState, buffer) == 28 && offsetof(IState, callback) == 32);
static_assert(offsetof(DState, a) == 28 && offsetof(DState, b) == 36 && offsetof(DState, buffer) == 44 &&
              offsetof(DState, callback) == 48);
static_assert(offsetof(SState, a) == 28 && offsetof(SState, b) == 32 && offsetof(SState, buffer) == 36 &&
              offsetof(SState, callback) == 40);
#endif

// The creation block's words: {address of n, buffer, callback} or {address of
// n, buffer, address of a, address of b, callback}, each pointer in one word
// (two on a 64-bit build).
struct Reader {
    const uint32_t* w;
    template <class P> P next() {
        P p;
        std::memcpy(&p, w, sizeof p);
        w += sizeof p / 4;
        return p;
    }
};

template <class S> int init(int method, StreamState* s, int n, const uint32_t* params) {
    if (method == VEXA_RNG_INIT_LEAPFROG) return VEXA_RNG_NO_LEAPFROG;
    if (method == VEXA_RNG_INIT_SKIPAHEAD) return VEXA_RNG_NO_SKIPAHEAD;
    if (method != VEXA_RNG_INIT_STANDARD) return VEXA_RNG_BAD_METHOD;
    using T = std::remove_pointer_t<decltype(S::buffer)>;
    constexpr bool kBounds = !std::is_same_v<T, uint32_t>;
    const int words = int(sizeof(void*) / 4) * (kBounds ? 5 : 3);
    if (params == nullptr || n < words) return VEXA_RNG_BAD_ARG;
    S& st = state_of<S>(s);
    Reader r{params};
    st.size = *r.next<const int*>();
    st.position = 0;
    st.delivered = st.size;
    st.buffer = r.next<T*>();
    if constexpr (kBounds) {
        st.a = *r.next<const T*>();
        st.b = *r.next<const T*>();
    }
    st.callback = r.next<decltype(st.callback)>();
    return VEXA_RNG_OK;
}

// Delivers n values, each through put(i, x).
template <class S, class Put> int deliver(StreamState* s, int n, Put put) {
    S& st = state_of<S>(s);
    if (st.buffer == nullptr) return VEXA_RNG_NULL_ROUTINE;
    int done = 0, status = VEXA_RNG_OK;
    int position = st.position, delivered = st.delivered;
    const int size = st.size;
    while (true) {
        const int take = std::min(size - delivered, n - done);
        for (int k = 0; k < take; ++k) {
            put(done + k, st.buffer[position]);
            position = position + 1 == size ? 0 : position + 1;
        }
        delivered += take;
        done += take;
        if (done >= n) break;
        int bsize = size, nmax = delivered, nmin = std::min(nmax, n - done), idx = position;
        const int got = st.callback(s, &bsize, st.buffer, &nmin, &nmax, &idx);
        if (got < 0 || got > delivered) {
            status = VEXA_RNG_ABSTRACT_COUNT;
            break;
        }
        if (got == 0) {
            status = VEXA_RNG_ABSTRACT_EMPTY;
            break;
        }
        delivered -= got;
    }
    st.position = position;
    st.delivered = delivered;
    return status;
}

template <class S, class T> int interval(StreamState* s, int n, T* r, T a2, T b2) {
    if (n <= 0) return VEXA_RNG_OK;
    const S& st = state_of<S>(s);
    const T scale = (b2 - a2) / (st.b - st.a), shift = a2 - st.a * scale;
    return deliver<S>(s, n, [&](int i, T x) { r[i] = std::fma(x, scale, shift); });
}

}  // namespace

extern "C" {

VEXA_EXPORT int __tqrBRngiAbstractInitStream(int method, StreamState* s, int n, const uint32_t* params) {
    return init<IState>(method, s, n, params);
}
VEXA_EXPORT int __tqrBRngdAbstractInitStream(int method, StreamState* s, int n, const uint32_t* params) {
    return init<DState>(method, s, n, params);
}
VEXA_EXPORT int __tqrBRngsAbstractInitStream(int method, StreamState* s, int n, const uint32_t* params) {
    return init<SState>(method, s, n, params);
}

VEXA_EXPORT int __tqriBRngiAbstract(StreamState* s, int n, uint32_t* r) {
    if (n <= 0) return VEXA_RNG_OK;
    return deliver<IState>(s, n, [&](int i, uint32_t x) { r[i] = x; });
}
VEXA_EXPORT int __tqrdBRngdAbstract(StreamState* s, int n, double* r, double a, double b) {
    return interval<DState>(s, n, r, a, b);
}
VEXA_EXPORT int __tqrsBRngsAbstract(StreamState* s, int n, float* r, float a, float b) {
    return interval<SState>(s, n, r, a, b);
}

// The routines of the other types.
VEXA_EXPORT int __tqrdBRngiAbstract(StreamState*, int, double*, double, double) { return VEXA_RNG_ABSTRACT_TYPE; }
VEXA_EXPORT int __tqrsBRngiAbstract(StreamState*, int, float*, float, float) { return VEXA_RNG_ABSTRACT_TYPE; }
VEXA_EXPORT int __tqriBRngdAbstract(StreamState*, int, uint32_t*) { return VEXA_RNG_ABSTRACT_TYPE; }
VEXA_EXPORT int __tqrsBRngdAbstract(StreamState*, int, float*, float, float) { return VEXA_RNG_ABSTRACT_TYPE; }
VEXA_EXPORT int __tqriBRngsAbstract(StreamState*, int, uint32_t*) { return VEXA_RNG_ABSTRACT_TYPE; }
VEXA_EXPORT int __tqrdBRngsAbstract(StreamState*, int, double*, double, double) { return VEXA_RNG_ABSTRACT_TYPE; }

}  // extern "C"
