# The engine component: core, transport, version check, sign-in prompt and the Internet
# session backends (WinInet on Windows; libcurl and GNetworkMonitor on Linux).
target_sources(kelvra_update PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/update_engine.cpp
    ${CMAKE_CURRENT_LIST_DIR}/update_transport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/version_check.cpp
    ${CMAKE_CURRENT_LIST_DIR}/login_prompt.cpp
    ${CMAKE_CURRENT_LIST_DIR}/local_files.cpp
)
target_link_libraries(kelvra_update PUBLIC kelvra_ui)
if(WIN32)
    target_sources(kelvra_update PRIVATE ${CMAKE_CURRENT_LIST_DIR}/win32/internet_session_wininet.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/win32/output_file_win32.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/win32/temp_directory_win32.cpp)
    target_link_libraries(kelvra_update PUBLIC wininet)
else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
    pkg_check_modules(GIO REQUIRED IMPORTED_TARGET gio-2.0)
    target_sources(kelvra_update PRIVATE ${CMAKE_CURRENT_LIST_DIR}/posix/internet_session_curl.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/posix/curl_library.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/posix/output_file_posix.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/posix/temp_directory_posix.cpp)
    # libcurl is loaded at run time when the first session opens; only its headers are used
    # here.
    target_include_directories(kelvra_update PRIVATE ${CURL_INCLUDE_DIRS})
    target_link_libraries(kelvra_update PUBLIC PkgConfig::GIO ${CMAKE_DL_LIBS})
endif()
