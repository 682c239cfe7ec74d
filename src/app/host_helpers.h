// Free functions the windows call: configuration folder, whiteboard lookup, browser
// emulation value and the query-value helper of the popup-size text. They hold no state.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvra::platform {
class Environment;
class FileSystem;
class Registry;
}  // namespace kelvra::platform

namespace kelvra::app {

inline constexpr const char* kConfigFolderName = "kelvraeduConfig";
inline constexpr const char* kSettingsFileName = "sysparams.ini";
inline constexpr const char* kBrowserEmulationKey =
    "SOFTWARE\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
inline constexpr unsigned kBrowserEmulationValue = 8000;

// Windows: %APPDATA% + "\kelvraeduConfig" (empty APPDATA when unset).
// Linux: $APPDATA when set, otherwise $XDG_CONFIG_HOME or ~/.config, + "/kelvraeduConfig".
std::string GetConfigDir(const platform::Environment& env, const platform::FileSystem& files);
// GetConfigDir() + separator + "sysparams.ini".
std::string GetSettingsFilePath(const platform::Environment& env,
                                const platform::FileSystem& files);

// Full path of the installed whiteboard (or panel) program, or "".
// Throws Error when an "InstallPath" value exists with a type that is not text.
std::string GetWhiteboardPath(const platform::Registry& registry,
                              const platform::FileSystem& files);

// Writes 8000 (REG_DWORD) under this executable's file name. Throws on failure.
void SetBrowserEmulation(platform::Registry& registry, const platform::FileSystem& files);

// The text after the first occurrence of key up to the next '&' or the end; "" when
// key does not occur.
std::string GetQueryValue(std::string_view key, std::string_view text);

}  // namespace kelvra::app
