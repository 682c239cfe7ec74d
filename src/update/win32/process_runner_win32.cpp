// Programs started with ShellExecuteW and CreateProcessW.
#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <vector>

#include "platform/win32/wide.h"
#include "update/process_runner.h"

namespace kelvra::update {
namespace {

using platform::win32::Widen;

class Win32ProcessRunner final : public ProcessRunner {
  public:
    bool ShellOpen(const std::string& program, const std::string& params) override {
        HINSTANCE r = ShellExecuteW(nullptr, L"open", Widen(program).c_str(), Widen(params).c_str(),
                                    nullptr, SW_SHOW);
        return reinterpret_cast<INT_PTR>(r) > 32;
    }

    std::optional<std::uint32_t> RunAndWait(const std::string& command_line, bool show) override {
        std::wstring cmd = Widen(command_line);
        std::vector<wchar_t> buffer(cmd.begin(), cmd.end());
        buffer.push_back(L'\0');
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = show ? SW_SHOW : SW_HIDE;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                            nullptr, nullptr, &si, &pi))
            return std::nullopt;
        std::optional<std::uint32_t> result;
        DWORD code = 0;
        if (WaitForSingleObject(pi.hProcess, INFINITE) == WAIT_OBJECT_0 &&
            GetExitCodeProcess(pi.hProcess, &code))
            result = code;
        DWORD last = GetLastError();
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        SetLastError(last);
        return result;
    }

    std::uint32_t CurrentProcessId() const override { return GetCurrentProcessId(); }
    void SetLastErrorValue(std::uint32_t value) override { SetLastError(value); }
    std::uint32_t LastErrorValue() const override { return GetLastError(); }
};

}  // namespace

ProcessRunner& SystemProcessRunner() {
    static Win32ProcessRunner runner;
    return runner;
}

}  // namespace kelvra::update
