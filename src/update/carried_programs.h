// The two programs the engine carries for the update procedure: the restart program
// (resource "UPD", packed in the SZDD format) and the patch program (resource "UTIL").
// Windows reads them from the executable's RCDATA resources; Linux from the files
// installed beside the executable ("kusetup.ex_" and "patcher").
#pragma once

#include <string>

namespace kelvra::platform {
class FileSystem;
}

namespace kelvra::update {

inline constexpr const char* kUpdaterResource = "UPD";
inline constexpr const char* kPatcherResource = "UTIL";

// The bytes of a carried program. Throws Error when the executable carries none.
std::string CarriedProgram(const std::string& resource);

// Marks a written program as executable (Linux); nothing on Windows.
void MakeExecutable(const std::string& path);

// Expands "UPD" to dir + "kusetup.exe" (replacing it), through a folder of its own: a
// "kusetup.ex_" in dir is a release's component waiting to be moved into place, and stays.
// Returns the path of "kusetup.exe". Errors propagate.
std::string ExtractUpdater(platform::FileSystem& files, const std::string& win_temp_dir);

// Writes "UTIL" to dir + "patcher.exe". Returns its path. Errors propagate.
std::string ExtractPatcher(platform::FileSystem& files, const std::string& dir);

}  // namespace kelvra::update
