# Native 64-bit build of the portable libraries, with the sanitizers: used
# where the kernel cannot run 32-bit programs. The portable code uses
# fixed-width types only, so the same records and arithmetic are checked.
set(HRL_NATIVE_ARCH -m64)
include(${CMAKE_CURRENT_LIST_DIR}/native.cmake)
