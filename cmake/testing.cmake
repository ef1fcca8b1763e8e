# hrl_fuzz(NAME SOURCES src... LIBS lib...)
# A libFuzzer target (LLVMFuzzerTestOneInput), built only in the fuzz build
# and run, bounded, by scripts/fuzz.
function(hrl_fuzz name)
  if(NOT HRL_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY HRL_FUZZ_TARGETS ${name})
endfunction()

# GoogleTest from Debian's source package, built inside each build tree.
# The benchmark and fuzz builds have no tests.
if(HRL_BENCH OR HRL_FUZZ)
  function(hrl_test name)
  endfunction()
  return()
endif()

enable_testing()
set(HRL_GTEST_SRC /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${HRL_GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# hrl_test(NAME SOURCES src... LIBS lib...)
# One test program; under the win build CTest runs it through Wine.
function(hrl_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()
