# What the MinGW-w64 toolchain files share; each sets CMAKE_SYSTEM_PROCESSOR
# and NPR_MINGW_TRIPLE, then includes this.
set(CMAKE_SYSTEM_NAME Windows)

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

# Test programs and test discovery run under Wine where it is installed; the
# 64-bit loader directly, as the wine script prefers a 32-bit loader that may
# not start.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  if(NPR_MINGW_TRIPLE MATCHES "^x86_64")
    find_program(NPR_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
  else()
    find_program(NPR_WINE NAMES wine)
  endif()
  if(NPR_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${NPR_WINE})
  endif()
endif()

# Floating point in SSE registers, as 32-bit MSVC builds do by default: x87's
# wider intermediates would make results differ from every other build.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
