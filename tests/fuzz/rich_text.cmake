# Rich text reduced to plain text (the memo on platforms without a rich-text box).
kelvra_fuzz_target(fuzz_rich_text TEST fuzz_rich_text_smoke SECONDS 15
    SEEDS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/rtf
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/fuzz_rich_text.cpp
        ${KELVRA_SRC}/ui/rich_text.cpp
        ${KELVRA_SRC}/ui/posix/rich_text_code_page_posix.cpp
        ${KELVRA_SRC}/platform/text.cpp
        ${KELVRA_SRC}/platform/posix/code_page_posix.cpp)
