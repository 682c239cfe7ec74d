kelvra_add_gtest(platform_test
    SOURCES text_test.cpp file_system_test.cpp
    LIBS kelvra_platform)
if(WIN32 AND CMAKE_CROSSCOMPILING)
    # Wine makes no symbolic links, and the Windows test cannot: the link that the settings
    # save goes through is made before the test, on the build machine's file system.
    set(link_dir ${CMAKE_BINARY_DIR}/test-link)
    add_test(NAME platform_test_link
             COMMAND sh -c "mkdir -p '${link_dir}' && : > '${link_dir}/real.ini' && ln -sfn real.ini '${link_dir}/link.ini'")
    string(REPLACE "/" "\\" link_path "Z:${link_dir}/link.ini")
    set_tests_properties(platform_test_link PROPERTIES FIXTURES_SETUP file_link)
    set_tests_properties(platform_test PROPERTIES FIXTURES_REQUIRED file_link
                         ENVIRONMENT_MODIFICATION "KELVRA_TEST_FILE_LINK=set:${link_path}")
endif()
