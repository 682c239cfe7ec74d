// Temporary files of the transport: exclusive creation, exact contents, and what happens
// when no name is free or the folder is missing.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>

#include "platform/error.h"
#include "test_support.h"
#include "update/local_files.h"

namespace kelvra::update {
namespace {

std::string TempName(unsigned n) {
    char name[16];
    std::snprintf(name, sizeof name, "KUPD%04X.tmp", n);
    return name;
}

TEST(TransportTempFiles, NewFileHoldsExactlyWhatWasWritten) {
    test::TempDir dir;
    OutputFile first = OutputFile::CreateUnique(dir.path(), "KUPD");
    const std::string name = std::filesystem::path(first.path()).filename().string();
    ASSERT_EQ(name.size(), 12u);
    EXPECT_EQ(name.substr(0, 4), "KUPD");
    EXPECT_EQ(name.find_first_not_of("0123456789ABCDEF", 4), 8u);
    EXPECT_EQ(name.substr(8), ".tmp");
    EXPECT_EQ(test::ReadBytes(first.path()), "");

    // Moved, the file stays open once; blocks of any size and any byte go out unchanged and in
    // order, whether they fit the buffer, fill it or are larger than it.
    OutputFile out = std::move(first);
    const std::string binary("\0\r\n\x1A\xFF", 5);
    const std::string big(OutputFile::kBufferSize + 7, 'b');
    std::string expected = binary;
    out.Write(binary.data(), binary.size());
    for (int i = 0; i < 40; ++i) {
        const std::string block(4096, static_cast<char>('A' + i % 26));
        out.Write(block.data(), block.size());
        expected += block;
    }
    // Asking for write-back between blocks, past its step, keeps them in order too.
    for (int i = 0; i < 600; ++i) {
        const std::string block(4099, static_cast<char>('a' + i % 26));
        out.Write(block.data(), block.size());
        out.StartWriteback();
        expected += block;
    }
    out.Write(big.data(), big.size());
    out.Write(big.data(), 0);
    out.Write(binary.data(), binary.size());
    expected += big + binary;
    out.Close();
    out.Close();  // a second close does nothing
    EXPECT_EQ(test::ReadBytes(out.path()), expected);
    EXPECT_THROW(out.Write("x", 1), OsError);  // closed

    OutputFile second = OutputFile::CreateUnique(dir.path(), "KUPD");
    EXPECT_NE(second.path(), out.path());
    second.Abandon();
    EXPECT_TRUE(std::filesystem::remove(std::filesystem::path(second.path())));
}

// Names already taken are skipped without being opened or emptied: the names follow one
// counter, so the test takes the next five before asking for a sixth.
TEST(TransportTempFiles, TakenNamesAreNeverOpened) {
    test::TempDir dir;
    OutputFile probe = OutputFile::CreateUnique(dir.path(), "KUPD");
    probe.Close();
    const unsigned last = static_cast<unsigned>(std::stoul(
        std::filesystem::path(probe.path()).filename().string().substr(4, 4), nullptr, 16));
    for (unsigned i = 1; i <= 5; ++i)
        test::WriteBytes(dir.File(TempName((last + i) & 0xFFFF)), "taken");
    OutputFile out = OutputFile::CreateUnique(dir.path(), "KUPD");
    out.Write("new", 3);
    out.Close();
    EXPECT_EQ(out.path(), dir.File(TempName((last + 6) & 0xFFFF)));
    EXPECT_EQ(test::ReadBytes(out.path()), "new");
    for (unsigned i = 1; i <= 5; ++i)
        EXPECT_EQ(test::ReadBytes(dir.File(TempName((last + i) & 0xFFFF))), "taken") << i;
}

// The folder is the one the environment names, trailing separators dropped, and it is not
// looked at: a missing one fails when a file is created there.
TEST(TransportTempFiles, FolderComesFromTheEnvironmentUnchecked) {
    test::TempDir dir;
    const std::string sep(1, std::filesystem::path::preferred_separator);
    const std::string missing = dir.File("missing");
    test::ScopedEnv tmpdir("TMPDIR", missing + sep + sep);
    test::ScopedEnv tmp("TMP", missing + sep);
    test::ScopedEnv temp("TEMP", missing + sep);
    EXPECT_EQ(TempFilesDirectory(), missing);
    EXPECT_THROW(OutputFile::CreateUnique(TempFilesDirectory(), "KUPD"), OsError);
    {
        test::ScopedEnv other("TMPDIR", dir.path());
        test::ScopedEnv other_tmp("TMP", dir.path());
        test::ScopedEnv other_temp("TEMP", dir.path());
        EXPECT_EQ(TempFilesDirectory(), dir.path());
    }
}

TEST(TransportTempFiles, MissingFolderIsAnError) {
    test::TempDir dir;
    const std::string missing = dir.File("no such folder");
    EXPECT_THROW(OutputFile::CreateUnique(missing, "KUPD"), OsError);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(missing)));
}

}  // namespace
}  // namespace kelvra::update
