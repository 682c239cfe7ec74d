// The settings file under a save killed at random moments: the file is always a whole old
// or new version, never empty or torn, and the next save leaves no temporary file behind.
// KELVRA_SETTINGS_KILL_RUNS sets the number of kills (the full figure is run by
// bench/settings_kill.sh).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "app/ini_store.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "settings_saver.h"
#include "test_support.h"

namespace kelvra::app {
namespace {

using namespace std::chrono_literals;

struct Version {
    long gen = -1;
    bool whole = false;
};

// A whole version has its generation, the pad of that generation and the untouched key.
Version ReadVersion(const std::string& path) {
    TIniStore ini(path, true, platform::SystemFileSystem(), platform::SystemCodePage());
    Version v;
    v.gen = std::strtol(ini.ReadString("SYSTEM", "gen", "-1").c_str(), nullptr, 10);
    v.whole = v.gen >= 0 && ini.ReadString("SYSTEM", "pad", "") == test::SaverPad(v.gen) &&
              ini.ReadString("SYSTEM", "webroot", "") == "school.example";
    return v;
}

std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    return names;
}

TEST(SettingsKill, KilledSaveLeavesOldOrNewFileAndNextSaveCleansUp) {
    const char* runs_env = std::getenv("KELVRA_SETTINGS_KILL_RUNS");
    const int runs = runs_env ? std::atoi(runs_env) : 40;
    test::TempDir dir;
    const std::string path = dir.File("sysparams.ini");
    test::WriteBytes(
        path, "[SYSTEM]\r\nwebroot=school.example\r\ngen=0\r\npad=" + test::SaverPad(0) + "\r\n");
    const std::string saver = test::TestProgram("settings_saver");
    std::mt19937 random(20261210);
    int torn_saves = 0;  // kills that left a temporary file: the save was cut short
    for (int run = 0; run < runs; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        const long before = ReadVersion(path).gen;
        {
            test::ChildProcess child(saver, {path});
            ASSERT_TRUE(test::WaitUntil([&] { return ReadVersion(path).gen > before; }, 30s));
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
            child.Kill();
        }
        const Version after = ReadVersion(path);
        ASSERT_TRUE(after.whole) << "generation " << after.gen << ", "
                                 << test::ReadBytes(path).size() << " bytes";
        torn_saves += Entries(dir.path()).size() > 1 ? 1 : 0;

        test::ChildProcess next(saver, {path, "once"});
        ASSERT_EQ(next.Wait(30s), 0);
        EXPECT_EQ(ReadVersion(path).gen, after.gen + 1);
        EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"sysparams.ini"});
    }
    std::printf("%d kills, %d during a save; every file whole, no temporary file left\n", runs,
                torn_saves);
    EXPECT_GT(torn_saves, 0) << "no kill landed during a save";
}

}  // namespace
}  // namespace kelvra::app
