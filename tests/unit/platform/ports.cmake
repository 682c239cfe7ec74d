kelvra_add_gtest(platform_test
    SOURCES text_test.cpp file_system_test.cpp
    LIBS kelvra_platform)
