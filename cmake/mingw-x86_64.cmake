# Test build of the Windows layer for machines whose kernel cannot run
# 32-bit programs (and so no 32-bit Wine): the same sources with the x86_64
# mingw-w64 compilers, run under 64-bit Wine. The deliverables are the i686 build.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(HRL_MINGW x86_64-w64-mingw32)
set(HRL_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
# A test build only, never shipped: -O1 and line tables only (-g1: Wine's
# backtraces still name function, file and line) compile and link about a
# quarter faster than the deliverables' -O2 -g, and their objects are a
# fifth of the size, which is most of a static test program's link time.
# Set as the cache entry itself: CMake appends its own "-O2 -g" to a
# toolchain's _INIT value, and the last -O and -g win.
set(CMAKE_C_FLAGS_RELWITHDEBINFO   "-O1 -g1 -DNDEBUG" CACHE STRING "")
set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O1 -g1 -DNDEBUG" CACHE STRING "")
