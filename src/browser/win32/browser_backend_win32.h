// The Windows backend of the browser port: every THostedBrowser gets the system's
// WebBrowser control, placed in its form's window.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "browser/browser_control.h"
#include "browser/win32/com_dispatch.h"

namespace kelvra::ui {
class Form;
}

namespace kelvra::browser::win32 {

class Win32BrowserControl;

class Win32BrowserBackend final : public BrowserBackend {
  public:
    // Where a form's browser is placed; by default the form's own window (Form::Handle()).
    using ContainerOf = std::function<HWND(const ui::Form& form)>;
    explicit Win32BrowserBackend(ContainerOf container = {}, ExternalResolver external = {});
    ~Win32BrowserBackend() override;

    std::unique_ptr<BrowserControl> CreateControl(THostedBrowser& browser) override;

    HWND Container(const ui::Form& form) const;
    // The IDispatch of an external object that is no ComDispatch, through the resolver.
    IDispatch* ResolveExternal(const Dispatch& external) const;
    // The hidden window parked control windows live in (created on first use).
    HWND ParkingWindow();
    // The container window is about to be recreated: every browser placed in it keeps its
    // control window (and with it the page and history) until the next placement.
    void ParkBrowsersIn(HWND container);

    // Live controls, in creation order.
    const std::vector<Win32BrowserControl*>& Controls() const { return controls_; }
    void Adopt(Win32BrowserControl* control) { controls_.push_back(control); }
    void Forget(Win32BrowserControl* control);

  private:
    ContainerOf container_;
    ExternalResolver external_;
    HWND parking_ = nullptr;
    std::vector<Win32BrowserControl*> controls_;
};

// The backend the executable's entry point uses. external resolves the automation side's
// external objects when they are not ComDispatch objects.
std::unique_ptr<Win32BrowserBackend> MakeBrowserBackend(ExternalResolver external = {});

}  // namespace kelvra::browser::win32
