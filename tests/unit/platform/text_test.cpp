#include <gtest/gtest.h>

#include "platform/text.h"

namespace kelvra::text {
namespace {

TEST(Utf8Utf16, RoundTripsEveryPlane) {
    const std::string samples[] = {"", "ascii", "云平台地址", "Grüße", "𝄞 clef 😀", "a\0b"};
    for (const std::string& s : samples)
        EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(s)), s) << s;
    EXPECT_EQ(Utf8ToUtf16("😀").size(), 2u);
    EXPECT_EQ(Utf16Length("云平台😀"), 5u);
}

TEST(Utf8Utf16, IllFormedInputBecomesReplacementAndMakesProgress) {
    struct Case {
        std::string in;
        std::u16string out;
    } cases[] = {
        {"\xFF", u"\uFFFD"},
        {"a\xC3", u"a\uFFFD"},                              // truncated sequence at the end
        {"\xE4\xBD", u"\uFFFD\uFFFD"},                      // truncated three-byte sequence
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8ToUtf16(c.in), c.out);
    // A lone surrogate in UTF-16 becomes U+FFFD in UTF-8.
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Trim, BlanksAndControlCharacters) {
    EXPECT_EQ(Trim(std::string_view(" \t\x01 key = v \r\n")), "key = v");
    EXPECT_EQ(Trim(std::string_view("\x7F")), "\x7F");  // DEL is above U+0020
    EXPECT_EQ(Trim(std::string_view("   ")), "");
    EXPECT_EQ(Trim(std::u16string_view(u"\u3000x\u3000")),
              u"\u3000x\u3000");  // ideographic space kept
}

TEST(EqualsIgnoreCase, LettersOfSeveralScripts) {
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    } cases[] = {
        {"SYSTEM", "system", true}, {"WebRoot", "webroot", true}, {"ÄÖÜ", "äöü", true},
        {"ΑΒΓ", "αβγ", true},       {"ДОМ", "дом", true},         {"云", "云", true},
        {"a", "b", false},          {"ab", "a", false},           {"[", "{", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.equal) << c.a << " " << c.b;
}

}  // namespace
}  // namespace kelvra::text
