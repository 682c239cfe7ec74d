#include "app/host_helpers.h"

#include <array>

#include "platform/environment.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/registry.h"

namespace kelvra::app {
namespace {

struct WhiteboardKey {
    const char* path;
    const char* program;
};

// Later rows replace earlier ones: the panel program wins, and within one program the
// plain key wins over the Wow6432Node key.
constexpr std::array<WhiteboardKey, 4> kWhiteboardKeys{{
    {"SOFTWARE\\Wow6432Node\\Norrix\\Ondrix", "Ondrix.exe"},
    {"SOFTWARE\\Norrix\\Ondrix", "Ondrix.exe"},
    {"SOFTWARE\\Wow6432Node\\Norrix\\Pelmar", "Pelmar.exe"},
    {"SOFTWARE\\Norrix\\Pelmar", "Pelmar.exe"},
}};

constexpr const char* kInstallPathValue = "InstallPath";

std::string ReadInstallPath(const platform::RegistryKey& key) {
    const auto value = key.Query(kInstallPathValue);
    if (!value)
        return {};
    if (value->type != platform::kRegSz && value->type != platform::kRegExpandSz) {
        throw Error(std::string("Invalid data type for '") + kInstallPathValue + "'");
    }
    return value->TextValue();  // expandable text is used as stored
}

}  // namespace

std::string GetConfigDir(const platform::Environment& env, const platform::FileSystem& files) {
    const char sep = files.Separator();
    std::string base;
    if (sep == '\\') {
        base = env.Get("APPDATA").value_or("");
    } else if (auto appdata = env.Get("APPDATA")) {
        base = *appdata;
    } else if (auto xdg = env.Get("XDG_CONFIG_HOME"); xdg && !xdg->empty()) {
        base = *xdg;
    } else {
        base = env.Get("HOME").value_or("") + sep + ".config";
    }
    return base + sep + kConfigFolderName;
}

std::string GetSettingsFilePath(const platform::Environment& env,
                                const platform::FileSystem& files) {
    return GetConfigDir(env, files) + files.Separator() + kSettingsFileName;
}

std::string GetWhiteboardPath(const platform::Registry& registry,
                              const platform::FileSystem& files) {
    std::string result;
    for (const WhiteboardKey& row : kWhiteboardKeys) {
        const auto key = registry.Open(platform::RegistryHive::LocalMachine, row.path,
                                       platform::RegistryAccess::Read);
        if (!key)
            continue;
        const std::string dir = ReadInstallPath(*key);
        if (files.DirectoryExists(dir))
            result = dir + files.Separator() + row.program;
    }
    if (!files.FileExists(result))
        result.clear();
    return result;
}

void SetBrowserEmulation(platform::Registry& registry, const platform::FileSystem& files) {
    const std::string exe = platform::FileNameOf(files.ExecutablePath(), files.Separator());
    auto key = registry.Create(platform::RegistryHive::CurrentUser, kBrowserEmulationKey);
    key->Set(exe, platform::RegistryValue::Dword(kBrowserEmulationValue));
}

std::string GetQueryValue(std::string_view key, std::string_view text) {
    const std::size_t at = text.find(key);
    if (at == std::string_view::npos)
        return {};
    const std::string_view rest = text.substr(at + key.size());
    return std::string(rest.substr(0, rest.find('&')));
}

}  // namespace kelvra::app
