# Native 32-bit build of the portable libraries, with the sanitizers.
# IEEE double through SSE2, as in every 32-bit build.
set(HRL_NATIVE_ARCH "-m32 -msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/native.cmake)
