# Optimised native build of the portable libraries and the benchmarks under
# bench/: no sanitizers, 64-bit (Debian's Google Benchmark is the amd64
# package; the portable code uses fixed-width types only).
set(CMAKE_C_COMPILER   gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT   "-m64 -O2 -g")
set(CMAKE_CXX_FLAGS_INIT "-m64 -O2 -g")
set(HRL_BENCH ON CACHE BOOL "Build the benchmarks" FORCE)
