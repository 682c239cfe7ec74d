// The embedded browser port: what a platform backend provides behind THostedBrowser
// (Win32: the hosted WebBrowser control; GTK: a WebKitWebView; tests: a headless fake).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "browser/anchor_list.h"
#include "platform/error.h"
#include "ui/backend.h"

namespace kelvra::browser {

class THostedBrowser;

using HResult = std::int32_t;
inline constexpr HResult kSOk = 0;
inline constexpr HResult kSFalse = 1;
inline constexpr HResult kENotImpl = static_cast<HResult>(0x80004001u);
inline constexpr HResult kENoInterface = static_cast<HResult>(0x80004002u);
inline constexpr HResult kOleCmdErrNotSupported = static_cast<HResult>(0x80040100u);
inline constexpr HResult kDispEException = static_cast<HResult>(0x80020009u);
inline constexpr HResult kDispEMemberNotFound = static_cast<HResult>(0x80020003u);

// A failing result of a control call, raised with its code.
class BrowserError : public Error {
  public:
    BrowserError(std::string message, HResult code) : Error(std::move(message)), code_(code) {}
    HResult code() const { return code_; }

  private:
    HResult code_;
};

// The control's own automation object (IDispatch* on Win32, the web view on GTK): an
// opaque handle a window hands out as the target of a new window.
using DispatchHandle = void*;

// An object a page can call as its external object.
class Dispatch {
  public:
    virtual ~Dispatch() = default;
};

// The current HTML document, as far as the system reads it.
class HtmlDocument3 {
  public:
    virtual ~HtmlDocument3() = default;
    // The elements with that tag name. Throws Error when the query fails.
    virtual std::unique_ptr<AnchorList> GetElementsByTagName(std::string_view tag) const = 0;
};

// The native control behind one THostedBrowser.
class BrowserControl : public ui::NativeControl {
  public:
    // Each throws BrowserError when the control reports a failure.
    virtual void Navigate(const std::string& url) = 0;
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    virtual void Refresh() = 0;
    virtual void Stop() = 0;

    virtual DispatchHandle Application() const = 0;
    virtual std::string LocationName() const = 0;
    virtual bool Busy() const = 0;
    // null when there is no document or it is not an HTML document.
    virtual std::shared_ptr<const HtmlDocument3> Doc3() const = 0;

    // The control is told that an ambient property changed (-5512 download control).
    virtual void AmbientPropertyChanged(std::int32_t dispid) = 0;

    // Key routing: the system's dialog-message processing for the control's window
    // (true when it processed the message), and the in-place active object's
    // accelerator translation.
    virtual bool IsDialogMessage(const ui::Message& message) = 0;
    virtual bool HasInPlaceActiveObject() const = 0;
    virtual void TranslateAccelerator(const ui::Message& message) = 0;
};

class BrowserBackend {
  public:
    virtual ~BrowserBackend() = default;
    // Creates the control for browser; throws the platform's error when it cannot.
    virtual std::unique_ptr<BrowserControl> CreateControl(THostedBrowser& browser) = 0;
};

}  // namespace kelvra::browser
