// IDocHostUIHandler2 and IDocHostShowUI of the host site.
#include "browser/doc_host.h"
#include "browser/win32/com_util.h"
#include "browser/win32/host_answer.h"
#include "browser/win32/host_site.h"
#include "ui/application.h"
#include "ui/form.h"

namespace kelvra::browser::win32 {

STDMETHODIMP HostSite::ShowContextMenu(DWORD dwID, POINT* ppt, IUnknown* pcmdtReserved,
                                       IDispatch* pdispReserved) {
    return HostAnswer(browser_, [&](THostedBrowser& b) {
        Point point;
        if (ppt) {
            point.x = ppt->x;
            point.y = ppt->y;
        }
        return AnswerShowContextMenu(b, dwID, ppt ? &point : nullptr, pcmdtReserved, pdispReserved);
    });
}

STDMETHODIMP HostSite::GetHostInfo(DOCHOSTUIINFO* pInfo) {
    if (pInfo == nullptr)
        return E_POINTER;
    return HostAnswer(browser_, [&](THostedBrowser& b) {
        const HostInfo info = browser::GetHostInfo(b);
        ZeroMemory(pInfo, sizeof *pInfo);
        pInfo->cbSize = sizeof *pInfo;
        pInfo->dwFlags = info.dwFlags;
        pInfo->dwDoubleClick = info.dwDoubleClick;
        return kSOk;
    });
}

STDMETHODIMP HostSite::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*,
                              IOleInPlaceFrame*, IOleInPlaceUIWindow*) {
    return FixedAnswer(HostCall::ShowUI);
}
STDMETHODIMP HostSite::HideUI() {
    return FixedAnswer(HostCall::HideUI);
}
STDMETHODIMP HostSite::UpdateUI() {
    return FixedAnswer(HostCall::UpdateUI);
}
STDMETHODIMP HostSite::EnableModeless(BOOL) {
    return FixedAnswer(HostCall::EnableModeless);
}
STDMETHODIMP HostSite::OnDocWindowActivate(BOOL) {
    return FixedAnswer(HostCall::OnDocWindowActivate);
}
STDMETHODIMP HostSite::OnFrameWindowActivate(BOOL) {
    return FixedAnswer(HostCall::OnFrameWindowActivate);
}
STDMETHODIMP HostSite::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return FixedAnswer(HostCall::ResizeBorder);
}

STDMETHODIMP HostSite::TranslateAccelerator(LPMSG lpMsg, const GUID*, DWORD) {
    if (lpMsg == nullptr)
        return E_POINTER;
    return HostAnswer(browser_, [&](THostedBrowser& b) {
        KeyState keys;
        keys.shift = GetKeyState(VK_SHIFT) < 0;
        keys.ctrl = GetKeyState(VK_CONTROL) < 0;
        return AnswerTranslateAccelerator(b, ToMessage(*lpMsg), keys);
    });
}

STDMETHODIMP HostSite::GetOptionKeyPath(LPOLESTR* pchKey, DWORD) {
    if (pchKey)
        *pchKey = nullptr;
    return FixedAnswer(HostCall::GetOptionKeyPath);
}
STDMETHODIMP HostSite::GetOverrideKeyPath(LPOLESTR* pchKey, DWORD) {
    if (pchKey)
        *pchKey = nullptr;
    return FixedAnswer(HostCall::GetOverrideKeyPath);
}

STDMETHODIMP HostSite::GetDropTarget(IDropTarget*, IDropTarget** ppDropTarget) {
    if (ppDropTarget)
        *ppDropTarget = nullptr;
    if (owner_ == nullptr || browser_ == nullptr)
        return E_UNEXPECTED;
    SiteOwner* owner = owner_;
    // A failing control call is shown like a handler's error; the platform keeps its own
    // drop target either way.
    HostAnswer(browser_, [&](THostedBrowser& b) {
        b.form().app().Guard(
            b.form(), [&] { Check(owner->WebBrowser().put_RegisterAsDropTarget(VARIANT_TRUE)); });
        return kSOk;
    });
    return FixedAnswer(HostCall::GetDropTarget);
}

STDMETHODIMP HostSite::GetExternal(IDispatch** ppDispatch) {
    if (ppDispatch == nullptr)
        return E_POINTER;
    *ppDispatch = nullptr;
    return HostAnswer(browser_, [&](THostedBrowser& b) {
        std::shared_ptr<Dispatch> external;
        AnswerGetExternal(b, external);
        // Only a COM object can be handed to the page; anything else leaves it without one.
        if (external && owner_)
            *ppDispatch = owner_->ExternalDispatch(*external);
        return *ppDispatch ? kSOk : kSFalse;
    });
}

STDMETHODIMP HostSite::TranslateUrl(DWORD, LPWSTR, LPWSTR* ppchURLOut) {
    if (ppchURLOut)
        *ppchURLOut = nullptr;
    return FixedAnswer(HostCall::TranslateUrl);
}

STDMETHODIMP HostSite::FilterDataObject(IDataObject*, IDataObject** ppDORet) {
    if (ppDORet)
        *ppDORet = nullptr;
    return FixedAnswer(HostCall::FilterDataObject);
}

STDMETHODIMP HostSite::ShowMessage(HWND, LPOLESTR, LPOLESTR, DWORD, LPOLESTR, DWORD, LRESULT*) {
    return FixedAnswer(HostCall::ShowMessage);
}

STDMETHODIMP HostSite::ShowHelp(HWND, LPOLESTR, UINT, DWORD, POINT, IDispatch*) {
    return FixedAnswer(HostCall::ShowHelp);
}

}  // namespace kelvra::browser::win32
