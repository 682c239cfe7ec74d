# The update engine's control-file, version and date readers.
add_executable(fuzz_update_readers
    ${CMAKE_CURRENT_LIST_DIR}/fuzz_update_readers.cpp
    ${KELVRA_SRC}/update/control_file.cpp
    ${KELVRA_SRC}/update/profile_text.cpp
    ${KELVRA_SRC}/update/version_text.cpp
    ${KELVRA_SRC}/update/version_resource.cpp
    ${KELVRA_SRC}/update/update_date.cpp
    ${KELVRA_SRC}/update/posix/file_time_posix.cpp
    ${KELVRA_SRC}/platform/text.cpp
    ${KELVRA_SRC}/platform/posix/code_page_posix.cpp
)
target_include_directories(fuzz_update_readers PRIVATE ${KELVRA_SRC})
target_compile_options(fuzz_update_readers PRIVATE ${fuzz_flags})
target_link_options(fuzz_update_readers PRIVATE ${fuzz_flags})
kelvra_warnings(fuzz_update_readers)
set(update_work ${CMAKE_CURRENT_BINARY_DIR}/corpus-update)
add_test(NAME fuzz_update_readers_smoke
         COMMAND ${CMAKE_COMMAND} -E env UBSAN_OPTIONS=halt_on_error=1
                 sh -c "mkdir -p '${update_work}' && exec '$<TARGET_FILE:fuzz_update_readers>' -max_total_time=15 -rss_limit_mb=2048 '${update_work}'")
set_tests_properties(fuzz_update_readers_smoke PROPERTIES TIMEOUT 120)
