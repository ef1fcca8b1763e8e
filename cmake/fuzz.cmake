# Fuzz build of the Windows-free readers: clang with libFuzzer and
# AddressSanitizer. Libraries get coverage instrumentation; the fuzz targets
# (hrl_fuzz in cmake/testing.cmake) link libFuzzer's main. 32-bit where the
# kernel runs 32-bit programs, else 64-bit (set by scripts/lib.sh).
set(CMAKE_C_COMPILER   clang)
set(CMAKE_CXX_COMPILER clang++)
if(NOT HRL_FUZZ_ARCH)
  set(HRL_FUZZ_ARCH -m64)
endif()
if(HRL_FUZZ_ARCH STREQUAL "-m32")
  # IEEE double through SSE2, as in every 32-bit build.
  set(HRL_FUZZ_ARCH "-m32 -msse2 -mfpmath=sse")
endif()
set(CMAKE_C_FLAGS_INIT   "${HRL_FUZZ_ARCH} -g -O1 -fsanitize=fuzzer-no-link,address,undefined")
set(CMAKE_CXX_FLAGS_INIT "${HRL_FUZZ_ARCH} -g -O1 -fsanitize=fuzzer-no-link,address,undefined")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${HRL_FUZZ_ARCH} -fsanitize=address,undefined")
set(HRL_FUZZ ON CACHE BOOL "Build the fuzz targets" FORCE)
