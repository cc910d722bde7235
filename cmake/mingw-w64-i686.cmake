# Cross-building the 32-bit Windows program on Linux with MinGW-w64
# (Debian: g++-mingw-w64-i686). Use:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(NPR_MINGW_TRIPLE i686-w64-mingw32)
# The posix thread model: GoogleTest needs std::mutex, which the win32 model
# of older compilers lacks. Linked statically, it needs no DLL either.
find_program(CMAKE_C_COMPILER NAMES ${NPR_MINGW_TRIPLE}-gcc-posix ${NPR_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${NPR_MINGW_TRIPLE}-g++-posix ${NPR_MINGW_TRIPLE}-g++ REQUIRED)
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

# Floating point in SSE registers, as 32-bit MSVC builds do by default: x87's
# wider intermediates would make results differ from every other build.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
