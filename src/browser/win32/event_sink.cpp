#include "browser/win32/event_sink.h"

#include "browser/hosted_browser.h"
#include "browser/win32/com_util.h"
#include "browser/win32/guids.h"
#include "ui/application.h"
#include "ui/form.h"

namespace kelvra::browser::win32 {
namespace {

constexpr DISPID kNavigateComplete2 = 252;
constexpr DISPID kDocumentComplete = 259;
constexpr DISPID kNewWindow3 = 273;
constexpr DISPID kCommandStateChange = 105;

// The platform lists arguments last-to-first: declared argument i of n is rgvarg[n-1-i].
class Args {
  public:
    explicit Args(const DISPPARAMS& params) : p_(params) {}
    UINT Count() const { return p_.cArgs; }
    VARIANT& operator[](UINT declared) const { return p_.rgvarg[p_.cArgs - 1 - declared]; }

  private:
    const DISPPARAMS& p_;
};

// The variant an argument stands for, following one level of VT_VARIANT reference.
VARIANT& Deref(VARIANT& v) {
    if (V_VT(&v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(&v) != nullptr)
        return *V_VARIANTREF(&v);
    return v;
}

IDispatch* DispatchOf(VARIANT& arg) {
    VARIANT& v = Deref(arg);
    if (V_VT(&v) == VT_DISPATCH)
        return V_DISPATCH(&v);
    if (V_VT(&v) == (VT_DISPATCH | VT_BYREF) && V_DISPATCHREF(&v))
        return *V_DISPATCHREF(&v);
    return nullptr;
}

std::string TextOf(VARIANT& arg) {
    VARIANT& v = Deref(arg);
    if (V_VT(&v) == (VT_BSTR | VT_BYREF))
        return V_BSTRREF(&v) && *V_BSTRREF(&v)
                   ? Narrow({*V_BSTRREF(&v), SysStringLen(*V_BSTRREF(&v))})
                   : std::string();
    if (V_VT(&v) == VT_EMPTY || V_VT(&v) == VT_NULL)
        return {};
    return VariantText(v);
}

// Writes a handler's changed address back into the platform's storage; an address the
// platform passed by value has no storage to write into.
void WriteText(VARIANT& arg, const std::string& before, const std::string& after) {
    if (after == before)
        return;
    VARIANT& v = Deref(arg);
    if (V_VT(&v) == (VT_BSTR | VT_BYREF)) {
        if (V_BSTRREF(&v)) {
            SysFreeString(*V_BSTRREF(&v));
            *V_BSTRREF(&v) = SysAllocString(Widen(after).c_str());
        }
    } else if (&v != &arg) {
        VariantClear(&v);
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(Widen(after).c_str());
    }
}

LONG IntOf(VARIANT& arg) {
    VARIANT& v = Deref(arg);
    VARIANT n;
    VariantInit(&n);
    Check(VariantChangeType(&n, &v, 0, VT_I4));
    return V_I4(&n);
}

bool BoolOf(VARIANT& arg) {
    VARIANT& v = Deref(arg);
    if (V_VT(&v) == (VT_BOOL | VT_BYREF))
        return V_BOOLREF(&v) && *V_BOOLREF(&v) != VARIANT_FALSE;
    VARIANT b;
    VariantInit(&b);
    Check(VariantChangeType(&b, &v, 0, VT_BOOL));
    return V_BOOL(&b) != VARIANT_FALSE;
}

void DeliverAddress(THostedBrowser& b, DISPID id, const Args& args) {
    if (args.Count() < 2)
        return;
    IDispatch* pDisp = DispatchOf(args[0]);
    const std::string url = TextOf(args[1]);
    std::string inout = url;
    if (id == kNavigateComplete2)
        b.FireNavigateComplete2(pDisp, inout);
    else
        b.FireDocumentComplete(pDisp, inout);
    WriteText(args[1], url, inout);
}

void DeliverNewWindow3(THostedBrowser& b, const Args& args) {
    if (args.Count() < 5)
        return;
    VARIANT& target = Deref(args[0]);
    VARIANT& cancel = Deref(args[1]);
    IDispatch** target_ref =
        V_VT(&target) == (VT_DISPATCH | VT_BYREF) ? V_DISPATCHREF(&target) : nullptr;
    VARIANT_BOOL* cancel_ref = V_VT(&cancel) == (VT_BOOL | VT_BYREF) ? V_BOOLREF(&cancel) : nullptr;
    DispatchHandle ppDisp = target_ref ? *target_ref : nullptr;
    bool cancelled = cancel_ref ? *cancel_ref != VARIANT_FALSE : false;
    const auto flags = static_cast<std::uint32_t>(IntOf(args[2]));
    const std::string context = TextOf(args[3]);
    const std::string url = TextOf(args[4]);
    b.FireNewWindow3(ppDisp, cancelled, flags, context, url);
    // The platform reads both back, also after a handler error.
    if (target_ref && *target_ref != ppDisp) {
        auto* chosen = static_cast<IDispatch*>(ppDisp);
        if (chosen)
            chosen->AddRef();
        if (*target_ref)
            (*target_ref)->Release();
        *target_ref = chosen;
    }
    if (cancel_ref)
        *cancel_ref = cancelled ? VARIANT_TRUE : VARIANT_FALSE;
}

void Deliver(THostedBrowser& b, DISPID id, const Args& args) {
    switch (id) {
        case kNavigateComplete2:
            if (b.OnNavigateComplete2)
                DeliverAddress(b, id, args);
            return;
        case kDocumentComplete:
            if (b.OnDocumentComplete)
                DeliverAddress(b, id, args);
            return;
        case kNewWindow3:
            if (b.OnNewWindow3)
                DeliverNewWindow3(b, args);
            return;
        case kCommandStateChange:
            if (b.OnCommandStateChange && args.Count() >= 2)
                b.FireCommandStateChange(IntOf(args[0]), BoolOf(args[1]));
            return;
        default:
            return;  // a slot THostedBrowser does not publish: no handler can be bound
    }
}

}  // namespace

int EventSlotOf(DISPID dispid) {
    for (std::size_t i = 0; i < kWebBrowserEvents.size(); ++i)
        if (kWebBrowserEvents[i].dispid == dispid)
            return static_cast<int>(i);
    return -1;
}

STDMETHODIMP EventSink::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, kDiidWebBrowserEvents2)) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) EventSink::AddRef() {
    return ++refs_;
}

STDMETHODIMP_(ULONG) EventSink::Release() {
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

STDMETHODIMP EventSink::GetTypeInfoCount(UINT* pctinfo) {
    if (pctinfo == nullptr)
        return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

STDMETHODIMP EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
    if (ppTInfo)
        *ppTInfo = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) {
    for (UINT i = 0; rgDispId && i < cNames; ++i)
        rgDispId[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP EventSink::Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams,
                               VARIANT*, EXCEPINFO*, UINT*) {
    if (browser_ == nullptr || EventSlotOf(dispIdMember) < 0)
        return S_OK;
    static DISPPARAMS none{nullptr, nullptr, 0, 0};
    const Args args(pDispParams ? *pDispParams : none);
    THostedBrowser& b = *browser_;
    try {
        Deliver(b, dispIdMember, args);
    } catch (...) {
        // Arguments the platform passed in a form the handler cannot take: shown like a
        // handler's error, never thrown into the control.
        try {
            b.form().app().ShowException(std::current_exception());
        } catch (...) {
            // No memory left even for the error box: the event is dropped, since nothing
            // may be thrown into the control.
        }
    }
    return S_OK;
}

}  // namespace kelvra::browser::win32
