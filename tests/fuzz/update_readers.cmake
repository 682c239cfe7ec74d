# The update engine's control-file, version and date readers.
kelvra_fuzz_target(fuzz_update_readers TEST fuzz_update_readers_smoke SECONDS 15
    SEEDS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/update_readers
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/fuzz_update_readers.cpp
        ${KELVRA_SRC}/update/control_file.cpp
        ${KELVRA_SRC}/update/profile_text.cpp
        ${KELVRA_SRC}/update/version_text.cpp
        ${KELVRA_SRC}/update/version_resource.cpp
        ${KELVRA_SRC}/update/update_date.cpp
        ${KELVRA_SRC}/update/posix/file_time_posix.cpp
        ${KELVRA_SRC}/platform/text.cpp
        ${KELVRA_SRC}/platform/posix/code_page_posix.cpp)
