# Control file, prefixes, versions and file checks of the update engine.
target_sources(kelvra_update PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/control_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/profile_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/prefix_expansion.cpp
    ${CMAKE_CURRENT_LIST_DIR}/version_text.cpp
)
if(WIN32)
    target_sources(kelvra_update PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/win32/control_file_win32.cpp
    )
else()
    target_sources(kelvra_update PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/posix/control_file_posix.cpp
    )
endif()
