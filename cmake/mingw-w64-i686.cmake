# Cross-building the 32-bit Windows program on Linux with MinGW-w64
# (Debian: g++-mingw-w64-i686). Use:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(NPR_MINGW_TRIPLE i686-w64-mingw32)
# The win32 thread model needs no winpthread DLL; the posix one is the
# fallback on installations that only carry it.
find_program(CMAKE_C_COMPILER NAMES ${NPR_MINGW_TRIPLE}-gcc-win32 ${NPR_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${NPR_MINGW_TRIPLE}-g++-win32 ${NPR_MINGW_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${NPR_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${NPR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs and test discovery run under Wine where it is installed.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(NPR_WINE NAMES wine)
  if(NPR_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${NPR_WINE})
  endif()
endif()
