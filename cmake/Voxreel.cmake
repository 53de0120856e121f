# Project-wide build helpers: warnings, sanitizers, test registration.

set(VOXREEL_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
    -Wcast-align -Wunused -Woverloaded-virtual -Wnull-dereference
    -Wformat=2 -Werror)

# Warnings are errors in our own code only; third-party headers come in as
# SYSTEM includes through their imported targets.
function(voxreel_warnings target)
  target_compile_options(${target} PRIVATE ${VOXREEL_WARNINGS})
endfunction()

if(VOXREEL_FUZZ)
  # Everything is instrumented for coverage; only the fuzz targets link the
  # fuzzer's main (see voxreel_add_fuzzer).
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# voxreel_add_fuzzer(NAME SOURCES a.cpp LIBS x y): a libFuzzer target named
# fuzz_<NAME>; its seed corpus lives in bench/fuzz/corpus/<NAME>.
function(voxreel_add_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(fuzz_${name} ${F_SOURCES})
  voxreel_warnings(fuzz_${name})
  target_link_libraries(fuzz_${name} PRIVATE ${F_LIBS})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
endfunction()

if(VOXREEL_SANITIZE)
  add_compile_options(-fsanitize=${VOXREEL_SANITIZE} -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${VOXREEL_SANITIZE})
endif()

# voxreel_add_test(NAME SOURCES a.cpp b.cpp LIBS x y [LABELS l1 l2] [TIMEOUT s] [RUN_SERIAL])
# One GoogleTest executable, registered with ctest as one test per case.
function(voxreel_add_test name)
  cmake_parse_arguments(T "RUN_SERIAL" "TIMEOUT" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # The ThreadSanitizer build runs only the threaded tests; the others are
  # not even built there (listing them runs their fixtures' set-up, which in
  # uninstrumented libraries only produces noise).
  if(VOXREEL_SANITIZE STREQUAL "thread" AND NOT "threaded" IN_LIST T_LABELS)
    add_executable(${name} EXCLUDE_FROM_ALL ${T_SOURCES})
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                        ${CMAKE_BINARY_DIR}/tests)
  voxreel_warnings(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main
                        GTest::gmock)
  set(properties TIMEOUT ${T_TIMEOUT})
  if(T_ENVIRONMENT)
    list(APPEND properties ENVIRONMENT "${T_ENVIRONMENT}")
  endif()
  if(T_RUN_SERIAL)
    list(APPEND properties RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES ${properties} LABELS "${T_LABELS}")
endfunction()
