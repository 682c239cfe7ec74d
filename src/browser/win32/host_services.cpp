// IServiceProvider, IProtectFocus, IZoomEvents and IDownloadManager of the host site.
#include "browser/doc_host.h"
#include "browser/win32/com_util.h"
#include "browser/win32/guids.h"
#include "browser/win32/host_answer.h"
#include "browser/win32/host_site.h"

namespace kelvra::browser::win32 {

STDMETHODIMP HostSite::QueryService(REFGUID guidService, REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    return HostAnswer(browser_, [&](THostedBrowser& b) {
        if (ProvidesService(b, GuidText(guidService)))
            QueryInterface(riid, ppv);
        return *ppv ? S_OK : E_NOINTERFACE;
    });
}

STDMETHODIMP HostSite::AllowFocusChange(BOOL* pfAllow) {
    if (pfAllow == nullptr)
        return E_POINTER;
    return HostAnswer(browser_, [&](THostedBrowser& b) {
        *pfAllow = browser::AllowFocusChange(b) ? TRUE : FALSE;
        return S_OK;
    });
}

STDMETHODIMP HostSite::OnZoomPercentChanged(ULONG) {
    return FixedAnswer(HostCall::OnZoomPercentChanged);
}

STDMETHODIMP HostSite::Download(IMoniker* pmk, IBindCtx* pbc, DWORD dwBindVerb, LONG grfBINDF,
                                BINDINFO* pBindInfo, LPCOLESTR pszHeaders, LPCOLESTR pszRedir,
                                UINT uiCP) {
    return HostAnswer(browser_, [&](THostedBrowser& b) {
        // The moniker and bind context stay alive for the handler's whole call.
        const auto moniker = ComPtr<IMoniker>::Share(pmk);
        const auto context = ComPtr<IBindCtx>::Share(pbc);
        FileDownloadRequest request;
        request.pmk = pmk;
        request.pbc = pbc;
        request.dwBindVerb = dwBindVerb;
        request.grfBINDF = static_cast<std::uint32_t>(grfBINDF);
        request.pBindInfo = pBindInfo;
        request.pszHeaders = pszHeaders ? Narrow(pszHeaders) : std::string();
        request.pszRedir = pszRedir ? Narrow(pszRedir) : std::string();
        request.uiCP = uiCP;
        return AnswerDownload(b, request);
    });
}

}  // namespace kelvra::browser::win32
