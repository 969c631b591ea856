# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix-threads
# variant, whose std::thread and std::mutex need no extra library).
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# The programs are linked statically (libstdc++, libgcc, winpthread), so that
# lexbuild.exe and lexdump.exe run on a Windows with nothing installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LEXBUILD_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LEXBUILD_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LEXBUILD_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LEXBUILD_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LEXBUILD_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under wine on the build machine.
find_program(LEXBUILD_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(LEXBUILD_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LEXBUILD_WINE})
endif()
