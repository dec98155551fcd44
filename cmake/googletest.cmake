# GoogleTest, built from Debian's sources (/usr/src/googletest) into the
# build folder, the same way for the host's tests and for the ones under
# Wine.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
enable_testing()
include(GoogleTest)
