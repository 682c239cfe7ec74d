#include "updater/win32/elevation_win32.h"

#include <windows.h>

#include <shellapi.h>

namespace kelvra::updater::win32 {

bool FolderWritable(const std::wstring& dir) {
    wchar_t path[MAX_PATH];
    if (GetTempFileNameW(dir.c_str(), L"kup", 0, path) == 0)
        return false;
    DeleteFileW(path);
    return true;
}

Elevation RelaunchElevated(const std::wstring& program) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"runas";
    info.lpFile = program.c_str();
    info.lpParameters = kElevatedSwitch;
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&info))
        return Elevation::Started;
    return GetLastError() == ERROR_CANCELLED ? Elevation::Refused : Elevation::Impossible;
}

}  // namespace kelvra::updater::win32
