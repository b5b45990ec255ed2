// Helpers shared by the vector-math tests.
#pragma once

#include <immintrin.h>

#include <functional>
#include <thread>

#include "vexa/vector_math.h"

namespace vexa::test {

// Runs fn in a new thread, whose vector-math block starts at zero.
inline void in_fresh_thread(const std::function<void()>& fn) {
    std::thread t(fn);
    t.join();
}

// Sets MXCSR for the scope and restores it afterwards.
class ScopedMxcsr {
public:
    explicit ScopedMxcsr(unsigned value) : saved_(_mm_getcsr()) { _mm_setcsr(value); }
    ~ScopedMxcsr() { _mm_setcsr(saved_); }

private:
    unsigned saved_;
};

// Sets the thread's vector-math mode for the scope (all fields) and restores it.
class ScopedMode {
public:
    explicit ScopedMode(unsigned mode) : saved_(vexa_arx_kernel_SetMode(mode)) {}
    ~ScopedMode() { vexa_arx_kernel_SetMode(saved_); }

private:
    unsigned saved_;
};

}  // namespace vexa::test
