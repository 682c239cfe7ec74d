# Cross build of the 32-bit Windows client with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KELVRA_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
