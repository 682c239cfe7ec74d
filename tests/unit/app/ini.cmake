# The settings file class, with code page 936: zh_CN.GBK natively; under Wine zh_CN.UTF-8
# makes the ANSI code page 936.
if(WIN32)
    set(ini_locale "LC_ALL=zh_CN.UTF-8")
else()
    set(ini_locale "LC_ALL=zh_CN.GBK")
endif()
kelvra_add_gtest(ini_store_test SOURCES ini_store_test.cpp LIBS kelvra_app
                 ENVIRONMENT "${ini_locale}")
