// The restart program's system side on Windows.
#include <windows.h>
// after windows.h
#include <shellapi.h>

#include "platform/win32/wide.h"
#include "restart_program.h"

namespace kelvra::tools {

using platform::win32::Widen;

bool WaitForProcessEnd(std::uint32_t pid, std::chrono::milliseconds timeout) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process == nullptr)
        return true;  // already gone
    DWORD r = WaitForSingleObject(process, static_cast<DWORD>(timeout.count()));
    CloseHandle(process);
    return r == WAIT_OBJECT_0;
}

bool MoveReplacing(const std::string& from, const std::string& to) {
    std::wstring f = Widen(from), t = Widen(to);
    // The ended process's image may stay locked for a moment.
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (MoveFileExW(f.c_str(), t.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
            return true;
        DWORD err = GetLastError();
        if (err != ERROR_ACCESS_DENIED && err != ERROR_SHARING_VIOLATION)
            return false;
        Sleep(100);
    }
    return false;
}

bool StartApplication(const std::string& application, const std::string& parameters,
                      const std::string& dir) {
    std::string params = parameters.find_first_not_of(" \t") == std::string::npos ? "" : parameters;
    HINSTANCE r = ShellExecuteW(nullptr, L"open", Widen(application).c_str(),
                                params.empty() ? nullptr : Widen(params).c_str(),
                                dir.empty() ? nullptr : Widen(dir).c_str(), SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(r) > 32;
}

char PathSeparator() {
    return '\\';
}

}  // namespace kelvra::tools
