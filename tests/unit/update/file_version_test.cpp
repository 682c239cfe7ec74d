// The test binary carries file version 1.0.1.2 (ELF note on Linux, version resource on
// Windows) and reads it back from its own file.
#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "test_support.h"
#include "update/file_version_note.h"
#include "update/version_info.h"

KELVRA_FILE_VERSION_NOTE(1, 0, 1, 2);

namespace kelvra::update {
namespace {

TEST(FileVersion, ReadsItsOwnVersion) {
    const std::string self = platform::SystemFileSystem().ExecutablePath();
    EXPECT_EQ(VersionToText(ReadFileVersion(self)), "1.0.1.2");
    const std::string image = test::ReadBytes(self);
#ifdef _WIN32
    EXPECT_EQ(VersionToText(PeFileVersion(image)), "1.0.1.2");
#else
    EXPECT_EQ(VersionToText(ElfFileVersion(image)), "1.0.1.2");
#endif
}

TEST(FileVersion, FilesWithoutVersionAreInvalid) {
    test::TempDir dir;
    const std::string text = dir.File("a.exe");
    test::WriteBytes(text, "MZ not really an executable");
    EXPECT_TRUE(ReadFileVersion(text).AnyInvalid());
    EXPECT_TRUE(ReadFileVersion(dir.File("missing.exe")).AnyInvalid());
    // Damaged images: every prefix of a real one reads as invalid or the version, never
    // out of bounds.
    const std::string image = test::ReadBytes(platform::SystemFileSystem().ExecutablePath());
    for (std::size_t n = 0; n < image.size(); n += 997) {
        const VersionWords v = PeFileVersion(image.substr(0, n));
        const VersionWords e = ElfFileVersion(image.substr(0, n));
        EXPECT_TRUE(v.AnyInvalid() || VersionToText(v) == "1.0.1.2");
        EXPECT_TRUE(e.AnyInvalid() || VersionToText(e) == "1.0.1.2");
    }
}

}  // namespace
}  // namespace kelvra::update
