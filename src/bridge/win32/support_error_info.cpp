#include "bridge/win32/support_error_info.h"

#include <oleauto.h>

#include <string>

namespace kelvra::bridge::win32 {

SupportErrorInfo::SupportErrorInfo(IUnknown& owner, std::vector<IID> iids)
    : owner_(owner), iids_(std::move(iids)) {}

HRESULT STDMETHODCALLTYPE SupportErrorInfo::QueryInterface(REFIID iid, void** out) {
    return owner_.QueryInterface(iid, out);
}
ULONG STDMETHODCALLTYPE SupportErrorInfo::AddRef() {
    return owner_.AddRef();
}
ULONG STDMETHODCALLTYPE SupportErrorInfo::Release() {
    return owner_.Release();
}

HRESULT STDMETHODCALLTYPE SupportErrorInfo::InterfaceSupportsErrorInfo(REFIID iid) {
    for (const IID& known : iids_) {
        if (IsEqualIID(known, iid))
            return S_OK;
    }
    return S_FALSE;
}

void SetMemberErrorInfo(const std::wstring& description, REFGUID guid, const std::wstring& source,
                        DWORD help_context) {
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create)))
        return;  // the member still returns its failure code
    create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    create->SetGUID(guid);
    create->SetSource(const_cast<LPOLESTR>(source.c_str()));
    create->SetHelpFile(const_cast<LPOLESTR>(L""));
    create->SetHelpContext(help_context);
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
        SetErrorInfo(0, info);
        info->Release();
    }
    create->Release();
}

}  // namespace kelvra::bridge::win32
