# The Linux programs' HTML dialog (WebKitGTK).
if(NOT WIN32)
    kelvra_add_gtest(update_html_dialog_gtk_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/html_dialog_gtk_test.cpp
        LIBS kelvra_update_gtk)
endif()
