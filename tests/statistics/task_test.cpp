// The statistics task: creation checks in order (32- and 64-bit caller
// integers), allocation failure, editing by identifier and by group, and
// deletion with owned blocks and the clean-up routine.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <set>

#include "vexa/service.h"
#include "vexa/statistics.h"

namespace {

struct Field {
    const char* name;
    int id;
    bool integer;
    int null_status;
    std::size_t offset;
};
#define SS_FIELD_INT_INT true
#define SS_FIELD_INT_INTS true
#define SS_FIELD_INT_FLT false
#define SS_FIELD_INT_U32 false
#define SS_FIELD_INT_PTR false
#define SS_FIELD_INT_COUNT false
#define SS_FIELD_INT_ROUTINE false
#define SS_FIELD_INT_PAD false
#define SS_FIELD(name, kind, id, ns) {#name, id, SS_FIELD_INT_##kind, ns, offsetof(SSTask, name)},
const Field kFields[] = {
#include "vexa/ss_fields.def"
};
#undef SS_FIELD

TEST(SSTaskRecord, NinetyFourFieldsAndEveryIdentifierOnce) {
    EXPECT_EQ(std::size(kFields), 94u);
    std::set<int> ids;
    for (const Field& f : kFields) {
        if (f.id != 0) {
            EXPECT_TRUE(ids.insert(f.id).second) << f.name;
        }
    }
    EXPECT_EQ(ids.size(), 79u);
    EXPECT_EQ(*ids.begin(), 1);
    EXPECT_EQ(*ids.rbegin(), 79);
}

TEST(SSTaskNew, ChecksInOrderAndFillsTheRecord) {
    double x[6] = {1, 2, 3, 4, 5, 6}, w[3] = {1, 1, 1};
    int32_t dim = 2, n = 3, rows = VEXA_SS_ROWS, bad = 7, zero = 0;
    SSTask* t = reinterpret_cast<SSTask*>(1);
    EXPECT_EQ(__tqrdSSNewTask(&t, nullptr, &n, &rows, x, w, nullptr, 0), VEXA_SS_BAD_DIM);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(__tqrdSSNewTask(&t, &zero, &n, &rows, x, w, nullptr, 0), VEXA_SS_BAD_DIM);
    EXPECT_EQ(__tqrdSSNewTask(&t, &dim, &n, nullptr, x, w, nullptr, 0), VEXA_SS_NO_STORAGE);
    EXPECT_EQ(__tqrdSSNewTask(&t, &dim, &n, &bad, x, w, nullptr, 0), VEXA_SS_BAD_STORAGE);
    EXPECT_EQ(__tqrdSSNewTask(&t, &dim, nullptr, &rows, x, w, nullptr, 0), VEXA_SS_BAD_NOBS);
    EXPECT_EQ(__tqrdSSNewTask(&t, &dim, &zero, &rows, x, w, nullptr, 0), VEXA_SS_BAD_NOBS);
    EXPECT_EQ(__tqrdSSNewTask(nullptr, &dim, &n, &rows, x, w, nullptr, 0), VEXA_SS_NO_TASK);
    // Without observations the count and the storage are not checked.
    ASSERT_EQ(__tqrsSSNewTask(&t, &dim, nullptr, nullptr, nullptr, nullptr, nullptr, 0), 0);
    EXPECT_EQ(t->precision, 0u);
    EXPECT_EQ(t->tag & 0xFFu, 2u);
    EXPECT_EQ(__tqrSSDeleteTask(&t), 0);

    ASSERT_EQ(__tqrdSSNewTask(&t, &dim, &n, &rows, x, w, &dim, 0), 0);
    EXPECT_EQ(t->precision, 1u);
    EXPECT_EQ(t->int64_flag, 0u);
    EXPECT_EQ(t->x, x);
    EXPECT_EQ(t->weights, w);
    EXPECT_EQ(t->dim, &dim);
    EXPECT_EQ(t->indices, &dim);
    EXPECT_EQ(t->mean, nullptr);
    EXPECT_EQ(t->basic_buffer, nullptr);
    EXPECT_EQ(__tqrSSDeleteTask(&t), 0);
    EXPECT_EQ(t, nullptr);
}

TEST(SSTaskNew, SixtyFourBitIntegersReadBothWords) {
    double x[2] = {1, 2};
    int64_t dim = 2, n = 1, rows = VEXA_SS_ROWS;
    int64_t negative_high = int64_t(0x8000000000000002ull);  // low word 2, high word negative
    int64_t big_low_zero = int64_t(1) << 32;                 // low word 0, value 2^32
    SSTask* t = nullptr;
    EXPECT_EQ(__tqrdSSNewTask(&t, &negative_high, &n, &rows, x, nullptr, nullptr, 1), VEXA_SS_BAD_DIM);
    ASSERT_EQ(__tqrdSSNewTask(&t, &big_low_zero, &n, &rows, x, nullptr, nullptr, 1), 0);
    EXPECT_EQ(t->int64_flag, 1u);
    __tqrSSDeleteTask(&t);
    ASSERT_EQ(__tqrdSSNewTask(&t, &dim, &n, &rows, x, nullptr, nullptr, 1), 0);
    __tqrSSDeleteTask(&t);
}

TEST(SSTaskNew, FailedAllocationLeavesNothing) {
    int32_t dim = 1;
    const long live = vexa_serv_test_live_blocks();
    vexa_serv_test_fail_allocation(1);
    SSTask* t = reinterpret_cast<SSTask*>(1);
    EXPECT_EQ(__tqrdSSNewTask(&t, &dim, nullptr, nullptr, nullptr, nullptr, nullptr, 0), VEXA_SS_MEMORY);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(vexa_serv_test_live_blocks(), live);
}

class SSTaskEdit : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(__tqrdSSNewTask(&task, &dim, nullptr, nullptr, nullptr, nullptr, nullptr, 0), 0); }
    void TearDown() override { __tqrSSDeleteTask(&task); }
    const void* field(const Field& f) const {
        const void* v;
        std::memcpy(&v, reinterpret_cast<const char*>(task) + f.offset, sizeof v);
        return v;
    }
    int32_t dim = 3;
    SSTask* task = nullptr;
};

TEST_F(SSTaskEdit, EveryIdentifierReachesItsFieldThroughItsEntry) {
    double arr[4] = {};
    int32_t ival = 5;
    for (const Field& f : kFields) {
        if (f.id == 0) continue;
        SCOPED_TRACE(f.name);
        const void* before = field(f);
        // The wrong entry refuses the identifier and changes nothing.
        const int wrong = f.integer ? __tqrdSSEditTask(task, f.id, arr) : __tqriSSEditTask(task, f.id, &ival);
        EXPECT_EQ(wrong, VEXA_SS_BAD_ID);
        // A null value gives the field's status and leaves it.
        const int null = f.integer ? __tqriSSEditTask(task, f.id, nullptr) : __tqrsSSEditTask(task, f.id, nullptr);
        EXPECT_EQ(null, f.null_status);
        EXPECT_EQ(field(f), before);
        const void* value = f.integer ? static_cast<const void*>(&ival) : static_cast<const void*>(arr);
        const int ok = f.integer ? __tqriSSEditTask(task, f.id, value) : __tqrdSSEditTask(task, f.id, arr);
        EXPECT_EQ(ok, 0);
        EXPECT_EQ(field(f), value);
    }
}

TEST_F(SSTaskEdit, IdentifiersOutsideTheEntriesRange) {
    double a[1] = {};
    for (int64_t id : {int64_t(0), int64_t(2), int64_t(79), int64_t(-1), int64_t(1) << 40})
        EXPECT_EQ(__tqrdSSEditTask(task, id, a), VEXA_SS_BAD_ID) << id;
    EXPECT_EQ(__tqrdSSEditTask(task, 78, nullptr), -4084);
    EXPECT_EQ(__tqrdSSEditTask(task, 67, nullptr), -4006);
    for (int64_t id : {int64_t(0), int64_t(3), int64_t(80)}) EXPECT_EQ(__tqriSSEditTask(task, id, &dim), VEXA_SS_BAD_ID);
    EXPECT_EQ(__tqrdSSEditTask(nullptr, 7, a), VEXA_SS_NO_TASK);
    EXPECT_EQ(__tqriSSEditTask(nullptr, 1, &dim), VEXA_SS_NO_TASK);
}

TEST_F(SSTaskEdit, GroupedEditorsChangeOnlyTheirNonNullArguments) {
    double m[3] = {}, r2[3] = {}, c[9] = {};
    int32_t full = VEXA_SS_MATRIX_FULL;
    ASSERT_EQ(__tqrdSSEditMoments(task, m, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(__tqrdSSEditMoments(task, nullptr, r2, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(task->mean, m);
    EXPECT_EQ(task->raw2, r2);
    EXPECT_EQ(task->raw3, nullptr);
    ASSERT_EQ(__tqrdSSEditCovCor(task, nullptr, c, &full, nullptr, nullptr), 0);
    EXPECT_EQ(task->mean, m);
    EXPECT_EQ(task->cov, c);
    EXPECT_EQ(task->cov_storage, &full);
    float fs[3] = {};
    ASSERT_EQ(__tqrsSSEditMissingVals(task, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                      &dim, fs),
              0);
    EXPECT_EQ(task->mi_estimates_n, &dim);
    EXPECT_EQ(task->mi_estimates, fs);
    EXPECT_EQ(__tqrdSSEditCP(nullptr, m, m, c, &full), VEXA_SS_NO_TASK);
}

int g_cleanups = 0;
void count_cleanup(SSTask*) { ++g_cleanups; }

TEST(SSTaskDelete, ReleasesOwnedBlocksAndRunsTheCleanup) {
    int32_t dim = 2;
    SSTask* t = nullptr;
    EXPECT_EQ(__tqrSSDeleteTask(nullptr), VEXA_SS_NO_TASK);
    EXPECT_EQ(__tqrSSDeleteTask(&t), VEXA_SS_NO_TASK);
    const long live = vexa_serv_test_live_blocks();
    ASSERT_EQ(__tqrdSSNewTask(&t, &dim, nullptr, nullptr, nullptr, nullptr, nullptr, 0), 0);
    g_cleanups = 0;
    EXPECT_EQ(__tqrSSDeleteTask(&t), 0);  // no clean-up registered: none runs
    EXPECT_EQ(g_cleanups, 0);
    ASSERT_EQ(__tqrdSSNewTask(&t, &dim, nullptr, nullptr, nullptr, nullptr, nullptr, 0), 0);
    t->basic_buffer = vexa_serv_allocate(64, 128);
    t->cleanup = count_cleanup;
    t->cleanup_count = 1;
    EXPECT_EQ(__tqrSSDeleteTask(&t), 0);
    EXPECT_EQ(g_cleanups, 1);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(vexa_serv_test_live_blocks(), live);
}

}  // namespace
