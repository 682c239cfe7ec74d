// Whiteboard lookup and browser emulation value against the real registry under Wine and
// the .reg store on Linux. Keys under HKEY_LOCAL_MACHINE that exist beforehand keep their
// values; keys the tests create are removed again.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <optional>

#include "../platform/registry_test_keys.h"
#include "app/host_helpers.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "test_support.h"

namespace kelvra::app {
namespace {

using platform::RegistryAccess;
using platform::RegistryHive;
using platform::RegistryValue;
using platform::SystemFileSystem;
using platform::SystemRegistry;

constexpr std::array<const char*, 4> kKeys = {
    "SOFTWARE\\Wow6432Node\\Norrix\\Ondrix",
    "SOFTWARE\\Norrix\\Ondrix",
    "SOFTWARE\\Wow6432Node\\Norrix\\Pelmar",
    "SOFTWARE\\Norrix\\Pelmar",
};

std::optional<std::string> PrivateRegistryDir(const test::TempDir& dir) {
    if (test::Separator() == '/')
        return dir.path();
    return std::nullopt;  // Windows: the real registry
}

class WhiteboardTest : public ::testing::Test {
  protected:
    WhiteboardTest()
        : env_("KELVRA_REGISTRY_DIR", PrivateRegistryDir(registry_dir_)),
          hklm_(RegistryHive::LocalMachine) {}

    void SetUp() override {
        try {
            hklm_.Track("SOFTWARE\\Norrix");
            SystemRegistry().Create(RegistryHive::LocalMachine, "SOFTWARE\\Norrix");
        } catch (const Error& e) {
            GTEST_SKIP() << "HKEY_LOCAL_MACHINE is not writable here: " << e.what();
        }
        // Start from no InstallPath values; what was there comes back in TearDown.
        for (const char* path : kKeys) {
            auto key =
                SystemRegistry().Open(RegistryHive::LocalMachine, path, RegistryAccess::ReadWrite);
            if (!key)
                continue;
            saved_[path] = key->Query("InstallPath");
            key->DeleteValue("InstallPath");
        }
    }

    void TearDown() override {
        for (const auto& [path, value] : saved_) {
            auto key =
                SystemRegistry().Open(RegistryHive::LocalMachine, path, RegistryAccess::ReadWrite);
            if (value)
                key->Set("InstallPath", *value);
            else
                key->DeleteValue("InstallPath");
        }
    }

    // Row 1 to 4 of the lookup table gets InstallPath = value.
    void Register(int row, const RegistryValue& value) {
        const char* path = kKeys.at(static_cast<std::size_t>(row - 1));
        hklm_.Track(path);
        SystemRegistry().Create(RegistryHive::LocalMachine, path)->Set("InstallPath", value);
    }
    void Register(int row, const std::string& dir) { Register(row, RegistryValue::Text(dir)); }

    // A folder under the temporary folder, holding program when that is not empty.
    std::string Folder(const std::string& name, const std::string& program = "") {
        const std::string dir = files_.File(name);
        SystemFileSystem().MakeDirectory(dir);
        if (!program.empty())
            test::WriteBytes(dir + test::Separator() + program, "MZ");
        return dir;
    }
    std::string Path(const std::string& dir, const char* program) const {
        return dir + test::Separator() + program;
    }
    std::string Lookup() const { return GetWhiteboardPath(SystemRegistry(), SystemFileSystem()); }

    test::TempDir registry_dir_;
    test::TempDir files_;
    test::ScopedEnv env_;
    test::RegistryKeyGuard hklm_;
    std::map<std::string, std::optional<RegistryValue>> saved_;
};

TEST_F(WhiteboardTest, NoInstallPathGivesEmpty) {
    EXPECT_EQ(Lookup(), "");
    // Keys without the value, or with an empty one, are skipped.
    hklm_.Track(kKeys[0]);
    SystemRegistry().Create(RegistryHive::LocalMachine, kKeys[0]);
    Register(4, std::string());
    EXPECT_EQ(Lookup(), "");
}

TEST_F(WhiteboardTest, FirstKeyAloneFindsItsProgram) {
    const std::string dir = Folder("ondrix", "Ondrix.exe");
    Register(1, dir);
    EXPECT_EQ(Lookup(), Path(dir, "Ondrix.exe"));
}

TEST_F(WhiteboardTest, PanelProgramWinsOverWhiteboard) {
    Register(1, Folder("ondrix", "Ondrix.exe"));
    const std::string panel = Folder("pelmar", "Pelmar.exe");
    Register(3, panel);
    EXPECT_EQ(Lookup(), Path(panel, "Pelmar.exe"));
}

TEST_F(WhiteboardTest, LaterFolderWithoutItsProgramEmptiesTheResult) {
    Register(1, Folder("ondrix", "Ondrix.exe"));
    Register(3, Folder("pelmar-empty"));
    EXPECT_EQ(Lookup(), "");
}

TEST_F(WhiteboardTest, MissingFolderIsSkippedAndEarlierResultStays) {
    const std::string dir = Folder("ondrix", "Ondrix.exe");
    Register(1, dir);
    Register(3, files_.File("no-such-folder"));
    Register(4, std::string());
    EXPECT_EQ(Lookup(), Path(dir, "Ondrix.exe"));
}

TEST_F(WhiteboardTest, PlainKeyWinsOverWow6432NodeKey) {
    Register(1, Folder("wow", "Ondrix.exe"));
    const std::string plain = Folder("plain", "Ondrix.exe");
    Register(2, plain);
    EXPECT_EQ(Lookup(), Path(plain, "Ondrix.exe"));
}

TEST_F(WhiteboardTest, SeparatorIsAppendedEvenAfterATrailingOne) {
    const std::string dir = Folder("trailing", "Ondrix.exe");
    Register(2, dir + test::Separator());
    EXPECT_EQ(Lookup(), dir + test::Separator() + test::Separator() + "Ondrix.exe");
}

TEST_F(WhiteboardTest, ExpandableTextIsUsedUnexpanded) {
    // A folder literally named "%KELVRA_WB%" holds the program; the variable names another
    // folder that holds it too. Only the unexpanded text can lead to the first.
    const std::string literal = Folder("%KELVRA_WB%", "Ondrix.exe");
    const std::string expanded = Folder("expanded", "Ondrix.exe");
    test::ScopedEnv var("KELVRA_WB", "expanded");
    Register(2, RegistryValue::Text(files_.File("%KELVRA_WB%"), platform::kRegExpandSz));
    EXPECT_EQ(Lookup(), Path(literal, "Ondrix.exe"));
    EXPECT_NE(Lookup(), Path(expanded, "Ondrix.exe"));
}

TEST_F(WhiteboardTest, NonTextInstallPathThrows) {
    Register(2, Folder("ondrix", "Ondrix.exe"));
    Register(4, RegistryValue::Dword(1));
    EXPECT_THROW(Lookup(), Error);
}

TEST_F(WhiteboardTest, TextEndsAtFirstNul) {
    const std::string dir = Folder("ondrix", "Ondrix.exe");
    RegistryValue value = RegistryValue::Text(dir);
    const RegistryValue tail = RegistryValue::Text("garbage");
    value.data.insert(value.data.end(), tail.data.begin(), tail.data.end());
    Register(1, value);
    EXPECT_EQ(Lookup(), Path(dir, "Ondrix.exe"));
}

class BrowserEmulationTest : public ::testing::Test {
  protected:
    BrowserEmulationTest()
        : env_("KELVRA_REGISTRY_DIR", PrivateRegistryDir(registry_dir_)),
          hkcu_(RegistryHive::CurrentUser) {}

    test::TempDir registry_dir_;
    test::ScopedEnv env_;
    test::RegistryKeyGuard hkcu_;
};

TEST_F(BrowserEmulationTest, WritesDwordUnderExecutableNameReplacingOldValue) {
    const std::string exe =
        std::string("whiteboard_test") + (test::Separator() == '\\' ? ".exe" : "");
    const std::string other = "kelvra-other-program.exe";
    hkcu_.Track(kBrowserEmulationKey);
    auto key = SystemRegistry().Create(RegistryHive::CurrentUser, kBrowserEmulationKey);
    const auto old_exe = key->Query(exe);
    const auto old_other = key->Query(other);
    key->Set(exe, RegistryValue::Text("7000"));
    key->Set(other, RegistryValue::Dword(11001));

    std::optional<RegistryValue> written;
    std::optional<RegistryValue> untouched;
    try {
        SetBrowserEmulation(SystemRegistry(), SystemFileSystem());
        auto reread = SystemRegistry().Open(RegistryHive::CurrentUser, kBrowserEmulationKey,
                                            RegistryAccess::Read);
        ASSERT_NE(reread, nullptr);
        written = reread->Query(exe);
        untouched = reread->Query(other);
    } catch (...) {
        ADD_FAILURE() << "SetBrowserEmulation threw";
    }
    for (const auto& [name, old] : {std::pair{exe, old_exe}, std::pair{other, old_other}}) {
        if (old)
            key->Set(name, *old);
        else
            key->DeleteValue(name);
    }
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(written->type, static_cast<std::uint32_t>(platform::kRegDword));
    EXPECT_EQ(written->DwordValue(), 8000u);
    ASSERT_TRUE(untouched.has_value());
    EXPECT_EQ(untouched->DwordValue(), 11001u);
}

}  // namespace
}  // namespace kelvra::app
