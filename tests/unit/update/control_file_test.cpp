// One table of private-profile cases, run against the file reader and the portable reader,
// and under Wine against the real GetPrivateProfileStringW, the oracle they follow.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/error.h"
#include "test_support.h"
#include "update/control_file.h"
#include "update/prefix_expansion.h"
#ifdef _WIN32
#include "platform/win32/wide.h"
#endif

namespace kelvra::update {
namespace {

struct Case {
    const char* name;
    std::string file;
    const char* section;
    const char* key;
    const char* def;
    std::string expected;
};

const std::string kBasic =
    "[Update]\r\n"
    "Date = 10/12/2013 \r\n"
    "quoted=\"  spaced  \"\r\n"
    "single='x'\r\n"
    "mixed=\"x'\r\n"
    "lonequote=\"\r\n"
    "empty=\r\n"
    "noequals\r\n"
    ";comment=hidden\r\n"
    "dup=first\r\n"
    "dup=second\r\n"
    "eq=a=b\r\n"
    "\tTabbed\t=\tv\t\r\n"
    "[update]\r\n"
    "only2=second section\r\n"
    "[ spaced ]\r\n"
    "k=spaced section\r\n"
    "[broken\r\n"
    "k2=after broken header\r\n";

std::vector<Case> Cases() {
    std::string big(3000, 'v');
    return {
        {"case-insensitive names", kBasic, "UPDATE", "DATE", "", "10/12/2013"},
        {"missing key gives default", kBasic, "update", "nothing", "def", "def"},
        {"missing section gives default", kBasic, "files", "count", "0", "0"},
        {"default loses trailing blanks", kBasic, "update", "nothing", "d  ", "d"},
        {"double quotes removed, blanks kept", kBasic, "update", "quoted", "", "  spaced  "},
        {"single quotes removed", kBasic, "update", "single", "", "x"},
        {"mismatched quotes kept", kBasic, "update", "mixed", "", "\"x'"},
        {"lone quote kept", kBasic, "update", "lonequote", "", "\""},
        {"empty value is empty, not default", kBasic, "update", "empty", "def", ""},
        {"line without equals gives default", kBasic, "update", "noequals", "def", "def"},
        {"semicolon line is an ordinary key", kBasic, "update", ";comment", "", "hidden"},
        {"first duplicate key wins", kBasic, "update", "dup", "", "first"},
        {"value keeps later equals signs", kBasic, "update", "eq", "", "a=b"},
        {"tabs trimmed around name and value", kBasic, "update", "tabbed", "", "v"},
        {"second section of same name unseen", kBasic, "update", "only2", "def", "def"},
        {"empty key name finds a nameless line", "[s]\r\n=v\r\n", "s", "", "def", "v"},
        {"empty key name without one gives default", "[s]\r\nk=v\r\n", "s", "", "def", "def"},
        {"long value cut to 2047", "[s]\nk=" + big + "\n", "s", "k", "", big.substr(0, 2047)},
        {"LF line ends", "[s]\nk=v\n", "s", "k", "", "v"},
        {"no final line end", "[s]\nk=v", "s", "k", "", "v"},
        {"keys before any section", "k=v\n[s]\n", "s", "k", "def", "def"},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBF[s]\nk=\xE4\xB8\xAD\n", "s", "k", "",
         "\xE4\xB8\xAD"},
        {"UTF-16LE byte-order mark", std::string("\xFF\xFE[\0s\0]\0\n\0k\0=\0v\0", 16), "s", "k",
         "", "v"},
        {"random bytes read as nothing", std::string("\x01\x9f\xff\x00\x13[", 6), "s", "k", "d",
         "d"},
    };
}

#ifdef _WIN32
std::string SystemProfileString(const std::string& path, const Case& c) {
    using platform::win32::Widen;
    wchar_t buffer[kMaxProfileValue + 1] = {};
    const DWORD n = GetPrivateProfileStringW(Widen(c.section).c_str(), Widen(c.key).c_str(),
                                             Widen(c.def).c_str(), buffer, kMaxProfileValue + 1,
                                             Widen(path).c_str());
    return platform::win32::Narrow(std::wstring_view(buffer, n));
}
#endif

class ControlFileTable : public ::testing::Test {
  protected:
    test::TempDir dir_;
};

TEST_F(ControlFileTable, PlatformReaderFollowsProfileRules) {
    int n = 0;
    for (const Case& c : Cases()) {
        const std::string path = dir_.File(std::to_string(n++).append(".inf"));
        test::WriteBytes(path, c.file);
        auto reader = OpenControlFile(path);
        EXPECT_EQ(reader->ReadString(c.section, c.key, c.def), c.expected) << c.name;
#ifdef _WIN32
        EXPECT_EQ(SystemProfileString(path, c), c.expected) << c.name << " (profile function)";
#endif
    }
}

TEST_F(ControlFileTable, PortableReaderFollowsProfileRules) {
    for (const Case& c : Cases()) {
        auto reader = ControlFileFromBytes(c.file);
        EXPECT_EQ(reader->ReadString(c.section, c.key, c.def), c.expected) << c.name;
    }
}

TEST_F(ControlFileTable, MissingFileGivesDefaults) {
    auto reader = OpenControlFile(dir_.File("none.inf"));
    EXPECT_EQ(reader->ReadString("update", "date", "x"), "x");
    EXPECT_EQ(ReadInteger(*reader, "update", "newchecksum", -1), -1);
    EXPECT_TRUE(ReadFlag(*reader, "file1", "preselect", true));
}

// A reader sees a replaced file at its next read; a hold makes the reads of one step see
// the file as it was at the hold's first read, and the file is looked at again afterwards.
TEST_F(ControlFileTable, ChangedFileIsReadAgainAndHoldsSeeOneState) {
    const std::string path = dir_.File("update.inf");
    test::WriteBytes(path, "[update]\nv=1\n");
    const std::shared_ptr<const ControlFileReader> reader = OpenControlFile(path);
    EXPECT_EQ(reader->ReadString("update", "v", ""), "1");
    test::WriteBytes(path, "[update]\nv=22\n");
    EXPECT_EQ(reader->ReadString("update", "v", ""), "22");
    {
        // Changed before the hold: its first read must not answer from the old copy.
        test::WriteBytes(path, "[update]\nv=333\n");
        const ControlFileHold outer(reader);
        EXPECT_EQ(reader->ReadString("update", "v", ""), "333");
        {
            const ControlFileHold inner(reader);
            test::WriteBytes(path, "[update]\nv=4444\n");
            // The copy read at the first read of the hold answers.
            EXPECT_EQ(reader->ReadString("update", "v", ""), "333");
        }
        EXPECT_EQ(reader->ReadString("update", "w", "none"), "none");
        EXPECT_EQ(reader->ReadString("update", "v", ""), "333");  // the outer hold is open
    }
    EXPECT_EQ(reader->ReadString("update", "v", ""), "4444");
    // A file that disappears gives defaults, and one that appears again is read.
    std::remove(path.c_str());
    EXPECT_EQ(reader->ReadString("update", "v", "gone"), "gone");
    test::WriteBytes(path, "[update]\nv=5\n");
    EXPECT_EQ(reader->ReadString("update", "v", "gone"), "5");
}

TEST(ControlFileTyped, IntegersFlagsAndLines) {
    auto f = ControlFileFromBytes(
        "[files]\ncount=0x100\nhex=$1F\nneg=-12\nbad=12a\nshort=0x\nbig=2147483648\n"
        "all=0xFFFFFFFF\nflag1=1\nflag2=2\nneghex=-0x10\nposhex=+$10\nnegdollar=-$1\n"
        "[action]\nmsg=one\\ntwo\\\\n\n");
    EXPECT_EQ(ReadInteger(*f, "files", "count", 0), 256);
    EXPECT_EQ(ReadInteger(*f, "files", "hex", 0), 31);
    EXPECT_EQ(ReadInteger(*f, "files", "neg", 0), -12);
    EXPECT_EQ(ReadInteger(*f, "files", "bad", 7), 7);
    EXPECT_EQ(ReadInteger(*f, "files", "short", 7), 7);
    EXPECT_EQ(ReadInteger(*f, "files", "big", 7), 7);
    EXPECT_EQ(ReadInteger(*f, "files", "all", 7), -1);
    EXPECT_EQ(ReadInteger(*f, "files", "missing", -1), -1);
    // A sign before a hexadecimal prefix: no number, so the default applies.
    for (const char* key : {"neghex", "poshex", "negdollar"}) {
        EXPECT_EQ(ReadInteger(*f, "files", key, 7), 7) << key;
    }
    EXPECT_TRUE(ReadFlag(*f, "files", "flag1"));
    EXPECT_FALSE(ReadFlag(*f, "files", "flag2", true));
    EXPECT_TRUE(ReadFlag(*f, "files", "missing", true));
    EXPECT_EQ(ReadLines(*f, "action", "msg"), "one\rtwo\\\r");
}

// Line ends and embedded NULs, read by the portable reader.
TEST(ControlFilePortable, LineEndsAndEmbeddedNuls) {
    const struct {
        const char* name;
        std::string file;
        const char* key;
        const char* expected;
    } cases[] = {
        {"CR alone ends lines when no LF follows", "[s]\rk=v\rz=w", "z", "w"},
        {"CR inside an LF line belongs to the value", "[s]\nk=v\rx=y\n", "k", "v\rx=y"},
        {"so the text after that CR is no key", "[s]\nk=v\rx=y\n", "x", "def"},
        {"after the last LF, CR ends lines", "[s]\nk=v\rz=w", "z", "w"},
        {"a name ends at a NUL", std::string("[s]\nk\0x=v\n", 10), "k", "v"},
        {"a value ends at a NUL", std::string("[s]\nk=v\0w\n", 10), "k", "v"},
        {"NULs in both name and value", std::string("[s]\nk\0a=v\0w\n", 12), "k", "v"},
        {"a NUL before the equals sign only", std::string("[s]\nk\0a=vw\n", 11), "k", "vw"},
        {"a section name ends at a NUL", std::string("[s\0t]\nk=v\n", 11), "k", "v"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ControlFileFromBytes(c.file)->ReadString("s", c.key, "def"), c.expected);
    }
}

TEST(ControlFileBadInput, HugeFilesStayBounded) {
    std::string many;
    for (int i = 0; i < 100000; ++i) {
        many.append("[s").append(std::to_string(i)).append("]\nk=");
        many.append(std::to_string(i)).append("\n");
    }
    auto f = ControlFileFromBytes(many);
    EXPECT_EQ(f->ReadString("S99999", "K", ""), "99999");
    // The same with CR alone as the line end: each line is found once, not searched for again
    // from every line.
    std::string cr_only = many;
    std::replace(cr_only.begin(), cr_only.end(), '\n', '\r');
    EXPECT_EQ(ControlFileFromBytes(cr_only)->ReadString("S99999", "K", ""), "99999");
    std::string line = "[s]\nk=";
    line.append(10 * 1024 * 1024, 'x').append("\n");
    auto g = ControlFileFromBytes(line);
    EXPECT_EQ(g->ReadString("s", "k", "").size(), 2047u);
}

TEST(PrefixExpansion, TokensAndNormalisation) {
    PrefixDirectories d;
    d.application = "C:\\Kelvra";
    d.windows = "C:\\";
    d.temp = "\\\\srv\\x";
    auto convert = [&](const std::string& n) { return BaseConvertPrefix(n, d, '\\'); };
    EXPECT_EQ(ExpandPrefixes("{app}\\client.exe", nullptr, convert), "C:\\Kelvra\\client.exe");
    EXPECT_EQ(ExpandPrefixes("{APP}client.exe", nullptr, convert), "C:\\Kelvraclient.exe");
    EXPECT_EQ(ExpandPrefixes("{WIN}", nullptr, convert), "C:\\.");
    EXPECT_EQ(ExpandPrefixes("{TMP}", nullptr, convert), "\\\\srv\\x\\.");
    EXPECT_EQ(ExpandPrefixes("{NONE}", nullptr, convert), ".");
    EXPECT_EQ(ExpandPrefixes("{APP", nullptr, convert), "{APP");
    EXPECT_EQ(ExpandPrefixes("{a{APP}", nullptr, convert), ".");
    EXPECT_THROW(ExpandPrefixes("{LAD}", nullptr, convert), Error);
    auto handler = [](std::string& t) { t = "{APP}\\x"; };
    EXPECT_EQ(ExpandPrefixes("ignored", handler, convert), "C:\\Kelvra\\x");
    auto self = [](const std::string&) { return std::string("{A}"); };
    EXPECT_THROW(ExpandPrefixes("{A}", nullptr, self), Error);
}

}  // namespace
}  // namespace kelvra::update
