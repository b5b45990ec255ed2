# Toolchain for the target ABI: 32-bit x86 (cdecl, arguments on the stack).
# Tests run under user-mode emulation, which executes AVX2 and FMA. The BLAS
# picks its kernels from the processor it identifies, and what the emulator
# reports differs from host to host (on some it is taken for an Athlon, whose
# 3DNow! single-precision kernels the emulator gets wrong), so the kernel set
# of the processors this library is built for is named explicitly.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_ASM_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_FIND_ROOT_PATH /usr/lib/i386-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR "qemu-i386;-cpu;max;-L;/;-E;OPENBLAS_CORETYPE=Haswell")
