# The Linux client's HTML dialog (WebKitGTK), compiled from the client's source.
if(NOT WIN32)
    kelvra_add_gtest(update_html_dialog_gtk_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/html_dialog_gtk_test.cpp
                ${PROJECT_SOURCE_DIR}/src/client/gtk/html_dialog_gtk.cpp
        LIBS kelvra_update kelvra_browser_gtk)
endif()
