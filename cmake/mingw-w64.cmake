# Cross-building the Windows program with MinGW-w64 (Debian's and Ubuntu's
# g++-mingw-w64-x86-64-posix, Fedora's mingw64-gcc-c++, Homebrew's mingw-w64).
# The POSIX-threads flavour of the compiler: its C++ library has std::thread
# and the semaphores live output uses.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
find_program(CMAKE_CXX_COMPILER NAMES ${triple}-g++-posix ${triple}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${triple}-windres)
# Libraries and headers for Windows only from the cross sysroot (zlib from
# Debian's libz-mingw-w64-dev, for one), the build's tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${triple} /usr/lib/mingw64-toolchain /usr/${triple}/sys-root/mingw)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ZLIB_USE_STATIC_LIBS ON)
