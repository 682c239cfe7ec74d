# Settings shared by the MinGW-w64 toolchains (posix thread model). The including file sets
# CMAKE_SYSTEM_PROCESSOR and KELVRA_MINGW_PREFIX first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${KELVRA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELVRA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KELVRA_MINGW_PREFIX}-windres)
set(KELVRA_WIDL ${KELVRA_MINGW_PREFIX}-widl)
set(CMAKE_FIND_ROOT_PATH /usr/${KELVRA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Static runtime: the executable and the tests run without MinGW DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
