#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/code_page.h"
#include "platform/text.h"
#ifndef _WIN32
#include <iconv.h>

#include "platform/posix/code_page_posix.h"
#endif

namespace kelvra::platform {
namespace {

// "云平台.example" and its GBK bytes.
const std::u16string kChinese = u"云平台.example";
const std::string kGbk = "\xD4\xC6\xC6\xBD\xCC\xA8.example";

// Shared by the system code page (936 in this test's locale) and the iconv GBK one.
void ExpectGbk(const CodePage& page) {
    EXPECT_EQ(page.Id(), 936u);
    EXPECT_EQ(page.ToUtf16(kGbk), kChinese);
    EXPECT_EQ(page.FromUtf16(kChinese), kGbk);
    EXPECT_EQ(page.FromUtf16(u""), "");
    EXPECT_EQ(page.ToUtf16(""), u"");
    // An emoji outside the code page: each of its two UTF-16 code units becomes '?'.
    EXPECT_EQ(page.FromUtf16(u"云\U0001F600x"), "\xD4\xC6??x");
    // A character outside GBK (Hangul syllable) becomes '?' too.
    EXPECT_EQ(page.FromUtf16(u"a\uD55Cb"), "a?b");
    // Plain ASCII passes unchanged, including controls.
    EXPECT_EQ(page.ToUtf16(std::string("a\r\n\x01\0z", 6)), std::u16string(u"a\r\n\x01\0z", 6));
}

TEST(CodePage, SystemCodePageIsGbkUnderChineseLocale) {
    ExpectGbk(SystemCodePage());
}

TEST(CodePage, SystemCodePageNeverFailsOnBadBytes) {
    const CodePage& page = SystemCodePage();
    // A lead byte without its trail byte at the end, and a lone 0x80/0xFF.
    const std::u16string out = page.ToUtf16("ab\xD4");
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(out.substr(0, 2), u"ab");
    EXPECT_NE(out[2], u'\xD4');
    // A lone surrogate is not a character of the code page.
    const std::string bytes =
        page.FromUtf16(std::u16string(u"a\xD800"
                                      u"b",
                                      3));
    EXPECT_EQ(bytes.front(), 'a');
    EXPECT_EQ(bytes.back(), 'b');
}

#ifndef _WIN32
TEST(IconvCodePage, GbkConvertsBothWays) {
    ExpectGbk(*MakeIconvCodePage("GBK"));
}

TEST(IconvCodePage, UndecodableBytesBecomeReplacementCharacter) {
    const auto gbk = MakeIconvCodePage("GBK");
    EXPECT_EQ(gbk->ToUtf16("ab\xD4"), u"ab\uFFFD");
    EXPECT_EQ(gbk->ToUtf16("\xFFz"), u"\uFFFDz");
    const auto utf8 = MakeIconvCodePage("UTF-8");
    EXPECT_EQ(utf8->ToUtf16("a\xC3(b"), u"a\uFFFD(b");
    EXPECT_EQ(utf8->FromUtf16(u"云\U0001F600"), "\xE4\xBA\x91\xF0\x9F\x98\x80");
    const auto ascii = MakeIconvCodePage("ANSI_X3.4-1968");
    EXPECT_EQ(ascii->FromUtf16(u"é1"), "?1");
}

TEST(IconvCodePage, Gb18030KeepsItsOwnConversion) {
    const auto page = MakeIconvCodePage("GB18030");
    EXPECT_EQ(page->Id(), 936u);
    // GB18030 holds every character: the emoji gets its four-byte form, not '?'.
    EXPECT_EQ(page->FromUtf16(u"\U0001F600").size(), 4u);
    EXPECT_EQ(page->ToUtf16(page->FromUtf16(u"\U0001F600")), u"\U0001F600");
}

TEST(IconvCodePage, IdsOfCommonCodesets) {
    const struct {
        const char* codeset;
        unsigned id;
    } cases[] = {
        {"UTF-8", 65001}, {"utf8", 65001},    {"GBK", 936},          {"GB2312", 936},
        {"GB18030", 936}, {"CP1252", 1252},   {"ISO-8859-1", 28591}, {"ANSI_X3.4-1968", 20127},
        {"BIG5", 950},    {"SHIFT_JIS", 932}, {"CP932", 932},        {"EUC-KR", 949},
        {"CP949", 949},   {"KOI8-R", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codeset);
        EXPECT_EQ(WindowsCodePageId(c.codeset), c.id);
        EXPECT_EQ(MakeIconvCodePage(c.codeset)->Id(), c.id);
    }
}

// The converter itself, as the oracle for text it takes without error.
std::optional<std::u16string> IconvToUtf16(const char* codeset, const std::string& bytes) {
    iconv_t cd = iconv_open("UTF-16LE", codeset);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string le(bytes.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t in_left = bytes.size();
    char* out = le.data();
    std::size_t out_left = le.size();
    const std::size_t r = iconv(cd, &in, &in_left, &out, &out_left);
    iconv_close(cd);
    if (r == static_cast<std::size_t>(-1))
        return std::nullopt;
    std::u16string units;
    for (std::size_t i = 0; i + 1 < le.size() - out_left; i += 2)
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(le[i]) |
                                              (static_cast<unsigned char>(le[i + 1]) << 8)));
    return units;
}

TEST(IconvCodePage, TextOfBytesBelow0x80ReadsAsTheConverterReadsIt) {
    std::string every_ascii_byte;
    for (int c = 0; c < 0x80; ++c)
        every_ascii_byte.push_back(static_cast<char>(c));
    const struct {
        const char* codeset;
        std::string bytes;
    } cases[] = {
        {"UTF-8", every_ascii_byte},
        {"GBK", every_ascii_byte},
        {"CP1252", every_ascii_byte},
        {"ISO-8859-1", every_ascii_byte},
        {"ANSI_X3.4-1968", every_ascii_byte},
        {"BIG5", every_ascii_byte},
        {"EUC-KR", every_ascii_byte},
        // Shift_JIS as glibc reads it: 0x5C is the yen sign and 0x7E the overline.
        {"SHIFT_JIS", "C:\\dir~1"},
        // Stateful: the escape sequences switch to JIS X 0208 ("\x1B$B0!" is one kanji).
        {"ISO-2022-JP", "a\x1B$B0!\x1B(Bb"},
        // Two bytes per character.
        {"UTF-16LE", std::string("a\0b\0", 4)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codeset);
        const std::optional<std::u16string> expected = IconvToUtf16(c.codeset, c.bytes);
        ASSERT_TRUE(expected.has_value());
        EXPECT_EQ(MakeIconvCodePage(c.codeset)->ToUtf16(c.bytes), *expected);
    }
    // The same code sets still convert text with bytes of 0x80 and above.
    EXPECT_EQ(MakeIconvCodePage("CP1252")->ToUtf16("caf\xE9 \x80"), u"caf\u00E9 \u20AC");
    EXPECT_EQ(MakeIconvCodePage("UTF-8")->ToUtf16("x\xE4\xBA\x91"), u"x\u4E91");
}

TEST(IconvCodePage, UnknownCodesetNeverThrows) {
    const auto page = MakeIconvCodePage("NO-SUCH-CODESET");
    EXPECT_EQ(page->Id(), 0u);
    EXPECT_NO_THROW(page->ToUtf16("abc"));
    EXPECT_NO_THROW(page->FromUtf16(u"abc"));
}
#endif

}  // namespace
}  // namespace kelvra::platform
