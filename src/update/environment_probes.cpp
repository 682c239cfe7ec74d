#include "update/environment_probes.h"

#include "platform/error.h"
#include "platform/registry.h"

namespace kelvra::update {
namespace {

struct IdeKey {
    const char* path;
    const char* code;
};

// Development environments whose registry keys the update procedure reports.
constexpr IdeKey kIdeKeys[] = {
    {"Software\\Microsoft\\VisualStudio\\8.0", "VS8"},
    {"Software\\Microsoft\\VisualStudio\\9.0", "VS9"},
    {"Software\\Microsoft\\VisualStudio\\10.0", "VS10"},
    {"Software\\Microsoft\\VisualStudio\\11.0", "VS11"},
    {"Software\\Microsoft\\VisualStudio\\12.0", "VS12"},
    {"Software\\Microsoft\\VisualStudio\\14.0", "VS14"},
    {"Software\\Microsoft\\VisualStudio\\15.0", "VS15"},
    {"Software\\Eclipse Foundation", "ECL"},
    {"Software\\JetBrains", "JB"},
    {"Software\\Qt", "QT"},
    {"Software\\CodeBlocks", "CB"},
};

bool KeyOpens(const platform::Registry& registry, const char* path) {
    try {
        return registry.Open(platform::RegistryHive::LocalMachine, path,
                             platform::RegistryAccess::Read) != nullptr;
    } catch (const Error&) {
        return false;  // a damaged store reads as "not installed" for this report only
    }
}

}  // namespace

std::string FormatOSVersion(unsigned major, unsigned minor, bool has_locale_info_ex) {
    std::string s = std::to_string(major) + "." + std::to_string(minor);
    if (has_locale_info_ex)
        s += (major == 6 && minor == 1) ? "(Win 7)" : "(Vista)";
    return s;
}

std::string ProbeIEVersion(const platform::Registry& registry) {
    auto key = registry.Open(platform::RegistryHive::LocalMachine,
                             "Software\\Microsoft\\Internet Explorer\\Version Vector",
                             platform::RegistryAccess::Read);
    if (!key)
        return "(not found)";
    auto value = key->Query("IE");
    return value ? value->TextValue() : std::string();
}

std::string BuildEnvironmentCode() {
#if defined(__clang__)
    return "CLANG" + std::to_string(__clang_major__);
#elif defined(__GNUC__)
    return "GCC" + std::to_string(__GNUC__);
#else
    return "CXX";
#endif
}

std::string ProbeInstalledIDEs(const platform::Registry& registry) {
    std::string codes;
    for (const IdeKey& k : kIdeKeys) {
        if (KeyOpens(registry, k.path))
            codes += k.code;
    }
    return codes;
}

std::string EngineVersionText(std::uint32_t version) {
    return std::to_string(version >> 24) + "." + std::to_string((version >> 16) & 0xFF) + "." +
           std::to_string((version >> 8) & 0xFF) + "." + std::to_string(version & 0xFF);
}

}  // namespace kelvra::update
