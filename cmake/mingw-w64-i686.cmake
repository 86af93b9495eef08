# Cross build for 32-bit Windows with Debian's mingw-w64 (posix threads flavour).
# Test programs run through Wine, which CTest uses as the emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The scripts name the Wine command: the system's 64-bit loader, or the private
# runtime that also runs 32-bit programs (scripts/wine32).
set(VANTREL_WINE wine CACHE STRING "Command (a list) that runs a Windows program for CTest")
set(CMAKE_CROSSCOMPILING_EMULATOR ${VANTREL_WINE})
