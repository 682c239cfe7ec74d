kelvra_add_gtest(app_shell_test
    SOURCES error_box_test.cpp popup_size_test.cpp dialog_script_test.cpp config_dir_test.cpp
    LIBS kelvra_app)
