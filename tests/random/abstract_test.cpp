// The abstract streams: a callback that checks the arguments of every call
// against the contract while it feeds a running count, delivery across calls
// and across refills, the interval mapping, the failing callbacks and the
// routines of the other types.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "vexa/random.h"

namespace {

// The test's view of the feeding: the next value to hand out, the calls made,
// the need the test expects the next call to report, and what to return.
struct Feed {
    uint32_t next = 0;
    int calls = 0;
    int expected_idx = 0;
    int remaining = 0;  // values the current request still needs before the call
    int chunk = 3;      // values written per call (capped at nmax)
    int force = -100;   // a count to return instead (when not -100)
};
Feed g_feed;

template <class T> int feed(StreamState*, int* n, T* buffer, int* nmin, int* nmax, int* idx) {
    ++g_feed.calls;
    EXPECT_EQ(*idx, g_feed.expected_idx);
    EXPECT_EQ(*nmin, std::min(*nmax, g_feed.remaining));
    EXPECT_GE(*nmax, 1);
    EXPECT_LE(*nmax, *n);
    if (g_feed.force != -100) return g_feed.force;
    const int k = std::min(g_feed.chunk, *nmax);
    for (int j = 0; j < k; ++j) buffer[(*idx + j) % *n] = T(g_feed.next++);
    g_feed.expected_idx = (*idx + k) % *n;
    g_feed.remaining -= std::min(k, g_feed.remaining);
    return k;
}

// Draws n words from an iAbstract stream, telling the callback the need.
std::vector<uint32_t> draw(StreamState* s, int n, int& status) {
    std::vector<uint32_t> r(static_cast<std::size_t>(n));
    BrngProperties p{};
    __tqrGetBrngProperties(s->brng, &p);
    status = p.iBRng(s, n, r.data());
    return r;
}

TEST(Abstract, DeliversInOrderAcrossRefillsAndCalls) {
    g_feed = Feed{};
    uint32_t buf[5];
    StreamState* s = nullptr;
    ASSERT_EQ(__tqriNewAbstractStream(&s, 5, buf, feed<uint32_t>), 0);
    // The buffer counts as used up: the first call asks at once, even for one value.
    g_feed.remaining = 1;
    int st;
    std::vector<uint32_t> got = draw(s, 1, st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(g_feed.calls, 1);
    // The rest of that chunk first, then refills, for requests past the buffer's size.
    uint32_t want = 1;
    for (int n : {2, 13, 1, 7, 5, 20}) {
        // What the buffer still holds is delivered before any call.
        const int held = int(g_feed.next - want);
        g_feed.remaining = std::max(0, n - held);
        const std::vector<uint32_t> r = draw(s, n, st);
        EXPECT_EQ(st, 0);
        for (uint32_t v : r) EXPECT_EQ(v, want++);
    }
    __tqrDeleteStream(&s);
}

TEST(Abstract, FailingCallbacks) {
    uint32_t buf[4];
    StreamState* s = nullptr;
    ASSERT_EQ(__tqriNewAbstractStream(&s, 4, buf, feed<uint32_t>), 0);
    int st;
    for (int bad : {5, -1}) {  // more than nmax (4), negative
        g_feed = Feed{};
        g_feed.remaining = 2;
        g_feed.force = bad;
        draw(s, 2, st);
        EXPECT_EQ(st, VEXA_RNG_ABSTRACT_COUNT) << bad;
    }
    g_feed = Feed{};
    g_feed.remaining = 2;
    g_feed.force = 0;
    draw(s, 2, st);
    EXPECT_EQ(st, VEXA_RNG_ABSTRACT_EMPTY);
    // The stream still works after a failure.
    g_feed = Feed{};
    g_feed.remaining = 3;
    const std::vector<uint32_t> r = draw(s, 3, st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(r, (std::vector<uint32_t>{0, 1, 2}));
    __tqrDeleteStream(&s);
}

TEST(Abstract, IntervalMappingAndTheOtherTypes) {
    double dbuf[8];
    float fbuf[8];
    StreamState *d = nullptr, *f = nullptr;
    ASSERT_EQ(__tqrdNewAbstractStream(&d, 8, dbuf, 0.0, 1.0, feed<double>), 0);
    ASSERT_EQ(__tqrsNewAbstractStream(&f, 8, fbuf, 0.0f, 4.0f, feed<float>), 0);
    // The feed's counts 0, 1, 2 on the stream's [0, 1) map to 10 + 10 x on [10, 20).
    g_feed = Feed{};
    g_feed.remaining = 3;
    double rd[3];
    EXPECT_EQ(__tqrdBRngdAbstract(d, 3, rd, 10.0, 20.0), 0);
    EXPECT_EQ(rd[0], 10.0);
    EXPECT_EQ(rd[1], 20.0);
    EXPECT_EQ(rd[2], 30.0);
    // Float: the stream's [0, 4) to [-1, 1): x/2 - 1.
    g_feed = Feed{};
    g_feed.remaining = 3;
    float rf[3];
    EXPECT_EQ(__tqrsBRngsAbstract(f, 3, rf, -1.0f, 1.0f), 0);
    EXPECT_EQ(rf[0], -1.0f);
    EXPECT_EQ(rf[1], -0.5f);
    EXPECT_EQ(rf[2], 0.0f);
    // 0.5 on [0, 1) is 15 on [10, 20).
    StreamState* h = nullptr;
    double hbuf[4];
    ASSERT_EQ(__tqrdNewAbstractStream(&h, 4, hbuf, 0.0, 1.0,
                                      [](StreamState*, int* n, double* b, int*, int* nmax, int* idx) {
                                          for (int j = 0; j < *nmax; ++j) b[(*idx + j) % *n] = 0.5;
                                          return *nmax;
                                      }),
              0);
    double half[6];
    EXPECT_EQ(__tqrdBRngdAbstract(h, 6, half, 10.0, 20.0), 0);
    for (double v : half) EXPECT_EQ(v, 15.0);
    __tqrDeleteStream(&h);
    // The six routines of the other types refuse at once.
    uint32_t w;
    double x;
    float y;
    EXPECT_EQ(__tqriBRngdAbstract(d, 1, &w), VEXA_RNG_ABSTRACT_TYPE);
    EXPECT_EQ(__tqrsBRngdAbstract(d, 1, &y, 0, 1), VEXA_RNG_ABSTRACT_TYPE);
    EXPECT_EQ(__tqriBRngsAbstract(f, 1, &w), VEXA_RNG_ABSTRACT_TYPE);
    EXPECT_EQ(__tqrdBRngsAbstract(f, 1, &x, 0, 1), VEXA_RNG_ABSTRACT_TYPE);
    uint32_t ibuf[2];
    StreamState* i = nullptr;
    ASSERT_EQ(__tqriNewAbstractStream(&i, 2, ibuf, feed<uint32_t>), 0);
    EXPECT_EQ(__tqrdBRngiAbstract(i, 1, &x, 0, 1), VEXA_RNG_ABSTRACT_TYPE);
    EXPECT_EQ(__tqrsBRngiAbstract(i, 1, &y, 0, 1), VEXA_RNG_ABSTRACT_TYPE);
    // No leapfrog, no skip-ahead.
    EXPECT_EQ(__tqrLeapfrogStream(i, 0, 2), VEXA_RNG_NO_LEAPFROG);
    EXPECT_EQ(__tqrSkipAheadStream(i, 1), VEXA_RNG_NO_SKIPAHEAD);
    __tqrDeleteStream(&i);
    __tqrDeleteStream(&d);
    __tqrDeleteStream(&f);
}

TEST(Abstract, NullBufferInTheState) {
    uint32_t buf[2];
    StreamState* s = nullptr;
    ASSERT_EQ(__tqriNewAbstractStream(&s, 2, buf, feed<uint32_t>), 0);
    uint32_t* const none = nullptr;
    std::memcpy(reinterpret_cast<char*>(s) + 28, &none, sizeof none);  // the buffer field
    uint32_t w;
    EXPECT_EQ(__tqriBRngiAbstract(s, 1, &w), VEXA_RNG_NULL_ROUTINE);
    __tqrDeleteStream(&s);
}

}  // namespace
