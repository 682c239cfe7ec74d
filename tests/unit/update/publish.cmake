# The publisher's tool against the update engine (a host program: Linux tree only).
if(NOT CMAKE_CROSSCOMPILING AND NOT WIN32)
    math(EXPR kelvra_next_build "${PROJECT_VERSION_TWEAK} + 1")
    kelvra_add_gtest(update_publish_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/publish_test.cpp
        LIBS kelvra_update_engine_fixture kelvra_release_signature)
    target_compile_definitions(update_publish_test PRIVATE
        KELVRA_TEST_KEY="${PROJECT_SOURCE_DIR}/tests/keys/release-test.key"
        KELVRA_NEXT_VERSION=${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${kelvra_next_build})
    # The installed client the engine compares with sits beside the tests.
    add_dependencies(update_publish_test kelvra-publish kelvraedu)
endif()
