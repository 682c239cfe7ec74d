# The Linux registry's .reg reader and writer.
kelvra_fuzz_target(fuzz_reg_file TEST fuzz_reg_file_smoke SECONDS 15
    SEEDS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/reg
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/fuzz_reg_file.cpp
        ${KELVRA_SRC}/platform/posix/reg_file.cpp
        ${KELVRA_SRC}/platform/registry_value.cpp
        ${KELVRA_SRC}/platform/text.cpp)
