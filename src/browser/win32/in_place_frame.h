// The frame the control is told it lives in while active in place. It has no menus, tool
// space or accelerators of its own: the control keeps its user interface inside its window.
// Reference counted; the host site holds one reference.
#pragma once

#include <windows.h>

#include <ole2.h>

#include <atomic>

namespace kelvra::browser::win32 {

class SiteOwner;

class InPlaceFrame final : public IOleInPlaceFrame {
  public:
    // Starts with one reference, owned by the caller.
    explicit InPlaceFrame(SiteOwner& owner) : owner_(&owner) {}
    void Detach() { owner_ = nullptr; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetWindow(HWND* phwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL fEnterMode) override;
    STDMETHODIMP GetBorder(LPRECT lprectBorder) override;
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS pborderwidths) override;
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS pborderwidths) override;
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* pActiveObject,
                                 LPCOLESTR pszObjName) override;
    STDMETHODIMP InsertMenus(HMENU hmenuShared, LPOLEMENUGROUPWIDTHS lpMenuWidths) override;
    STDMETHODIMP SetMenu(HMENU hmenuShared, HOLEMENU holemenu, HWND hwndActiveObject) override;
    STDMETHODIMP RemoveMenus(HMENU hmenuShared) override;
    STDMETHODIMP SetStatusText(LPCOLESTR pszStatusText) override;
    STDMETHODIMP EnableModeless(BOOL fEnable) override;
    STDMETHODIMP TranslateAccelerator(LPMSG lpmsg, WORD wID) override;

  private:
    ~InPlaceFrame() = default;
    SiteOwner* owner_;
    std::atomic<ULONG> refs_{1};
};

}  // namespace kelvra::browser::win32
