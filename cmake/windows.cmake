# The program, the stand-in chat client and, with LUMAQUILL_TESTS, the tests
# that run them under Wine.

# Product code stays free of the C++ runtime, and every binary is static so
# it imports nothing but the system's DLLs.
function(lumaquill_windows_binary target)
  if(NOT MSVC)
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti
                           -ffunction-sections -fdata-sections)
    target_link_options(${target} PRIVATE -static -Wl,--gc-sections
                        $<$<CONFIG:Release>:-s>)
  endif()
endfunction()

add_library(lumaquill_core STATIC
  src/common/app.cpp
  src/sending/deliver.cpp
  src/sending/send_text.cpp
  src/commands/commands.cpp)
target_include_directories(lumaquill_core PUBLIC src/common src/sending src/commands)
target_link_libraries(lumaquill_core PUBLIC lumaquill_lines)
lumaquill_windows_binary(lumaquill_core)
lumaquill_windows_binary(lumaquill_lines)

include(${CMAKE_CURRENT_LIST_DIR}/icon.cmake)
add_library(lumaquill_window STATIC src/window/main_window.cpp)
target_include_directories(lumaquill_window PUBLIC src/window)
target_link_libraries(lumaquill_window PUBLIC lumaquill_core)
lumaquill_windows_binary(lumaquill_window)

add_executable(lumaquill WIN32 src/window/winmain.cpp src/resources/lumaquill.rc)
target_link_libraries(lumaquill PRIVATE lumaquill_window)
add_dependencies(lumaquill lumaquill_icon)
set_property(SOURCE src/resources/lumaquill.rc APPEND PROPERTY OBJECT_DEPENDS ${LUMAQUILL_ICON})
target_include_directories(lumaquill PRIVATE ${LUMAQUILL_ICON_DIR})
lumaquill_windows_binary(lumaquill)

add_executable(standin WIN32 tools/standin.cpp)
lumaquill_windows_binary(standin)

# Plays the user for the run command when there is no display to show.
add_executable(demo tools/demo.cpp)
lumaquill_windows_binary(demo)

# The smallest window program with the same compiler and flags: the floor
# that start-up time and size are measured against.
add_executable(minimal_window WIN32 bench/minimal_window.cpp)
lumaquill_windows_binary(minimal_window)

if(LUMAQUILL_TESTS)
  include(${CMAKE_CURRENT_LIST_DIR}/wine-tests.cmake)
endif()

# Benchmarks that bench/run.sh runs under Wine: the cost of each typed line,
# start-up next to the minimal window, and memory over many passes. Tools,
# not product code: they may use the C++ runtime.
if(LUMAQUILL_TESTS)
  add_library(bench_support STATIC bench/bench_support.cpp)
  target_link_libraries(bench_support PUBLIC wine_harness)
  function(lumaquill_bench name)
    add_executable(${name} bench/${name}.cpp)
    target_link_libraries(${name} PRIVATE bench_support ${ARGN})
    target_link_options(${name} PRIVATE -static)
    add_dependencies(${name} lumaquill standin minimal_window)
  endfunction()
  lumaquill_bench(line_cost lumaquill_core)
  lumaquill_bench(start_cost)
  lumaquill_bench(memory_use psapi)
  # Starts as the program does, with its resources, reading the clock
  # between the calls; start_cost runs it to tell where start-up time goes.
  add_executable(start_steps WIN32 bench/start_steps.cpp src/resources/lumaquill.rc)
  target_link_libraries(start_steps PRIVATE bench_support lumaquill_window)
  target_include_directories(start_steps PRIVATE ${LUMAQUILL_ICON_DIR})
  target_link_options(start_steps PRIVATE -static)
  add_dependencies(start_steps lumaquill_icon)
  add_dependencies(start_cost start_steps)
endif()
