// The sink the WebBrowser control raises its DWebBrowserEvents2 notifications on. Each
// dispatch id of the control description is delivered to its event slot; the slots the
// windows bind reach THostedBrowser's handlers with their arguments in declared order and
// by-reference arguments written back. Reference counted; the browser control holds one
// reference and detaches it on destruction.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <array>
#include <atomic>
#include <string_view>

namespace kelvra::browser {
class THostedBrowser;
}

namespace kelvra::browser::win32 {

struct EventSlot {
    DISPID dispid;
    std::string_view name;
};

// The control description: 34 event dispatch ids in slot order.
inline constexpr std::array<EventSlot, 34> kWebBrowserEvents{{
    {102, "OnStatusTextChange"},
    {108, "OnProgressChange"},
    {105, "OnCommandStateChange"},
    {106, "OnDownloadBegin"},
    {104, "OnDownloadComplete"},
    {113, "OnTitleChange"},
    {112, "OnPropertyChange"},
    {250, "OnBeforeNavigate2"},
    {251, "OnNewWindow2"},
    {252, "OnNavigateComplete2"},
    {259, "OnDocumentComplete"},
    {253, "OnQuit"},
    {254, "OnVisible"},
    {255, "OnToolBar"},
    {256, "OnMenuBar"},
    {257, "OnStatusBar"},
    {258, "OnFullScreen"},
    {260, "OnTheaterMode"},
    {261, "OnAddressBar"},
    {262, "OnWindowSetResizable"},
    {264, "OnWindowSetLeft"},
    {265, "OnWindowSetTop"},
    {266, "OnWindowSetWidth"},
    {267, "OnWindowSetHeight"},
    {263, "OnWindowClosing"},
    {268, "OnClientToHostWindow"},
    {269, "OnSetSecureLockIcon"},
    {270, "OnFileDownload"},
    {271, "OnNavigateError"},
    {225, "OnPrintTemplateInstantiation"},
    {226, "OnPrintTemplateTeardown"},
    {227, "OnUpdatePageStatus"},
    {272, "OnPrivacyImpactedStateChange"},
    {273, "OnNewWindow3"},
}};

// The slot a dispatch id is delivered to, or -1 when the description has none.
int EventSlotOf(DISPID dispid);

class EventSink final : public IDispatch {
  public:
    // Starts with one reference, owned by the caller.
    explicit EventSink(THostedBrowser& browser) : browser_(&browser) {}
    void Detach() { browser_ = nullptr; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                               DISPID* rgDispId) override;
    // Delivers one notification; unknown ids and unbound slots return S_OK at once.
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                        DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                        UINT* puArgErr) override;

  private:
    ~EventSink() = default;
    THostedBrowser* browser_;
    std::atomic<ULONG> refs_{1};
};

}  // namespace kelvra::browser::win32
