# The update procedure: DoUpdate and its threaded form, the file updates, the actions
# after the update, the restart members, the dialogs, the progress window and the HTML
# dialog (MSHTML on Windows; Linux has none unless the client installs its own).
target_sources(kelvra_update PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/update_procedure.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_updates.cpp
    ${CMAKE_CURRENT_LIST_DIR}/update_actions.cpp
    ${CMAKE_CURRENT_LIST_DIR}/update_thread.cpp
    ${CMAKE_CURRENT_LIST_DIR}/restart_members.cpp
    ${CMAKE_CURRENT_LIST_DIR}/update_dialogs.cpp
    ${CMAKE_CURRENT_LIST_DIR}/progress_form.cpp
    ${CMAKE_CURRENT_LIST_DIR}/html_dialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/${KELVRA_PLATFORM}/html_dialog_${KELVRA_PLATFORM}.cpp)
if(WIN32)
    target_link_libraries(kelvra_update PUBLIC urlmon oleaut32)
endif()
