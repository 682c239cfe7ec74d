#include <gtest/gtest.h>

#include "ui/error_box.h"

namespace kelvra::ui {
namespace {

TEST(ErrorBoxText, AppendsFullStopOnlyWhenMissing) {
    struct Case {
        const char* message;
        const char* text;
    } cases[] = {
        {"Access denied", "Access denied."},
        {"Access denied.", "Access denied."},
        {"Ends in blank ", "Ends in blank ."},
        {"Question?", "Question?."},
        {"无法连接", "无法连接."},
        {"", "."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ErrorBoxText(c.message), c.text) << c.message;
}

}  // namespace
}  // namespace kelvra::ui
