# Native 32-bit build of the portable libraries, with the sanitizers.
set(HRL_NATIVE_ARCH -m32)
include(${CMAKE_CURRENT_LIST_DIR}/native.cmake)
