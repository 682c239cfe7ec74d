# The same Windows code cross-built for 64-bit Windows and tested under wine64. It proves the
# code 64-bit clean and runs the Windows tests where the kernel cannot start 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KELVRA_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh --win64)
