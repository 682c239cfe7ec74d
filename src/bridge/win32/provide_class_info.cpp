#include "bridge/win32/provide_class_info.h"

namespace kelvra::bridge::win32 {

ProvideClassInfo::ProvideClassInfo(IUnknown& owner, ITypeInfo* class_info)
    : owner_(owner), class_info_(class_info) {}

HRESULT STDMETHODCALLTYPE ProvideClassInfo::QueryInterface(REFIID iid, void** out) {
    return owner_.QueryInterface(iid, out);
}
ULONG STDMETHODCALLTYPE ProvideClassInfo::AddRef() {
    return owner_.AddRef();
}
ULONG STDMETHODCALLTYPE ProvideClassInfo::Release() {
    return owner_.Release();
}

HRESULT STDMETHODCALLTYPE ProvideClassInfo::GetClassInfo(ITypeInfo** out) {
    if (!out)
        return E_POINTER;
    *out = class_info_;
    if (!class_info_)
        return E_UNEXPECTED;
    class_info_->AddRef();
    return S_OK;
}

}  // namespace kelvra::bridge::win32
