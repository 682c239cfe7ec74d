# The Windows client: version resource, manifest, the type library and, once tools/ makes
# them, the update engine's carried programs (RCDATA "UPD" and "UTIL").
# The manifest names the processor architecture of this build.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(KELVRA_MANIFEST_ARCH amd64)
else()
    set(KELVRA_MANIFEST_ARCH x86)
endif()
configure_file(kelvraedu.exe.manifest.in ${CMAKE_CURRENT_BINARY_DIR}/kelvraedu.exe.manifest @ONLY)
# The version resource carries the product version of the build.
configure_file(kelvraedu.rc.in ${CMAKE_CURRENT_BINARY_DIR}/kelvraedu.rc @ONLY)
set(kelvraedu_rc ${CMAKE_CURRENT_BINARY_DIR}/kelvraedu.rc)
add_executable(kelvraedu WIN32 client_main.cpp client_wiring.cpp shell_win32.cpp ${kelvraedu_rc})
target_include_directories(kelvraedu PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}
                                             ${CMAKE_CURRENT_BINARY_DIR})
set_source_files_properties(${kelvraedu_rc} PROPERTIES OBJECT_DEPENDS
                            ${CMAKE_CURRENT_BINARY_DIR}/kelvraedu.exe.manifest)
target_link_libraries(kelvraedu PRIVATE kelvra_ui_win32 kelvra_windows
                                        kelvra_browser kelvra_bridge kelvra_bridge_typelib
                                        kelvra_update)
# The application icon (resource "MAINICON", the class icon of every window), rendered from
# the SVG source at build time.
include(${PROJECT_SOURCE_DIR}/packaging/icon.cmake)
add_dependencies(kelvraedu kelvra_icon)
target_include_directories(kelvraedu PRIVATE ${KELVRA_ICON_DIR})
set_property(SOURCE ${kelvraedu_rc} APPEND PROPERTY OBJECT_DEPENDS ${KELVRA_ICON_ICO})
set_target_properties(kelvraedu PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
kelvra_warnings(kelvraedu)
if(EXISTS ${PROJECT_SOURCE_DIR}/cmake/KelvraCarriedPrograms.cmake
   AND EXISTS ${PROJECT_SOURCE_DIR}/tools/carried.cmake)
    include(${PROJECT_SOURCE_DIR}/cmake/KelvraCarriedPrograms.cmake)
    kelvra_carry_update_programs(kelvraedu)
endif()
