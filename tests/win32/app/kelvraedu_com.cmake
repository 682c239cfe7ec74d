# The real Windows executable as the automation server, with an outside client program
# (built for each bitness; a 64-bit prefix runs the 32-bit test with the 64-bit client).
if(TARGET kelvraedu)
    add_executable(kelvra_com_client com_client.cpp)
    target_link_libraries(kelvra_com_client PRIVATE ole32 oleaut32 uuid)
    set_target_properties(kelvra_com_client PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                                                       ${CMAKE_BINARY_DIR}/bin)
    kelvra_warnings(kelvra_com_client)
    kelvra_add_gtest(kelvraedu_com_test
        SOURCES kelvraedu_com_test.cpp client_process.cpp
        LIBS kelvra_platform)
    # Four outside clients at once against one automation-mode server.
    kelvra_add_gtest(kelvraedu_com_load_test
        SOURCES kelvraedu_com_load_test.cpp client_process.cpp
        LIBS kelvra_platform ole32 uuid psapi ntdll)
    add_dependencies(kelvraedu_com_test kelvraedu kelvra_com_client)
    add_dependencies(kelvraedu_com_load_test kelvraedu kelvra_com_client)
    # The registration is machine-wide and the client single-instance.
    set_tests_properties(kelvraedu_com_test kelvraedu_com_load_test PROPERTIES RUN_SERIAL ON)
endif()
