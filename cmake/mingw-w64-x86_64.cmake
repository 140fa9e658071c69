# Cross-compiles exifcheck.exe for 64-bit Windows with MinGW-w64 (Debian:
# g++-mingw-w64-x86-64). Use:
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(EXIFCHECK_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix thread model: GoogleTest needs std::mutex, which the win32 model
# lacks. Its winpthread library is linked in statically like the rest.
set(CMAKE_C_COMPILER ${EXIFCHECK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${EXIFCHECK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${EXIFCHECK_MINGW_TRIPLE}-windres)

# Look for libraries and headers in the MinGW tree only, never the host's.
set(CMAKE_FIND_ROOT_PATH /usr/${EXIFCHECK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One exe that runs on a bare Windows: the C++ and GCC runtimes linked in,
# no MinGW DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
