# The setup program of packaging/windows, installed and removed silently under Wine.
if(TARGET kelvraedu AND EXISTS ${PROJECT_SOURCE_DIR}/packaging/windows/CMakeLists.txt)
    kelvra_add_gtest(installer_test
        SOURCES installer_test.cpp setup_support.cpp
        LIBS kelvra_platform shell32 ole32 uuid advapi32)
    target_compile_definitions(installer_test PRIVATE
                               KELVRA_SETUP_NAME="KelvraEduSetup-${PROJECT_VERSION}"
                               KELVRA_VERSION_TEXT="${PROJECT_VERSION}"
                               KELVRA_SETUP_HAS_UPDATER=$<TARGET_EXISTS:updater>)
    add_dependencies(installer_test installer)
    # The client's mutex, the user's programs folder and its classes are per session.
    set_tests_properties(installer_test PROPERTIES RUN_SERIAL ON)
endif()
