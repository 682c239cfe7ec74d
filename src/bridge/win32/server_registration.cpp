#include "bridge/win32/server_registration.h"

#include <windows.h>

#include <oleauto.h>

#include "bridge/class_registration.h"
#include "bridge/win32/class_record.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "platform/win32/wide.h"

namespace kelvra::bridge::win32 {
namespace {

using platform::win32::Narrow;
using platform::win32::SystemErrorText;

using RegisterForUser = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
using UnregisterForUser = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

// The per-user forms exist from Windows Vista on; older systems use the machine form.
template <class F>
F OleAutFunction(const char* name) {
    HMODULE oleaut = GetModuleHandleW(L"oleaut32.dll");
    return oleaut ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(oleaut, name)))
                  : nullptr;
}

[[noreturn]] void Fail(HRESULT hr) {
    throw Error(SystemErrorText(static_cast<DWORD>(hr)));
}

ITypeLib* Library() {
    const ClassRecord& record = ClassRecord::Get();
    if (!record.Loaded())
        Fail(record.LoadResult());
    return record.Library();
}

}  // namespace

std::wstring LocalServerPath(const std::wstring& long_path) {
    if (long_path.find(L' ') == std::wstring::npos)
        return long_path;
    // Without a short form (8.3 names switched off) an unquoted path with a blank would
    // start the wrong program, or none: quote it instead.
    const std::wstring quoted = L"\"" + long_path + L"\"";
    const DWORD need = GetShortPathNameW(long_path.c_str(), nullptr, 0);
    if (need == 0)
        return quoted;
    std::wstring short_path(need, L'\0');
    const DWORD got = GetShortPathNameW(long_path.c_str(), short_path.data(), need);
    if (got == 0 || got >= need)
        return quoted;
    short_path.resize(got);
    return short_path.find(L' ') == std::wstring::npos ? short_path : quoted;
}

void RegisterServer(bool per_user) {
    ITypeLib* lib = Library();
    std::wstring file = ClassRecord::ServerFileName();
    std::wstring help_dir = file.substr(0, file.rfind(L'\\') + 1);
    const auto for_user =
        per_user ? OleAutFunction<RegisterForUser>("RegisterTypeLibForUser") : nullptr;
    const HRESULT hr = for_user ? for_user(lib, file.data(), help_dir.data())
                                : RegisterTypeLib(lib, file.data(), help_dir.data());
    if (FAILED(hr))
        Fail(hr);
    TLIBATTR* attr = nullptr;
    const HRESULT got = lib->GetLibAttr(&attr);
    if (FAILED(got))
        Fail(got);
    const int major = attr->wMajorVerNum;
    const int minor = attr->wMinorVerNum;
    lib->ReleaseTLibAttr(attr);
    WriteClassEntries(platform::SystemRegistry(),
                      ClassRegistryEntries(Narrow(LocalServerPath(file)), per_user, major, minor),
                      per_user);
}

void UnregisterServer(bool per_user) {
    ITypeLib* lib = Library();
    TLIBATTR* attr = nullptr;
    const HRESULT got = lib->GetLibAttr(&attr);
    if (FAILED(got))
        Fail(got);
    const TLIBATTR copy = *attr;
    lib->ReleaseTLibAttr(attr);
    const auto for_user =
        per_user ? OleAutFunction<UnregisterForUser>("UnRegisterTypeLibForUser") : nullptr;
    // The outcome is not examined: a library that was never registered is fine.
    if (for_user)
        for_user(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind);
    else
        UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind);
    DeleteClassEntries(platform::SystemRegistry(), per_user);
}

}  // namespace kelvra::bridge::win32
