kelvra_add_gtest(update_values_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/control_file_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/version_text_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/date_log_test.cpp
    LIBS kelvra_update)
