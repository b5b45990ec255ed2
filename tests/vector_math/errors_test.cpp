// The error routines driven directly: status word, record contents and layout
// as a callback sees them, the callback contract, errno, printed messages, and
// the write-back of results, for every type letter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "support/vm_test.h"
#include "vexa/vector_math.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;
using vexa::test::in_fresh_thread;

// Calls the error routine of type letter t on element idx of small arrays whose
// element k holds (k + 0.5, -(k + 0.5)) (real types: the real part only), and
// returns what ends up in r1[idx], r2[idx] (real parts).
struct Call {
    double r1, r2, r1_im;
};
Call raise(char t, int status, int idx, bool two_results, const char* name = "vxTest") {
    constexpr int n = 8;
    double re[n], out_re[n] = {}, out2_re[n] = {};
    for (int k = 0; k < n; ++k) re[k] = k + 0.5, out_re[k] = 100 + k, out2_re[k] = 200 + k;
    Call c{};
    switch (t) {
        case 's': {
            float a[n], r1[n], r2[n];
            for (int k = 0; k < n; ++k) a[k] = float(re[k]), r1[k] = float(out_re[k]), r2[k] = float(out2_re[k]);
            vexa_arx_kernel_sError(status, idx, a, a, r1, two_results ? r2 : r1, name);
            c = {r1[idx], two_results ? r2[idx] : r1[idx], 0};
            break;
        }
        case 'd': {
            double r1[n], r2[n];
            std::memcpy(r1, out_re, sizeof r1);
            std::memcpy(r2, out2_re, sizeof r2);
            vexa_arx_kernel_dError(status, idx, re, re, r1, two_results ? r2 : r1, name);
            c = {r1[idx], two_results ? r2[idx] : r1[idx], 0};
            break;
        }
        case 'c': {
            VexaComplex8 a[n], r1[n], r2[n];
            for (int k = 0; k < n; ++k)
                a[k] = {float(re[k]), float(-re[k])}, r1[k] = {float(out_re[k]), 1}, r2[k] = {float(out2_re[k]), 2};
            vexa_arx_kernel_cError(status, idx, a, a, r1, two_results ? r2 : r1, name);
            c = {r1[idx].re, two_results ? r2[idx].re : r1[idx].re, r1[idx].im};
            break;
        }
        case 'z': {
            VexaComplex16 a[n], r1[n], r2[n];
            for (int k = 0; k < n; ++k) a[k] = {re[k], -re[k]}, r1[k] = {out_re[k], 1}, r2[k] = {out2_re[k], 2};
            vexa_arx_kernel_zError(status, idx, a, a, r1, two_results ? r2 : r1, name);
            c = {r1[idx].re, two_results ? r2[idx].re : r1[idx].re, r1[idx].im};
            break;
        }
    }
    return c;
}

// What the callback saw, read through the documented byte offsets.
struct Raw {
    int calls = 0;
    int32_t status, index, name_len;
    double arg1, arg2, res1, res2, arg1_im, res1_im;
    std::string name;
};
Raw g_raw;
int g_return = 0;
double g_new_res1 = NAN;

int inspect(ErrorContext* ctx) {
    const char* p = reinterpret_cast<const char*>(ctx);
    Raw& r = g_raw;
    ++r.calls;
    std::memcpy(&r.status, p + 0, 4);
    std::memcpy(&r.index, p + 4, 4);
    std::memcpy(&r.arg1, p + 8, 8);
    std::memcpy(&r.arg2, p + 16, 8);
    std::memcpy(&r.res1, p + 24, 8);
    std::memcpy(&r.res2, p + 32, 8);
    r.name.assign(p + 40, strnlen(p + 40, 64));
    std::memcpy(&r.name_len, p + 104, 4);
    std::memcpy(&r.arg1_im, p + 108, 8);
    std::memcpy(&r.res1_im, p + 124, 8);
    if (!std::isnan(g_new_res1)) {
        ctx->res1 = g_new_res1;
        ctx->res2 = g_new_res1 + 1;
        ctx->res1_im = -g_new_res1;
    }
    return g_return;
}

class ErrorRoutine : public testing::TestWithParam<char> {
protected:
    void SetUp() override {
        g_raw = Raw{};
        g_return = 0;
        g_new_res1 = NAN;
    }
};

TEST(ErrorContextLayout, FieldsFollowEachOtherWithoutGaps) {
    EXPECT_EQ(sizeof(ErrorContext), 140u);
    EXPECT_EQ(offsetof(ErrorContext, func_name_len), 104u);
    EXPECT_EQ(offsetof(ErrorContext, arg1_im), 108u);
    EXPECT_EQ(offsetof(ErrorContext, res2_im), 132u);
}

TEST_P(ErrorRoutine, EveryStatusSetsTheStatusWordAndErrno) {
    const char t = GetParam();
    in_fresh_thread([t] {
        const struct {
            int status, err;
        } cases[] = {{1, EDOM}, {2, ERANGE}, {3, ERANGE}, {4, ERANGE}, {-1, EINVAL}, {-2, EACCES}, {0, 0}, {9, EFAULT}};
        for (auto& c : cases) {
            errno = 12345;
            const Call r = raise(t, c.status, 3, false);
            EXPECT_EQ(vexa_arx_kernel_GetErrStatus(), c.status);
            EXPECT_EQ(errno, c.err) << "status " << c.status;
            EXPECT_EQ(r.r1, 103.0);  // nothing changed the result: written back as it was
        }
    });
}

TEST_P(ErrorRoutine, CallbackSeesTheRecordAndItsChangesAreWrittenBack) {
    const char t = GetParam();
    in_fresh_thread([t] {
        vexa_arx_kernel_SetErrorCallBack(inspect);
        std::vector<char> base(256);
        g_new_res1 = 42.0;
        // Index counted from the interface pointer: the arrays start 0 elements in
        // here, so the interface pointer at the arrays themselves adds nothing.
        const Call r = raise(t, 2, 5, false, "vxSingular");
        EXPECT_EQ(g_raw.calls, 1);
        EXPECT_EQ(g_raw.status, 2);
        EXPECT_EQ(g_raw.index, 5);
        EXPECT_EQ(g_raw.arg1, 5.5);
        EXPECT_EQ(g_raw.arg2, 5.5);
        EXPECT_EQ(g_raw.res1, 105.0);
        EXPECT_EQ(g_raw.res2, 105.0);
        EXPECT_EQ(g_raw.name, "vxSingular");
        EXPECT_EQ(g_raw.name_len, 10);
        const bool complex = t == 'c' || t == 'z';
        EXPECT_EQ(g_raw.arg1_im, complex ? -5.5 : 0.0);
        EXPECT_EQ(g_raw.res1_im, complex ? 1.0 : 0.0);
        // One result array: res2 is stored first, res1 last, so res1 stays.
        EXPECT_EQ(r.r1, 42.0);
        if (complex) {
            EXPECT_EQ(r.r1_im, -42.0);
        }
        // Two result arrays get one value each.
        const Call r2 = raise(t, 2, 5, true);
        EXPECT_EQ(r2.r1, 42.0);
        EXPECT_EQ(r2.r2, 43.0);
        EXPECT_EQ(errno, ERANGE);
    });
}

TEST_P(ErrorRoutine, NonZeroCallbackResultStopsEverything) {
    const char t = GetParam();
    in_fresh_thread([t] {
        vexa_arx_kernel_SetMode(0x1600);  // callback, print, errno
        vexa_arx_kernel_SetErrorCallBack(inspect);
        g_return = 1;
        g_new_res1 = 9.0;
        errno = 0;
        CaptureStderr();
        const Call r = raise(t, 1, 0, false);
        EXPECT_EQ(GetCapturedStderr(), "");
        EXPECT_EQ(errno, 0);
        EXPECT_EQ(r.r1, 100.0);  // the kernel's value stays
        EXPECT_EQ(vexa_arx_kernel_GetErrStatus(), 1);
    });
}

TEST_P(ErrorRoutine, IgnoreModeSetsOnlyTheStatus) {
    const char t = GetParam();
    in_fresh_thread([t] {
        vexa_arx_kernel_SetErrorCallBack(inspect);
        vexa_arx_kernel_SetMode(0x100);
        EXPECT_EQ(vexa_arx_kernel_GetMode() & 0xFF00u, 0x100u);
        g_new_res1 = 9.0;
        errno = 0;
        const Call r = raise(t, 3, 1, false);
        EXPECT_EQ(g_raw.calls, 0);
        EXPECT_EQ(errno, 0);
        EXPECT_EQ(r.r1, 101.0);
        EXPECT_EQ(vexa_arx_kernel_GetErrStatus(), 3);
    });
}

TEST_P(ErrorRoutine, ArgumentErrorsReadNoArray) {
    const char t = GetParam();
    in_fresh_thread([t] {
        vexa_arx_kernel_SetMode(0x1600);
        vexa_arx_kernel_SetErrorCallBack(inspect);
        CaptureStderr();
        switch (t) {
            case 's': vexa_arx_kernel_sError(-1, 4, nullptr, nullptr, nullptr, nullptr, "vsExp"); break;
            case 'd': vexa_arx_kernel_dError(-1, 4, nullptr, nullptr, nullptr, nullptr, "vdExp"); break;
            case 'c': vexa_arx_kernel_cError(-1, 4, nullptr, nullptr, nullptr, nullptr, "vcExp"); break;
            case 'z': vexa_arx_kernel_zError(-1, 4, nullptr, nullptr, nullptr, nullptr, "vzExp"); break;
        }
        const std::string out = GetCapturedStderr();
        EXPECT_EQ(g_raw.calls, 1);
        EXPECT_EQ(g_raw.index, 4);
        EXPECT_EQ(g_raw.arg1, 0.0);
        EXPECT_NE(out.find(std::string("v") + t + "Exp: parameter 4"), std::string::npos) << out;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
        EXPECT_EQ(errno, EINVAL);
    });
}

INSTANTIATE_TEST_SUITE_P(TypeLetters, ErrorRoutine, testing::Values('s', 'd', 'c', 'z'));

TEST(ErrorRoutineIndex, CountsFromTheInterfacePointer) {
    in_fresh_thread([] {
        vexa_arx_kernel_SetErrorCallBack(inspect);
        g_raw = Raw{};
        g_new_res1 = NAN;
        double whole[40] = {};
        double r[40] = {};
        vexa_arx_kernel_SetInterfInputVectorPointer(whole);
        // A piece that starts 16 elements into the caller's vector.
        vexa_arx_kernel_dError(1, 3, whole + 16, whole + 16, r + 16, r + 16, "vdLn");
        EXPECT_EQ(g_raw.index, 19);
        VexaComplex16 zw[10] = {};
        vexa_arx_kernel_SetInterfInputVectorPointer(zw);
        vexa_arx_kernel_zError(1, 1, zw + 4, zw + 4, zw + 4, zw + 4, "vzLn");
        EXPECT_EQ(g_raw.index, 5);
        vexa_arx_kernel_SetInterfInputVectorPointer(nullptr);
    });
}

TEST(ErrorRoutineNames, LongNamesAreCutAt64Characters) {
    in_fresh_thread([] {
        vexa_arx_kernel_SetErrorCallBack(inspect);
        g_raw = Raw{};
        const std::string name(70, 'q');
        double a[1] = {1}, r[1] = {2};
        vexa_arx_kernel_dError(2, 0, a, a, r, r, name.c_str());
        EXPECT_EQ(g_raw.name_len, 64);
        EXPECT_EQ(g_raw.name, std::string(64, 'q'));
    });
}

// ---- printed messages -----------------------------------------------------------

std::vector<std::string> lines_of(const std::string& s) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t nl; (nl = s.find('\n', start)) != std::string::npos; start = nl + 1)
        out.push_back(s.substr(start, nl - start));
    return out;
}

TEST(StandardHandler, PrintsTheConditionAndOneLinePerValue) {
    in_fresh_thread([] {
        vexa_arx_kernel_SetMode(0x400);
        // One argument, one result: the condition line, then argument and result.
        double a[2] = {0.0, 2.0}, b[2] = {0.0, 3.0}, r[2] = {-INFINITY, 5.0}, r2[2] = {0, 6.0};
        CaptureStderr();
        vexa_arx_kernel_dError(2, 0, a, a, r, r, "vdLn");
        auto lines = lines_of(GetCapturedStderr());
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_NE(lines[0].find("vdLn: the function has a singularity"), std::string::npos) << lines[0];
        EXPECT_NE(lines[1].find("element 0: argument 0"), std::string::npos) << lines[1];
        EXPECT_NE(lines[2].find("element 0: result -inf"), std::string::npos) << lines[2];

        // Two arguments and two results: messages 750 to 753.
        CaptureStderr();
        vexa_arx_kernel_dError(3, 1, a, b, r, r2, "vdPair");
        lines = lines_of(GetCapturedStderr());
        ASSERT_EQ(lines.size(), 5u);
        EXPECT_NE(lines[0].find("overflows"), std::string::npos);
        EXPECT_NE(lines[1].find("first argument 2"), std::string::npos) << lines[1];
        EXPECT_NE(lines[2].find("second argument 3"), std::string::npos) << lines[2];
        EXPECT_NE(lines[3].find("first result 5"), std::string::npos) << lines[3];
        EXPECT_NE(lines[4].find("second result 6"), std::string::npos) << lines[4];

        // A NaN argument compares unequal to itself: printed as two arguments.
        double nan_a[1] = {NAN}, nan_r[1] = {NAN};
        CaptureStderr();
        vexa_arx_kernel_dError(1, 0, nan_a, nan_a, nan_r, nan_r, "vdLn");
        lines = lines_of(GetCapturedStderr());
        ASSERT_EQ(lines.size(), 5u);
        EXPECT_NE(lines[0].find("outside the domain"), std::string::npos);
        EXPECT_NE(lines[1].find("first argument"), std::string::npos);

    });
}

TEST(StandardHandler, StatusesWithoutValues) {
    in_fresh_thread([] {
        vexa_arx_kernel_SetMode(0x400);
        float a[1] = {1e-40f}, r[1] = {0};
        CaptureStderr();
        vexa_arx_kernel_sError(4, 0, a, a, r, r, "vsExp");
        vexa_arx_kernel_sError(7, 0, a, a, r, r, "vsExp");
        vexa_arx_kernel_sError(-2, 0, nullptr, nullptr, nullptr, nullptr, "vsExp");
        vexa_arx_kernel_sError(0, 0, a, a, r, r, "vsExp");
        const auto lines = lines_of(GetCapturedStderr());
        ASSERT_EQ(lines.size(), 7u);
        EXPECT_NE(lines[0].find("underflows"), std::string::npos);
        EXPECT_NE(lines[3].find("unrecognised status"), std::string::npos);
        EXPECT_NE(lines[6].find("vsExp: the arrays given cannot be accessed"), std::string::npos);
    });
}

}  // namespace
