kelvra_add_gtest(whiteboard_test
    SOURCES whiteboard_test.cpp
    LIBS kelvra_app)
