// The client's windows on the Win32 backend with headless browsers (Wine renders no page),
// a settings folder of its own and recording shell and message boxes.
#pragma once

// The ports before <windows.h>: its IsDialogMessage macro would rename their members.
#include "headless_browser.h"
#include "headless_ui.h"
#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/win32/wide.h"
#include "test_support.h"
#include "ui/application.h"
#include "windows/context.h"

#include "ui/win32/win32_ui.h"

#include <windows.h>

#include <commctrl.h>

#include <string>

namespace kelvra::test {

// Headless browsers on real windows: a browser without a window of its own never claims
// a queued message in the dialog-message step of key routing.
class WindowlessBrowsers final : public browser::BrowserBackend {
  public:
    explicit WindowlessBrowsers(headless::HeadlessBrowserBackend& inner) : inner_(inner) {}
    std::unique_ptr<browser::BrowserControl> CreateControl(browser::THostedBrowser& b) override {
        auto control = inner_.CreateControl(b);
        static_cast<headless::HeadlessBrowser&>(*control).dialog_message_handles = false;
        return control;
    }

  private:
    headless::HeadlessBrowserBackend& inner_;
};

struct Win32Client {
    TempDir appdata;
    ScopedEnv env_appdata{"APPDATA", appdata.path()};
    ScopedEnv no_script{"KELVRA_DIALOG_SCRIPT", std::nullopt};
    ui::win32::Win32Ui ui;
    headless::HeadlessUi log;  // what the headless browsers were asked
    headless::HeadlessBrowserBackend browsers{log};
    WindowlessBrowsers windowless{browsers};
    headless::HeadlessShell shell{log};
    headless::HeadlessBoxes boxes{log};
    windows::ProcessState state;
    windows::WindowsContext context{windowless,
                                    platform::SystemEnvironment(),
                                    platform::SystemFileSystem(),
                                    platform::SystemRegistry(),
                                    platform::SystemCodePage(),
                                    shell,
                                    state,
                                    nullptr,
                                    nullptr,
                                    "default.kelvra.test",
                                    "fallback.norrix.test",
                                    "update.kelvra.test"};
    ui::Application app{ui, boxes};  // last: destroys the windows before the ports go

    std::string SettingsFile() const {
        return appdata.File("kelvraeduConfig") + Separator() + "sysparams.ini";
    }
};

inline HWND Hwnd(const ui::Form& form) {
    return static_cast<HWND>(form.Handle());
}

inline std::wstring WindowText(HWND hwnd) {
    wchar_t buffer[512] = {};
    GetWindowTextW(hwnd, buffer, 512);
    return buffer;
}

inline std::wstring ClassOf(HWND hwnd) {
    wchar_t buffer[256] = {};
    GetClassNameW(hwnd, buffer, 256);
    return buffer;
}

inline SIZE ClientSize(HWND hwnd) {
    RECT r{};
    GetClientRect(hwnd, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

inline POINT Centre(const RECT& r) {
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// A child window of parent (any depth) with that class and text, or null.
HWND FindChild(HWND parent, const wchar_t* window_class, const std::wstring& text);

}  // namespace kelvra::test
