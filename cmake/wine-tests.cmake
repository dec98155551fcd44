# Tests that run the Windows code for real under Wine, against the stand-in
# chat client and the program itself as processes of their own.
include(${CMAKE_CURRENT_LIST_DIR}/googletest.cmake)

set(LUMAQUILL_WINE_RUN ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
set(LUMAQUILL_WINE_ENV "LUMAQUILL_WINE_STATE=${CMAKE_BINARY_DIR}/wine")

# The display and the wineserver outlive single tests, so a run starts them
# once and ends them however its tests went.
add_test(NAME wine_start COMMAND sh ${LUMAQUILL_WINE_RUN})
add_test(NAME wine_stop COMMAND sh ${LUMAQUILL_WINE_RUN} --stop)
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "${LUMAQUILL_WINE_ENV}" TIMEOUT 900)
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT "${LUMAQUILL_WINE_ENV}")

# What the runner says of a program that cannot run: never a pass. A text
# file is no program Wine can start, and Wine's own words come out in UTF-8
# (they begin アプリケーション in Japanese). A 32-bit program is not even
# tried where no 32-bit code runs, as every machine is taken to be here:
# the runner knows one by its header, so a PE32 header written on the spot
# stands for one in every preset.
file(WRITE ${CMAKE_BINARY_DIR}/not-a-program.exe "text\n")
set(LUMAQUILL_32BIT_PROGRAM ${CMAKE_BINARY_DIR}/pe32-header.exe)
add_test(NAME wine_run.reports_what_wine_could_not_start
  COMMAND sh -c "sh '${LUMAQUILL_WINE_RUN}' '${CMAKE_BINARY_DIR}/not-a-program.exe'; echo \"exit status $?\"")
add_test(NAME wine_run.refuses_32bit_where_none_runs
  COMMAND sh -c "printf 'MZ%58s@\\000\\000\\000PE\\000\\000\\114\\001%18s\\013\\001' '' '' >'${LUMAQUILL_32BIT_PROGRAM}' && sh '${LUMAQUILL_WINE_RUN}' '${LUMAQUILL_32BIT_PROGRAM}'; echo \"exit status $?\"")
set_tests_properties(wine_run.reports_what_wine_could_not_start PROPERTIES FIXTURES_REQUIRED wine
  ENVIRONMENT "${LUMAQUILL_WINE_ENV}"
  PASS_REGULAR_EXPRESSION "Wine could not start [^\n]*not-a-program.exe: アプリケーション[^\n]*\nexit status [1-9]")
set_tests_properties(wine_run.refuses_32bit_where_none_runs PROPERTIES FIXTURES_REQUIRED wine
  ENVIRONMENT "${LUMAQUILL_WINE_ENV};LUMAQUILL_NO_32BIT=1"
  PASS_REGULAR_EXPRESSION "not starting [^\n]*pe32-header.exe, a 32-bit program: LUMAQUILL_NO_32BIT=1[^\n]*\nexit status [1-9]")

# The runner from a copy under /var/tmp, a folder of the root that the
# sandbox binds read-only, with a Wine state of its own there; and
# bubblewrap's own words when it cannot make the sandbox. Making that
# prefix takes both cores for a while, so it takes its turn with the tests
# that use the desktop, some of which bound how long the program takes.
add_test(NAME wine_run.sandbox
  COMMAND sh ${CMAKE_SOURCE_DIR}/tests/scripts/wine_run_tests.sh WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
set_tests_properties(wine_run.sandbox PROPERTIES RESOURCE_LOCK desktop TIMEOUT 900)

# Starting the program and the stand-in and reading what the stand-in saw;
# the benchmarks use it too.
add_library(wine_harness STATIC tests/wine/harness.cpp)
target_include_directories(wine_harness PUBLIC tests/wine tools)

function(lumaquill_wine_test name timeout)
  add_executable(${name} tests/wine/${name}.cpp ${ARGN})
  target_link_libraries(${name} PRIVATE wine_harness GTest::gtest_main lumaquill_window)
  target_link_options(${name} PRIVATE -static)
  add_dependencies(${name} lumaquill standin)
  # A program Wine could not start ends with 0 and prints nothing: each test
  # passes only on GoogleTest's own word, and each program must list tests.
  add_test(NAME ${name}.lists_tests COMMAND ${name} --gtest_list_tests)
  set_tests_properties(${name}.lists_tests PROPERTIES PASS_REGULAR_EXPRESSION "\n  [A-Za-z]"
    FIXTURES_REQUIRED wine RESOURCE_LOCK desktop ENVIRONMENT "${LUMAQUILL_WINE_ENV}")
  # Tests that use the desktop (windows, focus, the stand-in's class names)
  # take turns.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 600
    PROPERTIES TIMEOUT ${timeout} RESOURCE_LOCK desktop FIXTURES_REQUIRED wine
               PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] 1 test\\."
               ENVIRONMENT "${LUMAQUILL_WINE_ENV}")
endfunction()

lumaquill_wine_test(sending_tests 240)
lumaquill_wine_test(program_tests 120)
# The window in-process needs the program's resources and entry point.
lumaquill_wine_test(window_tests 120 src/window/winmain.cpp src/resources/lumaquill.rc)
target_include_directories(window_tests PRIVATE ${LUMAQUILL_RESOURCE_INCLUDES})
lumaquill_wine_test(soak_tests 300)
lumaquill_wine_test(resource_tests 120)

# The same program built by the second compiler (the win32-clang preset),
# driven by the tests that start lumaquill.exe as a process of its own. They
# look for it beside themselves, so each runs from a folder of its own with
# the clang exe in it. It is a 32-bit exe, so only 32-bit tests drive it.
# Where that preset has not been built, they skip and say how to build it.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(LUMAQUILL_CLANG_EXE ${CMAKE_SOURCE_DIR}/build/win32-clang/lumaquill.exe CACHE FILEPATH
      "lumaquill.exe built by clang, for the black-box tests")
  foreach(name program_tests soak_tests)
    set(folder ${CMAKE_BINARY_DIR}/clang-exe/${name})
    add_test(NAME clang_exe.${name}
      COMMAND sh -c "if [ ! -f '${LUMAQUILL_CLANG_EXE}' ]; then echo 'Skipped: no ${LUMAQUILL_CLANG_EXE}; build it with: cmake --preset win32-clang && cmake --build --preset win32-clang'; exit 77; fi; mkdir -p '${folder}' && cp '$<TARGET_FILE:${name}>' '$<TARGET_FILE:standin>' '${LUMAQUILL_CLANG_EXE}' '${folder}/' && sh '${LUMAQUILL_WINE_RUN}' '${folder}/${name}.exe'")
    set_tests_properties(clang_exe.${name} PROPERTIES TIMEOUT 600 RESOURCE_LOCK desktop FIXTURES_REQUIRED wine
      SKIP_RETURN_CODE 77 ENVIRONMENT "${LUMAQUILL_WINE_ENV}"
      PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ tests?\\." FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
  endforeach()
endif()
