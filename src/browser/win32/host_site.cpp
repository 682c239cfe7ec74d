#include "browser/win32/host_site.h"

#include "browser/win32/guids.h"
#include "browser/win32/host_answer.h"
#include "browser/win32/in_place_frame.h"

namespace kelvra::browser::win32 {

HostSite::HostSite(THostedBrowser& browser, SiteOwner& owner)
    : browser_(&browser), owner_(&owner), frame_(new InPlaceFrame(owner)) {}

HostSite::~HostSite() {
    static_cast<InPlaceFrame*>(frame_)->Detach();
    frame_->Release();
}

void HostSite::Detach() {
    browser_ = nullptr;
    owner_ = nullptr;
    static_cast<InPlaceFrame*>(frame_)->Detach();
}

STDMETHODIMP HostSite::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
        *ppv = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite))
        *ppv = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(riid, kIidDocHostUIHandler) || IsEqualIID(riid, kIidDocHostUIHandler2))
        *ppv = static_cast<IDocHostUIHandler2*>(this);
    else if (IsEqualIID(riid, kIidDocHostShowUI))
        *ppv = static_cast<IDocHostShowUI*>(this);
    else if (IsEqualIID(riid, IID_IDispatch))
        *ppv = static_cast<IDispatch*>(this);
    else if (IsEqualIID(riid, IID_IOleCommandTarget))
        *ppv = static_cast<IOleCommandTarget*>(this);
    else if (IsEqualIID(riid, IID_IServiceProvider))
        *ppv = static_cast<IServiceProvider*>(this);
    else if (IsEqualIID(riid, kIidProtectFocus))
        *ppv = static_cast<IProtectFocus*>(this);
    else if (IsEqualIID(riid, kIidDownloadManager))
        *ppv = static_cast<IDownloadManager*>(this);
    else if (IsEqualIID(riid, kIidZoomEvents))
        *ppv = static_cast<IZoomEvents*>(this);
    else if (IsEqualIID(riid, IID_IPropertyNotifySink))
        *ppv = static_cast<IPropertyNotifySink*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) HostSite::AddRef() {
    return ++refs_;
}

STDMETHODIMP_(ULONG) HostSite::Release() {
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

// IOleClientSite: the control is never saved, linked or embedded in a document.
STDMETHODIMP HostSite::SaveObject() {
    return E_NOTIMPL;
}
STDMETHODIMP HostSite::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
    if (ppmk)
        *ppmk = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP HostSite::GetContainer(IOleContainer** ppContainer) {
    if (ppContainer)
        *ppContainer = nullptr;
    return E_NOINTERFACE;
}
STDMETHODIMP HostSite::ShowObject() {
    return S_OK;
}
STDMETHODIMP HostSite::OnShowWindow(BOOL) {
    return S_OK;
}
STDMETHODIMP HostSite::RequestNewObjectLayout() {
    return E_NOTIMPL;
}

// IOleInPlaceSite
STDMETHODIMP HostSite::GetWindow(HWND* phwnd) {
    if (phwnd == nullptr)
        return E_POINTER;
    *phwnd = owner_ ? owner_->ContainerWindow() : nullptr;
    return *phwnd ? S_OK : E_FAIL;
}
STDMETHODIMP HostSite::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}
STDMETHODIMP HostSite::CanInPlaceActivate() {
    return owner_ ? S_OK : S_FALSE;
}
STDMETHODIMP HostSite::OnInPlaceActivate() {
    return S_OK;
}
STDMETHODIMP HostSite::OnUIActivate() {
    return S_OK;
}

STDMETHODIMP HostSite::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                        LPRECT lprcPosRect, LPRECT lprcClipRect,
                                        LPOLEINPLACEFRAMEINFO lpFrameInfo) {
    if (ppFrame == nullptr || ppDoc == nullptr || lprcPosRect == nullptr ||
        lprcClipRect == nullptr || lpFrameInfo == nullptr)
        return E_POINTER;
    *ppFrame = nullptr;
    *ppDoc = nullptr;
    if (owner_ == nullptr)
        return E_UNEXPECTED;
    frame_->AddRef();
    *ppFrame = frame_;
    *lprcPosRect = owner_->ControlRect();
    *lprcClipRect = *lprcPosRect;
    lpFrameInfo->cb = sizeof(OLEINPLACEFRAMEINFO);
    lpFrameInfo->fMDIApp = FALSE;
    HWND top = GetAncestor(owner_->ContainerWindow(), GA_ROOT);
    lpFrameInfo->hwndFrame = top ? top : owner_->ContainerWindow();
    lpFrameInfo->haccel = nullptr;
    lpFrameInfo->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP HostSite::Scroll(SIZE) {
    return E_NOTIMPL;
}
STDMETHODIMP HostSite::OnUIDeactivate(BOOL) {
    return S_OK;
}
STDMETHODIMP HostSite::OnInPlaceDeactivate() {
    return S_OK;
}
STDMETHODIMP HostSite::DiscardUndoState() {
    return E_NOTIMPL;
}
STDMETHODIMP HostSite::DeactivateAndUndo() {
    return E_NOTIMPL;
}

STDMETHODIMP HostSite::OnPosRectChange(LPCRECT lprcPosRect) {
    if (lprcPosRect == nullptr)
        return E_POINTER;
    if (owner_ == nullptr)
        return E_UNEXPECTED;
    try {
        owner_->MoveControl(*lprcPosRect);
    } catch (...) {
        return E_FAIL;
    }
    return S_OK;
}

STDMETHODIMP HostSite::OnChanged(DISPID) {
    return S_OK;
}
STDMETHODIMP HostSite::OnRequestEdit(DISPID) {
    return S_OK;
}

}  // namespace kelvra::browser::win32
