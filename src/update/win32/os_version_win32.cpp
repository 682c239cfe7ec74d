// Windows: the version the system reports to this program, and whether it offers
// GetLocaleInfoEx.
#include <windows.h>

#include "update/environment_probes.h"

namespace kelvra::update {

std::string ProbeOSVersion() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExW(&info);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const bool has_ex = kernel && GetProcAddress(kernel, "GetLocaleInfoEx") != nullptr;
    return FormatOSVersion(info.dwMajorVersion, info.dwMinorVersion, has_ex);
}

}  // namespace kelvra::update
