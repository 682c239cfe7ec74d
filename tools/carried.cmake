# The carried programs: the restart program "kusetup" (packed as "kusetup.ex_") and the
# patch program "patcher", built into the binary folder. Executables carry them through
# kelvra_carry_update_programs() from cmake/KelvraCarriedPrograms.cmake.
add_library(kelvra_tool_common STATIC common/tool_common.cpp)
target_include_directories(kelvra_tool_common PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/common)
target_link_libraries(kelvra_tool_common PUBLIC kelvra_update)
kelvra_warnings(kelvra_tool_common)

add_library(kelvra_bspatch STATIC patcher/bunzip.cpp patcher/bspatch.cpp)
target_include_directories(kelvra_bspatch PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/patcher)
kelvra_warnings(kelvra_bspatch)

add_executable(patcher patcher/patcher_main.cpp)
target_link_libraries(patcher PRIVATE kelvra_bspatch kelvra_tool_common)
kelvra_warnings(patcher)

add_library(kelvra_restart_program STATIC restart/restart_program.cpp
                                          restart/restart_${KELVRA_PLATFORM}.cpp)
target_include_directories(kelvra_restart_program PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/restart)
target_link_libraries(kelvra_restart_program PUBLIC kelvra_tool_common)
kelvra_warnings(kelvra_restart_program)
add_executable(kusetup restart/restart_main.cpp)
target_link_libraries(kusetup PRIVATE kelvra_restart_program)
kelvra_warnings(kusetup)
if(WIN32)
    set_target_properties(kusetup PROPERTIES WIN32_EXECUTABLE ON)
    target_link_options(kusetup PRIVATE -municode)
    target_link_libraries(kusetup PRIVATE shell32)
endif()
set_target_properties(patcher kusetup PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
# Every update unpacks the restart program and every executable carries it: it goes without
# symbols (a tenth of its size on Linux, half on Windows).
if(CMAKE_STRIP)
    add_custom_command(TARGET kusetup POST_BUILD COMMAND ${CMAKE_STRIP} --strip-all
                                                         $<TARGET_FILE:kusetup>)
endif()

set(packed ${CMAKE_BINARY_DIR}/bin/kusetup.ex_)
add_custom_command(
    OUTPUT ${packed}
    COMMAND ${KELVRA_SZDD_PACK} $<TARGET_FILE:kusetup> ${packed} kusetup.exe
    DEPENDS kusetup ${KELVRA_SZDD_PACK_TARGET}
    COMMENT "Packing the restart program (SZDD)")
add_custom_target(kelvra_carried_programs ALL DEPENDS ${packed} patcher)
