# Cross build of the 32-bit Windows deliverables with the i686 mingw-w64
# compilers; tests run under 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(HRL_MINGW i686-w64-mingw32)
set(HRL_WINE_ARCH win32)
# IEEE double through SSE2, never x87 excess precision: the 32-bit binaries
# then compute every floating-point result as the 64-bit ones do.
set(HRL_ARCH_FLAGS "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
