#include <windows.h>

#include <stdexcept>

#include "platform/win32/wide.h"
#include "test_support.h"

namespace kelvra::test {
namespace {

// Quotes one argument the way the C runtime's command-line parser reads it back.
std::wstring QuoteArg(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"')
            out.append(backslashes * 2 + 1, L'\\');
        else
            out.append(backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

}  // namespace

struct ChildProcess::Impl {
    PROCESS_INFORMATION pi{};
    std::optional<int> exit_code;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& extra_env)
    : impl_(new Impl) {
    using platform::win32::Widen;
    std::wstring cmd = QuoteArg(Widen(program));
    for (const auto& a : args)
        cmd += L" " + QuoteArg(Widen(a));
    // Environment block: the current variables, with the extra ones replacing same names.
    std::wstring block;
    wchar_t* env = GetEnvironmentStringsW();
    for (const wchar_t* e = env; *e; e += wcslen(e) + 1) {
        const std::wstring entry(e);
        const std::wstring name = entry.substr(0, entry.find(L'=', 1));
        bool replaced = false;
        for (const auto& x : extra_env) {
            const std::wstring w = Widen(x);
            replaced |= _wcsicmp(w.substr(0, w.find(L'=')).c_str(), name.c_str()) == 0;
        }
        if (!replaced)
            block += entry + L'\0';
    }
    FreeEnvironmentStringsW(env);
    for (const auto& x : extra_env)
        block += Widen(x) + L'\0';
    block += L'\0';
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        block.data(), nullptr, &si, &impl_->pi)) {
        const DWORD err = GetLastError();
        delete impl_;
        throw std::runtime_error("cannot start " + program + ": error " + std::to_string(err));
    }
}

ChildProcess::~ChildProcess() {
    if (!impl_->exit_code)
        Kill();
    CloseHandle(impl_->pi.hProcess);
    CloseHandle(impl_->pi.hThread);
    delete impl_;
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (impl_->exit_code)
        return impl_->exit_code;
    if (WaitForSingleObject(impl_->pi.hProcess, static_cast<DWORD>(timeout.count())) ==
        WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(impl_->pi.hProcess, &code);
        impl_->exit_code = static_cast<int>(code);
    }
    return impl_->exit_code;
}

long ChildProcess::Id() const {
    return static_cast<long>(impl_->pi.dwProcessId);
}

void ChildProcess::Kill() {
    if (impl_->exit_code)
        return;
    TerminateProcess(impl_->pi.hProcess, 137);
    WaitForSingleObject(impl_->pi.hProcess, 10000);
    impl_->exit_code = 137;
}

}  // namespace kelvra::test
