// The document host of one hosted browser: the client site the WebBrowser control is given.
// One COM object answers every host interface; its answers come from the portable host
// (browser/doc_host.h). The object is reference counted; the browser control holds one
// reference and detaches it on destruction, after which calls answer E_UNEXPECTED.
#pragma once

#include <windows.h>

#include <docobj.h>
#include <downloadmgr.h>
#include <exdisp.h>
#include <mshtmhst.h>
#include <ocidl.h>
#include <ole2.h>
#include <servprov.h>

#include <atomic>

namespace kelvra::browser {
class Dispatch;
class THostedBrowser;
}  // namespace kelvra::browser

namespace kelvra::browser::win32 {

// What the site needs from the control it hosts.
class SiteOwner {
  public:
    virtual ~SiteOwner() = default;
    // The window the control's window lives in.
    virtual HWND ContainerWindow() const = 0;
    // The control's place inside that window.
    virtual RECT ControlRect() const = 0;
    // The control's automation interface; raises BrowserError when it cannot be had.
    virtual IWebBrowser2& WebBrowser() = 0;
    // The control asked to be placed there.
    virtual void MoveControl(const RECT& rect) = 0;
    // The page's IDispatch for a window's external object, with a reference for the page;
    // null when the object has none.
    virtual IDispatch* ExternalDispatch(const Dispatch& external) const = 0;
};

class HostSite final : public IOleClientSite,
                       public IOleInPlaceSite,
                       public IDocHostUIHandler2,
                       public IDocHostShowUI,
                       public IDispatch,
                       public IOleCommandTarget,
                       public IServiceProvider,
                       public IProtectFocus,
                       public IDownloadManager,
                       public IZoomEvents,
                       public IPropertyNotifySink {
  public:
    // Starts with one reference, owned by the caller.
    HostSite(THostedBrowser& browser, SiteOwner& owner);
    // The browser and control are going away: later calls answer E_UNEXPECTED.
    void Detach();
    // The browser is being destroyed while the control shuts down: host answers stop
    // consulting it, placement answers go on.
    void ForgetBrowser() { browser_ = nullptr; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IOleClientSite
    STDMETHODIMP SaveObject() override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** ppmk) override;
    STDMETHODIMP GetContainer(IOleContainer** ppContainer) override;
    STDMETHODIMP ShowObject() override;
    STDMETHODIMP OnShowWindow(BOOL fShow) override;
    STDMETHODIMP RequestNewObjectLayout() override;

    // IOleWindow / IOleInPlaceSite
    STDMETHODIMP GetWindow(HWND* phwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL fEnterMode) override;
    STDMETHODIMP CanInPlaceActivate() override;
    STDMETHODIMP OnInPlaceActivate() override;
    STDMETHODIMP OnUIActivate() override;
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                  LPRECT lprcPosRect, LPRECT lprcClipRect,
                                  LPOLEINPLACEFRAMEINFO lpFrameInfo) override;
    STDMETHODIMP Scroll(SIZE scrollExtant) override;
    STDMETHODIMP OnUIDeactivate(BOOL fUndoable) override;
    STDMETHODIMP OnInPlaceDeactivate() override;
    STDMETHODIMP DiscardUndoState() override;
    STDMETHODIMP DeactivateAndUndo() override;
    STDMETHODIMP OnPosRectChange(LPCRECT lprcPosRect) override;

    // IDocHostUIHandler / IDocHostUIHandler2 (host_ui_handler.cpp)
    STDMETHODIMP ShowContextMenu(DWORD dwID, POINT* ppt, IUnknown* pcmdtReserved,
                                 IDispatch* pdispReserved) override;
    STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* pInfo) override;
    STDMETHODIMP ShowUI(DWORD dwID, IOleInPlaceActiveObject* pActiveObject,
                        IOleCommandTarget* pCommandTarget, IOleInPlaceFrame* pFrame,
                        IOleInPlaceUIWindow* pDoc) override;
    STDMETHODIMP HideUI() override;
    STDMETHODIMP UpdateUI() override;
    STDMETHODIMP EnableModeless(BOOL fEnable) override;
    STDMETHODIMP OnDocWindowActivate(BOOL fActivate) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL fActivate) override;
    STDMETHODIMP ResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow,
                              BOOL fRameWindow) override;
    STDMETHODIMP TranslateAccelerator(LPMSG lpMsg, const GUID* pguidCmdGroup,
                                      DWORD nCmdID) override;
    STDMETHODIMP GetOptionKeyPath(LPOLESTR* pchKey, DWORD dw) override;
    STDMETHODIMP GetDropTarget(IDropTarget* pDropTarget, IDropTarget** ppDropTarget) override;
    STDMETHODIMP GetExternal(IDispatch** ppDispatch) override;
    STDMETHODIMP TranslateUrl(DWORD dwTranslate, LPWSTR pchURLIn, LPWSTR* ppchURLOut) override;
    STDMETHODIMP FilterDataObject(IDataObject* pDO, IDataObject** ppDORet) override;
    STDMETHODIMP GetOverrideKeyPath(LPOLESTR* pchKey, DWORD dw) override;

    // IDocHostShowUI (host_ui_handler.cpp)
    STDMETHODIMP ShowMessage(HWND hwnd, LPOLESTR lpstrText, LPOLESTR lpstrCaption, DWORD dwType,
                             LPOLESTR lpstrHelpFile, DWORD dwHelpContext,
                             LRESULT* plResult) override;
    STDMETHODIMP ShowHelp(HWND hwnd, LPOLESTR pszHelpFile, UINT uCommand, DWORD dwData,
                          POINT ptMouse, IDispatch* pDispatchObjectHit) override;

    // IDispatch: ambient properties (host_ambient.cpp)
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                               DISPID* rgDispId) override;
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                        DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                        UINT* puArgErr) override;

    // IOleCommandTarget (host_ambient.cpp)
    STDMETHODIMP QueryStatus(const GUID* pguidCmdGroup, ULONG cCmds, OLECMD prgCmds[],
                             OLECMDTEXT* pCmdText) override;
    STDMETHODIMP Exec(const GUID* pguidCmdGroup, DWORD nCmdID, DWORD nCmdexecopt, VARIANT* pvaIn,
                      VARIANT* pvaOut) override;

    // IServiceProvider, IProtectFocus, IZoomEvents, IDownloadManager (host_services.cpp)
    STDMETHODIMP QueryService(REFGUID guidService, REFIID riid, void** ppv) override;
    STDMETHODIMP AllowFocusChange(BOOL* pfAllow) override;
    STDMETHODIMP OnZoomPercentChanged(ULONG ulZoomPercent) override;
    STDMETHODIMP Download(IMoniker* pmk, IBindCtx* pbc, DWORD dwBindVerb, LONG grfBINDF,
                          BINDINFO* pBindInfo, LPCOLESTR pszHeaders, LPCOLESTR pszRedir,
                          UINT uiCP) override;

    // IPropertyNotifySink: the control's property changes need no answer.
    STDMETHODIMP OnChanged(DISPID dispID) override;
    STDMETHODIMP OnRequestEdit(DISPID dispID) override;

  private:
    ~HostSite();

    THostedBrowser* browser_;
    SiteOwner* owner_;
    IOleInPlaceFrame* frame_;  // owned reference
    std::atomic<ULONG> refs_{1};
};

}  // namespace kelvra::browser::win32
