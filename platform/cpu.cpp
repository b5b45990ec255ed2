// The processor features tests may hide from the library.
#include <atomic>

#include "export.h"
#include "vexa/service.h"

namespace {
std::atomic<unsigned> g_hidden{0};
}

extern "C" {

SERV_EXPORT unsigned vexa_serv_hidden_cpu_features(void) { return g_hidden.load(std::memory_order_relaxed); }
SERV_EXPORT void vexa_serv_test_hide_cpu_features(unsigned mask) { g_hidden.store(mask, std::memory_order_relaxed); }

}  // extern "C"
