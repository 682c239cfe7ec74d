// The restart program's own checks: the names it moves, the application folder it moves
// them into, the order of the replacements, and the copy it falls back to across file
// systems.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "restart_program.h"
#include "test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kelvra::tools {
namespace {

TEST(RestartProgram, NamesAndApplicationPathsThatLeaveTheirFolderAreRefused) {
    const struct {
        const char* path;
        bool component;
        bool application;
    } cases[] = {
        {"bin/kelvra.exe", true, true},
        {"bin./kelvra.exe", false, false},
        {"bin /kelvra.exe", false, false},
        {".. \\kelvra.exe", false, false},
        {"C:\\Program Files\\Kelvra\\kelvra.exe", false, true},
        {"C:\\Program Files\\Kelvra\\..\\..\\Windows\\kelvra.exe", false, false},
        {"/opt/kelvra/./kelvra", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsSafeComponentName(c.path), c.component) << c.path;
        EXPECT_EQ(IsSafeApplicationPath(c.path), c.application) << c.path;
    }
}

TEST(RestartProgram, ApplicationThatClimbsReplacesNothing) {
    test::TempDir dir;
    test::WriteBytes(dir.File("new.bin"), "new");
    RestartRequest request;
    request.application = dir.File("app") + "/../app/kelvra";
    request.staging_dir = dir.path();
    request.components = {"new.bin"};
    EXPECT_EQ(RunRestart(request), 3);
    EXPECT_TRUE(test::PathExists(dir.File("new.bin")));
}

// Every component is prepared before any is replaced; the application goes last; a failed
// preparation or replacement leaves no prepared file and nothing more replaced.
TEST(RestartProgram, ReplacesOnlyOnceAllArePreparedApplicationLast) {
    const struct {
        const char* failing;  // "prepare:NAME" or "replace:NAME"; empty for none
        int result;
        std::vector<std::string> calls;
    } cases[] = {
        {"", 0, {"prepare:app", "prepare:a", "prepare:b", "replace:a", "replace:b", "replace:app"}},
        {"prepare:b", 3, {"prepare:app", "prepare:a", "prepare:b", "remove:app", "remove:a"}},
        {"prepare:app", 3, {"prepare:app"}},
        {"replace:b",
         3,
         {"prepare:app", "prepare:a", "prepare:b", "replace:a", "replace:b", "remove:b",
          "remove:app"}},
    };
    for (const auto& c : cases) {
        RestartRequest request;
        request.application = std::string("/opt/k") + PathSeparator() + "app";
        request.staging_dir = "/tmp/s";
        request.components = {"app", "a", "b"};
        std::vector<std::string> calls;
        auto record = [&](const char* step, const std::string& path, const std::string& suffix) {
            const std::size_t slash = path.find_last_of("/\\");
            const std::string name =
                path.substr(slash + 1, path.size() - slash - 1 - suffix.size());
            calls.push_back(step + (":" + name));
            return calls.back() != c.failing;
        };
        ComponentSteps steps;
        steps.prepare = [&](const std::string& from, std::string& prepared, std::string&) {
            EXPECT_EQ(prepared.rfind(std::string("/opt/k") + PathSeparator(), 0), 0u)
                << prepared;  // beside its target
            return record("prepare", from, "");
        };
        steps.replace = [&](const std::string& prepared, const std::string&) {
            return record("replace", prepared, kPreparedSuffix);
        };
        steps.remove = [&](const std::string& prepared) {
            record("remove", prepared, kPreparedSuffix);
        };
        EXPECT_EQ(PlaceComponents(request, "/opt/k", steps), c.result) << c.failing;
        EXPECT_EQ(calls, c.calls) << c.failing;
    }
}

// A component in a folder the installed release lacks gets its folder.
TEST(RestartProgram, ComponentInANewFolderIsPlaced) {
    test::TempDir app;
    test::TempDir staging;
    std::filesystem::create_directories(std::filesystem::u8path(staging.File("plugins")));
    test::WriteBytes(staging.File("plugins/new.bin"), "new");
    test::WriteBytes(app.File("app"), "old");
    RestartRequest request;
    request.application = app.File("app");
    request.staging_dir = staging.path();
    request.components = {"plugins/new.bin"};
    EXPECT_EQ(PlaceComponents(request, app.path(), SystemComponentSteps()), 0);
    EXPECT_EQ(test::ReadBytes(app.File("plugins/new.bin")), "new");
}

#ifndef _WIN32
// A killed run's prepared files, wherever they lie in the folder, are cleared by the next.
TEST(RestartProgram, LeftoversOfAKilledRunAreRemoved) {
    test::TempDir app;
    ASSERT_EQ(mkdir(app.File("sub").c_str(), 0700), 0);
    test::WriteBytes(app.File("kelvra"), "old");
    test::WriteBytes(app.File("kelvra.kunew"), "ne");
    test::WriteBytes(app.File("sub/lib.so.kunew"), "n");
    ASSERT_EQ(symlink(app.File("kelvra").c_str(), app.File("link.kunew").c_str()), 0);
    RemoveLeftovers(app.path());
    EXPECT_EQ(test::ReadBytes(app.File("kelvra")), "old");
    for (const char* name : {"kelvra.kunew", "sub/lib.so.kunew", "link.kunew"}) {
        struct stat st {};
        EXPECT_NE(lstat(app.File(name).c_str(), &st), 0) << name;
    }
}

// Staging in /dev/shm and the application folder on the disk: the move becomes a copy.
TEST(RestartProgram, CrossDeviceCopyNeverWritesThroughALink) {
    test::TempDir app;
    const std::string staging = "/dev/shm/kelvra-restart-" + std::to_string(getpid());
    ASSERT_EQ(mkdir(staging.c_str(), 0700), 0);
    struct stat a {
    }, b{};
    stat(app.path().c_str(), &a);
    stat(staging.c_str(), &b);
    if (a.st_dev == b.st_dev) {
        rmdir(staging.c_str());
        GTEST_SKIP() << "/dev/shm is on the same file system here";
    }
    test::WriteBytes(staging + "/kelvra", "new");
    test::WriteBytes(app.File("victim"), "old");
    ASSERT_EQ(symlink(app.File("victim").c_str(), app.File("kelvra.kunew").c_str()), 0);
    EXPECT_TRUE(MoveToPrepared(staging + "/kelvra", app.File("kelvra.kunew"), app.File("kelvra")));
    EXPECT_TRUE(ReplaceWithPrepared(app.File("kelvra.kunew"), app.File("kelvra")));
    EXPECT_EQ(test::ReadBytes(app.File("victim")), "old");
    EXPECT_EQ(test::ReadBytes(app.File("kelvra")), "new");
    struct stat placed {};
    EXPECT_EQ(lstat(app.File("kelvra").c_str(), &placed), 0);
    EXPECT_TRUE(S_ISREG(placed.st_mode));
    rmdir(staging.c_str());
}
#endif

}  // namespace
}  // namespace kelvra::tools
