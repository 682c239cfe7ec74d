kelvra_add_gtest(app_shell_test
    SOURCES popup_size_test.cpp dialog_script_test.cpp config_dir_test.cpp
    LIBS kelvra_app)
