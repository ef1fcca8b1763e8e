# Native 32-bit build of the portable libraries for machines whose kernel
# cannot run 32-bit programs: the tests run under Debian's user-mode
# emulator qemu-i386, so the width that ships is tested everywhere.
# AddressSanitizer does not run under the emulator; the 64-bit native build
# beside this one keeps checking memory. Undefined behaviour is still
# trapped (without the sanitizer's runtime, which cannot be linked
# statically), and the programs are static so that the emulator needs no
# 32-bit system libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
# clang, as in the sanitizer build (see native.cmake); it links the
# multilib C and C++ libraries of g++ statically.
set(CMAKE_C_COMPILER   clang)
set(CMAKE_CXX_COMPILER clang++)

set(_hrl_flags "-m32 -msse2 -mfpmath=sse -fsanitize=undefined -fno-sanitize=vptr,function -fsanitize-trap=undefined")
set(CMAKE_C_FLAGS_INIT   "${_hrl_flags}")
set(CMAKE_CXX_FLAGS_INIT "${_hrl_flags}")
# -O1 as in the sanitizer build, and no debug information: a trapped fault
# under the emulator stops with SIGILL and no report either way, and the
# tables are most of the compile and static link time. Set as the cache
# entry itself: CMake appends its own "-O2 -g" to a toolchain's _INIT value.
set(CMAKE_C_FLAGS_RELWITHDEBINFO   "-O1 -DNDEBUG" CACHE STRING "")
set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O1 -DNDEBUG" CACHE STRING "")
# The static C library warns at every link that GoogleTest's result
# streaming would need the shared resolver; that path is never taken here.
# (The 64-bit native build still shows the linker's warnings.)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static -Wl,--no-warnings")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386)
