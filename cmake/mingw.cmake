# Shared part of the mingw-w64 toolchain files: set HRL_MINGW (the target
# triple), HRL_WINE_ARCH (win32 or win64) and HRL_ARCH_FLAGS (code
# generation flags of the width) before including it.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: the win32 model has no std::mutex.
set(CMAKE_C_COMPILER   ${HRL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HRL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER  ${HRL_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${HRL_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# DWARF 4 so that Wine's debugger prints function, file and line.
# WIN32_LEAN_AND_MEAN: <windows.h> without the multimedia, common dialog,
# shell, COM and sockets headers, which halves its parse time in every
# Windows source; a file that calls those interfaces includes their header.
set(_hrl_mingw_flags "${HRL_ARCH_FLAGS} -gdwarf-4 -D_FORTIFY_SOURCE=2 -fstack-protector-strong -DWIN32_LEAN_AND_MEAN")
set(CMAKE_C_FLAGS_INIT   "${_hrl_mingw_flags}")
set(CMAKE_CXX_FLAGS_INIT "${_hrl_mingw_flags}")
# Static runtime: without it the programs need the compiler's DLLs and exit
# silently under Wine.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run under Wine through this wrapper.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec ${HRL_WINE_ARCH})
