// The progress bar: the common controls' progress bar with a 32-bit range.
#include <windows.h>

#include <commctrl.h>

#include "platform/error.h"
#include "ui/controls.h"
#include "ui/win32/controls_win32.h"

namespace kelvra::ui::win32 {
namespace {

class ProgressBarPeer final : public Win32ControlPeer {
  public:
    ProgressBarPeer(Win32Ui& ui, ProgressBar& bar) : Win32ControlPeer(ui, bar), bar_(bar) {
        CreateChild(PROGRESS_CLASSW, WS_VISIBLE, 0);
    }

    void Sync() override {
        SyncCommon(false);
        SendMessageW(hwnd_, PBM_SETRANGE32, static_cast<WPARAM>(bar_.Min()),
                     static_cast<LPARAM>(bar_.Max()));
        SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(bar_.Position()), 0);
    }

  private:
    ProgressBar& bar_;
};

}  // namespace

std::unique_ptr<NativeControl> CreateProgressBar(Win32Ui& ui, ProgressBar& bar) {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
        return InitCommonControlsEx(&icc) != FALSE;
    }();
    if (!registered)
        throw Error("The progress bar " + bar.Name() +
                    " cannot be created: the common "
                    "controls are not available");
    return std::make_unique<ProgressBarPeer>(ui, bar);
}

}  // namespace kelvra::ui::win32
