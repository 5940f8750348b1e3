# Cross build for 64-bit Windows with the mingw-w64 compiler (POSIX threads
# variant: GoogleTest needs std::mutex and std::thread, which the win32
# variant of GCC 12 lacks). Every executable is linked statically, so
# photocheck.exe and the test programs need no DLL beyond the system's.
# When Wine is installed, CMake and ctest run the built programs through it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PHOTOCHECK_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PHOTOCHECK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PHOTOCHECK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PHOTOCHECK_MINGW_TRIPLE}-windres)

# Libraries and headers come from the mingw-w64 tree only, never from the
# host's /usr/include; programs (the host's tools) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${PHOTOCHECK_MINGW_TRIPLE})
# The libraries Debian has no mingw-w64 build of (expat), built as static
# libraries by scripts/windows-deps.sh. The build of those libraries uses
# this file too.
list(APPEND CMAKE_FIND_ROOT_PATH ${CMAKE_CURRENT_LIST_DIR}/../build/windows-deps)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Debian's wine64 package puts its loader in /usr/lib/wine, off the PATH.
if(NOT WINE_LOADER)
  find_program(WINE_LOADER NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
endif()
if(WINE_LOADER)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_LOADER})
endif()


# Release optimises at -O2, the level of the Linux builds, rather than -O3:
# GCC 12's deeper inlining at -O3 brings false -Warray-bounds reports from the
# standard library's vector code, which -Werror turns into build failures the
# Linux builds never see.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags for Release builds" FORCE)
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags for Release builds" FORCE)
