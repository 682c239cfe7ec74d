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

bool MoveToPrepared(const std::string& from, const std::string& prepared, const std::string&) {
    const std::wstring f = Widen(from), p = Widen(prepared);
    // Whatever stands at the prepared name goes first; deleting a link removes the link.
    if (!DeleteFileW(p.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        return false;
    if (!MoveFileExW(f.c_str(), p.c_str(), MOVEFILE_WRITE_THROUGH)) {
        if (GetLastError() != ERROR_NOT_SAME_DEVICE)
            return false;
        // Another volume: a copy at the prepared name (failing should anything appear there
        // meanwhile), then the staged file goes.
        if (!CopyFileExW(f.c_str(), p.c_str(), nullptr, nullptr, nullptr,
                         COPY_FILE_FAIL_IF_EXISTS)) {
            DeleteFileW(p.c_str());
            return false;
        }
        HANDLE h = CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        const bool flushed = h != INVALID_HANDLE_VALUE && FlushFileBuffers(h);
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        if (!flushed || !DeleteFileW(f.c_str())) {
            DeleteFileW(p.c_str());
            return false;
        }
    }
    return true;
}

bool ReplaceWithPrepared(const std::string& prepared, const std::string& target) {
    std::wstring p = Widen(prepared), t = Widen(target);
    // The ended process's image may stay locked for a moment.
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (MoveFileExW(p.c_str(), t.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
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
