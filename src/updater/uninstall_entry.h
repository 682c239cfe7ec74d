// The setup program's entry in the system's list of installed programs (Apps & features):
// after an update it shows the new version.
#pragma once

#include <string>

namespace kelvra::platform {
class Registry;
}

namespace kelvra::updater {

// The uninstall key the setup program writes, per user (HKCU) or for all users (HKLM).
inline constexpr const char* kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KelvraEdu";

// Sets "DisplayVersion" to version in each entry whose "InstallLocation" is app_dir
// (letter case and a trailing separator aside). False when no entry names app_dir.
bool UpdateUninstallEntry(platform::Registry& registry, const std::string& app_dir,
                          const std::string& version);

}  // namespace kelvra::updater
