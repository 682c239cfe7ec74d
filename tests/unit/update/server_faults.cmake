# The engine against an update server that misbehaves (both platforms).
kelvra_add_gtest(update_server_faults_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine/server_faults_test.cpp
    LIBS kelvra_update_engine_fixture)
set_tests_properties(update_server_faults_test PROPERTIES TIMEOUT 300)
