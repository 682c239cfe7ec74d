# The settings file under saves killed at random moments (SIGKILL on Linux, TerminateProcess
# under Wine).
add_executable(settings_saver settings_saver_main.cpp)
target_link_libraries(settings_saver PRIVATE kelvra_app kelvra_test_support)
set_target_properties(settings_saver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
kelvra_warnings(settings_saver)
kelvra_add_gtest(settings_kill_test SOURCES settings_kill_test.cpp LIBS kelvra_app)
add_dependencies(settings_kill_test settings_saver)
if(WIN32 AND CMAKE_CROSSCOMPILING)
    # Wine cannot lock a folder: the one that takes no new file is made immutable on the
    # build machine before the test and unlocked after it.
    set(locked_dir ${CMAKE_BINARY_DIR}/test-locked)
    add_test(NAME settings_kill_lock
             COMMAND sh -c "chattr -i '${locked_dir}' 2>/dev/null; rm -rf '${locked_dir}' && mkdir -p '${locked_dir}' && : > '${locked_dir}/sysparams.ini' && chattr +i '${locked_dir}'")
    add_test(NAME settings_kill_unlock COMMAND chattr -i ${locked_dir})
    set_tests_properties(settings_kill_lock PROPERTIES FIXTURES_SETUP locked_folder)
    set_tests_properties(settings_kill_unlock PROPERTIES FIXTURES_CLEANUP locked_folder)
    string(REPLACE "/" "\\" locked_path "Z:${locked_dir}")
    set_tests_properties(settings_kill_test PROPERTIES FIXTURES_REQUIRED locked_folder
                         ENVIRONMENT_MODIFICATION "KELVRA_TEST_LOCKED_DIR=set:${locked_path}")
endif()
