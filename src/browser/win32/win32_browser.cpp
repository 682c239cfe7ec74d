#include "browser/win32/win32_browser.h"

#include "browser/hosted_browser.h"
#include "browser/win32/browser_backend_win32.h"
#include "browser/win32/com_dispatch.h"
#include "browser/win32/event_sink.h"
#include "browser/win32/guids.h"
#include "browser/win32/html_document_win32.h"
#include "ui/form.h"

namespace kelvra::browser::win32 {
namespace {

constexpr DISPID kDispidApplication = 200;
constexpr DISPID kDispidDocument = 203;
constexpr DISPID kDispidLocationName = 210;
constexpr DISPID kDispidBusy = 212;

// Clears a property value when it goes out of scope.
struct VariantHolder {
    VARIANT v;
    explicit VariantHolder(const VARIANT& value) : v(value) {}
    ~VariantHolder() { VariantClear(&v); }
};

}  // namespace

Win32BrowserControl::Win32BrowserControl(THostedBrowser& browser, Win32BrowserBackend& backend)
    : browser_(browser),
      backend_(backend),
      site_(new HostSite(browser, *this)),
      sink_(new EventSink(browser)) {
    try {
        Check(CoCreateInstance(kClsidWebBrowser, nullptr,
                               CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IOleObject,
                               reinterpret_cast<void**>(object_.Out())));
        DWORD misc = 0;
        object_->GetMiscStatus(DVASPECT_CONTENT, &misc);
        if (misc & OLEMISC_SETCLIENTSITEFIRST)
            Check(object_->SetClientSite(static_cast<IOleClientSite*>(site_)));
        persist_ = object_.As<IPersistStreamInit>(IID_IPersistStreamInit);
        if (!persist_)
            Check(E_NOINTERFACE);
    } catch (...) {
        if (object_)
            object_->SetClientSite(nullptr);
        object_.Reset();
        site_->Detach();
        site_->Release();
        sink_->Detach();
        sink_->Release();
        throw;
    }
    backend_.Adopt(this);
}

Win32BrowserControl::~Win32BrowserControl() {
    backend_.Forget(this);
    site_->ForgetBrowser();
    sink_->Detach();
    // A parked window becomes the control's own again so that it is disposed of with it.
    if (current_handle_ && IsWindow(current_handle_))
        handle_ = current_handle_;
    current_handle_ = nullptr;
    Disconnect(kDiidWebBrowserEvents2, events_cookie_);
    Disconnect(IID_IPropertyNotifySink, property_cookie_);
    if (in_place_)
        in_place_->InPlaceDeactivate();
    in_place_.Reset();
    if (object_) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
    }
    if (handle_ && IsWindow(handle_))
        DestroyWindow(handle_);
    application_.Reset();
    intf_.Reset();
    dispatch_.Reset();
    ole_control_.Reset();
    persist_.Reset();
    object_.Reset();
    site_->Detach();
    site_->Release();
    sink_->Detach();
    sink_->Release();
}

void Win32BrowserControl::Connect(const IID& iid, IUnknown* sink, DWORD& cookie) const {
    auto container = object_.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
    if (!container)
        return;
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(container->FindConnectionPoint(iid, point.Out())) && point)
        Check(point->Advise(sink, &cookie));
}

void Win32BrowserControl::Disconnect(const IID& iid, DWORD& cookie) const {
    if (cookie == 0 || !object_)
        return;
    auto container = object_.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
    ComPtr<IConnectionPoint> point;
    if (container && SUCCEEDED(container->FindConnectionPoint(iid, point.Out())) && point)
        point->Unadvise(cookie);
    cookie = 0;
}

void Win32BrowserControl::CompleteCreation() const {
    if (created_)
        return;
    ComPtr<IOleClientSite> current;
    object_->GetClientSite(current.Out());
    if (current.Get() != static_cast<IOleClientSite*>(site_))
        Check(object_->SetClientSite(static_cast<IOleClientSite*>(site_)));
    Check(persist_->InitNew());
    ole_control_ = object_.As<IOleControl>(IID_IOleControl);
    dispatch_ = object_.As<IDispatch>(IID_IDispatch);
    if (!dispatch_)
        Check(E_NOINTERFACE);
    Connect(IID_IPropertyNotifySink, static_cast<IPropertyNotifySink*>(site_), property_cookie_);
    Connect(kDiidWebBrowserEvents2, sink_, events_cookie_);
    created_ = true;
    if (ole_control_)
        ole_control_->OnAmbientPropertyChange(DISPID_UNKNOWN);
}

HWND Win32BrowserControl::ContainerWindow() const {
    return container_;
}

RECT Win32BrowserControl::ControlRect() const {
    RECT r{};
    const ui::Rect& b = browser_.Bounds();
    if (b.width > 0 && b.height > 0) {
        r = {b.left, b.top, b.left + b.width, b.top + b.height};
    } else if (container_ && browser_.GetAlign() == ui::Align::Client) {
        GetClientRect(container_, &r);
    }
    return r;
}

void Win32BrowserControl::MoveControl(const RECT& rect) {
    if (in_place_)
        in_place_->SetObjectRects(&rect, &rect);
}

IDispatch* Win32BrowserControl::ExternalDispatch(const Dispatch& external) const {
    if (auto* com = dynamic_cast<const ComDispatch*>(&external))
        return com->NewReference();
    return backend_.ResolveExternal(external);
}

void Win32BrowserControl::Activate() {
    CompleteCreation();
    RECT r = ControlRect();
    const HRESULT hr = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr,
                                       static_cast<IOleClientSite*>(site_), 0, container_, &r);
    auto in_place = object_.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
    HWND window = nullptr;
    if (SUCCEEDED(hr) && in_place)
        in_place->GetWindow(&window);
    if (!window)
        throw Error("OLE control activation failed");
    in_place_ = in_place;
    handle_ = window;
}

void Win32BrowserControl::Sync() {
    HWND container = backend_.Container(browser_.form());
    if (!container || !IsWindow(container))
        return;  // the form has no window yet: placed at the next change
    if (current_handle_) {
        if (IsWindow(current_handle_)) {
            handle_ = current_handle_;
            current_handle_ = nullptr;
            container_ = container;
            SetParent(handle_, container_);
            const RECT r = ControlRect();
            MoveWindow(handle_, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
            MoveControl(r);
            return;
        }
        current_handle_ = nullptr;
    }
    container_ = container;
    if (!in_place_) {
        Activate();
        return;
    }
    const RECT r = ControlRect();
    MoveControl(r);
    if (handle_)
        ShowWindow(handle_, browser_.Visible() ? SW_SHOWNA : SW_HIDE);
}

void Win32BrowserControl::Park() {
    if (!handle_ || !IsWindow(handle_))
        return;
    SetParent(handle_, backend_.ParkingWindow());
    current_handle_ = handle_;
    handle_ = nullptr;
}

VARIANT Win32BrowserControl::ReadProperty(DISPID dispid) const {
    CompleteCreation();
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO info{};
    const HRESULT hr = dispatch_->Invoke(dispid, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result,
                                         &info, nullptr);
    if (FAILED(hr)) {
        if (info.pfnDeferredFillIn)
            info.pfnDeferredFillIn(&info);
        std::string message = info.bstrDescription ? Narrow(info.bstrDescription) : "";
        const HRESULT code = hr == DISP_E_EXCEPTION && info.scode ? info.scode : hr;
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
        VariantClear(&result);
        if (message.empty())
            message = ResultMessage(code);
        throw BrowserError(message, static_cast<HResult>(code));
    }
    return result;
}

IWebBrowser2& Win32BrowserControl::Intf() const {
    if (!intf_) {
        CompleteCreation();
        intf_ = object_.As<IWebBrowser2>(kIidWebBrowser2);
        if (!intf_)
            Check(E_NOINTERFACE);
    }
    return *intf_.Get();
}

IWebBrowser2& Win32BrowserControl::WebBrowser() {
    return Intf();
}

void Win32BrowserControl::Navigate(const std::string& url) {
    Bstr address(url);
    VARIANT missing;
    VariantInit(&missing);
    V_VT(&missing) = VT_ERROR;
    V_ERROR(&missing) = DISP_E_PARAMNOTFOUND;
    VARIANT flags = missing, frame = missing, headers = missing;
    VARIANT post;
    VariantInit(&post);
    Check(Intf().Navigate(address.Get(), &flags, &frame, &post, &headers));
}

void Win32BrowserControl::GoBack() {
    Check(Intf().GoBack());
}
void Win32BrowserControl::GoForward() {
    Check(Intf().GoForward());
}
void Win32BrowserControl::Refresh() {
    Check(Intf().Refresh());
}
void Win32BrowserControl::Stop() {
    Check(Intf().Stop());
}

DispatchHandle Win32BrowserControl::Application() const {
    VariantHolder value(ReadProperty(kDispidApplication));
    if (V_VT(&value.v) != VT_DISPATCH || V_DISPATCH(&value.v) == nullptr)
        return nullptr;
    // The component keeps the object alive; callers get it without a reference of their own.
    application_ = ComPtr<IDispatch>::Share(V_DISPATCH(&value.v));
    return application_.Get();
}

std::string Win32BrowserControl::LocationName() const {
    VariantHolder value(ReadProperty(kDispidLocationName));
    if (V_VT(&value.v) == VT_EMPTY || V_VT(&value.v) == VT_NULL)
        return {};
    return VariantText(value.v);
}

bool Win32BrowserControl::Busy() const {
    VariantHolder value(ReadProperty(kDispidBusy));
    if (V_VT(&value.v) == VT_BOOL)
        return V_BOOL(&value.v) != VARIANT_FALSE;
    VARIANT b;
    VariantInit(&b);
    Check(VariantChangeType(&b, &value.v, 0, VT_BOOL));
    return V_BOOL(&b) != VARIANT_FALSE;
}

std::shared_ptr<const HtmlDocument3> Win32BrowserControl::Doc3() const {
    VARIANT raw;
    try {
        raw = ReadProperty(kDispidDocument);
    } catch (const BrowserError&) {
        return nullptr;  // no document to read
    }
    VariantHolder value(raw);
    if (V_VT(&value.v) != VT_DISPATCH || V_DISPATCH(&value.v) == nullptr)
        return nullptr;
    ComPtr<IUnknown> doc3;
    V_DISPATCH(&value.v)->QueryInterface(kIidHtmlDocument3, reinterpret_cast<void**>(doc3.Out()));
    if (!doc3)
        return nullptr;
    return std::make_shared<Win32HtmlDocument>(doc3.Get());
}

void Win32BrowserControl::AmbientPropertyChanged(std::int32_t dispid) {
    auto* app = static_cast<IDispatch*>(Application());
    ComPtr<IOleControl> control;
    if (app)
        app->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(control.Out()));
    if (control)
        control->OnAmbientPropertyChange(dispid);
}

bool Win32BrowserControl::IsDialogMessage(const ui::Message& message) {
    if (!handle_)
        return false;
    MSG msg = ToMsg(message);
    return ::IsDialogMessageW(handle_, &msg) != FALSE;
}

bool Win32BrowserControl::HasInPlaceActiveObject() const {
    auto* app = static_cast<IDispatch*>(Application());
    ComPtr<IOleInPlaceActiveObject> active;
    if (app)
        app->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(active.Out()));
    return static_cast<bool>(active);
}

void Win32BrowserControl::TranslateAccelerator(const ui::Message& message) {
    auto* app = static_cast<IDispatch*>(Application());
    ComPtr<IOleInPlaceActiveObject> active;
    if (app)
        app->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(active.Out()));
    if (!active)
        return;
    MSG msg = ToMsg(message);
    active->TranslateAccelerator(&msg);  // the result is not used
}

}  // namespace kelvra::browser::win32
