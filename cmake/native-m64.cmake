# Native 64-bit build of the libraries that need no Windows API, checked by
# AddressSanitizer and UndefinedBehaviorSanitizer: used where the kernel
# cannot run 32-bit programs. The portable code uses fixed-width types only,
# so the same records and arithmetic are checked.
set(CMAKE_C_COMPILER   gcc)
set(CMAKE_CXX_COMPILER g++)

set(_hrl_san "-m64 -g -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer")
set(CMAKE_C_FLAGS_INIT   "${_hrl_san}")
set(CMAKE_CXX_FLAGS_INIT "${_hrl_san}")
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-m64 -fsanitize=address,undefined")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m64 -fsanitize=address,undefined")
