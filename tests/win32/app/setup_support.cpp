#include "setup_support.h"

#include <chrono>

#include "platform/win32/wide.h"
#include "test_support.h"

namespace kelvra::test {

std::string KnownFolder(REFKNOWNFOLDERID id) {
    wchar_t* path = nullptr;
    std::string out;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)))
        out = platform::win32::Narrow(path);
    CoTaskMemFree(path);
    return out;
}

std::string UserFolder() {
    return KnownFolder(FOLDERID_LocalAppData) + "\\Programs\\KelvraEdu";
}

std::string MachineFolder() {
    return KnownFolder(FOLDERID_ProgramFiles) + "\\KelvraEdu";
}

std::wstring Text(HKEY root, const std::wstring& key, const wchar_t* value) {
    wchar_t buf[1024] = {};
    DWORD size = sizeof buf;
    if (RegGetValueW(root, key.c_str(), value, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return buf;
}

std::wstring ServerName(const std::string& exe) {
    std::wstring path = platform::win32::Widen(exe);
    wchar_t buf[MAX_PATH] = {};
    if (path.find(L' ') == std::wstring::npos ||
        GetShortPathNameW(path.c_str(), buf, MAX_PATH) == 0)
        return path;
    return buf;
}

int RunToEnd(const std::string& program, const std::vector<std::string>& args) {
    ChildProcess process(program, args, {"WINEDLLOVERRIDES=winemenubuilder.exe=d"});
    return process.Wait(kRunDeadline).value_or(-1);
}

bool ClientRunning() {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, L"KelvraCloudApp");
    if (mutex != nullptr)
        CloseHandle(mutex);
    return mutex != nullptr;
}

}  // namespace kelvra::test
