// Windows: the temporary-files directory the system names (TMP, TEMP, the profile, ...).
#include <windows.h>

#include <string>

#include "platform/win32/wide.h"
#include "update/local_files.h"

namespace kelvra::update {

std::string TempFilesDirectory() {
    wchar_t buffer[MAX_PATH + 2];
    const DWORD n = GetTempPathW(MAX_PATH + 2, buffer);
    if (n == 0 || n > MAX_PATH + 1)
        return ".";  // no folder to be had from the system: the current directory
    std::string dir = platform::win32::Narrow(std::wstring_view(buffer, n));
    while (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/'))
        dir.pop_back();
    return dir;
}

}  // namespace kelvra::update
