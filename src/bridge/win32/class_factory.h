// The class object registered with COM for TKelvraAppToIe. It lives for the whole process
// (owned by the automation server, not by its reference count); every instance it makes
// is counted among the server's objects, and so is each LockServer(TRUE).
#pragma once

#include <windows.h>

#include <unknwn.h>

namespace kelvra::bridge::win32 {

class AppToIeClassFactory final : public IClassFactory {
  public:
    static AppToIeClassFactory& Instance();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

  private:
    AppToIeClassFactory() = default;
};

}  // namespace kelvra::bridge::win32
