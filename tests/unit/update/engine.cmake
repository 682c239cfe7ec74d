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
    LIBS kelvra_update_engine_fixture kelvra_headless kelvra_szdd_writer)
add_dependencies(update_transport_test update_cab_fixtures)
if(NOT WIN32)
    # A proxy set for the desktop (GIO's GNOME resolver over in-memory settings).
    add_test(NAME update_desktop_proxy_test
             COMMAND update_transport_test --gtest_filter=*DesktopProxyCarriesTheCheck)
    set_tests_properties(update_desktop_proxy_test PROPERTIES ENVIRONMENT
                         "GSETTINGS_BACKEND=memory;GIO_USE_PROXY_RESOLVER=gnome;XDG_CURRENT_DESKTOP=GNOME")
endif()

# The update procedure, the actions after it and the restart hand-off through the engine.
kelvra_add_gtest(update_procedure_test
    SOURCES ${kelvra_engine_test_dir}/procedure_test.cpp ${kelvra_engine_test_dir}/dialogs_test.cpp
    LIBS kelvra_update_engine_fixture kelvra_headless kelvra_szdd_writer)
add_dependencies(update_procedure_test update_cab_fixtures)
kelvra_add_gtest(update_actions_test
    SOURCES ${kelvra_engine_test_dir}/actions_test.cpp
    LIBS kelvra_update_engine_fixture)
include(${PROJECT_SOURCE_DIR}/cmake/KelvraCarriedPrograms.cmake)
kelvra_add_gtest(update_engine_restart_test
    SOURCES ${kelvra_engine_test_dir}/restart_test.cpp
    LIBS kelvra_update_engine_fixture kelvra_headless)
target_include_directories(update_engine_restart_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
kelvra_carry_update_programs(update_engine_restart_test)
add_dependencies(update_engine_restart_test restart_fixture_app kusetup patcher
                 update_patch_fixtures)
