// Windows .reg text: the in-memory form of one file, its parser and its writer.
//
// Reading accepts "REGEDIT4" and "Windows Registry Editor Version 5.00" files (UTF-8 with
// or without a byte-order mark, or UTF-16LE with its mark; CRLF or LF): [key] sections,
// [-key] deletions, "name"="text", @= for the default value, "name"=- deletions,
// dword:xxxxxxxx, hex:, hex(n): with trailing-backslash continuation lines, ; comments.
// hex(2) and hex(7) spelled exactly so carry text: UTF-8 bytes in REGEDIT4 files, UTF-16LE
// in Version 5.00 files; any other hex(n), including "hex(02)", carries the raw bytes.
// Writing produces REGEDIT4 in UTF-8 and reproduces every value byte for byte.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace kelvra::platform::posix {

struct RegKey {
    std::string path;  // as first written, components joined by '\'
    std::vector<std::pair<std::string, RegistryValue>> values;

    // Names compare without regard to case; "" is the default value.
    const RegistryValue* Find(std::string_view name) const;
    void Set(std::string_view name, const RegistryValue& value);
    // false when there was no such value.
    bool Remove(std::string_view name);
};

class RegFile {
  public:
    // Throws Error naming source and the line number for anything it cannot parse. With a
    // root, every key line must name root itself or a key below it.
    static RegFile Parse(std::string_view bytes, std::string_view source,
                         std::string_view root = {});
    std::string Write() const;

    // Key paths compare without regard to case; empty components are ignored.
    const RegKey* Find(std::string_view path) const;
    RegKey* Find(std::string_view path);
    // The key, created with any missing parents.
    RegKey& Ensure(std::string_view path);
    bool HasSubkeys(std::string_view path) const;
    // Removes the key and everything below it; false when it did not exist.
    bool RemoveTree(std::string_view path);
    // Every key, parents before their subkeys.
    std::vector<const RegKey*> Keys() const;

  private:
    // Folded path with components separated by '\x01', so that a key sorts right before
    // its subkeys.
    static std::string SortKey(std::string_view path);
    std::map<std::string, RegKey> keys_;
};

}  // namespace kelvra::platform::posix
