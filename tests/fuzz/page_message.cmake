# The client's side of a page's window.external call on Linux: the call's parameters as
# they cross from the web process, the JSON message, and the dispatch to the hand-off.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FUZZ_GLIB REQUIRED IMPORTED_TARGET gio-2.0)
kelvra_fuzz_target(fuzz_page_message TEST fuzz_page_message_smoke SECONDS 10
    SEEDS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/page_message
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/fuzz_page_message.cpp
        ${KELVRA_SRC}/browser/gtk/external_channel.cpp
        ${KELVRA_SRC}/bridge/external_handler.cpp
        ${KELVRA_SRC}/bridge/app_to_ie_members.cpp
        ${KELVRA_SRC}/bridge/whiteboard_launch.cpp
        ${KELVRA_SRC}/bridge/course_text.cpp
        ${KELVRA_SRC}/bridge/automation_error.cpp
        ${KELVRA_SRC}/bridge/variant.cpp
        ${KELVRA_SRC}/platform/registry_value.cpp
        ${KELVRA_SRC}/platform/file_system.cpp
        ${KELVRA_SRC}/platform/posix/file_system_posix.cpp
        ${KELVRA_SRC}/platform/posix/rewrite_in_place_posix.cpp
        ${KELVRA_SRC}/platform/posix/code_page_posix.cpp
        ${KELVRA_SRC}/platform/text.cpp)
target_link_libraries(fuzz_page_message PRIVATE PkgConfig::FUZZ_GLIB)
