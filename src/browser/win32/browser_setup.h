// The browser process set-up: OLE on the GUI thread, the floating-point control word and
// the mouse-wheel hook before any window exists, undone in order after the message loop.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "browser/win32/wheel_hook.h"

namespace kelvra::browser::win32 {

// The x87 control word of the calling thread, and loading one (pending exceptions are
// cleared first).
std::uint16_t ReadFpuControlWord();
void LoadFpuControlWord(std::uint16_t word);

class TBrowserSetup {
  public:
    TBrowserSetup() { MouseWheelFix.SetActive(true); }
    TMouseWheelFix MouseWheelFix;
};

class BrowserProcess {
  public:
    // OleInitialize (result not examined), the control word recorded, the hook installed.
    BrowserProcess();
    // End() when it has not run yet.
    ~BrowserProcess();
    BrowserProcess(const BrowserProcess&) = delete;
    BrowserProcess& operator=(const BrowserProcess&) = delete;

    // The control word back, the hook removed, OLE uninitialised: in that order, once.
    void End();
    std::uint16_t SavedControlWord() const { return saved_control_word_; }
    // Told each end step as it completes: "control word", "hook removed",
    // "ole uninitialised".
    std::function<void(std::string_view step)> trace;

  private:
    std::uint16_t saved_control_word_ = 0;
    std::unique_ptr<TBrowserSetup> setup_;
    bool ended_ = false;
};

}  // namespace kelvra::browser::win32
