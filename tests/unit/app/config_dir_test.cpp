#include <gtest/gtest.h>

#include "app/host_helpers.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "test_support.h"

namespace kelvra::app {
namespace {

using platform::SystemEnvironment;
using platform::SystemFileSystem;

TEST(GetConfigDir, FollowsAppDataWithoutTestingOrCreating) {
    test::ScopedEnv appdata("APPDATA", "/roaming/云");
    const char sep = SystemFileSystem().Separator();
    const std::string expected = std::string("/roaming/云") + sep + "kelvraeduConfig";
    EXPECT_EQ(GetConfigDir(SystemEnvironment(), SystemFileSystem()), expected);
    EXPECT_EQ(GetSettingsFilePath(SystemEnvironment(), SystemFileSystem()),
              expected + sep + "sysparams.ini");
    // Under an APPDATA that exists, asking for the folder does not create it.
    test::TempDir dir;
    test::ScopedEnv existing("APPDATA", dir.path());
    const std::string config = GetConfigDir(SystemEnvironment(), SystemFileSystem());
    EXPECT_EQ(config, dir.path() + sep + "kelvraeduConfig");
    (void)GetSettingsFilePath(SystemEnvironment(), SystemFileSystem());
    EXPECT_FALSE(SystemFileSystem().DirectoryExists(config));
}

TEST(GetConfigDir, WithoutAppData) {
    test::ScopedEnv appdata("APPDATA", std::nullopt);
    test::ScopedEnv xdg("XDG_CONFIG_HOME", "/xdg");
    test::ScopedEnv home("HOME", "/home/teacher");
    const std::string dir = GetConfigDir(SystemEnvironment(), SystemFileSystem());
    if (SystemFileSystem().Separator() == '\\') {
        EXPECT_EQ(dir, "\\kelvraeduConfig");  // Windows: empty APPDATA, then the folder
    } else {
        EXPECT_EQ(dir, "/xdg/kelvraeduConfig");
        test::ScopedEnv no_xdg("XDG_CONFIG_HOME", std::nullopt);
        EXPECT_EQ(GetConfigDir(SystemEnvironment(), SystemFileSystem()),
                  "/home/teacher/.config/kelvraeduConfig");
        test::ScopedEnv empty_xdg("XDG_CONFIG_HOME", "");
        EXPECT_EQ(GetConfigDir(SystemEnvironment(), SystemFileSystem()),
                  "/home/teacher/.config/kelvraeduConfig");
    }
}

}  // namespace
}  // namespace kelvra::app
