# The engine component against loopback HTTP and FTP servers (both platforms).
set(kelvra_engine_test_dir ${CMAKE_CURRENT_LIST_DIR}/engine)
if(WIN32)
    enable_language(RC)
    set(kelvra_engine_rc ${kelvra_engine_test_dir}/engine_version.rc)
    set(kelvra_engine_sockets ws2_32)
endif()
add_library(kelvra_update_engine_fixture STATIC
    ${kelvra_engine_test_dir}/loopback_servers.cpp
    ${kelvra_engine_test_dir}/engine_fixture.cpp)
target_include_directories(kelvra_update_engine_fixture PUBLIC ${kelvra_engine_test_dir})
target_link_libraries(kelvra_update_engine_fixture PUBLIC kelvra_update kelvra_test_support
                      GTest::gtest ${kelvra_engine_sockets})
kelvra_warnings(kelvra_update_engine_fixture)

kelvra_add_gtest(update_version_check_test
    SOURCES ${kelvra_engine_test_dir}/version_check_test.cpp ${kelvra_engine_rc}
    LIBS kelvra_update_engine_fixture)
kelvra_add_gtest(update_transport_test
    SOURCES ${kelvra_engine_test_dir}/transport_test.cpp
    LIBS kelvra_update_engine_fixture kelvra_headless)
