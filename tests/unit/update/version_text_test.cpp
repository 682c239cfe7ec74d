#include <gtest/gtest.h>

#include "update/version_info.h"

namespace kelvra::update {
namespace {

TEST(VersionText, ParsesAsTheRulesSay) {
    struct {
        const char* text;
        const char* dotted;  // nullptr: some word invalid
    } cases[] = {
        {"2.1.5.0", "2.1.5.0"},
        {"2,1,5,0", "2.1.5.0"},
        {"2.1", "2.1.0.0"},
        {"3", "3.0.0.0"},
        {"1.2.3", "1.2.3.0"},
        {"2.1.5.0,1", "2.1.0.0"},
        {"65537.0.0.0", "1.0.0.0"},
        {" 7.$A.0x10.1", "7.10.16.1"},
        {"1.2.3.4.5", nullptr},
        {"abc", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        const VersionWords v = ParseVersionText(c.text);
        if (c.dotted)
            EXPECT_EQ(VersionToText(v), c.dotted) << c.text;
        else
            EXPECT_TRUE(v.AnyInvalid()) << c.text;
    }
    EXPECT_EQ(ParseVersionText("1.2.3.4.5").high, 0x00010002u);
    EXPECT_EQ(ParseVersionText("abc").high, kInvalidVersionWord);
}

TEST(VersionText, ComparesSigned) {
    EXPECT_TRUE(IsNewerVersion(ParseVersionText("2.1.5.0"), ParseVersionText("2.1.4.0")));
    EXPECT_FALSE(IsNewerVersion(ParseVersionText("2.1.5.0"), ParseVersionText("2.1.5.0")));
    EXPECT_TRUE(IsNewerVersion(ParseVersionText("2.2"), ParseVersionText("2.1.9.9")));
    // An invalid local word (all bits set) is -1 and so older than anything.
    EXPECT_TRUE(IsNewerVersion(ParseVersionText("0.0.0.1"), VersionWords{}));
}

}  // namespace
}  // namespace kelvra::update
