// The GUI framework port: what a platform backend provides to the portable application,
// forms and controls. Only the entry point chooses a backend.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ui/message_box.h"

namespace kelvra::ui {

class Application;
class Control;
class Form;
class Timer;

// A message as the loop takes it from the queue.
struct Message {
    NativeWindow window = nullptr;
    std::uint32_t message = 0;
    std::uintptr_t wparam = 0;
    std::intptr_t lparam = 0;
};

inline constexpr std::uint32_t kWmKeyDown = 0x100;
inline constexpr std::uint32_t kWmKeyUp = 0x101;
inline constexpr std::uint32_t kWmSysCommand = 0x112;
inline constexpr std::uint32_t kScMinimize = 0xF020;
inline constexpr std::uint32_t kScMaximize = 0xF030;
inline constexpr std::uint32_t kScRestore = 0xF120;

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

enum class BorderStyle { Sizeable, Dialog };
enum class WindowState { Normal, Minimized, Maximized };

// The native window behind a Form. The form keeps the portable state; the peer mirrors it.
class NativeForm {
  public:
    virtual ~NativeForm() = default;
    virtual NativeWindow Handle() const = 0;
    // Caption, bounds, visibility or window state changed.
    virtual void Sync() = 0;
    // Width and height the frame adds around the client area for this border style.
    virtual Rect FrameExtra() const = 0;
    // Whether another live top-level window of the program (a form, a box, a page's
    // dialog) is owned by this one, so that destroying this one would take it along.
    virtual bool OwnsLiveWindow() const { return false; }
    // The window that owns this one, or null.
    virtual NativeWindow OwnerWindow() const { return nullptr; }
};

// The native widget behind a control (edit, button, group box, label, memo, radio button,
// progress bar, animation, title bar).
class NativeControl {
  public:
    virtual ~NativeControl() = default;
    virtual void Sync() = 0;
    // The text the user typed, for controls that hold one; nullopt otherwise.
    virtual std::optional<std::string> ReadText() const { return std::nullopt; }
    // The checked state the user left, for radio buttons; nullopt otherwise.
    virtual std::optional<bool> ReadChecked() const { return std::nullopt; }
};

class NativeTimer {
  public:
    virtual ~NativeTimer() = default;
    // Enabled state or interval changed.
    virtual void Sync() = 0;
};

class Backend {
  public:
    virtual ~Backend() = default;
    virtual std::unique_ptr<NativeForm> CreateForm(Form& form) = 0;
    virtual std::unique_ptr<NativeControl> CreateControl(Control& control) = 0;
    virtual std::unique_ptr<NativeTimer> CreateTimer(Timer& timer) = 0;
    // Runs the message loop until app.Terminated(). Each message goes to
    // app.RouteMessage first; a handled message is neither translated nor dispatched.
    virtual void RunLoop(Application& app) = 0;
    // A nested loop (modal run) until done() holds; consults the hook slot the same way.
    virtual void RunModalLoop(Application& app, const std::function<bool()>& done) = 0;
    // Runs task on the GUI thread at a later turn of the loop.
    virtual void Post(std::function<void()> task) = 0;
    // A terminate request or modal result was set: loops re-check their conditions.
    virtual void WakeUp() = 0;
    // The work area of the screen, for centring.
    virtual Rect Screen() const = 0;
    // Handles the messages already waiting in the calling thread's queue and returns
    // (long-running work on the GUI thread calls this to keep windows responsive).
    virtual void ProcessPendingMessages() {}
};

}  // namespace kelvra::ui
