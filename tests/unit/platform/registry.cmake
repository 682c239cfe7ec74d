kelvra_add_gtest(registry_test
    SOURCES registry_test.cpp
    LIBS kelvra_platform)
if(NOT WIN32)
    kelvra_add_gtest(reg_file_test
        SOURCES reg_file_test.cpp
        LIBS kelvra_platform)
endif()
