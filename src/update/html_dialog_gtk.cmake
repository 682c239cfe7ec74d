# The HTML dialog of the Linux programs: a WebKitGTK window they install as the update
# engine's dialog. A library of its own, so the engine itself does not depend on a browser.
if(NOT WIN32)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(KELVRA_UPDATE_WEBKIT REQUIRED IMPORTED_TARGET webkit2gtk-4.1)
    add_library(kelvra_update_gtk STATIC ${CMAKE_CURRENT_LIST_DIR}/gtk/html_dialog_gtk.cpp)
    target_link_libraries(kelvra_update_gtk PUBLIC kelvra_update PkgConfig::KELVRA_UPDATE_WEBKIT)
    kelvra_warnings(kelvra_update_gtk)
endif()
