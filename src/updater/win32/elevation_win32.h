// Elevation for an all-users install: the application folder under Program Files is not
// writable by a teacher, so the updater starts itself again through the shell verb "runas"
// (the system's standard prompt), once.
#pragma once

#include <string>

namespace kelvra::updater::win32 {

// The argument that marks the elevated copy, so that it never asks again.
inline constexpr const wchar_t* kElevatedSwitch = L"/elevated";

// True when a file can be created in dir.
bool FolderWritable(const std::wstring& dir);

enum class Elevation { Started, Refused, Impossible };
// Starts program with kElevatedSwitch through "runas".
Elevation RelaunchElevated(const std::wstring& program);

}  // namespace kelvra::updater::win32
