// TTKelvraAppToIe: the page-facing automation object as a COM class. Its dual interface
// ITKelvraAppToIe is answered from the embedded type library; ISupportErrorInfo and
// IProvideClassInfo are parts it holds. The reference count owns the object.
#pragma once

#include <windows.h>

#include "bridge/win32/provide_class_info.h"
#include "bridge/win32/support_error_info.h"
#include "kelvraedu_app.h"

namespace kelvra::bridge::win32 {

class TTKelvraAppToIe final : public ITKelvraAppToIe {
  public:
    // A new object holding one reference, or null when memory runs out. counted: made by
    // the class factory for an outside client, so it takes part in the server's count.
    // owner: the window whose page holds the object (null for outside clients); the
    // object's message boxes are modal to it.
    static TTKelvraAppToIe* Create(bool counted, HWND owner = nullptr) noexcept;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                                     UINT* arg_err) override;
    // ITKelvraAppToIe
    HRESULT STDMETHODCALLTYPE get_GetKelvraApp(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE CreateVantle(VARIANT crs_id, VARIANT crs_name, VARIANT crs_classify,
                                           VARIANT crs_username, VARIANT crs_knowid,
                                           VARIANT crs_url) override;
    HRESULT STDMETHODCALLTYPE ShowHint(VARIANT hint_tilte, VARIANT hint_content) override;

  private:
    TTKelvraAppToIe(bool counted, HWND owner);
    ~TTKelvraAppToIe();

    LONG refs_ = 1;
    bool counted_;
    HWND owner_;
    SupportErrorInfo errors_;
    ProvideClassInfo class_info_;
};

}  // namespace kelvra::bridge::win32
