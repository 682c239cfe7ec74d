// Environment descriptions the update procedure writes to the log at its start.
#pragma once

#include <cstdint>
#include <string>

namespace kelvra::platform {
class Registry;
}

namespace kelvra::update {

// "major.minor", then "(Win 7)" for 6.1 or "(Vista)" for other versions when the platform
// offers GetLocaleInfoEx.
std::string FormatOSVersion(unsigned major, unsigned minor, bool has_locale_info_ex);
// The running platform's version in that form (Linux: the kernel's major.minor).
std::string ProbeOSVersion();
// HKLM\Software\Microsoft\Internet Explorer\Version Vector "IE", "(not found)" without key.
std::string ProbeIEVersion(const platform::Registry& registry);
// A fixed code for the engine's build environment.
std::string BuildEnvironmentCode();
// The codes of the known development-environment keys under HKLM that can be opened,
// concatenated in table order.
std::string ProbeInstalledIDEs(const platform::Registry& registry);
// 0x02010400 -> "2.1.4.0": four bytes, most significant first.
std::string EngineVersionText(std::uint32_t version = 0x02010400u);

}  // namespace kelvra::update
