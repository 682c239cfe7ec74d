// Version numbers of the update engine: version texts of the control file, the file
// version of local files (Windows version resource, or an ELF note on Linux builds),
// their display and comparison.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvra::update {

inline constexpr std::uint32_t kInvalidVersionWord = 0xFFFFFFFFu;

// high = major * 65536 + minor, low = release * 65536 + build.
struct VersionWords {
    std::uint32_t high = kInvalidVersionWord;
    std::uint32_t low = kInvalidVersionWord;
    bool operator==(const VersionWords&) const = default;
    bool AnyInvalid() const { return high == kInvalidVersionWord || low == kInvalidVersionWord; }
};

// A version text ("2.1.5.0", "2,1,5,0", "3", ...) as the engine reads it; parts are kept
// modulo 65536, a part that does not read leaves words invalid as the rules say.
VersionWords ParseVersionText(std::string_view text);
// "major.minor.release.build", each a 16-bit half in decimal.
std::string VersionToText(const VersionWords& v);
// newer.high > local.high, or equal high and newer.low > local.low (signed 32-bit).
bool IsNewerVersion(const VersionWords& newer, const VersionWords& local);

// The file version of a local file: the fixed file information of its version resource
// (signature 0xFEEF04BD), or on Linux also the "Kelvra" ELF note. Both words invalid when
// the file has none or cannot be read.
VersionWords ReadFileVersion(std::string_view path);

// Portable readers over file contents.
// A PE image's VS_VERSION_INFO resource (RT_VERSION in .rsrc).
VersionWords PeFileVersion(std::string_view image);
// An ELF file's note named "Kelvra" of type 1 (see file_version_note.h).
VersionWords ElfFileVersion(std::string_view image);

}  // namespace kelvra::update
