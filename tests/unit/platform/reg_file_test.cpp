// The .reg text parser and writer, and the Linux store built on them.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <thread>

#include "platform/error.h"
#include "platform/posix/reg_file.h"
#include "platform/registry.h"
#include "test_support.h"

namespace kelvra::platform::posix {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Utf16(std::u16string_view units) {
    Bytes b;
    for (char16_t u : units) {
        b.push_back(static_cast<std::uint8_t>(u & 0xFF));
        b.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return b;
}

RegistryValue Raw(std::uint32_t type, Bytes data) {
    RegistryValue v;
    v.type = type;
    v.data = std::move(data);
    return v;
}

struct ParseCase {
    const char* label;
    std::string text;
    std::string key;
    std::string name;
    RegistryValue expected;
};

TEST(RegFileParse, ValueForms) {
    const std::string h4 = "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n";
    const std::string h5 = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n";
    const std::vector<ParseCase> cases = {
        {"text", h4 + "\"v\"=\"教学云\"\n", "HKEY_CURRENT_USER\\K", "v",
         RegistryValue::Text("教学云")},
        {"escapes", h4 + "\"a\\\"b\\\\\"=\"C:\\\\x\\\"y\\\"\"\n", "HKEY_CURRENT_USER\\K", "a\"b\\",
         RegistryValue::Text("C:\\x\"y\"")},
        {"default", h4 + "@=\"d\"\n", "HKEY_CURRENT_USER\\K", "", RegistryValue::Text("d")},
        {"dword", h4 + "\"n\"=dword:00001f40\n", "HKEY_CURRENT_USER\\K", "n",
         RegistryValue::Dword(8000)},
        {"binary", h4 + "\"b\"=hex:00,ff,7A\n", "HKEY_CURRENT_USER\\K", "b",
         Raw(kRegBinary, {0x00, 0xFF, 0x7A})},
        {"empty hex", h4 + "\"b\"=hex:\n", "HKEY_CURRENT_USER\\K", "b", Raw(kRegBinary, {})},
        {"expand utf8", h4 + "\"e\"=hex(2):25,41,25,00\n", "HKEY_CURRENT_USER\\K", "e",
         RegistryValue::Text("%A%", kRegExpandSz)},
        {"multi utf8", h4 + "\"m\"=hex(7):61,00,62,00,00\n", "HKEY_CURRENT_USER\\K", "m",
         Raw(kRegMultiSz, Utf16(std::u16string(u"a\0b\0\0", 5)))},
        {"expand utf16", h5 + "\"e\"=hex(2):25,00,41,00,25,00,00,00\r\n", "HKEY_CURRENT_USER\\K",
         "e", RegistryValue::Text("%A%", kRegExpandSz)},
        {"raw spelled type", h4 + "\"e\"=hex(02):41,00,42\n", "HKEY_CURRENT_USER\\K", "e",
         Raw(kRegExpandSz, {0x41, 0x00, 0x42})},
        {"any type", h4 + "\"q\"=hex(b):01,02,03,04,05,06,07,08\n", "HKEY_CURRENT_USER\\K", "q",
         Raw(11, {1, 2, 3, 4, 5, 6, 7, 8})},
        {"continuation", h4 + "\"b\"=hex:01,02,\\\n  03,04,\\\r\n    05\n", "HKEY_CURRENT_USER\\K",
         "b", Raw(kRegBinary, {1, 2, 3, 4, 5})},
        {"comments and blanks", h4 + "; note\n\n   ; indented\n\"v\"=\"x\"\n",
         "HKEY_CURRENT_USER\\K", "v", RegistryValue::Text("x")},
        {"utf8 bom", "\xEF\xBB\xBF" + h4 + "\"v\"=\"x\"\n", "HKEY_CURRENT_USER\\K", "v",
         RegistryValue::Text("x")},
        {"no final newline", h4 + "\"v\"=dword:1", "HKEY_CURRENT_USER\\K", "v",
         RegistryValue::Dword(1)},
        {"later line wins", h4 + "\"v\"=\"1\"\n\"V\"=\"2\"\n", "hkey_current_user\\k", "v",
         RegistryValue::Text("2")},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.label);
        const RegFile file = RegFile::Parse(c.text, "t.reg");
        const RegKey* key = file.Find(c.key);
        ASSERT_NE(key, nullptr);
        const RegistryValue* v = key->Find(c.name);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->type, c.expected.type);
        EXPECT_EQ(v->data, c.expected.data);
        EXPECT_EQ(key->values.size(), 1u);
    }
}

TEST(RegFileParse, Utf16FileWithMark) {
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\课程]\r\n"
        u"\"v\"=\"白板\"\r\n";
    Bytes bytes = {0xFF, 0xFE};
    const Bytes body = Utf16(text);
    bytes.insert(bytes.end(), body.begin(), body.end());
    const RegFile file = RegFile::Parse(std::string(bytes.begin(), bytes.end()), "u.reg");
    ASSERT_NE(file.Find("HKEY_CURRENT_USER\\课程"), nullptr);
    EXPECT_EQ(file.Find("HKEY_CURRENT_USER\\课程")->Find("v")->TextValue(), "白板");
}

TEST(RegFileParse, SectionsParentsAndDeletions) {
    const RegFile file = RegFile::Parse(
        "REGEDIT4\n[HKEY_CURRENT_USER\\A\\B\\C]\n\"x\"=\"1\"\n[HKEY_CURRENT_USER\\D\\E]\n"
        "\"y\"=\"2\"\n\"y\"=-\n[HKEY_CURRENT_USER\\A\\B\\C\\Deep]\n[-HKEY_CURRENT_USER\\A\\B]\n",
        "s.reg");
    EXPECT_NE(file.Find("HKEY_CURRENT_USER\\A"), nullptr);  // parents exist implicitly
    EXPECT_EQ(file.Find("HKEY_CURRENT_USER\\A\\B"), nullptr);
    EXPECT_EQ(file.Find("HKEY_CURRENT_USER\\A\\B\\C\\Deep"), nullptr);
    ASSERT_NE(file.Find("HKEY_CURRENT_USER\\d\\e"), nullptr);
    EXPECT_EQ(file.Find("HKEY_CURRENT_USER\\D\\E")->Find("y"), nullptr);
    EXPECT_TRUE(file.HasSubkeys("HKEY_CURRENT_USER\\D"));
    EXPECT_FALSE(file.HasSubkeys("HKEY_CURRENT_USER\\D\\E"));
}

struct DamageCase {
    const char* label;
    std::string text;
    int line;
};

TEST(RegFileParse, DamagedFilesNameFileAndLine) {
    const std::string k = "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n";  // value lines start at 4
    const std::vector<DamageCase> cases = {
        {"empty file", "", 1},
        {"no header", "[HKEY_CURRENT_USER\\K]\n", 1},
        {"wrong header", "REGEDIT5\n", 1},
        {"unterminated quote", k + "\"v\"=\"abc\n", 4},
        {"unterminated name", k + "\"v=\"abc\"\n", 4},
        {"unknown escape", k + "\"v\"=\"a\\tb\"\n", 4},
        {"text after quote", k + "\"v\"=\"a\" x\n", 4},
        {"bad dword", k + "\"v\"=dword:xyz\n", 4},
        {"long dword", k + "\"v\"=dword:123456789\n", 4},
        {"empty dword", k + "\"v\"=dword:\n", 4},
        {"bad hex", k + "\"v\"=hex:0g\n", 4},
        {"short hex byte", k + "\"v\"=hex:1,02\n", 4},
        {"trailing comma", k + "\"v\"=hex:01,\n", 4},
        {"bad hex type", k + "\"v\"=hex(z):01\n", 4},
        {"continuation at end", k + "\"v\"=hex:01,\\\n", 4},
        {"bad byte on continued line", k + "\"a\"=\"1\"\n\"v\"=hex:01,\\\n zz\n", 5},
        {"value before any key", "REGEDIT4\n\"v\"=\"x\"\n", 2},
        {"value after deleted key", k + "[-HKEY_CURRENT_USER\\K]\n\"v\"=\"x\"\n", 5},
        {"garbage line", k + "\"a\"=\"1\"\nthis is not a registry line\n", 5},
        {"missing equals", k + "\"v\" \"x\"\n", 4},
        {"unknown data", k + "\"v\"=qword:1\n", 4},
        {"unclosed section", k + "[HKEY_CURRENT_USER\\L\n", 4},
        {"empty section", k + "[]\n", 4},
        {"not utf-8", k + "\"v\"=\"\xBD\xCC\xD1\xA7\"\n", 4},
    };
    for (const DamageCase& c : cases) {
        SCOPED_TRACE(c.label);
        try {
            RegFile::Parse(c.text, "/etc/broken.reg");
            ADD_FAILURE() << "parsed without error";
        } catch (const Error& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find("/etc/broken.reg"), std::string::npos) << what;
            EXPECT_NE(what.find("line " + std::to_string(c.line) + ":"), std::string::npos) << what;
        }
    }
}

TEST(RegFileParse, KeysOutsideTheHiveAreDamage) {
    const std::string text =
        "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"1\"\n[HKEY_LOCAL_MACHINE\\B]\n";
    EXPECT_NO_THROW(RegFile::Parse(text, "any.reg"));
    EXPECT_NO_THROW(RegFile::Parse("REGEDIT4\n[hkey_current_user\\A]\n[-HKEY_CURRENT_USER\\A]\n",
                                   "u.reg", "HKEY_CURRENT_USER"));
    try {
        RegFile::Parse(text, "u.reg", "HKEY_CURRENT_USER");
        ADD_FAILURE() << "parsed without error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("line 4:"), std::string::npos) << e.what();
    }
}

TEST(RegFileWrite, RoundTripsEveryValueExactly) {
    RegFile file;
    RegKey& a = file.Ensure("HKEY_CURRENT_USER\\Software\\课程");
    const std::vector<std::pair<std::string, RegistryValue>> values = {
        {"text", RegistryValue::Text("白板 \"quoted\" C:\\dir\\")},
        {"", RegistryValue::Text("default")},
        {"empty", RegistryValue::Text("")},
        {"nul inside", Raw(kRegSz, Utf16(std::u16string(u"ab\0cd\0", 6)))},
        {"no terminator", Raw(kRegSz, Utf16(u"abc"))},
        {"zero bytes", Raw(kRegSz, {})},
        {"odd", Raw(kRegSz, {0x41, 0x00, 0x42})},
        {"line break", RegistryValue::Text("one\ntwo")},
        {"lone surrogate", Raw(kRegSz, Utf16(std::u16string(u"\xD800x\0", 3)))},
        {"expand", RegistryValue::Text("%APPDATA%\\x", kRegExpandSz)},
        {"expand odd", Raw(kRegExpandSz, {0x25, 0x00, 0x41})},
        {"multi", Raw(kRegMultiSz, Utf16(std::u16string(u"a\0b\0\0", 5)))},
        {"dword", RegistryValue::Dword(0x80000001)},
        {"short dword", Raw(kRegDword, {1, 2})},
        {"binary", Raw(kRegBinary, Bytes(100, 0xAB))},
        {"qword", Raw(11, {1, 2, 3, 4, 5, 6, 7, 8})},
        {"none", Raw(kRegNone, {})},
        {"name \\ \"q\"", RegistryValue::Dword(3)},
    };
    for (const auto& [n, v] : values)
        a.Set(n, v);
    file.Ensure("HKEY_CURRENT_USER\\Software\\B");

    const std::string written = file.Write();
    EXPECT_EQ(written.rfind("REGEDIT4\n", 0), 0u);
    const RegFile back = RegFile::Parse(written, "w.reg");
    EXPECT_EQ(back.Write(), written);  // deterministic
    const RegKey* key = back.Find("HKEY_CURRENT_USER\\Software\\课程");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->values.size(), values.size());
    for (const auto& [n, v] : values) {
        SCOPED_TRACE(n);
        const RegistryValue* got = key->Find(n);
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(got->type, v.type);
        EXPECT_EQ(got->data, v.data);
    }
    EXPECT_NE(written.find("\"text\"=\"白板 \\\"quoted\\\" C:\\\\dir\\\\\"\n"), std::string::npos)
        << written;
    EXPECT_NE(written.find("\"dword\"=dword:80000001\n"), std::string::npos);
    EXPECT_NE(written.find("\"nul inside\"=hex(1):"), std::string::npos);
    EXPECT_NE(back.Find("HKEY_CURRENT_USER\\Software\\B"), nullptr);
}

// The Linux store through the port, in a private directory.
class RegStoreTest : public ::testing::Test {
  protected:
    std::string File() const { return dir_.File("HKEY_CURRENT_USER.reg"); }
    std::set<std::string> Entries() const {
        std::set<std::string> names;
        DIR* d = ::opendir(dir_.path().c_str());
        while (dirent* e = ::readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..")
                names.insert(n);
        }
        ::closedir(d);
        return names;
    }
    test::TempDir dir_;
    test::ScopedEnv env_{"KELVRA_REGISTRY_DIR", dir_.path()};
};

TEST_F(RegStoreTest, MissingFileIsEmptyAndReadsCreateNothing) {
    EXPECT_EQ(SystemRegistry().Open(RegistryHive::CurrentUser, "Software", RegistryAccess::Read),
              nullptr);
    EXPECT_FALSE(SystemRegistry().DeleteKey(RegistryHive::LocalMachine, "SOFTWARE\\Norrix"));
    EXPECT_EQ(Entries(), std::set<std::string>{});
}

TEST_F(RegStoreTest, WritesAreSeenByOthersAndOthersWritesBySelf) {
    auto key = SystemRegistry().Create(RegistryHive::CurrentUser, "Software\\Kelvra");
    key->Set("msgbody", RegistryValue::Text("课程"));
    // What another process reads from the file.
    const RegFile seen = RegFile::Parse(test::ReadBytes(File()), File());
    ASSERT_NE(seen.Find("HKEY_CURRENT_USER\\Software\\Kelvra"), nullptr);
    EXPECT_EQ(seen.Find("HKEY_CURRENT_USER\\Software\\Kelvra")->Find("msgbody")->TextValue(),
              "课程");
    // Another process rewrites the file; the open key reads the new contents.
    test::WriteBytes(File(),
                     "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kelvra]\r\n"
                     "\"msgbody\"=\"changed\"\r\n");
    EXPECT_EQ(key->Query("msgbody")->TextValue(), "changed");
    // Only the hive file and its lock file are left: no temporary files.
    for (int i = 0; i < 10; ++i)
        key->Set("n" + std::to_string(i), RegistryValue::Dword(static_cast<std::uint32_t>(i)));
    EXPECT_EQ(Entries(),
              (std::set<std::string>{"HKEY_CURRENT_USER.reg", "HKEY_CURRENT_USER.reg.lock"}));
}

// A hive file that does not parse, holds another hive's keys or cannot be read: its keys
// cannot be opened (as Windows answers for a key it cannot open), every change fails with
// OsError, and the file is never taken for an empty hive nor rewritten.
TEST_F(RegStoreTest, DamagedOrUnreadableFileOpensNoKeyAndIsKept) {
    struct Row {
        const char* name;
        std::string text;  // "": a folder stands in the hive file's place
    } rows[] = {
        {"does not parse", "REGEDIT4\n[HKEY_CURRENT_USER\\Software]\n\"v\"=dword:zz\n"},
        {"another hive's keys", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norrix]\n"},
        {"cannot be read", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(File());
        if (row.text.empty())
            std::filesystem::create_directories(File() + "/inner");
        else
            test::WriteBytes(File(), row.text);
        for (const auto access : {RegistryAccess::Read, RegistryAccess::ReadWrite}) {
            EXPECT_EQ(SystemRegistry().Open(RegistryHive::CurrentUser, "Software", access),
                      nullptr);
        }
        EXPECT_EQ(SystemRegistry().Open(RegistryHive::CurrentUser, "", RegistryAccess::Read),
                  nullptr);
        EXPECT_THROW(SystemRegistry().Create(RegistryHive::CurrentUser, "Software\\New"), OsError);
        EXPECT_THROW(SystemRegistry().DeleteKey(RegistryHive::CurrentUser, "Software"), OsError);
        if (row.text.empty()) {
            EXPECT_TRUE(std::filesystem::is_directory(File() + "/inner"));
        } else {
            EXPECT_EQ(test::ReadBytes(File()), row.text);
        }
    }
}

TEST_F(RegStoreTest, ConcurrentWritersLoseNothing) {
    SystemRegistry().Create(RegistryHive::CurrentUser, "Software\\Race");
    auto writer = [](const std::string& prefix) {
        auto key = SystemRegistry().Open(RegistryHive::CurrentUser, "Software\\Race",
                                         RegistryAccess::ReadWrite);
        for (int i = 0; i < 25; ++i)
            key->Set(prefix + std::to_string(i),
                     RegistryValue::Dword(static_cast<std::uint32_t>(i)));
    };
    std::thread a(writer, "a");
    std::thread b(writer, "b");
    a.join();
    b.join();
    auto key =
        SystemRegistry().Open(RegistryHive::CurrentUser, "Software\\Race", RegistryAccess::Read);
    for (const char* p : {"a", "b"}) {
        for (int i = 0; i < 25; ++i)
            EXPECT_TRUE(key->Query(p + std::to_string(i)).has_value()) << p << i;
    }
}

TEST(RegStoreLocation, HivesLiveInTheirFolders) {
    test::TempDir xdg;
    test::ScopedEnv no_dir("KELVRA_REGISTRY_DIR", std::nullopt);
    test::ScopedEnv xdg_env("XDG_CONFIG_HOME", xdg.path());
    SystemRegistry().Create(RegistryHive::CurrentUser, "Software\\Kelvra");
    EXPECT_TRUE(test::PathExists(xdg.path() + "/kelvraedu/registry/HKEY_CURRENT_USER.reg"));

    test::TempDir home;
    test::ScopedEnv no_xdg("XDG_CONFIG_HOME", std::nullopt);
    test::ScopedEnv home_env("HOME", home.path());
    SystemRegistry().Create(RegistryHive::CurrentUser, "Software\\Kelvra");
    EXPECT_TRUE(
        test::PathExists(home.path() + "/.config/kelvraedu/registry/HKEY_CURRENT_USER.reg"));
}

TEST_F(RegStoreTest, ReadWriteNeedsAWritableFolder) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write anywhere";
    SystemRegistry().Create(RegistryHive::LocalMachine, "SOFTWARE\\Norrix");
    ::chmod(dir_.path().c_str(), 0555);
    auto ro =
        SystemRegistry().Open(RegistryHive::LocalMachine, "SOFTWARE\\Norrix", RegistryAccess::Read);
    auto rw = SystemRegistry().Open(RegistryHive::LocalMachine, "SOFTWARE\\Norrix",
                                    RegistryAccess::ReadWrite);
    ::chmod(dir_.path().c_str(), 0755);
    EXPECT_NE(ro, nullptr);
    EXPECT_EQ(rw, nullptr);
}

}  // namespace
}  // namespace kelvra::platform::posix
