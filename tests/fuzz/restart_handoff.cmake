# The restart program's hand-off file and command line with its component list.
kelvra_fuzz_target(fuzz_restart_handoff TEST fuzz_restart_handoff_smoke SECONDS 10
    SEEDS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/restart
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/fuzz_restart_handoff.cpp
        ${PROJECT_SOURCE_DIR}/tools/restart/restart_program.cpp
        ${PROJECT_SOURCE_DIR}/tools/restart/restart_posix.cpp
        ${PROJECT_SOURCE_DIR}/tools/common/tool_common.cpp
        ${KELVRA_SRC}/update/restart_handoff.cpp
        ${KELVRA_SRC}/update/cab_names.cpp
        ${KELVRA_SRC}/update/posix/cab_extract_posix.cpp
        ${KELVRA_SRC}/update/posix/mspack_buffered_system.cpp
        ${KELVRA_SRC}/update/update_log.cpp
        ${KELVRA_SRC}/update/posix/documents_posix.cpp
        ${KELVRA_SRC}/update/update_date.cpp
        ${KELVRA_SRC}/update/posix/file_time_posix.cpp
        ${KELVRA_SRC}/platform/posix/environment_posix.cpp
        ${KELVRA_SRC}/platform/file_system.cpp
        ${KELVRA_SRC}/platform/posix/file_system_posix.cpp
        ${KELVRA_SRC}/platform/posix/rewrite_in_place_posix.cpp
        ${KELVRA_SRC}/platform/posix/code_page_posix.cpp
        ${KELVRA_SRC}/platform/text.cpp)
# The restart program expands components staged in the single-file compressed format.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FUZZ_RESTART_MSPACK REQUIRED IMPORTED_TARGET libmspack)
target_link_libraries(fuzz_restart_handoff PRIVATE PkgConfig::FUZZ_RESTART_MSPACK)
target_include_directories(fuzz_restart_handoff PRIVATE ${PROJECT_SOURCE_DIR}/tools/restart
                                                        ${PROJECT_SOURCE_DIR}/tools/common)
