kelvra_add_gtest(update_release_signature_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/release_signature_test.cpp
    LIBS kelvra_release_signature)
