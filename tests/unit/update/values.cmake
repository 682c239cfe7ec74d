kelvra_add_gtest(update_values_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/control_file_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/version_text_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/date_log_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/probes_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/local_files_test.cpp
    LIBS kelvra_update)

if(WIN32)
    enable_language(RC)
    set(kelvra_file_version_extra ${CMAKE_CURRENT_LIST_DIR}/file_version_test.rc)
endif()
kelvra_add_gtest(update_file_version_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/file_version_test.cpp ${kelvra_file_version_extra}
    LIBS kelvra_update)
