// The status catalogues: every code appears once in its subsystem's list and
// lies in the range that subsystem reports in; the statistics fields' missing
// statuses lie in the statistics range.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "vexa/data_fitting.h"
#include "vexa/primitives.h"
#include "vexa/random.h"
#include "vexa/statistics.h"
#include "vexa/vector_math.h"

namespace {

struct Row {
    const char* name;
    int code;
};

void expect_distinct_in(const std::vector<Row>& rows, bool (*in_range)(int)) {
    std::set<int> seen;
    for (const Row& r : rows) {
        EXPECT_TRUE(seen.insert(r.code).second) << r.name << " repeats code " << r.code;
        EXPECT_TRUE(r.code == 0 || in_range(r.code)) << r.name << " = " << r.code;
    }
}

TEST(Statuses, EachCatalogueHasDistinctCodesInItsRange) {
#define ROW(name, code, meaning) {#name, code},
    expect_distinct_in({
#define VM_STATUS ROW
#include "vexa/vm_status.def"
#undef VM_STATUS
                       },
                       [](int c) { return (c >= 1 && c <= 4) || c == -1 || c == -2; });
    expect_distinct_in({
#define RNG_STATUS ROW
#include "vexa/rng_status.def"
#undef RNG_STATUS
                       },
                       [](int c) { return (c <= -2 && c >= -5) || (c <= -1000 && c >= -1200) || c == -3000 || c == -3001; });
    expect_distinct_in({
#define SS_STATUS ROW
#include "vexa/ss_status.def"
#undef SS_STATUS
                       },
                       [](int c) { return c == -3 || (c <= -4000 && c >= -4085) || (c <= -5010 && c >= -5030); });
    expect_distinct_in({
#define DF_STATUS ROW
#include "vexa/df_status.def"
#undef DF_STATUS
                       },
                       [](int c) { return (c <= -1000 && c >= -1037) || c == -1500; });
    expect_distinct_in({
#define PR_STATUS ROW
#include "vexa/pr_status.def"
#undef PR_STATUS
                       },
                       [](int c) { return c == -6 || c == -8; });
#undef ROW
}

TEST(Statuses, FieldMissingStatusesAreStatisticsCodes) {
#define SS_FIELD(name, kind, id, null_status) \
    EXPECT_TRUE(null_status == 0 || (null_status <= -4001 && null_status >= -4085)) << #name;
#include "vexa/ss_fields.def"
#undef SS_FIELD
}

}  // namespace
