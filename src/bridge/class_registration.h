// The class's registry entries: seven default values written in order when registering,
// and the single-key deletions that remove them.
#pragma once

#include <string>
#include <vector>

namespace kelvra::platform {
class Registry;
}

namespace kelvra::bridge {

inline constexpr const char* kRegistryEntryError = "Error creating system registry entry";

struct RegistryEntry {
    std::string key;
    std::string data;
};

// The seven entries, in order, with the per-user prefix when asked for. server_file is
// the LocalServer32 data (already in its short form when the path has a blank).
std::vector<RegistryEntry> ClassRegistryEntries(const std::string& server_file, bool per_user,
                                                int major, int minor);
// The keys to delete, in order (subkeys before parents).
std::vector<std::string> ClassRegistryDeletions(bool per_user);

// Writes the entries. Throws Error("Error creating system registry entry") at the first
// key or value that fails; entries written so far stay.
void WriteClassEntries(platform::Registry& registry, const std::vector<RegistryEntry>& entries,
                       bool per_user);
// Deletes each key; failures are ignored.
void DeleteClassEntries(platform::Registry& registry, bool per_user);

}  // namespace kelvra::bridge
