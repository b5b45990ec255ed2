// Accuracy of every transcendental kernel against MPFR over its whole domain,
// per entry-table slot, against the bound the accuracy catalogue documents for
// it; the documented bounds within their accuracy classes (HA at most 1 ulp,
// LA at most 4 ulp, EP at least 11 correct bits for float and 26 for double).
// Also: both ABIs give bit-identical results (digests against the committed
// list), and each element's result is independent of its neighbours.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "support/kernels.h"
#include "support/sweep.h"
#include "support/vm_test.h"

#ifndef VEXA_ACCURACY_SAMPLES
#define VEXA_ACCURACY_SAMPLES 100000
#endif

namespace {

using namespace vexa::test;

constexpr std::size_t kDigestSamples = 20000;

TEST(Accuracy, EveryTranscendentalSlotHasAnOracleAndABoundInItsClass) {
    for (const SlotKernel& k : transcendental_slots()) {
        EXPECT_TRUE(k.has_oracle) << k.function;
        ASSERT_TRUE(k.bound.found) << k.function << " " << slot_name(k.slot) << " has no bound row";
        const Bound& b = k.bound;
        switch (k.slot) {
            case 0: EXPECT_TRUE(b.in_bits || b.value <= 4.0) << k.function << " LA"; break;
            case 1: EXPECT_TRUE(!b.in_bits && b.value <= 1.0) << k.function << " HA"; break;
            default: EXPECT_TRUE(!b.in_bits || b.value >= (k.type == 's' ? 11.0 : 26.0)) << k.function << " EP";
        }
    }
}

TEST(Accuracy, EverySlotMeetsItsDocumentedBound) {
    for (const SlotKernel& k : transcendental_slots()) {
        if (!k.has_oracle || !k.bound.found) continue;
        const Accuracy a = measure_slot(k, VEXA_ACCURACY_SAMPLES);
        std::printf("  %-10s %s  max %.3f ulp at %.17g, min %.1f bits at %.17g (%zu inputs); documented %s %g %s\n",
                    k.function.c_str(), slot_name(k.slot), a.max_ulp, a.worst_x, a.min_bits, a.min_bits_x, a.count,
                    k.bound.in_bits ? ">=" : "<=", k.bound.value, k.bound.in_bits ? "bits" : "ulp");
        EXPECT_TRUE(within(k.bound, a.max_ulp, a.min_bits))
            << k.function << " " << slot_name(k.slot) << ": " << a.max_ulp << " ulp at " << a.worst_x << ", "
            << a.min_bits << " bits at " << a.min_bits_x;
    }
}

// An element's result depends on its own argument only: the same with any
// neighbours (huge, special or ordinary arguments in its register) and at any
// position relative to the array's alignment.
template <class T> void check_alone(const SlotKernel& k) {
    const std::vector<T> x = sweep_inputs<T>(k.fn, 1500, 4321);
    std::vector<T> y = arity_of(k.fn) == 2 ? sweep_inputs<T>(k.fn, 1500, 8765) : x;
    std::vector<T> all(x.size() + 1), all2(x.size() + 1), one(2), one2(2);
    const void* f = k.kernel;
    auto run = [&](int n, const T* a, const T* b, T* r, T* r2) {
        switch (arity_of(k.fn)) {
            case 1: reinterpret_cast<void (*)(int, const T*, T*)>(const_cast<void*>(f))(n, a, r); break;
            case 2: reinterpret_cast<void (*)(int, const T*, const T*, T*)>(const_cast<void*>(f))(n, a, b, r); break;
            case 4: reinterpret_cast<void (*)(int, const T*, T*, T*)>(const_cast<void*>(f))(n, a, r, r2); break;
        }
    };
    if (arity_of(k.fn) == 3) return;
    vexa::test::ScopedMode quiet(VEXA_VM_ERRMODE_IGNORE);
    run(int(x.size()), x.data(), y.data(), all.data() + 1, all2.data() + 1);  // output misaligned by one
    for (std::size_t i = 0; i < x.size(); ++i) {
        run(1, &x[i], &y[i], one.data(), one2.data());
        ASSERT_EQ(std::memcmp(&one[0], &all[i + 1], sizeof(T)), 0) << k.function << " " << slot_name(k.slot) << " " << x[i];
        if (arity_of(k.fn) == 4) {
            ASSERT_EQ(std::memcmp(&one2[0], &all2[i + 1], sizeof(T)), 0) << k.function << " second " << x[i];
        }
    }
}

TEST(Accuracy, EachElementsResultIsIndependentOfItsNeighbours) {
    for (const SlotKernel& k : transcendental_slots()) {
        if (!k.has_oracle) continue;
        if (k.type == 's') check_alone<float>(k);
        else check_alone<double>(k);
    }
}

std::string digest_line(const SlotKernel& k) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%s %s %016llx", k.function.c_str(), slot_name(k.slot),
                  (unsigned long long)digest_slot(k, kDigestSamples));
    return buf;
}

// VEXA_WRITE_DIGESTS=1 rewrites the list after a deliberate change of results.
TEST(Accuracy, ResultsAreBitIdenticalOnBothAbis) {
    const std::string path = std::string(VEXA_SOURCE_DIR) + "/tests/vector_math/kernel_digests.txt";
    std::ostringstream now;
    for (const SlotKernel& k : transcendental_slots())
        if (k.has_oracle) now << digest_line(k) << "\n";
    if (std::getenv("VEXA_WRITE_DIGESTS")) {
        std::ofstream(path) << now.str();
        GTEST_SKIP() << "digests written to " << path;
    }
    std::ifstream in(path);
    std::stringstream committed;
    committed << in.rdbuf();
    EXPECT_EQ(now.str(), committed.str());
}

}  // namespace
