# Native 32-bit build of the libraries that need no Windows API, checked by
# AddressSanitizer and UndefinedBehaviorSanitizer.
set(CMAKE_C_COMPILER   gcc)
set(CMAKE_CXX_COMPILER g++)

set(_hrl_san "-m32 -g -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer")
set(CMAKE_C_FLAGS_INIT   "${_hrl_san}")
set(CMAKE_CXX_FLAGS_INIT "${_hrl_san}")
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-m32 -fsanitize=address,undefined")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32 -fsanitize=address,undefined")
