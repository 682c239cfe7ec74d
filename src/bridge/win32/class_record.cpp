#include "bridge/win32/class_record.h"

#include <oleauto.h>

#include "kelvraedu_app.h"

namespace kelvra::bridge::win32 {
namespace {

std::wstring TakeBstr(BSTR s) {
    std::wstring out = s ? std::wstring(s, SysStringLen(s)) : std::wstring();
    SysFreeString(s);
    return out;
}

}  // namespace

std::wstring ClassRecord::ServerFileName() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const DWORD need = GetLongPathNameW(path.c_str(), nullptr, 0);
    if (need == 0)
        return path;
    std::wstring long_path(need, L'\0');
    const DWORD got = GetLongPathNameW(path.c_str(), long_path.data(), need);
    if (got == 0 || got >= need)
        return path;
    long_path.resize(got);
    return long_path;
}

ClassRecord::ClassRecord() {
    ITypeLib* lib = nullptr;
    load_result_ = LoadTypeLibEx(ServerFileName().c_str(), REGKIND_NONE, &lib);
    if (FAILED(load_result_))
        return;
    ITypeInfo* dispatch = nullptr;
    ITypeInfo* klass = nullptr;
    ITypeInfo* vtable = nullptr;
    HRESULT hr = lib->GetTypeInfoOfGuid(__uuidof(ITKelvraAppToIe), &dispatch);
    if (SUCCEEDED(hr))
        hr = lib->GetTypeInfoOfGuid(__uuidof(TKelvraAppToIe), &klass);
    if (SUCCEEDED(hr)) {
        // The dual interface's virtual-table view is the dispatch view's implemented
        // type -1; ITypeInfo::Invoke needs it to call the members through the table.
        TYPEATTR* attr = nullptr;
        hr = dispatch->GetTypeAttr(&attr);
        const bool is_vtable = SUCCEEDED(hr) && attr->typekind == TKIND_INTERFACE;
        if (attr)
            dispatch->ReleaseTypeAttr(attr);
        if (is_vtable) {
            vtable = dispatch;
            vtable->AddRef();
        } else if (SUCCEEDED(hr)) {
            HREFTYPE ref = 0;
            hr = dispatch->GetRefTypeOfImplType(-1, &ref);
            if (SUCCEEDED(hr))
                hr = dispatch->GetRefTypeInfo(ref, &vtable);
        }
    }
    BSTR name = nullptr;
    BSTR doc = nullptr;
    if (SUCCEEDED(hr))
        hr = klass->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr);
    if (SUCCEEDED(hr)) {
        class_name_ = TakeBstr(name);
        description_ = TakeBstr(doc);
        BSTR lib_name = nullptr;
        hr = lib->GetDocumentation(-1, &lib_name, nullptr, nullptr, nullptr);
        server_name_ = TakeBstr(lib_name);
    }
    if (FAILED(hr)) {
        if (vtable)
            vtable->Release();
        if (klass)
            klass->Release();
        if (dispatch)
            dispatch->Release();
        lib->Release();
        load_result_ = hr;
        return;
    }
    library_ = lib;
    dispatch_info_ = dispatch;
    interface_info_ = vtable;
    class_info_ = klass;
}

const ClassRecord& ClassRecord::Get() {
    // Never destroyed: objects may be released by COM after static destruction began.
    static ClassRecord* record = new ClassRecord();
    return *record;
}

}  // namespace kelvra::bridge::win32
