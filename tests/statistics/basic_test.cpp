// Basic statistics against two-pass sums in long double: every estimate under
// the three methods, both observation storages, with and without weights,
// every matrix storage and a subset of variables; split calls and several
// threads against one call; zero weights; the checks in order; every
// allocation failed in turn.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "support/ss_api.h"
#include "support/sweep.h"
#include "vexa/service.h"
#include "vexa/statistics.h"
#include "vexa/vector_math.h"

namespace {

using vexa::test::Rng;
using LD = long double;

// The estimates in internal order, with the edit identifier of their output
// found through the task's field table.
struct Row {
    const char* name;
    uint64_t bit;
    int status;
    std::size_t offset;
};
const Row kRows[] = {
#define SS_BASIC(f, bit, st, one, fast, mean) {#f, bit, st, offsetof(SSTask, f)},
#include "vexa/ss_basic.def"
#undef SS_BASIC
};
constexpr int kCount = int(sizeof(kRows) / sizeof(kRows[0]));
int edit_id(std::size_t offset) {
#define SS_FIELD(name, kind, id, ns) \
    if (offsetof(SSTask, name) == offset) return id;
#include "vexa/ss_fields.def"
#undef SS_FIELD
    return 0;
}
enum { kMean, kRaw2, kRaw3, kRaw4, kC2, kC3, kC4, kCov, kCor, kKurt, kSkew, kVar, kSum, kRS2, kRS3, kRS4, kCS2, kCS3,
       kCS4, kCP };
const uint64_t kAll = [] {
    uint64_t all = 0;
    for (const Row& r : kRows) all |= r.bit;
    return all;
}();

template <class T> using Api = vexa::test::SSApi<T>;

// Two-pass weighted sums in long double.
struct Reference {
    int p;
    LD W = 0, W2 = 0;
    std::vector<LD> mean, raw[5], m[5], cp;
    template <class T>
    Reference(int p_, const std::vector<std::vector<T>>& v, const std::vector<T>& w, std::size_t n) : p(p_) {
        mean.assign(std::size_t(p), 0);
        for (auto* a : {&raw[2], &raw[3], &raw[4], &m[2], &m[3], &m[4]}) a->assign(std::size_t(p), 0);
        cp.assign(std::size_t(p * p), 0);
        for (std::size_t j = 0; j < n; ++j) {
            const LD wj = w.empty() ? 1 : w[j];
            W += wj, W2 += wj * wj;
            for (int i = 0; i < p; ++i) {
                const LD x = v[std::size_t(i)][j];
                mean[std::size_t(i)] += wj * x;
                for (int k = 2; k <= 4; ++k) raw[k][std::size_t(i)] += wj * std::pow(x, LD(k));
            }
        }
        for (int i = 0; i < p; ++i) {
            mean[std::size_t(i)] /= W;
            for (int k = 2; k <= 4; ++k) raw[k][std::size_t(i)] /= W;
        }
        for (std::size_t j = 0; j < n; ++j) {
            const LD wj = w.empty() ? 1 : w[j];
            for (int i = 0; i < p; ++i) {
                const LD di = v[std::size_t(i)][j] - mean[std::size_t(i)];
                for (int k = 2; k <= 4; ++k) m[k][std::size_t(i)] += wj * std::pow(di, LD(k));
                for (int l = 0; l < p; ++l) cp[std::size_t(i * p + l)] += wj * di * (v[std::size_t(l)][j] - mean[std::size_t(l)]);
            }
        }
    }
    LD c2(int i) const { return m[2][std::size_t(i)] * W / (W * W - W2); }
    LD value(int row, int i, int j = 0) const {
        const std::size_t u = std::size_t(i);
        const LD c3 = m[3][u] / W, c4 = m[4][u] / W;
        switch (row) {
            case kMean: return mean[u];
            case kRaw2: case kRaw3: case kRaw4: return raw[row - kRaw2 + 2][u];
            case kC2: return c2(i);
            case kC3: return c3;
            case kC4: return c4;
            case kKurt: return c4 / (c2(i) * c2(i)) - 3;
            case kSkew: return c3 / std::sqrt(c2(i) * c2(i) * c2(i));
            case kVar: return std::sqrt(c2(i)) / mean[u];
            case kSum: return W * mean[u];
            case kRS2: case kRS3: case kRS4: return W * raw[row - kRS2 + 2][u];
            case kCS2: case kCS3: case kCS4: return m[row - kCS2 + 2][u];
            case kCov: return cp[u * std::size_t(p) + std::size_t(j)] / (W - W2 / W);
            case kCor: return cp[u * std::size_t(p) + std::size_t(j)] /
                              std::sqrt(cp[u * std::size_t(p) + u] * cp[std::size_t(j) * std::size_t(p) + std::size_t(j)]);
            case kCP: return cp[u * std::size_t(p) + std::size_t(j)];
        }
        return 0;
    }
};

bool is_matrix(int row) { return row == kCov || row == kCor || row == kCP; }
std::size_t matrix_index(int storage, int p, int i, int j) {  // i <= j
    if (storage == VEXA_SS_MATRIX_LOWER_PACKED) return std::size_t(j * (j + 1) / 2 + i);
    if (storage == VEXA_SS_MATRIX_UPPER_PACKED) return std::size_t(i * p - i * (i - 1) / 2 + (j - i));
    return std::size_t(i * p + j);
}

constexpr double kUntouched = -12345.0;

// A task over p variables and n observations, with every output attached.
template <class T> struct Setup {
    int32_t p, n, storage, matrix_storage;
    std::vector<std::vector<T>> vars;
    std::vector<T> x, w;
    std::vector<int32_t> sel;
    std::vector<T> outputs[kCount];
    T acc[2] = {0, 0};
    SSTask* task = nullptr;
    Setup(int32_t p_, int32_t n_, int32_t storage_, bool weighted, uint64_t seed, int32_t ms = VEXA_SS_MATRIX_FULL)
        : p(p_), n(n_), storage(storage_), matrix_storage(ms) {
        Rng g(seed);
        vars.assign(std::size_t(p), std::vector<T>(std::size_t(n)));
        for (int i = 0; i < p; ++i)
            for (auto& v : vars[std::size_t(i)]) v = T(3 + i + (g.uniform() * 2 - 1) * (1 + i));
        if (weighted) {
            w.resize(std::size_t(n));
            for (auto& v : w) v = T(0.25 + g.uniform() * 2);
        }
        x.resize(std::size_t(p) * std::size_t(n));
        for (int i = 0; i < p; ++i)
            for (int j = 0; j < n; ++j) x[at(i, j)] = vars[std::size_t(i)][std::size_t(j)];
        EXPECT_EQ(Api<T>::new_task(&task, &p, &n, &storage, x.data(), weighted ? w.data() : nullptr, nullptr, 0), 0);
        EXPECT_EQ(Api<T>::edit(task, 23, acc), 0);
        for (int r = 0; r < kCount; ++r) {
            outputs[r].assign(is_matrix(r) ? std::size_t(p * p) : std::size_t(p), T(kUntouched));
            EXPECT_EQ(Api<T>::edit(task, edit_id(kRows[r].offset), outputs[r].data()), 0) << kRows[r].name;
        }
        for (int id : {20, 22, 75}) EXPECT_EQ(__tqriSSEditTask(task, id, &matrix_storage), 0);
    }
    ~Setup() { __tqrSSDeleteTask(&task); }
    Setup(const Setup&) = delete;
    std::size_t at(int i, int j) const {
        return storage == VEXA_SS_ROWS ? std::size_t(i) * std::size_t(n) + std::size_t(j)
                                       : std::size_t(j) * std::size_t(p) + std::size_t(i);
    }
    void select(std::vector<int32_t> s) {
        sel = std::move(s);
        ASSERT_EQ(__tqriSSEditTask(task, 5, sel.data()), 0);
    }
    bool selected(int i) const { return sel.empty() || sel[std::size_t(i)] != 0; }
    // The caller's mean for method 0x100.
    void give_mean(const Reference& r) {
        for (int i = 0; i < p; ++i) outputs[kMean][std::size_t(i)] = T(r.mean[std::size_t(i)]);
    }
    T got(int row, int i, int j = 0) const {
        return is_matrix(row) ? outputs[row][matrix_index(matrix_storage, p, i, j)] : outputs[row][std::size_t(i)];
    }
};

// Relative tolerance per precision, against the size the value's rounding
// errors scale with: its natural size (a central moment of order k against
// the standard deviation to the k) and, for the raw-sum method, the raw
// moments its formulas cancel.
template <class T> LD tolerance(uint64_t method) {
    return std::is_same_v<T, double> ? LD(method == 0x1 ? 1e-9 : 1e-11) : LD(1e-4);
}
LD error_scale(const Reference& r, int row, int i, int j, uint64_t method) {
    const std::size_t u = std::size_t(i), v = std::size_t(j);
    const LD c2 = r.c2(i), sd = std::sqrt(c2), W = r.W;
    const bool fast = method == 0x1;
    auto raw = [&](int k) { return std::fabs(r.raw[k][u]); };
    auto pair = [&](const std::vector<LD>& m) { return std::sqrt(m[u * std::size_t(r.p) + u] * m[v * std::size_t(r.p) + v]); };
    switch (row) {
        case kMean: return std::fabs(r.mean[u]) + sd;
        case kRaw2: case kRaw3: case kRaw4: return raw(row - kRaw2 + 2);
        case kC2: case kC3: case kC4: {
            const int k = row - kC2 + 2;
            return fast ? raw(k) : std::pow(sd, LD(k));
        }
        case kCS2: case kCS3: case kCS4: {
            const int k = row - kCS2 + 2;
            return W * (fast ? raw(k) : std::pow(sd, LD(k)));
        }
        case kKurt: return fast ? raw(4) / (c2 * c2) : 1;
        case kSkew: return fast ? raw(3) / (c2 * sd) : 1;
        case kVar: return std::fabs(r.value(kVar, i)) * (fast ? raw(2) / c2 : 1);
        case kSum: return W * (std::fabs(r.mean[u]) + sd);
        case kRS2: case kRS3: case kRS4: return W * raw(row - kRS2 + 2);
        case kCov: return fast ? std::sqrt(raw(2) * std::fabs(r.raw[2][v])) : pair(r.cp) / (W - r.W2 / W);
        case kCor: return fast ? std::sqrt(raw(2) * std::fabs(r.raw[2][v])) / std::sqrt(c2 * r.c2(j)) : 1;
        case kCP: return fast ? W * std::sqrt(raw(2) * std::fabs(r.raw[2][v])) : pair(r.cp);
    }
    return 1;
}

template <class T> void expect_all(const Setup<T>& s, const Reference& r, uint64_t est, uint64_t method, const std::string& what) {
    const LD tol = tolerance<T>(method);
    for (int row = 0; row < kCount; ++row) {
        if (!(est & kRows[row].bit) || (row == kMean && method == 0x100)) continue;
        for (int i = 0; i < s.p; ++i) {
            for (int j = is_matrix(row) ? i : 0; j < (is_matrix(row) ? s.p : 1); ++j) {
                const T g = s.got(row, i, j);
                if (!s.selected(i) || (is_matrix(row) && !s.selected(j))) {
                    ASSERT_EQ(g, T(kUntouched)) << what << kRows[row].name << " " << i << "," << j;
                    continue;
                }
                const LD want = r.value(row, i, j);
                const LD scale = error_scale(r, row, i, j, method);
                ASSERT_LE(std::fabs(LD(g) - want), tol * scale)
                    << what << kRows[row].name << " " << i << "," << j << " got " << double(g) << " want " << double(want);
                if (is_matrix(row) && s.matrix_storage == VEXA_SS_MATRIX_FULL) {
                    ASSERT_EQ(s.outputs[row][std::size_t(j * s.p + i)], g);
                }
            }
        }
    }
}

template <class T> class Basic : public testing::Test {};
using Types = testing::Types<double, float>;
TYPED_TEST_SUITE(Basic, Types);

TYPED_TEST(Basic, EveryEstimateMethodStorageAndWeighting) {
    using T = TypeParam;
    const int32_t n = 517;  // odd, past every chunk and block boundary, not a lane multiple
    for (uint64_t method : {0x1ull, 0x2ull, 0x100ull}) {
        for (int32_t storage : {VEXA_SS_ROWS, VEXA_SS_COLUMNS}) {
            for (bool weighted : {false, true}) {
                for (int32_t ms : {VEXA_SS_MATRIX_FULL, VEXA_SS_MATRIX_LOWER_PACKED, VEXA_SS_MATRIX_UPPER_PACKED}) {
                    for (int32_t p : {1, 11}) {
                        Setup<T> s(p, n, storage, weighted, uint64_t(p * 7 + storage + ms), ms);
                        const Reference r(p, s.vars, s.w, std::size_t(n));
                        if (p > 1 && ms == VEXA_SS_MATRIX_LOWER_PACKED) {
                            std::vector<int32_t> sel(std::size_t(p), 1);
                            sel[0] = sel[4] = sel[10] = 0;
                            s.select(sel);
                        }
                        if (method == 0x100) s.give_mean(r);
                        const std::string what = "method " + std::to_string(method) + " storage " +
                                                 std::to_string(storage) + " w " + std::to_string(weighted) + " ms " +
                                                 std::to_string(ms) + " p " + std::to_string(p) + ": ";
                        ASSERT_EQ(Api<T>::basic(s.task, int64_t(kAll), int64_t(method), nullptr), 0) << what;
                        expect_all(s, r, kAll, method, what);
                        EXPECT_NEAR(s.acc[0], T(r.W), T(r.W) * tolerance<T>(0x2));
                    }
                }
            }
        }
    }
}

TYPED_TEST(Basic, SplitCallsAndThreadsAgreeWithOneCall) {
    using T = TypeParam;
    const int32_t n = 4000, p = 6;
    for (uint64_t method : {0x1ull, 0x2ull, 0x100ull}) {
        for (int32_t storage : {VEXA_SS_ROWS, VEXA_SS_COLUMNS}) {
            for (bool weighted : {false, true}) {
                Setup<T> s(p, n, storage, weighted, 99 + method, VEXA_SS_MATRIX_FULL);
                const Reference r(p, s.vars, s.w, std::size_t(n));
                if (method == 0x100) s.give_mean(r);
                const std::string what = "method " + std::to_string(method) + " storage " + std::to_string(storage) +
                                         " w " + std::to_string(weighted) + ": ";
                // Three calls over a split of the observations (columns: by
                // moving the data pointer; rows: by fresh row-major blocks).
                const int32_t cuts[4] = {0, 5, 1700, n};
                std::vector<std::vector<T>> parts(3);
                for (int c = 0; c < 3; ++c) {
                    int32_t m = cuts[c + 1] - cuts[c];
                    std::vector<T>& part = parts[std::size_t(c)];
                    part.resize(std::size_t(m * p));
                    for (int i = 0; i < p; ++i)
                        for (int j = 0; j < m; ++j)
                            part[storage == VEXA_SS_ROWS ? std::size_t(i * m + j) : std::size_t(j * p + i)] =
                                s.vars[std::size_t(i)][std::size_t(cuts[c] + j)];
                    ASSERT_EQ(__tqriSSEditTask(s.task, 2, &m), 0);
                    ASSERT_EQ(Api<T>::edit(s.task, 3, part.data()), 0);
                    if (weighted) {
                        ASSERT_EQ(Api<T>::edit(s.task, 6, s.w.data() + cuts[c]), 0);
                    }
                    ASSERT_EQ(Api<T>::basic(s.task, int64_t(kAll), int64_t(method), nullptr), 0);
                }
                expect_all(s, r, kAll, method, what + "split: ");
                // All at once on several threads, from fresh accumulators.
                for (int threads : {2, 4}) {
                    vexa_serv_set_max_threads(threads);
                    Setup<T> t(p, n, storage, weighted, 99 + method, VEXA_SS_MATRIX_FULL);
                    if (method == 0x100) t.give_mean(r);
                    ASSERT_EQ(Api<T>::basic(t.task, int64_t(kAll), int64_t(method), vexa_serv_threading_table()), 0);
                    expect_all(t, r, kAll, method, what + "threads " + std::to_string(threads) + ": ");
                }
                vexa_serv_set_max_threads(2);
            }
        }
    }
}

TYPED_TEST(Basic, ZeroWeightsAndTheDegenerateDivisor) {
    using T = TypeParam;
    const uint64_t est = 0x1 | 0x10 | 0x1000;
    for (uint64_t method : {0x1ull, 0x2ull}) {
        // A leading run of zero weights is passed over.
        Setup<T> s(3, 40, VEXA_SS_COLUMNS, true, 5);
        for (int j = 0; j < 7; ++j) s.w[std::size_t(j)] = 0;
        const Reference r(3, s.vars, s.w, 40);
        ASSERT_EQ(Api<T>::basic(s.task, int64_t(est), int64_t(method), nullptr), 0);
        expect_all(s, r, est, method, "leading zeros: ");
        // Only zero weights: nothing changes, accumulators included.
        const auto before = s.outputs;
        const T acc0 = s.acc[0];
        for (auto& v : s.w) v = 0;
        ASSERT_EQ(Api<T>::basic(s.task, int64_t(est), int64_t(method), nullptr), 0);
        for (int row = 0; row < kCount; ++row) EXPECT_EQ(s.outputs[row], before[row]);
        EXPECT_EQ(s.acc[0], acc0);
    }
    // One observation of nonzero weight: W - W2/W is 0, variance infinite or NaN, no status.
    Setup<T> one(2, 3, VEXA_SS_ROWS, true, 6);
    one.w = {0, 2, 0};
    ASSERT_EQ(Api<T>::edit(one.task, 6, one.w.data()), 0);
    ASSERT_EQ(Api<T>::basic(one.task, int64_t(est), 0x2, nullptr), 0);
    EXPECT_EQ(one.outputs[kMean][0], one.vars[0][1]);
    EXPECT_FALSE(std::isfinite(one.outputs[kC2][0]));
}

TYPED_TEST(Basic, ChecksInOrder) {
    using T = TypeParam;
    Setup<T> s(3, 20, VEXA_SS_ROWS, true, 8);
    EXPECT_EQ(Api<T>::basic(nullptr, 1, 2, nullptr), VEXA_SS_NO_TASK);
    // Each estimate's missing output, in internal order.
    for (int row = 0; row < kCount; ++row) {
        void** field = reinterpret_cast<void**>(reinterpret_cast<char*>(s.task) + kRows[row].offset);
        void* kept = *field;
        *field = nullptr;
        EXPECT_EQ(Api<T>::basic(s.task, int64_t(kAll), 2, nullptr), kRows[row].status) << kRows[row].name;
        *field = kept;
    }
    int32_t bad = 3;
    __tqriSSEditTask(s.task, 22, &bad);
    EXPECT_EQ(Api<T>::basic(s.task, 0x2000, 2, nullptr), VEXA_SS_BAD_STORAGE);
    EXPECT_EQ(Api<T>::basic(s.task, 0x1000, 2, nullptr), 0);
    s.task->cp_storage = nullptr;
    EXPECT_EQ(Api<T>::basic(s.task, 1ull << 32, 2, nullptr), VEXA_SS_NO_STORAGE);
    for (int64_t m : {0x0ll, 0x3ll, 0x101ll, 0x202ll | 0x1ll, 0x8ll})
        EXPECT_EQ(Api<T>::basic(s.task, 1, m, nullptr), VEXA_SS_BAD_METHOD) << m;
    for (int64_t m : {0x200ll, 0x400ll, 0x401ll, 0x202ll}) EXPECT_EQ(Api<T>::basic(s.task, 1, m, nullptr), 0) << m;
    s.task->acc_weights = nullptr;
    EXPECT_EQ(Api<T>::basic(s.task, 1, 2, nullptr), -4020);
    s.task->weights = nullptr;
    EXPECT_EQ(Api<T>::basic(s.task, 1, 2, nullptr), 0);  // no weights: a fresh sum for the call
    s.task->mean = nullptr;
    EXPECT_EQ(Api<T>::basic(s.task, 0x10, 0x100, nullptr), -4006);
}

TYPED_TEST(Basic, EveryAllocationFailedInTurn) {
    using T = TypeParam;
    const ThreadingTable* tt = vexa_serv_threading_table();
    vexa_serv_set_max_threads(2);
    for (uint64_t method : {0x1ull, 0x2ull, 0x100ull}) {
        Setup<T> s(4, 3000, VEXA_SS_COLUMNS, true, 10);
        const long base = vexa_serv_test_live_blocks();
        const long before = vexa_serv_test_allocation_count();
        ASSERT_EQ(Api<T>::basic(s.task, int64_t(kAll), int64_t(method), tt), 0);
        const long allocations = vexa_serv_test_allocation_count() - before;
        EXPECT_GE(allocations, 2);  // the task's buffer, then the work block
        for (long k = 1; k <= allocations; ++k) {
            __tqrSSDeleteTask(&s.task);
            const T zero[2] = {0, 0};
            ASSERT_EQ(Api<T>::new_task(&s.task, &s.p, &s.n, &s.storage, s.x.data(), s.w.data(), nullptr, 0), 0);
            for (int r = 0; r < kCount; ++r) Api<T>::edit(s.task, edit_id(kRows[r].offset), s.outputs[r].data());
            for (int id : {20, 22, 75}) __tqriSSEditTask(s.task, id, &s.matrix_storage);
            std::copy(zero, zero + 2, s.acc);
            Api<T>::edit(s.task, 23, s.acc);
            const long live = vexa_serv_test_live_blocks();
            vexa_serv_test_fail_allocation(k);
            EXPECT_EQ(Api<T>::basic(s.task, int64_t(kAll), int64_t(method), tt), VEXA_SS_MEMORY) << k;
            vexa_serv_test_fail_allocation(0);
            EXPECT_LE(vexa_serv_test_live_blocks(), live + 1);  // at most the task's own buffer
            EXPECT_EQ(s.acc[0], T(0));
        }
        __tqrSSDeleteTask(&s.task);
        EXPECT_EQ(vexa_serv_test_live_blocks(), base - 1);  // the task record itself is gone too
    }
}

}  // namespace

namespace {

int count_calls(ErrorContext*) { return 0; }

// The correlation takes its inverse square roots from the vector-math kernels
// under a mode of its own: the caller's mode (accuracy, error mode, flushed
// denormals) changes nothing in the result, and the caller's mode word and
// callback come back as they were.
TYPED_TEST(Basic, CorrelationIgnoresAndRestoresTheCallersVectorMathMode) {
    using T = TypeParam;
    const uint64_t est = kRows[kCor].bit | kRows[kC2].bit;
    Setup<T> plain(5, 301, VEXA_SS_ROWS, false, 77, VEXA_SS_MATRIX_FULL);
    ASSERT_EQ(Api<T>::basic(plain.task, int64_t(est), 0x2, nullptr), 0);

    Setup<T> moded(5, 301, VEXA_SS_ROWS, false, 77, VEXA_SS_MATRIX_FULL);
    const unsigned caller = VEXA_VM_EP | VEXA_VM_ERRMODE_STDERR | VEXA_VM_FLUSH_DENORMALS;
    const unsigned saved = vexa_arx_kernel_SetMode(caller);
    const VexaErrorCallBack saved_cb = vexa_arx_kernel_SetErrorCallBack(count_calls);
    const unsigned with_cb = vexa_arx_kernel_GetMode();
    ASSERT_EQ(Api<T>::basic(moded.task, int64_t(est), 0x2, nullptr), 0);
    EXPECT_EQ(vexa_arx_kernel_GetMode(), with_cb);
    EXPECT_EQ(vexa_arx_kernel_GetErrorCallBack(), &count_calls);
    vexa_arx_kernel_SetErrorCallBack(saved_cb);
    vexa_arx_kernel_SetMode(saved);

    for (std::size_t k = 0; k < plain.outputs[kCor].size(); ++k)
        ASSERT_EQ(plain.outputs[kCor][k], moded.outputs[kCor][k]) << k;
}

}  // namespace
