# Cross-building for 64-bit Windows with Debian's mingw-w64 (the POSIX
# threads flavour, which std::thread needs):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Everything is linked statically (libgcc, libstdc++, winpthread, zlib), so
# one .exe runs on a Windows machine with nothing else installed. Programs
# built here run under Wine (tests, gtest discovery).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QAV_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${QAV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QAV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QAV_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QAV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static archives only: libz.a, not libz.dll.a, the import library of
# zlib1.dll (whose name ends in .a too).
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
set(ZLIB_USE_STATIC_LIBS ON)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
