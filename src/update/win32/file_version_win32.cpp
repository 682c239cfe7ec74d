// Windows: the file version from the version resource through the version API.
#include <windows.h>

#include <vector>

#include "platform/win32/wide.h"
#include "update/version_info.h"

namespace kelvra::update {

// The full path is looked up; it is not cut at 255 characters, which would name another file.
VersionWords ReadFileVersion(std::string_view path) {
    const std::wstring wide = platform::win32::Widen(path);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &handle);
    if (size == 0)
        return {};
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoW(wide.c_str(), 0, size, data.data()))
        return {};
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &len) || !info ||
        len < sizeof(VS_FIXEDFILEINFO) || info->dwSignature != 0xFEEF04BDu)
        return {};
    return {info->dwFileVersionMS, info->dwFileVersionLS};
}

}  // namespace kelvra::update
