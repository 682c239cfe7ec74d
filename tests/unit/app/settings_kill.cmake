# The settings file under saves killed at random moments (SIGKILL on Linux, TerminateProcess
# under Wine).
add_executable(settings_saver settings_saver_main.cpp)
target_link_libraries(settings_saver PRIVATE kelvra_app kelvra_test_support)
set_target_properties(settings_saver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
kelvra_warnings(settings_saver)
kelvra_add_gtest(settings_kill_test SOURCES settings_kill_test.cpp LIBS kelvra_app)
add_dependencies(settings_kill_test settings_saver)
