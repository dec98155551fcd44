# Host build of the line cutter: unit tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, a libFuzzer target under clang, and the
# cutter's benchmark; and the host's own check of whether it runs 32-bit
# code, which every command asks before it starts a Windows program.
set(LUMAQUILL_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(lumaquill_lines PRIVATE ${LUMAQUILL_SANITIZE})

include(${CMAKE_CURRENT_LIST_DIR}/googletest.cmake)

add_executable(lines_tests tests/native/lines_tests.cpp)
target_link_libraries(lines_tests PRIVATE lumaquill_lines GTest::gtest_main)
target_compile_options(lines_tests PRIVATE ${LUMAQUILL_SANITIZE})
target_link_options(lines_tests PRIVATE ${LUMAQUILL_SANITIZE})
gtest_discover_tests(lines_tests)

if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  set(LUMAQUILL_FUZZ_SECONDS 60 CACHE STRING "How long the fuzz test runs")
  add_executable(lines_fuzz tests/fuzz/lines_fuzz.cpp src/sending/lines.cpp)
  target_include_directories(lines_fuzz PRIVATE src/sending)
  target_compile_options(lines_fuzz PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
  target_link_options(lines_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  # Runs from a copy of the corpus so the repository's seeds stay as they are.
  add_test(NAME lines_fuzz
           COMMAND ${CMAKE_COMMAND} -E env sh -c
             "rm -rf fuzz-corpus && cp -r '${CMAKE_SOURCE_DIR}/tests/fuzz/corpus' fuzz-corpus && \
              '$<TARGET_FILE:lines_fuzz>' -max_total_time=${LUMAQUILL_FUZZ_SECONDS} -max_len=4096 fuzz-corpus")
  set_tests_properties(lines_fuzz PROPERTIES TIMEOUT 600)
endif()

# It builds and runs its probes in the build folder: /tmp may run nothing.
add_test(NAME which_build COMMAND sh ${CMAKE_SOURCE_DIR}/tests/scripts/which_build_tests.sh
         WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
add_test(NAME debian_mirror COMMAND sh ${CMAKE_SOURCE_DIR}/tests/scripts/debian_mirror_tests.sh
         WORKING_DIRECTORY ${CMAKE_BINARY_DIR})

find_package(benchmark QUIET)
if(benchmark_FOUND)
  add_executable(lines_bench bench/lines_bench.cpp src/sending/lines.cpp)
  target_include_directories(lines_bench PRIVATE src/sending)
  target_compile_options(lines_bench PRIVATE -O2)
  target_link_libraries(lines_bench PRIVATE benchmark::benchmark)
endif()
