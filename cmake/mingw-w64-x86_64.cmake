# Cross build for 64-bit Windows with MinGW-w64 (posix thread model: the
# win32 model lacks std::mutex, which GoogleTest needs). The executables are
# static, so they need no MinGW runtime DLLs beside them. Tests run under
# Wine through cmake/wine-run.sh, in a Wine prefix inside the build tree.
set(KALINOR_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

find_program(KALINOR_WINE NAMES wine)
if(KALINOR_WINE)
  # The wrapper takes the prefix folder first, then the program and its arguments.
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wineprefix)
endif()
