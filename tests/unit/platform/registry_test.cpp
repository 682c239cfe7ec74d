// The registry port against the real registry on Windows and the .reg store on Linux:
// the same cases on both, so Windows is the oracle for the Linux store.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>

#include "platform/error.h"
#include "platform/registry.h"
#include "registry_test_keys.h"
#include "test_support.h"

namespace kelvra::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

RegistryValue Raw(std::uint32_t type, Bytes data) {
    RegistryValue v;
    v.type = type;
    v.data = std::move(data);
    return v;
}

Bytes Utf16Bytes(std::u16string_view units) {
    Bytes b;
    for (char16_t u : units) {
        b.push_back(static_cast<std::uint8_t>(u & 0xFF));
        b.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return b;
}

class RegistryTest : public ::testing::Test {
  protected:
    RegistryTest()
        : dir_env_("KELVRA_REGISTRY_DIR", test::Separator() == '/'
                                              ? std::optional<std::string>(temp_.path())
                                              : std::nullopt),
          base_(test::UniqueTestKey()),
          guard_(RegistryHive::CurrentUser) {
        guard_.Track(base_);
    }

    std::unique_ptr<RegistryKey> Create(const std::string& sub) {
        const std::string path = sub.empty() ? base_ : base_ + "\\" + sub;
        guard_.Track(path);
        auto key = SystemRegistry().Create(RegistryHive::CurrentUser, path);
        EXPECT_NE(key, nullptr);
        return key;
    }
    std::unique_ptr<RegistryKey> Open(const std::string& sub,
                                      RegistryAccess access = RegistryAccess::Read) {
        return SystemRegistry().Open(RegistryHive::CurrentUser,
                                     sub.empty() ? base_ : base_ + "\\" + sub, access);
    }

    test::TempDir temp_;
    test::ScopedEnv dir_env_;
    std::string base_;
    test::RegistryKeyGuard guard_;
};

struct RoundTrip {
    const char* label;
    RegistryValue value;
    std::string text;  // TextValue() for text types
};

TEST_F(RegistryTest, ValuesComeBackByteForByte) {
    const std::vector<RoundTrip> cases = {
        {"chinese", RegistryValue::Text("教学云 课程"), "教学云 课程"},
        {"empty", RegistryValue::Text(""), ""},
        {"expand", RegistryValue::Text("%APPDATA%\\Norrix", kRegExpandSz), "%APPDATA%\\Norrix"},
        {"dword", RegistryValue::Dword(0xDEADBEEF), ""},
        {"binary", Raw(kRegBinary, {0x00, 0x01, 0x7F, 0x80, 0xFF}), ""},
        {"empty binary", Raw(kRegBinary, {}), ""},
        {"embedded nul", Raw(kRegSz, Utf16Bytes(std::u16string(u"ab\0cd\0", 6))), "ab"},
        {"no terminator", Raw(kRegSz, Utf16Bytes(u"abc")), "abc"},
        {"odd length", Raw(kRegSz, {0x41, 0x00, 0x42}), "A"},
        {"multi", Raw(kRegMultiSz, Utf16Bytes(std::u16string(u"one\0two\0\0", 9))), "one"},
        {"qword", Raw(11, {1, 2, 3, 4, 5, 6, 7, 8}), ""},
        {"none", Raw(kRegNone, {0xAA}), ""},
    };
    auto key = Create("");
    for (const RoundTrip& c : cases)
        key->Set(c.label, c.value);
    auto reopened = Open("");
    ASSERT_NE(reopened, nullptr);
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.label);
        const auto got = reopened->Query(c.label);
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(got->type, c.value.type);
        EXPECT_EQ(got->data, c.value.data);
        const std::uint32_t t = c.value.type;
        if (t == kRegSz || t == kRegExpandSz || t == kRegMultiSz) {
            EXPECT_EQ(got->TextValue(), c.text);
        }
    }
    EXPECT_EQ(reopened->Query("dword")->DwordValue(), 0xDEADBEEFu);
    EXPECT_THROW(reopened->Query("chinese")->DwordValue(), Error);
}

TEST_F(RegistryTest, DefaultValueAndReplacement) {
    auto key = Create("");
    key->Set("", RegistryValue::Text("default"));
    key->Set("InstallPath", RegistryValue::Text("old"));
    key->Set("InstallPath", RegistryValue::Dword(7));
    auto reopened = Open("");
    EXPECT_EQ(reopened->Query("")->TextValue(), "default");
    const auto replaced = reopened->Query("InstallPath");
    ASSERT_TRUE(replaced.has_value());
    EXPECT_EQ(replaced->type, static_cast<std::uint32_t>(kRegDword));
    EXPECT_EQ(replaced->DwordValue(), 7u);
}

TEST_F(RegistryTest, MissingValuesAndKeys) {
    auto key = Create("");
    EXPECT_FALSE(key->Query("absent").has_value());
    EXPECT_EQ(Open("absent"), nullptr);
    EXPECT_EQ(Open("absent", RegistryAccess::ReadWrite), nullptr);
    EXPECT_EQ(Open("absent\\deeper"), nullptr);
    EXPECT_NE(Open("", RegistryAccess::ReadWrite), nullptr);
}

TEST_F(RegistryTest, NamesIgnoreCase) {
    auto key = Create("Mixed\\Ключ");
    key->Set("InstallPath", RegistryValue::Text("x"));
    for (const char* path : {"mixed\\ключ", "MIXED\\КЛЮЧ", "Mixed\\Ключ"}) {
        SCOPED_TRACE(path);
        auto opened = Open(path);
        ASSERT_NE(opened, nullptr);
        EXPECT_EQ(opened->Query("INSTALLPATH")->TextValue(), "x");
        EXPECT_EQ(opened->Query("installpath")->TextValue(), "x");
    }
    // Writing under another spelling replaces the value instead of adding a second one.
    Open("MIXED\\ключ", RegistryAccess::ReadWrite)->Set("installPATH", RegistryValue::Text("y"));
    EXPECT_EQ(Open("Mixed\\Ключ")->Query("InstallPath")->TextValue(), "y");
    Open("Mixed\\Ключ", RegistryAccess::ReadWrite)->DeleteValue("INSTALLPATH");
    EXPECT_FALSE(Open("Mixed\\Ключ")->Query("InstallPath").has_value());
}

TEST_F(RegistryTest, DeleteValue) {
    auto key = Create("");
    key->Set("gone", RegistryValue::Text("1"));
    key->Set("kept", RegistryValue::Text("2"));
    key->DeleteValue("gone");
    EXPECT_NO_THROW(key->DeleteValue("never there"));
    auto reopened = Open("");
    EXPECT_FALSE(reopened->Query("gone").has_value());
    EXPECT_EQ(reopened->Query("kept")->TextValue(), "2");
}

TEST_F(RegistryTest, CreateMakesParentsAndDeleteKeyTakesLeaves) {
    Create("a\\b\\c")->Set("v", RegistryValue::Dword(1));
    EXPECT_NE(Open("a"), nullptr);
    EXPECT_NE(Open("a\\b"), nullptr);
    // Creating an existing key keeps its values.
    Create("a\\b\\c");
    EXPECT_EQ(Open("a\\b\\c")->Query("v")->DwordValue(), 1u);

    EXPECT_THROW(SystemRegistry().DeleteKey(RegistryHive::CurrentUser, base_ + "\\a\\b"), OsError);
    EXPECT_NE(Open("a\\b\\c"), nullptr);
    EXPECT_TRUE(SystemRegistry().DeleteKey(RegistryHive::CurrentUser, base_ + "\\a\\b\\c"));
    EXPECT_EQ(Open("a\\b\\c"), nullptr);
    EXPECT_NE(Open("a\\b"), nullptr);
    EXPECT_FALSE(SystemRegistry().DeleteKey(RegistryHive::CurrentUser, base_ + "\\a\\b\\c"));
    EXPECT_FALSE(SystemRegistry().DeleteKey(RegistryHive::CurrentUser, base_ + "\\nothing"));
}

TEST_F(RegistryTest, KeyDeletedWhileOpenFailsToReadAndWrite) {
    auto key = Create("doomed");
    key->Set("v", RegistryValue::Text("1"));
    ASSERT_TRUE(SystemRegistry().DeleteKey(RegistryHive::CurrentUser, base_ + "\\doomed"));
    EXPECT_THROW(key->Query("v"), OsError);
    EXPECT_THROW(key->Set("v", RegistryValue::Text("2")), OsError);
    EXPECT_EQ(Open("doomed"), nullptr);  // a write must not bring it back
}

TEST_F(RegistryTest, OpenKeySeesLaterWrites) {
    auto reader = Create("shared");
    auto writer = Open("shared", RegistryAccess::ReadWrite);
    ASSERT_NE(writer, nullptr);
    EXPECT_FALSE(reader->Query("msgbody").has_value());
    writer->Set("msgbody", RegistryValue::Text("课程,1,2"));
    EXPECT_EQ(reader->Query("msgbody")->TextValue(), "课程,1,2");
}

TEST_F(RegistryTest, AnotherProcessSeesWritesAndWritesAlongside) {
    const std::string probe = test::TestProgram("reg_probe");
    const std::string path = base_ + "\\shared";
    guard_.Track(path);
    auto key = SystemRegistry().Create(RegistryHive::CurrentUser, path);
    key->Set("msgbody", RegistryValue::Text("课程,第一课"));
    test::ChildProcess reader(probe, {"expect", path, "msgbody", "课程,第一课"});
    EXPECT_EQ(reader.Wait(std::chrono::seconds(30)), 0);
    test::ChildProcess wrong(probe, {"expect", path, "msgbody", "other"});
    EXPECT_EQ(wrong.Wait(std::chrono::seconds(30)), 1);

    // Both processes write at once; neither loses a value.
    test::ChildProcess writer(probe, {"set", path, "child", "20"});
    for (int i = 0; i < 20; ++i)
        key->Set("parent" + std::to_string(i), RegistryValue::Dword(static_cast<std::uint32_t>(i)));
    ASSERT_EQ(writer.Wait(std::chrono::seconds(60)), 0);
    for (const char* prefix : {"parent", "child"}) {
        for (int i = 0; i < 20; ++i) {
            const auto v = key->Query(prefix + std::to_string(i));
            ASSERT_TRUE(v.has_value()) << prefix << i;
            EXPECT_EQ(v->DwordValue(), static_cast<std::uint32_t>(i));
        }
    }
    EXPECT_EQ(key->Query("msgbody")->TextValue(), "课程,第一课");
}

}  // namespace
}  // namespace kelvra::platform
