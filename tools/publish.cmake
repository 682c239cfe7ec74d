# The publisher's tool kelvra-publish, a host program: built in the Linux tree only, it
# publishes the client of any build tree (Windows or Linux).
if(NOT CMAKE_CROSSCOMPILING AND NOT WIN32)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(GCAB REQUIRED IMPORTED_TARGET libgcab-1.0)
    add_executable(kelvra-publish publish/publish_main.cpp publish/build_tree.cpp
                                  publish/release_key.cpp publish/release_writer.cpp
                                  publish/cabinet_writer.cpp publish/apt_repository.cpp
                                  publish/host_command.cpp)
    target_link_libraries(kelvra-publish PRIVATE kelvra_release_signature kelvra_update
                                                 PkgConfig::GCAB)
    set_target_properties(kelvra-publish PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
    kelvra_warnings(kelvra-publish)
endif()
