// The platform stand-in: allocator and its test controls, environment and
// bounded copy, the message catalogue, the thread pool behind the threading
// table, and one call of every BLAS and LAPACK adapter.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "vexa/service.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

TEST(Allocator, HonoursAlignmentAndCountsLiveBlocks) {
    const long live = vexa_serv_test_live_blocks();
    std::vector<void*> blocks;
    for (int align = 1; align <= 4096; align *= 2) {
        for (size_t size : {size_t(0), size_t(1), size_t(127), size_t(4096)}) {
            void* p = vexa_serv_allocate(size, align);
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % uintptr_t(align), 0u);
            std::memset(p, 0xAB, size);
            blocks.push_back(p);
        }
    }
    EXPECT_EQ(vexa_serv_test_live_blocks(), live + long(blocks.size()));
    for (void* p : blocks) vexa_serv_deallocate(p);
    vexa_serv_deallocate(nullptr);
    EXPECT_EQ(vexa_serv_test_live_blocks(), live);
}

TEST(Allocator, RefusesBadAlignmentsAndExhaustion) {
    const long live = vexa_serv_test_live_blocks();
    EXPECT_EQ(vexa_serv_allocate(16, 0), nullptr);
    EXPECT_EQ(vexa_serv_allocate(16, 24), nullptr);
    EXPECT_EQ(vexa_serv_allocate(16, -128), nullptr);
    EXPECT_EQ(vexa_serv_allocate(SIZE_MAX - 8, 128), nullptr);
    EXPECT_EQ(vexa_serv_test_live_blocks(), live);
}

TEST(Allocator, FailsTheKthAllocationFromNowOnce) {
    for (long k = 1; k <= 4; ++k) {
        vexa_serv_test_fail_allocation(k);
        const long before = vexa_serv_test_allocation_count();
        std::vector<void*> got;
        for (int i = 0; i < 6; ++i) got.push_back(vexa_serv_allocate(32, 128));
        EXPECT_EQ(vexa_serv_test_allocation_count(), before + 6);
        for (int i = 0; i < 6; ++i) EXPECT_EQ(got[i] == nullptr, i + 1 == k) << "k=" << k << " i=" << i;
        for (void* p : got) vexa_serv_deallocate(p);
    }
    vexa_serv_test_fail_allocation(2);
    vexa_serv_test_fail_allocation(0);  // disarmed
    void* p = vexa_serv_allocate(8, 128);
    void* q = vexa_serv_allocate(8, 128);
    EXPECT_TRUE(p && q);
    vexa_serv_deallocate(p);
    vexa_serv_deallocate(q);
}

TEST(Environment, GetenvCopiesBoundedValues) {
    char buf[8];
    setenv("VEXA_TEST_VAR", "abcdefghijk", 1);
    EXPECT_EQ(vexa_serv_getenv("VEXA_TEST_VAR", buf, 8), 7);
    EXPECT_STREQ(buf, "abcdefg");
    setenv("VEXA_TEST_VAR", "", 1);
    EXPECT_LT(vexa_serv_getenv("VEXA_TEST_VAR", buf, 8), 1);
    unsetenv("VEXA_TEST_VAR");
    EXPECT_LT(vexa_serv_getenv("VEXA_TEST_VAR", buf, 8), 1);
    EXPECT_LT(vexa_serv_getenv(nullptr, buf, 8), 1);
}

TEST(Environment, MemcpySChecksItsBounds) {
    char dst[8] = "xxxxxxx";
    EXPECT_EQ(vexa_serv_memcpy_s(dst, 8, "hello", 6), 0);
    EXPECT_STREQ(dst, "hello");
    EXPECT_NE(vexa_serv_memcpy_s(dst, 4, "hello", 6), 0);
    EXPECT_EQ(dst[0], 0);  // destination cleared on error
    EXPECT_NE(vexa_serv_memcpy_s(dst, 8, nullptr, 1), 0);
    EXPECT_NE(vexa_serv_memcpy_s(nullptr, 8, "a", 1), 0);
}

TEST(Messages, EveryNumberHasAText) {
    CaptureStderr();
    vexa_serv_print(1, 735, 2, "vdExp", 7);
    vexa_serv_print(1, 736, 1, "vdExp");
    for (int m = 737; m <= 741; ++m) vexa_serv_print(1, m, 1, "vdExp");
    for (int m = 742; m <= 753; ++m) vexa_serv_print(1, m, 2, 11, 0.25);
    vexa_serv_print(1, 999, 0);
    vexa_serv_print(1, 737, 3, "too", "many", "args");
    vexa_serv_print(2, 737, 1, "other channel");
    const std::string out = GetCapturedStderr();
    std::vector<std::string> lines;
    for (size_t s = 0, nl; (nl = out.find('\n', s)) != std::string::npos; s = nl + 1) lines.push_back(out.substr(s, nl - s));
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_NE(lines[0].find("vdExp: parameter 7"), std::string::npos);
    std::set<std::string> distinct;
    for (int i = 2; i <= 6; ++i) {
        EXPECT_NE(lines[i].find("vdExp"), std::string::npos);
        distinct.insert(lines[i]);
    }
    EXPECT_EQ(distinct.size(), 5u);
    for (int i = 7; i < 19; ++i) EXPECT_NE(lines[i].find("element 11"), std::string::npos) << lines[i];
    for (int i = 7; i < 19; ++i) EXPECT_NE(lines[i].find("0.25"), std::string::npos) << lines[i];
    EXPECT_NE(lines[19].find("not in the catalogue"), std::string::npos);
    EXPECT_NE(lines[20].find("not in the catalogue"), std::string::npos);
}

// ---- threading ------------------------------------------------------------------

struct Coverage {
    std::vector<std::atomic<int>> hits;
    std::mutex mu;
    std::set<int> threads;
    explicit Coverage(int n) : hits(n) {}
};

void count_hit(int i, int t, int count, void* ctx) {
    auto* c = static_cast<Coverage*>(ctx);
    c->hits[i].fetch_add(1);
    std::lock_guard<std::mutex> lock(c->mu);
    c->threads.insert(t);
    (void)count;
}

TEST(Threading, ParallelForCallsEveryIterationOnceWithinTheThreadLimit) {
    const ThreadingTable* tt = vexa_serv_threading_table();
    for (int max : {1, 2, 4}) {
        vexa_serv_set_max_threads(max);
        EXPECT_EQ(tt->max_threads(), max);
        for (int limit : {0, 1, 3}) {
            Coverage c(1000);
            tt->parallel_for(1000, limit, &c, count_hit);
            for (auto& h : c.hits) ASSERT_EQ(h.load(), 1);
            const int allowed = limit > 0 ? std::min(limit, max) : max;
            for (int t : c.threads) EXPECT_TRUE(t >= 0 && t < allowed) << t;
        }
        Coverage r(77);
        tt->parallel_run(77, &r, count_hit);
        for (auto& h : r.hits) ASSERT_EQ(h.load(), 1);
    }
    tt->parallel_for(0, 4, nullptr, count_hit);  // nothing to do
    vexa_serv_set_max_threads(0);
    EXPECT_EQ(tt->max_threads(), 1);
    vexa_serv_set_max_threads(2);
}

void nested(int i, int t, int count, void* ctx) {
    Coverage inner(10);
    vexa_serv_threading_table()->parallel_for(10, 0, &inner, count_hit);
    for (auto& h : inner.hits)
        if (h.load() != 1) static_cast<std::atomic<int>*>(ctx)->fetch_add(1);
}

TEST(Threading, NestedCallsRunInTheCallingThread) {
    vexa_serv_set_max_threads(3);
    std::atomic<int> faults{0};
    vexa_serv_threading_table()->parallel_for(12, 0, &faults, nested);
    EXPECT_EQ(faults.load(), 0);
}

TEST(Threading, RoutinesByName) {
    auto max = reinterpret_cast<VexaMaxThreadsFn>(vexa_serv_load_thread_fun("vexa_tqr_serv_threader_get_num_threads_limit"));
    auto pfor = reinterpret_cast<VexaParallelForFn>(vexa_serv_load_thread_fun("vexa_tqr_serv_threader_for"));
    ASSERT_TRUE(max && pfor);
    vexa_serv_set_max_threads(2);
    EXPECT_EQ(max(), 2);
    Coverage c(50);
    pfor(50, 0, &c, count_hit);
    for (auto& h : c.hits) EXPECT_EQ(h.load(), 1);
    EXPECT_EQ(vexa_serv_load_thread_fun("no_such_routine"), nullptr);
    EXPECT_EQ(vexa_serv_load_thread_fun(nullptr), nullptr);
}

// ---- BLAS and LAPACK ---------------------------------------------------------------

template <class T> struct Blas;
#define VEXA_BLAS_TRAITS(p, T)                                                   \
    template <> struct Blas<T> {                                                 \
        static constexpr auto syr = vexa_blas_x##p##syr;                         \
        static constexpr auto syrk = vexa_blas_x##p##syrk;                       \
        static constexpr auto gemm = vexa_blas_x##p##gemm;                       \
        static constexpr auto symm = vexa_blas_x##p##symm;                       \
        static constexpr auto gemv = vexa_blas_x##p##gemv;                       \
        static constexpr auto trmm = vexa_blas_x##p##trmm;                       \
        static constexpr auto tpmv = vexa_blas_x##p##tpmv;                       \
        static constexpr auto plain_gemm = vexa_blas_##p##gemm;                  \
        static constexpr auto plain_syrk = vexa_blas_##p##syrk;                  \
        static constexpr auto potrf = vexa_lapack_##p##potrf;                    \
        static constexpr auto potri = vexa_lapack_##p##potri;                    \
        static constexpr auto trtri = vexa_lapack_##p##trtri;                    \
        static constexpr auto syev = vexa_lapack_##p##syev;                      \
        static constexpr auto spevd = vexa_lapack_##p##spevd;                    \
    };
VEXA_BLAS_TWINS(VEXA_BLAS_TRAITS)

template <class T> class Adapters : public testing::Test {};
using Precisions = testing::Types<double, float>;
TYPED_TEST_SUITE(Adapters, Precisions);

TYPED_TEST(Adapters, EachRoutineComputesItsProduct) {
    using T = TypeParam;
    using B = Blas<T>;
    const int two = 2, one = 1;
    const T p1 = 1, z0 = 0;
    const T tol = sizeof(T) == 4 ? T(1e-5) : T(1e-12);
    // Column-major A = [[2, 1], [1, 3]] (symmetric positive definite).
    {
        T a[4] = {0, 0, 0, 0};
        const T x[2] = {1, 2};
        B::syr("U", &two, &p1, x, &one, a, &two);  // upper triangle of x x^T
        EXPECT_EQ(a[0], 1);
        EXPECT_EQ(a[2], 2);
        EXPECT_EQ(a[3], 4);
        EXPECT_EQ(a[1], 0);
    }
    const T A[4] = {2, 1, 1, 3};
    {
        T c[4] = {0, 0, 0, 0};
        B::syrk("U", "T", &two, &two, &p1, A, &two, &z0, c, &two);  // A^T A
        EXPECT_EQ(c[0], 5);
        EXPECT_EQ(c[2], 5);
        EXPECT_EQ(c[3], 10);
        T d[4] = {0, 0, 0, 0};
        B::plain_syrk("U", "N", &two, &two, &p1, A, &two, &z0, d, &two);
        EXPECT_EQ(d[3], 10);
    }
    {
        T c[4], d[4], e[4];
        B::gemm("N", "N", &two, &two, &two, &p1, A, &two, A, &two, &z0, c, &two);
        B::plain_gemm("N", "T", &two, &two, &two, &p1, A, &two, A, &two, &z0, d, &two);
        B::symm("L", "U", &two, &two, &p1, A, &two, A, &two, &z0, e, &two);
        for (T* m : {c, d, e}) {
            EXPECT_EQ(m[0], 5);
            EXPECT_EQ(m[1], 5);
            EXPECT_EQ(m[3], 10);
        }
        const T x[2] = {1, -1};
        T y[2] = {0, 0};
        B::gemv("N", &two, &two, &p1, A, &two, x, &one, &z0, y, &one);
        EXPECT_EQ(y[0], 1);
        EXPECT_EQ(y[1], -2);
    }
    {
        const T U[4] = {2, 0, 1, 3};  // upper triangular [[2, 1], [0, 3]]
        T b[4] = {1, 0, 0, 1};
        B::trmm("L", "U", "T", "N", &two, &two, &p1, U, &two, b, &two);  // U^T
        EXPECT_EQ(b[0], 2);
        EXPECT_EQ(b[1], 1);
        EXPECT_EQ(b[2], 0);
        EXPECT_EQ(b[3], 3);
        const T packed[3] = {2, 1, 3};  // upper packed by columns
        T x[2] = {1, 1};
        B::tpmv("U", "N", "N", &two, packed, x, &one);
        EXPECT_EQ(x[0], 3);
        EXPECT_EQ(x[1], 3);
    }
    {
        T a[4] = {4, 2, 2, 3};
        int info = -1;
        B::potrf("U", &two, a, &two, &info);
        EXPECT_EQ(info, 0);
        EXPECT_NEAR(a[0], 2, tol);
        EXPECT_NEAR(a[2], 1, tol);
        B::potri("U", &two, a, &two, &info);
        EXPECT_EQ(info, 0);
        // inverse of [[4, 2], [2, 3]] is [[3, -2], [-2, 4]] / 8
        EXPECT_NEAR(a[0], T(0.375), tol);
        EXPECT_NEAR(a[2], T(-0.25), tol);
        T not_pd[4] = {1, 2, 2, 1};
        B::potrf("U", &two, not_pd, &two, &info);
        EXPECT_GT(info, 0);
        T u[4] = {2, 0, 1, 4};
        B::trtri("U", "N", &two, u, &two, &info);
        EXPECT_EQ(info, 0);
        EXPECT_NEAR(u[0], T(0.5), tol);
        EXPECT_NEAR(u[2], T(-0.125), tol);
        EXPECT_NEAR(u[3], T(0.25), tol);
    }
    {
        T a[4] = {2, 1, 1, 2};
        T w[2], work[64];
        const int lwork = 64;
        int info = -1;
        B::syev("V", "U", &two, a, &two, w, work, &lwork, &info);
        EXPECT_EQ(info, 0);
        EXPECT_NEAR(w[0], 1, tol);
        EXPECT_NEAR(w[1], 3, tol);
        T ap[3] = {2, 1, 2}, z[4], w2[2], work2[64];
        int iwork[64];
        const int liwork = 64;
        B::spevd("V", "U", &two, ap, w2, z, &two, work2, &lwork, iwork, &liwork, &info);
        EXPECT_EQ(info, 0);
        EXPECT_NEAR(w2[0], 1, tol);
        EXPECT_NEAR(w2[1], 3, tol);
        EXPECT_NEAR(std::fabs(z[0]), std::sqrt(T(0.5)), tol);
    }
}

}  // namespace
