// The Windows control behind THostedBrowser: the system's WebBrowser control, created with
// CoCreateInstance, hosted through HostSite, activated in place inside the form's window,
// its events delivered through EventSink.
#pragma once

#include <windows.h>

#include <exdisp.h>
#include <ocidl.h>
#include <ole2.h>

#include "browser/browser_control.h"
#include "browser/win32/com_util.h"
#include "browser/win32/host_site.h"

namespace kelvra::browser::win32 {

class EventSink;
class Win32BrowserBackend;

class Win32BrowserControl final : public BrowserControl, private SiteOwner {
  public:
    // Creates the platform control; raises BrowserError with the platform's code when it
    // cannot be created.
    Win32BrowserControl(THostedBrowser& browser, Win32BrowserBackend& backend);
    ~Win32BrowserControl() override;

    // Places the control in the form's window: in-place activation the first time (raises
    // Error "OLE control activation failed"), a parked window taken back, or a move.
    void Sync() override;

    void Navigate(const std::string& url) override;
    void GoBack() override;
    void GoForward() override;
    void Refresh() override;
    void Stop() override;

    DispatchHandle Application() const override;
    std::string LocationName() const override;
    bool Busy() const override;
    std::shared_ptr<const HtmlDocument3> Doc3() const override;
    void AmbientPropertyChanged(std::int32_t dispid) override;

    bool IsDialogMessage(const ui::Message& message) override;
    bool HasInPlaceActiveObject() const override;
    void TranslateAccelerator(const ui::Message& message) override;

    // The control's own window (the in-place window), null before activation or while
    // parked.
    HWND Handle() const { return handle_; }
    // The window kept alive while the form's window is recreated (CurrentHandle).
    HWND CurrentHandle() const { return current_handle_; }
    // The form's window is about to be destroyed and created anew: the control's window
    // moves to the hidden parking window and comes back at the next Sync.
    void Park();
    // The container window this control is placed in.
    HWND Container() const { return container_; }
    // The platform control itself, for the host's own checks.
    IOleObject* Object() const { return object_.Get(); }
    // The sink the control raises its events on, for the host's own checks.
    EventSink* Sink() const { return sink_; }

  private:
    // SiteOwner
    HWND ContainerWindow() const override;
    RECT ControlRect() const override;
    IWebBrowser2& WebBrowser() override;
    void MoveControl(const RECT& rect) override;
    IDispatch* ExternalDispatch(const Dispatch& external) const override;

    // Client site, InitNew, IOleControl and IDispatch, the sinks, and the ambient notice;
    // runs once, on the first property read or placement.
    void CompleteCreation() const;
    void Activate();
    // A property read through IDispatch::Invoke; raises BrowserError from the control's
    // exception information.
    VARIANT ReadProperty(DISPID dispid) const;
    IWebBrowser2& Intf() const;
    void Connect(const IID& iid, IUnknown* sink, DWORD& cookie) const;
    void Disconnect(const IID& iid, DWORD& cookie) const;

    THostedBrowser& browser_;
    Win32BrowserBackend& backend_;
    ComPtr<IOleObject> object_;
    ComPtr<IPersistStreamInit> persist_;
    HostSite* site_;
    EventSink* sink_;
    // Filled on completion (logically part of the control's lazily finished creation).
    mutable bool created_ = false;
    mutable ComPtr<IOleControl> ole_control_;
    mutable ComPtr<IDispatch> dispatch_;
    mutable ComPtr<IWebBrowser2> intf_;  // asked for once, held for the control's life
    mutable ComPtr<IDispatch> application_;
    mutable DWORD events_cookie_ = 0;
    mutable DWORD property_cookie_ = 0;
    ComPtr<IOleInPlaceObject> in_place_;
    HWND handle_ = nullptr;
    HWND current_handle_ = nullptr;
    HWND container_ = nullptr;
};

}  // namespace kelvra::browser::win32
