#include "updater/uninstall_entry.h"

#include "platform/registry.h"
#include "platform/text.h"

namespace kelvra::updater {
namespace {

std::string Normalised(std::string path) {
    while (!path.empty() && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    return text::UpperAscii(path);
}

}  // namespace

bool UpdateUninstallEntry(platform::Registry& registry, const std::string& app_dir,
                          const std::string& version) {
    bool found = false;
    for (auto hive : {platform::RegistryHive::CurrentUser, platform::RegistryHive::LocalMachine}) {
        auto key = registry.Open(hive, kUninstallKey, platform::RegistryAccess::ReadWrite);
        if (!key)
            continue;
        const auto location = key->Query("InstallLocation");
        if (!location || Normalised(location->TextValue()) != Normalised(app_dir))
            continue;
        key->Set("DisplayVersion", platform::RegistryValue::Text(version));
        found = true;
    }
    return found;
}

}  // namespace kelvra::updater
