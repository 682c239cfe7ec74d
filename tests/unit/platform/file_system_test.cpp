#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include "platform/environment.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "test_support.h"

namespace kelvra::platform {
namespace {

FileSystem& Files() {
    return SystemFileSystem();
}

TEST(FileSystem, ExistsDistinguishesFilesAndDirectories) {
    test::TempDir dir;
    const std::string file = dir.File("云.txt");
    test::WriteBytes(file, "x");
    EXPECT_TRUE(Files().FileExists(file));
    EXPECT_FALSE(Files().DirectoryExists(file));
    EXPECT_TRUE(Files().DirectoryExists(dir.path()));
    EXPECT_FALSE(Files().FileExists(dir.path()));
    EXPECT_FALSE(Files().FileExists(dir.File("missing")));
    EXPECT_FALSE(Files().DirectoryExists(""));
    EXPECT_FALSE(Files().FileExists(""));
}

TEST(FileSystem, MakeDirectoryCreatesOneLevelOnly) {
    test::TempDir dir;
    const std::string one = dir.File("one");
    Files().MakeDirectory(one);
    EXPECT_TRUE(Files().DirectoryExists(one));
    EXPECT_THROW(Files().MakeDirectory(one), OsError);  // already there
    const std::string deep = dir.File("a") + Files().Separator() + "b";
    EXPECT_THROW(Files().MakeDirectory(deep), OsError);
    EXPECT_FALSE(Files().DirectoryExists(deep));
}

TEST(FileSystem, ReplaceAtomicallyWritesWholeFileAndLeavesNoTemporary) {
    test::TempDir dir;
    const std::string file = dir.File("sysparams.ini");
    Files().ReplaceAtomically(file, "first");
    Files().ReplaceAtomically(file, std::string("second\0with nul", 15));
    EXPECT_EQ(Files().ReadFile(file), std::string("second\0with nul", 15));
    std::size_t entries = 0;
    for (const char* name : {"sysparams.ini"})
        entries += test::PathExists(dir.File(name));
    EXPECT_EQ(entries, 1u);
    // Only the target is left in the folder.
    Files().RemoveFile(file);
    EXPECT_FALSE(test::PathExists(file));
    Files().RemoveFile(file);  // a missing file is fine
}

#ifndef _WIN32
// A save killed before its rename leaves its temporary file; the next save removes it, but
// not the temporary file of a save still running (locked), nor files that merely look alike.
TEST(FileSystem, ReplaceRemovesTheTemporaryFilesOfKilledSavesOnly) {
    test::TempDir dir;
    const std::string file = dir.File("sysparams.ini");
    for (const char* name :
         {"sysparams.ini.saving.Ab12Cd", "sysparams.ini.saving.Zz9999",
          "sysparams.ini.saving.12345", "sysparams.ini.backup", "other.ini.saving.Ab12Cd"})
        test::WriteBytes(dir.File(name), "partial");
    const int live = ::open(dir.File("sysparams.ini.saving.Zz9999").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    Files().ReplaceAtomically(file, "new");
    ::close(live);
    std::set<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        left.insert(e.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"sysparams.ini", "sysparams.ini.saving.Zz9999",
                                           "sysparams.ini.saving.12345", "sysparams.ini.backup",
                                           "other.ini.saving.Ab12Cd"}));
    EXPECT_EQ(Files().ReadFile(file), "new");
}
#endif

TEST(FileSystem, ReplaceIntoMissingFolderThrowsAndCreatesNothing) {
    test::TempDir dir;
    const std::string file = dir.File("missing") + Files().Separator() + "x.ini";
    try {
        Files().ReplaceAtomically(file, "data");
        FAIL() << "expected OsError";
    } catch (const OsError& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot create file \"" + file + "\"."),
                  std::string::npos)
            << e.what();
        EXPECT_NE(e.code(), 0u);
    }
    EXPECT_FALSE(Files().DirectoryExists(dir.File("missing")));
}

TEST(FileSystem, ReplaceOverADirectoryKeepsIt) {
    test::TempDir dir;
    const std::string target = dir.File("folder");
    Files().MakeDirectory(target);
    EXPECT_THROW(Files().ReplaceAtomically(target, "data"), OsError);
    EXPECT_TRUE(Files().DirectoryExists(target));
}

TEST(FileSystem, ReadAndAppend) {
    test::TempDir dir;
    const std::string file = dir.File("log.txt");
    EXPECT_THROW(Files().ReadFile(file), OsError);
    Files().AppendFile(file, "a\r\n");
    Files().AppendFile(file, "b\r\n");
    EXPECT_EQ(Files().ReadFile(file), "a\r\nb\r\n");
}

TEST(FileSystem, ExecutablePathNamesThisTest) {
    const std::string exe = Files().ExecutablePath();
    EXPECT_TRUE(Files().FileExists(exe)) << exe;
    EXPECT_NE(FileNameOf(exe, Files().Separator()).find("platform_test"), std::string::npos);
}

TEST(PathParts, FileAndDirectoryOf) {
    EXPECT_EQ(FileNameOf("C:\\Program Files\\Kelvra\\kelvra.exe", '\\'), "kelvra.exe");
    EXPECT_EQ(DirectoryOf("C:\\Program Files\\Kelvra\\kelvra.exe", '\\'),
              "C:\\Program Files\\Kelvra");
    EXPECT_EQ(FileNameOf("/usr/bin/kelvraedu", '/'), "kelvraedu");
    EXPECT_EQ(FileNameOf("plain.exe", '\\'), "plain.exe");
    EXPECT_EQ(DirectoryOf("plain.exe", '\\'), "");
}

TEST(Environment, SetGetAndRemove) {
    auto& env = SystemEnvironment();
    const std::string name = "KELVRA_TEST_VARIABLE";
    env.Set(name, "值 with blank");
    EXPECT_EQ(env.Get(name), "值 with blank");
    env.Set(name, "");
    ASSERT_TRUE(env.Get(name).has_value());
    EXPECT_EQ(*env.Get(name), "");
    env.Set(name, std::nullopt);
    EXPECT_FALSE(env.Get(name).has_value());
}

}  // namespace
}  // namespace kelvra::platform
