// Cabinets made by gcab at build time (fixtures beside the test binary): stored
// subdirectories and times come back; damaged cabinets and names that are absolute or
// climb out of the target give -1 and write nothing outside it. The same cases run on
// libmspack natively and on cabinet.dll under Wine.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>

#include "test_support.h"
#include "update/cab_extract.h"

namespace kelvra::update {
namespace {

using test::PathExists;
using test::ReadBytes;
using test::TempDir;

std::string Fixture(const std::string& name) {
    const char sep = test::Separator();
    return test::TestBinDir() + sep + "cab_fixtures" + sep + name;
}

std::string Join(const std::string& dir, const std::string& relative) {
    std::string path = dir + test::Separator() + relative;
    for (char& c : path) {
        if (c == '/' || c == '\\')
            c = test::Separator();
    }
    return path;
}

// Last-write time of path as broken-down local time.
std::tm LocalMTime(const std::string& path) {
    auto ft = std::filesystem::last_write_time(std::filesystem::u8path(path));
    auto sys = std::chrono::file_clock::to_sys(ft);
    std::time_t t = std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(sys));
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    return tm;
}

TEST(CabExtract, SubdirectoriesAndStoredTimes) {
    for (const char* cabinet : {"plain.cab", "mszip.cab"}) {
        SCOPED_TRACE(cabinet);
        TempDir dir;
        std::string target = dir.File("out");
        std::filesystem::create_directory(std::filesystem::u8path(target));
        ASSERT_EQ(ExtractCab(Fixture(cabinet), target), 0);
        EXPECT_EQ(ReadBytes(Join(target, "a.txt")), "alpha");
        EXPECT_EQ(ReadBytes(Join(target, "sub/b.txt")), "bravo bravo");
        std::string big = ReadBytes(Join(target, "sub/deeper/c.bin"));
        EXPECT_EQ(big.size(), 70000u);
        EXPECT_EQ(big, ReadBytes(Fixture("src/sub/deeper/c.bin")));
        for (const char* name : {"a.txt", "sub/b.txt", "sub/deeper/c.bin"}) {
            std::tm tm = LocalMTime(Join(target, name));
            EXPECT_EQ(tm.tm_year + 1900, 2013) << name;
            EXPECT_EQ(tm.tm_mon + 1, 9) << name;
            EXPECT_EQ(tm.tm_mday, 12) << name;
            EXPECT_EQ(tm.tm_hour, 10) << name;
            EXPECT_EQ(tm.tm_min, 15) << name;
            EXPECT_EQ(tm.tm_sec, 2) << name;  // even seconds survive the DOS format
        }
    }
}

TEST(CabExtract, TargetWithTrailingSeparatorAndMissingTarget) {
    TempDir dir;
    // A trailing separator is not doubled; a missing target directory is created.
    std::string target = dir.File("new") + test::Separator();
    ASSERT_EQ(ExtractCab(Fixture("plain.cab"), target), 0);
    EXPECT_EQ(ReadBytes(Join(dir.File("new"), "sub/b.txt")), "bravo bravo");
}

TEST(CabExtract, EmptyTargetExtractsAgainstCurrentDirectory) {
    TempDir dir;
    auto old = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::u8path(dir.path()));
    int result = ExtractCab(Fixture("plain.cab"), "");
    std::filesystem::current_path(old);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(ReadBytes(Join(dir.path(), "sub/deeper/c.bin")).size(), 70000u);
}

TEST(CabExtract, DamagedMissingAndNonCabinetGiveMinusOne) {
    for (const char* name : {"damaged.cab", "short.cab", "text.cab", "missing.cab"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        EXPECT_EQ(ExtractCab(Fixture(name), dir.path()), -1);
    }
}

TEST(CabExtract, NamesClimbingOutAreSkippedAndReported) {
    for (const char* name : {"climb-back.cab", "climb-slash.cab", "absolute.cab", "drive.cab"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        std::string target = Join(dir.path(), "out/inner");
        std::filesystem::create_directories(std::filesystem::u8path(target));
        EXPECT_EQ(ExtractCab(Fixture(name), target), -1);
        EXPECT_FALSE(PathExists(Join(dir.path(), "out/evil.txt")));
        EXPECT_FALSE(PathExists(Join(target, "evil.txt")));
        // The safe entry beside it is still extracted.
        EXPECT_EQ(ReadBytes(Join(target, "good.txt")), "good");
        // Nothing outside the temporary folder either.
        std::filesystem::directory_iterator it(std::filesystem::u8path(dir.path()));
        EXPECT_EQ(std::distance(it, std::filesystem::directory_iterator()), 1);
    }
}

// mszip.cab holds 3 entries of 70,016 bytes together; past either limit nothing is written.
TEST(CabExtract, CabinetPastItsLimitsIsRefusedWhole) {
    const struct {
        CabinetLimits limits;
        int result;
    } cases[] = {{{3, 70016}, 0}, {{2, 70016}, -1}, {{3, 70015}, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.limits.entries << " " << c.limits.bytes);
        TempDir dir;
        EXPECT_EQ(ExtractCab(Fixture("mszip.cab"), dir.path(), c.limits), c.result);
        EXPECT_EQ(PathExists(Join(dir.path(), "a.txt")), c.result == 0);
    }
}

TEST(CabExtract, StoredNameSafety) {
    struct Case {
        const char* name;
        bool safe;
    };
    for (const Case& c :
         {Case{"a.txt", true}, Case{"sub\\file.txt", true}, Case{"sub/deeper/x", true},
          Case{"..a\\b..", true}, Case{"..", false}, Case{"..\\x", false}, Case{"../x", false},
          Case{"sub\\..\\..\\x", false}, Case{"sub/../x", false}, Case{"\\x", false},
          Case{"/etc/x", false}, Case{"C:\\x", false}, Case{"C:x", false}, Case{"", false},
          // The target folder itself is no file inside it.
          Case{".", false}, Case{"./", false}, Case{".\\.//", false}, Case{"./a", true},
          Case{"sub/.", true}}) {
        EXPECT_EQ(IsSafeCabinetName(c.name), c.safe) << c.name;
    }
}

}  // namespace
}  // namespace kelvra::update
