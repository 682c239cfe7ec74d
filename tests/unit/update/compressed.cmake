# Cabinet extraction and SZDD expansion. The cabinets are made by gcab on the build host
# and placed beside the test binary, so the Windows build tests cabinet.dll under Wine with
# the same files.
find_program(KELVRA_GCAB gcab REQUIRED)
set(cab_fixtures ${CMAKE_BINARY_DIR}/bin/cab_fixtures)
add_custom_command(
    OUTPUT ${cab_fixtures}/mszip.cab
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/fixtures/make_cabinets.sh ${cab_fixtures}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/fixtures/make_cabinets.sh
    COMMENT "Cabinet fixtures (gcab)")
add_custom_target(update_cab_fixtures DEPENDS ${cab_fixtures}/mszip.cab)

kelvra_add_gtest(update_compressed_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/cab_extract_test.cpp ${CMAKE_CURRENT_LIST_DIR}/szdd_test.cpp
    LIBS kelvra_update kelvra_szdd_writer)
add_dependencies(update_compressed_test update_cab_fixtures)

# The restart hand-off and the carried programs.
set(patch_fixtures ${CMAKE_BINARY_DIR}/bin/patch_fixtures)
add_custom_command(
    OUTPUT ${patch_fixtures}/binary.pat
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/fixtures/make_patches.sh ${patch_fixtures}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/fixtures/make_patches.sh
    COMMENT "Patch fixtures (bsdiff)")
add_custom_target(update_patch_fixtures DEPENDS ${patch_fixtures}/binary.pat)

foreach(helper exit_code_helper restart_fixture_app)
    add_executable(${helper} ${CMAKE_CURRENT_LIST_DIR}/${helper}.cpp)
    target_link_libraries(${helper} PRIVATE kelvra_update kelvra_test_support)
    kelvra_warnings(${helper})
    set_target_properties(${helper} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endforeach()

if(WIN32)
    enable_language(RC)
endif()
include(${PROJECT_SOURCE_DIR}/cmake/KelvraCarriedPrograms.cmake)
kelvra_add_gtest(update_restart_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/restart_handoff_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/carried_programs_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/restart_program_test.cpp
    LIBS kelvra_update kelvra_headless kelvra_restart_program)
kelvra_carry_update_programs(update_restart_test)
add_dependencies(update_restart_test update_patch_fixtures exit_code_helper
                 restart_fixture_app kusetup patcher)
