// ISupportErrorInfo of an automation object, delegating its IUnknown to the object that
// holds it (the owner: this part lives and dies with it).
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>
#include <vector>

namespace kelvra::bridge::win32 {

class SupportErrorInfo final : public ISupportErrorInfo {
  public:
    // S_OK for each of iids, S_FALSE for any other.
    SupportErrorInfo(IUnknown& owner, std::vector<IID> iids);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

  private:
    IUnknown& owner_;
    std::vector<IID> iids_;
};

// Makes the thread's error information from a member's failure: description, GUID,
// source and help context, with an empty help file.
void SetMemberErrorInfo(const std::wstring& description, REFGUID guid, const std::wstring& source,
                        DWORD help_context);

}  // namespace kelvra::bridge::win32
