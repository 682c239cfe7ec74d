# Cabinet extraction and SZDD expansion: the project's code around libmspack.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FUZZ_MSPACK REQUIRED IMPORTED_TARGET libmspack)
foreach(reader cabinet szdd)
    kelvra_fuzz_target(fuzz_${reader} TEST fuzz_${reader}_smoke SECONDS 10
        SEEDS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${reader}
        SOURCES
            ${CMAKE_CURRENT_LIST_DIR}/fuzz_${reader}.cpp
            ${KELVRA_SRC}/update/posix/cab_extract_posix.cpp
            ${KELVRA_SRC}/update/posix/mspack_buffered_system.cpp
            ${KELVRA_SRC}/update/cab_names.cpp)
    target_link_libraries(fuzz_${reader} PRIVATE PkgConfig::FUZZ_MSPACK)
endforeach()
