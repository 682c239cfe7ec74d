// IProvideClassInfo of an automation object, delegating its IUnknown to the object that
// holds it (the owner: this part lives and dies with it).
#pragma once

#include <windows.h>

#include <ocidl.h>

namespace kelvra::bridge::win32 {

class ProvideClassInfo final : public IProvideClassInfo {
  public:
    // class_info may be null (no type library): GetClassInfo then fails.
    ProvideClassInfo(IUnknown& owner, ITypeInfo* class_info);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) override;

  private:
    IUnknown& owner_;
    ITypeInfo* class_info_;
};

}  // namespace kelvra::bridge::win32
