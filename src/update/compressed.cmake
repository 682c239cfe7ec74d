# Cabinets and single-file compressed files: cabinet.dll and LZ32 on Windows, libmspack on Linux.
target_sources(kelvra_update PRIVATE ${CMAKE_CURRENT_LIST_DIR}/cab_names.cpp)
if(WIN32)
    target_sources(kelvra_update PRIVATE ${CMAKE_CURRENT_LIST_DIR}/win32/cab_extract_win32.cpp)
    target_link_libraries(kelvra_update PUBLIC lz32)
else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(MSPACK REQUIRED IMPORTED_TARGET libmspack)
    target_sources(kelvra_update PRIVATE ${CMAKE_CURRENT_LIST_DIR}/posix/cab_extract_posix.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/posix/mspack_buffered_system.cpp)
    target_link_libraries(kelvra_update PUBLIC PkgConfig::MSPACK)
endif()
