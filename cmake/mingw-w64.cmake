# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (posix threads); the programs are linked
# statically, so each .exe runs on its own, and ctest runs them under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Libraries, headers and packages come from the MinGW tree only, never from the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# MinGW's own printf and strtod follow C99 as glibc's do (hex floats, inf, two-digit exponents);
# msvcrt's do not.
set(CMAKE_C_FLAGS_INIT -D__USE_MINGW_ANSI_STDIO=1)
set(CMAKE_CXX_FLAGS_INIT -D__USE_MINGW_ANSI_STDIO=1)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/wine)
