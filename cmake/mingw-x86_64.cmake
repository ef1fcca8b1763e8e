# Test build of the Windows layer for machines whose kernel cannot run
# 32-bit programs (and so no 32-bit Wine): the same sources with the x86_64
# mingw-w64 compilers, run under 64-bit Wine. The deliverables are the i686 build.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(HRL_MINGW x86_64-w64-mingw32)
set(HRL_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
