#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "app/ini_store.h"
#include "platform/code_page.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "test_support.h"

namespace kelvra::app {
namespace {

using platform::SystemCodePage;
using platform::SystemFileSystem;

// The test runs with code page 936 (GBK): zh_CN.GBK natively, zh_CN.UTF-8 under Wine.
std::string ReadWebRoot(const std::string& path, const std::string& fallback = "dflt") {
    TIniStore ini(path, true, SystemFileSystem(), SystemCodePage());
    return ini.ReadString("SYSTEM", "webroot", fallback);
}

struct ReadCase {
    const char* name;
    std::string bytes;
    std::string expected;
};

TEST(IniStore, ReadRules) {
    ASSERT_EQ(SystemCodePage().Id(), 936u);
    const ReadCase cases[] = {
        {"plain", "[SYSTEM]\r\nwebroot=a.example\r\n", "a.example"},
        {"empty value is not the default", "[SYSTEM]\r\nwebroot=\r\n", ""},
        {"case and blanks", "[system]\r\n  WebRoot  =  b.example:8080/x \t\r\n",
         "b.example:8080/x"},
        {"section name trimmed", "[ System ]\nwebroot=c\n", "c"},
        {"no SYSTEM section", "[OTHER]\r\nwebroot=x\r\n", "dflt"},
        {"no key", "[SYSTEM]\r\nother=x\r\n", "dflt"},
        {"empty file", "", "dflt"},
        {"before any section", "webroot=x\r\n[SYSTEM]\r\n", "dflt"},
        {"comment skipped", "[SYSTEM]\r\n;webroot=x\r\nwebroot=y\r\n", "y"},
        {"indented comment skipped", "[SYSTEM]\r\n   ; webroot=x\r\nwebroot=y\r\n", "y"},
        {"LF only", "[SYSTEM]\nwebroot=lf\n", "lf"},
        {"CR only", "[A]\rk=1\r[SYSTEM]\rwebroot=cr\r", "cr"},
        {"mixed endings", "[A]\r\n\r\r\n[SYSTEM]\n\rwebroot=m", "m"},
        {"first '=' splits", "[SYSTEM]\r\nwebroot = a=b = c\r\n", "a=b = c"},
        {"first key wins", "[SYSTEM]\r\nwebroot=one\r\nWEBROOT=two\r\n", "one"},
        {"first section wins", "[SYSTEM]\r\nx=1\r\n[system]\r\nwebroot=two\r\n", "dflt"},
        {"duplicate section, first has it", "[SYSTEM]\r\nwebroot=1\r\n[SYSTEM]\r\nwebroot=2\r\n",
         "1"},
        {"line without '=' is no key", "[SYSTEM]\r\nwebroot\r\nwebroot=v\r\n", "v"},
        {"bracket line not closed", "[SYSTEM\r\nwebroot=v\r\n", "dflt"},
        {"control chars trimmed", "[SYSTEM]\x01\r\n\x1fwebroot=v\x7f\x02\r\n", "v\x7f"},
        {"UTF-8 BOM", "\xEF\xBB\xBF[SYSTEM]\r\nwebroot=\xE4\xBA\x91\r\n", "\xE4\xBA\x91"},
        {"UTF-16 LE", std::string("\xFF\xFE[\0S\0]\0\n\0w\0e\0b\0r\0o\0o\0t\0=\0v\0", 28), "dflt"},
        {"GBK", "[SYSTEM]\r\nwebroot=\xD4\xC6\r\n", "\xE4\xBA\x91"},
    };
    test::TempDir dir;
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("sysparams.ini");
        test::WriteBytes(path, c.bytes);
        EXPECT_EQ(ReadWebRoot(path), c.expected);
    }
}

TEST(IniStore, Utf16WithOddTrailingByte) {
    test::TempDir dir;
    const std::string path = dir.File("u.ini");
    const std::string le("\xFF\xFE[\0S\0Y\0S\0T\0E\0M\0]\0\n\0w\0e\0b\0r\0o\0o\0t\0=\0\x91\x4E\x01",
                         39);
    test::WriteBytes(path, le);
    EXPECT_EQ(ReadWebRoot(path), "\xE4\xBA\x91");
}

struct RoundTrip {
    const char* name;
    std::string bytes;     // as found
    std::string expected;  // after WriteString("SYSTEM","webroot","new") + UpdateFile
};

std::string Le(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}
std::string Be(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) {
        out.push_back(static_cast<char>(c >> 8));
        out.push_back(static_cast<char>(c & 0xFF));
    }
    return out;
}

TEST(IniStore, UpdateFileKeepsEncodingAndRewritesLines) {
    const RoundTrip cases[] = {
        {"UTF-8 BOM", "\xEF\xBB\xBF; note\r\n[SYSTEM]\r\nwebroot = old\r\n",
         "\xEF\xBB\xBF[SYSTEM]\r\nwebroot=new\r\n\r\n"},
        {"UTF-16 LE", "\xFF\xFE" + Le(u"[SYSTEM]\nwebroot=old\n[云]\nk=值\n"),
         "\xFF\xFE" + Le(u"[SYSTEM]\r\nwebroot=new\r\n\r\n[云]\r\nk=值\r\n\r\n")},
        {"UTF-16 BE", "\xFE\xFF" + Be(u"[SYSTEM]\rwebroot=old\r[云]\rk=值\r"),
         "\xFE\xFF" + Be(u"[SYSTEM]\r\nwebroot=new\r\n\r\n[云]\r\nk=值\r\n\r\n")},
        {"ANSI, comment and blanks dropped, order kept",
         "top=1\r\n[A]\r\n; c\r\n\r\n a = 1 \r\nraw "
         "line\r\n[SYSTEM]\r\nWEBROOT=old\r\n[B]\r\nb=2\r\n",
         "[A]\r\na=1\r\nraw line\r\n\r\n[SYSTEM]\r\nwebroot=new\r\n\r\n[B]\r\nb=2\r\n\r\n"},
        {"key appended at section end", "[SYSTEM]\r\nx=1\r\n[B]\r\n",
         "[SYSTEM]\r\nx=1\r\nwebroot=new\r\n\r\n[B]\r\n\r\n"},
        {"section appended at file end", "[B]\r\nb=2\r\n",
         "[B]\r\nb=2\r\n\r\n[SYSTEM]\r\nwebroot=new\r\n\r\n"},
        {"duplicate sections kept, first updated",
         "[SYSTEM]\r\nwebroot=1\r\n[SYSTEM]\r\nwebroot=2\r\n",
         "[SYSTEM]\r\nwebroot=new\r\n\r\n[SYSTEM]\r\nwebroot=2\r\n\r\n"},
    };
    test::TempDir dir;
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("sysparams.ini");
        test::WriteBytes(path, c.bytes);
        {
            TIniStore ini(path, true, SystemFileSystem(), SystemCodePage());
            ini.WriteString("SYSTEM", "webroot", "new");
            EXPECT_EQ(ini.ReadString("system", "WEBROOT", "x"), "new");
            ini.UpdateFile();
        }
        EXPECT_EQ(test::ReadBytes(path), c.expected);
    }
}

TEST(IniStore, Utf8BomFileWrittenBackByteForByte) {
    test::TempDir dir;
    const std::string path = dir.File("sysparams.ini");
    const std::string bytes = "\xEF\xBB\xBF[SYSTEM]\r\nwebroot=\xE4\xBA\x91.example\r\n\r\n";
    test::WriteBytes(path, bytes);
    TIniStore ini(path, true, SystemFileSystem(), SystemCodePage());
    ini.UpdateFile();
    EXPECT_EQ(test::ReadBytes(path), bytes);
}

TEST(IniStore, AnsiChineseFileRoundTripsAndUnmappableBecomesQuestionMark) {
    test::TempDir dir;
    const std::string path = dir.File("sysparams.ini");
    // "[SYSTEM]\r\nwebroot=云平台.example\r\n" in GBK.
    const std::string gbk = "[SYSTEM]\r\nwebroot=\xD4\xC6\xC6\xBD\xCC\xA8.example\r\n";
    test::WriteBytes(path, gbk);
    {
        TIniStore ini(path, true, SystemFileSystem(), SystemCodePage());
        EXPECT_EQ(ini.ReadString("SYSTEM", "webroot", ""), "云平台.example");
        ini.UpdateFile();
    }
    EXPECT_EQ(test::ReadBytes(path), gbk + "\r\n");
    {
        TIniStore ini(path, true, SystemFileSystem(), SystemCodePage());
        ini.WriteString("SYSTEM", "webroot", "云\xF0\x9F\x98\x80");
        ini.UpdateFile();
    }
    EXPECT_EQ(test::ReadBytes(path), "[SYSTEM]\r\nwebroot=\xD4\xC6??\r\n\r\n");
}

TEST(IniStore, MissingFileReadsEmptyAndIsNeverCreated) {
    test::TempDir dir;
    const std::string path = dir.File("sysparams.ini");
    {
        TIniStore ini(path, true, SystemFileSystem(), SystemCodePage());
        EXPECT_EQ(ini.ReadString("SYSTEM", "webroot", "fallback"), "fallback");
        ini.WriteString("SYSTEM", "webroot", "changed");
        EXPECT_EQ(ini.ReadString("SYSTEM", "webroot", "fallback"), "changed");
    }  // destroyed without UpdateFile
    EXPECT_FALSE(test::PathExists(path));
}

TEST(IniStore, DestroyWithoutUpdateLeavesFileUnchanged) {
    test::TempDir dir;
    const std::string path = dir.File("sysparams.ini");
    const std::string bytes = "; keep\r\n[SYSTEM]\r\nwebroot = old\r\n";
    test::WriteBytes(path, bytes);
    {
        TIniStore ini(path, true, SystemFileSystem(), SystemCodePage());
        ini.WriteString("SYSTEM", "webroot", "new");
    }
    EXPECT_EQ(test::ReadBytes(path), bytes);
}

TEST(IniStore, NewFileIsWrittenInAnsiWithoutMark) {
    test::TempDir dir;
    const std::string path = dir.File("sysparams.ini");
    TIniStore ini(path, true, SystemFileSystem(), SystemCodePage());
    ini.WriteString("SYSTEM", "webroot", "云");
    ini.UpdateFile();
    EXPECT_EQ(test::ReadBytes(path), "[SYSTEM]\r\nwebroot=\xD4\xC6\r\n\r\n");
}

TEST(IniStore, UpdateIntoMissingFolderThrowsAndLeavesNothing) {
    test::TempDir dir;
    const std::string folder = dir.File("kelvraeduConfig");
    const std::string path = folder + test::Separator() + "sysparams.ini";
    TIniStore ini(path, true, SystemFileSystem(), SystemCodePage());
    ini.WriteString("SYSTEM", "webroot", "x");
    try {
        ini.UpdateFile();
        FAIL() << "UpdateFile succeeded without its folder";
    } catch (const OsError& e) {
        const std::string message = e.what();
        const std::string prefix = "Cannot create file \"" + path + "\". ";
        EXPECT_EQ(message.substr(0, prefix.size()), prefix) << message;
        EXPECT_GT(message.size(), prefix.size()) << "no system reason";
    }
    EXPECT_FALSE(test::PathExists(folder));
}

std::size_t EntriesIn(const std::string& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder))
        ++n;
    return n;
}

TEST(IniStore, FailedUpdateLeavesTargetWholeAndNoTemporary) {
    test::TempDir dir;
    const std::string target = dir.File("sysparams.ini");
    TIniStore ini(target, true, SystemFileSystem(), SystemCodePage());
    ini.WriteString("SYSTEM", "webroot", "new");
    // The target turns out to be a directory holding a file: it cannot be replaced.
    SystemFileSystem().MakeDirectory(target);
    const std::string inside = target + test::Separator() + "keep.txt";
    test::WriteBytes(inside, "keep");
    EXPECT_THROW(ini.UpdateFile(), OsError);
    EXPECT_TRUE(SystemFileSystem().DirectoryExists(target));
    EXPECT_EQ(test::ReadBytes(inside), "keep");
    EXPECT_EQ(EntriesIn(dir.path()), 1u);
    // Opening a path that exists but cannot be read throws.
    EXPECT_THROW(TIniStore(target, true, SystemFileSystem(), SystemCodePage()), OsError);
}

#ifndef _WIN32
TEST(IniStore, FailedUpdateInReadOnlyFolderKeepsOldFile) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root ignores folder permissions";
    test::TempDir dir;
    const std::string path = dir.File("sysparams.ini");
    const std::string bytes = "[SYSTEM]\r\nwebroot=old\r\n";
    test::WriteBytes(path, bytes);
    TIniStore ini(path, true, SystemFileSystem(), SystemCodePage());
    ini.WriteString("SYSTEM", "webroot", "new");
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    EXPECT_THROW(ini.UpdateFile(), OsError);
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(test::ReadBytes(path), bytes);
    EXPECT_EQ(EntriesIn(dir.path()), 1u);
}
#endif

TEST(IniStore, DirectModeIsRefused) {
    test::TempDir dir;
    EXPECT_THROW(TIniStore(dir.File("a.ini"), false, SystemFileSystem(), SystemCodePage()), Error);
}

}  // namespace
}  // namespace kelvra::app
