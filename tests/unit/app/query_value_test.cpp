#include <gtest/gtest.h>

#include "app/host_helpers.h"

namespace kelvra::app {
namespace {

TEST(GetQueryValue, Extraction) {
    struct Case {
        const char* key;
        const char* text;
        const char* expected;
    } cases[] = {
        {"&cwidth=", "http://h/?dd&cwidth=800&cheight=600", "800"},
        {"&cheight=", "http://h/?dd&cwidth=800&cheight=600", "600"},
        {"&cheight=", "http://h/?dd&cwidth=800&cheight=", ""},
        {"&cwidth=", "http://h/?dd&cwidth=80&0&cheight=600", "80"},
        {"&CWIDTH=", "http://h/?dd&cwidth=800", ""},
        {"cwidth", "no such key", ""},
        {"&cwidth=", "&cwidth=1&cwidth=2", "1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetQueryValue(c.key, c.text), c.expected) << c.text;
}

}  // namespace
}  // namespace kelvra::app
