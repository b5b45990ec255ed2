// Aligned allocation with the test controls: a live-block count and a one-shot
// failure of the k-th allocation from now.
//
// Large blocks are kept for reuse when released: the C heap hands blocks of
// tens of megabytes to the kernel and back on every call, and a kernel that
// asks for the same large work array call after call would otherwise spend
// more time faulting fresh pages in than computing. A released block of at
// least kCacheMin bytes joins a small cache (kCacheSlots blocks, kCacheBytes
// in all, the oldest given back first); a request takes the smallest cached
// block that holds it without wasting more than its own size. The cache is
// off under AddressSanitizer, so that every use after release is caught.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <type_traits>

#include "export.h"
#include "vexa/service.h"

namespace {

std::atomic<long> g_live{0};
std::atomic<long> g_attempts{0};
std::atomic<long> g_fail_at{0};  // attempt number that fails; 0 = disarmed

// Header just below every block: the pointer malloc returned and its size.
struct Header {
    void* raw;
    size_t bytes;
};

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kCacheOn = false;
#else
constexpr bool kCacheOn = true;
#endif
constexpr size_t kCacheMin = size_t(4) << 20;
constexpr int kCacheSlots = 4;
constexpr size_t kCacheBytes = sizeof(void*) == 8 ? size_t(1) << 30 : size_t(256) << 20;

struct Cache {
    std::mutex lock;
    void* raw[kCacheSlots] = {};
    size_t bytes[kCacheSlots] = {};
    size_t total = 0;
    // A cached block of at least `need` and at most 2 need bytes, or null.
    void* take(size_t need, size_t& got) {
        std::lock_guard<std::mutex> g(lock);
        int best = -1;
        for (int i = 0; i < kCacheSlots; ++i)
            if (raw[i] != nullptr && bytes[i] >= need && bytes[i] - need <= need && (best < 0 || bytes[i] < bytes[best]))
                best = i;
        if (best < 0) return nullptr;
        void* p = raw[best];
        got = bytes[best];
        total -= got;
        raw[best] = nullptr;
        return p;
    }
    // Keeps the block, giving back the oldest ones it displaces.
    void put(void* p, size_t n) {
        void* out[kCacheSlots + 1] = {};
        int nout = 0;
        {
            std::lock_guard<std::mutex> g(lock);
            if (n > kCacheBytes) {
                out[nout++] = p;
            } else {
                // Slot 0 is the oldest: shift out until there is a free slot and room.
                while (raw[kCacheSlots - 1] != nullptr || total + n > kCacheBytes) {
                    if (raw[0] != nullptr) out[nout++] = raw[0], total -= bytes[0];
                    for (int i = 0; i + 1 < kCacheSlots; ++i) raw[i] = raw[i + 1], bytes[i] = bytes[i + 1];
                    raw[kCacheSlots - 1] = nullptr, bytes[kCacheSlots - 1] = 0;
                }
                int i = 0;
                while (raw[i] != nullptr) ++i;
                raw[i] = p, bytes[i] = n, total += n;
            }
        }
        for (int i = 0; i < nout; ++i) std::free(out[i]);
    }
};
// Constant-initialised and trivially destructible, so that it exists before
// any constructor runs and blocks released during exit still find it.
static_assert(std::is_trivially_destructible_v<Cache>);
constinit Cache g_cache;

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
    size_t bytes = size + align + sizeof(Header);
    void* raw = nullptr;
    if (kCacheOn && bytes >= kCacheMin) raw = g_cache.take(bytes, bytes);
    if (raw == nullptr) raw = std::malloc(bytes);
    if (raw == nullptr) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw) + sizeof(Header);
    const uintptr_t aligned = (start + align - 1) & ~uintptr_t(align - 1);
    reinterpret_cast<Header*>(aligned)[-1] = Header{raw, bytes};
    g_live.fetch_add(1, std::memory_order_relaxed);
    return reinterpret_cast<void*>(aligned);
}

SERV_EXPORT void vexa_serv_deallocate(void* block) {
    if (block == nullptr) return;
    const Header h = static_cast<Header*>(block)[-1];
    if (kCacheOn && h.bytes >= kCacheMin) g_cache.put(h.raw, h.bytes);
    else std::free(h.raw);
    g_live.fetch_sub(1, std::memory_order_relaxed);
}

SERV_EXPORT void vexa_serv_test_fail_allocation(long k) {
    g_fail_at.store(k >= 1 ? g_attempts.load(std::memory_order_relaxed) + k : 0, std::memory_order_relaxed);
}

SERV_EXPORT long vexa_serv_test_live_blocks(void) { return g_live.load(std::memory_order_relaxed); }
SERV_EXPORT long vexa_serv_test_allocation_count(void) { return g_attempts.load(std::memory_order_relaxed); }

}  // extern "C"
