// The per-thread mode: defaults, SetMode's field rules, the environment
// variable's grammar, lazy initialisation and per-thread independence.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/vm_test.h"
#include "vexa/vector_math.h"

namespace {

using vexa::test::in_fresh_thread;

constexpr const char* kVar = "VEXA_VM_MODE";

class EnvVar {
public:
    explicit EnvVar(const char* value) {
        if (value) setenv(kVar, value, 1);
        else unsetenv(kVar);
    }
    ~EnvVar() { unsetenv(kVar); }
};

TEST(Mode, FreshThreadDefaultsAndSetModeFieldRules) {
    EnvVar none(nullptr);
    in_fresh_thread([] {
        EXPECT_EQ(vexa_arx_kernel_GetMode(), 0x1A02u);
        EXPECT_EQ(vexa_arx_kernel_GetTTableIndex(), 1);
        EXPECT_EQ(vexa_arx_kernel_SetMode(0), 0x1A02u);  // a zero field keeps its value
        EXPECT_EQ(vexa_arx_kernel_GetMode(), 0x1A02u);
        EXPECT_EQ(vexa_arx_kernel_SetMode(0x400), 0x1A02u);  // whole error field replaced
        EXPECT_EQ(vexa_arx_kernel_GetMode(), 0x402u);
        vexa_arx_kernel_SetMode(0x3);
        EXPECT_EQ(vexa_arx_kernel_GetMode(), 0x403u);
        EXPECT_EQ(vexa_arx_kernel_GetTTableIndex(), 2);
        vexa_arx_kernel_SetMode(0x280000);
        EXPECT_EQ(vexa_arx_kernel_GetMode(), 0x280403u);
        vexa_arx_kernel_SetMode(0x140000 | 0x30 | 0x1000000);  // precision and other bits never change
        EXPECT_EQ(_arxGetMode(), 0x140403u);
        EXPECT_EQ(_arxSetMode(0x1), 0x140403u);
        EXPECT_EQ(vexa_arx_kernel_GetTTableIndex(), 0);
    });
}

TEST(Mode, TableIndexOfAGivenMode) {
    EXPECT_EQ(vexa_arx_kernel_GetTTableIndexM(0, 0x1A01), 0);
    EXPECT_EQ(vexa_arx_kernel_GetTTableIndexM(0, 0x2), 1);
    EXPECT_EQ(vexa_arx_kernel_GetTTableIndexM(0, 0x280003), 2);
    EXPECT_EQ(vexa_arx_kernel_GetTTableIndexM(0, 0x1A00), -1);
    EXPECT_EQ(dll_cpu_version(), 0);
}

TEST(Mode, EnvironmentValues) {
    const struct {
        const char* value;
        long long mode;
    } cases[] = {
        {"ARX_EP,ARX_ERRMODE_ERRNO", 0x203},
        {"ARX_HA,ARX_ERRMODE_STDERR", 0x402},
        {"ARX_LA,ARX_FLOAT_CONSISTENT,ARX_ERRMODE_CALLBACK,ARX_ERRMODE_IGNORE", 0x1111},
        {"ARX_ERRMODE_DEFAULT", 0x1A00},
        {"ARX_DOUBLE_CONSISTEN", 0x20},
        {"ARX_RESTORE,ARX_EP", 0x33},
        {"ARX_DEFAULT_PRECISION", 0},
        {"ARX_DOUBLE_CONSISTENT", -1},  // the row has no final T; the T that follows is not a comma
        {"ARX_HA,", -1},                // trailing comma
        {"ARX_HA,ARX_BOGUS", -1},       // unknown token
        {"ARX_HA,HA", -1},              // second token without the prefix
        {"HA", -1},
        {"ARX_HA ,ARX_LA", -1},
        {"ARX_LA,,ARX_HA", -1},
        {"ARX_HAX", -1},
        {"arx_HA", -1},
        {"ARX_", -1},
        {"", -1},
    };
    for (auto& c : cases) {
        EnvVar env(c.value);
        EXPECT_EQ(vexa_arx_kernel_ReadEnvVarMode(), c.mode) << '"' << c.value << '"';
    }
    EnvVar none(nullptr);
    EXPECT_EQ(vexa_arx_kernel_ReadEnvVarMode(), -1);
}

TEST(Mode, LongEnvironmentValuesAreCutAtTheBufferAndRejectedSafely) {
    std::string v;
    while (v.size() < 300) v += "ARX_LA,";
    v += "ARX_HA";
    EnvVar env(v.c_str());
    EXPECT_EQ(vexa_arx_kernel_ReadEnvVarMode(), -1);
    // 36 tokens of 7 characters end at 251: the value fits and is accepted.
    std::string fits;
    for (int i = 0; i < 35; ++i) fits += "ARX_EP,";
    fits += "ARX_EP";
    EnvVar env2(fits.c_str());
    EXPECT_EQ(vexa_arx_kernel_ReadEnvVarMode(), 0x3);
}

TEST(Mode, ThreadsTakeTheirInitialModeFromTheEnvironment) {
    {
        EnvVar env("ARX_EP,ARX_ERRMODE_ERRNO");
        in_fresh_thread([] { EXPECT_EQ(vexa_arx_kernel_GetMode(), 0x203u); });
    }
    {
        EnvVar env("ARX_HA,");
        in_fresh_thread([] { EXPECT_EQ(vexa_arx_kernel_GetMode(), 0x1A02u); });
    }
    // A value of 0 leaves the mode uninitialised: the next call reads again.
    in_fresh_thread([] {
        setenv(kVar, "ARX_DEFAULT_PRECISION", 1);
        EXPECT_EQ(vexa_arx_kernel_GetMode(), 0u);
        EXPECT_EQ(vexa_arx_kernel_GetTTableIndex(), -1);
        setenv(kVar, "ARX_LA", 1);
        EXPECT_EQ(vexa_arx_kernel_GetMode(), 0x1u);
        setenv(kVar, "ARX_EP", 1);  // once set, never read again
        EXPECT_EQ(vexa_arx_kernel_GetMode(), 0x1u);
        unsetenv(kVar);
    });
}

TEST(Mode, StatusCallbackAndModeArePerThread) {
    vexa_arx_kernel_SetErrStatus(3);
    constexpr int kThreads = 4;
    std::vector<std::thread> threads;
    std::vector<int> seen(kThreads, -1);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &seen] {
            seen[t] = vexa_arx_kernel_GetErrStatus();
            vexa_arx_kernel_SetErrStatus(10 + t);
            vexa_arx_kernel_SetMode(unsigned(1 + t % 3));
            for (int k = 0; k < 1000; ++k) {
                ASSERT_EQ(vexa_arx_kernel_GetErrStatus(), 10 + t);
                ASSERT_EQ(vexa_arx_kernel_GetTTableIndex(), t % 3);
            }
            EXPECT_EQ(vexa_arx_kernel_GetErrorCallBack(), nullptr);
        });
    }
    for (auto& th : threads) th.join();
    for (int s : seen) EXPECT_EQ(s, 0);
    EXPECT_EQ(vexa_arx_kernel_GetErrStatus(), 3);
    EXPECT_EQ(vexa_arx_kernel_ClearErrStatus(), 3);
    EXPECT_EQ(_arxGetErrStatus(), 0);
    EXPECT_EQ(_arxSetErrStatus(4), 0);
    EXPECT_EQ(_arxClearErrStatus(), 4);
}

int cb_a(ErrorContext*) { return 0; }
int cb_b(ErrorContext*) { return 1; }

TEST(Mode, CallbackInstallationDrivesTheCallbackBit) {
    in_fresh_thread([] {
        EXPECT_EQ(vexa_arx_kernel_SetErrorCallBack(cb_a), nullptr);
        EXPECT_EQ(vexa_arx_kernel_GetMode(), 0x1A02u);
        EXPECT_EQ(_arxSetErrorCallBack(cb_b), cb_a);
        EXPECT_EQ(_arxGetErrorCallBack(), cb_b);
        EXPECT_EQ(vexa_arx_kernel_ClearErrorCallBack(), cb_b);
        EXPECT_EQ(vexa_arx_kernel_GetMode(), 0xA02u);  // callback bit removed
        vexa_arx_kernel_SetMode(0x200);
        vexa_arx_kernel_SetErrorCallBack(cb_a);
        EXPECT_EQ(vexa_arx_kernel_GetMode(), 0x1202u);
        // Removing the callback when its bit is the field's only bit leaves the field.
        vexa_arx_kernel_SetMode(0x1000);
        EXPECT_EQ(_arxClearErrorCallBack(), cb_a);
        EXPECT_EQ(vexa_arx_kernel_GetMode(), 0x1002u);
        EXPECT_EQ(vexa_arx_kernel_GetErrorCallBack(), nullptr);
    });
}

TEST(Mode, InterfacePointerIsPerThreadAndReturned) {
    int x[4] = {};
    EXPECT_EQ(vexa_arx_kernel_SetInterfInputVectorPointer(x), x);
    in_fresh_thread([] { EXPECT_EQ(_arxSetInterfInputVectorPointer(nullptr), nullptr); });
    EXPECT_EQ(_arxSetInterfInputVectorPointer(nullptr), nullptr);
}

}  // namespace
