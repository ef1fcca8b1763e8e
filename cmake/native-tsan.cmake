# Native 64-bit build of the portable libraries with ThreadSanitizer, for the
# tests labelled `threaded` (scripts/tsan).
set(CMAKE_C_COMPILER   gcc)
set(CMAKE_CXX_COMPILER g++)

set(_hrl_tsan "-m64 -g -O1 -fsanitize=thread -fno-omit-frame-pointer")
set(CMAKE_C_FLAGS_INIT   "${_hrl_tsan}")
set(CMAKE_CXX_FLAGS_INIT "${_hrl_tsan}")
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-m64 -fsanitize=thread")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m64 -fsanitize=thread")
