# The program, the stand-in chat client and, with LUMAQUILL_TESTS, the tests
# that run them under Wine.

# Product code stays free of the C++ runtime, and every binary is static so
# it imports nothing but the system's DLLs. The PE header carries no build
# time, so the same commit gives the same bytes wherever and whenever it is
# built.
function(lumaquill_windows_binary target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /Brepro)
    target_link_options(${target} PRIVATE /Brepro)
  else()
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti
                           -ffunction-sections -fdata-sections)
    # Marked for Windows 4.0, so that Windows 98 and NT 4 load it; lld
    # would mark it 6.0 (Vista) by default.
    target_link_options(${target} PRIVATE -static -Wl,--gc-sections -Wl,--no-insert-timestamp
                        -Wl,--major-os-version,4 -Wl,--minor-os-version,0
                        -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
                        $<$<CONFIG:Release>:-s>)
  endif()
endfunction()

add_library(lumaquill_core STATIC
  src/common/app.cpp
  src/sending/deliver.cpp
  src/sending/send_text.cpp
  src/sending/stop_key.cpp
  src/commands/commands.cpp)
target_include_directories(lumaquill_core PUBLIC src/common src/sending src/commands)
target_link_libraries(lumaquill_core PUBLIC lumaquill_lines)
lumaquill_windows_binary(lumaquill_core)
lumaquill_windows_binary(lumaquill_lines)

# The resource script reads the version from CMake, and finds the icon
# beside it. The icon is drawn by src/resources/make_icon.py and kept as a
# file, so no build needs Python; run the script again to redraw it.
set(LUMAQUILL_RESOURCE_INCLUDES ${CMAKE_CURRENT_BINARY_DIR}/generated ${CMAKE_CURRENT_SOURCE_DIR}/src/resources)
configure_file(src/resources/version.h.in ${CMAKE_CURRENT_BINARY_DIR}/generated/version.h @ONLY)
add_library(lumaquill_window STATIC src/window/main_window.cpp)
target_include_directories(lumaquill_window PUBLIC src/window)
target_link_libraries(lumaquill_window PUBLIC lumaquill_core)
lumaquill_windows_binary(lumaquill_window)

add_executable(lumaquill WIN32 src/window/winmain.cpp src/resources/lumaquill.rc)
target_link_libraries(lumaquill PRIVATE lumaquill_window)
set_property(SOURCE src/resources/lumaquill.rc APPEND PROPERTY OBJECT_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/src/resources/lumaquill.ico ${CMAKE_CURRENT_BINARY_DIR}/generated/version.h)
target_include_directories(lumaquill PRIVATE ${LUMAQUILL_RESOURCE_INCLUDES})
lumaquill_windows_binary(lumaquill)

# The release a user downloads: the exe and the Japanese guide in a zip that
# comes out the same, byte for byte, every time (scripts/release.sh).
find_package(Python3 COMPONENTS Interpreter QUIET)
if(Python3_FOUND)
  set(LUMAQUILL_RELEASE_DIR ${CMAKE_CURRENT_SOURCE_DIR}/build/release CACHE PATH "Where the release zip is written")
  add_custom_target(release
    COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/tools/make_release.py $<TARGET_FILE:lumaquill>
            ${CMAKE_CURRENT_SOURCE_DIR}/docs/release/readme-ja.txt
            ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR} ${LUMAQUILL_RELEASE_DIR}
    DEPENDS lumaquill tools/make_release.py docs/release/readme-ja.txt
    COMMENT "Packing the release"
    # Quoted for the shell, so that a tree whose path holds spaces or
    # parentheses still packs its release.
    VERBATIM)
endif()

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

# Benchmarks that bench/run.sh runs under Wine: the exe we ship, measured
# from outside, beside the floor programs it is compared with.
if(LUMAQUILL_TESTS)
  add_executable(floor_sender WIN32 bench/floor_sender.cpp)
  target_include_directories(floor_sender PRIVATE tools)
  lumaquill_windows_binary(floor_sender)
  add_executable(exe_bench bench/exe_bench.cpp)
  target_link_libraries(exe_bench PRIVATE wine_harness psapi)
  target_link_options(exe_bench PRIVATE -static)
  add_dependencies(exe_bench lumaquill standin minimal_window floor_sender)
endif()
