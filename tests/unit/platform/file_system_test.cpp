#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdlib>

#include "platform/win32/wide.h"
#else
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
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

// A directory link answers for its target: a link whose target is gone is no directory.
TEST(FileSystem, DirectoryLinksAreFollowed) {
    test::TempDir dir;
    const std::string target = dir.File("target");
    const std::string link = dir.File("link");
    Files().MakeDirectory(target);
#ifdef _WIN32
    const DWORD unprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    const bool made = CreateSymbolicLinkW(platform::win32::Widen(link).c_str(),
                                          platform::win32::Widen(target).c_str(),
                                          SYMBOLIC_LINK_FLAG_DIRECTORY | unprivileged);
#else
    const bool made = ::symlink(target.c_str(), link.c_str()) == 0;
#endif
    if (!made || !Files().DirectoryExists(link))
        GTEST_SKIP() << "no working directory links on this system";
#ifdef _WIN32
    ASSERT_TRUE(RemoveDirectoryW(platform::win32::Widen(target).c_str()));
#else
    ASSERT_EQ(::rmdir(target.c_str()), 0);
#endif
    EXPECT_FALSE(Files().DirectoryExists(link));
    EXPECT_FALSE(Files().FileExists(link));
}

// Replacing a file keeps what the old one had: its attributes on Windows, and on Linux a
// symbolic link, which keeps pointing at the (rewritten) file.
TEST(FileSystem, ReplaceKeepsAttributesAndLinks) {
    test::TempDir dir;
#ifdef _WIN32
    const std::string file = dir.File("sysparams.ini");
    test::WriteBytes(file, "old");
    const std::wstring wide = platform::win32::Widen(file);
    ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_HIDDEN));
    Files().ReplaceAtomically(file, "new");
    EXPECT_EQ(Files().ReadFile(file), "new");
    EXPECT_TRUE(GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    // A symbolic link stays: the file it names takes the new content. Under Wine, which
    // makes no links, the test command has made one.
    std::string link = dir.File("link.ini");
    if (const char* made = std::getenv("KELVRA_TEST_FILE_LINK")) {
        link = made;
    } else {
        test::WriteBytes(dir.File("real.ini"), "");
        ASSERT_TRUE(CreateSymbolicLinkW(platform::win32::Widen(link).c_str(), L"real.ini", 0x2))
            << "no file link";
    }
    const std::string real = DirectoryOf(link, '\\') + "\\real.ini";
    for (const char* content : {"new", "newer"}) {
        Files().ReplaceAtomically(link, content);
        EXPECT_EQ(Files().ReadFile(real), content) << "the link names the file still";
    }
#else
    const std::string real_dir = dir.File("real");
    Files().MakeDirectory(real_dir);
    const std::string real = real_dir + "/sysparams.ini";
    const std::string link = dir.File("sysparams.ini");
    test::WriteBytes(real, "old");
    ASSERT_EQ(::symlink("real/sysparams.ini", link.c_str()), 0);
    Files().ReplaceAtomically(link, "new");
    char target[256] = {};
    EXPECT_EQ(::readlink(link.c_str(), target, sizeof target - 1), 18);
    EXPECT_STREQ(target, "real/sysparams.ini");
    EXPECT_EQ(Files().ReadFile(real), "new");
#endif
}

#ifdef _WIN32
// An entry set on the file itself stays with the file when its list is an ordinary one,
// inheriting the rest from the folder.
TEST(FileSystem, ReplaceKeepsTheFilesOwnAccessEntries) {
    test::TempDir dir;
    const std::string file = dir.File("sysparams.ini");
    test::WriteBytes(file, "old");
    const std::wstring wide = platform::win32::Widen(file);
    PSID guests = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(L"S-1-5-32-546", &guests));
    auto own_entry = [&] {
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR sd = nullptr;
        bool found = false;
        if (GetNamedSecurityInfoW(wide.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, &dacl, nullptr, &sd) != ERROR_SUCCESS)
            return false;
        for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
            ACCESS_ALLOWED_ACE* ace = nullptr;
            if (GetAce(dacl, i, reinterpret_cast<void**>(&ace)) &&
                ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
                !(ace->Header.AceFlags & INHERITED_ACE) && EqualSid(&ace->SidStart, guests))
                found = true;
        }
        LocalFree(sd);
        return found;
    };
    EXPLICIT_ACCESS_W entry{};
    entry.grfAccessPermissions = GENERIC_READ;
    entry.grfAccessMode = GRANT_ACCESS;
    entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entry.Trustee.ptstrName = static_cast<LPWSTR>(guests);
    PACL current = nullptr;
    PSECURITY_DESCRIPTOR current_sd = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW(wide.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, &current, nullptr, &current_sd),
              ERROR_SUCCESS);
    PACL dacl = nullptr;
    ASSERT_EQ(SetEntriesInAclW(1, &entry, current, &dacl), ERROR_SUCCESS);
    LocalFree(current_sd);
    ASSERT_EQ(
        SetNamedSecurityInfoW(const_cast<wchar_t*>(wide.c_str()), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, dacl, nullptr),
        ERROR_SUCCESS);
    LocalFree(dacl);
    if (!own_entry())
        GTEST_SKIP() << "this system keeps no access entries a program sets on a file (Wine)";
    Files().ReplaceAtomically(file, "new");
    EXPECT_EQ(Files().ReadFile(file), "new");
    EXPECT_TRUE(own_entry());
    LocalFree(guests);
}
#else
// A folder that takes no new entry (immutable, which binds root too) holding a writable
// file: the file is rewritten in place.
TEST(FileSystem, ReplaceInAFolderThatTakesNoNewFileRewritesInPlace) {
    test::TempDir dir;
    const std::string folder = dir.File("locked");
    Files().MakeDirectory(folder);
    const std::string file = folder + "/sysparams.ini";
    test::WriteBytes(file, "old and longer");
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    int flags = 0;
    int locked = flags;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        locked = flags | FS_IMMUTABLE_FL;
        if (::ioctl(fd, FS_IOC_SETFLAGS, &locked) != 0)
            locked = flags;
    }
    if (locked == flags) {
        ::close(fd);
        GTEST_SKIP() << "cannot lock a folder here";
    }
    EXPECT_NO_THROW(Files().ReplaceAtomically(file, "new"));
    ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    ::close(fd);
    EXPECT_EQ(Files().ReadFile(file), "new");
}
#endif

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

// A save killed before its rename leaves its temporary file; the next save removes it, but
// not the temporary file of a save still running (held), nor files that merely look alike.
TEST(FileSystem, ReplaceRemovesTheTemporaryFilesOfKilledSavesOnly) {
#ifdef _WIN32
    const std::vector<std::string> abandoned = {"sysparams.ini.412.90817.tmp",
                                                "sysparams.ini.7.1.tmp"};
    const std::string running = "sysparams.ini.413.90818.tmp";
    const std::vector<std::string> unlike = {"sysparams.ini.41x.9.tmp", "sysparams.ini..9.tmp",
                                             "sysparams.ini.backup", "other.ini.412.90817.tmp"};
#else
    const std::vector<std::string> abandoned = {"sysparams.ini.saving.Ab12Cd"};
    const std::string running = "sysparams.ini.saving.Zz9999";
    const std::vector<std::string> unlike = {"sysparams.ini.saving.12345", "sysparams.ini.backup",
                                             "other.ini.saving.Ab12Cd"};
#endif
    test::TempDir dir;
    const std::string file = dir.File("sysparams.ini");
    std::set<std::string> kept = {"sysparams.ini", running};
    for (const auto& name : abandoned)
        test::WriteBytes(dir.File(name), "partial");
    for (const auto& name : unlike) {
        test::WriteBytes(dir.File(name), "partial");
        kept.insert(name);
    }
    test::WriteBytes(dir.File(running), "partial");
#ifdef _WIN32
    // Held as its writer holds it: no delete or write access shared.
    HANDLE live = CreateFileW(platform::win32::Widen(dir.File(running)).c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(live, INVALID_HANDLE_VALUE);
    Files().ReplaceAtomically(file, "new");
    CloseHandle(live);
#else
    const int live = ::open(dir.File(running).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    Files().ReplaceAtomically(file, "new");
    ::close(live);
#endif
    std::set<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        left.insert(e.path().filename().string());
    EXPECT_EQ(left, kept);
    EXPECT_EQ(Files().ReadFile(file), "new");
}

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
