# The same program for 64-bit Windows (Debian: g++-mingw-w64-x86-64-posix).
# It stands in for the 32-bit one under Wine on a machine whose kernel runs
# no 32-bit programs. Use:
#   cmake -S . -B build-windows64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(NPR_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
