# Tests, fuzz targets and their replays.
#
# HRL_BUILD_TESTS (default ON): build the test programs. Off where a build is
# only compiled and never run (the i686 deliverables on a machine whose
# kernel cannot run 32-bit programs): everything but the tests is built.
option(HRL_BUILD_TESTS "Build the test programs" ON)
if(HRL_BENCH OR HRL_FUZZ)
  set(HRL_BUILD_TESTS OFF)
endif()

# hrl_fuzz(NAME SOURCES src... LIBS lib...)
# A fuzz target (LLVMFuzzerTestOneInput). In the fuzz build it links
# libFuzzer and scripts/fuzz runs it, bounded. In a native test build it is
# also a test: it links a small main that replays the target's seed corpus,
# the folder corpus/NAME beside the target's first source, under the
# sanitizers of that build.
function(hrl_fuzz name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  list(GET F_SOURCES 0 first)
  get_filename_component(dir ${first} DIRECTORY)
  get_filename_component(corpus ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/corpus/${name} ABSOLUTE)
  if(HRL_FUZZ)
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set_property(GLOBAL APPEND PROPERTY HRL_FUZZ_TARGETS ${name})
    set_property(GLOBAL APPEND PROPERTY HRL_FUZZ_SEEDS ${corpus})
  elseif(HRL_BUILD_TESTS AND NOT HRL_WIN)
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBS} hrl_fuzz_replay)
    target_compile_options(${name} PRIVATE ${HRL_TEST_CODE_OPTIONS})
    set(inputs)
    if(EXISTS ${corpus})
      set(inputs ${corpus})
    endif()
    add_test(NAME ${name} COMMAND ${name} ${inputs})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300 LABELS fuzz)
  endif()
endfunction()

if(HRL_BUILD_TESTS)
  enable_testing()
endif()

# GoogleTest from Debian's source package, built once inside each build tree
# and shared by every test program.
set(HRL_GTEST_SRC /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${HRL_GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# Test code is compiled without optimisation: GoogleTest's macros make large
# functions that take about three times longer to compile at -O2, which is
# most of a build's time, while the code under test keeps its build's
# optimisation in its own libraries. (The last -O on the command line wins.)
set(HRL_TEST_CODE_OPTIONS -O0)
foreach(t gtest gtest_main gmock gmock_main)
  target_compile_options(${t} PRIVATE ${HRL_TEST_CODE_OPTIONS})
endforeach()

# GoogleTest's header, precompiled once and reused by every test program:
# parsing it is most of a small test file's compile time. GoogleMock's is
# left out: it would add a third to the image every test file loads, which
# costs more than the few files that use it save.
add_library(hrl_test_pch STATIC EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/tests/pch/test_pch.cpp)
target_link_libraries(hrl_test_pch PRIVATE GTest::gmock GTest::gtest)
target_compile_options(hrl_test_pch PRIVATE ${HRL_TEST_CODE_OPTIONS})
target_precompile_headers(hrl_test_pch PRIVATE <gtest/gtest.h>)

if(HRL_BUILD_TESTS AND NOT HRL_WIN)
  add_library(hrl_fuzz_replay STATIC ${PROJECT_SOURCE_DIR}/tests/fuzzreplay/replay_main.cpp)
endif()

# hrl_test(NAME SOURCES src... LIBS lib... [LABELS label...])
# One test program; under the Windows builds CTest runs it through Wine.
# Label `threaded` marks the tests of code that runs on several threads:
# scripts/tsan runs those under ThreadSanitizer. In a build without tests the
# program is still declared, so that the lines after it that set its
# properties hold, but nothing builds or runs it.
function(hrl_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT HRL_BUILD_TESTS)
    add_executable(${name} EXCLUDE_FROM_ALL ${T_SOURCES})
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  target_compile_options(${name} PRIVATE ${HRL_TEST_CODE_OPTIONS})
  target_precompile_headers(${name} REUSE_FROM hrl_test_pch)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
