#include "bridge/class_registration.h"

#include <cstdio>

#include "bridge/app_to_ie_members.h"
#include "platform/error.h"
#include "platform/registry.h"

namespace kelvra::bridge {
namespace {

std::string Prefix(bool per_user) {
    return per_user ? "Software\\Classes\\" : "";
}

platform::RegistryHive Hive(bool per_user) {
    return per_user ? platform::RegistryHive::CurrentUser : platform::RegistryHive::ClassesRoot;
}

}  // namespace

std::vector<RegistryEntry> ClassRegistryEntries(const std::string& server_file, bool per_user,
                                                int major, int minor) {
    const std::string p = Prefix(per_user);
    const std::string class_key = p + "CLSID\\" + kClassClsid;
    const std::string progid_key = p + kProgId;
    char version[32];
    std::snprintf(version, sizeof version, "%d.%d", major, minor);
    return {
        {class_key, kClassDescription},           {class_key + "\\LocalServer32", server_file},
        {progid_key, kClassDescription},          {progid_key + "\\Clsid", kClassClsid},
        {class_key + "\\ProgID", kProgId},        {class_key + "\\Version", version},
        {class_key + "\\TypeLib", kLibraryLibid},
    };
}

std::vector<std::string> ClassRegistryDeletions(bool per_user) {
    const std::string p = Prefix(per_user);
    const std::string class_key = p + "CLSID\\" + kClassClsid;
    const std::string progid_key = p + kProgId;
    return {class_key + "\\TypeLib",
            class_key + "\\Version",
            class_key + "\\ProgID",
            progid_key + "\\Clsid",
            progid_key,
            class_key + "\\LocalServer32",
            class_key};
}

void WriteClassEntries(platform::Registry& registry, const std::vector<RegistryEntry>& entries,
                       bool per_user) {
    for (const RegistryEntry& entry : entries) {
        try {
            auto key = registry.Create(Hive(per_user), entry.key);
            if (!key) {
                throw Error(kRegistryEntryError);
            }
            key->Set("", platform::RegistryValue::Text(entry.data));
        } catch (const OsError&) {
            throw Error(kRegistryEntryError);
        }
    }
}

void DeleteClassEntries(platform::Registry& registry, bool per_user) {
    for (const std::string& key : ClassRegistryDeletions(per_user)) {
        try {
            registry.DeleteKey(Hive(per_user), key);
        } catch (const Error&) {
            // A key that cannot be removed (foreign subkeys) is left as it is.
        }
    }
}

}  // namespace kelvra::bridge
