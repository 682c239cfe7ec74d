// Where the Linux client registers its automation class: a D-Bus activation file that lets
// the session bus start the client for the bus name KelvraeduApp.TKelvraAppToIe.
//   per user:  $XDG_DATA_HOME/dbus-1/services (default ~/.local/share/dbus-1/services)
//   all users: /usr/share/dbus-1/services, which every session bus searches
#pragma once

#include <string>

namespace kelvra::bridge {

inline constexpr const char* kRegistrationFailed = "Error creating system registry entry";
inline constexpr const char* kSharedDataDir = "/usr/share";

std::string ActivationFilePath(bool per_user);

// The file's text: the bus name and the command the bus runs, the executable in automation
// mode (quoted as the bus's command-line rules need when the path holds other characters
// than letters, digits and / . _ - +).
std::string ActivationFileText(const std::string& executable);

// Writes the file (mode 0644), making its folders. Throws Error(kRegistrationFailed) when it
// cannot, or when executable holds a line break or another control character.
void WriteActivationFile(bool per_user, const std::string& executable);

// Removes the file; a file that is missing or cannot be removed is left as it is.
void RemoveActivationFile(bool per_user);

}  // namespace kelvra::bridge
