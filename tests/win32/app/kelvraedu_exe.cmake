# The real Windows executable under Wine: login window, settings through the dialog seam,
# single instance, version resource and manifest.
if(TARGET kelvraedu)
    kelvra_add_gtest(kelvraedu_exe_test
        SOURCES kelvraedu_exe_test.cpp screenshot.cpp
        LIBS kelvra_ui kelvra_platform gdi32 version)
    add_dependencies(kelvraedu_exe_test kelvraedu)
    math(EXPR version_ms "(${PROJECT_VERSION_MAJOR} << 16) | ${PROJECT_VERSION_MINOR}")
    math(EXPR version_ls "(${PROJECT_VERSION_PATCH} << 16) | ${PROJECT_VERSION_TWEAK}")
    target_compile_definitions(kelvraedu_exe_test PRIVATE KELVRA_VERSION_TEXT="${PROJECT_VERSION}"
                               KELVRA_VERSION_MS=${version_ms}u KELVRA_VERSION_LS=${version_ls}u)
    # One client at a time: the single-instance mutex is per session.
    set_tests_properties(kelvraedu_exe_test PROPERTIES RUN_SERIAL ON)
endif()
