# Cross build of the 32-bit Windows deliverables with the i686 mingw-w64
# compilers; tests run under 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(HRL_MINGW i686-w64-mingw32)
set(HRL_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
