# Cross build for 32-bit Windows with MinGW-w64 (posix thread model), for
# 32-bit mail clients: MAPI loads only into a process of the client's
# bitness. Built only: Debian offers no 32-bit Wine here, so no emulator is
# set and CTest has nothing to run the tests with.
set(KALINOR_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
