// Aligned allocation with the test controls: a live-block count and a one-shot
// failure of the k-th allocation from now.
#include <atomic>
#include <cstdint>
#include <cstdlib>

#include "export.h"
#include "vexa/service.h"

namespace {

std::atomic<long> g_live{0};
std::atomic<long> g_attempts{0};
std::atomic<long> g_fail_at{0};  // attempt number that fails; 0 = disarmed

// Header just below every block: the pointer malloc returned.
struct Header {
    void* raw;
};

bool should_fail(long attempt) {
    long target = g_fail_at.load(std::memory_order_relaxed);
    return target != 0 && attempt == target &&
           g_fail_at.compare_exchange_strong(target, 0, std::memory_order_relaxed);
}

}  // namespace

extern "C" {

SERV_EXPORT void* vexa_serv_allocate(size_t size, int alignment) {
    const long attempt = g_attempts.fetch_add(1, std::memory_order_relaxed) + 1;
    if (alignment <= 0 || (alignment & (alignment - 1)) != 0) return nullptr;
    if (should_fail(attempt)) return nullptr;
    const size_t align = size_t(alignment) < alignof(Header) ? alignof(Header) : size_t(alignment);
    if (size > SIZE_MAX - align - sizeof(Header)) return nullptr;
    void* raw = std::malloc(size + align + sizeof(Header));
    if (raw == nullptr) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw) + sizeof(Header);
    const uintptr_t aligned = (start + align - 1) & ~uintptr_t(align - 1);
    reinterpret_cast<Header*>(aligned)[-1].raw = raw;
    g_live.fetch_add(1, std::memory_order_relaxed);
    return reinterpret_cast<void*>(aligned);
}

SERV_EXPORT void vexa_serv_deallocate(void* block) {
    if (block == nullptr) return;
    std::free(static_cast<Header*>(block)[-1].raw);
    g_live.fetch_sub(1, std::memory_order_relaxed);
}

SERV_EXPORT void vexa_serv_test_fail_allocation(long k) {
    g_fail_at.store(k >= 1 ? g_attempts.load(std::memory_order_relaxed) + k : 0, std::memory_order_relaxed);
}

SERV_EXPORT long vexa_serv_test_live_blocks(void) { return g_live.load(std::memory_order_relaxed); }
SERV_EXPORT long vexa_serv_test_allocation_count(void) { return g_attempts.load(std::memory_order_relaxed); }

}  // extern "C"
