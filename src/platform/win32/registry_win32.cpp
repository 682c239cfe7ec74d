// The registry over advapi32, in the process's default registry view.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "platform/error.h"
#include "platform/registry.h"
#include "platform/win32/wide.h"

namespace kelvra::platform {
namespace {

using win32::ThrowWin32;
using win32::Widen;

HKEY RootOf(RegistryHive hive) {
    switch (hive) {
        case RegistryHive::ClassesRoot:
            return HKEY_CLASSES_ROOT;
        case RegistryHive::CurrentUser:
            return HKEY_CURRENT_USER;
        case RegistryHive::LocalMachine:
            return HKEY_LOCAL_MACHINE;
    }
    throw Error("Unknown registry hive");
}

class Win32Key : public RegistryKey {
  public:
    Win32Key(HKEY key, std::string path) : key_(key), path_(std::move(path)) {}
    ~Win32Key() override { ::RegCloseKey(key_); }
    Win32Key(const Win32Key&) = delete;
    Win32Key& operator=(const Win32Key&) = delete;

    std::optional<RegistryValue> Query(std::string_view name) const override {
        const std::wstring wname = Widen(name);
        DWORD type = 0;
        DWORD size = 0;
        LONG rc = ::RegQueryValueExW(key_, wname.c_str(), nullptr, &type, nullptr, &size);
        RegistryValue value;
        // The value may grow between the size query and the read; ask again then.
        while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
            value.data.resize(size);
            DWORD got = size;
            rc = ::RegQueryValueExW(key_, wname.c_str(), nullptr, &type,
                                    value.data.empty() ? nullptr : value.data.data(), &got);
            if (rc == ERROR_SUCCESS) {
                value.data.resize(got);
                value.type = type;
                return value;
            }
            if (rc == ERROR_MORE_DATA)
                size = got > size ? got : size * 2 + 2;
        }
        if (rc == ERROR_FILE_NOT_FOUND)
            return std::nullopt;
        ThrowWin32("Cannot read registry value \"" + std::string(name) + "\" of \"" + path_ + "\"",
                   static_cast<DWORD>(rc));
    }

    void Set(std::string_view name, const RegistryValue& value) override {
        const std::wstring wname = Widen(name);
        // For string types RegSetValueExW looks one character past the given size and stores
        // an extra terminator when it finds one there. The bytes are copied with a non-zero
        // character after them so that exactly the given bytes are stored and nothing outside
        // the value is read.
        std::vector<std::uint8_t> bytes(value.data);
        const bool text =
            value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
        if (text && !bytes.empty()) {
            bytes.push_back(0xFF);
            bytes.push_back(0xFF);
        }
        const LONG rc = ::RegSetValueExW(key_, wname.c_str(), 0, value.type,
                                         bytes.empty() ? nullptr : bytes.data(),
                                         static_cast<DWORD>(value.data.size()));
        if (rc != ERROR_SUCCESS) {
            ThrowWin32(
                "Cannot write registry value \"" + std::string(name) + "\" of \"" + path_ + "\"",
                static_cast<DWORD>(rc));
        }
    }

    void DeleteValue(std::string_view name) override {
        const LONG rc = ::RegDeleteValueW(key_, Widen(name).c_str());
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
            ThrowWin32(
                "Cannot delete registry value \"" + std::string(name) + "\" of \"" + path_ + "\"",
                static_cast<DWORD>(rc));
        }
    }

  private:
    HKEY key_;
    std::string path_;
};

class Win32Registry : public Registry {
  public:
    std::unique_ptr<RegistryKey> Open(RegistryHive hive, std::string_view path,
                                      RegistryAccess access) const override {
        const REGSAM sam = access == RegistryAccess::Read ? KEY_READ : KEY_READ | KEY_WRITE;
        HKEY key = nullptr;
        if (::RegOpenKeyExW(RootOf(hive), Widen(path).c_str(), 0, sam, &key) != ERROR_SUCCESS)
            return nullptr;
        return std::make_unique<Win32Key>(key, std::string(path));
    }

    std::unique_ptr<RegistryKey> Create(RegistryHive hive, std::string_view path) override {
        return CreateWith(hive, path, KEY_READ | KEY_WRITE);
    }

    std::unique_ptr<RegistryKey> CreateFullAccess(RegistryHive hive,
                                                  std::string_view path) override {
        return CreateWith(hive, path, KEY_ALL_ACCESS);
    }

    bool DeleteKey(RegistryHive hive, std::string_view path) override {
        const LONG rc = ::RegDeleteKeyW(RootOf(hive), Widen(path).c_str());
        if (rc == ERROR_SUCCESS)
            return true;
        if (rc == ERROR_FILE_NOT_FOUND)
            return false;
        ThrowWin32("Cannot delete registry key \"" + std::string(path) + "\"",
                   static_cast<DWORD>(rc));
    }

  private:
    static std::unique_ptr<RegistryKey> CreateWith(RegistryHive hive, std::string_view path,
                                                   REGSAM sam) {
        HKEY key = nullptr;
        const LONG rc = ::RegCreateKeyExW(RootOf(hive), Widen(path).c_str(), 0, nullptr, 0, sam,
                                          nullptr, &key, nullptr);
        if (rc != ERROR_SUCCESS) {
            ThrowWin32("Cannot create registry key \"" + std::string(path) + "\"",
                       static_cast<DWORD>(rc));
        }
        return std::make_unique<Win32Key>(key, std::string(path));
    }
};

}  // namespace

Registry& SystemRegistry() {
    static Win32Registry registry;
    return registry;
}

}  // namespace kelvra::platform
