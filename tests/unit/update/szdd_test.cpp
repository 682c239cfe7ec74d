// Our SZDD writer's output expanded by the platform (LZ32 on Windows, libmspack on Linux)
// gives back the original bytes and the name with the stored last character.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/error.h"
#include "szdd_writer.h"
#include "test_support.h"
#include "update/cab_extract.h"

namespace kelvra::update {
namespace {

using test::PathExists;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::string Random(std::size_t n, std::uint32_t seed) {
    std::string s(n, '\0');
    for (char& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return s;
}

std::string Repetitive(std::size_t n) {
    std::string s;
    while (s.size() < n)
        s += "abcabcabcabd    ";
    s.resize(n);
    return s;
}

TEST(Szdd, HeaderModeAndMissingCharacter) {
    std::string packed = tools::SzddCompress("hello", 'e');
    ASSERT_GE(packed.size(), 14u);
    EXPECT_EQ(packed.substr(0, 8), std::string("SZDD\x88\xF0\x27\x33", 8));
    EXPECT_EQ(packed[8], 'A');
    EXPECT_EQ(packed[9], 'e');
    EXPECT_EQ(packed.substr(10, 4), std::string("\x05\0\0\0", 4));
    EXPECT_EQ(tools::SzddPackedName("kusetup.exe"), "kusetup.ex_");
    // 141,840 bytes, as the carried restart program's length is stored.
    EXPECT_EQ(tools::SzddCompress(std::string(141840, 'x'), 'e').substr(10, 4),
              std::string("\x10\x2A\x02\x00", 4));
}

TEST(Szdd, PlatformExpansionGivesBackTheBytes) {
    struct Case {
        const char* label;
        std::string data;
    };
    const Case cases[] = {
        {"empty", ""},
        {"one", "x"},
        {"small", "Kelvra update"},
        {"blanks", std::string(5000, ' ')},
        {"repetitive", Repetitive(300000)},
        {"random", Random(200000, 7)},
        {"mixed", Repetitive(5000) + Random(9000, 3) + Repetitive(70000) + Random(17, 9)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        std::string packed = dir.File("kusetup.ex_");
        WriteBytes(packed, tools::SzddCompress(c.data, 'e'));
        std::string expanded = ExpandLZFile(packed);
        EXPECT_EQ(expanded, dir.File("kusetup.exe"));
        EXPECT_EQ(ReadBytes(dir.File("kusetup.exe")), c.data);
        EXPECT_FALSE(PathExists(packed));
    }
}

TEST(Szdd, RepetitiveInputShrinks) {
    EXPECT_LT(tools::SzddCompress(Repetitive(300000), 'e').size(), 300000u / 5);
    // Random input costs at most one control byte per eight literals.
    EXPECT_LE(tools::SzddCompress(Random(80000, 1), 'e').size(), 14u + 80000u * 9 / 8 + 1);
}

TEST(Szdd, NotCompressedFileIsRefusedAndKept) {
    TempDir dir;
    std::string file = dir.File("plain.tx_");
    WriteBytes(file, "plain text, not packed");
    EXPECT_THROW(ExpandLZFile(file), Error);
    EXPECT_EQ(ReadBytes(file), "plain text, not packed");
    EXPECT_FALSE(PathExists(dir.File("plain.txt")));
    EXPECT_THROW(ExpandLZFile(dir.File("missing.ex_")), Error);
}

}  // namespace
}  // namespace kelvra::update
