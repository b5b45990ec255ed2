// The front-end loads the library at run time: loaded with dlopen into a
// process that was not linked against it, its kernels and per-thread state
// work in the loading thread and in threads started afterwards.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <thread>

namespace {

using Kernel = void (*)(int, const double*, double*);
using GetMode = unsigned (*)();
using SetMode = unsigned (*)(unsigned);

TEST(Loading, KernelsAndThreadStateWorkAfterDlopen) {
    void* lib = dlopen(VEXA_LIB_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto exp = reinterpret_cast<Kernel>(dlsym(lib, "vexa_arx_kernel_dExp_S9HAynn"));
    auto get = reinterpret_cast<GetMode>(dlsym(lib, "vexa_arx_kernel_GetMode"));
    auto set = reinterpret_cast<SetMode>(dlsym(lib, "vexa_arx_kernel_SetMode"));
    ASSERT_TRUE(exp && get && set);
    auto check = [&] {
        const double x[5] = {0.0, 1.0, -1.0, 10.0, 1000.0};
        double r[5];
        exp(5, x, r);
        EXPECT_EQ(r[0], 1.0);
        EXPECT_NEAR(r[1], 2.718281828459045, 1e-15);
        EXPECT_EQ(r[4], __builtin_inf());
        set(0x3);  // EP in this thread only
        EXPECT_EQ(get() & 0xF, 0x3u);
    };
    check();
    std::thread t([&] {
        EXPECT_EQ(get() & 0xF, 0x2u);  // a new thread starts from the default (HA)
        check();
    });
    t.join();
    EXPECT_EQ(get() & 0xF, 0x3u);
}

}  // namespace
