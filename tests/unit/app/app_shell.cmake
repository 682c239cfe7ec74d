kelvra_add_gtest(app_shell_test
    SOURCES query_value_test.cpp dialog_script_test.cpp config_dir_test.cpp
    LIBS kelvra_app)
