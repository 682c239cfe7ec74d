# The real Windows executable under Wine: login window, settings through the dialog seam,
# single instance, version resource and manifest.
if(TARGET kelvraedu)
    kelvra_add_gtest(kelvraedu_exe_test
        SOURCES kelvraedu_exe_test.cpp screenshot.cpp
        LIBS kelvra_ui kelvra_platform gdi32 version)
    add_dependencies(kelvraedu_exe_test kelvraedu)
    # One client at a time: the single-instance mutex is per session.
    set_tests_properties(kelvraedu_exe_test PROPERTIES RUN_SERIAL ON)
endif()
