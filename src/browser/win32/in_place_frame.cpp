#include "browser/win32/in_place_frame.h"

#include "browser/win32/host_site.h"

namespace kelvra::browser::win32 {

STDMETHODIMP InPlaceFrame::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleWindow) ||
        IsEqualIID(riid, IID_IOleInPlaceUIWindow) || IsEqualIID(riid, IID_IOleInPlaceFrame))
        *ppv = static_cast<IOleInPlaceFrame*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) InPlaceFrame::AddRef() {
    return ++refs_;
}

STDMETHODIMP_(ULONG) InPlaceFrame::Release() {
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

STDMETHODIMP InPlaceFrame::GetWindow(HWND* phwnd) {
    if (phwnd == nullptr)
        return E_POINTER;
    *phwnd = nullptr;
    if (owner_ == nullptr)
        return E_UNEXPECTED;
    HWND top = GetAncestor(owner_->ContainerWindow(), GA_ROOT);
    *phwnd = top ? top : owner_->ContainerWindow();
    return *phwnd ? S_OK : E_FAIL;
}

STDMETHODIMP InPlaceFrame::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}
STDMETHODIMP InPlaceFrame::GetBorder(LPRECT) {
    return INPLACE_E_NOTOOLSPACE;
}
STDMETHODIMP InPlaceFrame::RequestBorderSpace(LPCBORDERWIDTHS) {
    return INPLACE_E_NOTOOLSPACE;
}
STDMETHODIMP InPlaceFrame::SetBorderSpace(LPCBORDERWIDTHS) {
    return S_OK;
}
STDMETHODIMP InPlaceFrame::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) {
    return S_OK;
}
STDMETHODIMP InPlaceFrame::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) {
    return S_OK;
}
STDMETHODIMP InPlaceFrame::SetMenu(HMENU, HOLEMENU, HWND) {
    return S_OK;
}
STDMETHODIMP InPlaceFrame::RemoveMenus(HMENU) {
    return S_OK;
}
STDMETHODIMP InPlaceFrame::SetStatusText(LPCOLESTR) {
    return S_OK;
}
STDMETHODIMP InPlaceFrame::EnableModeless(BOOL) {
    return S_OK;
}
STDMETHODIMP InPlaceFrame::TranslateAccelerator(LPMSG, WORD) {
    return S_FALSE;  // the frame has no accelerators of its own
}

}  // namespace kelvra::browser::win32
