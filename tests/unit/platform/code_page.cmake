# The ANSI code page under a Chinese locale (936): zh_CN.GBK natively, zh_CN.UTF-8 under Wine.
if(WIN32)
    set(code_page_locale "LC_ALL=zh_CN.UTF-8")
else()
    set(code_page_locale "LC_ALL=zh_CN.GBK")
endif()
kelvra_add_gtest(code_page_test SOURCES code_page_test.cpp LIBS kelvra_platform
                 ENVIRONMENT "${code_page_locale}")
