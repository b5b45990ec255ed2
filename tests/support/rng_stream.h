// A stream for the distribution tests: created from one seed or adopted,
// copied, deleted at the end of its scope; its generator's record and the
// uniforms of its own routines, for recomputing what a kernel drew.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "vexa/random.h"

namespace vexa::test {

struct RngStream {
    StreamState* s = nullptr;
    explicit RngStream(int32_t id, uint32_t seed) { EXPECT_EQ(__tqrNewStreamEx(&s, id, 1, &seed), 0); }
    explicit RngStream(StreamState* adopted) : s(adopted) {}
    RngStream(RngStream&& o) noexcept : s(o.s) { o.s = nullptr; }
    RngStream(const RngStream&) = delete;
    ~RngStream() {
        if (s != nullptr) __tqrDeleteStream(&s);
    }
    // Hands the stream over (to an adopting RngStream).
    StreamState* release() {
        StreamState* r = s;
        s = nullptr;
        return r;
    }
    RngStream copy() const {
        StreamState* c = nullptr;
        EXPECT_EQ(__tqrCopyStream(&c, s), 0);
        return RngStream(c);
    }
    BrngProperties record() const {
        BrngProperties p{};
        __tqrGetBrngProperties(s->brng, &p);
        return p;
    }
    // n uniforms on [a, b) from the float or double routine.
    template <class T> std::vector<T> uniforms(int n, T a, T b) {
        std::vector<T> r(static_cast<std::size_t>(n));
        if constexpr (sizeof(T) == 8) EXPECT_EQ(record().dBRng(s, n, r.data(), a, b), 0);
        else EXPECT_EQ(record().sBRng(s, n, r.data(), a, b), 0);
        return r;
    }
};

// A stream of the integer abstract type, whose real-valued routines refuse
// with VEXA_RNG_ABSTRACT_TYPE: a generator that fails, for the kernels that
// must hand its status back.
inline RngStream failing_real_stream() {
    static uint32_t buffer[4];
    StreamState* s = nullptr;
    EXPECT_EQ(__tqriNewAbstractStream(&s, 4, buffer, [](StreamState*, int*, uint32_t*, int*, int*, int*) { return 1; }), 0);
    return RngStream(s);
}

}  // namespace vexa::test
