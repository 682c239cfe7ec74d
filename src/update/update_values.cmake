# Control file, prefixes, dates, versions, file checks and the log of the update engine.
target_sources(kelvra_update PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/control_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/profile_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cached_control_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/prefix_expansion.cpp
    ${CMAKE_CURRENT_LIST_DIR}/version_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/update_date.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_checks.cpp
    ${CMAKE_CURRENT_LIST_DIR}/update_log.cpp
    ${CMAKE_CURRENT_LIST_DIR}/version_resource.cpp
    ${CMAKE_CURRENT_LIST_DIR}/environment_probes.cpp
)
if(WIN32)
    target_sources(kelvra_update PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/win32/stored_file_win32.cpp
        ${CMAKE_CURRENT_LIST_DIR}/win32/prefix_directories_win32.cpp
        ${CMAKE_CURRENT_LIST_DIR}/win32/file_time_win32.cpp
        ${CMAKE_CURRENT_LIST_DIR}/win32/documents_win32.cpp
        ${CMAKE_CURRENT_LIST_DIR}/win32/file_version_win32.cpp
        ${CMAKE_CURRENT_LIST_DIR}/win32/os_version_win32.cpp
    )
else()
    target_sources(kelvra_update PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/posix/stored_file_posix.cpp
        ${CMAKE_CURRENT_LIST_DIR}/posix/prefix_directories_posix.cpp
        ${CMAKE_CURRENT_LIST_DIR}/posix/file_time_posix.cpp
        ${CMAKE_CURRENT_LIST_DIR}/posix/documents_posix.cpp
        ${CMAKE_CURRENT_LIST_DIR}/posix/file_version_posix.cpp
        ${CMAKE_CURRENT_LIST_DIR}/posix/os_version_posix.cpp
    )
endif()
