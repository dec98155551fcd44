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
  src/sending/send_text.cpp)
target_include_directories(lumaquill_core PUBLIC src/common src/sending)
target_link_libraries(lumaquill_core PUBLIC lumaquill_lines)
lumaquill_windows_binary(lumaquill_core)
lumaquill_windows_binary(lumaquill_lines)

add_executable(standin WIN32 tools/standin.cpp)
lumaquill_windows_binary(standin)

# The smallest window program with the same compiler and flags: the floor
# that start-up time and size are measured against.
add_executable(minimal_window WIN32 bench/minimal_window.cpp)
lumaquill_windows_binary(minimal_window)

if(LUMAQUILL_TESTS)
  include(${CMAKE_CURRENT_LIST_DIR}/wine-tests.cmake)
endif()
