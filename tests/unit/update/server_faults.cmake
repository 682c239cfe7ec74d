# The engine against an update server that misbehaves. Linux only for now: under Wine's
# WinInet a connection that dies in the middle of the control file reads as a whole file and
# a later fault outlasts the suite's time limit; both wait on a look at real Windows.
if(NOT WIN32)
    kelvra_add_gtest(update_server_faults_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine/server_faults_test.cpp
        LIBS kelvra_update_engine_fixture)
    set_tests_properties(update_server_faults_test PROPERTIES TIMEOUT 300)
endif()
