// The settings file under a save killed at random moments or as its temporary file shows,
// replaced beside itself or rewritten in place: the file always reads as a whole old or new
// version, never empty, short or mixed, and the next save leaves no temporary file behind.
// KELVRA_SETTINGS_KILL_RUNS sets the number of kills (the full figure is run by
// bench/settings_kill.sh).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include "app/ini_store.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "settings_saver.h"
#include "test_support.h"

namespace kelvra::app {
namespace {

using namespace std::chrono_literals;

// Where the saves keep their temporary copies (Windows also reads TEMP).
#ifdef _WIN32
constexpr const char* kTempVariable = "TMP";
#else
constexpr const char* kTempVariable = "TMPDIR";
#endif

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

#ifdef _WIN32
// A folder that takes no new file, holding sysparams.ini: made by the test command on the
// build machine, since Wine cannot lock a folder. "" when there is none.
struct LockedFolder {
    explicit LockedFolder(const std::string&) {
        const char* made = std::getenv("KELVRA_TEST_LOCKED_DIR");
        path = made ? made : "";
    }
    std::string path;
};
#else
// A folder made immutable (which binds root too) once sysparams.ini is in it; "" when this
// file system or user cannot lock one.
struct LockedFolder {
    explicit LockedFolder(const std::string& dir) {
        test::WriteBytes(dir + "/sysparams.ini", "");
        fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
        int locked = 0;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            locked = flags | FS_IMMUTABLE_FL;
            if (::ioctl(fd, FS_IOC_SETFLAGS, &locked) == 0)
                path = dir;
        }
    }
    ~LockedFolder() {
        if (!path.empty())
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        if (fd >= 0)
            ::close(fd);
    }
    int fd = -1;
    int flags = 0;
    std::string path;
};
#endif

// Saves killed beside the file (replaced by a rename) and in a folder that takes no new file
// (rewritten in place, the new content kept in the temporary folder meanwhile).
TEST(SettingsKill, KilledSaveLeavesOldOrNewFileAndNextSaveCleansUp) {
    const char* runs_env = std::getenv("KELVRA_SETTINGS_KILL_RUNS");
    const int runs = runs_env ? std::atoi(runs_env) : 40;
    test::TempDir dir;
    const std::string temp = dir.File("temp");
    platform::SystemFileSystem().MakeDirectory(temp);
    test::ScopedEnv tmp(kTempVariable, temp);
    test::ScopedEnv temp_variable("TEMP", temp);
    const std::string beside = dir.File("beside");
    platform::SystemFileSystem().MakeDirectory(beside);
    platform::SystemFileSystem().MakeDirectory(dir.File("locked"));
    const LockedFolder locked(dir.File("locked"));
    for (const std::string& folder : {beside, locked.path}) {
        SCOPED_TRACE("folder " + folder);
        if (folder.empty())
            GTEST_SKIP() << "no folder that takes no new file here";
        const std::string path = folder + test::Separator() + "sysparams.ini";
        test::WriteBytes(path, "[SYSTEM]\r\nwebroot=school.example\r\ngen=0\r\npad=" +
                                   test::SaverPad(0) + "\r\n");
        const std::string saver = test::TestProgram("settings_saver");
        std::mt19937 random(20261210);
        int torn_saves = 0;  // kills that left a temporary file: the save was cut short
        for (int run = 0; run < runs; ++run) {
            SCOPED_TRACE("run " + std::to_string(run));
            const long before = ReadVersion(path).gen;
            {
                test::ChildProcess child(saver, {path});
                ASSERT_TRUE(test::WaitUntil([&] { return ReadVersion(path).gen > before; }, 30s));
                if (run % 2 == 0) {
                    std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
                } else {
                    // Aimed at a save: killed as soon as its temporary file shows, since a
                    // slow read (a sanitizer build) can leave random kills all outside saves.
                    const auto give_up = std::chrono::steady_clock::now() + 2s;
                    while (Entries(folder).size() + Entries(temp).size() < 2 &&
                           std::chrono::steady_clock::now() < give_up) {
                    }
                }
                child.Kill();
            }
            torn_saves += Entries(folder).size() + Entries(temp).size() > 1 ? 1 : 0;
            const Version after = ReadVersion(path);
            ASSERT_TRUE(after.whole)
                << "generation " << after.gen << ", " << test::ReadBytes(path).size() << " bytes";

            test::ChildProcess next(saver, {path, "once"});
            ASSERT_EQ(next.Wait(30s), 0);
            EXPECT_EQ(ReadVersion(path).gen, after.gen + 1);
            EXPECT_EQ(Entries(folder), std::vector<std::string>{"sysparams.ini"});
            EXPECT_EQ(Entries(temp), std::vector<std::string>{});
        }
        std::printf("%s: %d kills, %d during a save; every file whole, no temporary file left\n",
                    folder.c_str(), runs, torn_saves);
        EXPECT_GT(torn_saves, 0) << "no kill landed during a save";
    }
}

}  // namespace
}  // namespace kelvra::app
