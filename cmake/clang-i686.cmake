# 32-bit Windows with a second compiler: Debian's clang targeting i686 MinGW,
# linking with lld against the same MinGW-w64 headers and libraries. It keeps
# the sources honest about "no GCC-only code".
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET i686-w64-mingw32)
set(CMAKE_CXX_COMPILER_TARGET i686-w64-mingw32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
# clang does not find Debian's libgcc for MinGW by itself ("12-posix" is
# not a version it parses), so the GCC cross compiler says where it is.
execute_process(COMMAND i686-w64-mingw32-gcc-posix -print-libgcc-file-name
                OUTPUT_VARIABLE LUMAQUILL_LIBGCC OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(LUMAQUILL_LIBGCC_DIR "${LUMAQUILL_LIBGCC}" DIRECTORY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${LUMAQUILL_LIBGCC_DIR}")
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
