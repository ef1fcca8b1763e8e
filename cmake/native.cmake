# Shared part of the native toolchain files: set HRL_NATIVE_ARCH (-m32 or
# -m64) before including it. The libraries that need no Windows API, checked
# by AddressSanitizer and UndefinedBehaviorSanitizer.
# clang, not g++: most of these builds is test code at -O0, which clang
# compiles about three times faster with the sanitizers on (GoogleTest's
# macros make large functions). The deliverables are built by g++ (mingw).
set(CMAKE_C_COMPILER   clang)
set(CMAKE_CXX_COMPILER clang++)

set(_hrl_san "${HRL_NATIVE_ARCH} -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer")
set(CMAKE_C_FLAGS_INIT   "${_hrl_san}")
set(CMAKE_CXX_FLAGS_INIT "${_hrl_san}")
# -O1: the sanitizer builds check behaviour, not speed, and compile about
# 40% faster than at -O2. -g1: line tables only, which is all a sanitizer
# report needs to name function, file and line; full debug information
# costs a fifth of the compile time of a test file. Set as the cache entry
# itself: CMake appends its own "-O2 -g" to a toolchain's _INIT value, and
# the last -O and -g win.
set(CMAKE_C_FLAGS_RELWITHDEBINFO   "-O1 -g1 -DNDEBUG" CACHE STRING "")
set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O1 -g1 -DNDEBUG" CACHE STRING "")
set(CMAKE_EXE_LINKER_FLAGS_INIT    "${HRL_NATIVE_ARCH} -fsanitize=address,undefined")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${HRL_NATIVE_ARCH} -fsanitize=address,undefined")
