// The data-fitting task: creation checks in order and the bin index, editing
// and queries of every attribute with their statuses, 32- and 64-bit query
// results, and every allocation of creation failed in turn.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "vexa/data_fitting.h"
#include "vexa/service.h"

namespace {

TEST(DfTask, CreationChecksAndTheBinIndex) {
    std::vector<double> x(300), y(600);
    for (int i = 0; i < 300; ++i) x[std::size_t(i)] = i * i * 0.01;
    DfTask* t = nullptr;
    EXPECT_EQ(vexa_df_kernel_dNewTask1D(&t, 1, x.data(), 0, 1, y.data(), 0, 0), VEXA_DF_BAD_NX);
    EXPECT_EQ(vexa_df_kernel_dNewTask1D(&t, 300, nullptr, 0, 1, y.data(), 0, 0), VEXA_DF_NO_X);
    EXPECT_EQ(vexa_df_kernel_dNewTask1D(&t, 300, x.data(), 3, 1, y.data(), 0, 0), VEXA_DF_BAD_XHINT);
    EXPECT_EQ(vexa_df_kernel_dNewTask1D(&t, 300, x.data(), 0, 1, nullptr, 0, 0), VEXA_DF_NO_Y);
    EXPECT_EQ(vexa_df_kernel_dNewTask1D(&t, 300, x.data(), 0, 0, y.data(), 0, 0), VEXA_DF_BAD_NY);
    EXPECT_EQ(vexa_df_kernel_dNewTask1D(&t, 300, x.data(), 0, 1, y.data(), 8, 0), VEXA_DF_BAD_YHINT);
    ASSERT_EQ(vexa_df_kernel_dNewTask1D(&t, 300, x.data(), 0, 2, y.data(), 0, 0), 0);
    EXPECT_EQ(t->tag, 4u);
    EXPECT_EQ(t->precision, 1u);
    EXPECT_EQ(t->bin_count, 18);
    EXPECT_EQ(t->y_table[1], y.data() + 300);
    // Every bin's pair brackets the sites that fall in it.
    const double inv = t->inv_bin_width.d;
    for (double s = x[0]; s < x[299]; s += 0.137) {
        const int64_t b = int64_t((s - x[0]) * inv);
        const uint32_t lo = t->bins[2 * b], hi = t->bins[2 * b + 1];
        ASSERT_LE(x[lo], s);
        ASSERT_GT(x[hi], s);
    }
    EXPECT_EQ(vexa_df_kernel_DeleteTask(&t), 0);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(vexa_df_kernel_DeleteTask(&t), VEXA_DF_NO_TASK);
    for (auto [nx, hint, bins] : {std::tuple{2, 4, 0}, std::tuple{2, 0, 16}, std::tuple{100, 0, 16}, std::tuple{300, 1, 18}}) {
        ASSERT_EQ(vexa_df_kernel_dNewTask1D(&t, nx, x.data(), hint, 0, nullptr, 0, 0), 0);
        EXPECT_EQ(t->bin_count, bins) << nx;
        EXPECT_EQ(t->y_table, nullptr);
        vexa_df_kernel_DeleteTask(&t);
    }
    std::vector<float> xf(100000);
    for (std::size_t i = 0; i < xf.size(); ++i) xf[i] = float(i);
    ASSERT_EQ(vexa_df_kernel_sNewTask1D(&t, 100000, xf.data(), 0, 0, nullptr, 0, 0), 0);
    EXPECT_EQ(t->bin_count, 1024);
    EXPECT_EQ(t->precision, 0u);
    vexa_df_kernel_DeleteTask(&t);
    // Every allocation of creation: the record (left to the caller), the tables.
    for (long k = 1; k <= 3; ++k) {
        const long live = vexa_serv_test_live_blocks();
        vexa_serv_test_fail_allocation(k);
        EXPECT_EQ(vexa_df_kernel_dNewTask1D(&t, 300, x.data(), 0, 2, y.data(), 0, 0), VEXA_DF_MEMORY);
        vexa_serv_test_fail_allocation(0);
        if (t != nullptr) vexa_df_kernel_DeleteTask(&t);
        EXPECT_EQ(vexa_serv_test_live_blocks(), live);
    }
}

TEST(DfTask, EditAndQueryEveryAttribute) {
    std::vector<double> x = {0, 1, 2, 4}, y(8), c(24), bc = {1, 2}, ic = {0.5};
    DfTask* t = nullptr;
    ASSERT_EQ(vexa_df_kernel_dNewTask1D(&t, 4, x.data(), 1, 2, y.data(), 32, 1), 0);
    EXPECT_EQ(vexa_df_kernel_dEditPPSpline1D(nullptr, 4, 0, 0, nullptr, 0, nullptr, nullptr, 0), VEXA_DF_NO_TASK);
    EXPECT_EQ(vexa_df_kernel_dEditPPSpline1D(t, -1, 0, 0, nullptr, 0, nullptr, nullptr, 0), VEXA_DF_BAD_ORDER);
    EXPECT_EQ(vexa_df_kernel_dEditPPSpline1D(t, 4, -1, 0, nullptr, 0, nullptr, nullptr, 0), VEXA_DF_BAD_TYPE);
    EXPECT_EQ(vexa_df_kernel_dEditPPSpline1D(t, 4, 0, 12, nullptr, 0, nullptr, nullptr, 0), VEXA_DF_NO_BC);
    EXPECT_EQ(vexa_df_kernel_dEditPPSpline1D(t, 4, 0, 64, nullptr, 1, nullptr, nullptr, 0), VEXA_DF_NO_IC);
    EXPECT_EQ(vexa_df_kernel_dEditPPSpline1D(t, 4, 0, 64, nullptr, 0, ic.data(), nullptr, 0), VEXA_DF_BAD_IC_TYPE);
    ASSERT_EQ(vexa_df_kernel_dEditPPSpline1D(t, 4, 6, 12, bc.data(), 0, nullptr, c.data(), 0), 0);  // type 6 accepted here
    EXPECT_EQ(t->coeff_table[1], c.data() + 12);  // 4 coefficients by 3 pieces
    // Queries, 64-bit values for this task.
    int64_t v = 0;
    EXPECT_EQ(vexa_df_kernel_iQueryVal(t, VEXA_DF_NX, &v), 0);
    EXPECT_EQ(v, 4);
    EXPECT_EQ(vexa_df_kernel_iQueryVal(t, VEXA_DF_S_ORDER, &v), 0);
    EXPECT_EQ(v, 4);
    EXPECT_EQ(vexa_df_kernel_iQueryVal(t, 13, &v), VEXA_DF_BAD_ATTR);
    EXPECT_EQ(vexa_df_kernel_iQueryVal(t, VEXA_DF_NX, nullptr), VEXA_DF_NO_OUTPUT);
    double* p = nullptr;
    EXPECT_EQ(vexa_df_kernel_dQueryPtr(t, VEXA_DF_BC, &p), 0);
    EXPECT_EQ(p, bc.data());
    EXPECT_EQ(vexa_df_kernel_dQueryPtr(t, VEXA_DF_Y, &p), 0);
    EXPECT_EQ(p, y.data());
    EXPECT_EQ(vexa_df_kernel_dQueryIdxPtr(t, VEXA_DF_Y, 0, &p), VEXA_DF_BAD_YHINT);  // yhint 32
    EXPECT_EQ(vexa_df_kernel_dQueryIdxPtr(t, VEXA_DF_COEFF, 2, &p), VEXA_DF_BAD_INDEX);
    EXPECT_EQ(vexa_df_kernel_dQueryIdxPtr(t, VEXA_DF_COEFF, 1, &p), 0);
    EXPECT_EQ(p, c.data() + 12);
    EXPECT_EQ(vexa_df_kernel_dEditIdxPtr(t, VEXA_DF_Y, 0, y.data()), VEXA_DF_BAD_YHINT);
    EXPECT_EQ(vexa_df_kernel_dEditIdxPtr(t, VEXA_DF_COEFF, 1, nullptr), VEXA_DF_NO_COEFF);
    EXPECT_EQ(vexa_df_kernel_dEditIdxPtr(t, VEXA_DF_COEFF, 5, c.data()), VEXA_DF_BAD_INDEX);
    EXPECT_EQ(vexa_df_kernel_dEditIdxPtr(t, 3, 0, c.data()), VEXA_DF_BAD_ATTR);
    // Values: each refusal, then storage.
    const std::pair<int64_t, int64_t> bad[] = {{14, 1}, {15, 3}, {16, 0}, {17, 8}, {18, -1}, {19, 6}, {20, 3}, {21, -1}, {22, 1}, {23, 2}};
    const int codes[] = {-1004, -1006, -1007, -1009, -1010, -1011, -1012, -1014, -1017, -1036};
    for (int k = 0; k < 10; ++k) EXPECT_EQ(vexa_df_kernel_iEditVal(t, bad[k].first, bad[k].second), codes[k]) << k;
    EXPECT_EQ(vexa_df_kernel_iEditVal(t, 24, 0), VEXA_DF_BAD_ATTR);
    EXPECT_EQ(vexa_df_kernel_iEditVal(t, VEXA_DF_IC_TYPE, 8 | 4), 0);
    EXPECT_EQ(vexa_df_kernel_iEditVal(t, VEXA_DF_CALLER_FLAG, 1), 0);
    EXPECT_EQ(vexa_df_kernel_iQueryVal(t, VEXA_DF_CALLER_FLAG, &v), 0);
    EXPECT_EQ(v, 1);
    // A new partition keeps the old bins until xhint is set to 1.
    std::vector<double> x2 = {0, 10, 20, 40};
    const double inv = t->inv_bin_width.d;
    EXPECT_EQ(vexa_df_kernel_dEditPtr(t, VEXA_DF_X, x2.data()), 0);
    EXPECT_EQ(t->inv_bin_width.d, inv);
    EXPECT_EQ(vexa_df_kernel_iEditVal(t, VEXA_DF_XHINT, 1), 0);
    EXPECT_EQ(t->inv_bin_width.d, inv / 10);
    EXPECT_EQ(vexa_df_kernel_dEditPtr(t, 6, x2.data()), VEXA_DF_BAD_ATTR);
    EXPECT_EQ(vexa_df_kernel_dEditPtr(t, VEXA_DF_COEFF, nullptr), VEXA_DF_NO_COEFF);
    vexa_df_kernel_DeleteTask(&t);
    // 32-bit results, and a record of another dimension ignoring edits.
    ASSERT_EQ(vexa_df_kernel_dNewTask1D(&t, 4, x.data(), 0, 1, y.data(), 0, 0), 0);
    int32_t w[2] = {-1, -1};
    EXPECT_EQ(vexa_df_kernel_iQueryVal(t, VEXA_DF_NX, w), 0);
    EXPECT_EQ(w[0], 4);
    EXPECT_EQ(w[1], -1);
    t->dimension = 2;
    EXPECT_EQ(vexa_df_kernel_iEditVal(t, VEXA_DF_NX, 9), 0);
    EXPECT_EQ(t->nx, 4);
    t->dimension = 1;
    vexa_df_kernel_DeleteTask(&t);
}

}  // namespace
