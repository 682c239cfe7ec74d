// The Linux registry's .reg reader on arbitrary bytes: whatever it accepts, it writes back
// in a form that reads to the same keys and values, and with a root it never keeps a key
// outside that root.
#include <strings.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/posix/reg_file.h"

namespace {

using kelvra::platform::RegistryValue;
using kelvra::platform::posix::RegFile;
using kelvra::platform::posix::RegKey;

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

constexpr std::string_view kRoot = "HKEY_CURRENT_USER";

// root itself or a path below it, without regard to case.
bool Within(std::string_view path, std::string_view root) {
    return path.size() >= root.size() &&
           ::strncasecmp(path.data(), root.data(), root.size()) == 0 &&
           (path.size() == root.size() || path[root.size()] == '\\');
}

// Both files hold the same keys, each with the same values (names, types and bytes).
bool SameContent(const RegFile& a, const RegFile& b) {
    const auto keys = a.Keys();
    if (keys.size() != b.Keys().size())
        return false;
    for (const RegKey* key : keys) {
        const RegKey* other = b.Find(key->path);
        if (other == nullptr || other->values.size() != key->values.size())
            return false;
        for (const auto& [name, value] : key->values) {
            const RegistryValue* v = other->Find(name);
            if (v == nullptr || v->type != value.type || v->data != value.data)
                return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (std::string_view root : {std::string_view{}, kRoot}) {
        std::string written;
        RegFile first;
        try {
            first = RegFile::Parse(bytes, "fuzz.reg", root);
            written = first.Write();
        } catch (const kelvra::Error&) {
            continue;  // refused with the file's name and line: the expected outcome
        }
        if (!root.empty())
            for (const RegKey* key : first.Keys())
                Check(Within(key->path, root));
        // The written form reads back without error to the same content, and is stable.
        const RegFile again = RegFile::Parse(written, "written.reg", root);
        Check(SameContent(first, again));
        Check(again.Write() == written);
    }
    return 0;
}
