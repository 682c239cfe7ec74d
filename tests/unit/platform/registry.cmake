add_executable(reg_probe reg_probe_main.cpp)
target_link_libraries(reg_probe PRIVATE kelvra_platform)
if(WIN32)
    target_link_libraries(reg_probe PRIVATE shell32)
endif()
set_target_properties(reg_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
kelvra_warnings(reg_probe)

kelvra_add_gtest(registry_test
    SOURCES registry_test.cpp
    LIBS kelvra_platform)
add_dependencies(registry_test reg_probe)
if(NOT WIN32)
    kelvra_add_gtest(reg_file_test
        SOURCES reg_file_test.cpp
        LIBS kelvra_platform)
endif()
