# Rich text reduced to plain text (the memo on platforms without a rich-text box).
add_executable(fuzz_rich_text
    ${CMAKE_CURRENT_LIST_DIR}/fuzz_rich_text.cpp
    ${KELVRA_SRC}/ui/rich_text.cpp
    ${KELVRA_SRC}/ui/posix/rich_text_code_page_posix.cpp
    ${KELVRA_SRC}/platform/text.cpp
    ${KELVRA_SRC}/platform/posix/code_page_posix.cpp
)
target_include_directories(fuzz_rich_text PRIVATE ${KELVRA_SRC})
target_compile_options(fuzz_rich_text PRIVATE ${fuzz_flags})
target_link_options(fuzz_rich_text PRIVATE ${fuzz_flags})
kelvra_warnings(fuzz_rich_text)
set(rtf_work ${CMAKE_CURRENT_BINARY_DIR}/corpus-rtf)
add_test(NAME fuzz_rich_text_smoke
         COMMAND ${CMAKE_COMMAND} -E env UBSAN_OPTIONS=halt_on_error=1
                 sh -c "rm -rf '${rtf_work}' && cp -r '${CMAKE_CURRENT_SOURCE_DIR}/corpus/rtf' '${rtf_work}' && exec '$<TARGET_FILE:fuzz_rich_text>' -max_total_time=15 -rss_limit_mb=2048 '${rtf_work}'")
set_tests_properties(fuzz_rich_text_smoke PROPERTIES TIMEOUT 120)
