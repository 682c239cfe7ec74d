// The restart program's own checks: the names it moves, the application folder it moves
// them into, and the copy it falls back to across file systems.
#include <gtest/gtest.h>

#include <string>

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

#ifndef _WIN32
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
    ASSERT_EQ(symlink(app.File("victim").c_str(), app.File("kelvra.new").c_str()), 0);
    EXPECT_TRUE(MoveReplacing(staging + "/kelvra", app.File("kelvra")));
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
