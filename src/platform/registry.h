// The registry: Windows' own on Win32; on Linux a store of .reg text files, one per hive.
// Linux: HKEY_CURRENT_USER.reg in $XDG_CONFIG_HOME/kelvraedu/registry (~/.config when
// unset), HKEY_LOCAL_MACHINE.reg and HKEY_CLASSES_ROOT.reg in /etc/kelvraedu/registry;
// KELVRA_REGISTRY_DIR, when set, is the one folder for all three files.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra::platform {

enum class RegistryHive { ClassesRoot, CurrentUser, LocalMachine };

// Value types as Windows numbers them.
enum RegistryType : std::uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegMultiSz = 7,
};

// A value as Windows stores it: text types hold UTF-16LE code units with their
// terminating NUL; REG_DWORD holds four little-endian bytes.
struct RegistryValue {
    std::uint32_t type = kRegNone;
    std::vector<std::uint8_t> data;

    static RegistryValue Text(std::string_view utf8, std::uint32_t type = kRegSz);
    static RegistryValue Dword(std::uint32_t value);
    // Text up to the first NUL (UTF-8); meaningful for text types only.
    std::string TextValue() const;
    // Throws Error when the value is not a four-byte REG_DWORD.
    std::uint32_t DwordValue() const;
};

class RegistryKey {
  public:
    virtual ~RegistryKey() = default;
    // nullopt when the value does not exist. Throws OsError when it cannot be read.
    virtual std::optional<RegistryValue> Query(std::string_view name) const = 0;
    // "" names the key's default value. Throws OsError on failure.
    virtual void Set(std::string_view name, const RegistryValue& value) = 0;
    // Throws OsError on failure; a missing value is not an error.
    virtual void DeleteValue(std::string_view name) = 0;
};

enum class RegistryAccess { Read, ReadWrite };

class Registry {
  public:
    virtual ~Registry() = default;
    // nullptr when the key does not exist or cannot be opened with that access, which
    // on Linux includes every key of a hive file that cannot be read or does not parse.
    // Changes to such a hive (Create, DeleteKey, Set, DeleteValue) and reads through a key
    // opened before the damage throw OsError; a damaged store is never read as empty nor
    // rewritten.
    virtual std::unique_ptr<RegistryKey> Open(RegistryHive hive, std::string_view path,
                                              RegistryAccess access) const = 0;
    // Opens the key for writing, creating it and any missing parents. Throws OsError.
    virtual std::unique_ptr<RegistryKey> Create(RegistryHive hive, std::string_view path) = 0;
    // As Create, with every right on the key (Windows: KEY_ALL_ACCESS); where a store has
    // no access rights this is Create.
    virtual std::unique_ptr<RegistryKey> CreateFullAccess(RegistryHive hive,
                                                          std::string_view path) {
        return Create(hive, path);
    }
    // Deletes a key that has no subkeys. false when it does not exist; throws OsError on
    // any other failure.
    virtual bool DeleteKey(RegistryHive hive, std::string_view path) = 0;
};

Registry& SystemRegistry();

}  // namespace kelvra::platform
