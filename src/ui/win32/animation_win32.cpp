// The animation: the common controls' animation control playing the system's file-copy clip
// (the AVI resource 161 of shell32.dll), centred in its bounds over the form's background.
#include <windows.h>

#include <commctrl.h>

#include "platform/error.h"
#include "ui/controls.h"
#include "ui/win32/controls_win32.h"

namespace kelvra::ui::win32 {
namespace {

constexpr WORD kFileCopyClip = 161;

// The module holding the file-copy clip: shell32.dll, loaded as data when the process has
// not loaded it. It stays loaded for the life of the process, as an open clip reads from it.
HMODULE ClipModule() {
    static const HMODULE module = [] {
        HMODULE loaded = GetModuleHandleW(L"shell32.dll");
        if (loaded == nullptr)
            loaded = LoadLibraryExW(L"shell32.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
        return loaded;
    }();
    return module;
}

class AnimationPeer final : public Win32ControlPeer {
  public:
    AnimationPeer(Win32Ui& ui, Animation& animation)
        : Win32ControlPeer(ui, animation), animation_(animation) {
        CreateChild(ANIMATE_CLASSW, WS_VISIBLE | ACS_TRANSPARENT | ACS_CENTER, 0);
        // Without the clip the control stays empty: it only decorates a wait, so no error.
        if (HMODULE module = ClipModule())
            opened_ =
                SendMessageW(hwnd_, ACM_OPENW, reinterpret_cast<WPARAM>(module),
                             reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(kFileCopyClip))) != FALSE;
    }

    ~AnimationPeer() override {
        if (opened_)
            SendMessageW(hwnd_, ACM_STOP, 0, 0);
    }

    void Sync() override {
        SyncCommon(false);
        if (!opened_ || animation_.Active() == playing_)
            return;
        playing_ = animation_.Active();
        if (playing_)
            // Endlessly, from the first frame to the last.
            SendMessageW(hwnd_, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 0xFFFF));
        else
            SendMessageW(hwnd_, ACM_STOP, 0, 0);
    }

  private:
    Animation& animation_;
    bool opened_ = false;
    bool playing_ = false;
};

}  // namespace

std::unique_ptr<NativeControl> CreateAnimation(Win32Ui& ui, Animation& animation) {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_ANIMATE_CLASS};
        return InitCommonControlsEx(&icc) != FALSE;
    }();
    if (!registered)
        throw Error("The animation " + animation.Name() +
                    " cannot be created: the common controls are not available");
    return std::make_unique<AnimationPeer>(ui, animation);
}

}  // namespace kelvra::ui::win32
