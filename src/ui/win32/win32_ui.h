// The Win32 backend of the GUI port: top-level windows with the forms' own class names,
// standard controls, a title bar in the caption's place, timers, and the message loops that
// offer every queued message to the application's hook slot before translating it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "ui/backend.h"

namespace kelvra::ui {

class Application;
class Form;
class Timer;

namespace win32 {

// Height of the title bar, which takes the system caption's place above the client area.
inline constexpr int kTitleStripHeight = 26;

// Where the title bar of form shows item index, in the form's client coordinates (above
// the client area); nullopt when the form has no title bar or the item is hidden.
std::optional<RECT> TitleItemRect(HWND form, std::size_t index);

class Win32Ui final : public Backend {
  public:
    Win32Ui();
    ~Win32Ui() override;
    Win32Ui(const Win32Ui&) = delete;
    Win32Ui& operator=(const Win32Ui&) = delete;

    std::unique_ptr<NativeForm> CreateForm(Form& form) override;
    std::unique_ptr<NativeControl> CreateControl(Control& control) override;
    std::unique_ptr<NativeTimer> CreateTimer(Timer& timer) override;
    void RunLoop(Application& app) override;
    void RunModalLoop(Application& app, const std::function<bool()>& done) override;
    void Post(std::function<void()> task) override;
    void WakeUp() override;
    Rect Screen() const override;
    // Handles the messages already queued (hook slot first) and returns; long work on the
    // GUI thread, such as a download, calls it to keep the windows answering.
    void ProcessPendingMessages() override;

    // The forms' font: "Tahoma", 11 pixels high.
    HFONT Font() const { return font_; }
    // Called by timer peers.
    UINT_PTR StartTimer(Timer& timer, UINT_PTR id, unsigned interval);
    void StopTimer(UINT_PTR id);

  private:
    static LRESULT CALLBACK MessageWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    // One queued message: hook slot, the form's dialog keys, then translate and dispatch.
    void Process(Application& app, MSG& msg);
    void RunTasks();
    void FireTimer(UINT_PTR id);

    HWND message_window_ = nullptr;
    HFONT font_ = nullptr;
    Application* app_ = nullptr;
    std::deque<std::function<void()>> tasks_;
    bool tasks_signalled_ = false;
    std::map<UINT_PTR, Timer*> timers_;
    UINT_PTR next_timer_id_ = 1;
};

}  // namespace win32
}  // namespace kelvra::ui
