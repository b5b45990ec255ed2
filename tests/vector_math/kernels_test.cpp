// The first slice end to end: every built function through every slot of its
// entry table and every entry stub, the loop's head/main/tail split against
// guard pages, in-place use, the floating-point frame, and the overflow report
// of the complex sums.
#include <gtest/gtest.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "support/guarded.h"
#include "support/vm_test.h"
#include "vexa/vector_math.h"

namespace {

using vexa::test::GuardedBuffer;
using vexa::test::ScopedMode;
using vexa::test::ScopedMxcsr;

// Every built function with its entry table and stubs, from the catalogue.
struct Entry {
    std::string name;  // "sAbs"
    char type;
    std::string cls;
    const void* const* ttab;
    const void* stubs[4];  // plain, _HA (slot 1), LA stub (slot 0), EP stub (slot 2)
};
#define VMX_ENTRY(t, F, cls)                                                                         \
    {#t #F, #t[0], #cls, reinterpret_cast<const void* const*>(vexa_arx_kernel_##t##F##_ttab),        \
     {reinterpret_cast<const void*>(&_arx##t##F), reinterpret_cast<const void*>(&_arx##t##F##_HA),   \
      reinterpret_cast<const void*>(&VMX_CAT(_arx##t##F##_, VMX_LASFX_##t)),                         \
      reinterpret_cast<const void*>(&VMX_CAT(_arx##t##F##_, VMX_EPSFX_##t))}},
#define VM_FN(st, t, F, cls, pat, gl, gh, ge, wl, wh, we, rep) VMX_IF_##st(VMX_ENTRY(t, F, cls))
const std::vector<Entry> kEntries = {
#include "vexa/vm_catalogue.def"
};
#undef VM_FN

constexpr int kStubSlot[4] = {1, 1, 0, 2};

// Exact references of the arithmetic, lane by lane (complex functions on
// interleaved parts); false for the functions measured by the accuracy tests.
template <class T> bool ref_lane(const std::string& f, T a, T b, bool imag, T& out) {
    if (f == "Abs") out = std::fabs(a);
    else if (f == "Add") out = a + b;
    else if (f == "Sub") out = a - b;
    else if (f == "Mul") out = a * b;
    else if (f == "Conj") out = imag ? -a : a;
    else if (f == "Sqr") out = a * a;
    else if (f == "Div") out = a / b;
    else if (f == "Inv") out = T(1) / a;
    else if (f == "Sqrt") out = std::sqrt(a);
    else if (f == "Floor") out = std::floor(a);
    else if (f == "Ceil") out = std::ceil(a);
    else if (f == "Trunc") out = std::trunc(a);
    else if (f == "Rint") out = std::rint(a);
    else if (f == "NearbyInt") out = std::nearbyint(a);
    else if (f == "Round") out = std::round(a);
    else if (f == "Frac") out = a - std::trunc(a);
    else return false;
    return true;
}

template <class T> bool same_bits(T x, T y) {
    return std::memcmp(&x, &y, sizeof(T)) == 0 || (std::isnan(x) && std::isnan(y));
}

// Calls kernel k of a one-in or two-in class on lane arrays.
template <class T> void call(const void* k, const std::string& cls, int n, const T* a, const T* b, T* r) {
    if (cls == "ONE") reinterpret_cast<void (*)(int, const T*, T*)>(const_cast<void*>(k))(n, a, r);
    else reinterpret_cast<void (*)(int, const T*, const T*, T*)>(const_cast<void*>(k))(n, a, b, r);
}

// The expected lanes of element i: the exact reference where there is one, else
// the same kernel applied to that element alone, so that no result depends on
// the element's place in the loop (head, main blocks, tail).
template <class T>
void expected(const Entry& e, const void* k, const T* a, const T* b, std::size_t i, int lpe, T* out) {
    const std::string f = e.name.substr(1);
    bool exact = true;
    for (int q = 0; q < lpe; ++q) exact = exact && ref_lane<T>(f, a[i + q], b[i + q], q == 1, out[q]);
    if (exact) return;
    alignas(32) T one_a[2], one_b[2], one_r[2];
    for (int q = 0; q < lpe; ++q) one_a[q] = a[i + q], one_b[q] = b[i + q];
    call<T>(k, e.cls, 1, one_a, one_b, one_r);
    for (int q = 0; q < lpe; ++q) out[q] = one_r[q];
}

// Checks one kernel for every n in [0, max_n] and every element offset within
// 32 bytes, with the arrays against guard pages at the end (tail = true) or at
// the start, and in place.
template <class T>
void check_kernel(const Entry& e, const void* k, int lanes_per_elem, int max_n) {
    const int elem_bytes = int(sizeof(T)) * lanes_per_elem;
    for (bool tail : {true, false}) {
        for (int n = 0; n <= max_n; ++n) {
            for (int off = 0; off < 32; off += elem_bytes) {
                const std::size_t lanes = std::size_t(n) * lanes_per_elem;
                const std::size_t bytes = lanes * sizeof(T);
                GuardedBuffer ga(bytes + (tail ? 0 : off), tail), gb(bytes, !tail), gr(bytes, tail);
                T* a = reinterpret_cast<T*>(ga.as<char>() + (tail ? 0 : off));
                T* b = gb.as<T>();
                T* r = gr.as<T>();
                for (std::size_t i = 0; i < lanes; ++i) {
                    a[i] = T(std::ldexp(double(i % 7) - 3.25, int(i % 5) - 2));
                    b[i] = T(0.5 + double(i % 3));
                    r[i] = T(-99);
                }
                std::vector<T> expect(lanes);
                for (std::size_t i = 0; i < lanes; i += lanes_per_elem) expected<T>(e, k, a, b, i, lanes_per_elem, &expect[i]);
                call<T>(k, e.cls, n, a, b, r);
                for (std::size_t i = 0; i < lanes; ++i)
                    ASSERT_TRUE(same_bits(r[i], expect[i])) << e.name << " n=" << n << " off=" << off << " i=" << i
                                                            << " got " << r[i] << " want " << expect[i];
                // In place: the result overwrites the first input.
                call<T>(k, e.cls, n, a, b, a);
                for (std::size_t i = 0; i < lanes; ++i) ASSERT_TRUE(same_bits(a[i], expect[i])) << e.name << " in place";
            }
        }
    }
}

TEST(Kernels, EverySlotAndStubComputesItsFunction) {
    ASSERT_FALSE(kEntries.empty());
    for (const Entry& e : kEntries) {
        if (e.cls != "ONE" && e.cls != "TWO") continue;  // the other classes have suites of their own
        std::vector<const void*> ks = {e.ttab[0], e.ttab[1], e.ttab[2]};
        for (const void* s : e.stubs) ks.push_back(s);
        for (const void* k : ks) {
            switch (e.type) {
                case 's': check_kernel<float>(e, k, 1, 41); break;
                case 'd': check_kernel<double>(e, k, 1, 21); break;
                case 'c': check_kernel<float>(e, k, 2, 21); break;
                case 'z': check_kernel<double>(e, k, 2, 11); break;
            }
        }
    }
}

// A stub reaches the kernel in its slot: a counting callback tells the
// reporting kernels apart from the silent EP ones.
int g_reports = 0;
int count_and_go_on(ErrorContext*) {
    ++g_reports;
    return 1;
}

TEST(Kernels, StubsJumpThroughTheirSlot) {
    const float big = FLT_MAX;
    const VexaComplex8 a[1] = {{big, 0}};
    VexaComplex8 r[1];
    vexa_arx_kernel_SetErrorCallBack(count_and_go_on);
    const struct {
        void (*stub)(int, const VexaComplex8*, const VexaComplex8*, VexaComplex8*);
        int reports;
    } cases[] = {{_arxcAdd, 1}, {_arxcAdd_HA, 1}, {_arxcAdd_21, 1}, {_arxcAdd_11, 0}};
    for (auto& c : cases) {
        g_reports = 0;
        c.stub(1, a, a, r);
        EXPECT_EQ(g_reports, c.reports);
        EXPECT_TRUE(std::isinf(r[0].re));
    }
    vexa_arx_kernel_ClearErrorCallBack();
    EXPECT_EQ(vexa_arx_kernel_GetTTableIndex(), 1);
}

TEST(Kernels, AbsClearsTheSignAndQuietsSignallingNaNs) {
    float in[3];
    const uint32_t snan = 0x7F800001u, neg_zero = 0x80000000u, neg_qnan = 0xFFC00123u;
    std::memcpy(&in[0], &snan, 4);
    std::memcpy(&in[1], &neg_zero, 4);
    std::memcpy(&in[2], &neg_qnan, 4);
    float out[3];
    vexa_arx_kernel_sAbs_S9HAynn(3, in, out);
    uint32_t bits[3];
    std::memcpy(bits, out, sizeof bits);
    EXPECT_EQ(bits[0], 0x7FC00001u);  // quiet, payload kept
    EXPECT_EQ(bits[1], 0u);
    EXPECT_EQ(bits[2], 0x7FC00123u);
}

TEST(Kernels, ConjPassesNaNPayloadsAndFlipsZeroSigns) {
    const uint64_t payload = 0x7FF4000000000abcull;  // signalling NaN
    VexaComplex16 a[2];
    std::memcpy(&a[0].re, &payload, 8);
    a[0].im = 0.0;
    a[1].re = -1.5;
    std::memcpy(&a[1].im, &payload, 8);
    VexaComplex16 r[2];
    vexa_arx_kernel_zConj_G9HAynn(2, a, r);
    uint64_t bits[4];
    std::memcpy(bits, r, sizeof bits);
    EXPECT_EQ(bits[0], payload);
    EXPECT_EQ(bits[1], 0x8000000000000000ull);
    EXPECT_EQ(r[1].re, -1.5);
    EXPECT_EQ(bits[3], payload | 0x8000000000000000ull);
}

// ---- floating-point frame ---------------------------------------------------

constexpr unsigned kFtzDaz = 0x8040u, kRoundTowardZero = 0x6000u, kAllMasked = 0x1F80u;

TEST(Frame, CallerMxcsrIsRestoredAndKernelsRoundToNearestWithSubnormals) {
    const double tiny = std::numeric_limits<double>::denorm_min() * 3;
    const double a[2] = {1.0, tiny};
    const double b[2] = {0x1.8p-53, 0.0};  // 1 + 1.5 ulp/2 rounds up under nearest, down toward zero
    double r[2];
    for (unsigned caller : {kAllMasked, kAllMasked | kFtzDaz | kRoundTowardZero, kAllMasked | 0x4000u}) {
        ScopedMxcsr scoped(caller);
        vexa_arx_kernel_dAdd_S9HAynn(2, a, b, r);
        EXPECT_EQ(_mm_getcsr() & ~0x3Fu, caller);
        EXPECT_EQ(r[0], 1.0 + 0x1p-52);
        EXPECT_EQ(r[1], tiny);
    }
}

TEST(Frame, FlushDenormalsModeTreatsSubnormalsAsZero) {
    vexa::test::in_fresh_thread([] {
        const float tiny = std::numeric_limits<float>::denorm_min() * 5;
        const float a[1] = {tiny}, z[1] = {0.0f};
        float r[1];
        {
            ScopedMode mode(VEXA_VM_FLUSH_DENORMALS);
            ScopedMxcsr scoped(kAllMasked);
            vexa_arx_kernel_sAdd_S9HAynn(1, a, z, r);
            EXPECT_EQ(r[0], 0.0f);
            vexa_arx_kernel_sAbs_S9HAynn(1, a, r);
            EXPECT_EQ(r[0], 0.0f);
            EXPECT_EQ(_mm_getcsr() & ~0x3Fu, kAllMasked);
        }
        {
            ScopedMode mode(VEXA_VM_KEEP_DENORMALS);
            vexa_arx_kernel_sAdd_S9HAynn(1, a, z, r);
            EXPECT_EQ(r[0], tiny);
        }
    });
}

TEST(Frame, ConjRunsUnderTheCallersSettings) {
    // Bit moves only: a subnormal passes even with flush-to-zero set.
    ScopedMxcsr scoped(kAllMasked | kFtzDaz);
    const float tiny = std::numeric_limits<float>::denorm_min();
    const VexaComplex8 a[1] = {{tiny, tiny}};
    VexaComplex8 r[1];
    vexa_arx_kernel_cConj_W7HAynn(1, a, r);
    EXPECT_EQ(r[0].re, tiny);
    EXPECT_EQ(r[0].im, -tiny);
    EXPECT_EQ(_mm_getcsr() & ~0x3Fu, kAllMasked | kFtzDaz);
}

// ---- overflow report of the complex sums -------------------------------------

struct Seen {
    int status, index;
    double res;
};
std::vector<Seen> g_seen;
int record(ErrorContext* ctx) {
    g_seen.push_back({ctx->status, ctx->index, ctx->res1});
    return 0;
}

TEST(ComplexSums, FiniteOperandsWithAnInfiniteResultReportOverflowInElementOrder) {
    vexa::test::in_fresh_thread([] {
        constexpr int n = 19;
        std::vector<VexaComplex16> a(n, {1.0, 2.0}), b(n, {3.0, 4.0}), r(n);
        a[2] = {DBL_MAX, 0};  // re overflows
        b[2] = {DBL_MAX, 0};
        a[9] = {0, -DBL_MAX};  // im overflows
        b[9] = {0, -DBL_MAX};
        a[11] = {INFINITY, 0};  // infinite operand: no report
        a[17] = {DBL_MAX, DBL_MAX};  // both parts overflow: one report
        b[17] = {DBL_MAX, DBL_MAX};
        g_seen.clear();
        vexa_arx_kernel_SetErrorCallBack(record);
        errno = 0;
        vexa_arx_kernel_zAdd_S9HAynn(n, a.data(), b.data(), r.data());
        ASSERT_EQ(g_seen.size(), 3u);
        EXPECT_EQ(g_seen[0].index, 2);
        EXPECT_EQ(g_seen[1].index, 9);
        EXPECT_EQ(g_seen[2].index, 17);
        for (auto& s : g_seen) EXPECT_EQ(s.status, VEXA_VM_STATUS_OVERFLOW);
        EXPECT_TRUE(std::isinf(r[9].im) && r[9].im < 0);
        EXPECT_EQ(r[3].re, 4.0);
        EXPECT_EQ(vexa_arx_kernel_GetErrStatus(), VEXA_VM_STATUS_OVERFLOW);
        EXPECT_EQ(errno, ERANGE);

        // The EP kernel stores the same sums silently.
        g_seen.clear();
        vexa_arx_kernel_ClearErrStatus();
        vexa_arx_kernel_zAdd_S9EPnnn(n, a.data(), b.data(), r.data());
        EXPECT_TRUE(g_seen.empty());
        EXPECT_EQ(vexa_arx_kernel_GetErrStatus(), 0);
        EXPECT_TRUE(std::isinf(r[2].re));
    });
}

int replace_with_seven(ErrorContext* ctx) {
    ctx->res1 = 7.0;
    ctx->res1_im = -7.0;
    return 0;
}

TEST(ComplexSums, ChangedResultsSurviveAndFloatDifferencesReportToo) {
    vexa::test::in_fresh_thread([] {
        vexa_arx_kernel_SetMode(VEXA_VM_ERRMODE_CALLBACK);
        vexa_arx_kernel_SetErrorCallBack(replace_with_seven);
        std::vector<VexaComplex8> a(13, {1.0f, 1.0f}), b(13, {0.5f, 0.5f}), r(13);
        a[12] = {-FLT_MAX, 0.0f};
        b[12] = {FLT_MAX, 0.0f};
        vexa_arx_kernel_cSub_P8HAynn(13, a.data(), b.data(), r.data());
        EXPECT_EQ(r[12].re, 7.0f);
        EXPECT_EQ(r[12].im, -7.0f);
        EXPECT_EQ(r[11].re, 0.5f);
        // In place, through the stub of the HA slot.
        vexa_arx_kernel_ClearErrStatus();
        _arxcSub(13, a.data(), b.data(), a.data());
        EXPECT_EQ(a[12].re, 7.0f);
        EXPECT_EQ(vexa_arx_kernel_GetErrStatus(), VEXA_VM_STATUS_OVERFLOW);
    });
}

}  // namespace
